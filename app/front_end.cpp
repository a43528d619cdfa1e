// What both front ends set up before a run: the machine and SourceFolder.
#include "app/front_end.h"

#include <ostream>
#include <system_error>

#include "package/source_folder.h"
#include "res/strings.h"
#include "upgrade/install_log.h"

namespace fs = std::filesystem;

namespace pelmo {

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

void SetLogOrigin(InstallLog& log, const Options& options)
{
    const char* frontEnd = options.undo         ? "undo"
                           : options.recover    ? "recovery"
                           : options.unattended ? "unattended"
                                                : "wizard";
    log.SetOrigin("pelmo " PELMO_VERSION, std::string(frontEnd) + ": " + options.commandLine);
}

int WizardExitStatus(std::optional<RunOutcome> lastRun)
{
    return lastRun ? ExitStatusFor(*lastRun) : kExitSucceeded;
}
namespace {

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

// The current folder when this program is an installed one.
std::optional<fs::path> InstalledPackageFolder()
{
    std::error_code ec;
    auto executable = OwnExecutable();
    if (!executable || !IsInstalledProgram(*executable, PELMO_INSTALLED_BINDIR))
        return std::nullopt;
    fs::path current = fs::current_path(ec);
    if (ec)
        return std::nullopt;
    return current;
}

}  // namespace

std::optional<Machine> ChooseMachine(const Options& options, std::ostream& err)
{
    if (options.machine) {
        if (std::string problem = MachineFolderProblem(*options.machine); !problem.empty()) {
            err << problem << '\n';
            return std::nullopt;
        }
    }
    std::string error;
    std::optional<Machine> machine = Machine::Select(options.machine, &error);
    if (!machine)
        err << FormatTextUtf8(Text::CliMachineFailed, error) << '\n';
    return machine;
}

std::optional<FrontEndSetting> ChooseMachineAndSource(const Options& options, std::ostream& err)
{
    std::optional<Machine> machine = ChooseMachine(options, err);
    if (!machine)
        return std::nullopt;
    const std::optional<fs::path> package = options.package ? options.package : InstalledPackageFolder();
    if (package) {
        PackageFolder found = SourceFolderForHostFolder(*machine, *package);
        if (found.problem != FolderProblem::None) {
            err << FolderProblemText(found, *package) << '\n';
            return std::nullopt;
        }
        return FrontEndSetting{std::move(*machine), std::move(found.sourceFolder), package->string()};
    }
    std::optional<std::string> sourceFolder;
    std::string shownFolder;
    if (auto executable = OwnExecutable()) {
        sourceFolder = SourceFolderForExecutable(*machine, *executable);
        shownFolder = executable->parent_path().string();
    }
    if (!sourceFolder) {
        err << FormatTextUtf8(Text::CliOwnFolderNotOnMachine, shownFolder) << '\n';
        return std::nullopt;
    }
    return FrontEndSetting{std::move(*machine), std::move(*sourceFolder), std::move(shownFolder)};
}

std::string MachineFolderProblem(const fs::path& folder)
{
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status))
        return FormatTextUtf8(Text::CliNoSuchFolder, folder.string());
    if (!fs::is_directory(status))
        return FormatTextUtf8(Text::CliNotAFolder, folder.string());
    if (!fs::is_directory(folder / "dosdevices", ec))
        return FormatTextUtf8(Text::CliNotAMachine, folder.string());
    return {};
}

bool IsInstalledProgram(const fs::path& executable, const fs::path& installedBin)
{
    std::error_code ec;
    const fs::path folder = executable.parent_path();
    return fs::equivalent(folder, installedBin, ec) && !fs::exists(folder / "info.txt", ec);
}

std::optional<std::string> SourceFolderForPackage(const Machine& machine, const fs::path& folder)
{
    PackageFolder found = SourceFolderForHostFolder(machine, folder);
    if (found.problem != FolderProblem::None)
        return std::nullopt;
    return found.sourceFolder;
}

}  // namespace pelmo
