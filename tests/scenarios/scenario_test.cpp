// Every scenario of this folder, run once as the unattended front end runs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <set>

#include <zlib.h>

#include "platform/stage/stage_journal.h"
#include "platform/text.h"
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

// The bytes of a snapshot entry ("file <mode> <bytes>").
std::string Bytes(const std::string& entry)
{
    return entry.substr(entry.find(' ', 5) + 1);
}

// A committed run's completed journal, and where it lies in the snapshot.
std::optional<std::pair<std::string, stage::Journal>> DoneJournal(const RunResult& result)
{
    for (const auto& [key, entry] : result.after)
        if (key.find("PELMOBAK/") != std::string::npos && key.ends_with("/DONE"))
            if (auto journal = stage::ParseJournal(Bytes(entry)))
                return std::make_pair(key, *journal);
    return std::nullopt;
}

// A file line of a log or plan ("added C:\X …"): the file's snapshot key.
std::string FileKey(const std::string& line, std::size_t from, std::size_t to = std::string::npos)
{
    return SnapshotKey(line.substr(from, to - from));
}

// The file changes that `log` (UTF-8 lines) lists: "added KEY SIZE CRC".
std::set<std::string> LoggedFiles(const std::vector<std::string>& log)
{
    static const std::regex line("(added|replaced) (.+) (\\d+) bytes, CRC-32 ([0-9a-f]{8})");
    std::set<std::string> files;
    for (std::smatch m; const std::string& text : log)
        if (std::regex_match(text, m, line))
            files.insert(m.str(1) + " " + SnapshotKey(m.str(2)) + " " + m.str(3) + " " + m.str(4));
    return files;
}

// A committed run's journal lists exactly the files it changed, and keeps each
// replaced one as it was; its log PELMO.LOG is committed with them and tells
// the files, the messages shown and the outcome.
void ExpectJournalOfChanges(const RunResult& result)
{
    const Snapshot before = OutsideRunFolders(result.before);
    const Snapshot after = OutsideRunFolders(result.after);
    std::set<std::string> changed;
    for (const auto& [key, entry] : after)
        if (entry.starts_with("file ") && (!before.contains(key) || before.at(key) != entry))
            changed.insert(key);
    const auto done = DoneJournal(result);
    if (changed.empty() && !done)
        return;
    ASSERT_TRUE(done.has_value()) << "no completed journal";
    const std::filesystem::path& root = result.root;
    std::set<std::string> listed, journalFiles;
    std::string log;
    for (const stage::Rename& rename : done->second.renames) {
        const std::string key = std::filesystem::path(rename.target).lexically_relative(root).string();
        ASSERT_TRUE(result.after.contains(key)) << key;
        const std::string bytes = Bytes(result.after.at(key));
        EXPECT_EQ(rename.size, bytes.size()) << key;
        EXPECT_EQ(rename.checksum, ::crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size())) << key;
        if (key.ends_with("/PELMOBAK/PELMO.LOG")) {
            log = bytes;
            continue;
        }
        listed.insert(key);
        char checksum[9];
        std::snprintf(checksum, sizeof checksum, "%08x", rename.checksum);
        journalFiles.insert((rename.backup.empty() ? "added " : "replaced ") + key + " " + std::to_string(rename.size) +
                            " " + checksum);
        if (rename.backup.empty()) {
            EXPECT_FALSE(before.contains(key)) << key << " had no backup";
        } else {
            const std::string backup = std::filesystem::path(done->first).parent_path().string() + "/" + rename.backup;
            EXPECT_EQ(result.after.at(backup), before.at(key)) << key;
        }
    }
    EXPECT_EQ(listed, changed);
    ASSERT_NE(log, "") << "no PELMO.LOG in the committed set";
    ASSERT_TRUE(log.ends_with("\r\n"));
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(log.substr(0, log.size() - 2), "\r\n"))
        lines.push_back(Cp932ToUtf8Lossy(line));
    EXPECT_EQ(LoggedFiles(lines), journalFiles);
    // Its head names the program, its front end, the package and the target; a run
    // that commits passed every check.
    std::string head;
    for (const std::string& line : lines)
        if (line.starts_with("version ") || line.starts_with("front end ") || line.starts_with("package ") ||
            line.starts_with("target ") || line.starts_with("check "))
            head +=
                line.substr(0, line.find(' ')) + (line.starts_with("check ") ? line.substr(line.rfind(' ')) : "") + ";";
    EXPECT_EQ(head, "version;front;package;target;check ok;check ok;check ok;");
    std::vector<std::string> messages;
    for (const std::string& line : lines)
        if (line.starts_with("message "))
            messages.push_back(line.substr(8));
    EXPECT_EQ(messages, result.lines);
    EXPECT_EQ(lines.back(),
              result.exit == 0 ? "outcome upgraded, committed" : "outcome upgraded, a step failed, committed");
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
    EXPECT_EQ(Differences(named, changed), "")
        << "changes the scenario does not name (added) or names in vain (removed)";
    EXPECT_EQ(WorkFiles(result.after), "");
    if (result.exit == 0 || result.exit == 1)
        ExpectJournalOfChanges(result);
    else  // discarded: byte for byte as before, run folder included
        EXPECT_EQ(Differences(result.before, result.after), "");
}

bool IsPlanLine(const std::string& line)
{
    for (const char* kind : {"added ", "replaced ", "settings ", "converted "})
        if (line.starts_with(kind))
            return true;
    return false;
}

// What a real run's journal and its files say of each line of a dry run's plan.
void ExpectPlanOfTheRun(const std::vector<std::string>& plan, const RunResult& real)
{
    const auto done = DoneJournal(real);
    if (!done) {
        EXPECT_EQ(plan, std::vector<std::string>()) << "a plan for a run that commits nothing";
        return;
    }
    std::map<std::string, bool> journal;  // key -> added
    for (const stage::Rename& rename : done->second.renames)
        if (!rename.target.ends_with("/PELMOBAK/PELMO.LOG"))
            journal[std::filesystem::path(rename.target).lexically_relative(real.root).string()] =
                rename.backup.empty();
    std::set<std::string> planned;
    for (const std::string& line : plan) {
        SCOPED_TRACE(line);
        const std::size_t at = line.find(' ') + 1;
        std::string key;
        if (line.starts_with("settings ")) {
            key = FileKey(line, at, line.find(" [", at));
            // The key holds its new value afterwards.
            const std::size_t keyAt = line.find("] ", at) + 2;
            const std::string assignment = line.substr(keyAt, line.find(": ", keyAt) - keyAt) + "=" +
                                           line.substr(line.find(" → ") + std::string(" → ").size());
            ASSERT_TRUE(real.after.contains(key));
            EXPECT_NE(Bytes(real.after.at(key)).find(Sjis(assignment) + "\r\n"), std::string::npos);
        } else if (line.starts_with("converted ")) {
            const std::size_t countAt = line.rfind(' ', line.rfind(" records") - 1);
            key = FileKey(line, at, countAt);
            // As many records differ between before and after as the plan says.
            ASSERT_TRUE(real.after.contains(key) && real.before.contains(key));
            const std::vector<std::string> old = SplitLines(Bytes(real.before.at(key)), "\r\n");
            const std::vector<std::string> now = SplitLines(Bytes(real.after.at(key)), "\r\n");
            std::size_t differing = 0;
            for (std::size_t i = 0; i < std::max(old.size(), now.size()); ++i)
                differing += i >= old.size() || i >= now.size() || old[i] != now[i] ? 1 : 0;
            EXPECT_EQ(line.substr(countAt + 1, line.find(' ', countAt + 1) - countAt - 1), std::to_string(differing));
        } else {
            key = FileKey(line, at);
            ASSERT_TRUE(journal.contains(key)) << "planned but not committed";
            EXPECT_EQ(journal.at(key), line.starts_with("added "));
        }
        planned.insert(key);
    }
    std::set<std::string> committed;
    for (const auto& [key, added] : journal)
        committed.insert(key);
    EXPECT_EQ(planned, committed) << "one plan line (or one per settings key) for each file the run commits";
}

TEST_P(ScenarioTest, ADryRunChangesNothingAndPlansWhatTheRunThenDoes)
{
    const Scenario scenario = LoadScenario(GetParam());
    if (std::find(scenario.run.begin(), scenario.run.end(), "--recover") != scenario.run.end())
        GTEST_SKIP() << "a recovery alone has no dry run";
    const RunResult dry = ScenarioMachine(scenario).DryRun();
    EXPECT_EQ(Differences(dry.before, dry.after), "") << "the machine and the package byte for byte as before";
    EXPECT_EQ(dry.exit, scenario.exit);
    // The run's messages as a real run shows them, less the notice of its own
    // discard; then the plan (which a dry run's own file lists with them).
    std::vector<std::string> shows = scenario.shows;
    std::erase(shows, "[確認] ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しました。");
    std::erase_if(shows, IsPlanLine);
    const auto planAt = std::find_if(dry.lines.begin(), dry.lines.end(), IsPlanLine);
    const std::vector<std::string> messages(dry.lines.begin(), planAt), plan(planAt, dry.lines.end());
    EXPECT_EQ(messages, shows);
    EXPECT_TRUE(std::all_of(plan.begin(), plan.end(), IsPlanLine)) << "message lines after the plan";
    // --log: the same messages, in order, and the outcome of a dry run.
    std::vector<std::string> logged;
    for (const std::string& line : SplitLines(dry.log, "\n"))
        if (line.starts_with("message "))
            logged.push_back(line.substr(8));
    EXPECT_EQ(logged, std::vector<std::string>(dry.lines.begin(), planAt));
    EXPECT_NE(dry.log.find("dry run, nothing changed\n"), std::string::npos) << dry.log;
    for (const std::string& line : plan)
        if (line.starts_with("settings ") || line.starts_with("converted ")) {
            EXPECT_NE(dry.log.find("\n" + line + "\n"), std::string::npos) << "not in the log: " << line;
        }
    if (std::find(scenario.run.begin(), scenario.run.end(), "--dry-run") == scenario.run.end())
        ExpectPlanOfTheRun(plan, ScenarioMachine(scenario).Run());
}

// `--undo` after the run (and after the scenario's own later changes): a
// committed run is taken back to the tree before it, run folder included;
// anything else changes nothing. What a run left for recovery is recovered
// first, as the undo would do it itself.
TEST_P(ScenarioTest, UndoAfterTheRunGivesBackTheTreeBeforeItOrChangesNothing)
{
    const Scenario scenario = LoadScenario(GetParam());
    ScenarioMachine machine(scenario);
    const RunResult run = machine.Run();
    // The same run again: one that finds every file as it would write it
    // touches nothing, run folder included; one whose conversion goes further
    // commits a set of its own, and two undos reach the tree before both.
    const auto sets = [](const Snapshot& state) {
        return std::count_if(state.begin(), state.end(), [](const auto& entry) {
            return entry.first.find("PELMOBAK/") != std::string::npos && entry.first.ends_with("/DONE");
        });
    };
    bool repeated = false;
    if (DoneJournal(run) && scenario.undoExit < 0) {
        const RunResult repeat = machine.Run();
        EXPECT_EQ(repeat.exit, run.exit);
        repeated = sets(repeat.after) > sets(run.after);
        if (!repeated) {
            EXPECT_EQ(Differences(run.after, repeat.after), "");
        }
    }
    machine.ApplyAfterwards();
    machine.Recover();
    const Snapshot beforeUndo = machine.State();
    const RunResult undo = machine.Undo();
    std::vector<std::string> shows = scenario.undoShows;
    int exit = scenario.undoExit;
    if (exit < 0) {
        if (scenario.locked)
            shows = {"[ｴﾗｰ] 他のｱｯﾌﾟﾃﾞｲﾄが実行中です。"}, exit = 2;
        else if (DoneJournal(run))
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
    const RunResult last = repeated ? machine.Undo() : undo;
    EXPECT_EQ(last.exit, 0);
    // The tree is as before the run; the run folder keeps the history, which
    // ends with the undo's own block.
    EXPECT_EQ(Differences(OutsideRunFolders(run.before), OutsideRunFolders(last.after)), "");
    std::string log;
    for (const auto& [key, entry] : last.after)
        if (key.ends_with("PELMOBAK/PELMO.LOG"))
            log = Bytes(entry);
    EXPECT_TRUE(log.ends_with("outcome taken back\r\n")) << log;
    // Nothing is left to undo, and a second undo says so.
    const RunResult again = machine.Undo();
    EXPECT_EQ(again.lines, std::vector<std::string>{"[確認] 元に戻すｱｯﾌﾟﾃﾞｲﾄがありません。"});
    EXPECT_EQ(again.exit, 3);
    EXPECT_EQ(Differences(last.after, again.after), "");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn(ScenarioFiles()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace pelmo::test
