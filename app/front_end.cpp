// What both front ends set up before a run: the machine and SourceFolder.
#include "app/front_end.h"

#include <ostream>
#include <system_error>

#include "package/source_folder.h"
#include "res/strings.h"

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
    return FrontEndSetting{std::move(*machine), std::move(*sourceFolder), std::move(shownFolder)};
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

}  // namespace pelmo
