// The order of a commit's flushes and renames, which no power cut through a FUSE
// file system can show: names reach the folder below at once there.
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <unistd.h>

#include <algorithm>

#include "platform/host/host_file.h"
#include "platform/stage/stage_journal.h"
#include "platform/stage/staging.h"
#include "tests/support/faults.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

TEST(Staging, CommitFlushesDataJournalAndFoldersInOrder)
{
    for (const unsigned long type : {TMPFS_MAGIC, FUSE_SUPER_MAGIC}) {
        SCOPED_TRACE(type == TMPFS_MAGIC ? "syncfs" : "each file");
        test::TempDir dir;
        const fs::path system = dir.path() / "SYS";
        test::WriteHostFile(system / "old.txt", "old");
        StageOpening opening{};
        std::unique_ptr<Stage> stage = Stage::Open(system, opening);
        ASSERT_TRUE(stage);
        ASSERT_TRUE(stage->MakeFolder(system / "NEW"));
        std::vector<std::string> works;
        for (const fs::path& target : {system / "old.txt", system / "NEW" / "a.txt", system / "b.txt"}) {
            auto work = stage->NewWorkFile(target.parent_path());
            ASSERT_TRUE(work && host::WriteAll(work->second.get(), "new", 3));
            stage->Register(target, {work->first, 3, 0});
            works.push_back(work->first);
        }
        test::FaultScope scope({.root = dir.path(), .fileSystemType = type});
        ASSERT_EQ(stage->Commit(), CommitResult::Committed);

        const std::vector<std::string>& log = scope.flushes();
        const auto last = [&](const std::string& entry, bool prefix = false) {
            int found = -1;
            for (int i = 0; i < static_cast<int>(log.size()); ++i)
                if (prefix ? log[i].starts_with(entry) : log[i] == entry)
                    found = i;
            return found;
        };
        const fs::path run = system / "PELMOBAK";
        const fs::path set = run / stage->runId();
        const int journal = last("fsync " + (set / "JOURNAL").string());
        const int done = last("rename " + (set / "JOURNAL").string() + " " + (set / "DONE").string());
        int firstRename = 0;
        while (firstRename < static_cast<int>(log.size()) &&
               !(log[firstRename].starts_with("rename ") && log[firstRename].find("/.pelmo-") != std::string::npos))
            ++firstRename;
        ASSERT_GE(journal, 0);
        ASSERT_LT(journal, firstRename);
        ASSERT_LT(firstRename, done);
        // The data: one syncfs, or a flush of every work file; either before the journal.
        const int syncfs = last("syncfs ", true);
        if (type == TMPFS_MAGIC) {
            EXPECT_GE(syncfs, 0);
            EXPECT_LT(syncfs, journal);
        } else {
            EXPECT_EQ(syncfs, -1);
            for (const std::string& work : works) {
                EXPECT_GE(last("fsync " + work), 0) << work;
                EXPECT_LT(last("fsync " + work), journal) << work;
            }
        }
        // The names that lead to the journal before the first rename; each folder
        // after its renames, before DONE; DONE itself at the end.
        for (const fs::path& folder : {set, run, system}) {
            const auto flush = std::find(log.begin(), log.end(), "fsync " + folder.string());
            EXPECT_LT(flush - log.begin(), firstRename) << folder;
        }
        for (const fs::path& folder : {system, system / "NEW"}) {
            const int flushed = last("fsync " + folder.string());
            EXPECT_LT(last("rename " + (folder / ".pelmo-").string(), true), flushed) << folder;
            EXPECT_LT(flushed, done) << folder;
        }
        EXPECT_EQ(last("fsync " + set.string()), done + 1);
    }
}

// A recovery tells, once a file, whether it completes the run or takes it back.
TEST(Staging, RecoveryReportsEachFileItHandles)
{
    for (const bool journalWritten : {false, true}) {
        SCOPED_TRACE(journalWritten ? "completed" : "taken back");
        test::TempDir dir;
        const fs::path system = dir.path() / "SYS";
        test::WriteHostFile(system / "PELMOBAK" / "STAGING", stage::RecordHeader("r1") +
                                                                 stage::RecordLine("folder", system.string()));
        stage::Journal journal{"r1", {}, {}, 1, ""};
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
            const std::string work = (system / (std::string(".pelmo-r1-") + name)).string();
            test::WriteHostFile(work, "new");
            journal.renames.push_back({work, (system / name).string(), 3, 0, "", false, 0, 0});
        }
        if (journalWritten) {
            fs::create_directories(system / "PELMOBAK" / "r1");
            ASSERT_TRUE(stage::WriteJournal(system / "PELMOBAK" / "r1" / "JOURNAL", journal));
        }
        StageOpening opening{};
        std::unique_ptr<Stage> stage = Stage::Open(system, opening);
        ASSERT_TRUE(stage);
        std::vector<Recovery> ticks;
        const Recovery recovery = stage->Recover([&](Recovery work) { ticks.push_back(work); });
        const Recovery expected = journalWritten ? Recovery::Completed : Recovery::RolledBack;
        EXPECT_EQ(recovery, expected);
        EXPECT_EQ(ticks, std::vector<Recovery>(3, expected));
        EXPECT_EQ(fs::exists(system / "b.txt"), journalWritten);
    }
}

}  // namespace
}  // namespace pelmo
