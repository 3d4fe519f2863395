// The run lock across real processes: a second run is refused with who holds the lock, a lock
// left by a killed process is free again, a run waits for a pack but not for a run, and a lock
// file that cannot be made names the system's reason.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <thread>

#include "archive/run_lock.h"
#include "support/as_other_user.h"
#include "support/holding_child.h"
#include "common/process.h"
#include "engine/error.h"
#include "support/temp_dir.h"

namespace {

using archive::LockPurpose;
using archive::RunLock;
using namespace std::chrono_literals;

// A child process that takes the lock and holds it until killed or for holdFor.
class LockingChild : public testing_support::HoldingChild {
public:
    LockingChild(const std::string& folder, LockPurpose purpose, std::chrono::milliseconds holdFor = 60s)
        : HoldingChild(
              [folder, purpose] {
                  // Kept by the child until it ends (it ends with _exit, nothing is released).
                  return (new RunLock(RunLock::TryAcquire(folder, purpose)))->Held();
              },
              holdFor) {}
    bool Held() const { return Took(); }
};

class RunLockTest : public ::testing::Test {
protected:
    std::string Archive() const { return (m_data / "Archive").string(); }
    testing_support::TempDir m_data;
};

TEST_F(RunLockTest, TheHolderIsWrittenIntoTheLockFileAndASecondTakerIsRefusedWithIt) {
    RunLock first = RunLock::TryAcquire(Archive(), LockPurpose::Run);
    ASSERT_TRUE(first.Held());
    EXPECT_TRUE(std::filesystem::is_directory(m_data / "Archive"));  // made for the run
    const std::string file = testing_support::ReadFile(m_data / "Archive" / "ArchRun.lck");
    EXPECT_NE(file.find("login=" + common::GetLoginName() + "\n"), std::string::npos) << file;
    EXPECT_NE(file.find("pid=" + std::to_string(getpid()) + "\n"), std::string::npos) << file;
    EXPECT_NE(file.find("purpose=run\n"), std::string::npos) << file;

    // Even this process cannot take it twice: the lock belongs to the open file, not the process.
    RunLock second = RunLock::TryAcquire(Archive(), LockPurpose::Run);
    EXPECT_FALSE(second.Held());
    EXPECT_EQ(second.Holder().pid, getpid());
    EXPECT_EQ(second.Holder().since, first.Holder().since);
    EXPECT_EQ(second.RefusalText(), "An archive run by " + first.Holder().login + " on " + first.Holder().host +
                                        " has been in progress since " + first.Holder().since +
                                        ". Try again when it has finished.");
    ASSERT_TRUE(RunLock::CurrentHolder(Archive()).has_value());

    first.Release();
    EXPECT_FALSE(RunLock::CurrentHolder(Archive()).has_value());
    EXPECT_EQ(testing_support::ReadFile(m_data / "Archive" / "ArchRun.lck"), "");
    EXPECT_TRUE(RunLock::TryAcquire(Archive(), LockPurpose::Run).Held());
}

TEST_F(RunLockTest, AnotherProcessIsRefusedWhileTheHolderLivesAndTakesTheLockOnceItIsKilled) {
    LockingChild child(Archive(), LockPurpose::Run);
    ASSERT_TRUE(child.Held());
    const std::optional<archive::LockHolder> holder = RunLock::CurrentHolder(Archive());
    ASSERT_TRUE(holder.has_value());
    EXPECT_EQ(holder->pid, child.Pid());
    RunLock refused = RunLock::TryAcquire(Archive(), LockPurpose::Run, 2s);  // no waiting for a run
    EXPECT_FALSE(refused.Held());
    EXPECT_EQ(refused.Holder().pid, child.Pid());
    EXPECT_EQ(refused.RefusalText().rfind("An archive run by ", 0), 0u);

    child.Kill();  // the file stays, naming the dead holder; the lock decides
    EXPECT_FALSE(testing_support::ReadFile(m_data / "Archive" / "ArchRun.lck").empty());
    EXPECT_FALSE(RunLock::CurrentHolder(Archive()).has_value());
    RunLock taken = RunLock::TryAcquire(Archive(), LockPurpose::Run);
    EXPECT_TRUE(taken.Held());
    EXPECT_EQ(taken.Holder().pid, getpid());
}

TEST_F(RunLockTest, ARunWaitsForAPackToFinishButAPackDoesNotWait) {
    {
        LockingChild pack(Archive(), LockPurpose::Pack);
        ASSERT_TRUE(pack.Held());
        RunLock refused = RunLock::TryAcquire(Archive(), LockPurpose::Run);
        EXPECT_FALSE(refused.Held());
        EXPECT_EQ(refused.Holder().purpose, LockPurpose::Pack);
        EXPECT_EQ(refused.RefusalText().rfind("The archive is being packed by ", 0), 0u) << refused.RefusalText();
    }
    LockingChild pack(Archive(), LockPurpose::Pack, 300ms);
    ASSERT_TRUE(pack.Held());
    RunLock run = RunLock::TryAcquire(Archive(), LockPurpose::Run, 20s);
    EXPECT_TRUE(run.Held());
    pack.Wait();

    RunLock secondPack = RunLock::TryAcquire(Archive(), LockPurpose::Pack);
    EXPECT_FALSE(secondPack.Held());
    EXPECT_EQ(secondPack.Holder().purpose, LockPurpose::Run);
}

TEST_F(RunLockTest, EveryUserOfTheFolderCanTakeTheLockAndAReadOnlyFolderNamesTheReason) {
    testing_support::OpenToEveryone(m_data.Path());
    std::filesystem::create_directories(m_data / "Archive");
    chmod((m_data / "Archive").c_str(), 0777);
    RunLock::TryAcquire(Archive(), LockPurpose::Run).Release();  // the file is made by this user
    EXPECT_EQ(testing_support::AsOtherUser([&] {
                  return RunLock::TryAcquire(Archive(), LockPurpose::Run).Held() ? std::string("held") : "refused";
              }),
              "held");

    std::filesystem::create_directories(m_data / "Locked");
    chmod((m_data / "Locked").c_str(), 0555);
    const std::string locked = (m_data / "Locked").string();
    EXPECT_EQ(testing_support::AsOtherUser([&] {
                  try {
                      RunLock::TryAcquire(locked, LockPurpose::Run);
                      return std::string("taken");
                  } catch (const engine::Error& e) {
                      return e.Description();
                  }
              }),
              "Cannot open the lock file '" + locked + "/ArchRun.lck': Permission denied.");
}

TEST_F(RunLockTest, APackOfAPracticeOrArchiveFolderHoldsTheArchivesLockOrIsRefusedWhileARunHoldsIt) {
    std::filesystem::create_directories(m_data / "ARCHIVE");
    const std::string archiveFolder = (m_data / "ARCHIVE").string();
    {
        LockingChild run(archiveFolder, LockPurpose::Run);
        ASSERT_TRUE(run.Held());
        for (const std::string& folder : {m_data.Str(), archiveFolder + "/"}) {
            const archive::PackLocks locks = archive::TakePackLocks(folder);
            EXPECT_TRUE(locks.Refused()) << folder;
            EXPECT_TRUE(locks.held.empty());
            EXPECT_EQ(locks.refusal->rfind("An archive run by ", 0), 0u);
        }
    }
    archive::PackLocks locks = archive::TakePackLocks(m_data.Str());
    EXPECT_FALSE(locks.Refused());
    ASSERT_EQ(locks.held.size(), 1u);  // the data folder itself is no archive
    EXPECT_EQ(RunLock::CurrentHolder(archiveFolder)->purpose, LockPurpose::Pack);
    EXPECT_FALSE(std::filesystem::exists(m_data / "ArchRun.lck"));

    testing_support::TempDir plain;  // neither an archive nor one's data folder: nothing to hold
    const archive::PackLocks none = archive::TakePackLocks(plain.Str());
    EXPECT_FALSE(none.Refused());
    EXPECT_TRUE(none.held.empty());
    EXPECT_TRUE(std::filesystem::is_empty(plain.Path()));
}

}  // namespace
