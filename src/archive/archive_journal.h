// ArchiveJournal: the archive run's record of patients whose archive copy is complete but
// whose deletion from the practice database may not have finished. The run adds a group of
// patients after their archive copies were made durable and checked, and removes them once
// their practice deletion is durable too; a
// patient still listed when the program next looks (after a crash or a kill) is finished by
// deleting it from the practice, never by touching its archive copy, which is whole.
//
// The list lives in one small text file in the archive folder, one patient number a line.
// Every change writes a new file beside it, syncs it, renames it over the old one and syncs
// the folder, so the file on disk is always the list before or the list after a change.
#pragma once

#include <cstdint>
#include <set>
#include <string>

namespace app {

class ArchiveJournal {
public:
    static constexpr const char* kFileName = "ArchiveRun.journal";

    // archiveFolder: the archive database's folder (no trailing "/" needed).
    explicit ArchiveJournal(std::string archiveFolder);

    // The patients listed; empty when the file is missing. Lines that are no positive
    // number are ignored.
    std::set<int32_t> Pending() const;
    bool Contains(int32_t PtNum) const { return Pending().count(PtNum) != 0; }
    // Lists PtNum durably. Throws engine::Error (kFileAccess) when the file cannot be written.
    void Add(int32_t PtNum);
    // Unlists PtNum durably; the file goes when the list is empty. Throws like Add.
    void Remove(int32_t PtNum);
    // The same for several patients in one durable write.
    void Add(const std::set<int32_t>& patients);
    void Remove(const std::set<int32_t>& patients);

    const std::string& FilePath() const { return m_file; }

private:
    void Write(const std::set<int32_t>& patients);

    std::string m_folder;
    std::string m_file;
};

}  // namespace app
