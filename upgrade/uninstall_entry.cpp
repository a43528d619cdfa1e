// The installed system's folder from the product's Uninstall entry.
#include "upgrade/uninstall_entry.h"

#include "platform/runtime.h"
#include "platform/text.h"
#include "res/strings.h"

namespace pelmo {
namespace {

// The value was always read into 256 bytes; a longer one is unreadable and so
// proposes nothing rather than a cut path.
constexpr std::size_t kUninstallValueSize = 256;

// The path that follows " -f": up to the next switch, or the whole quoted text.
std::string_view PathAfterSwitch(std::string_view work)
{
    if (!work.empty() && work.front() == '"') {
        // An uninstaller that quotes its log path (C:\Program Files\...) would
        // otherwise propose a folder starting with a quote, which never exists.
        work.remove_prefix(1);
        std::size_t closing = work.find('"');
        if (closing != std::string_view::npos)
            return work.substr(0, closing);
    }
    std::size_t nextSwitch = FindCp932(work, GetText(Text::UninstallSwitch));
    return work.substr(0, nextSwitch);
}

}  // namespace

int ParseUninstallString(std::string& text)
{
    const std::string& folderSwitch = GetText(Text::UninstallFolderSwitch);
    std::size_t at = FindCp932(text, folderSwitch);
    if (at == std::string::npos)
        return 0;
    std::string_view work = std::string_view(text).substr(at + folderSwitch.size());
    SplitPathResult parts = SplitPath(PathAfterSwitch(work));
    text = parts.drive + parts.folder;
    return 1;
}

std::optional<std::string> FindUninstallFolder(const Registry& registry, const std::array<std::string, 5>& productKeys)
{
    std::string value;
    for (const std::string& productKey : productKeys) {
        if (productKey == GetText(Text::NullName))
            break;
        auto key = RegistryKey::Open(registry, GetText(Text::UninstallKey) + productKey);
        if (!key)
            continue;
        // The first key that exists decides, even when it has no value.
        value = key->QueryString(GetText(Text::UninstallValue), kUninstallValueSize).value_or("");
        break;
    }
    if (ParseUninstallString(value) != 1)
        return std::nullopt;
    if (!value.empty() && value.back() == '\\')
        value.pop_back();
    return value;
}

}  // namespace pelmo
