// The unattended front end: the upgrade run without dialogs.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "app/options.h"
#include "package/package_info.h"
#include "platform/machine.h"
#include "upgrade/prompter.h"
#include "upgrade/upgrade_run.h"

namespace pelmo {

// The machine and SourceFolder a front end works on: `--machine` (else the
// usual fallbacks) and `--package` (else the program's own folder).
struct FrontEndSetting {
    Machine machine;
    std::string sourceFolder;
};
std::optional<FrontEndSetting> ChooseMachineAndSource(const Options& options, std::ostream& err);

// Exit statuses of `pelmo --unattended`.
enum ExitStatus : int {
    kExitSucceeded = 0,          // no failure message was shown
    kExitSucceededWithFailures = 1,  // a step reported a failure and the run went on
    kExitStopped = 2,            // an installation failure or a cancelled disk prompt
    kExitFolderRejected = 3,     // the run sent the user back to the destination
    kExitBadCommandLine = 64,
};

// Prints each message box as one line "[caption] text" in UTF-8. A disk prompt is
// answered OK, and Cancel when the same prompt comes straight back (the disk still
// lacks the file); every other box is answered OK.
class PrintingPrompter : public Prompter {
public:
    explicit PrintingPrompter(std::ostream& out) : out_(out) {}
    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override;
    void BeginBusy() override {}
    void EndBusy() override {}

private:
    std::ostream& out_;
    std::optional<std::string> diskPrompt_;  // the box just shown, when it was a disk prompt
};

// The exit status for how the run ended.
int ExitStatusFor(RunOutcome outcome);

// SourceFolder for a package folder on the host: its Windows form with a trailing
// backslash, or the drive alone for a drive root. Nothing when no drive holds it.
std::optional<std::string> SourceFolderForPackage(const Machine& machine, const std::filesystem::path& folder);

// What the destination dialog would propose: the Uninstall entry's folder, else
// installFolder.
std::string ProposedDestination(const Machine& machine, const PackageInfo& info);

// The whole unattended run; returns the exit status.
int RunUnattended(const Options& options, std::ostream& out, std::ostream& err);
int RunUnattended(const Options& options);

}  // namespace pelmo
