// The checks of the installed system's folder, run before anything is installed.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_view.h"

namespace pelmo {

// 1 when folder + name exists, testing the folder as given, then with a backslash
// appended (which then stays). 0 when the folder does not exist.
int LocateFileInFolder(const FileView& files, std::string& folder, std::string_view name);

// 1 when the settings file `name` is in the folder, which then holds the form under
// which it was found ("D:\SYS\", "E:\"); on 0 the folder is as on entry.
int CheckInstalledFolder(const FileView& files, std::string& folder, std::string_view name);

// 1 when the menu files (korimu1.ini systems only) and "formater.exe" are present.
// Backslashes appended while looking stay in the folder.
int CheckSystemFiles(const FileView& files, std::string& folder, std::string_view iniName);

// 1 when "VERSION" of korimu1.ini (missing or 9999 meaning 2) equals requiredVersion.
int CheckSystemVersion(const FileView& files, std::string_view folder, std::string_view requiredVersion);

constexpr int kSystemKindUnknown = -1;
constexpr int kSystemKindMakerOne = 0;     // tivonel1.ini, "MAKER" 1
constexpr int kSystemKindOtherMaker = 99;  // tivonel1.ini, any other maker

// -1, 0 or 99 (tivonel1.ini, by "MAKER"), or 1 to 5 (the first keyword in "TITLE").
int DetectSystemKind(const FileView& files, std::string_view folder, std::string_view iniName,
                     const std::array<std::string, 5>& titleKeywords);

// The kinds other than -1 that DetectSystemKind can give, lowest first, for a
// system whose settings file is `iniName` ("NULL": korimu1.ini or tivonel1.ini,
// whichever the folder holds).
std::vector<int> ReachableSystemKinds(std::string_view iniName, const std::array<std::string, 5>& titleKeywords);

}  // namespace pelmo
