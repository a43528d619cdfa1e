// The unattended front end: the upgrade run without dialogs.
#include "app/unattended.h"

#include <iostream>
#include <system_error>

#include "package/source_folder.h"
#include "platform/text.h"
#include "res/strings.h"
#include "upgrade/archive_library.h"
#include "upgrade/uninstall_entry.h"
#include "upgrade/upgrade_run.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

bool IsDriveRoot(std::string_view windowsPath)
{
    return windowsPath.size() == 3 && windowsPath[1] == ':' && windowsPath[2] == '\\';
}

std::optional<fs::path> OwnExecutable()
{
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return std::nullopt;
    return self;
}

std::optional<std::string> SourceFolderForExecutable(const Machine& machine, const fs::path& executable)
{
    auto windows = machine.ToWindows(executable);
    if (!windows)
        return std::nullopt;
    return SourceFolderFromExecutable(*windows);
}

struct Prepared {
    Machine machine;
    std::string sourceFolder;
    PackageInfo info;
};

// Everything the run needs, or a line for the user.
std::optional<Prepared> Prepare(const Options& options, std::ostream& err)
{
    std::optional<FrontEndSetting> setting = ChooseMachineAndSource(options, err);
    if (!setting)
        return std::nullopt;
    std::string shownFolder;
    if (options.package)
        shownFolder = options.package->string();
    else if (auto executable = OwnExecutable())
        shownFolder = executable->parent_path().string();
    Prepared prepared{std::move(setting->machine), std::move(setting->sourceFolder), {}};
    if (LoadPackageInfo(prepared.machine, prepared.sourceFolder, prepared.info) != 1) {
        err << FormatTextUtf8(Text::CliNoPackage, shownFolder) << '\n';
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

}  // namespace

std::optional<FrontEndSetting> ChooseMachineAndSource(const Options& options, std::ostream& err)
{
    std::string error;
    std::optional<Machine> machine = Machine::Select(options.machine, &error);
    if (!machine) {
        err << FormatTextUtf8(Text::CliMachineFailed, error) << '\n';
        return std::nullopt;
    }
    std::optional<std::string> sourceFolder;
    std::string shownFolder;
    if (options.package) {
        sourceFolder = SourceFolderForPackage(*machine, *options.package);
        shownFolder = options.package->string();
    } else if (auto executable = OwnExecutable()) {
        sourceFolder = SourceFolderForExecutable(*machine, *executable);
        shownFolder = executable->parent_path().string();
    }
    if (!sourceFolder) {
        err << FormatTextUtf8(Text::CliNotOnMachine, shownFolder) << '\n';
        return std::nullopt;
    }
    return FrontEndSetting{std::move(*machine), std::move(*sourceFolder)};
}

int PrintingPrompter::MessageBox(const std::string& text, const std::string& caption, unsigned buttons)
{
    out_ << '[' << Cp932ToUtf8Lossy(caption) << "] " << Cp932ToUtf8Lossy(text) << std::endl;
    // The run asks again only when the disk still lacks the file; a second OK
    // would loop for ever.
    const bool askedAgain = buttons == MB_OKCANCEL && diskPrompt_ == text;
    diskPrompt_ = buttons == MB_OKCANCEL ? std::optional<std::string>(text) : std::nullopt;
    return askedAgain ? IDCANCEL : IDOK;
}

int ExitStatusFor(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Upgraded:
        return kExitSucceeded;
    case RunOutcome::UpgradedWithFailures:
        return kExitSucceededWithFailures;
    case RunOutcome::FolderRejected:
        return kExitFolderRejected;
    case RunOutcome::Stopped:
        break;
    }
    return kExitStopped;
}

std::optional<std::string> SourceFolderForPackage(const Machine& machine, const fs::path& folder)
{
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return std::nullopt;
    auto windows = machine.ToWindows(folder);
    if (!windows)
        return std::nullopt;
    // As for the program's own folder: names are appended directly, and a drive
    // root is the drive alone.
    if (IsDriveRoot(*windows))
        return windows->substr(0, 2);
    return *windows + '\\';
}

std::string ProposedDestination(const Machine& machine, const PackageInfo& info)
{
    return FindUninstallFolder(machine.registry(), info.productKeys).value_or(info.installFolder);
}

int RunUnattended(const Options& options, std::ostream& out, std::ostream& err)
{
    std::optional<Prepared> prepared = Prepare(options, err);
    if (!prepared)
        return kExitBadCommandLine;
    PrintingPrompter prompter(out);
    LhaComponent archive(prepared->machine);
    return ExitStatusFor(RunUpgrade(prepared->machine, prompter, archive, prepared->info, prepared->sourceFolder));
}

int RunUnattended(const Options& options)
{
    return RunUnattended(options, std::cout, std::cerr);
}

}  // namespace pelmo
