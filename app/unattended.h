// The unattended front end: the upgrade run without dialogs.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "app/front_end.h"
#include "app/options.h"
#include "package/package_info.h"
#include "platform/machine.h"
#include "upgrade/prompter.h"
#include "upgrade/upgrade_run.h"

namespace pelmo {

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

// What the destination dialog would propose: the Uninstall entry's folder, else
// installFolder.
std::string ProposedDestination(const Machine& machine, const PackageInfo& info);

// The whole unattended run (or with `--recover` only the recovery, with `--undo`
// the undo of the last completed run); returns the exit status.
int RunUnattended(const Options& options, std::ostream& out, std::ostream& err);
int RunUnattended(const Options& options);

}  // namespace pelmo
