// The unattended front end: the upgrade run without dialogs.
#include "app/unattended.h"

#include <unistd.h>

#include <ctime>
#include <iostream>
#include <sstream>

#include "app/log_file.h"
#include "platform/text.h"
#include "res/strings.h"
#include "upgrade/archive_library.h"
#include "upgrade/install_log.h"
#include "upgrade/uninstall_entry.h"
#include "upgrade/upgrade_run.h"

namespace pelmo {
namespace {

struct Prepared {
    Machine machine;
    std::string sourceFolder;
    PackageInfo info;
};

// The installed system's folder for `--recover` and `--undo`: the target, else the proposal
// from the package. Nothing after a line for the user.
std::optional<std::pair<Machine, std::string>> RecoveryTarget(const Options& options, std::ostream& err);

// Everything the run needs, or a line for the user.
std::optional<Prepared> Prepare(const Options& options, std::ostream& err)
{
    std::optional<FrontEndSetting> setting = ChooseMachineAndSource(options, err);
    if (!setting)
        return std::nullopt;
    Prepared prepared{std::move(setting->machine), std::move(setting->sourceFolder), {}};
    if (LoadPackageInfo(prepared.machine, prepared.sourceFolder, prepared.info) != 1) {
        err << FormatTextUtf8(Text::CliNoPackage, setting->shownFolder) << '\n';
        return std::nullopt;
    }
    if (options.target) {
        auto target = Utf8ToCp932(*options.target);
        if (!target) {
            err << FormatTextUtf8(Text::CliBadTarget, *options.target) << '\n';
            return std::nullopt;
        }
        prepared.info.installFolder = *target;
    } else {
        prepared.info.installFolder = ProposedDestination(prepared.machine, prepared.info);
    }
    return prepared;
}

std::optional<std::pair<Machine, std::string>> RecoveryTarget(const Options& options, std::ostream& err)
{
    if (!options.target) {
        // A package named or found proposes the folder; without one, what is
        // missing is the folder, not a package.
        std::ostringstream packageProblem;
        std::optional<Prepared> prepared = Prepare(options, options.package ? err : packageProblem);
        if (!prepared) {
            if (!options.package && ChooseMachine(options, err))
                err << FormatTextUtf8(Text::CliNeedsTarget, options.undo ? "--undo" : "--recover") << '\n';
            return std::nullopt;
        }
        return std::make_pair(std::move(prepared->machine), prepared->info.installFolder);
    }
    std::optional<Machine> machine = ChooseMachine(options, err);
    if (!machine)
        return std::nullopt;
    auto target = Utf8ToCp932(*options.target);
    if (!target) {
        err << FormatTextUtf8(Text::CliBadTarget, *options.target) << '\n';
        return std::nullopt;
    }
    return std::make_pair(std::move(*machine), *target);
}

// The log's file, when --log names one, is written whatever the run's end.
int Logged(const Options& options, const InstallLog& log, int status, std::ostream& err)
{
    if (options.log && !WriteLogFile(*options.log, log.Utf8(), err) && status == kExitSucceeded)
        return kExitSucceededWithFailures;
    return status;
}

// Recovery and undo: a target folder, the printed messages, the log; `work`
// gives the exit status.
template <typename Work>
int RunOnTarget(const Options& options, std::ostream& out, std::ostream& err, Work work)
{
    auto target = RecoveryTarget(options, err);
    if (!target || (options.log && !PrepareLogFile(*options.log, err)))
        return kExitBadCommandLine;
    PrintingPrompter printing(out);
    InstallLog log;
    SetLogOrigin(log, options);
    log.BeginRun({}, target->second);
    LoggingPrompter prompter(printing, log);
    return Logged(options, log, work(target->first, prompter, target->second, log), err);
}

int RunRecovery(const Options& options, std::ostream& out, std::ostream& err)
{
    return RunOnTarget(
        options, out, err, [](const Machine& machine, Prompter& prompter, const std::string& folder, InstallLog& log) {
            return RecoverSystem(machine, prompter, folder, &log) == RecoverOutcome::Failed ? kExitStopped
                                                                                            : kExitSucceeded;
        });
}

// One line per completed run, newest first: when, from which package, what it
// changed, and whether undo can take it back.
int ListHistory(const Machine& machine, Prompter& prompter, const std::string& folder, std::ostream& out)
{
    const auto history = UndoHistory(machine, prompter, folder);
    if (!history)
        return kExitStopped;
    for (const BackupSetSummary& set : *history) {
        const std::time_t seconds = static_cast<std::time_t>(set.committed / 1000000000);
        std::tm local{};
        char when[32] = "";
        if (::localtime_r(&seconds, &local))
            std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &local);
        const Text state = set.state == BackupSetSummary::State::CanUndo        ? Text::CliHistoryCanUndo
                           : set.state == BackupSetSummary::State::FilesChanged ? Text::CliHistoryChanged
                                                                                : Text::CliHistoryForced;
        out << FormatTextUtf8(Text::CliHistoryLine, {when, set.package.empty() ? "-" : Cp932ToUtf8Lossy(set.package),
                                                     std::to_string(set.added), std::to_string(set.replaced),
                                                     std::to_string(set.removed), GetTextUtf8(state)})
            << '\n';
    }
    return history->empty() ? kExitNothingToUndo : kExitSucceeded;
}

int RunUndo(const Options& options, std::ostream& out, std::ostream& err)
{
    auto undo = [&](const Machine& machine, Prompter& prompter, const std::string& folder, InstallLog& log) -> int {
        if (options.list)
            return ListHistory(machine, prompter, folder, out);
        switch (UndoSystem(machine, prompter, folder, options.force, &log)) {
        case UndoOutcome::Restored:
            return kExitSucceeded;
        case UndoOutcome::Nothing:
            return kExitNothingToUndo;
        case UndoOutcome::Refused: {
            // The way on is the command line's, so it is told there and in the log, not in the box.
            const std::string hint = GetTextUtf8(Text::CliUndoForceHint);
            err << hint << '\n';
            log.Note(Utf8ToCp932(hint).value_or(hint));
            break;
        }
        case UndoOutcome::Failed:
            break;
        }
        return kExitStopped;
    };
    return RunOnTarget(options, out, err, undo);
}

}  // namespace

int PrintingPrompter::MessageBox(const std::string& text, const std::string& caption, unsigned buttons)
{
    ClearProgressLine();
    out_ << '[' << Cp932ToUtf8Lossy(caption) << "] " << Cp932ToUtf8Lossy(text) << std::endl;
    // The run asks again only when the disk still lacks the file; a second OK
    // would loop for ever.
    const bool askedAgain = buttons == MB_OKCANCEL && diskPrompt_ == text;
    diskPrompt_ = buttons == MB_OKCANCEL ? std::optional<std::string>(text) : std::nullopt;
    return askedAgain ? IDCANCEL : IDOK;
}

void PrintingPrompter::EndBusy()
{
    if (busyDepth_ > 0 && --busyDepth_ == 0) {
        ClearProgressLine();
        pace_.Restart();
    }
}

void PrintingPrompter::Progress(const RunProgress& progress)
{
    if (!progress_ || !pace_.Due() || !pace_.showing())
        return;
    const ProgressLines lines = DescribeProgress(progress);
    std::string line = Cp932ToUtf8Lossy(lines.action);
    if (!lines.count.empty())
        line += "  " + Cp932ToUtf8Lossy(lines.count);
    line += "  " + std::to_string(lines.permille / 10) + "%";
    // Back to the line's start, and whatever a longer line left behind erased.
    *progress_ << '\r' << line << "\033[K" << std::flush;
    lineShown_ = true;
}

void PrintingPrompter::ClearProgressLine()
{
    if (!lineShown_)
        return;
    *progress_ << "\r\033[K" << std::flush;
    lineShown_ = false;
}

std::string ProposedDestination(const Machine& machine, const PackageInfo& info)
{
    return FindUninstallFolder(machine.registry(), info.productKeys).value_or(info.installFolder);
}

int RunUnattended(const Options& options, std::ostream& out, std::ostream& err, bool showProgress)
{
    if (options.recover)
        return RunRecovery(options, out, err);
    if (options.undo)
        return RunUndo(options, out, err);
    std::optional<Prepared> prepared = Prepare(options, err);
    if (!prepared || (options.log && !PrepareLogFile(*options.log, err)))
        return kExitBadCommandLine;
    PrintingPrompter prompter(out, showProgress ? &err : nullptr);
    LhaComponent archive;
    InstallLog log;
    SetLogOrigin(log, options);
    const RunOutcome outcome = RunUpgrade(prepared->machine, prompter, archive, prepared->info, prepared->sourceFolder,
                                          {.dryRun = options.dryRun, .log = &log});
    // The plan follows the run's messages.
    if (options.dryRun && !log.runs().empty())
        for (const std::string& line : PlanLines(log.runs().back()))
            out << line << '\n';
    out.flush();
    return Logged(options, log, ExitStatusFor(outcome), err);
}

int RunUnattended(const Options& options)
{
    return RunUnattended(options, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1);
}

}  // namespace pelmo
