// The name an archive member is extracted under.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

// The file name a stored member is written under: its base name in code page 932,
// so that no stored folder, drive or ".." leads out of the target folder. Empty
// when the member names nothing to write ("", ".", ".."); nothing when the name
// cannot be written in code page 932.
std::optional<std::string> MemberFileName(std::string_view utf8Path);

}  // namespace pelmo
