// The name an archive member is extracted under.
#include "upgrade/member_name.h"

#include "platform/runtime.h"
#include "platform/text.h"

namespace pelmo {

std::optional<std::string> MemberFileName(std::string_view utf8Path)
{
    // UTF-8 never uses these bytes inside a character, so a byte search is safe.
    const std::size_t cut = utf8Path.find_last_of("/\\:");
    const std::string_view base = cut == std::string_view::npos ? utf8Path : utf8Path.substr(cut + 1);
    const auto cp932 = Utf8ToCp932(base);
    if (!cp932)
        return std::nullopt;
    // Code page 932 writes some other characters as a separator byte (U+00A5
    // becomes 0x5C), so the converted name is split once more. No ':' is left to
    // make SplitPath see a drive.
    const SplitPathResult parts = SplitPath(*cp932);
    std::string name = parts.baseName + parts.extension;
    if (name == "." || name == "..")
        return std::string();
    return name;
}

}  // namespace pelmo
