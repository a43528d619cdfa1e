// pelmo check: a package checked without any machine; nothing is changed.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "upgrade/check/dialog_measure.h"
#include "upgrade/check/findings.h"

namespace pelmo {

struct CheckRequest {
    std::filesystem::path package;               // disk 1, and every disk not named below
    std::map<int, std::filesystem::path> disks;  // --disk N=DIR
};

// Everything the check finds in the package. Nothing, with `error` set to a line
// for the user, when a folder of the request cannot be used at all.
std::optional<Findings> CheckPackage(const CheckRequest& request, const DialogMeasure& measure, std::string& error);

}  // namespace pelmo
