// Fuzz target: the Uninstall entry's command line turned into the installed folder.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_machine.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "upgrade/uninstall_entry.h"

namespace {

using pelmo::fuzz::Require;

// The last character of code page 932 text, whole.
std::string_view LastChar(std::string_view text)
{
    std::size_t pos = 0;
    std::size_t last = 0;
    while (pos < text.size()) {
        last = pos;
        pos += pelmo::CharLength(text, pos);
    }
    return text.substr(last);
}

// A system.reg holding the text as the UninstallString of product "PELMO". Nothing
// when the text is not code page 932.
std::optional<std::string> RegistryWithValue(std::string_view cp932)
{
    const std::optional<std::string> utf8 = pelmo::Cp932ToUtf8(cp932);
    if (!utf8)
        return std::nullopt;
    std::string value;
    for (char c : *utf8) {
        if (c == '\\' || c == '"')
            value += '\\';
        if (c == '\n')
            value += "\\n";
        else if (c == '\r')
            value += "\\r";
        else
            value += c;
    }
    return "WINE REGISTRY Version 2\n\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\PELMO] 1700000000\n"
           "\"UninstallString\"=\"" + value + "\"\n";
}

// What the Uninstall entry proposes for a value that reads back as itself.
std::optional<std::string> ExpectedFolder(std::string value)
{
    if (value.size() + 1 > 256)
        return std::nullopt;  // unreadable in the program's buffer
    value.resize(std::min(value.size(), value.find('\0')));
    if (pelmo::ParseUninstallString(value) != 1)
        return std::nullopt;
    if (!value.empty() && value.back() == '\\')
        value.pop_back();
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string original(reinterpret_cast<const char*>(data), size);
    std::string text = original;
    const int found = pelmo::ParseUninstallString(text);
    Require(found == (pelmo::FindCp932(original, " -f") != std::string::npos ? 1 : 0),
            "the folder switch is found exactly when it is there");
    if (found == 0) {
        Require(text == original, "without the switch the text stays as it was");
    } else {
        Require(text.size() < original.size(), "the folder is part of the command line");
        const std::string_view last = LastChar(text);
        const bool bareDrive = text.size() == 2 && text[1] == ':';
        Require(text.empty() || bareDrive || last == "\\" || last == "/", "the folder ends at a separator");
    }

    // The same text read from the registry gives the same folder.
    const std::optional<std::string> reg = RegistryWithValue(original);
    if (!reg)
        return 0;
    const std::optional<std::string> utf8 = pelmo::Cp932ToUtf8(original);
    const std::optional<std::string> back = pelmo::Utf8ToCp932(*utf8);
    if (!back || *back != original)
        return 0;  // stored in another form; the registry answers with that one
    const pelmo::Registry registry = pelmo::Registry::Parse(*reg);
    const std::array<std::string, 5> keys = {"OTHER", "pelmo", "NULL", "", ""};
    Require(pelmo::FindUninstallFolder(registry, keys) == ExpectedFolder(original),
            "the registry proposes the folder its value names");
    return 0;
}
