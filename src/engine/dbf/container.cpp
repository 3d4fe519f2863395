#include "container.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "engine/ascii_case.h"
#include "engine/error.h"
#include "file_io.h"
#include "format.h"

namespace engine {

namespace {

// PROPERTY memo entries: uint32 LE length (header included), uint16 LE 1, one id byte, value.
constexpr uint8_t kPropPath = 1;
constexpr uint8_t kPropClass = 2;
constexpr uint8_t kPropVersion = 24;

// Character fields come back padded to their width: one comparison per trailing byte (a search
// for the last byte outside a set of two looks each byte up in the set, a large part of reading
// a container's list of tables).
std::string TrimRight(std::string s) {
    size_t end = s.size();
    while (end > 0 && (s[end - 1] == ' ' || s[end - 1] == '\0')) --end;
    s.resize(end);
    return s;
}

void PutProperty(Bytes& out, uint8_t id, const Bytes& value) {
    const uint32_t length = static_cast<uint32_t>(7 + value.size());
    uint8_t head[7];
    dbf::fmt::PutLe32(head, length);
    dbf::fmt::PutLe16(head + 4, 1);
    head[6] = id;
    out.insert(out.end(), head, head + 7);
    out.insert(out.end(), value.begin(), value.end());
}

Bytes TextValue(const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

// The text value of property id, or nullopt. Throws kCorruptContainer on a broken list.
std::optional<std::string> FindProperty(const Bytes& list, uint8_t id, const std::filesystem::path& dbc) {
    size_t pos = 0;
    while (pos < list.size()) {
        if (pos + 7 > list.size()) break;
        const uint32_t length = dbf::fmt::Le32(&list[pos]);
        if (length < 7 || pos + length > list.size())
            throw Error(err::kCorruptContainer,
                        "Database container '" + dbf::DisplayName(dbc) + "' is corrupt: a property list is broken.");
        if (list[pos + 6] == id) {
            const char* text = reinterpret_cast<const char*>(&list[pos + 7]);
            const size_t max = length - 7;
            return std::string(text, strnlen(text, max));
        }
        pos += length;
    }
    return std::nullopt;
}

// Resolves a stored relative path ("data\x.dbf") below folder, each part without regard to case.
std::filesystem::path ResolveNoCase(const std::filesystem::path& folder, std::string relative) {
    std::replace(relative.begin(), relative.end(), '\\', '/');
    std::filesystem::path current = folder;
    std::filesystem::path rel(relative);
    for (const auto& part : rel) {
        const std::string p = part.string();
        if (p.empty() || p == ".") continue;
        if (p == "..") {
            current = current.parent_path();
            continue;
        }
        auto found = FindFileNoCase(current, p);
        current = found.empty() ? current / p : found;
    }
    return current;
}

int FieldIndexOf(const Table& t, const char* name) {
    const int i = t.FieldIndex(name);
    if (i < 0)
        throw Error(err::kCorruptContainer, "Database container '" + dbf::DisplayName(t.Path()) +
                                                "' is corrupt: it has no field " + name + ".");
    return i;
}

}  // namespace

Container::Container(std::unique_ptr<Table> table) : m_table(std::move(table)) {}
Container::~Container() = default;

const std::filesystem::path& Container::Path() const { return m_table->Path(); }

std::unique_ptr<Container> Container::Open(const std::filesystem::path& dbcPath, OpenMode mode) {
    std::unique_ptr<Table> table;
    try {
        table = Table::Open(dbcPath, mode);
    } catch (const Error& e) {
        if (e.Number() == err::kCorruptTable || e.Number() == err::kNotATable)
            throw Error(err::kCorruptContainer,
                        "Database container '" + dbf::DisplayName(dbcPath) + "' is corrupt: " + e.Description());
        throw;
    }
    for (const char* name : {"OBJECTID", "PARENTID", "OBJECTTYPE", "OBJECTNAME", "PROPERTY"})
        FieldIndexOf(*table, name);
    return std::unique_ptr<Container>(new Container(std::move(table)));
}

std::unique_ptr<Container> Container::Create(const std::filesystem::path& dbcPath) {
    std::vector<FieldSpec> fields = {
        {.name = "OBJECTID", .type = 'I'},
        {.name = "PARENTID", .type = 'I'},
        {.name = "OBJECTTYPE", .type = 'C', .length = 10},
        {.name = "OBJECTNAME", .type = 'C', .length = 128},
        {.name = "PROPERTY", .type = 'M', .binary = true},
        {.name = "CODE", .type = 'M', .binary = true},
        {.name = "RIINFO", .type = 'C', .length = 6},
        {.name = "USER", .type = 'M'},
    };
    auto table = Table::Create(dbcPath, fields);
    Bytes version;
    PutProperty(version, kPropVersion, Bytes{0, 0, 0, 10});
    int id = 1;
    for (const char* name : {"Database", "TransactionLog", "StoredProceduresSource", "StoredProceduresObject",
                             "StoredProceduresDependencies"}) {
        table->Append({Value(int64_t{id}), Value(int64_t{1}), Value("Database"), Value(name),
                       Value(id == 1 ? version : Bytes()), Value(Bytes()), Value(""), Value("")});
        ++id;
    }
    return std::unique_ptr<Container>(new Container(std::move(table)));
}

std::vector<ContainerTable> Container::Tables() const {
    const Table& t = *m_table;
    const int idField = FieldIndexOf(t, "OBJECTID"), parentField = FieldIndexOf(t, "PARENTID");
    const int typeField = FieldIndexOf(t, "OBJECTTYPE"), nameField = FieldIndexOf(t, "OBJECTNAME");
    const int propField = FieldIndexOf(t, "PROPERTY");
    const auto folder = t.Path().parent_path().empty() ? std::filesystem::path(".") : t.Path().parent_path();
    std::vector<ContainerTable> tables;
    std::vector<int64_t> ids;
    try {
        for (uint32_t i = 0; i < t.RecordCount(); ++i) {
            if (t.IsDeleted(i)) continue;
            const std::string type = TrimRight(t.ReadValue(i, typeField).As<std::string>());
            const Value id = t.ReadValue(i, idField), parent = t.ReadValue(i, parentField);
            if (type == "Table") {
                ContainerTable ct;
                ct.name = TrimRight(t.ReadValue(i, nameField).As<std::string>());
                const Value prop = t.ReadValue(i, propField);
                const Bytes* list = prop.If<Bytes>();
                std::optional<std::string> path = list ? FindProperty(*list, kPropPath, t.Path()) : std::nullopt;
                ct.file = ResolveNoCase(folder, path ? *path : ct.name + ".dbf");
                tables.push_back(std::move(ct));
                ids.push_back(id.IsNull() ? 0 : id.As<int64_t>());
            } else if (type == "Field" && !parent.IsNull()) {
                const auto at = std::find(ids.begin(), ids.end(), parent.As<int64_t>());
                if (at != ids.end())
                    tables[static_cast<size_t>(at - ids.begin())].fieldNames.push_back(
                        TrimRight(t.ReadValue(i, nameField).As<std::string>()));
            }
        }
    } catch (const Error& e) {
        if (e.Number() == err::kCorruptContainer) throw;
        throw Error(err::kCorruptContainer,
                    "Database container '" + dbf::DisplayName(t.Path()) + "' is corrupt: " + e.Description());
    } catch (const std::bad_variant_access&) {
        throw Error(err::kCorruptContainer,
                    "Database container '" + dbf::DisplayName(t.Path()) + "' is corrupt: a field has the wrong type.");
    }
    return tables;
}

std::optional<ContainerTable> Container::FindTable(const std::string& name) const {
    for (auto& t : Tables())
        if (AsciiLower(t.name) == AsciiLower(name)) return t;
    return std::nullopt;
}

std::string Container::BackLinkFor(const std::filesystem::path& tableFile) const {
    const auto tableFolder = std::filesystem::absolute(tableFile).parent_path();
    std::string link = AsciiLower(std::filesystem::absolute(Path()).lexically_relative(tableFolder).string());
    std::replace(link.begin(), link.end(), '/', '\\');
    return link;
}

void Container::AddTable(const std::string& name, const std::filesystem::path& tableFile,
                         std::vector<std::string> longFieldNames) {
    if (FindTable(name))
        throw Error(err::kBadArgument,
                    "Table '" + name + "' already exists in database container '" + dbf::DisplayName(Path()) + "'.");
    std::vector<Field> fields;
    {
        auto table = Table::Open(tableFile, OpenMode::Exclusive);
        if (!table->ContainerLink().empty())
            throw Error(err::kBadArgument,
                        "Table '" + dbf::DisplayName(tableFile) + "' already belongs to a database.");
        table->SetContainerLink(BackLinkFor(tableFile));
        fields = table->Fields();
    }
    if (longFieldNames.empty())
        for (const auto& f : fields) longFieldNames.push_back(AsciiLower(f.name));
    if (longFieldNames.size() != fields.size())
        throw Error(err::kBadArgument, "Table '" + name + "' needs one long name per field.");
    const auto dbcFolder = std::filesystem::absolute(Path()).parent_path();
    std::string relative = std::filesystem::absolute(tableFile).lexically_relative(dbcFolder).string();
    std::replace(relative.begin(), relative.end(), '/', '\\');
    Bytes props;
    PutProperty(props, kPropClass, Bytes{1});
    PutProperty(props, kPropPath, TextValue(AsciiLower(relative)));
    const int64_t tableId = int64_t{m_table->RecordCount()} + 1;
    m_table->Append({Value(tableId), Value(int64_t{1}), Value("Table"), Value(name), Value(props), Value(Bytes()),
                     Value(""), Value("")});
    for (const auto& longName : longFieldNames) {
        const int64_t id = int64_t{m_table->RecordCount()} + 1;
        m_table->Append({Value(id), Value(tableId), Value("Field"), Value(longName), Value(Bytes()), Value(Bytes()),
                         Value(""), Value("")});
    }
}

std::unique_ptr<Table> Container::CreateTable(const std::string& name, const std::string& fileName,
                                              const std::vector<FieldSpec>& fields, const TableOptions& options) {
    const auto folder = Path().parent_path();
    const auto file = folder / fileName;
    Table::Create(file, fields, options)->Close();
    std::vector<std::string> longNames;
    for (const auto& f : fields) longNames.push_back(AsciiLower(f.name));
    AddTable(name, file, longNames);
    return Table::Open(file, OpenMode::Exclusive);
}

void Container::Pack() { m_table->Pack(); }

}  // namespace engine
