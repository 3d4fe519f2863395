#include "table_header.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <set>

#include "engine/error.h"
#include "file_io.h"
#include "format.h"

namespace engine::dbf {

namespace {

[[noreturn]] void Corrupt(const std::filesystem::path& file, const std::string& what) {
    throw Error(err::kCorruptTable, "Table '" + DisplayName(file) + "' is corrupt: " + what + ".");
}

bool KnownVersion(uint8_t v) {
    switch (v) {
        case fmt::kVfp:
        case fmt::kVfpAutoInc:
        case fmt::kVfpVarchar:
        case fmt::kDbase3:
        case fmt::kDbase3Memo:
        case fmt::kFoxPro2Memo:
        case fmt::kFoxBase: return true;
        default: return false;
    }
}

bool KnownType(char t) { return std::string_view("CVQNFLDTIYBMGWP").find(t) != std::string_view::npos; }

int FixedLength(char type) {
    switch (type) {
        case 'L': return 1;
        case 'D':
        case 'T':
        case 'Y':
        case 'B': return 8;
        case 'I':
        case 'M':
        case 'G':
        case 'W': return 4;
        default: return 0;
    }
}

// The length a field of this type must have in a table file, or 0 when any length will do.
// The record codec reads and writes these many bytes, so a file that says otherwise is
// damaged. dBase and FoxPro 2 tables keep memo pointers (and B, their binary memo) as digits.
int StoredLength(char type, bool visualFoxPro) {
    switch (type) {
        case 'B':
        case 'M':
        case 'G':
        case 'W':
        case 'P': return visualFoxPro ? (type == 'B' ? 8 : 4) : 0;
        default: return FixedLength(type);
    }
}

// Assigns _NullFlags bits: a varlength bit for each V/Q field, then a null bit when nullable.
int AssignNullBits(std::vector<Field>& fields) {
    int bit = 0;
    for (auto& f : fields) {
        f.varLengthBit = f.nullBit = -1;
        if (f.type == 'V' || f.type == 'Q') f.varLengthBit = bit++;
        if (f.nullable) f.nullBit = bit++;
    }
    return bit;
}

}  // namespace

bool TableHeader::HasMemoFields() const {
    return std::any_of(fields.begin(), fields.end(), [](const Field& f) { return f.IsMemo(); });
}

uint16_t TableHeader::HeaderLengthOf(const uint8_t* first32) { return fmt::Le16(first32 + fmt::kOffHeaderLength); }

TableHeader TableHeader::Parse(const std::vector<uint8_t>& bytes, uint64_t fileSize,
                               const std::filesystem::path& file) {
    if (bytes.size() < fmt::kHeaderSize) Corrupt(file, "the header is truncated");
    TableHeader h;
    h.version = bytes[fmt::kOffVersion];
    if (!KnownVersion(h.version))
        throw Error(err::kNotATable, "File '" + DisplayName(file) + "' is not a table (version byte " +
                                         std::to_string(h.version) + ").");
    h.recordCount = fmt::Le32(&bytes[fmt::kOffRecordCount]);
    h.headerLength = fmt::Le16(&bytes[fmt::kOffHeaderLength]);
    h.recordLength = fmt::Le16(&bytes[fmt::kOffRecordLength]);
    h.flags = bytes[fmt::kOffTableFlags];
    h.codePageMark = bytes[fmt::kOffCodePage];
    if (h.headerLength < fmt::kHeaderSize + 1 || h.headerLength > bytes.size() || h.headerLength > fileSize)
        Corrupt(file, "the header is truncated");
    if (h.recordLength < 1) Corrupt(file, "the record length is zero");
    h.asciiMemoPointers = !h.IsVisualFoxPro();

    // Room for as many fields as the header has descriptors (a table is opened, and its
    // header read again, far more often than it changes).
    h.fields.reserve(std::min<size_t>((h.headerLength - fmt::kHeaderSize) / fmt::kDescriptorSize, 255));
    size_t pos = fmt::kHeaderSize;
    uint32_t offset = 1;
    int index = 0;
    bool terminated = false;
    while (pos < h.headerLength) {
        if (bytes[pos] == fmt::kTerminator) {
            terminated = true;
            break;
        }
        if (pos + fmt::kDescriptorSize > h.headerLength) Corrupt(file, "a field descriptor lies past the header");
        const uint8_t* d = &bytes[pos];
        Field f;
        const char* name = reinterpret_cast<const char*>(d + fmt::kDescName);
        f.name.assign(name, strnlen(name, 11));
        f.type = static_cast<char>(d[fmt::kDescType]);
        f.length = d[fmt::kDescLength];
        f.decimals = d[fmt::kDescDecimals];
        const uint8_t flags = d[fmt::kDescFlags];
        f.descriptorIndex = index++;
        f.offset = offset;
        if (f.type == 'C' && !h.IsVisualFoxPro()) f.length += 256 * f.decimals, f.decimals = 0;  // long C in dBase
        offset += static_cast<uint32_t>(f.length);
        pos += fmt::kDescriptorSize;
        if (f.type == '0') {  // _NullFlags
            h.nullFlagsOffset = static_cast<int>(f.offset);
            h.nullFlagsLength = f.length;
            continue;
        }
        if (!KnownType(f.type))
            Corrupt(file, "field '" + f.name + "' has unknown type '" + std::string(1, f.type) + "'");
        if (f.length == 0) Corrupt(file, "field '" + f.name + "' has length 0");
        if (const int need = StoredLength(f.type, h.IsVisualFoxPro()); need && f.length != need)
            Corrupt(file, "field '" + f.name + "' of type " + std::string(1, f.type) + " has length " +
                              std::to_string(f.length) + " instead of " + std::to_string(need));
        if (h.IsVisualFoxPro()) {
            f.nullable = flags & fmt::kFieldNullable;
            f.binary = flags & fmt::kFieldBinary;
            f.autoIncrement = (flags & fmt::kFieldAutoInc) && f.type == 'I';
            f.autoIncNext = static_cast<int32_t>(fmt::Le32(d + fmt::kDescAutoIncNext));
            f.autoIncStep = d[fmt::kDescAutoIncStep];
        }
        h.fields.push_back(std::move(f));
    }
    if (!terminated) Corrupt(file, "the field descriptors are not terminated");
    if (offset != h.recordLength) Corrupt(file, "the field lengths do not add up to the record length");
    if (h.fields.empty()) Corrupt(file, "it has no fields");
    if (h.nullFlagsOffset >= 0) {
        const int bits = AssignNullBits(h.fields);
        if (bits > h.nullFlagsLength * 8) Corrupt(file, "_NullFlags is too short");
    } else {
        for (auto& f : h.fields) f.nullable = false;
    }
    if (h.IsVisualFoxPro() && pos + 1 + fmt::kBackLinkSize <= h.headerLength) {
        const char* link = reinterpret_cast<const char*>(&bytes[pos + 1]);
        h.backLink.assign(link, strnlen(link, fmt::kBackLinkSize));
    }
    if (h.RecordOffset(h.recordCount) > fileSize) Corrupt(file, "the record count goes beyond the end of the file");
    return h;
}

TableHeader TableHeader::Build(const std::vector<FieldSpec>& specs, uint8_t codePageMark, const std::string& backLink) {
    auto bad = [](const std::string& what) {
        throw Error(err::kBadArgument, "Invalid table definition: " + what + ".");
    };
    if (specs.empty()) bad("a table needs at least one field");
    if (backLink.size() >= fmt::kBackLinkSize) bad("the container path is too long");
    TableHeader h;
    h.codePageMark = codePageMark;
    h.backLink = backLink;
    std::set<std::string> names;
    bool varchar = false, autoInc = false;
    for (const auto& fieldSpec : specs) {
        Field f;
        static_cast<FieldSpec&>(f) = fieldSpec;
        std::transform(f.name.begin(), f.name.end(), f.name.begin(), [](unsigned char c) { return std::toupper(c); });
        if (f.name.empty() || f.name.size() > 10)
            bad("field name '" + fieldSpec.name + "' must have 1 to 10 characters");
        if (!names.insert(f.name).second) bad("field name '" + fieldSpec.name + "' appears twice");
        if (!KnownType(f.type) || f.type == 'P') bad("field '" + fieldSpec.name + "' has an unknown type");
        if (const int fixed = FixedLength(f.type)) {
            f.length = fixed;
        } else if (f.length < 1 || f.length > 254 || ((f.type == 'N' || f.type == 'F') && f.length > 20)) {
            bad("field '" + fieldSpec.name + "' has an invalid length");
        }
        if (f.type == 'Y') f.decimals = 4;
        if ((f.type == 'N' || f.type == 'F') && (f.decimals < 0 || (f.decimals > 0 && f.decimals > f.length - 2)))
            bad("field '" + fieldSpec.name + "' has invalid decimals");
        if (f.type != 'N' && f.type != 'F' && f.type != 'B' && f.type != 'Y') f.decimals = 0;
        if (f.autoIncrement && f.type != 'I') bad("only integer fields can autoincrement");
        if (f.autoIncrement && (f.autoIncStep < 1 || f.autoIncStep > 255)) bad("autoincrement step must be 1 to 255");
        if (f.type == 'I' || f.type == 'Y' || f.type == 'B' || f.type == 'T' || f.type == 'W' || f.type == 'Q')
            f.binary = true;
        varchar = varchar || f.type == 'V' || f.type == 'Q' || f.type == 'W';
        autoInc = autoInc || f.autoIncrement;
        f.descriptorIndex = static_cast<int>(h.fields.size());
        h.fields.push_back(std::move(f));
    }
    h.version = varchar ? fmt::kVfpVarchar : autoInc ? fmt::kVfpAutoInc : fmt::kVfp;
    const int bits = AssignNullBits(h.fields);
    const bool needsNullFlags = std::any_of(
        h.fields.begin(), h.fields.end(), [](const Field& f) { return f.nullable || f.type == 'V' || f.type == 'Q'; });
    uint32_t offset = 1;
    for (auto& f : h.fields) {
        f.offset = offset;
        offset += static_cast<uint32_t>(f.length);
    }
    if (needsNullFlags) {
        h.nullFlagsOffset = static_cast<int>(offset);
        h.nullFlagsLength = std::max(1, (bits + 7) / 8);
        offset += static_cast<uint32_t>(h.nullFlagsLength);
    }
    if (offset > 65500) bad("the record is too long");
    const size_t descriptors = h.fields.size() + (needsNullFlags ? 1 : 0);
    h.recordLength = static_cast<uint16_t>(offset);
    h.headerLength =
        static_cast<uint16_t>(fmt::kHeaderSize + fmt::kDescriptorSize * descriptors + 1 + fmt::kBackLinkSize);
    h.flags = h.HasMemoFields() ? fmt::kFlagMemo : 0;
    return h;
}

std::vector<uint8_t> TableHeader::Serialize() const {
    std::vector<uint8_t> out(headerLength, 0);
    out[fmt::kOffVersion] = version;
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    out[fmt::kOffUpdateDate] = static_cast<uint8_t>(tm.tm_year % 100);
    out[fmt::kOffUpdateDate + 1] = static_cast<uint8_t>(tm.tm_mon + 1);
    out[fmt::kOffUpdateDate + 2] = static_cast<uint8_t>(tm.tm_mday);
    fmt::PutLe32(&out[fmt::kOffRecordCount], recordCount);
    fmt::PutLe16(&out[fmt::kOffHeaderLength], headerLength);
    fmt::PutLe16(&out[fmt::kOffRecordLength], recordLength);
    out[fmt::kOffTableFlags] = flags;
    out[fmt::kOffCodePage] = codePageMark;
    size_t pos = fmt::kHeaderSize;
    auto put = [&](const std::string& name, char type, uint32_t offset, int length, int decimals, uint8_t flagsByte) {
        uint8_t* d = &out[pos];
        std::copy(name.begin(), name.begin() + std::min<size_t>(name.size(), 10), d);
        d[fmt::kDescType] = static_cast<uint8_t>(type);
        fmt::PutLe32(d + fmt::kDescDisplacement, offset);
        d[fmt::kDescLength] = static_cast<uint8_t>(length);
        d[fmt::kDescDecimals] = static_cast<uint8_t>(decimals);
        d[fmt::kDescFlags] = flagsByte;
        pos += fmt::kDescriptorSize;
        return d;
    };
    for (const auto& f : fields) {
        uint8_t fl = 0;
        if (f.nullable) fl |= fmt::kFieldNullable;
        if (f.binary) fl |= fmt::kFieldBinary;
        if (f.autoIncrement) fl |= fmt::kFieldAutoInc | fmt::kFieldBinary;
        uint8_t* d = put(f.name, f.type, f.offset, f.length, f.decimals, fl);
        if (f.autoIncrement) {
            fmt::PutLe32(d + fmt::kDescAutoIncNext, static_cast<uint32_t>(f.autoIncNext));
            d[fmt::kDescAutoIncStep] = static_cast<uint8_t>(f.autoIncStep);
        }
    }
    if (nullFlagsOffset >= 0)
        put(fmt::kNullFlagsName, '0', static_cast<uint32_t>(nullFlagsOffset), nullFlagsLength, 0,
            fmt::kFieldSystem | fmt::kFieldBinary);
    out[pos] = fmt::kTerminator;
    if (IsVisualFoxPro() && pos + 1 + fmt::kBackLinkSize <= out.size())
        std::copy(backLink.begin(), backLink.end(), out.begin() + static_cast<long>(pos + 1));
    return out;
}

}  // namespace engine::dbf
