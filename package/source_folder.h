// SourceFolder: the folder every package file is read from.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/machine.h"

namespace pelmo {

// Drive and folder of the executable's Windows-form path; a drive root ("A:\",
// exactly 3 bytes) becomes the drive alone ("A:"), so names are relative to that
// drive's current folder. A folder part of any length is kept whole.
std::string SourceFolderFromExecutable(std::string_view executablePath);

// Why a host folder cannot be a package folder.
enum class FolderProblem {
    None,
    Missing,       // nothing of that name
    NotAFolder,    // a file or something else
    NameNotCp932,  // a character of its path has no code page 932 form
    OnNoDrive,     // no drive of the machine holds it
};

struct PackageFolder {
    std::string sourceFolder;  // the Windows form, for names to be appended to
    FolderProblem problem = FolderProblem::None;
    std::string character;  // for NameNotCp932: the first such character, UTF-8
};

// SourceFolder for a package folder on the host: its Windows form with a trailing
// backslash, or the drive alone for a drive root, as for the program's own folder.
PackageFolder SourceFolderForHostFolder(const Machine& machine, const std::filesystem::path& folder);

// One line for the user (UTF-8) on why `folder` cannot be used.
std::string FolderProblemText(const PackageFolder& found, const std::filesystem::path& folder);

}  // namespace pelmo
