// SourceFolder from the executable's own path or from a package folder on the host.
#include "package/source_folder.h"

#include <system_error>

#include "platform/runtime.h"
#include "platform/text.h"
#include "res/strings.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

bool IsDriveRoot(std::string_view windowsPath)
{
    return windowsPath.size() == 3 && windowsPath[1] == ':' && windowsPath[2] == '\\';
}

// The first character of a host path that code page 932 cannot hold; empty when none.
std::string FirstCharacterWithoutCp932Form(const std::string& utf8)
{
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        DecodeUtf8(utf8, pos);
        const std::string_view character(utf8.data() + start, pos - start);
        if (!Utf8ToCp932(character))
            return std::string(character);
    }
    return {};
}

}  // namespace

std::string SourceFolderFromExecutable(std::string_view executablePath)
{
    SplitPathResult parts = SplitPath(executablePath);
    std::string folder = parts.drive + parts.folder;
    if (folder.size() == 3)
        folder.resize(2);
    return folder;
}

PackageFolder SourceFolderForHostFolder(const Machine& machine, const fs::path& folder)
{
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (!fs::exists(status))
        return {{}, FolderProblem::Missing, {}};
    if (!fs::is_directory(status))
        return {{}, FolderProblem::NotAFolder, {}};
    auto windows = machine.ToWindows(folder);
    if (!windows) {
        // A drive holds the folder when it holds a folder above it; then only a
        // name below that one can be at fault.
        const fs::path canonical = fs::weakly_canonical(fs::absolute(folder, ec), ec);
        for (fs::path above = canonical.parent_path(); !above.empty(); above = above.parent_path()) {
            if (machine.ToWindows(above)) {
                std::string character = FirstCharacterWithoutCp932Form(canonical.lexically_relative(above).string());
                if (!character.empty())
                    return {{}, FolderProblem::NameNotCp932, std::move(character)};
                break;
            }
            if (above == above.root_path())
                break;
        }
        return {{}, FolderProblem::OnNoDrive, {}};
    }
    // Names are appended directly, and a drive root is the drive alone.
    if (IsDriveRoot(*windows))
        return {windows->substr(0, 2), FolderProblem::None, {}};
    return {*windows + '\\', FolderProblem::None, {}};
}

std::string FolderProblemText(const PackageFolder& found, const fs::path& folder)
{
    const std::string shown = folder.string();
    switch (found.problem) {
    case FolderProblem::Missing:
        return FormatTextUtf8(Text::CliNoSuchFolder, shown);
    case FolderProblem::NotAFolder:
        return FormatTextUtf8(Text::CliNotAFolder, shown);
    case FolderProblem::NameNotCp932:
        return FormatTextUtf8(Text::CliFolderNameNotCp932, {shown, found.character});
    case FolderProblem::OnNoDrive:
    case FolderProblem::None:
        break;
    }
    return FormatTextUtf8(Text::CliNotOnMachine, shown);
}

}  // namespace pelmo
