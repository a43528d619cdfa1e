// The description `pelmo pack` builds a package from: pack.txt, UTF-8, one
// "key: value" a line, read into the lines of info.txt and the entries.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "upgrade/check/findings.h"

namespace pelmo {

inline constexpr std::string_view kDescriptionName = "pack.txt";

enum class PackEntryKind { Archive, Start, Copy };

// One entry line to come, in code page 932 except the SOURCE paths.
struct PackEntry {
    int line = 0;  // of pack.txt
    PackEntryKind kind = PackEntryKind::Copy;
    std::string name;    // info.txt's file name: an archive's name, or the copied file's path with '\'
    std::string source;  // what SOURCE holds: the archive's folder, or the file; UTF-8, '/'
    std::string target;  // below the system folder, "" or ending in '\'
    int disk = 0;        // 0 when pack chooses
};

// The fixed lines of info.txt in code page 932, ready to be written.
struct PackDescription {
    std::array<std::string, 21> fixedLines;
    std::array<std::string, 4> pictures;  // SOURCE paths (UTF-8) of lines 11 to 14, "" for none
    std::array<int, 4> pictureLines{};    // of pack.txt
    std::vector<PackEntry> entries;
};

// Reads the description; what is wrong goes to `findings` by line. The result
// is meaningful only when no error was found.
// A delta package takes the version from the installed system it applies to.
PackDescription ParseDescription(std::string_view text, Findings& findings, bool needsVersion = true);

}  // namespace pelmo
