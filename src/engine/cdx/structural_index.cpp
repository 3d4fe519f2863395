#include "engine/cdx/structural_index.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "engine/ascii_case.h"
#include "engine/cdx/tag_tree.h"
#include "engine/dbf/format.h"
#include "engine/error.h"
#include "engine/sql/parser.h"

namespace engine::cdx {

namespace {

NodeFormat FormatOf(const StructuralIndex::Tag& tag) {
    return tag.key ? tag.key->Format() : NodeFormat{tag.header.keyLength, ' '};
}

// Whether a lookup value belongs to the family of the field, so that its key can be compared.
bool SameFamily(const sql::FieldInfo& f, const Value& v) {
    switch (sql::KindOfType(f.type)) {
        case sql::Kind::kChar: return v.Is<std::string>();
        case sql::Kind::kNumber: return sql::IsNumber(v);
        case sql::Kind::kLogical: return v.Is<bool>();
        case sql::Kind::kDate:
        case sql::Kind::kDateTime: return v.Is<Date>() || v.Is<DateTime>();
        default: return false;
    }
}

// fields with a field renamed to a name the expression uses that the field's name is the first
// ten characters of (a container table's long names, when the container is not at hand).
std::vector<sql::FieldInfo> WithLongNames(std::vector<sql::FieldInfo> fields, const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        if (!(std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '_')) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < text.size() && (std::isalnum(static_cast<unsigned char>(text[j])) || text[j] == '_')) ++j;
        const std::string word = text.substr(i, j - i);
        i = j;
        if (word.size() <= kTagNameLength || sql::FindField(fields, word) >= 0) continue;
        const int f = sql::FindField(fields, word.substr(0, kTagNameLength));
        if (f >= 0) fields[f].name = word;
    }
    return fields;
}

std::vector<Entry> SortedEntries(const TagKey& key, std::vector<Entry> entries) {
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return CompareEntry(a.key, a.record, b.key, b.record) < 0; });
    (void)key;
    return entries;
}

// Computes every tag's entries from the rows and writes the file.
void BuildFile(const std::filesystem::path& path, const std::vector<TagHeader>& headers,
               const std::vector<const TagKey*>& keys, const RowSource& rows) {
    std::vector<std::vector<Entry>> entries(headers.size());
    std::vector<Value> values;
    sql::RowView row;
    while (rows(row)) {
        for (size_t t = 0; t < headers.size(); ++t) {
            if (auto k = keys[t]->KeyOf(row)) entries[t].push_back(Entry{std::move(*k), row.record + 1, 0});
        }
    }
    std::vector<NodeFormat> formats;
    for (size_t t = 0; t < headers.size(); ++t) {
        entries[t] = SortedEntries(*keys[t], std::move(entries[t]));
        formats.push_back(keys[t]->Format());
        if (headers[t].options & kOptCandidate) {
            for (size_t i = 1; i < entries[t].size(); ++i) {
                if (entries[t][i].key == entries[t][i - 1].key)
                    throw Error(kUniqueViolated, "Uniqueness of index \"" + headers[t].name + "\" is violated.");
            }
        }
    }
    WriteIndexFile(path, headers, entries, formats);
}

}  // namespace

StructuralIndex::StructuralIndex(const std::filesystem::path& path, bool writable,
                                 const std::vector<sql::FieldInfo>& fields, const dbf::CodePage& codePage,
                                 const std::vector<sql::FieldInfo>& shortFields)
    : m_file(path, writable), m_fields(fields) {
    for (TagHeader& h : m_file.ReadTags()) {
        Tag tag;
        tag.header = std::move(h);
        // The tag as a problem names it, made only when there is one (every open reads the tags).
        const auto what = [&] {
            return "tag " + tag.header.name + " with expression '" + tag.header.keyExpression + "'" +
                   (tag.header.forExpression.empty() ? "" : " FOR '" + tag.header.forExpression + "'");
        };
        try {
            tag.key = std::make_unique<TagKey>(tag.header, fields, codePage);
        } catch (const Error& e) {
            tag.problem = what() + " cannot be evaluated: " + e.Description();
            const auto& base = shortFields.empty() ? fields : shortFields;
            for (const auto& other :
                 {base, WithLongNames(base, tag.header.keyExpression + " " + tag.header.forExpression)}) {
                if (tag.key || other == fields) continue;
                try {
                    tag.key = std::make_unique<TagKey>(tag.header, other, codePage);
                    tag.problem.clear();
                } catch (const Error&) {
                }
            }
        }
        if (tag.key && (tag.header.options & kOptUnique)) {
            tag.problem = what() + " is UNIQUE, which is not kept up to date";
        }
        if (m_problem.empty() && !tag.problem.empty()) m_problem = tag.problem;
        if (tag.key) {
            for (size_t f : tag.key->UsedFields()) {
                if (std::find(m_used.begin(), m_used.end(), f) == m_used.end()) m_used.push_back(f);
            }
        }
        try {
            m_file.ReadNode(tag.header.root, FormatOf(tag));  // a broken root shows at once
        } catch (const Error& e) {
            if (m_treeError.empty()) m_treeError = e.Description();
        }
        m_tags.push_back(std::move(tag));
    }
    std::sort(m_used.begin(), m_used.end());
}

bool StructuralIndex::AnyForUsesDeleted() const {
    return std::any_of(m_tags.begin(), m_tags.end(), [](const Tag& t) { return t.key && t.key->ForUsesDeleted(); });
}

RowKeys StructuralIndex::KeysOf(const sql::RowView& row) const {
    RowKeys keys(m_tags.size());
    for (size_t t = 0; t < m_tags.size(); ++t) {
        if (m_tags[t].key) keys[t] = m_tags[t].key->KeyOf(row);
    }
    return keys;
}

void StructuralIndex::CheckCandidates(const RowKeys& keys, uint32_t record) {
    for (size_t t = 0; t < m_tags.size(); ++t) {
        const Tag& tag = m_tags[t];
        if (!(tag.header.options & kOptCandidate) || !tag.key || t >= keys.size() || !keys[t]) continue;
        TagTree tree(m_file, tag.header.headerOffset, tag.key->Format(), tag.header.name);
        for (uint32_t r : tree.FindEqual(*keys[t])) {
            if (r != record)
                throw Error(kUniqueViolated, "Uniqueness of index \"" + tag.header.name + "\" is violated.");
        }
    }
}

void StructuralIndex::CheckCandidates(const std::vector<std::pair<uint32_t, RowKeys>>& changed) {
    std::map<uint32_t, size_t> batch;  // record -> position in changed
    for (size_t i = 0; i < changed.size(); ++i) batch[changed[i].first] = i;
    for (size_t t = 0; t < m_tags.size(); ++t) {
        const Tag& tag = m_tags[t];
        if (!(tag.header.options & kOptCandidate) || !tag.key) continue;
        const auto violated = [&] {
            throw Error(kUniqueViolated, "Uniqueness of index \"" + tag.header.name + "\" is violated.");
        };
        std::set<std::string> taken;
        TagTree tree(m_file, tag.header.headerOffset, tag.key->Format(), tag.header.name);
        for (const auto& [record, keys] : changed) {
            if (t >= keys.size() || !keys[t]) continue;
            if (!taken.insert(*keys[t]).second) violated();
            for (uint32_t r : tree.FindEqual(*keys[t])) {
                if (r == record) continue;
                const auto other = batch.find(r);
                // Held by a record outside the batch, or by one that keeps it.
                if (other == batch.end()) violated();
                const RowKeys& otherKeys = changed[other->second].second;
                if (t < otherKeys.size() && otherKeys[t] == keys[t]) violated();
            }
        }
    }
}

void AddedKeys::Reserve(size_t tags, size_t records) {
    if (m_entries.size() < tags) m_entries.resize(tags);
    for (auto& entries : m_entries) entries.reserve(entries.size() + records);
}

void StructuralIndex::Add(AddedKeys& added, const RowKeys& keys, uint32_t record) {
    added.m_entries.resize(m_tags.size());
    added.m_candidates.resize(m_tags.size());
    for (size_t t = 0; t < m_tags.size() && t < keys.size(); ++t) {
        const Tag& tag = m_tags[t];
        if (!(tag.header.options & kOptCandidate) || !tag.key || !keys[t]) continue;
        if (added.m_candidates[t].contains(*keys[t]))
            throw Error(kUniqueViolated, "Uniqueness of index \"" + tag.header.name + "\" is violated.");
    }
    CheckCandidates(keys, record);
    for (size_t t = 0; t < m_tags.size() && t < keys.size(); ++t) {
        const Tag& tag = m_tags[t];
        if (!tag.key || !keys[t]) continue;
        if (tag.header.options & kOptCandidate) added.m_candidates[t].insert(*keys[t]);
        added.m_entries[t].push_back(Entry{*keys[t], record, 0});
    }
    ++added.m_records;
}

void StructuralIndex::Insert(AddedKeys& added) {
    AddedKeys taken;
    std::swap(taken, added);
    for (size_t t = 0; t < m_tags.size() && t < taken.m_entries.size(); ++t) {
        const Tag& tag = m_tags[t];
        auto& entries = taken.m_entries[t];
        if (!tag.key || entries.empty()) continue;
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return CompareEntry(a.key, a.record, b.key, b.record) < 0; });
        TagTree tree(m_file, tag.header.headerOffset, tag.key->Format(), tag.header.name);
        tree.InsertSorted(entries);
    }
}

void StructuralIndex::Update(uint32_t record, const RowKeys& before, const RowKeys& after) {
    for (size_t t = 0; t < m_tags.size(); ++t) {
        const Tag& tag = m_tags[t];
        if (!tag.key) continue;
        const std::optional<std::string> none;
        const auto& b = t < before.size() ? before[t] : none;
        const auto& a = t < after.size() ? after[t] : none;
        if (b == a) continue;
        TagTree tree(m_file, tag.header.headerOffset, tag.key->Format(), tag.header.name);
        if (b) tree.Remove(*b, record);
        if (a) tree.Insert(*a, record);
    }
}

bool StructuralIndex::HoldsKeys(const RowKeys& keys, uint32_t record) {
    for (size_t t = 0; t < m_tags.size() && t < keys.size(); ++t) {
        const Tag& tag = m_tags[t];
        if (!tag.key || !keys[t]) continue;
        if (!TagTree(m_file, tag.header.headerOffset, tag.key->Format(), tag.header.name).Contains(*keys[t], record))
            return false;
    }
    return true;
}

std::optional<std::vector<uint32_t>> StructuralIndex::SeekEqual(size_t field, const Value& value) {
    const Tag* best = nullptr;
    for (const Tag& t : m_tags) {
        if (!t.key || t.key->HasFor() || t.key->LookupField() != static_cast<int>(field)) continue;
        if (!best || (best->key->CaseFolded() && !t.key->CaseFolded())) best = &t;
    }
    if (!best || !m_treeError.empty()) return std::nullopt;
    if (value.IsNull()) return std::vector<uint32_t>{};
    if (field >= m_fields.size() || !SameFamily(m_fields[field], value)) return std::nullopt;
    const TagKey& key = *best->key;
    std::vector<Value> values(field + 1);
    values[field] = value;
    if (key.Kind() == KeyKind::kInteger) {
        if (!sql::IsNumber(value)) return std::nullopt;
        const double d = sql::ToDouble(value);
        if (d != std::trunc(d) || d < -2147483648.0 || d > 2147483647.0) return std::vector<uint32_t>{};
    }
    sql::RowView row;
    row.values = &values;
    std::optional<std::string> k;
    try {
        k = key.KeyOf(row);
    } catch (const Error&) {
        return std::nullopt;  // a value the key expression does not take: let the caller scan
    }
    if (!k) return std::nullopt;
    TagTree tree(m_file, best->header.headerOffset, key.Format(), best->header.name);
    return tree.FindEqual(*k);
}

std::vector<Entry> StructuralIndex::Walk(size_t tag) {
    const Tag& t = m_tags.at(tag);
    std::vector<Entry> out;
    TagTree(m_file, t.header.headerOffset, FormatOf(t), t.header.name).ForEach([&](const Entry& e) {
        out.push_back(e);
        return true;
    });
    return out;
}

std::vector<uint32_t> StructuralIndex::WalkRecords(size_t tag) {
    const Tag& t = m_tags.at(tag);
    return TagTree(m_file, t.header.headerOffset, FormatOf(t), t.header.name).Records();
}

void StructuralIndex::Verify() {
    for (const Tag& t : m_tags) TagTree(m_file, t.header.headerOffset, FormatOf(t), t.header.name).Verify();
}

void StructuralIndex::WriteNew(const std::filesystem::path& path, const std::vector<TagSpec>& tags,
                               const std::vector<sql::FieldInfo>& fields, const dbf::CodePage& codePage,
                               const RowSource& rows) {
    std::vector<TagHeader> headers;
    std::vector<std::unique_ptr<TagKey>> keys;
    for (const TagSpec& tagSpec : tags) {
        TagHeader h;
        h.name = AsciiUpper(tagSpec.name);
        h.keyExpression = tagSpec.expression;
        h.forExpression = tagSpec.forExpression;
        h.descending = tagSpec.descending;
        const std::string what = "tag " + h.name + " with expression '" + tagSpec.expression + "'";
        if (h.name.empty() || h.name.size() > kTagNameLength)
            throw Error(engine::err::kBadArgument, "Tag name '" + tagSpec.name + "' must have 1 to 10 characters.");
        if (tagSpec.expression.size() + tagSpec.forExpression.size() + 2 > kPoolSize)
            throw Error(engine::err::kBadArgument, "The expressions of " + what + " are too long.");
        try {
            sql::Scope scope;
            scope.fields = &fields;
            const sql::TypeInfo type = sql::Bind(*sql::ParseExpression(tagSpec.expression), scope)->type;
            const bool prefix = type.nullable && !tagSpec.candidate;
            h.keyLength = static_cast<uint16_t>(KeyLengthOf(type, prefix));
            h.options = kOptCompound | kOptCompact | (tagSpec.candidate ? kOptCandidate : 0) |
                        (tagSpec.forExpression.empty() ? 0 : kOptHasFor) | (prefix ? kOptNullable : 0);
            keys.push_back(std::make_unique<TagKey>(h, fields, codePage));
        } catch (const Error& e) {
            throw Error(engine::err::kIndexNotMaintained, "Cannot create " + what + ": " + e.Description());
        }
        headers.push_back(std::move(h));
    }
    std::vector<const TagKey*> raw;
    for (const auto& k : keys) raw.push_back(k.get());
    BuildFile(path, headers, raw, rows);
}

void StructuralIndex::Rebuild(const std::vector<sql::FieldInfo>&, const dbf::CodePage&, const RowSource& rows) {
    if (!m_problem.empty())
        throw Error(engine::err::kIndexNotMaintained,
                    "Cannot rebuild index '" + m_file.Name() + "': " + m_problem + ".");
    std::vector<TagHeader> headers;
    std::vector<const TagKey*> keys;
    for (const Tag& t : m_tags) {
        headers.push_back(t.header);
        keys.push_back(t.key.get());
    }
    const auto path = m_file.Path();
    BuildFile(path, headers, keys, rows);
    m_file = IndexFile();  // the old file is gone; the owner opens the new one
}

void WriteIndexFile(const std::filesystem::path& path, const std::vector<TagHeader>& given,
                    const std::vector<std::vector<Entry>>& entries, const std::vector<NodeFormat>& formats) {
    std::vector<size_t> order(given.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return given[a].name < given[b].name; });
    std::vector<uint8_t> image(kHeaderSize + kPageSize, 0);
    Node directory;
    directory.attributes = kAttrRoot | kAttrLeaf;
    for (size_t i : order) {
        const TagHeader& t = given[i];
        if (!directory.entries.empty() && directory.entries.back().key.starts_with(t.name + " "))
            throw Error(engine::err::kBadArgument, "Tag name " + t.name + " is used twice.");
        const uint32_t at = static_cast<uint32_t>(image.size());
        image.resize(at + kHeaderSize, 0);
        const uint32_t root = AppendTree(image, entries[i], formats[i]);
        uint8_t options = t.options;
        if (t.forExpression.empty()) options &= ~kOptHasFor;
        const auto header = BuildHeader(root, t.keyLength, options, t.descending, t.keyExpression, t.forExpression);
        std::copy(header.begin(), header.end(), image.begin() + at);
        std::string name = t.name;
        name.resize(kTagNameLength, ' ');
        directory.entries.push_back(Entry{name, at, 0});
    }
    const auto dirHeader = BuildHeader(kHeaderSize, kTagNameLength, kDirectoryOptions, false, "", "");
    std::copy(dirHeader.begin(), dirHeader.end(), image.begin());
    if (!EncodeNode(directory, NodeFormat{kTagNameLength, ' '}, image.data() + kHeaderSize))
        throw Error(engine::err::kBadArgument, "Too many tags for one index file.");
    const std::filesystem::path temp = path.string() + ".new";
    {
        dbf::File out(temp, dbf::File::Access::Create);
        out.WriteAt(0, image.data(), image.size());
        out.Sync();
    }
    dbf::RenameFile(temp, path);
    dbf::SyncFolder(path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path());
}

}  // namespace engine::cdx
