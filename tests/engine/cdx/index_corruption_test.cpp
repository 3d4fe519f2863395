// Broken index files: a node pointer out of the file, a key count past the node, a truncated
// file and random damage give errors naming the file (never a crash), reading the table still
// works, and REINDEX repairs what it can read the tag definitions of.
#include <gtest/gtest.h>

#include <random>

#include "engine/cdx/cdx_format.h"
#include "engine/cdx/index_marker.h"
#include "engine/dbf/format.h"
#include "engine/error.h"
#include "index_support.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
namespace fmt = engine::dbf::fmt;

// Offsets of the tag headers, read from the directory leaf at 1024 (one leaf for a few tags).
std::vector<uint32_t> TagHeaders(const std::string& bytes) {
    const auto* page = reinterpret_cast<const uint8_t*>(bytes.data()) + 1024;
    const int count = fmt::Le16(page + 2), n = page[23], recBits = page[20];
    std::vector<uint32_t> out;
    for (int i = 0; i < count; ++i) {
        uint64_t v = 0;
        for (int b = 0; b < n; ++b) v |= uint64_t(page[24 + i * n + b]) << (8 * b);
        out.push_back(static_cast<uint32_t>(v & ((uint64_t{1} << recBits) - 1)));
    }
    return out;
}

void ExpectCorruptError(const std::function<void()>& action) {
    try {
        action();
        ADD_FAILURE() << "no error";
    } catch (const engine::Error& e) {
        EXPECT_EQ(e.Number(), engine::cdx::kCorruptIndex) << e.Description();
        EXPECT_NE(e.Description().find("p.cdx"), std::string::npos) << e.Description();
    }
}

class IndexCorruption : public ::testing::Test {
protected:
    void SetUp() override {
        auto table = index_testing::MakeIndexedTable(dir / "p.dbf", 1200, 4);
        good = testing_support::ReadFile(dir / "p.cdx");
    }
    // Damages the file, checks errors and repair.
    void Damage(const std::function<void(std::string&)>& change) {
        std::string bytes = good;
        change(bytes);
        testing_support::WriteFile(dir / "p.cdx", bytes);
        auto table = engine::Table::Open(dir / "p.dbf");
        EXPECT_EQ(table->ReadRecord(10).values.size(), table->Fields().size());
        ExpectCorruptError([&] {
            table->Append({engine::Value(int64_t{777777})});
            for (size_t t = 0; t < table->IndexTags().size(); ++t) table->IndexEntries(t);
        });
        table->Reindex();
        index_testing::ExpectIndexMatchesRows(*table);
        table->Append({engine::Value(int64_t{777778})});
        index_testing::ExpectIndexMatchesRows(*table);
    }
    testing_support::TempDir dir;
    std::string good;
};

TEST_F(IndexCorruption, ANodePointerOutsideTheFile) {
    Damage([](std::string& b) {
        const uint32_t header = TagHeaders(b).at(2);
        fmt::PutLe32(reinterpret_cast<uint8_t*>(b.data()) + header, 0x7FFFFE00);
    });
}

TEST_F(IndexCorruption, AKeyCountPastTheNode) {
    Damage([](std::string& b) {
        const uint32_t header = TagHeaders(b).at(4);
        const uint32_t root = fmt::Le32(reinterpret_cast<const uint8_t*>(b.data()) + header);
        fmt::PutLe16(reinterpret_cast<uint8_t*>(b.data()) + root + 2, 60000);
    });
}

// A writer killed in the middle of writing index pages leaves a broken tree and its marker:
// the next open rebuilds the index instead of failing on the broken tree.
TEST_F(IndexCorruption, ABrokenTreeLeftByAWriterThatDiedIsRebuiltAtOpen) {
    std::string bytes = good;
    const uint32_t header = TagHeaders(bytes).at(1);
    const uint32_t root = fmt::Le32(reinterpret_cast<const uint8_t*>(bytes.data()) + header);
    fmt::PutLe16(reinterpret_cast<uint8_t*>(bytes.data()) + root + 2, 0);
    testing_support::WriteFile(dir / "p.cdx", bytes);
    engine::cdx::AddWriter(dir / "p.dbf");
    auto table = engine::Table::Open(dir / "p.dbf");
    table->Append({engine::Value(int64_t{777779})});
    index_testing::ExpectIndexMatchesRows(*table);
}

TEST_F(IndexCorruption, ATruncatedFile) {
    Damage([](std::string& b) { b.resize(b.size() - 3 * 512); });
}

TEST_F(IndexCorruption, RandomDamageNeverCrashes) {
    std::mt19937 rng(9);
    const size_t nodes = good.size() - 1536;
    for (int round = 0; round < 40; ++round) {
        std::string bytes = good;
        for (int i = 0; i < 1 + int(rng() % 8); ++i) bytes[1536 + rng() % nodes] = static_cast<char>(rng());
        testing_support::WriteFile(dir / "p.cdx", bytes);
        try {
            auto table = engine::Table::Open(dir / "p.dbf", engine::OpenMode::Exclusive);
            for (size_t t = 0; t < table->IndexTags().size(); ++t) {
                try {
                    table->IndexEntries(t);
                    table->SeekEqual(0, engine::Value(int64_t(rng() % 1200)));
                } catch (const engine::Error& e) {
                    EXPECT_NE(e.Description().find("p.cdx"), std::string::npos) << e.Description();
                }
            }
            try {
                table->Append({engine::Value(int64_t{900000 + round})});
            } catch (const engine::Error& e) {
                EXPECT_NE(e.Description().find("p.cdx"), std::string::npos) << e.Description();
            }
        } catch (const engine::Error& e) {
            EXPECT_NE(e.Description().find("p.cdx"), std::string::npos) << e.Description();
        }
        testing_support::WriteFile(dir / "p.cdx", good);
        std::error_code ec;
        fs::remove(dir / "p.dbf.index-dirty", ec);
        auto table = engine::Table::Open(dir / "p.dbf", engine::OpenMode::Exclusive);
        table->Reindex();  // the appended rows need their keys again
    }
}

}  // namespace
