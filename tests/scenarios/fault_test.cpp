// The scenarios replayed with a fault at every write point in turn (a full disk,
// then a kill), and with a read error at every read of the package medium: each time every file is the
// old one or the new one, byte for byte, and nothing else is left behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <set>

#include "tests/scenarios/scenario.h"

namespace pelmo::test {
namespace {

using State = std::optional<std::string>;

State At(const Snapshot& snapshot, const std::string& key)
{
    auto found = snapshot.find(key);
    return found == snapshot.end() ? State() : found->second;
}

// A kill leaves the work file it was writing; nothing yet removes it later.
Snapshot WithoutWorkFiles(Snapshot state)
{
    std::erase_if(state, [](const auto& entry) {
        const std::string name = std::filesystem::path(entry.first).filename().string();
        return name.starts_with(".pelmo-") || name == "temp.mst";
    });
    return state;
}

bool LeftReadOnly(const Snapshot& state, const Snapshot& clean)
{
    for (const auto& [key, entry] : state) {
        auto mode = [](const std::string& e) { return std::stoi(e.substr(5, e.find(' ', 5) - 5)); };
        if (entry.starts_with("file ") && clean.contains(key) && (mode(entry) & 0222) == 0 &&
            (mode(clean.at(key)) & 0222) != 0)
            return true;
    }
    return false;
}

class FaultTest : public ::testing::TestWithParam<std::filesystem::path> {
protected:
    // A run without faults, watched at every write point: each file of the system
    // may be left in any state that run passes through between two whole steps
    // (a settings file takes several writes, a master file two conversions).
    void SetUp() override
    {
        scenario = LoadScenario(GetParam());
        ScenarioMachine machine(scenario);
        std::vector<Snapshot> states;
        clean = machine.Run({.beforeEachWrite = [&] { states.push_back(machine.State()); }});
        states.push_back(clean.before);
        states.push_back(clean.after);
        for (const Snapshot* named : {&clean.before, &clean.after})
            for (const auto& [key, ignored] : *named)
                for (const Snapshot& state : states)
                    passedThrough[key].insert(At(state, key));
    }

    // Every entry is one the system had before the run or passed through in the
    // run without faults; a work file or a half-written file is neither. A run
    // that reported a failed step and went on (status 1) may leave a file with the
    // steps that did succeed; still nothing but the run's own files may change.
    void ExpectOldOrNew(const Snapshot& state, int exit = -1)
    {
        std::set<std::string> keys;
        const Snapshot* all[] = {&state, &clean.before, &clean.after};
        for (const Snapshot* snapshot : all)
            for (const auto& [key, ignored] : *snapshot)
                keys.insert(key);
        for (const std::string& key : keys) {
            if (exit == 1 && passedThrough[key].size() > 1)
                continue;
            EXPECT_TRUE(passedThrough[key].contains(At(state, key))) << key << " is neither old nor new";
        }
    }

    Scenario scenario;
    RunResult clean;
    std::map<std::string, std::set<State>> passedThrough;
};

TEST_P(FaultTest, AFullDiskAtAnyWriteOrAReadErrorOnThePackageLeavesEveryFileOldOrNew)
{
    for (int at = 1; at <= clean.writePoints + clean.readPoints; ++at) {
        const bool write = at <= clean.writePoints;
        const int point = write ? at : at - clean.writePoints;
        SCOPED_TRACE((write ? "no space at write point " : "read error at read point ") + std::to_string(point));
        const RunResult result = ScenarioMachine(scenario).Run(write ? FaultPlan{.noSpaceAt = point}
                                                                     : FaultPlan{.readErrorAt = point});
        ExpectOldOrNew(result.after, result.exit);
        // A fault is never reported as success.
        if (result.exit == 0) {
            EXPECT_EQ(Differences(clean.after, result.after), "");
        }
    }
}

TEST_P(FaultTest, AKillAtAnyWriteLeavesEveryFileOldOrNewAndALaterRunFinishes)
{
    for (int at = 1;; ++at) {
        SCOPED_TRACE("killed at write point " + std::to_string(at));
        ScenarioMachine machine(scenario);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            machine.Run({.killAt = at});
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (!WIFSIGNALED(status)) {
            EXPECT_GT(at, clean.writePoints);
            break;
        }
        ASSERT_EQ(WTERMSIG(status), SIGKILL);
        const Snapshot killed = WithoutWorkFiles(machine.State());
        ExpectOldOrNew(killed);
        // Known until runs are staged: a kill between copying a read-only file and
        // making it writable leaves it read-only, and no later run can replace it.
        if (LeftReadOnly(killed, clean.after))
            continue;
        const RunResult later = machine.Run();
        EXPECT_EQ(Differences(clean.after, WithoutWorkFiles(later.after)), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultTest, ::testing::ValuesIn(ScenarioFiles()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace pelmo::test
