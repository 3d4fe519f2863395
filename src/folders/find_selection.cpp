#include "folders/find_selection.h"

#include <cmath>
#include <cstdio>

#include "engine/api/recordset.h"
#include "folders/find_kinds.h"
#include "views/value_text.h"

namespace folders {
namespace {

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

engine::Value FieldValue(engine::api::Recordset& record, const std::string& name) {
    return record.Fields().Item(name).Value();
}

std::string Text(engine::api::Recordset& record, const std::string& name) {
    return ValueAsText(FieldValue(record, name));
}

std::string Trimmed(engine::api::Recordset& record, const std::string& name) { return Trim(Text(record, name)); }

}  // namespace

std::string ValueAsText(const engine::Value& value) {
    if (value.IsNull()) return {};
    if (const std::string* text = value.If<std::string>()) return *text;
    if (const int64_t* whole = value.If<int64_t>()) return std::to_string(*whole);
    if (const double* number = value.If<double>()) {
        if (std::isfinite(*number) && *number == std::trunc(*number) && std::fabs(*number) < 1e15)
            return std::to_string(static_cast<int64_t>(*number));
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "%.15g", *number);
        return buffer;
    }
    return views::ValueText(value);
}

ItemValues SelectedItemValues(int32_t folderId, engine::api::Recordset& record, const std::string& itemValueFieldName) {
    ItemValues values;
    const auto bookmark = [&] { return engine::Value(record.Bookmark()); };
    switch (folderId) {
        case kFindPatients:
            values.Text = Trimmed(record, "LastNam") + ", " + Trimmed(record, "FirstNam");
            values.Value = bookmark();
            break;
        case kFindReferrals:
            values.Text = Trimmed(record, "Ref_Last") + ", " + Trimmed(record, "Ref_First");
            values.Value = bookmark();
            break;
        case kFindDoctors:
            values.Text = Trimmed(record, "Name") + ", " + Trimmed(record, "FirstName");
            values.Value = FieldValue(record, "Doc");
            break;
        case kFindHospitals:
            values.Text = FieldValue(record, itemValueFieldName);
            values.Value = FieldValue(record, "Hsp");
            break;
        case kFindPlaceOfService:
            values.Text = Trimmed(record, "newchar") + "; " + Trimmed(record, "newnum") + "; " +
                          Trimmed(record, "oldchar") + "; " + Trimmed(record, "oldnum") + "; " +
                          Trimmed(record, "User1");
            values.Value = bookmark();
            break;
        case kFindInsurance:
        case kFindInsuranceMru:
            values.Text = FieldValue(record, itemValueFieldName);
            values.Value = Trimmed(record, "InsNum") + ":" + Trimmed(record, "CorpName") + ":" +
                           Trimmed(record, "Rec_Code2") + ":" + Text(record, "Ins_Type") + ":" +
                           Text(record, "Sub_Code");
            break;
        default:
            values.Text = FieldValue(record, itemValueFieldName);
            values.Value = bookmark();
            break;
    }
    return values;
}

ItemValues EmptyItemValues(int32_t folderId) {
    switch (folderId) {
        case kFindPlaceOfService: return {engine::Value(";;;;"), engine::Value(int64_t{-1})};
        case kFindInsurance:
        case kFindInsuranceMru: return {engine::Value(""), engine::Value("::::")};
        default: return {engine::Value(""), engine::Value(int64_t{-1})};
    }
}

}  // namespace folders
