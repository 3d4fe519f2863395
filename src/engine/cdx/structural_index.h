// The structural compound index of an open table: its tags with their compiled expressions,
// keeping every tag right as records are appended, changed and marked, answering
// "which records have this key" for lookups, walking and checking tags, and writing a whole
// index file anew from the table's rows (for new indexes, REINDEX and PACK).
//
// A tag whose expressions cannot be evaluated, or that is UNIQUE, makes the index
// unmaintainable: WriteProblem() says which tag and why, and the table refuses writes.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/cdx/index_file.h"
#include "engine/cdx/tag_key.h"

namespace engine::cdx {

// A tag to create: the name (at most 10 characters), key expression, optional FOR expression.
struct TagSpec {
    std::string name;
    std::string expression;
    std::string forExpression{};  // empty when the tag has none
    bool candidate = false;
    bool descending = false;
};

// What a tag's entries are for one record: its key, or nullopt when the tag leaves it out.
using RowKeys = std::vector<std::optional<std::string>>;

// Supplies the rows of a table one by one: fills row (values of the used fields, deletion
// mark, 0-based record number) and returns false after the last.
using RowSource = std::function<bool(sql::RowView& row)>;

// The keys of records appended together, held until StructuralIndex::Insert puts them into
// the tags: each tag's in key order, so that neighbouring keys change a node in memory one
// after the other and the batch writes it once.
class AddedKeys {
public:
    bool Empty() const { return m_records == 0; }
    // Makes room for the keys of `records` rows in each of `tags` tags, so that gathering a
    // batch's keys does not move the keys gathered so far.
    void Reserve(size_t tags, size_t records);

private:
    friend class StructuralIndex;
    std::vector<std::vector<Entry>> m_entries;                  // per tag
    std::vector<std::unordered_set<std::string>> m_candidates;  // per candidate tag: keys taken
    size_t m_records = 0;
};

class StructuralIndex {
public:
    struct Tag {
        TagHeader header;
        std::unique_ptr<TagKey> key;  // null when the expressions cannot be evaluated
        std::string problem;          // why not, naming the tag and its expression
    };

    // Opens the index and compiles its tags. Throws kCorruptIndex (naming the file) when the
    // tag directory or a tag header cannot be read; a root node that does not read is noted
    // in TreeError().
    // Expressions are compiled against fields (the names the table's container gives them);
    // when that fails, against shortFields (the names in the table file), if given.
    StructuralIndex(const std::filesystem::path& path, bool writable, const std::vector<sql::FieldInfo>& fields,
                    const dbf::CodePage& codePage, const std::vector<sql::FieldInfo>& shortFields = {});

    const std::filesystem::path& Path() const { return m_file.Path(); }
    const std::vector<Tag>& Tags() const { return m_tags; }
    // Empty when every tag can be kept up to date; else the reason, naming the tag.
    const std::string& WriteProblem() const { return m_problem; }
    // Empty when every tag's root node reads; else the error (kCorruptIndex, naming the file).
    const std::string& TreeError() const { return m_treeError; }
    // Fields any tag's expressions read (values of other fields need not be supplied).
    const std::vector<size_t>& UsedFields() const { return m_used; }
    bool AnyForUsesDeleted() const;

    RowKeys KeysOf(const sql::RowView& row) const;
    // Throws kUniqueViolated when a candidate tag already holds one of the keys for another
    // record. record is 1-based.
    void CheckCandidates(const RowKeys& keys, uint32_t record);
    // The same for several records changed together (record 1-based, its keys after the
    // change): a key may be taken over from another record of the batch that gives it up, but
    // two records of the batch may not end with one key.
    void CheckCandidates(const std::vector<std::pair<uint32_t, RowKeys>>& changed);
    // Checks the keys of a new record (1-based) as CheckCandidates does, and also against the
    // records added before it, then keeps them in added; throws kUniqueViolated keeping nothing.
    void Add(AddedKeys& added, const RowKeys& keys, uint32_t record);
    // Puts the keys kept in added into the tags (see AddedKeys) and empties it.
    void Insert(AddedKeys& added);
    // Changes the tags from old to new keys of a record (1-based); either may be empty (all
    // nullopt) for a record that is new or leaves.
    void Update(uint32_t record, const RowKeys& before, const RowKeys& after);

    // Whether every tag holds its key (where it has one) for the record (1-based).
    bool HoldsKeys(const RowKeys& keys, uint32_t record);

    // 1-based record numbers whose key under a tag made of field alone equals value's key, or
    // nullopt when no such tag exists. Text keys of case-folding tags match without regard to
    // case, so callers check candidates again.
    std::optional<std::vector<uint32_t>> SeekEqual(size_t field, const Value& value);

    // Every entry of tag in order; and the entries the rows give, sorted.
    std::vector<Entry> Walk(size_t tag);
    // The 1-based record numbers of tag's entries in key order (the keys are not copied).
    std::vector<uint32_t> WalkRecords(size_t tag);
    // Checks the structure of every tag; throws kCorruptIndex.
    void Verify();
    void Sync() { m_file.File().Sync(); }
    void StartSync() { m_file.File().StartSync(); }
    // Pages read and written between these are kept in memory and written at EndBatch
    // (IndexFile); call under the table's write lock or exclusive use.
    void BeginBatch() { m_file.BeginBatch(); }
    // The kept nodes (index_file.h): read the change counter again at the next use; answer
    // from memory only, throwing IndexFile::CacheMiss when that is not enough.
    void Recheck() { m_file.Recheck(); }
    void CacheOnly(bool on) { m_file.CacheOnly(on); }
    void EndBatch() { m_file.EndBatch(); }
    dbf::File& File() { return m_file.File(); }

    // Writes a complete index file for tags over the rows, beside path then renamed over it.
    // Tags' expressions are compiled against fields; throws engine::Error naming a tag whose
    // expression cannot be evaluated. Existing tags are rebuilt with their headers' options.
    static void WriteNew(const std::filesystem::path& path, const std::vector<TagSpec>& tags,
                         const std::vector<sql::FieldInfo>& fields, const dbf::CodePage& codePage,
                         const RowSource& rows);
    void Rebuild(const std::vector<sql::FieldInfo>& fields, const dbf::CodePage& codePage, const RowSource& rows);

private:
    IndexFile m_file;
    std::vector<sql::FieldInfo> m_fields;
    std::vector<Tag> m_tags;
    std::string m_problem;
    std::string m_treeError;
    std::vector<size_t> m_used;
};

// Writes the index image for tag headers (names, expressions, options, key lengths taken as
// given) and their sorted entries to path through a file beside it.
void WriteIndexFile(const std::filesystem::path& path, const std::vector<TagHeader>& headers,
                    const std::vector<std::vector<Entry>>& entries, const std::vector<NodeFormat>& formats);

}  // namespace engine::cdx
