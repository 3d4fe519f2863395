#include "db/ado_tools.h"

#include <cstdio>

#include "common/product.h"
#include "engine/api/field_types.h"
#include "engine/error.h"

namespace AdoTools {
namespace {

const char kModule[] = "AdoTools";

std::string UsDate(int32_t julianDay) {
    int y, m, d;
    engine::YmdFromJulianDay(julianDay, y, m, d);
    return std::to_string(m) + "/" + std::to_string(d) + "/" + std::to_string(y);
}

}  // namespace

std::string ConnectionStringFor(const std::string& DataPath, const std::string& DbcName, const ConnectOptions& o) {
    const bool separated = !DataPath.empty() && (DataPath.back() == '/' || DataPath.back() == '\\');
    std::string s = o.ProviderPrefix.value_or("Provider=MSDASQL;Persist Security Info=False;Extended Properties=\"");
    s += "DRIVER={Microsoft Visual FoxPro Driver};";
    s += o.Collate.value_or("Collate=Machine;");
    s += o.BackgroundFetch.value_or("BackgroundFetch=Yes;");
    s += "Exclusive = " + o.Exclusive.value_or("No");
    s += ";SourceDB=" + DataPath + (separated ? "" : "/") + DbcName;
    s += ";SourceType=DBC;";
    s += "\"";
    return s;
}

std::unique_ptr<engine::api::Connection> Connect_DBC(const std::string& DataPath, const std::string& DbcName,
                                                     const ConnectOptions& options) {
    try {
        auto connection = std::make_unique<engine::api::Connection>();
        connection->SetMode(3);
        connection->SetConnectionTimeout(15);
        connection->SetConnectionString(ConnectionStringFor(DataPath, DbcName, options));
        if (options.CursorLocation) connection->SetCursorLocation(*options.CursorLocation);
        connection->Open("", "", "", -1);
        return connection;
    } catch (engine::Error& e) {
        product::ReportError(kModule, "Connect_DBC", product::ErrorText(e.Number(), e.Description()), false);
        e.SetSource("Connect_DBC");
        throw;
    }
}

engine::api::Field* GetField(engine::api::Recordset& recordset, const std::string& FieldName) noexcept {
    try {
        if (recordset.State() == 0) return nullptr;
        return recordset.Fields().Find(FieldName);
    } catch (...) {
        return nullptr;
    }
}

std::string VariantText(const engine::Value& value) {
    if (auto* t = value.If<engine::DateTime>()) {
        if (t->IsEmpty()) return "";
        const int seconds = (t->milliseconds + 500) / 1000;
        if (seconds == 0) return UsDate(t->julianDay);
        const int hour = seconds / 3600;
        char clock[32];
        std::snprintf(clock, sizeof clock, " %d:%02d:%02d %s", hour % 12 == 0 ? 12 : hour % 12, seconds / 60 % 60,
                      seconds % 60, hour < 12 ? "AM" : "PM");
        return UsDate(t->julianDay) + clock;
    }
    if (auto* d = value.If<engine::Date>()) return d->IsEmpty() ? "" : UsDate(d->julianDay);
    if (auto* b = value.If<bool>()) return *b ? "True" : "False";
    return engine::api::DisplayText(value);
}

void CopyRecord(engine::api::Fields& sourceFields, engine::api::Recordset& target) {
    // A copy keeps the source's numbers: autoincrement fields of the target take the copied
    // value instead of refusing it (the table only numbers rows added without one).
    const bool copyMode = target.CopyMode();
    target.SetCopyMode(true);
    struct Restore {
        engine::api::Recordset& target;
        bool copyMode;
        ~Restore() { target.SetCopyMode(copyMode); }
    } restore{target, copyMode};
    for (engine::api::Field& source : sourceFields) {
        engine::api::Field* field = GetField(target, source.Name());
        if (!field) continue;
        if (auto value = CopiedValue(source.Value(), field->Type())) field->SetValue(*value);
    }
}

std::optional<engine::Value> CopiedValue(const engine::Value& value, int targetType) {
    if (targetType != engine::api::kAdDate) {
        if (value.IsNull()) return std::nullopt;
        return value;
    }
    if (value.IsNull()) return engine::Value();
    const std::string text = VariantText(value);
    if (!text.empty() && (text.back() == 'M' || text.back() == 'm')) return engine::Value();
    return value;
}

}  // namespace AdoTools
