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
        // The writer says when its first change is made, so that a busy machine that is slow
        // to start it cannot turn the kill into one before any write.
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(started[0]);
            try {
                auto table =
                    engine::Table::Open(path, round % 2 ? engine::OpenMode::Shared : engine::OpenMode::Exclusive);
                std::mt19937 rng(1000 + round);
                index_testing::RandomChange(*table, rng, round % 5 == 0);
                if (write(started[1], "w", 1) != 1) _exit(1);
                for (;;) index_testing::RandomChange(*table, rng, round % 5 == 0);
            } catch (...) {
            }
            _exit(1);
        }
        close(started[1]);
        char byte = 0;
        const bool writing = read(started[0], &byte, 1) == 1;
        close(started[0]);
        ASSERT_TRUE(writing) << "the writer failed before its first change in round " << round;
        std::this_thread::sleep_for(std::chrono::microseconds(timing() % 40000));
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
