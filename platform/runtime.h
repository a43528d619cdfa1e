// C runtime services with the Microsoft runtime's semantics: atoi and _splitpath.
#pragma once

#include <string>
#include <string_view>

namespace pelmo {

// Leading blanks skipped, an optional sign, then decimal digits up to the first
// other byte; 0 without digits. Values beyond the 32-bit range saturate instead of
// overflowing.
int Atoi(std::string_view text);

struct SplitPathResult {
    std::string drive;      // "C:" or empty
    std::string folder;     // from the first separator up to and including the last
    std::string baseName;   // without the extension
    std::string extension;  // from the last '.' after the last separator, with the dot
};

// Splits like _splitpath under code page 932: '\' and '/' separate (neither is
// converted), a trail byte 0x5C is part of its character, a drive is recognised
// only when the second byte is ':'.
SplitPathResult SplitPath(std::string_view path);

}  // namespace pelmo
