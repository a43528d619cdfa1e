// The scenarios replayed with a fault at every write point in turn (a full disk,
// then a kill followed by recovery), with a read error at every read of the
// package medium, and with kills during recovery itself: each time the system is
// all as before the run or all as after it, and no work file is left.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>

#include "tests/scenarios/scenario.h"

namespace pelmo::test {
namespace {

class FaultTest : public ::testing::TestWithParam<std::filesystem::path> {
protected:
    void SetUp() override
    {
        scenario = LoadScenario(GetParam());
        clean = ScenarioMachine(scenario).Run();
        before = OutsideRunFolders(clean.before);
        after = OutsideRunFolders(clean.after);
    }

    // Outside the run folders every file is as before the run or every file is
    // as after it, never a mix; no work file anywhere.
    void ExpectAllBeforeOrAllAfter(const Snapshot& state)
    {
        const Snapshot outside = OutsideRunFolders(state);
        if (outside != before) {
            EXPECT_EQ(Differences(after, outside), "") << "neither all before nor all after; from before:\n"
                                                       << Differences(before, outside);
        }
        EXPECT_EQ(WorkFiles(state), "");
    }

    // Runs `action` in a child process killed at write point `at`; false when
    // the child got past its last write point and ended by itself.
    static bool KilledAt(int at, const std::function<void(int)>& action)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            action(at);
            ::_exit(0);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        if (!WIFSIGNALED(status))
            return false;
        EXPECT_EQ(WTERMSIG(status), SIGKILL);
        return true;
    }

    Scenario scenario;
    RunResult clean;
    Snapshot before, after;
};

TEST_P(FaultTest, AFullDiskAtAnyWriteOrAReadErrorOnThePackageChangesNothingOrCommitsWhole)
{
    for (int at = 1; at <= clean.writePoints + clean.readPoints; ++at) {
        const bool write = at <= clean.writePoints;
        const int point = write ? at : at - clean.writePoints;
        SCOPED_TRACE((write ? "no space at write point " : "read error at read point ") + std::to_string(point));
        const RunResult result =
            ScenarioMachine(scenario).Run(write ? FaultPlan{.noSpaceAt = point} : FaultPlan{.readErrorAt = point});
        EXPECT_EQ(WorkFiles(result.after), "");
        EXPECT_FALSE(result.lines.empty()) << "ended without a word";
        const Snapshot outside = OutsideRunFolders(result.after);
        if (result.exit == 0) {
            EXPECT_EQ(Differences(after, outside), "");
        } else if (result.exit == 1) {
            // A step that failed and went on commits the steps that succeeded;
            // what the run does not touch stays.
            for (const auto& [key, entry] : before) {
                if (after.contains(key) && after.at(key) == entry) {
                    EXPECT_EQ(outside.contains(key) ? outside.at(key) : "", entry) << key;
                }
            }
        } else {
            // Discarded: byte for byte as before, run folder included.
            EXPECT_EQ(Differences(clean.before, result.after), "");
        }
    }
}

TEST_P(FaultTest, AKillAtAnyWriteThenRecoveryLeavesAllBeforeOrAllAfterAndALaterRunFinishes)
{
    for (int at = 1;; ++at) {
        SCOPED_TRACE("killed at write point " + std::to_string(at));
        ScenarioMachine machine(scenario);
        if (!KilledAt(at, [&](int point) { machine.Run({.killAt = point}); })) {
            EXPECT_GT(at, clean.writePoints);
            break;
        }
        // The lock died with the process: recovery takes it at once (unless the
        // scenario's other run holds it).
        const RunResult recovered = machine.Recover();
        EXPECT_EQ(recovered.exit, scenario.locked ? 2 : 0);
        ExpectAllBeforeOrAllAfter(recovered.after);
        const RunResult later = machine.Run();
        EXPECT_EQ(Differences(after, OutsideRunFolders(later.after)), "");
        EXPECT_EQ(WorkFiles(later.after), "");
    }
}

// Trials of a kill in the run, then a kill at every write point of the
// recovery that follows: PELMO_RECOVERY_TRIALS per scenario (the long run of
// docs/reliability.md), else two, drawn from a seed per scenario.
TEST_P(FaultTest, AKillDuringRecoveryThenRecoveryLeavesAllBeforeOrAllAfter)
{
    const char* asked = std::getenv("PELMO_RECOVERY_TRIALS");
    const int trials = asked ? std::atoi(asked) : 2;
    std::mt19937 random(static_cast<unsigned>(std::hash<std::string>{}(scenario.name)));
    std::uniform_int_distribution<int> point(1, std::max(1, clean.writePoints));
    for (int trial = 0; trial < trials && clean.writePoints > 0; ++trial) {
        const int runKilledAt = point(random);
        for (int at = 1;; ++at) {
            SCOPED_TRACE("run killed at " + std::to_string(runKilledAt) + ", recovery at " + std::to_string(at));
            ScenarioMachine machine(scenario);
            KilledAt(runKilledAt, [&](int p) { machine.Run({.killAt = p}); });
            const bool killed = KilledAt(at, [&](int p) { machine.Recover({.killAt = p}); });
            const RunResult recovered = machine.Recover();
            EXPECT_EQ(recovered.exit, scenario.locked ? 2 : 0);
            ExpectAllBeforeOrAllAfter(recovered.after);
            if (!killed)
                break;
        }
    }
}

// An undo after a committed run, with a full disk or a kill at each of its
// write points in turn, then recovery: outside the run folder the system is as
// the undo found it (the undo never began) or as before the run, and an undo
// then reaches the tree before the run; the run folder keeps the history. A
// forced undo does the same over the files the scenario changes afterwards.
TEST_P(FaultTest, AFaultDuringAnUndoThenRecoveryLeavesItNotBegunOrDone)
{
    if (clean.exit != 0 && clean.exit != 1)
        return;
    const bool committed = before != after;
    for (const bool force : {false, true}) {
        if (force && scenario.afterwards.empty())
            continue;
        bool ended = false;
        for (int at = 1; !ended; ++at) {
            for (const bool kill : {false, true}) {
                SCOPED_TRACE(std::string(force ? "forced " : "") +
                             (kill ? "undo killed at write point " : "no space at undo write point ") +
                             std::to_string(at));
                ScenarioMachine machine(scenario);
                machine.Run();
                if (force)
                    machine.ApplyAfterwards();
                const Snapshot found = OutsideRunFolders(machine.State());
                if (kill) {
                    ended = !KilledAt(at, [&](int point) { machine.Undo({.killAt = point}, force); });
                    if (ended)
                        break;
                } else {
                    const RunResult undo = machine.Undo({.noSpaceAt = at}, force);
                    EXPECT_TRUE(undo.exit == 0 || undo.exit == 2 || (!committed && undo.exit == 3)) << undo.exit;
                    EXPECT_FALSE(undo.lines.empty()) << "ended without a word";
                }
                const RunResult recovered = machine.Recover();
                EXPECT_EQ(recovered.exit, 0);
                if (const Snapshot outside = OutsideRunFolders(recovered.after); outside != before) {
                    EXPECT_EQ(Differences(found, outside), "");
                }
                EXPECT_EQ(WorkFiles(recovered.after), "");
                const RunResult finished = machine.Undo({}, force);
                EXPECT_EQ(Differences(before, OutsideRunFolders(finished.after)), "");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultTest, ::testing::ValuesIn(ScenarioFiles()),
                         [](const auto& info) { return info.param.stem().string(); });

}  // namespace
}  // namespace pelmo::test
