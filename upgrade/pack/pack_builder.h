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
    std::filesystem::path source;
    std::filesystem::path out;  // absent or an empty folder
    std::uint64_t diskSize = kFloppyBytes;
    bool oneFolder = false;
};

struct PackResult {
    Findings description;  // on pack.txt, by its lines
    Findings check;        // the package check's, on the info.txt written
    bool written = false;
    std::vector<std::filesystem::path> disks;  // the folder of each disk, disk 1 first
    std::string problem;                       // a command-line problem: nothing was done
};

PackResult BuildPackage(const PackRequest& request, const DialogMeasure& measure);

}  // namespace pelmo
