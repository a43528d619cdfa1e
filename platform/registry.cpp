// HKEY_LOCAL_MACHINE queried as a 32-bit program sees it: keys, redirection, string values.
#include "platform/registry.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/letter_case.h"
#include "platform/registry_file.h"
#include "platform/text.h"

namespace pelmo {

std::string LookupName(std::u16string_view name)
{
    std::u16string folded(name);
    for (char16_t& c : folded)
        c = static_cast<char16_t>(UpperCase(c, CaseRule::Windows));
    return Utf16ToUtf8(folded);
}

std::vector<std::u16string> SplitKeyPath(std::u16string_view path)
{
    std::vector<std::u16string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

namespace {

std::u16string JoinPath(const std::vector<std::u16string>& parts, std::size_t first = 0)
{
    std::u16string path;
    for (std::size_t i = first; i < parts.size(); ++i) {
        if (!path.empty())
            path += u'\\';
        path += parts[i];
    }
    return path;
}

const std::map<std::string, RegistryValue>& NoValues()
{
    static const std::map<std::string, RegistryValue> empty;
    return empty;
}

}  // namespace

Registry Registry::Load(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Registry();
    std::ostringstream contents;
    contents << in.rdbuf();
    return Parse(contents.str());
}

const std::map<std::string, RegistryValue>* Registry::FindKey(std::string_view path) const
{
    const auto found = keys_.find(LookupName(Utf8ToUtf16(path)));
    return found == keys_.end() ? nullptr : &found->second;
}

std::optional<RegistryKey> RegistryKey::Open(const Registry& registry, std::string_view subKey)
{
    const std::optional<std::u16string> wide = Cp932ToUtf16(subKey);
    if (!wide)
        return std::nullopt;
    const std::vector<std::u16string> parts = SplitKeyPath(*wide);
    if (parts.empty())
        return RegistryKey(&NoValues());  // HKEY_LOCAL_MACHINE itself holds no values
    if (registry.Is64Bit() && LookupName(parts[0]) == "SOFTWARE") {
        std::u16string redirected = u"Software\\Wow6432Node";
        if (parts.size() > 1)
            redirected += u"\\" + JoinPath(parts, 1);
        if (const auto* values = registry.FindKey(Utf16ToUtf8(redirected)))
            return RegistryKey(values);
    }
    if (const auto* values = registry.FindKey(Utf16ToUtf8(JoinPath(parts))))
        return RegistryKey(values);
    return std::nullopt;
}

std::optional<std::string> RegistryKey::QueryString(std::string_view valueName, std::size_t bufferSize) const
{
    const std::optional<std::u16string> name = Cp932ToUtf16(valueName);
    if (!name)
        return std::nullopt;
    const auto found = values_->find(LookupName(*name));
    if (found == values_->end())
        return std::nullopt;
    const RegistryValue& value = found->second;
    if (value.type != static_cast<std::uint32_t>(RegistryValueType::String) &&
        value.type != static_cast<std::uint32_t>(RegistryValueType::ExpandString))
        return std::nullopt;
    std::string text = Utf16ToCp932Lossy(value.text);
    if (text.size() + 1 > bufferSize)
        return std::nullopt;
    // The caller reads a C string: an embedded NUL ends it, though the whole data had to fit.
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

}  // namespace pelmo
