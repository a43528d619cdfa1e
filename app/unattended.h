// The unattended front end: the upgrade run without dialogs.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "app/front_end.h"
#include "app/options.h"
#include "package/package_info.h"
#include "platform/machine.h"
#include "upgrade/progress_display.h"
#include "upgrade/prompter.h"
#include "upgrade/upgrade_run.h"

namespace pelmo {

// Prints each message box as one line "[caption] text" in UTF-8. A disk prompt is
// answered OK, and Cancel when the same prompt comes straight back (the disk still
// lacks the file); every other box is answered OK.
//
// With a `progress` stream (a terminal), a run that lasts shows one line there
// that each report rewrites in place, at the pace of a ProgressPace; a message
// and the end of the run clear it.
class PrintingPrompter : public Prompter {
public:
    explicit PrintingPrompter(std::ostream& out, std::ostream* progress = nullptr,
                              ProgressPace::Clock clock = &std::chrono::steady_clock::now)
        : out_(out),
          progress_(progress),
          pace_(std::move(clock))
    {
    }
    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override;
    void BeginBusy() override { ++busyDepth_; }
    void EndBusy() override;
    void Progress(const RunProgress& progress) override;

private:
    void ClearProgressLine();

    std::ostream& out_;
    std::optional<std::string> diskPrompt_;  // the box just shown, when it was a disk prompt
    std::ostream* progress_;
    ProgressPace pace_;
    int busyDepth_ = 0;
    bool lineShown_ = false;
};

// What the destination dialog would propose: the Uninstall entry's folder, else
// installFolder.
std::string ProposedDestination(const Machine& machine, const PackageInfo& info);

// The whole unattended run (or with `--recover` only the recovery, with `--undo`
// the undo of the last completed run); returns the exit status. The progress line
// goes to `err` when `showProgress`; the program shows it when standard error is
// a terminal.
int RunUnattended(const Options& options, std::ostream& out, std::ostream& err, bool showProgress = false);
int RunUnattended(const Options& options);

}  // namespace pelmo
