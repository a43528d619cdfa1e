// Every scenario of this folder, run once as the unattended front end runs it.
#include <gtest/gtest.h>

#include <set>

#include <zlib.h>

#include "platform/stage_journal.h"
#include "tests/scenarios/scenario.h"
#include "tests/support/test_machine.h"

namespace pelmo::test {
namespace {

// What a `has` line says the run leaves at its path.
void ExpectLeft(const Snapshot& after, const std::string& key, const std::string& said)
{
    SCOPED_TRACE(key + " " + said);
    auto found = after.find(key);
    ASSERT_NE(found, after.end()) << "missing";
    if (said == "folder") {
        EXPECT_TRUE(found->second.starts_with("folder ")) << found->second;
        return;
    }
    std::string text = said;
    bool writable = true;
    if (said.starts_with("readonly ") || said.starts_with("writable ")) {
        writable = said.starts_with("writable ");
        text = said.substr(said.find(' ') + 1);
    }
    const std::string& entry = found->second;  // "file <mode> <bytes>"
    const std::size_t blank = entry.find(' ', 5);
    ASSERT_TRUE(entry.starts_with("file ")) << entry;
    EXPECT_EQ(entry.substr(blank + 1), ScenarioText(text));
    if (said != text) {
        EXPECT_EQ((std::stoi(entry.substr(5, blank - 5)) & 0222) != 0, writable) << entry;
    }
}

// A committed run's journal lists exactly the files it changed, and keeps each
// replaced one as it was.
void ExpectJournalOfChanges(const RunResult& result)
{
    const Snapshot before = OutsideRunFolders(result.before);
    const Snapshot after = OutsideRunFolders(result.after);
    std::set<std::string> changed;
    for (const auto& [key, entry] : after)
        if (entry.starts_with("file ") && (!before.contains(key) || before.at(key) != entry))
            changed.insert(key);
    std::string done;
    for (const auto& [key, entry] : result.after)
        if (key.find("PELMOBAK/") != std::string::npos && key.ends_with("/DONE"))
            done = key;
    if (changed.empty() && done.empty())
        return;
    ASSERT_NE(done, "") << "no completed journal";
    const std::string& journalEntry = result.after.at(done);
    const auto journal = stage::ParseJournal(journalEntry.substr(journalEntry.find(' ', 5) + 1));
    ASSERT_TRUE(journal.has_value()) << done;
    const std::filesystem::path& root = result.root;
    std::set<std::string> listed;
    for (const stage::Rename& rename : journal->renames) {
        const std::string key = std::filesystem::path(rename.target).lexically_relative(root).string();
        listed.insert(key);
        ASSERT_TRUE(after.contains(key)) << key;
        const std::string& entry = after.at(key);  // "file <mode> <bytes>"
        const std::string bytes = entry.substr(entry.find(' ', 5) + 1);
        EXPECT_EQ(rename.size, bytes.size()) << key;
        EXPECT_EQ(rename.checksum, ::crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size())) << key;
        if (rename.backup.empty()) {
            EXPECT_FALSE(before.contains(key)) << key << " had no backup";
        } else {
            const std::string backup = std::filesystem::path(done).parent_path().string() + "/" + rename.backup;
            EXPECT_EQ(result.after.at(backup), before.at(key)) << key;
        }
    }
    EXPECT_EQ(listed, changed);
}

class ScenarioTest : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(ScenarioTest, ShowsReturnsAndLeavesWhatItsFileSays)
{
    const Scenario scenario = LoadScenario(GetParam());
    const RunResult result = ScenarioMachine(scenario).Run();
    EXPECT_EQ(result.lines, scenario.shows);
    EXPECT_EQ(result.exit, scenario.exit);
    // Every change the run made is one the scenario names.
    Snapshot named;
    for (const auto& [path, said] : scenario.has) {
        ExpectLeft(result.after, SnapshotKey(path), said);
        named[SnapshotKey(path)] = "";
    }
    const Snapshot before = OutsideRunFolders(result.before);
    const Snapshot after = OutsideRunFolders(result.after);
    Snapshot changed;
    for (const auto& [key, entry] : after)
        if (!before.contains(key) || before.at(key) != entry)
            changed[key] = "";
    for (const auto& [key, entry] : before)
        if (!after.contains(key))
            changed[key] = "";
    EXPECT_EQ(Differences(named, changed), "") << "changes the scenario does not name (added) or names in vain (removed)";
    EXPECT_EQ(WorkFiles(result.after), "");
    if (result.exit == 0 || result.exit == 1)
        ExpectJournalOfChanges(result);
    else  // discarded: byte for byte as before, run folder included
        EXPECT_EQ(Differences(result.before, result.after), "");
}

bool Committed(const RunResult& result)
{
    for (const auto& [key, entry] : result.after)
        if (key.find("PELMOBAK/") != std::string::npos && key.ends_with("/DONE"))
            return true;
    return false;
}

// `--undo` after the run (and after the scenario's own later changes): a
// committed run is taken back to the tree before it, run folder included;
// anything else changes nothing.
TEST_P(ScenarioTest, UndoAfterTheRunGivesBackTheTreeBeforeItOrChangesNothing)
{
    const Scenario scenario = LoadScenario(GetParam());
    ScenarioMachine machine(scenario);
    const RunResult run = machine.Run();
    machine.ApplyAfterwards();
    const Snapshot beforeUndo = machine.State();
    const RunResult undo = machine.Undo();
    std::vector<std::string> shows = scenario.undoShows;
    int exit = scenario.undoExit;
    if (exit < 0) {
        if (scenario.locked)
            shows = {"[ｴﾗｰ] 他のｱｯﾌﾟﾃﾞｲﾄが実行中です。"}, exit = 2;
        else if (Committed(run))
            shows = {"[確認] ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しました。"}, exit = 0;
        else
            shows = {"[確認] 元に戻すｱｯﾌﾟﾃﾞｲﾄがありません。"}, exit = 3;
    }
    EXPECT_EQ(undo.lines, shows);
    EXPECT_EQ(undo.exit, exit);
    EXPECT_EQ(WorkFiles(undo.after), "");
    if (undo.exit != 0) {
        EXPECT_EQ(Differences(beforeUndo, undo.after), "");
        return;
    }
    EXPECT_EQ(Differences(run.before, undo.after), "");
    // Nothing is left to undo, and a second undo says so.
    const RunResult again = machine.Undo();
    EXPECT_EQ(again.lines, std::vector<std::string>{"[確認] 元に戻すｱｯﾌﾟﾃﾞｲﾄがありません。"});
    EXPECT_EQ(again.exit, 3);
    EXPECT_EQ(Differences(run.before, again.after), "");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn(ScenarioFiles()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace pelmo::test
