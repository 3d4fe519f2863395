#include "db/bld_insert.h"

#include <cmath>
#include <cstdio>
#include <exception>

#include "common/exception_text.h"
#include "common/product.h"
#include "db/ado_tools.h"
#include "engine/api/field_types.h"

namespace db {
namespace {

using engine::Value;

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// The first count characters of UTF-8 text (a character is never split).
std::string FirstCharacters(const std::string& text, long count) {
    size_t pos = 0;
    for (long n = 0; pos < text.size(); ++n) {
        if (n == count) return text.substr(0, pos);
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
    }
    return text;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
        text.replace(pos, from.size(), to);
}

// A number's text for an integer or numeric column: a fractional value rounded to the
// column's decimals, then only the last precision characters when it is longer.
std::string NumberLiteral(const Value& value, const engine::api::ColumnInfo& column) {
    Value shown = value;
    if (const double* d = value.If<double>(); d && column.type == engine::api::kAdNumeric && column.scale < 255) {
        const double factor = std::pow(10.0, column.scale);
        shown = Value(std::round(*d * factor) / factor);
    }
    std::string text = AdoTools::VariantText(shown);
    if (column.precision > 0 && text.size() > static_cast<size_t>(column.precision))
        text = text.substr(text.size() - static_cast<size_t>(column.precision));
    return text;
}

// A value as a number: numbers as they are, other kinds (text, logicals) converted as a
// numeric field converts them. Nothing when the value is no number: its text would go into
// the statement unquoted.
std::optional<Value> AsNumber(const Value& value) {
    if (value.Is<int64_t>() || value.Is<double>() || value.Is<engine::Currency>()) return value;
    try {
        return engine::api::ConvertForField(value, engine::sql::FieldInfo{"", 'B', 8, 0, true});
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool IsTrue(const Value& value) {
    try {
        const Value b = engine::api::ConvertForField(value, engine::sql::FieldInfo{"", 'L', 1, 0, true});
        return b.Is<bool>() && b.As<bool>();
    } catch (const std::exception&) {
        return false;
    }
}

// "yyyy-mm-dd", with " hh:mm:ss" for a date-time column; nothing for a null, an empty date
// or a value that is no date.
std::optional<std::string> DateText(const Value& value, int columnType) {
    const bool dateOnly = columnType == engine::api::kAdDate;
    Value moment;
    try {
        moment = engine::api::ConvertForField(value, engine::sql::FieldInfo{"", dateOnly ? 'D' : 'T', 8, 0, true});
    } catch (const std::exception&) {
        return std::nullopt;
    }
    int32_t day = 0, ms = 0;
    if (const auto* d = moment.If<engine::Date>()) day = d->julianDay;
    else if (const auto* t = moment.If<engine::DateTime>()) day = t->julianDay, ms = t->milliseconds;
    if (day == 0) return std::nullopt;
    int y, m, d;
    engine::YmdFromJulianDay(day, y, m, d);
    char buffer[40];
    if (dateOnly) std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", y, m, d);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", y, m, d, ms / 3600000, ms / 60000 % 60,
                      ms / 1000 % 60);
    return std::string(buffer);
}

}  // namespace

void cBldInsert::SetConnection(engine::api::Connection* connection) {
    if (connection != m_connection) m_columns.reset();
    m_connection = connection;
}

void cBldInsert::SetTable(const std::string& table) {
    if (table != m_table) m_columns.reset();
    m_table = table;
}

bool cBldInsert::Add(const Value& vData, const std::string& sField) {
    const auto literal = Literal(vData, sField, false);
    if (!literal) return false;
    if (!m_updating) {
        if (m_insertFieldText.empty()) m_insertFieldText = "INSERT INTO " + m_table + " (" + sField;
        else m_insertFieldText += "," + sField;
        if (m_insertValueText.empty()) m_insertValueText = " VALUES (" + *literal;
        else m_insertValueText += "," + *literal;
    } else if (m_updateText.empty()) {
        m_updateText = "UPDATE " + m_table + " SET " + sField + "=" + *literal;
    } else {
        m_updateText += "," + sField + "=" + *literal;
    }
    return true;
}

std::string cBldInsert::StatementText() const {
    if (m_updating && !IsBlank(m_updateText)) return m_updateText + " WHERE " + m_whereText;
    if (!IsBlank(m_insertFieldText)) return m_insertFieldText + ")" + m_insertValueText + ")";
    return {};
}

bool cBldInsert::Execute() {
    const std::string statement = StatementText();
    if (statement.empty()) return false;
    try {
        if (!m_connection)
            throw engine::Error(engine::err::kNotOpen, "Operation is not allowed when the object is closed.");
        m_connection->Execute(statement, -1);
        return true;
    } catch (const std::exception& e) {
        product::ReportError("cBldInsert", "Execute", common::ErrorTextOf(e) + "\r\n" + statement);
        return false;
    }
}

void cBldInsert::Clear() {
    m_updateText.clear();
    m_insertFieldText.clear();
    m_insertValueText.clear();
    m_whereText.clear();
    m_columns.reset();
}

std::string cBldInsert::GetItemData(const Value& theValue, const std::string& theFieldName, bool bRawFields) {
    return Literal(theValue, theFieldName, bRawFields).value_or(std::string());
}

std::optional<std::string> cBldInsert::Literal(const Value& value, const std::string& field, bool raw) {
    namespace api = engine::api;
    if (!m_columns) {
        if (!m_connection) return std::nullopt;
        try {
            m_columns = api::TableColumns(*m_connection, m_table);
        } catch (const std::exception&) {
            return std::nullopt;  // fetched again on the next call
        }
    }
    const api::ColumnInfo* column = api::FindColumn(*m_columns, field);
    if (!column) return std::nullopt;
    switch (column->type) {
        case api::kAdInteger:
        case api::kAdNumeric: {
            if (value.IsNull()) return std::string("Null");  // an empty text would break the statement
            const auto number = AsNumber(value);
            if (!number) return std::nullopt;
            return NumberLiteral(*number, *column);
        }
        case api::kAdSmallInt:
        case 4:  // single
        case api::kAdDouble:
        case api::kAdCurrency:  // a number too: quoted as text it would not be stored
        case 14:                // decimal
        case 20: {              // big integer
            if (value.IsNull()) return std::string("Null");
            const auto number = AsNumber(value);
            if (!number) return std::nullopt;
            return AdoTools::VariantText(*number);
        }
        case api::kAdBoolean: return std::string(IsTrue(value) ? ".T." : ".F.");
        case api::kAdDate:
        case 134:  // time
        case api::kAdDateTime: {
            const auto text = DateText(value, column->type);
            if (!text) return std::string("Null");
            return raw ? *text : "{^" + *text + "}";
        }
        default: {
            std::string text = FirstCharacters(AdoTools::VariantText(value), column->definedSize);
            if (raw) {
                ReplaceAll(text, "'", "''");
                return text;
            }
            ReplaceAll(text, "''", "'");
            ReplaceAll(text, "'", "''");
            return "'" + text + "'";
        }
    }
}

}  // namespace db
