// `pelmo pack`: the command that builds a package from a described folder.
#pragma once

#include <iosfwd>

namespace pelmo {

// The arguments after "pack". What pack finds goes to `out`, a bad command line
// to `err` with the usage; returns 0 written, 1 written with warnings, 2 errors
// (nothing written), 64 bad command line.
int RunPackCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace pelmo
