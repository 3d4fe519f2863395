#include "record_codec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "engine/error.h"
#include "file_io.h"
#include "format.h"
#include "memo_file.h"

namespace engine::dbf {

namespace {

constexpr int32_t kMsPerDay = 86'400'000;

bool GetBit(const TableHeader& h, const uint8_t* record, int bit) {
    if (bit < 0 || h.nullFlagsOffset < 0) return false;
    return record[h.nullFlagsOffset + bit / 8] & (1u << (bit % 8));
}

void SetBit(const TableHeader& h, uint8_t* record, int bit, bool on) {
    if (bit < 0 || h.nullFlagsOffset < 0) return;
    uint8_t& byte = record[h.nullFlagsOffset + bit / 8];
    if (on) byte |= static_cast<uint8_t>(1u << (bit % 8));
    else byte &= static_cast<uint8_t>(~(1u << (bit % 8)));
}

std::string_view Trimmed(const uint8_t* p, size_t n) {
    size_t b = 0, e = n;
    while (b < e && (p[b] == ' ' || p[b] == 0)) ++b;
    while (e > b && (p[e - 1] == ' ' || p[e - 1] == 0)) --e;
    return {reinterpret_cast<const char*>(p + b), e - b};
}

Value DecodeNumber(const Field& f, const uint8_t* p) {
    const std::string_view text = Trimmed(p, static_cast<size_t>(f.length));
    if (text.empty()) return f.decimals == 0 ? Value(int64_t{0}) : Value(0.0);
    // Plain decimal text keeps every digit (a wide field may hold more than a double does).
    if (auto exact = NumberFromDecimalText(text)) {
        if (f.decimals > 0 && exact->Is<int64_t>()) return Value(static_cast<double>(exact->As<int64_t>()));
        return *exact;
    }
    const std::string s(text);
    char* end = nullptr;
    const double d = std::strtod(s.c_str(), &end);
    if (!end || *end != '\0') return Value();  // overflow asterisks or garbage: unknown
    if (f.decimals == 0 && std::floor(d) == d && std::fabs(d) < 9.2e18) return Value(static_cast<int64_t>(d));
    return Value(d);
}

// A stored date: blank is the empty date; bytes that name no day of the calendar (a damaged
// file, 20230230) read as an empty date marked damaged, never as another day.
Value DecodeDate(const uint8_t* p) {
    if (std::all_of(p, p + 8, [](uint8_t c) { return c == ' ' || c == 0; })) return Value(Date{});
    int digits[8];
    for (int i = 0; i < 8; ++i) {
        if (p[i] < '0' || p[i] > '9') return Value(Date{0, true});
        digits[i] = p[i] - '0';
    }
    const int y = digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3];
    const int m = digits[4] * 10 + digits[5];
    const int d = digits[6] * 10 + digits[7];
    if (y == 0 || m < 1 || m > 12 || d < 1 || d > 31) return Value(Date{0, true});
    const int32_t day = JulianDayFromYmd(y, m, d);
    int cy, cm, cd;
    YmdFromJulianDay(day, cy, cm, cd);
    if (cy != y || cm != m || cd != d) return Value(Date{0, true});
    return Value(Date{day});
}

Value DecodeDateTime(const uint8_t* p) {
    const int32_t day = static_cast<int32_t>(fmt::Le32(p));
    const int32_t ms = static_cast<int32_t>(fmt::Le32(p + 4));
    if (day == 0 && ms == 0) return Value(DateTime{});
    if (day < kFirstJulianDay || day > kLastJulianDay || ms < 0 || ms >= kMsPerDay) return Value(DateTime{0, 0, true});
    // Stored times are often a millisecond short of the second; show them as the second, but
    // never carry into the next day (23:59:59.999 stays 23:59:59 of its own day).
    const int32_t rounded = std::min<int32_t>((ms + 500) / 1000 * 1000, kMsPerDay - 1000);
    return Value(DateTime{day, rounded});
}

[[noreturn]] void Mismatch(const Field& f) {
    throw Error(err::kTypeMismatch, "Data type mismatch for field '" + f.name + "'.");
}
[[noreturn]] void TooLarge(const Field& f) {
    throw Error(err::kValueTooLarge, "Numeric overflow for field '" + f.name + "'.");
}

bool AsDouble(const Value& v, double& out) {
    if (auto* i = v.If<int64_t>()) return out = static_cast<double>(*i), true;
    if (auto* d = v.If<double>()) return out = *d, true;
    if (auto* c = v.If<Currency>()) return out = static_cast<double>(c->tenThousandths) / 10000.0, true;
    if (auto* x = v.If<Decimal>()) return out = std::strtod(x->text.c_str(), nullptr), true;
    if (auto* b = v.If<bool>()) return out = *b ? 1.0 : 0.0, true;
    return false;
}

// Writes text right-aligned into the field, or returns false when it does not fit.
bool PutRight(const Field& f, const std::string& text, uint8_t* p) {
    if (text.size() > static_cast<size_t>(f.length)) return false;
    const size_t pad = static_cast<size_t>(f.length) - text.size();
    std::memset(p, ' ', pad);
    std::memcpy(p + pad, text.data(), text.size());
    return true;
}

void EncodeNumber(const Field& f, const Value& v, uint8_t* p) {
    // Whole numbers, currency amounts and decimal text are written from their exact digits;
    // only a double goes through the C library's formatting. VFP keeps the integer part and
    // gives up decimals when the value does not fit.
    if (const int64_t* whole = v.If<int64_t>()) {
        // The digits, then as many zero decimals as fit (what the general path below gives).
        char digits[24];
        const size_t n = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, *whole).ptr - digits);
        const size_t len = static_cast<size_t>(f.length);
        for (int dec = f.decimals; dec >= 0; --dec) {
            const size_t width = n + (dec > 0 ? 1 + static_cast<size_t>(dec) : 0);
            if (width > len) continue;
            std::memset(p, ' ', len - width);
            std::memcpy(p + len - width, digits, n);
            if (dec > 0) {
                p[len - width + n] = '.';
                std::memset(p + len - width + n + 1, '0', static_cast<size_t>(dec));
            }
            return;
        }
        TooLarge(f);
    }
    if (v.Is<Currency>() || v.Is<Decimal>()) {
        const std::string exact = DecimalTextOf(v);
        for (int dec = f.decimals; dec >= 0; --dec) {
            if (PutRight(f, RoundDecimalText(exact, dec), p)) return;
        }
        TooLarge(f);
    }
    // Room for the widest field a table file can declare (255) and its terminating zero, so
    // whatever fits the field is copied from the buffer whole.
    char buf[400];
    double d = 0;
    if (!AsDouble(v, d)) Mismatch(f);
    if (!std::isfinite(d) || std::fabs(d) >= 1e300) TooLarge(f);
    for (int dec = f.decimals; dec >= 0; --dec) {
        const int n = std::snprintf(buf, sizeof buf, "%.*f", dec, d);
        if (n > 0 && PutRight(f, buf, p)) return;
    }
    TooLarge(f);
}

std::string_view BytesOf(const Value& v, std::string& scratch, const CodePage& cp, const Field& f) {
    if (auto* s = v.If<std::string>()) {
        // ASCII text is the same in every code page: no conversion.
        if (std::all_of(s->begin(), s->end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) return *s;
        scratch = cp.Encode(*s);
        return scratch;
    }
    if (auto* b = v.If<Bytes>()) return {reinterpret_cast<const char*>(b->data()), b->size()};
    Mismatch(f);
}

}  // namespace

uint32_t MemoPointer(const TableHeader& header, const Field& field, const uint8_t* record) {
    const uint8_t* p = record + field.offset;
    if (field.length == 4) return fmt::Le32(p);
    const std::string_view digits = Trimmed(p, static_cast<size_t>(field.length));
    uint32_t block = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
        block = block * 10 + static_cast<uint32_t>(c - '0');
    }
    return block;
}

namespace {

// Puts text decoded from bytes into out, into the string out holds already where it holds one:
// a reader decoding record after record into the same values allocates no new strings.
void PutText(const CodePage& text, const uint8_t* bytes, size_t size, Value& out) {
    if (std::string* s = out.If<std::string>()) {
        s->clear();
        text.Decode(bytes, size, *s);
        return;
    }
    std::string s;
    text.Decode(bytes, size, s);
    out = Value(std::move(s));
}

void PutBytes(const uint8_t* bytes, size_t size, Value& out) {
    if (Bytes* b = out.If<Bytes>()) {
        b->assign(bytes, bytes + size);
        return;
    }
    out = Value(Bytes(bytes, bytes + size));
}

}  // namespace

void DecodeFieldInto(const TableHeader& h, const Field& f, const uint8_t* record, const CodePage& cp,
                     const MemoFile* memo, const std::filesystem::path& tableFile, Value& out) {
    if (f.nullBit >= 0 && GetBit(h, record, f.nullBit)) {
        out = Value();
        return;
    }
    const uint8_t* p = record + f.offset;
    const CodePage& text = f.binary ? BinaryCodePage() : cp;
    switch (f.type) {
        case 'C': return PutText(text, p, static_cast<size_t>(f.length), out);
        case 'V':
        case 'Q': {
            size_t n = static_cast<size_t>(f.length);
            if (GetBit(h, record, f.varLengthBit)) n = std::min<size_t>(p[f.length - 1], n - 1);
            if (f.type == 'Q') return PutBytes(p, n, out);
            return PutText(text, p, n, out);
        }
        case 'N':
        case 'F': out = DecodeNumber(f, p); return;
        case 'L': out = Value(p[0] == 'T' || p[0] == 't' || p[0] == 'Y' || p[0] == 'y'); return;
        case 'D': out = DecodeDate(p); return;
        case 'T': out = DecodeDateTime(p); return;
        case 'I': out = Value(int64_t{static_cast<int32_t>(fmt::Le32(p))}); return;
        case 'Y': out = Value(Currency{static_cast<int64_t>(fmt::Le64(p))}); return;
        case 'B':
            if (f.length == 8) {
                double d;
                const uint64_t bits = fmt::Le64(p);
                std::memcpy(&d, &bits, sizeof d);
                out = Value(d);
                return;
            }
            [[fallthrough]];
        default: {  // memo kinds
            const uint32_t block = MemoPointer(h, f, record);
            const bool isText = f.type == 'M' && !f.binary;
            if (block == 0) return isText ? PutText(text, p, 0, out) : PutBytes(p, 0, out);
            if (!memo)
                throw Error(err::kCorruptMemo, "Memo file for table '" + DisplayName(tableFile) + "' is missing.");
            MemoValue mv = memo->Read(block);
            if (!isText) {
                out = Value(std::move(mv.data));
                return;
            }
            return PutText(text, mv.data.data(), mv.data.size(), out);
        }
    }
}

Value DecodeField(const TableHeader& h, const Field& f, const uint8_t* record, const CodePage& cp, const MemoFile* memo,
                  const std::filesystem::path& tableFile) {
    Value out;
    DecodeFieldInto(h, f, record, cp, memo, tableFile, out);
    return out;
}

void BlankRecord(const TableHeader& h, uint8_t* record) {
    std::memset(record, ' ', h.recordLength);
    for (const auto& f : h.fields) {
        uint8_t* p = record + f.offset;
        switch (f.type) {
            case 'L': p[0] = 'F'; break;
            case 'T':
            case 'I':
            case 'Y':
            case 'B':
            case 'M':
            case 'G':
            case 'W':
                std::memset(p, 0, static_cast<size_t>(f.length));
                if (h.asciiMemoPointers && f.IsMemo()) std::memset(p, ' ', static_cast<size_t>(f.length));
                break;
            case 'V':
            case 'Q': p[f.length - 1] = 0; break;
            default: break;
        }
    }
    if (h.nullFlagsOffset >= 0) std::memset(record + h.nullFlagsOffset, 0, static_cast<size_t>(h.nullFlagsLength));
    for (const auto& f : h.fields) SetBit(h, record, f.varLengthBit, true);
}

void EncodeField(const TableHeader& h, const Field& f, const Value& value, uint8_t* record, const CodePage& cp,
                 const AppendMemoFn& appendMemo) {
    uint8_t* p = record + f.offset;
    const size_t len = static_cast<size_t>(f.length);
    const CodePage& text = f.binary ? BinaryCodePage() : cp;
    SetBit(h, record, f.nullBit, value.IsNull() && f.nullable);
    if (value.IsNull()) {
        switch (f.type) {
            case 'C':
            case 'N':
            case 'F':
            case 'D': std::memset(p, ' ', len); break;
            case 'V':
            case 'Q': std::memset(p, ' ', len), p[len - 1] = 0, SetBit(h, record, f.varLengthBit, true); break;
            case 'L': p[0] = f.nullable ? ' ' : 'F'; break;
            default: std::memset(p, 0, len); break;
        }
        return;
    }
    std::string scratch;
    switch (f.type) {
        case 'C': {
            const std::string_view bytes = BytesOf(value, scratch, text, f);
            std::memset(p, ' ', len);
            std::copy_n(bytes.data(), std::min(len, bytes.size()), p);  // an empty value may have no buffer
            return;
        }
        case 'V':
        case 'Q': {
            const std::string_view bytes = BytesOf(value, scratch, text, f);
            std::memset(p, ' ', len);
            if (bytes.size() >= len) {
                std::memcpy(p, bytes.data(), len);
                SetBit(h, record, f.varLengthBit, false);
            } else {
                std::copy_n(bytes.data(), bytes.size(), p);  // an empty value may have no buffer
                p[len - 1] = static_cast<uint8_t>(bytes.size());
                SetBit(h, record, f.varLengthBit, true);
            }
            return;
        }
        case 'N':
        case 'F': EncodeNumber(f, value, p); return;
        case 'L':
            if (auto* b = value.If<bool>()) p[0] = *b ? 'T' : 'F';
            else if (auto* i = value.If<int64_t>()) p[0] = *i ? 'T' : 'F';
            else Mismatch(f);
            return;
        case 'D': {
            int32_t day = 0;
            if (auto* d = value.If<Date>()) day = d->julianDay;
            else if (auto* t = value.If<DateTime>()) day = t->julianDay;
            else Mismatch(f);
            if (day == 0) {
                std::memset(p, ' ', 8);
                return;
            }
            int y, m, d;
            YmdFromJulianDay(day, y, m, d);
            if (y < 1 || y > 9999) TooLarge(f);
            for (int i = 3; i >= 0; --i, y /= 10) p[i] = static_cast<uint8_t>('0' + y % 10);
            p[4] = static_cast<uint8_t>('0' + m / 10);
            p[5] = static_cast<uint8_t>('0' + m % 10);
            p[6] = static_cast<uint8_t>('0' + d / 10);
            p[7] = static_cast<uint8_t>('0' + d % 10);
            return;
        }
        case 'T': {
            DateTime t;
            if (auto* dt = value.If<DateTime>()) t = *dt;
            else if (auto* d = value.If<Date>()) t = DateTime{d->julianDay, 0};
            else Mismatch(f);
            if (t.julianDay == 0) t.milliseconds = 0;
            fmt::PutLe32(p, static_cast<uint32_t>(t.julianDay));
            fmt::PutLe32(p + 4, static_cast<uint32_t>(t.milliseconds));
            return;
        }
        case 'I': {
            int64_t v = 0;
            double d = 0;
            if (auto* i = value.If<int64_t>()) v = *i;
            else if (value.Is<Decimal>()) TooLarge(f);  // a Decimal is never a 32-bit whole number
            else if (AsDouble(value, d)) {
                if (!std::isfinite(d) || std::fabs(d) > 4e9) TooLarge(f);
                v = std::llround(d);
            } else Mismatch(f);
            if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) TooLarge(f);
            fmt::PutLe32(p, static_cast<uint32_t>(static_cast<int32_t>(v)));
            return;
        }
        case 'Y': {
            if (!(value.Is<int64_t>() || value.Is<double>() || value.Is<Currency>() || value.Is<Decimal>()))
                Mismatch(f);
            const std::optional<Currency> amount = CurrencyOf(value);
            if (!amount) TooLarge(f);
            fmt::PutLe64(p, static_cast<uint64_t>(amount->tenThousandths));
            return;
        }
        case 'B': {
            double d = 0;
            if (!AsDouble(value, d)) Mismatch(f);
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof d);
            fmt::PutLe64(p, bits);
            return;
        }
        default: {  // M G W
            const std::string_view bytes = BytesOf(value, scratch, text, f);
            uint32_t block = 0;
            if (!bytes.empty()) {
                const uint32_t type = f.type == 'G'   ? fmt::kMemoTypeObject
                                      : f.type == 'W' ? fmt::kMemoTypePicture
                                                      : fmt::kMemoTypeText;
                block = appendMemo(type, bytes);
            }
            fmt::PutLe32(p, block);
            return;
        }
    }
}

}  // namespace engine::dbf
