// `pelmo pack`: a package built from a SOURCE folder with pack.txt, beside OUT
// and renamed into place once the package check accepts it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "upgrade/check/dialog_measure.h"
#include "upgrade/check/findings.h"

namespace pelmo {

// 1.44 MB floppy: 2,847 sectors of 512 bytes for files.
inline constexpr std::uint64_t kFloppyBytes = 1457664;

struct PackRequest {
    std::filesystem::path source;  // NEW for a delta package
    std::filesystem::path out;     // absent or an empty folder
    std::uint64_t diskSize = kFloppyBytes;
    bool oneFolder = false;
    // A delta package: only what differs from OLD, an installed system's folder
    // as the release before left it, whose version it requires. The description
    // is then this file instead of SOURCE's pack.txt.
    std::filesystem::path from = {};
    std::filesystem::path description = {};
};

struct PackResult {
    Findings description;  // on pack.txt, by its lines
    Findings check;        // the package check's, on the info.txt written
    bool written = false;
    std::vector<std::filesystem::path> disks;  // the folder of each disk, disk 1 first
    std::string problem;                       // a command-line problem: nothing was done
    std::vector<std::string> plan;             // a delta's files, "added PATH" or "replaced PATH", UTF-8
};

PackResult BuildPackage(const PackRequest& request, const DialogMeasure& measure);

}  // namespace pelmo
