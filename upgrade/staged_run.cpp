// The stage an upgrade run works in: lock, recovery, commit or discard, and what the user is told.
#include "upgrade/staged_run.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "platform/files.h"
#include "platform/stage/stage_journal.h"
#include "res/strings.h"
#include "upgrade/install_log.h"
#include "upgrade/run_log.h"

namespace pelmo {
namespace {

// A recovery of thousands of files takes a moment: the user sees what happens.
Stage::RecoveryProgress ReportRecovery(Prompter& prompter)
{
    return [&prompter](Recovery work) {
        prompter.Progress(
            {work == Recovery::Completed ? RunProgress::Step::Committing : RunProgress::Step::TakingBack, {}, 0, 0});
    };
}

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

// As the run's checks take it: a bare drive letter is that drive's root.
std::string SettledFolder(const Machine& machine, std::string_view folder)
{
    std::string settled(folder);
    if (settled.size() == 1 && Access(DiskView(machine), settled, 0) != 0)
        settled += ":\\";
    return settled;
}

// The stage of the installed system in `folder` (Windows form): NoFolder when
// that is no folder, nothing made then.
std::unique_ptr<Stage> OpenStage(const Machine& machine, std::string_view folder, StageOpening& result)
{
    auto host = machine.ToHost(folder);
    std::error_code ec;
    if (!host || folder.empty() || !std::filesystem::is_directory(*host, ec)) {
        result = StageOpening::NoFolder;
        return nullptr;
    }
    return Stage::Open(*host, result);
}

// Whether the installed system in `folder` has a run folder, so anything to recover.
bool HasRunFolder(const Machine& machine, std::string_view folder)
{
    auto host = machine.ToHost(folder);
    std::error_code ec;
    return host && !folder.empty() && std::filesystem::is_directory(*host / stage::kRunFolder, ec);
}

// Whether the run folder of the system in `folder` holds a lock file, before a
// stage is opened there.
bool HasLockFile(const Machine& machine, std::string_view folder)
{
    const auto host = machine.ToHost(folder);
    struct stat st {};
    return host && ::lstat((*host / stage::kRunFolder / stage::kLockFile).c_str(), &st) == 0;
}

// What the stage holds, for the log and the plan: files in Windows form, a key
// written twice with its first old and last new value, the records of both
// conversions of a master file together.
std::vector<LoggedChange> StagedChanges(const Machine& machine, const Stage& stage)
{
    std::vector<LoggedChange> changes;
    // Where each conversion and each key already stands: a run stages thousands
    // of files, and a search through all earlier changes for each would hold the
    // commit up for seconds.
    std::map<std::tuple<PlannedChange::Kind, std::string, std::string, std::string>, std::size_t> merged;
    for (const PlannedChange& planned : stage.Plan()) {
        LoggedChange change{planned.kind,     machine.ToWindows(planned.target).value_or(planned.target),
                            planned.size,     planned.checksum,
                            planned.section,  planned.key,
                            planned.oldValue, planned.newValue,
                            planned.records};
        const bool settings = change.kind == PlannedChange::Kind::Settings;
        if (change.kind == PlannedChange::Kind::Converted || settings) {
            const auto [at, added] = merged.try_emplace(
                {change.kind, change.file, settings ? change.section : "", settings ? change.key : ""}, changes.size());
            if (!added) {
                LoggedChange& earlier = changes[at->second];
                if (settings)
                    earlier.newValue = change.newValue;
                else
                    earlier.records += change.records;
                continue;
            }
        }
        changes.push_back(std::move(change));
    }
    return changes;
}

}  // namespace

RunStage::~RunStage()
{
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
    const Recovery recovery = stage_->Recover(ReportRecovery(prompter_));
    if (!TellRecovery(recovery, prompter_)) {
        stage_.reset();
        return false;
    }
    if (recovery != Recovery::Nothing && !log_.runs().empty()) {
        // The recovery changed the system whatever this run does: its own block.
        LoggedRun recovered = log_.runs().back();
        recovered.ending = Text::LogRecovered;
        AppendRunLog(*stage_, RunLogCp932(recovered, nullptr));
    }
    if (dryRun_)
        stage_->MarkDiscardOnly();
    view_.emplace(machine_, *stage_);
    return true;
}

RunOutcome RunStage::Finish(RunOutcome outcome, const std::string& finalText, Text finalCaption)
{
    view_.reset();
    const bool upgraded = outcome == RunOutcome::Upgraded || outcome == RunOutcome::UpgradedWithFailures;
    if (!upgraded)
        return Discard(outcome);
    const bool staged = stage_ && stage_->AnythingStaged();
    // The log of a large run takes a moment to write; the user sees the commit
    // begin, before its files are counted.
    if (staged && !dryRun_)
        ReportCommit()(0, 0);
    if (stage_)
        log_.Changes(StagedChanges(machine_, *stage_));
    if (dryRun_) {
        Release();  // discards, and says nothing of it
        log_.Outcome(outcome, RunEnding::DryRun);
    } else if (staged) {
        log_.Outcome(outcome, RunEnding::Committed);
        stage_->Describe(log_.runs().back().package);
        // The log goes with the run's own backup set, the final message in it.
        const LoggedMessage final{GetText(finalCaption), finalText};
        if (!StageRunLog(*stage_, RunLogCp932(log_.runs().back(), &final)) ||
            stage_->Commit(ReportCommit()) != CommitResult::Committed) {
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

Stage::CommitProgress RunStage::ReportCommit()
{
    return [this](std::size_t done, std::size_t total) {
        prompter_.Progress({RunProgress::Step::Committing, {}, static_cast<int>(done), static_cast<int>(total)});
    };
}

RunOutcome RunStage::Discard(RunOutcome outcome)
{
    const bool staged = stage_ && stage_->AnythingStaged();
    if (staged && !dryRun_) {
        // Thousands of files take a moment to remove: the user sees what happens.
        BusyScope busy(prompter_);
        stage_->Discard([this](std::size_t done, std::size_t total) {
            prompter_.Progress({RunProgress::Step::TakingBack, {}, static_cast<int>(done), static_cast<int>(total)});
        });
    }
    Release();  // discards what is left
    log_.Outcome(outcome, dryRun_ ? RunEnding::DryRun : staged ? RunEnding::Discarded : RunEnding::NothingChanged);
    // A dry run's own discard is no news to the user.
    if (staged && !dryRun_)
        Tell(Text::RunDiscarded, Text::CaptionConfirm);
    return outcome;
}

void RunStage::Release()
{
    view_.reset();
    if (stage_ && !lockFileExisted_)
        RemoveLockFile(*stage_);
    stage_.reset();
}

// Recovery and undo open the stage of an existing run folder; when they cannot
// (another run holds it), the user is told.
static std::unique_ptr<Stage> OpenStageOrSay(const Machine& machine, Prompter& prompter, const std::string& folder)
{
    StageOpening opening = StageOpening::Failed;
    std::unique_ptr<Stage> stage = OpenStage(machine, folder, opening);
    if (!stage)
        prompter.MessageBox(GetText(Text::RunBusy), GetText(Text::CaptionError), MB_OK);
    return stage;
}

// Appends the block of an undo or recovery that changed the system to its log.
static void KeepInHistory(const Stage& stage, InstallLog* log, Text ending)
{
    if (!log)
        return;
    log->Ending(ending);
    if (!log->runs().empty())
        AppendRunLog(stage, RunLogCp932(log->runs().back(), nullptr));
}

RecoverOutcome RecoverSystem(const Machine& machine, Prompter& prompter, std::string_view folder, InstallLog* log)
{
    const std::string settled = SettledFolder(machine, folder);
    if (!HasRunFolder(machine, settled))
        return RecoverOutcome::Nothing;
    std::unique_ptr<Stage> stage = OpenStageOrSay(machine, prompter, settled);
    if (!stage)
        return RecoverOutcome::Failed;
    BusyScope busy(prompter);
    const Recovery recovery = stage->Recover(ReportRecovery(prompter));
    if (!TellRecovery(recovery, prompter))
        return RecoverOutcome::Failed;
    if (recovery == Recovery::Nothing)
        return RecoverOutcome::Nothing;
    KeepInHistory(*stage, log, Text::LogRecovered);
    return RecoverOutcome::Recovered;
}

std::optional<std::vector<BackupSetSummary>> UndoHistory(const Machine& machine, Prompter& prompter,
                                                         std::string_view folder)
{
    const std::string settled = SettledFolder(machine, folder);
    std::vector<BackupSetSummary> history;
    if (HasRunFolder(machine, settled)) {
        std::unique_ptr<Stage> stage = OpenStageOrSay(machine, prompter, settled);
        if (!stage)
            return std::nullopt;
        history = stage->History();
    }
    // An empty list says why, as an undo with nothing to undo does.
    if (history.empty())
        prompter.MessageBox(GetText(Text::NothingToUndo), GetText(Text::CaptionConfirm), MB_OK);
    return history;
}

UndoOutcome UndoSystem(const Machine& machine, Prompter& prompter, std::string_view folder, bool force, InstallLog* log)
{
    auto tell = [&](const std::string& text) { prompter.MessageBox(text, GetText(Text::CaptionConfirm), MB_OK); };
    const std::string settled = SettledFolder(machine, folder);
    if (!HasRunFolder(machine, settled)) {
        tell(GetText(Text::NothingToUndo));
        return UndoOutcome::Nothing;
    }
    std::unique_ptr<Stage> stage = OpenStageOrSay(machine, prompter, settled);
    if (!stage)
        return UndoOutcome::Failed;
    BusyScope busy(prompter);
    if (!TellRecovery(stage->Recover(), prompter))
        return UndoOutcome::Failed;
    std::vector<std::string> changed;
    std::string kept;
    switch (stage->Undo(changed, force, &kept)) {
    case UndoResult::Restored:
        tell(kept.empty() ? GetText(Text::RunDiscarded)
                          : GetText(Text::UndoForced) + "\n" + machine.ToWindows(kept).value_or(kept));
        KeepInHistory(*stage, log, kept.empty() ? Text::LogTakenBack : Text::LogTakenBackForced);
        return UndoOutcome::Restored;
    case UndoResult::Nothing:
        tell(GetText(Text::NothingToUndo));
        return UndoOutcome::Nothing;
    case UndoResult::Refused:
        break;
    case UndoResult::Failed:
        prompter.MessageBox(GetText(Text::UndoFailed), GetText(Text::CaptionError), MB_OK);
        if (log)
            log->Ending(Text::LogUndoFailed);
        return UndoOutcome::Failed;
    }
    // The files that were changed, one per line, as the user knows them.
    std::string text = GetText(Text::UndoRefused);
    for (const std::string& host : changed)
        text += "\n" + machine.ToWindows(host).value_or(host);
    tell(text);
    if (log)
        log->Ending(Text::LogUndoRefused);
    return UndoOutcome::Refused;
}

}  // namespace pelmo
