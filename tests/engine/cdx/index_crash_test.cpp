// A writer killed at random instants: a child process appends, changes and marks rows of an
// indexed table until it is killed with SIGKILL; the next open finds the writer's marker,
// rebuilds the index, and the table and every tag agree.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "engine/cdx/index_marker.h"
#include "index_support.h"
#include "support/temp_dir.h"

namespace {

TEST(IndexCrash, AWriterKilledAtAnyInstantLeavesTableAndIndexConsistentAfterOpen) {
    testing_support::TempDir dir;
    const auto path = dir / "p.dbf";
    index_testing::MakeIndexedTable(path, 500, 3);
    std::mt19937 timing(17);
    int repaired = 0;
    for (int round = 0; round < 50; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                auto table = engine::Table::Open(path, round % 2 ? engine::OpenMode::Shared : engine::OpenMode::Exclusive);
                std::mt19937 rng(1000 + round);
                for (;;) index_testing::RandomChange(*table, rng, round % 5 == 0);
            } catch (...) {
            }
            _exit(1);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + timing() % 40000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself in round " << round;
        repaired += engine::cdx::MarkerExists(path);
        auto table = engine::Table::Open(path, engine::OpenMode::Exclusive);
        EXPECT_FALSE(engine::cdx::MarkerExists(path));
        index_testing::ExpectIndexMatchesRows(*table);
        if (HasFailure()) return;
    }
    EXPECT_GT(repaired, 40);  // nearly every kill hits a writer that has started
}

}  // namespace
