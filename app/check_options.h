// The command line of `pelmo check`.
#pragma once

#include <optional>
#include <string>

#include "upgrade/check/package_check.h"

namespace pelmo {

struct CheckOptions {
    bool help = false;
    CheckRequest request;  // the package folder defaults to the current folder
};

// The arguments after "check": `[--package DIR] [--disk N=DIR]... [--help]`; a
// value may also follow the option after '='. Nothing, with `error` set to a line
// for the user, when they are not that.
std::optional<CheckOptions> ParseCheckOptions(int argc, const char* const* argv, std::string& error);

}  // namespace pelmo
