// `pelmo check`: the command that checks a package and prints what it finds.
#pragma once

#include <iosfwd>

namespace pelmo {

// The arguments after "check". Findings go to `out`, a bad command line to `err`
// with the usage; returns 0 clean, 1 warnings only, 2 errors, 64 bad command line.
int RunCheckCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace pelmo
