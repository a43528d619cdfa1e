// Whole unattended runs described as small text files: a machine, a package, and
// what the run must show, return and leave on disk (docs/testing.md).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/faults.h"
#include "tests/support/snapshot.h"

namespace pelmo::test {

struct Scenario {
    std::string name;
    std::vector<std::string> setup;  // lines that build the machine and the package
    std::vector<std::string> run;    // further command-line arguments
    std::vector<std::string> shows;  // the printed lines, in order
    int exit = -1;
    std::map<std::string, std::string> has;  // Windows path -> what the run leaves there
    bool locked = false;                     // another run holds the system's lock meanwhile
    // What `--undo` after the run must show and return, when not the default
    // (restored after a commit, else nothing to undo); the setup lines applied
    // between the run and the undo.
    std::vector<std::string> afterwards;
    std::vector<std::string> undoShows;
    int undoExit = -1;
};

Scenario LoadScenario(const std::filesystem::path& file);
std::vector<std::filesystem::path> ScenarioFiles();

struct RunResult {
    int exit = -1;
    std::vector<std::string> lines;  // standard output, then standard error
    Snapshot before;
    Snapshot after;
    int writePoints = 0;
    int readPoints = 0;
    std::filesystem::path root;  // the machine folder, canonical
    std::string log;             // what --log wrote, when the run was given it
};

// A scenario's machine, built in a new temporary folder and removed with it.
class ScenarioMachine {
public:
    explicit ScenarioMachine(const Scenario& scenario);
    ~ScenarioMachine();
    ScenarioMachine(const ScenarioMachine&) = delete;
    ScenarioMachine& operator=(const ScenarioMachine&) = delete;

    // Runs the scenario's command line; `faults` is armed for the run alone, with
    // write points in the machine folder and read points in the package folder.
    RunResult Run(FaultPlan faults = {}) const;
    // The same command line with `--recover`: only the recovery.
    RunResult Recover(FaultPlan faults = {}) const;
    // The same command line with `--undo` instead of any `--recover` or `--dry-run`.
    RunResult Undo(FaultPlan faults = {}, bool force = false) const;
    // The scenario's `afterwards` lines, as the user's changes after the run.
    void ApplyAfterwards() const;
    // The same command line with `--dry-run` (unless it has it) and `--log`.
    RunResult DryRun() const;
    Snapshot State() const;

private:
    class Builder;
    RunResult RunWith(FaultPlan faults, std::vector<std::string> extra) const;
    const Scenario& scenario_;
    std::unique_ptr<Builder> builder_;
};

// A snapshot without the run folders (PELMOBAK), which belong to the program.
Snapshot OutsideRunFolders(Snapshot state);
// The staged runs' work files in a snapshot (none may outlive a run or a recovery).
std::string WorkFiles(const Snapshot& state);

// Where a Windows path of a scenario lies in a Snapshot of its machine folder.
std::string SnapshotKey(const std::string& windowsPath);
// A scenario's text in code page 932, '|' standing for a line end (CR LF).
std::string ScenarioText(const std::string& utf8);
// The lines of `text`, each ended by `end` (the last may lack it).
std::vector<std::string> SplitLines(const std::string& text, const std::string& end);

}  // namespace pelmo::test
