// SourceFolder: the folder every package file is read from.
#pragma once

#include <string>
#include <string_view>

namespace pelmo {

// Drive and folder of the executable's Windows-form path; a drive root ("A:\",
// exactly 3 bytes) becomes the drive alone ("A:"), so names are relative to that
// drive's current folder. A folder part of any length is kept whole.
std::string SourceFolderFromExecutable(std::string_view executablePath);

}  // namespace pelmo
