// Text functions: AT, RAT, OCCURS, STRTRAN, SPACE, REPLICATE, PROPER and TRANSFORM with the
// common picture codes. Positions and lengths count characters, as FoxPro counts them.
#include <cmath>

#include "engine/sql/functions_support.h"
#include "engine/sql/lexer.h"

namespace engine::sql {
namespace {

using namespace fn;

// Character positions (0-based) where search starts in text, left to right, not overlapping.
std::vector<int> Occurrences(std::string_view search, std::string_view text) {
    std::vector<int> out;
    if (search.empty()) return out;
    for (size_t at = text.find(search); at != std::string_view::npos; at = text.find(search, at + search.size()))
        out.push_back(CharCount(text.substr(0, at)));
    return out;
}

TypeInfo TwoTexts(const Args& a, size_t pos, const char* name) {
    Require(a, 0, Kind::kChar, name, pos);
    Require(a, 1, Kind::kChar, name, pos);
    Require(a, 2, Kind::kNumber, name, pos);
    return Number(10, 0, a);
}

Value Position(const Value* a, size_t n, bool fromRight) {
    const std::vector<int> found = Occurrences(Str(a[0]), Str(a[1]));
    const int nth = n > 2 ? Int(a[2]) : 1;
    if (nth < 1 || nth > static_cast<int>(found.size())) return int64_t{0};
    return int64_t{found[fromRight ? found.size() - nth : nth - 1] + 1};
}

bool IsLetter(unsigned char c) { return std::isalpha(c) || c >= 0x80; }

// The picture codes (@! @Z @L @B @$ @T) and the mask of a TRANSFORM picture.
struct Picture {
    bool upper = false, blankZero = false, leadingZeros = false, leftAlign = false, currency = false, trim = false;
    std::string mask;
};

Picture ReadPicture(std::string_view text) {
    Picture p;
    if (!text.empty() && text[0] == '@') {
        size_t i = 1;
        for (; i < text.size() && text[i] != ' '; ++i) {
            switch (std::toupper(static_cast<unsigned char>(text[i]))) {
                case '!': p.upper = true; break;
                case 'Z': p.blankZero = true; break;
                case 'L': p.leadingZeros = true; break;
                case 'B': p.leftAlign = true; break;
                case '$': p.currency = true; break;
                case 'T': p.trim = true; break;
                default: break;
            }
        }
        text = i < text.size() ? text.substr(i + 1) : std::string_view();
    }
    p.mask = std::string(text);
    return p;
}

std::string NumberByMask(double value, const Picture& p) {
    const std::string& mask = p.mask;
    if (mask.empty()) {
        std::string text = NumberText(Value(value));
        return p.currency ? "$" + text : text;
    }
    const size_t point = mask.find('.');
    int decimals = 0, digits = 0;
    for (size_t i = 0; i < mask.size(); ++i) {
        if (mask[i] == '9' || mask[i] == '#') (point != std::string::npos && i > point ? decimals : digits)++;
    }
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, std::fabs(value));
    std::string text = buffer;
    const size_t dot = text.find('.');
    std::string whole = text.substr(0, dot), fraction = dot == std::string::npos ? "" : text.substr(dot + 1);
    if (whole == "0" && decimals > 0) whole.clear();
    if (value < 0) whole = "-" + whole;
    if (static_cast<int>(whole.size()) > digits) return std::string(mask.size(), '*');
    // Fill the mask's digit places from the right (whole part) and the left (fraction).
    std::string out = mask;
    int w = static_cast<int>(whole.size()) - 1;
    const size_t end = point == std::string::npos ? mask.size() : point;
    for (size_t i = end; i-- > 0;) {
        if (mask[i] == '9' || mask[i] == '#') out[i] = w >= 0 ? whole[w--] : (p.leadingZeros ? '0' : ' ');
        else if (mask[i] == ',') out[i] = w >= 0 ? ',' : (p.leadingZeros ? ',' : ' ');
    }
    if (point != std::string::npos) {
        size_t f = 0;
        for (size_t i = point + 1; i < mask.size(); ++i) {
            if (mask[i] == '9' || mask[i] == '#') out[i] = f < fraction.size() ? fraction[f++] : '0';
        }
        if ((decimals > 0 && whole.empty()) || whole == "-") {
            // "0.50" rather than " .50" when the mask has a place for the zero.
            if (point > 0 && out[point - 1] == ' ') out[point - 1] = '0';
        }
    }
    if (p.currency) out = "$" + out;
    return out;
}

std::string TextByMask(const std::string& text, const Picture& p) {
    if (p.mask.empty()) return p.upper ? UpperText(text) : text;
    std::string out;
    int i = 0;
    const int count = CharCount(text);
    for (char m : p.mask) {
        if (m == 'X' || m == '9' || m == '#' || m == 'A' || m == 'N' || m == '!') {
            std::string c = i < count ? std::string(CharSub(text, i, 1)) : " ";
            ++i;
            if (m == '!' || p.upper) c = UpperText(c);
            out += c;
        } else {
            out += m;
        }
    }
    return out;
}

Value Transform(const Value* a, size_t n) {
    const Value& v = a[0];
    const Picture p = ReadPicture(n > 1 ? Str(a[1]) : std::string());
    std::string out;
    if (IsNumber(v)) {
        const double d = ToDouble(v);
        if (p.blankZero && d == 0) return std::string(p.mask.empty() ? 0 : p.mask.size(), ' ');
        out = NumberByMask(d, p);
        if (p.leftAlign) out = std::string(TrimLeft(out)) + std::string(out.size() - TrimLeft(out).size(), ' ');
    } else if (auto* s = v.If<std::string>()) {
        out = TextByMask(*s, p);
    } else {
        out = AnyText(v);
        if (p.upper) out = UpperText(out);
    }
    if (p.trim) out = std::string(TrimLeft(TrimRight(out)));
    return out;
}

const FunctionDef kText[] = {
    {"AT", 2, 3, [](const Args& a, size_t pos) { return TwoTexts(a, pos, "AT"); },
     [](const Value* a, size_t n, const RowView&) -> Value { return Position(a, n, false); }},
    {"RAT", 2, 3, [](const Args& a, size_t pos) { return TwoTexts(a, pos, "RAT"); },
     [](const Value* a, size_t n, const RowView&) -> Value { return Position(a, n, true); }},
    {"OCCURS", 2, 2, [](const Args& a, size_t pos) { return TwoTexts(a, pos, "OCCURS"); },
     [](const Value* a, size_t, const RowView&) -> Value {
         return static_cast<int64_t>(Occurrences(Str(a[0]), Str(a[1])).size());
     }},
    {"STRTRAN", 2, 5,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "STRTRAN", pos);
         Require(a, 1, Kind::kChar, "STRTRAN", pos);
         Require(a, 2, Kind::kChar, "STRTRAN", pos);
         Require(a, 3, Kind::kNumber, "STRTRAN", pos);
         Require(a, 4, Kind::kNumber, "STRTRAN", pos);
         TypeInfo t = a[0]->type.type == 'M' ? a[0]->type : Text(254, a);
         t.nullable = AnyNullable(a);
         return t;
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         const std::string& text = Str(a[0]);
         const std::string& search = Str(a[1]);
         const std::string replace = n > 2 ? Str(a[2]) : std::string();
         const int first = n > 3 ? std::max(1, Int(a[3])) : 1;
         const int count = n > 4 ? Int(a[4]) : -1;
         if (search.empty()) return text;
         std::string out;
         size_t from = 0;
         int seen = 0, replaced = 0;
         for (size_t at = text.find(search); at != std::string::npos; at = text.find(search, at + search.size())) {
             if (++seen < first) continue;
             if (count >= 0 && replaced >= count) break;
             out += text.substr(from, at - from) + replace;
             from = at + search.size();
             ++replaced;
         }
         return out + text.substr(from);
     }},
    {"SPACE", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kNumber, "SPACE", pos);
         return Text(ConstInt(a, 0, 254), a);
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         return std::string(std::max(0, Width(a[0], "SPACE")), ' ');
     }},
    {"REPLICATE", 2, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "REPLICATE", pos);
         Require(a, 1, Kind::kNumber, "REPLICATE", pos);
         return Text(a[0]->type.length * ConstInt(a, 1, 10), a);
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         const std::string& unit = Str(a[0]);
         const int times = std::max(0, Int(a[1]));
         if (static_cast<double>(CharCount(unit)) * times > kMaxStringLength)
             Width(Value(int64_t{kMaxStringLength} + 1), "REPLICATE");
         std::string out;
         out.reserve(unit.size() * static_cast<size_t>(times));
         for (int i = 0; i < times; ++i) out += unit;
         return out;
     }},
    {"PROPER", 1, 1, [](const Args& a, size_t pos) { return SameText(a, "PROPER", pos); },
     [](const Value* a, size_t, const RowView&) -> Value {
         const std::string lower = LowerText(Str(a[0]));
         std::string out;
         bool start = true;
         for (int i = 0, n = CharCount(lower); i < n; ++i) {
             const std::string c(CharSub(lower, i, 1));
             const bool letter =
                 IsLetter(static_cast<unsigned char>(c[0])) || std::isdigit(static_cast<unsigned char>(c[0]));
             out += start && letter ? UpperText(c) : c;
             start = !letter;
         }
         return out;
     }},
    {"TRANSFORM", 1, 2,
     [](const Args& a, size_t pos) {
         Require(a, 1, Kind::kChar, "TRANSFORM", pos);
         const TypeInfo& t = a[0]->type;
         int width = t.GetKind() == Kind::kChar ? t.length : t.GetKind() == Kind::kDateTime ? 22 : 20;
         if (a.size() > 1 && a[1]->shape == Node::Shape::kConstant) {
             const Value& p = static_cast<const ConstantNode&>(*a[1]).value;
             if (auto* s = p.If<std::string>()) width = std::max(width, CharCount(ReadPicture(*s).mask) + 1);
         }
         return Text(width, a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value { return Transform(a, n); }},
};

}  // namespace

std::span<const FunctionDef> TextFunctions() { return kText; }

}  // namespace engine::sql
