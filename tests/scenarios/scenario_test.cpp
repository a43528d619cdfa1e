// Every scenario of this folder, run once as the unattended front end runs it.
#include <gtest/gtest.h>

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
    Snapshot changed;
    for (const auto& [key, entry] : result.after)
        if (!result.before.contains(key) || result.before.at(key) != entry)
            changed[key] = "";
    for (const auto& [key, entry] : result.before)
        if (!result.after.contains(key))
            changed[key] = "";
    EXPECT_EQ(Differences(named, changed), "") << "changes the scenario does not name (added) or names in vain (removed)";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTest, ::testing::ValuesIn(ScenarioFiles()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace pelmo::test
