// Undo history: committed runs are taken back newest first, each only while its
// files are as it left them, or with force; the list says which can be.
#include <gtest/gtest.h>

#include "platform/stage/stage_journal.h"
#include "platform/stage/staging.h"
#include "platform/streams.h"
#include "tests/support/test_machine.h"
#include "upgrade/run_log.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// One committed run over C:\S writing each "NAME=content" of `files`.
void CommitRun(const Machine& machine, const fs::path& system, std::initializer_list<const char*> files)
{
    StageOpening opening = StageOpening::Failed;
    std::unique_ptr<Stage> stage = Stage::Open(system, opening);
    ASSERT_TRUE(stage);
    {
        StagedView view(machine, *stage);
        for (std::string_view file : files) {
            const std::size_t equals = file.find('=');
            auto out = ReplacementFile::Create(view, "C:\\S\\" + std::string(file.substr(0, equals)));
            ASSERT_TRUE(out && out->Write(file.substr(equals + 1)) && out->Finish());
        }
    }
    ASSERT_EQ(stage->Commit(), CommitResult::Committed);
}

// What undo does next, and the list: one letter a set, newest first (u: can
// be taken back, c: files changed, f: forced).
std::string Undo(const fs::path& system, bool force = false)
{
    StageOpening opening = StageOpening::Failed;
    std::unique_ptr<Stage> stage = Stage::Open(system, opening);
    std::vector<std::string> changed;
    std::string kept;
    const UndoResult result = stage->Undo(changed, force, &kept);
    std::string text = result == UndoResult::Restored  ? "restored"
                       : result == UndoResult::Refused ? "refused"
                       : result == UndoResult::Nothing ? "nothing"
                                                       : "failed";
    for (const std::string& file : changed)
        text += " " + fs::path(file).filename().string();
    text += kept.empty() ? "" : " kept";
    text += " |";
    for (const BackupSetSummary& set : stage->History())
        text += " " + std::to_string(set.added) + "+" + std::to_string(set.replaced) +
                (set.state == BackupSetSummary::State::CanUndo        ? "u"
                 : set.state == BackupSetSummary::State::FilesChanged ? "c"
                                                                      : "f");
    return text;
}

std::string Files(const fs::path& folder)
{
    std::string text;
    for (const char* name : {"A", "B", "C"})
        if (fs::exists(folder / name))
            text += std::string(name) + "=" + test::ReadHostFile(folder / name) + " ";
    return text;
}

TEST(UndoHistory, UndoTakesBackRunsNewestFirstAndForceKeepsWhatChanged)
{
    test::TestMachine setup;
    const fs::path system = setup.driveC() / "S";
    test::WriteHostFile(system / "A", "a0");
    const Machine machine = setup.Load();
    CommitRun(machine, system, {"A=a1", "B=b1"});
    CommitRun(machine, system, {"A=a2", "C=c2"});
    CommitRun(machine, system, {"A=a2"});  // changes nothing, keeps both sets
    EXPECT_EQ(Undo(system), "restored | 1+1u");
    EXPECT_EQ(Files(system), "A=a1 B=b1 ");
    EXPECT_EQ(Undo(system), "restored |");
    EXPECT_EQ(Files(system), "A=a0 ");
    EXPECT_EQ(Undo(system), "nothing |");

    // A file changed since: refused, the older set too, until forced.
    CommitRun(machine, system, {"A=a1", "B=b1"});
    CommitRun(machine, system, {"A=a2"});
    test::WriteHostFile(system / "B", "mine");
    EXPECT_EQ(Undo(system), "restored | 1+1c");  // the newest set did not write B
    EXPECT_EQ(Undo(system), "refused B | 1+1c");
    EXPECT_EQ(Undo(system, true), "restored B kept | 1+1f");
    EXPECT_EQ(Files(system), "A=a0 ");
    const std::string set = stage::CompletedSets(system / stage::kRunFolder).front().first;
    EXPECT_EQ(test::ReadHostFile(system / stage::kRunFolder / set / stage::kKept / "B"), "mine");
    EXPECT_EQ(Undo(system, true), "nothing | 1+1f");
    {
        StageOpening opening = StageOpening::Failed;
        EXPECT_FALSE(HasUnfinishedRun(*Stage::Open(system, opening)));  // a dry run may go on
    }

    // A backup that is no longer what the commit kept is never put back.
    CommitRun(machine, system, {"A=a1"});
    const std::string newest = stage::CompletedSets(system / stage::kRunFolder).front().first;
    test::WriteHostFile(system / stage::kRunFolder / newest / "0001", "a?");
    EXPECT_EQ(Undo(system, true), "failed | 0+1u 1+1f");
    EXPECT_EQ(Files(system), "A=a1 ");

    // Each commit keeps only the newest sets.
    for (const char* run : {"A=b1", "A=b2", "A=b3"})
        CommitRun(machine, system, {run});
    EXPECT_EQ(Undo(system), "restored | 0+1u 0+1u");
}

TEST(UndoHistory, TheLogLosesWholeBlocksOldestFirstBeyondItsLimit)
{
    const std::string a = "date 1\r\nx\r\n", b = "date 2\r\nyy\r\n", c = "date 3\r\nzzz\r\n";
    EXPECT_EQ(AppendBlock(a + b, c, 100), a + b + c);
    EXPECT_EQ(AppendBlock(a + b, c, (b + c).size()), b + c);
    EXPECT_EQ(AppendBlock(a + b, c, (b + c).size() - 1), c);
    EXPECT_EQ(AppendBlock(a + b, c, 1), c);  // the newest stays, whatever its size
}

}  // namespace
}  // namespace pelmo
