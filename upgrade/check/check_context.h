// What every part of the package check reads: the package as the run sees it, line by line.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "package/package_info.h"
#include "platform/machine.h"
#include "upgrade/check/dialog_measure.h"
#include "upgrade/check/findings.h"

namespace pelmo {

// An entry with the line of info.txt it comes from.
struct NumberedEntry {
    int line = 0;
    std::string text;  // the line as written
    PackageEntry entry;
};

struct CheckContext {
    const Machine& machine;
    // SourceFolder of each disk given by `--disk`; every other disk is disk 1's.
    std::string packageFolder;
    std::map<int, std::string> diskFolders;
    std::map<int, std::string> shownDiskFolders;  // the host folders, for messages
    std::string shownPackageFolder;
    std::vector<std::string> lines;  // info.txt, line 1 first, without line ends
    PackageInfo info;                // as LoadPackageInfo reads it
    std::vector<NumberedEntry> entries;
    Findings& findings;

    const std::string& FolderOfDisk(int disk) const;
    const std::string& ShownFolderOfDisk(int disk) const;
};

// The parts of the check, each adding what it finds.
void CheckInfoLines(CheckContext& context);                              // encoding, fixed fields, entry lines
void CheckEntryFiles(CheckContext& context);                             // files on their disks, archives, START kinds
void CheckEntryOrder(CheckContext& context);                             // disk numbers and changes, target depth
void CheckDialogs(CheckContext& context, const DialogMeasure& measure);  // pictures, notes, folder

// Shown as the program shows code page 932 text: '?' for what is no character.
std::string Shown(std::string_view cp932);

}  // namespace pelmo
