// Memo files: the .fpt of a Visual FoxPro or FoxPro 2 table (and the .dct of a container),
// and, for reading only, the .dbt of a dBase III table.
//
// Values are read by block number. New values are appended at the end of the file and the
// header's next free block is set past them; space of replaced values is reclaimed only by
// packing. A block
// number or a length that points past the end of the file raises kCorruptMemo naming the file.
// The caller serialises writers (the table holds its write lock while appending).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "file_io.h"

namespace engine::dbf {

struct MemoValue {
    uint32_t type = 1;  // 0 picture/binary, 1 text, 2 object
    std::vector<uint8_t> data;
};

class MemoFile {
public:
    enum class Kind { Fpt, Dbt };

    MemoFile() = default;
    // Opens an existing memo file; throws kCorruptMemo when its header is unreadable.
    MemoFile(const std::filesystem::path& path, bool writable);
    // Creates an empty memo file with the given block size (1 to 65535; 64 by default).
    static MemoFile Create(const std::filesystem::path& path, uint16_t blockSize);

    bool IsOpen() const { return m_file.IsOpen(); }
    const std::filesystem::path& Path() const { return m_file.Path(); }
    uint32_t BlockSize() const { return m_blockSize; }
    uint32_t NextFreeBlock() const { return m_nextFree; }

    // Reads the value at block. The bytes read with it (up to 8 KB from its start) are kept
    // to answer the reads of the values after it, until DropCache: a reader that may meet
    // values other connections rewrote in place calls it (tables do at every refresh).
    MemoValue Read(uint32_t block) const;
    void DropCache() const { m_chunk.clear(); }
    // Appends a value and returns its first block number. With reread the header is read
    // first, so that appends from other connections holding the table's write lock are kept.
    uint32_t Append(uint32_t type, std::string_view data, bool reread = true);
    // Between GatherAppends and WriteGathered (a run of appends under one hold of the table's
    // write lock) the header and the file's size are read once, at the first append, and the
    // values are kept in memory: WriteGathered writes them in one write, then the header's
    // next free block past them. Each value's block number is known when it is appended.
    // DropGathered forgets what was not written. reread: as for Append.
    void GatherAppends(bool reread);
    void WriteGathered();
    void DropGathered() noexcept;
    // Reads the header again (the next free block other connections may have moved).
    void Reread() { ReadHeader(); }
    void Sync() { m_file.Sync(); }
    void StartSync() { m_file.StartSync(); }
    File& Raw() { return m_file; }

private:
    File m_file;
    Kind m_kind = Kind::Fpt;
    uint32_t m_blockSize = 64;
    uint32_t m_nextFree = 0;
    mutable uint64_t m_knownSize = 0;
    mutable std::vector<uint8_t> m_chunk;  // bytes of the file from m_chunkStart, read last
    mutable uint64_t m_chunkStart = 0;
    void ReadHeader();
    // Where new values go: the end of the file (the header read again first when reread).
    uint64_t FirstFreeBlock(bool reread);
    void WriteNextFree(uint64_t next);
    bool m_gathering = false;
    bool m_gatherStarted = false;
    bool m_gatherReread = false;
    uint64_t m_gatherFirst = 0;
    uint64_t m_gatherNext = 0;
    std::vector<uint8_t> m_gathered;
};

}  // namespace engine::dbf
