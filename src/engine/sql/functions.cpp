#include "engine/sql/functions.h"

#include <algorithm>
#include <cmath>

#include "engine/error.h"
#include "engine/sql/functions_support.h"
#include "engine/sql/lexer.h"

namespace engine::sql {
namespace {

using namespace fn;

Value Pad(const Value* a, size_t n, int side, const char* fn) {  // side: -1 left, 0 centre, 1 right
    const std::string text = AnyText(a[0]);
    const int width = std::max(0, Width(a[1], fn));
    const std::string fill = n > 2 && !Str(a[2]).empty() ? std::string(CharSub(Str(a[2]), 0, 1)) : " ";
    const int have = CharCount(text);
    if (have >= width) return std::string(CharSub(text, 0, width));
    const int missing = width - have;
    const int before = side < 0 ? missing : side == 0 ? missing / 2 : 0;
    std::string out;
    for (int i = 0; i < before; ++i) out += fill;
    out += text;
    for (int i = 0; i < missing - before; ++i) out += fill;
    return out;
}

const FunctionDef kFunctions[] = {
    {"SUBSTR", 2, 3,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "SUBSTR", pos);
         Require(a, 1, Kind::kNumber, "SUBSTR", pos);
         Require(a, 2, Kind::kNumber, "SUBSTR", pos);
         const int whole = a[0]->type.type == 'M' ? 254 : a[0]->type.length;
         const int rest = std::max(1, whole - std::max(0, ConstInt(a, 1, 1) - 1));
         return Text(a.size() > 2 ? ConstInt(a, 2, rest) : rest, a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         const int start = Int(a[1]);
         if (start < 1) return std::string();
         const std::string_view s = Str(a[0]);
         return std::string(CharSub(s, start - 1, n > 2 ? Int(a[2]) : CharCount(s)));
     }},
    {"LEFT", 2, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "LEFT", pos);
         Require(a, 1, Kind::kNumber, "LEFT", pos);
         return Text(ConstInt(a, 1, a[0]->type.length), a);
     },
     [](const Value* a, size_t, const RowView&) -> Value { return std::string(CharSub(Str(a[0]), 0, Int(a[1]))); }},
    {"RIGHT", 2, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "RIGHT", pos);
         Require(a, 1, Kind::kNumber, "RIGHT", pos);
         return Text(ConstInt(a, 1, a[0]->type.length), a);
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         const std::string_view s = Str(a[0]);
         const int count = std::max(0, Int(a[1]));
         return std::string(CharSub(s, std::max(0, CharCount(s) - count), count));
     }},
    {"ALLTRIM", 1, 1, [](const Args& a, size_t pos) { return SameText(a, "ALLTRIM", pos); },
     [](const Value* a, size_t, const RowView&) -> Value { return std::string(TrimLeft(TrimRight(Str(a[0])))); }},
    {"LTRIM", 1, 1, [](const Args& a, size_t pos) { return SameText(a, "LTRIM", pos); },
     [](const Value* a, size_t, const RowView&) -> Value { return std::string(TrimLeft(Str(a[0]))); }},
    {"RTRIM", 1, 1, [](const Args& a, size_t pos) { return SameText(a, "RTRIM", pos); },
     [](const Value* a, size_t, const RowView&) -> Value { return std::string(TrimRight(Str(a[0]))); }},
    {"TRIM", 1, 1, [](const Args& a, size_t pos) { return SameText(a, "TRIM", pos); },
     [](const Value* a, size_t, const RowView&) -> Value { return std::string(TrimRight(Str(a[0]))); }},
    {"UPPER", 1, 1, [](const Args& a, size_t pos) { return SameText(a, "UPPER", pos); },
     [](const Value* a, size_t, const RowView&) -> Value { return UpperText(Str(a[0])); }},
    {"LOWER", 1, 1, [](const Args& a, size_t pos) { return SameText(a, "LOWER", pos); },
     [](const Value* a, size_t, const RowView&) -> Value { return LowerText(Str(a[0])); }},
    {"STR", 1, 3,
     [](const Args& a, size_t pos) {
         for (size_t i = 0; i < a.size(); ++i) Require(a, i, Kind::kNumber, "STR", pos);
         return Text(ConstInt(a, 1, 10), a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         return StrText(ToDouble(a[0]), n > 1 ? Width(a[1], "STR") : 10, n > 2 ? Int(a[2]) : 0);
     }},
    {"VAL", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "VAL", pos);
         return Number(20, 2, a);
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         const std::string text(TrimLeft(Str(a[0])));
         size_t used = 0;
         try {
             return std::stod(text, &used);
         } catch (const std::exception&) {
             return 0.0;
         }
     }},
    {"DTOC", 1, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kDate, "DTOC", pos);
         return Text(a.size() > 1 ? 8 : 10, a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         const Date d = a[0].Is<Date>() ? a[0].As<Date>() : Date{a[0].As<DateTime>().julianDay};
         return n > 1 ? DateKey(d) : DateText(d);
     }},
    {"DTOS", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kDate, "DTOS", pos);
         return Text(8, a);
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         return DateKey(a[0].Is<Date>() ? a[0].As<Date>() : Date{a[0].As<DateTime>().julianDay});
     }},
    {"TTOC", 1, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kDateTime, "TTOC", pos);
         Require(a, 1, Kind::kNumber, "TTOC", pos);
         const int form = ConstInt(a, 1, 0);
         return Text(form == 1 ? 14 : form == 3 ? 19 : 22, a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         const DateTime t = a[0].Is<DateTime>() ? a[0].As<DateTime>() : DateTime{a[0].As<Date>().julianDay, 0};
         const int form = n > 1 ? Int(a[1]) : 0;
         if (form == 1) return DateTimeKey(t);
         if (form == 3) {
             const std::string k = DateTimeKey(t);
             if (t.IsEmpty()) return std::string(19, ' ');
             return k.substr(0, 4) + "-" + k.substr(4, 2) + "-" + k.substr(6, 2) + "T" + k.substr(8, 2) + ":" +
                    k.substr(10, 2) + ":" + k.substr(12, 2);
         }
         return DateTimeText(t);
     }},
    {"NVL", 2, 2,
     [](const Args& a, size_t pos) {
         const TypeInfo& x = a[0]->type;
         const TypeInfo& y = a[1]->type;
         if (x.GetKind() != Kind::kAny && y.GetKind() != Kind::kAny && x.GetKind() != y.GetKind())
             throw Error(engine::err::kTypeMismatch, "Function argument value, type, or count is invalid: NVL with " +
                                                         std::string(KindName(x.GetKind())) + " and " +
                                                         KindName(y.GetKind()) + " (at position " +
                                                         std::to_string(pos + 1) + ")");
         TypeInfo t = x.type == 'X' ? y : x;
         if (t.GetKind() == Kind::kChar && t.type != 'M') t.length = std::max(x.length, y.length);
         t.nullable = x.nullable && y.nullable;
         return t;
     },
     [](const Value* a, size_t, const RowView&) -> Value { return a[0].IsNull() ? a[1] : a[0]; }, true},
    {"EMPTY", 1, 1, [](const Args&, size_t) { return Logical(); },
     [](const Value* a, size_t, const RowView&) -> Value {
         const Value& v = a[0];
         if (v.IsNull()) return false;
         if (auto* s = v.If<std::string>()) return s->find_first_not_of(" \t\r\n") == std::string::npos;
         if (auto* b = v.If<bool>()) return !*b;
         if (auto* d = v.If<Date>()) return d->IsEmpty();
         if (auto* t = v.If<DateTime>()) return t->IsEmpty();
         if (auto* bytes = v.If<Bytes>()) return bytes->empty();
         return ToDouble(v) == 0;
     },
     true},
    {"ISNULL", 1, 1, [](const Args&, size_t) { return Logical(); },
     [](const Value* a, size_t, const RowView&) -> Value { return a[0].IsNull(); }, true},
    {"LEN", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kChar, "LEN", pos);
         return Number(10, 0, a);
     },
     [](const Value* a, size_t, const RowView&) -> Value { return int64_t{CharCount(Str(a[0]))}; }},
    {"PADL", 2, 3,
     [](const Args& a, size_t pos) {
         Require(a, 1, Kind::kNumber, "PADL", pos);
         Require(a, 2, Kind::kChar, "PADL", pos);
         return Text(ConstInt(a, 1, 254), a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value { return Pad(a, n, -1, "PADL"); }},
    {"PADR", 2, 3,
     [](const Args& a, size_t pos) {
         Require(a, 1, Kind::kNumber, "PADR", pos);
         Require(a, 2, Kind::kChar, "PADR", pos);
         return Text(ConstInt(a, 1, 254), a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value { return Pad(a, n, 1, "PADR"); }},
    {"PADC", 2, 3,
     [](const Args& a, size_t pos) {
         Require(a, 1, Kind::kNumber, "PADC", pos);
         Require(a, 2, Kind::kChar, "PADC", pos);
         return Text(ConstInt(a, 1, 254), a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value { return Pad(a, n, 0, "PADC"); }},
    // The index-key form of a whole number: big-endian with the sign bit flipped, so that the
    // bytes sort like the numbers. The string holds those raw bytes, not UTF-8 text.
    {"BINTOC", 1, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kNumber, "BINTOC", pos);
         Require(a, 1, Kind::kNumber, "BINTOC", pos);
         const int size = ConstInt(a, 1, 4);
         if (size != 1 && size != 2 && size != 4)
             throw Error(engine::err::kTypeMismatch,
                         "Function argument value, type, or count is invalid: BINTOC size "
                         "must be 1, 2 or 4 (at position " +
                             std::to_string(pos + 1) + ")");
         return Text(size, a);
     },
     [](const Value* a, size_t n, const RowView&) -> Value {
         const int size = n > 1 ? Int(a[1]) : 4;
         const int64_t v = std::llround(ToDouble(a[0]));
         const uint32_t bits = static_cast<uint32_t>(v) ^ (1u << (size * 8 - 1));
         std::string out;
         for (int i = size - 1; i >= 0; --i) out += static_cast<char>((bits >> (8 * i)) & 0xFF);
         return out;
     }},
    {"DELETED", 0, 1, [](const Args&, size_t) { return Logical(); },
     [](const Value*, size_t, const RowView& row) -> Value { return row.deleted; }, true},
    {"RECNO", 0, 1,
     [](const Args&, size_t) {
         return TypeInfo{'N', 10, 0, false};
     },
     [](const Value*, size_t, const RowView& row) -> Value { return int64_t{row.record} + 1; }, true},
    {"INT", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kNumber, "INT", pos);
         return Number(a[0]->type.length > 0 ? a[0]->type.length : 20, 0, a);
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         if (a[0].Is<int64_t>()) return a[0];
         return static_cast<int64_t>(std::trunc(ToDouble(a[0])));
     }},
    {"ROUND", 2, 2,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kNumber, "ROUND", pos);
         Require(a, 1, Kind::kNumber, "ROUND", pos);
         return Number(20, ConstInt(a, 1, 2), a);
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         const double scale = std::pow(10.0, Int(a[1]));
         return std::round(ToDouble(a[0]) * scale) / scale;
     }},
    {"ABS", 1, 1,
     [](const Args& a, size_t pos) {
         Require(a, 0, Kind::kNumber, "ABS", pos);
         return a[0]->type;
     },
     [](const Value* a, size_t, const RowView&) -> Value {
         if (auto* i = a[0].If<int64_t>()) return *i < 0 ? -*i : *i;
         if (auto* c = a[0].If<Currency>())
             return Currency{c->tenThousandths < 0 ? -c->tenThousandths : c->tenThousandths};
         return std::fabs(ToDouble(a[0]));
     }},
};

}  // namespace

const FunctionDef* FindFunction(std::string_view name) {
    const std::string upper = UpperAscii(name);
    const std::span<const FunctionDef> tables[] = {kFunctions, TextFunctions(), DateFunctions(), MathFunctions()};
    for (auto table : tables) {
        for (const FunctionDef& f : table) {
            if (upper == f.name) return &f;
        }
    }
    if (upper.size() < 4) return nullptr;
    const FunctionDef* found = nullptr;
    for (auto table : tables) {
        for (const FunctionDef& f : table) {
            if (std::string_view(f.name).starts_with(upper)) {
                if (found) return nullptr;  // ambiguous
                found = &f;
            }
        }
    }
    return found;
}

}  // namespace engine::sql
