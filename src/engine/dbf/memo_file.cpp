#include "memo_file.h"

#include <algorithm>

#include "engine/error.h"
#include "format.h"

namespace engine::dbf {

namespace {
constexpr size_t kChunkBytes = 8 * 1024;

[[noreturn]] void Corrupt(const std::filesystem::path& file, const std::string& what) {
    throw Error(err::kCorruptMemo, "Memo file '" + DisplayName(file) + "' is corrupt: " + what + ".");
}
bool IsDbt(const std::filesystem::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".dbt";
}
}  // namespace

MemoFile::MemoFile(const std::filesystem::path& path, bool writable)
    : m_file(path, writable ? File::Access::ReadWrite : File::Access::Read) {
    m_kind = IsDbt(path) ? Kind::Dbt : Kind::Fpt;
    ReadHeader();
}

void MemoFile::ReadHeader() {
    uint8_t header[8];
    if (m_file.ReadSome(0, header, sizeof header) != sizeof header) Corrupt(m_file.Path(), "the header is truncated");
    if (m_kind == Kind::Dbt) {
        m_blockSize = fmt::kDbtBlockSize;
        m_nextFree = fmt::Le32(header);
        return;
    }
    m_nextFree = fmt::Be32(header);
    m_blockSize = fmt::Be16(header + 6);
    if (m_blockSize == 0) Corrupt(m_file.Path(), "the block size is zero");
}

MemoFile MemoFile::Create(const std::filesystem::path& path, uint16_t blockSize) {
    if (blockSize == 0) blockSize = 1;
    MemoFile memo;
    memo.m_file = File(path, File::Access::Create);
    memo.m_blockSize = blockSize;
    memo.m_nextFree = static_cast<uint32_t>((fmt::kMemoHeaderSize + blockSize - 1) / blockSize);
    std::vector<uint8_t> header(fmt::kMemoHeaderSize, 0);
    fmt::PutBe32(header.data(), memo.m_nextFree);
    fmt::PutBe16(header.data() + 6, blockSize);
    memo.m_file.WriteAt(0, header.data(), header.size());
    return memo;
}

MemoValue MemoFile::Read(uint32_t block) const {
    if (m_gathering && m_gatherStarted && block >= m_gatherFirst && block < m_gatherNext) {
        // A value appended in this run and not written yet (an index key may read it).
        const uint8_t* p = m_gathered.data() + (block - m_gatherFirst) * m_blockSize;
        MemoValue value;
        value.type = fmt::Be32(p);
        value.data.assign(p + fmt::kMemoBlockHeader, p + fmt::kMemoBlockHeader + fmt::Be32(p + 4));
        return value;
    }
    // The size only grows while open; look it up again only when a block seems to lie past it.
    const uint64_t wanted = uint64_t(block) * m_blockSize + fmt::kMemoBlockHeader;
    if (wanted > m_knownSize) m_knownSize = m_file.Size();
    uint64_t size = m_knownSize;
    const uint64_t start = uint64_t(block) * m_blockSize;
    const std::string where = "block " + std::to_string(block);
    if (start < fmt::kMemoHeaderSize && m_kind == Kind::Fpt) Corrupt(m_file.Path(), where + " lies inside the header");
    MemoValue value;
    if (m_kind == Kind::Dbt) {
        if (start >= size) Corrupt(m_file.Path(), where + " lies past the end of the file");
        const size_t available = static_cast<size_t>(std::min<uint64_t>(size - start, 16u << 20));
        std::vector<uint8_t> buf(available);
        m_file.ReadAt(start, buf.data(), buf.size(), err::kCorruptMemo);
        const auto end = std::find(buf.begin(), buf.end(), fmt::kEndOfFile);
        value.data.assign(buf.begin(), end);
        return value;
    }
    if (start + fmt::kMemoBlockHeader > size) Corrupt(m_file.Path(), where + " lies past the end of the file");
    // One read takes the block header with a short value and the values after it, which are
    // often read next (a record's other memos, the next record's); a longer value needs a
    // second read.
    if (start < m_chunkStart || start + fmt::kMemoBlockHeader > m_chunkStart + m_chunk.size()) {
        m_chunk.resize(static_cast<size_t>(std::min<uint64_t>(kChunkBytes, size - start)));
        m_chunk.resize(m_file.ReadSome(start, m_chunk.data(), m_chunk.size()));
        m_chunkStart = start;
    }
    const uint8_t* first = m_chunk.data() + (start - m_chunkStart);
    const size_t got = m_chunk.size() - static_cast<size_t>(start - m_chunkStart);
    if (got < fmt::kMemoBlockHeader) Corrupt(m_file.Path(), where + " lies past the end of the file");
    value.type = fmt::Be32(first);
    const uint32_t length = fmt::Be32(first + 4);
    if (start + fmt::kMemoBlockHeader + length > size) size = m_knownSize = m_file.Size();
    if (start + fmt::kMemoBlockHeader + length > size)
        Corrupt(m_file.Path(), where + " holds " + std::to_string(length) + " bytes, past the end of the file");
    value.data.resize(length);
    const size_t inFirst = std::min<size_t>(length, got - fmt::kMemoBlockHeader);
    std::copy(first + fmt::kMemoBlockHeader, first + fmt::kMemoBlockHeader + inFirst, value.data.begin());
    if (length > inFirst)
        m_file.ReadAt(start + fmt::kMemoBlockHeader + inFirst, value.data.data() + inFirst, length - inFirst,
                      err::kCorruptMemo);
    return value;
}

uint64_t MemoFile::FirstFreeBlock(bool reread) {
    if (reread) ReadHeader();
    // A damaged header may name a free block inside the header or among the blocks in use;
    // writing there would overwrite the header or other records' memos.
    const uint64_t headerBlocks = (fmt::kMemoHeaderSize + m_blockSize - 1) / m_blockSize;
    if (m_nextFree < headerBlocks)
        Corrupt(m_file.Path(), "the next free block " + std::to_string(m_nextFree) + " lies inside the header");
    // New values go at the end of the file. A header lagging behind it (appends whose header
    // write was lost) must not make us overwrite them; a header naming a block past it (damage,
    // or a header that reached the disk before the data it counts) is not followed either:
    // nothing lies there, and writing there would grow the file by the whole gap, after which a
    // damaged length in any block would no longer be bounded by the file's real contents.
    const uint64_t endBlock = (m_file.Size() + m_blockSize - 1) / m_blockSize;
    return std::max<uint64_t>(endBlock, headerBlocks);
}

uint32_t MemoFile::Append(uint32_t type, std::string_view data, bool reread) {
    if (m_kind != Kind::Fpt)
        throw Error(err::kFileAccess, "Memo file '" + DisplayName(m_file.Path()) + "' is read-only.");
    if (m_gathering && !m_gatherStarted) {
        m_gatherFirst = m_gatherNext = FirstFreeBlock(m_gatherReread);
        m_gatherStarted = true;
    }
    const uint64_t first = m_gathering ? m_gatherNext : FirstFreeBlock(reread);
    const uint64_t total = fmt::kMemoBlockHeader + data.size();
    const uint64_t blocks = (total + m_blockSize - 1) / m_blockSize;
    const uint64_t next = first + blocks;
    if (next > 0xFFFFFFFFull || next * m_blockSize > (uint64_t{1} << 32) * 16)
        throw Error(err::kValueTooLarge, "Memo file '" + DisplayName(m_file.Path()) + "' is full.");
    std::vector<uint8_t> own;
    std::vector<uint8_t>& buf = m_gathering ? m_gathered : own;
    const size_t at = buf.size();
    buf.resize(at + static_cast<size_t>(blocks * m_blockSize), 0);
    fmt::PutBe32(buf.data() + at, type);
    fmt::PutBe32(buf.data() + at + 4, static_cast<uint32_t>(data.size()));
    std::copy(data.begin(), data.end(), buf.begin() + static_cast<std::ptrdiff_t>(at + fmt::kMemoBlockHeader));
    const auto block = static_cast<uint32_t>(first);
    if (m_gathering) {
        m_gatherNext = next;
        return block;
    }
    m_file.WriteAt(uint64_t(block) * m_blockSize, buf.data(), buf.size());
    WriteNextFree(next);
    return block;
}

void MemoFile::WriteNextFree(uint64_t next) {
    uint8_t header[4];
    fmt::PutBe32(header, static_cast<uint32_t>(next));
    m_file.WriteAt(0, header, sizeof header);
    m_nextFree = static_cast<uint32_t>(next);
}

void MemoFile::GatherAppends(bool reread) {
    m_gathering = true;
    m_gatherStarted = false;
    m_gatherReread = reread;
    m_gathered.clear();
}

void MemoFile::WriteGathered() {
    if (!m_gathering) return;
    m_gathering = false;
    if (m_gathered.empty()) return;
    std::vector<uint8_t> bytes;
    bytes.swap(m_gathered);
    m_file.WriteAt(m_gatherFirst * m_blockSize, bytes.data(), bytes.size());
    WriteNextFree(m_gatherNext);
}

void MemoFile::DropGathered() noexcept {
    m_gathering = false;
    m_gathered.clear();
    m_gathered.shrink_to_fit();
}

}  // namespace engine::dbf
