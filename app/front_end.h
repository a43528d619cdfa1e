// What both front ends set up before a run: the machine, SourceFolder, exit statuses.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "app/options.h"
#include "platform/machine.h"
#include "upgrade/staged_run.h"

namespace pelmo {

class InstallLog;

// Exit statuses of `pelmo`.
enum ExitStatus : int {
    kExitSucceeded = 0,              // no failure message was shown
    kExitSucceededWithFailures = 1,  // a step reported a failure and the run went on
    kExitStopped = 2,                // an installation failure or a cancelled disk prompt
    kExitFolderRejected = 3,         // the run sent the user back to the destination
    kExitNothingToUndo = 3,          // `--undo` found no completed run
    kExitBadCommandLine = 64,
};

// The exit status for how an upgrade run ended, the same in both front ends.
int ExitStatusFor(RunOutcome outcome);
// The wizard's: its last run's, when the user tried several folders; 0 when
// the user quit before any run.
int WizardExitStatus(std::optional<RunOutcome> lastRun);

// The head of every block of the log: Pelmo's version, the front end
// (wizard, unattended, undo or recovery) and its command line.
void SetLogOrigin(InstallLog& log, const Options& options);

// The machine and SourceFolder a front end works on: `--machine` (else the
// usual fallbacks) and `--package` (else the current folder for an installed
// program, the program's own folder for any other).
struct FrontEndSetting {
    Machine machine;
    std::string sourceFolder;
    std::string shownFolder;  // the package folder on the host, for messages
};
// Nothing after a line for the user on `err`.
std::optional<Machine> ChooseMachine(const Options& options, std::ostream& err);
std::optional<FrontEndSetting> ChooseMachineAndSource(const Options& options, std::ostream& err);

// A line for the user when `folder` is no machine folder (none, or no dosdevices/
// in it); empty when it is one.
std::string MachineFolderProblem(const std::filesystem::path& folder);

// Whether the program at `executable` is an installed one: it lies in the
// installation's bin folder and has no info.txt beside it. A copy on a package
// medium, or one in a build tree, reads the package from its own folder.
bool IsInstalledProgram(const std::filesystem::path& executable, const std::filesystem::path& installedBin);

// SourceFolder for a package folder on the host: its Windows form with a trailing
// backslash, or the drive alone for a drive root. Nothing when no drive holds it.
std::optional<std::string> SourceFolderForPackage(const Machine& machine, const std::filesystem::path& folder);

}  // namespace pelmo
