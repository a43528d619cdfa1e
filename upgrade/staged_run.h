// The stage an upgrade run works in: opened with its lock and recovery once the
// target folder is known, committed or discarded before the run's last message.
#pragma once

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/machine.h"
#include "platform/stage/staging.h"
#include "platform/staged_view.h"
#include "res/strings.h"
#include "upgrade/prompter.h"
#include "upgrade/upgrade_run.h"

namespace pelmo {

class InstallLog;

// The run's stage and the view over it that every step of the run reads and
// writes through.
class RunStage {
public:
    // A dry run stages as a real one does and discards at the end, silently.
    RunStage(const Machine& machine, Prompter& prompter, InstallLog& log, bool dryRun)
        : machine_(machine),
          prompter_(prompter),
          log_(log),
          dryRun_(dryRun)
    {
    }
    ~RunStage();
    RunStage(const RunStage&) = delete;
    RunStage& operator=(const RunStage&) = delete;

    // Takes the lock of the system in `folder` (as the checks settled it) and
    // recovers an interrupted run, telling the user. False (after a message) when
    // the run must not go on.
    bool Open(std::string_view folder);
    // The view the run works in; nothing when no stage could be opened, and
    // then nothing may be written. It goes at Finish.
    StagedView* view() { return view_ ? &*view_ : nullptr; }
    // Commits an upgraded run, its log in the run folder with it, and then shows
    // the final message; discards any other, telling the user when anything had
    // been staged. The log gets the changes and the outcome.
    RunOutcome Finish(RunOutcome outcome, const std::string& finalText, Text finalCaption);

private:
    void Tell(Text text, Text caption);
    Stage::CommitProgress ReportCommit();
    RunOutcome Discard(RunOutcome outcome);
    // Ends the stage (discarding what it still holds); a dry run takes its lock
    // file with it when it made it.
    void Release();
    const Machine& machine_;
    Prompter& prompter_;
    InstallLog& log_;
    const bool dryRun_;
    bool lockFileExisted_ = true;
    std::unique_ptr<Stage> stage_;
    std::optional<StagedView> view_;
};

// What `pelmo --recover` found.
enum class RecoverOutcome { Nothing, Recovered, Failed };
// Only the recovery of the system in `folder`, with its messages.
// A recovery that changed the system appends its block to the log, from `log`.
RecoverOutcome RecoverSystem(const Machine& machine, Prompter& prompter, std::string_view folder,
                             InstallLog* log = nullptr);

// What `pelmo --undo` did.
enum class UndoOutcome { Restored, Refused, Failed, Nothing };
// Recovery, then the undo of the newest committed run of the system in
// `folder` not yet taken back, with their messages; `force` takes it back
// although files changed since, keeping them in its backup set.
// An undo that changed the system appends its block to the log, from `log`.
UndoOutcome UndoSystem(const Machine& machine, Prompter& prompter, std::string_view folder, bool force = false,
                       InstallLog* log = nullptr);
// The committed runs of the system in `folder`, newest first; nothing when
// another run holds it (after its message). Changes nothing.
std::optional<std::vector<BackupSetSummary>> UndoHistory(const Machine& machine, Prompter& prompter,
                                                         std::string_view folder);

}  // namespace pelmo
