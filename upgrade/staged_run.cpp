// The stage an upgrade run works in: lock, recovery, commit or discard, and what the user is told.
#include "upgrade/staged_run.h"

#include <string>

#include "platform/files.h"
#include "platform/stage_log.h"
#include "res/strings.h"
#include "upgrade/install_log.h"

namespace pelmo {
namespace {

// Recovery's message; false when the interrupted run could be neither
// completed nor rolled back, so that nothing may go on over it.
bool TellRecovery(Recovery recovery, Prompter& prompter)
{
    auto tell = [&](Text text, Text caption) { prompter.MessageBox(GetText(text), GetText(caption), MB_OK); };
    switch (recovery) {
    case Recovery::Nothing:
        return true;
    case Recovery::Completed:
        tell(Text::PreviousCompleted, Text::CaptionConfirm);
        return true;
    case Recovery::RolledBack:
        tell(Text::PreviousRolledBack, Text::CaptionConfirm);
        return true;
    case Recovery::Failed:
        break;
    }
    // The unfinished run is still there, and holds the system as a running one would.
    tell(Text::RunBusy, Text::CaptionError);
    return false;
}

// What the stage holds, for the log and the plan: files in Windows form, a key
// written twice with its first old and last new value, the records of both
// conversions of a master file together.
std::vector<LoggedChange> StagedChanges(const Machine& machine, const Stage& stage)
{
    std::vector<LoggedChange> changes;
    for (const PlannedChange& planned : stage.Plan()) {
        LoggedChange change{planned.kind,
                            machine.ToWindows(planned.target).value_or(planned.target),
                            0,
                            0,
                            planned.section,
                            planned.key,
                            planned.oldValue,
                            planned.newValue,
                            planned.records};
        if (const StagedFile* file = stage.Find(planned.target)) {
            change.size = file->size;
            change.checksum = file->checksum;
        }
        bool merged = false;
        for (LoggedChange& earlier : changes) {
            if (earlier.kind != change.kind || earlier.file != change.file)
                continue;
            if (change.kind == PlannedChange::Kind::Converted) {
                earlier.records += change.records;
                merged = true;
            } else if (change.kind == PlannedChange::Kind::Settings && earlier.section == change.section &&
                       earlier.key == change.key) {
                earlier.newValue = change.newValue;
                merged = true;
            }
        }
        if (!merged)
            changes.push_back(std::move(change));
    }
    return changes;
}

}  // namespace

RunStage::~RunStage()
{
    machine_.AttachStage(nullptr);
    Release();
}

void RunStage::Tell(Text text, Text caption)
{
    prompter_.MessageBox(GetText(text), GetText(caption), MB_OK);
}

bool RunStage::Open(std::string_view folder)
{
    StageOpening opening = StageOpening::Failed;
    lockFileExisted_ = !dryRun_ || HasLockFile(machine_, folder);
    stage_ = OpenStage(machine_, folder, opening);
    if (opening == StageOpening::Busy) {
        Tell(Text::RunBusy, Text::CaptionError);
        return false;
    }
    if (!stage_)
        return true;  // the checks reject the folder, or nothing can be written there
    if (dryRun_ && HasUnfinishedRun(*stage_)) {
        // Recovering would change the system, which a dry run never does.
        Release();
        Tell(Text::DryRunUnfinished, Text::CaptionError);
        return false;
    }
    if (!TellRecovery(stage_->Recover(), prompter_)) {
        stage_.reset();
        return false;
    }
    machine_.AttachStage(stage_.get());
    return true;
}

RunOutcome RunStage::Finish(RunOutcome outcome, const std::string& finalText, Text finalCaption)
{
    machine_.AttachStage(nullptr);
    const bool upgraded = outcome == RunOutcome::Upgraded || outcome == RunOutcome::UpgradedWithFailures;
    if (!upgraded)
        return Discard(outcome);
    const bool staged = stage_ && stage_->AnythingStaged();
    if (staged)
        log_.Changes(StagedChanges(machine_, *stage_));
    if (dryRun_) {
        Release();  // discards, and says nothing of it
        log_.Outcome(outcome, RunEnding::DryRun);
    } else if (staged) {
        log_.Outcome(outcome, RunEnding::Committed);
        // The log goes with the run's own backup set, the final message in it.
        const LoggedMessage final{GetText(finalCaption), finalText};
        if (!StageRunLog(*stage_, RunLogCp932(log_.runs().back(), &final)) ||
            stage_->Commit() != CommitResult::Committed) {
            stage_.reset();
            log_.Changes({});
            log_.Outcome(RunOutcome::Stopped, RunEnding::CommitFailed);
            Tell(Text::CommitFailed, Text::CaptionConfirm);
            return RunOutcome::Stopped;
        }
    } else {
        log_.Outcome(outcome, RunEnding::NothingChanged);
    }
    stage_.reset();
    prompter_.MessageBox(finalText, GetText(finalCaption), MB_OK);
    return outcome;
}

RunOutcome RunStage::Discard(RunOutcome outcome)
{
    const bool staged = stage_ && stage_->AnythingStaged();
    Release();  // discards
    log_.Outcome(outcome, dryRun_ ? RunEnding::DryRun : staged ? RunEnding::Discarded : RunEnding::NothingChanged);
    // A dry run's own discard is no news to the user.
    if (staged && !dryRun_)
        Tell(Text::RunDiscarded, Text::CaptionConfirm);
    return outcome;
}

void RunStage::Release()
{
    if (stage_ && !lockFileExisted_)
        RemoveLockFile(*stage_);
    stage_.reset();
}

RecoverOutcome RecoverSystem(const Machine& machine, Prompter& prompter, std::string_view folder)
{
    std::string settled(folder);
    // As the run's checks take it: a bare drive letter is that drive's root.
    if (settled.size() == 1 && Access(machine, settled, 0) != 0)
        settled += ":\\";
    if (!HasRunFolder(machine, settled))
        return RecoverOutcome::Nothing;
    StageOpening opening = StageOpening::Failed;
    std::unique_ptr<Stage> stage = OpenStage(machine, settled, opening);
    if (!stage) {
        prompter.MessageBox(GetText(Text::RunBusy), GetText(Text::CaptionError), MB_OK);
        return RecoverOutcome::Failed;
    }
    BusyScope busy(prompter);
    const Recovery recovery = stage->Recover();
    if (!TellRecovery(recovery, prompter))
        return RecoverOutcome::Failed;
    return recovery == Recovery::Nothing ? RecoverOutcome::Nothing : RecoverOutcome::Recovered;
}

}  // namespace pelmo
