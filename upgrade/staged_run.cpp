// The stage an upgrade run works in: lock, recovery, commit or discard, and what the user is told.
#include "upgrade/staged_run.h"

#include <string>

#include "platform/files.h"
#include "res/strings.h"

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

// As the run's checks take it: a bare drive letter is that drive's root.
std::string SettledFolder(const Machine& machine, std::string_view folder)
{
    std::string settled(folder);
    if (settled.size() == 1 && Access(machine, settled, 0) != 0)
        settled += ":\\";
    return settled;
}

}  // namespace

RunStage::~RunStage()
{
    machine_.AttachStage(nullptr);
}

void RunStage::Tell(Text text, Text caption)
{
    prompter_.MessageBox(GetText(text), GetText(caption), MB_OK);
}

bool RunStage::Open(std::string_view folder)
{
    StageOpening opening = StageOpening::Failed;
    stage_ = OpenStage(machine_, folder, opening);
    if (opening == StageOpening::Busy) {
        Tell(Text::RunBusy, Text::CaptionError);
        return false;
    }
    if (!stage_)
        return true;  // the checks reject the folder, or nothing can be written there
    if (!TellRecovery(stage_->Recover(), prompter_)) {
        stage_.reset();
        return false;
    }
    machine_.AttachStage(stage_.get());
    return true;
}

RunOutcome RunStage::Finish(RunOutcome outcome, const std::function<void()>& finalMessage)
{
    machine_.AttachStage(nullptr);
    const bool upgraded = outcome == RunOutcome::Upgraded || outcome == RunOutcome::UpgradedWithFailures;
    if (upgraded) {
        if (stage_ && stage_->Commit() != CommitResult::Committed) {
            stage_.reset();
            Tell(Text::CommitFailed, Text::CaptionConfirm);
            return RunOutcome::Stopped;
        }
        stage_.reset();
        finalMessage();
        return outcome;
    }
    const bool staged = stage_ && stage_->AnythingStaged();
    stage_.reset();  // discards
    if (staged)
        Tell(Text::RunDiscarded, Text::CaptionConfirm);
    return outcome;
}

RecoverOutcome RecoverSystem(const Machine& machine, Prompter& prompter, std::string_view folder)
{
    const std::string settled = SettledFolder(machine, folder);
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

UndoOutcome UndoSystem(const Machine& machine, Prompter& prompter, std::string_view folder)
{
    auto tell = [&](const std::string& text) { prompter.MessageBox(text, GetText(Text::CaptionConfirm), MB_OK); };
    const std::string settled = SettledFolder(machine, folder);
    if (!HasRunFolder(machine, settled)) {
        tell(GetText(Text::NothingToUndo));
        return UndoOutcome::Nothing;
    }
    StageOpening opening = StageOpening::Failed;
    std::unique_ptr<Stage> stage = OpenStage(machine, settled, opening);
    if (!stage) {
        prompter.MessageBox(GetText(Text::RunBusy), GetText(Text::CaptionError), MB_OK);
        return UndoOutcome::Failed;
    }
    BusyScope busy(prompter);
    if (!TellRecovery(stage->Recover(), prompter))
        return UndoOutcome::Failed;
    std::vector<std::string> changed;
    switch (stage->Undo(changed)) {
    case UndoResult::Restored:
        tell(GetText(Text::RunDiscarded));
        return UndoOutcome::Restored;
    case UndoResult::Nothing:
        tell(GetText(Text::NothingToUndo));
        return UndoOutcome::Nothing;
    case UndoResult::Refused:
        break;
    case UndoResult::Failed:
        tell(GetText(Text::UndoFailed));
        return UndoOutcome::Failed;
    }
    // The files that were changed, one per line, as the user knows them.
    std::string text = GetText(Text::UndoRefused);
    for (const std::string& host : changed)
        text += "\n" + machine.ToWindows(host).value_or(host);
    tell(text);
    return UndoOutcome::Refused;
}

}  // namespace pelmo
