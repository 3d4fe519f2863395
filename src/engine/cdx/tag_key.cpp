#include "engine/cdx/tag_key.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/ascii_case.h"
#include "engine/error.h"
#include "engine/sql/parser.h"
#include "engine/sql/value_ops.h"

namespace engine::cdx {

namespace {

// Collects the fields an expression names and notes whether it calls DELETED().
void Collect(const sql::Expr& e, const std::vector<sql::FieldInfo>& fields, std::vector<size_t>& used, bool& deleted) {
    if (e.kind == sql::Expr::Kind::kName || e.kind == sql::Expr::Kind::kBracket) {
        const int i = sql::FindField(fields, e.name);
        if (i >= 0 && std::find(used.begin(), used.end(), size_t(i)) == used.end()) used.push_back(size_t(i));
    }
    if (e.kind == sql::Expr::Kind::kCall && AsciiUpper(e.name).starts_with("DELE")) deleted = true;
    for (const auto& a : e.args) Collect(*a, fields, used, deleted);
}

// The field a key expression is made of alone (under case and trimming functions), or -1.
int SingleField(const sql::Expr& e, const std::vector<sql::FieldInfo>& fields, bool& folded) {
    if (e.kind == sql::Expr::Kind::kName) return sql::FindField(fields, e.name);
    if (e.kind != sql::Expr::Kind::kCall || e.args.size() != 1) return -1;
    const std::string fn = AsciiUpper(e.name);
    if (fn == "UPPER" || fn == "LOWER") folded = true;
    else if (fn != "ALLTRIM" && fn != "LTRIM" && fn != "RTRIM" && fn != "TRIM") return -1;
    return SingleField(*e.args[0], fields, folded);
}

sql::NodePtr Compile(const std::string& text, const std::vector<sql::FieldInfo>& fields) {
    const sql::ExprPtr expr = sql::ParseExpression(text);
    sql::Scope scope;
    scope.fields = &fields;
    return sql::Bind(*expr, scope);
}

}  // namespace

std::string DoubleKey(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits = (bits & (uint64_t{1} << 63)) ? ~bits : bits | (uint64_t{1} << 63);
    std::string out(8, '\0');
    for (int i = 0; i < 8; ++i) out[i] = static_cast<char>(bits >> (8 * (7 - i)));
    return out;
}

KeyKind KindOfType(const sql::TypeInfo& t) {
    switch (t.type) {
        case 'C':
        case 'V':
        case 'M':
        case 'X': return KeyKind::kCharacter;
        case 'I': return KeyKind::kInteger;
        case 'L': return KeyKind::kLogical;
        case 'N':
        case 'F':
        case 'B':
        case 'Y':
        case 'D':
        case 'T': return KeyKind::kDouble;
        default:
            throw Error(engine::err::kTypeMismatch,
                        std::string("an expression of type ") + t.type + " cannot be a key");
    }
}

size_t KeyLengthOf(const sql::TypeInfo& t, bool nullPrefix) {
    size_t base = 0;
    switch (KindOfType(t)) {
        case KeyKind::kCharacter: base = static_cast<size_t>(std::clamp(t.length, 1, int(kMaxKeyLength) - 1)); break;
        case KeyKind::kInteger: base = 4; break;
        case KeyKind::kLogical: base = 1; break;
        case KeyKind::kDouble: base = 8; break;
    }
    return base + (nullPrefix ? 1 : 0);
}

TagKey::TagKey(const TagHeader& tag, const std::vector<sql::FieldInfo>& fields, const dbf::CodePage& codePage)
    : m_codePage(&codePage), m_keyLength(tag.keyLength), m_nullPrefix(tag.options & kOptNullable) {
    m_key = Compile(tag.keyExpression, fields);
    const sql::ExprPtr keyExpr = sql::ParseExpression(tag.keyExpression);
    bool unusedDeleted = false;
    Collect(*keyExpr, fields, m_used, unusedDeleted);
    m_lookupField = SingleField(*keyExpr, fields, m_caseFolded);
    if (!tag.forExpression.empty()) {
        m_for = Compile(tag.forExpression, fields);
        if (m_for->type.GetKind() != sql::Kind::kLogical)
            throw Error(engine::err::kTypeMismatch, "the FOR expression is not logical");
        Collect(*sql::ParseExpression(tag.forExpression), fields, m_used, m_forUsesDeleted);
    }
    m_kind = KindOfType(m_key->type);
    sql::TypeInfo t = m_key->type;
    if (m_kind == KeyKind::kInteger && m_keyLength - (m_nullPrefix ? 1 : 0) == 8) m_kind = KeyKind::kDouble;
    const size_t body = m_keyLength - (m_nullPrefix ? 1 : 0);
    if (m_keyLength <= (m_nullPrefix ? 1u : 0u) ||
        (m_kind != KeyKind::kCharacter && body != KeyLengthOf(t, false) && !(m_kind == KeyKind::kDouble && body == 8)))
        throw Error(engine::err::kTypeMismatch,
                    "the key length " + std::to_string(m_keyLength) + " does not fit the expression's type");
}

std::string TagKey::Encode(const Value& value) const {
    const size_t body = m_keyLength - (m_nullPrefix ? 1 : 0);
    if (value.IsNull() && m_nullPrefix) return std::string(m_keyLength, '\0');
    std::string out;
    switch (m_kind) {
        case KeyKind::kCharacter: {
            if (auto* s = value.If<std::string>()) out = m_codePage->Encode(*s);
            else if (auto* b = value.If<Bytes>()) out.assign(b->begin(), b->end());
            out.resize(body, ' ');
            break;
        }
        case KeyKind::kInteger: {
            const int64_t v = value.IsNull() ? 0 : static_cast<int64_t>(std::llround(sql::ToDouble(value)));
            const uint32_t bits = static_cast<uint32_t>(static_cast<int32_t>(v)) ^ 0x80000000u;
            out.resize(4);
            for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(bits >> (8 * (3 - i)));
            break;
        }
        case KeyKind::kLogical: {
            const bool* b = value.If<bool>();
            out = (b && *b) ? "T" : "F";
            break;
        }
        case KeyKind::kDouble: {
            double d = 0;
            if (auto* date = value.If<Date>()) d = date->julianDay;
            else if (auto* t = value.If<DateTime>()) d = t->julianDay + t->milliseconds / 86400000.0;
            else d = sql::ToDouble(value);
            out = DoubleKey(d);
            break;
        }
    }
    if (m_nullPrefix) out.insert(out.begin(), static_cast<char>(kNotNullPrefix));
    return out;
}

std::optional<std::string> TagKey::KeyOf(const sql::RowView& row) const {
    if (m_for && !sql::IsTrue(m_for->Eval(row))) return std::nullopt;
    return Encode(m_key->Eval(row));
}

}  // namespace engine::cdx
