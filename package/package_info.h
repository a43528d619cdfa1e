// The upgrade package description read from info.txt.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace pelmo {

// One file of the package, in installation order.
struct PackageEntry {
    static constexpr int kArchiveKind = 1;

    int disk = 0;                 // number of the package disk that holds the file
    int kind = 0;                 // kArchiveKind: LHA archive to extract; anything else: plain copy
    std::string fileName;         // relative to SourceFolder, upper-cased
    std::string targetSubfolder;  // below the destination folder, as written

    bool isArchive() const { return kind == kArchiveKind; }
    // The archive "START" stands for one archive per system kind, its name
    // completed by the kind's suffix.
    bool isStart() const;
};

// Every text is code page 932, held without its line end.
struct PackageInfo {
    std::string installFolder;
    std::string systemIniName;
    std::array<std::string, 5> productKeys;
    std::string requiredVersion;
    std::string masterAdjustFlag;
    std::string digitizerFlag;
    std::string mainPicture;
    std::string startPicture;
    std::string destinationPicture;
    std::string confirmPicture;
    std::string startNotes;
    std::string destinationNotes;
    std::vector<PackageEntry> entries;
    std::array<std::string, 5> titleKeywords;
    int systemKind = -1;

    int entryCount() const { return static_cast<int>(entries.size()); }
};

// The lines of info.txt, counted from 1: 21 fixed lines, then the entries.
namespace info_line {
constexpr int kInstallFolder = 6;
constexpr int kRequiredVersion = 7;
constexpr int kMasterAdjustFlag = 8;
constexpr int kDigitizerFlag = 10;
constexpr int kMainPicture = 11;  // then the start, destination and confirmation pictures
constexpr int kStartNotes = 15;
constexpr int kDestinationNotes = 16;
constexpr int kFixedCount = 21;
}  // namespace info_line

// Reads sourceFolder + "info.txt". 1 when the file was opened and read, 0 when it
// cannot be opened (then `info` is left empty). A read error after opening ends
// the file there: what was read stands.
int LoadPackageInfo(const Machine& machine, std::string_view sourceFolder, PackageInfo& info);

// Each TAB becomes CR and the byte after it LF, at most 100 times; a TAB at the
// very end becomes CR alone.
void ConvertTabsToLineBreaks(std::string& text);

// Splits one entry line into its four comma-separated fields.
PackageEntry ParseEntryLine(std::string_view line);

// A line of blanks alone among the entry lines is no entry.
bool IsBlankEntryLine(std::string_view line);

}  // namespace pelmo
