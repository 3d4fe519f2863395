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

    MemoValue Read(uint32_t block) const;
    // Appends a value and returns its first block number. With reread the header is read
    // first, so that appends from other connections holding the table's write lock are kept.
    uint32_t Append(uint32_t type, std::string_view data, bool reread = true);
    // Reads the header again (the next free block other connections may have moved).
    void Reread() { ReadHeader(); }
    void Sync() { m_file.Sync(); }
    File& Raw() { return m_file; }

private:
    File m_file;
    Kind m_kind = Kind::Fpt;
    uint32_t m_blockSize = 64;
    uint32_t m_nextFree = 0;
    mutable uint64_t m_knownSize = 0;
    void ReadHeader();
};

}  // namespace engine::dbf
