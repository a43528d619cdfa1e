// Fuzz target: system.reg text parsed and queried as the program opens its keys.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_machine.h"
#include "platform/registry.h"

namespace {

using pelmo::fuzz::Require;

// The keys the program and the machine open (code page 932, ASCII here).
constexpr std::array<std::string_view, 6> kKeys = {
    "Software\\Wine\\Drives",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmo",
    "SOFTWARE\\Pelmo\\Settings",
    "Software\\Wow6432Node\\Pelmo",
    "\\software\\\\pelmo\\",
    "",
};

constexpr std::array<std::string_view, 6> kValues = {"", "UninstallString", "c:", "Path", "@", "Value"};

// Every query answers within the buffer, and one that fits a small buffer gives
// the same text in a large one.
void QueryAll(const pelmo::RegistryKey& key)
{
    for (std::string_view name : kValues) {
        const std::optional<std::string> large = key.QueryString(name, 1 << 20);
        const std::optional<std::string> small = key.QueryString(name, 16);
        const std::optional<std::string> none = key.QueryString(name, 0);
        Require(!none, "no text fits a buffer of no bytes");
        if (small) {
            Require(small->size() < 16, "a value fits its buffer with its terminator");
            Require(large && *large == *small, "a larger buffer reads the same value");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const pelmo::Registry registry = pelmo::Registry::Parse(text);

    // The first line names one more key, so that the fuzzer can reach its own.
    const std::string_view firstLine = text.substr(0, text.find('\n'));
    for (std::string_view path : kKeys) {
        if (const std::optional<pelmo::RegistryKey> key = pelmo::RegistryKey::Open(registry, path))
            QueryAll(*key);
    }
    if (const std::optional<pelmo::RegistryKey> key = pelmo::RegistryKey::Open(registry, firstLine))
        QueryAll(*key);

    // A key that exists under its plain path always opens, redirected or not.
    for (std::string_view path : {std::string_view("Software\\Wine\\Drives"), std::string_view("Software\\Pelmo")}) {
        if (registry.FindKey(path))
            Require(pelmo::RegistryKey::Open(registry, path).has_value(), "a key found is a key opened");
    }
    return 0;
}
