#include "value_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>

namespace foxsql {
namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string Ymd(int32_t julianDay) {
    int y, m, d;
    engine::YmdFromJulianDay(julianDay, y, m, d);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string Moment(const engine::DateTime& t) {
    const int seconds = (t.milliseconds + 500) / 1000;
    char buf[16];
    std::snprintf(buf, sizeof buf, "T%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return Ymd(t.julianDay) + buf;
}

std::string Hex(const engine::Bytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) out += digits[b >> 4], out += digits[b & 15];
    return out;
}

// A double in plain decimal form: with the field's decimals when it has any, else the
// shortest digits that give the value back.
std::string Number(double d, int decimals) {
    if (decimals > 0) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", std::min(decimals, 18), d);
        std::string text = buf;
        if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);  // -0.00
        return text;
    }
    char buf[400];
    const auto result = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed);
    return std::string(buf, result.ptr);
}

std::string CurrencyText(const engine::Currency& c) {
    const int64_t v = c.tenThousandths;
    const uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%s%llu.%04llu", v < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return buf;
}

const std::string kDamaged = "(damaged)";

// Cell width in characters (UTF-8 continuation bytes take no room).
size_t Width(const std::string& s) {
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](unsigned char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::string JsonValue(const engine::Value& value, const engine::sql::FieldInfo& field) {
    return std::visit(
        [&field](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, engine::Null>) return "null";
            else if constexpr (std::is_same_v<T, bool>) return v ? "true" : "false";
            else if constexpr (std::is_same_v<T, int64_t>) return std::to_string(v);
            else if constexpr (std::is_same_v<T, double>)
                return std::isfinite(v) ? Number(v, field.type == 'B' && field.decimals == 0 ? 0 : field.decimals)
                                        : "null";
            else if constexpr (std::is_same_v<T, engine::Currency>) return CurrencyText(v);
            else if constexpr (std::is_same_v<T, std::string>) return Quoted(v);
            else if constexpr (std::is_same_v<T, engine::Decimal>) return v.text;
            else if constexpr (std::is_same_v<T, engine::Date>) {
                if (v.damaged) return "{\"damaged\": \"date\"}";
                return v.IsEmpty() ? "null" : Quoted(Ymd(v.julianDay));
            } else if constexpr (std::is_same_v<T, engine::DateTime>) {
                if (v.damaged) return "{\"damaged\": \"datetime\"}";
                return v.IsEmpty() ? "null" : Quoted(Moment(v));
            } else return "{\"hex\": " + Quoted(Hex(v)) + "}";
        },
        value.Raw());
}

std::string JsonRow(const std::vector<engine::sql::FieldInfo>& fields, const std::vector<engine::Value>& row) {
    std::string out = "{";
    for (size_t i = 0; i < fields.size() && i < row.size(); ++i) {
        if (i) out += ", ";
        out += Quoted(Lower(fields[i].name)) + ": " + JsonValue(row[i], fields[i]);
    }
    return out + "}";
}

std::string CellText(const engine::Value& value, const engine::sql::FieldInfo& field) {
    if (value.IsNull()) return ".NULL.";
    if (auto* b = value.If<bool>()) return *b ? ".T." : ".F.";
    if (auto* s = value.If<std::string>()) return *s;
    if (auto* d = value.If<engine::Date>()) return d->damaged ? kDamaged : d->IsEmpty() ? "" : Ymd(d->julianDay);
    if (auto* t = value.If<engine::DateTime>()) return t->damaged ? kDamaged : t->IsEmpty() ? "" : Moment(*t);
    if (auto* bytes = value.If<engine::Bytes>()) return Hex(*bytes);
    return JsonValue(value, field);
}

size_t ColumnWidth(const engine::sql::FieldInfo& field) {
    size_t width = 0;
    switch (field.type) {
        case 'C':
        case 'V':
        case 'N':
        case 'F': width = static_cast<size_t>(std::max(field.length, 1)); break;
        case 'Q': width = 2 * static_cast<size_t>(std::max(field.length, 1)); break;
        case 'I': width = 11; break;
        case 'Y': width = 21; break;
        case 'B': width = 20; break;
        case 'L': width = 3; break;
        case 'D': width = 10; break;
        case 'T': width = 19; break;
        default: width = 10; break;  // memo, general, blob: as wide as their contents
    }
    if (field.nullable) width = std::max<size_t>(width, 6);  // .NULL.
    if (field.type == 'D' || field.type == 'T') width = std::max(width, Width(kDamaged));
    return std::max(width, Width(field.name));
}

AlignedWriter::AlignedWriter(const std::vector<engine::sql::FieldInfo>& fields, std::ostream& out)
    : m_fields(fields), m_out(out) {
    for (const auto& f : m_fields) m_widths.push_back(ColumnWidth(f));
}

void AlignedWriter::Emit(const std::vector<std::string>& line, bool header) {
    std::string text;
    for (size_t i = 0; i < line.size(); ++i) {
        if (i) text += " | ";
        const bool right =
            !header && i < m_fields.size() && std::string("NFIYB").find(m_fields[i].type) != std::string::npos;
        const size_t width = Width(line[i]);
        const std::string pad(m_widths[i] > width ? m_widths[i] - width : 0, ' ');
        text += right ? pad + line[i] : line[i] + pad;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    m_out << text << "\n";
}

void AlignedWriter::Header() {
    std::vector<std::string> names;
    for (const auto& f : m_fields) names.push_back(f.name);
    Emit(names, true);
    std::string rule;
    for (size_t i = 0; i < m_widths.size(); ++i) rule += (i ? "-+-" : "") + std::string(m_widths[i], '-');
    m_out << rule << "\n";
}

void AlignedWriter::Row(const std::vector<engine::Value>& row) {
    std::vector<std::string> line;
    for (size_t i = 0; i < m_fields.size() && i < row.size(); ++i) {
        std::string text = CellText(row[i], m_fields[i]);
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
        line.push_back(std::move(text));
    }
    Emit(line, false);
}

}  // namespace foxsql
