// HKEY_LOCAL_MACHINE, read-only, from a Wine prefix's system.reg.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmo {

enum class RegistryValueType : std::uint32_t {
    None = 0,
    String = 1,        // REG_SZ
    ExpandString = 2,  // REG_EXPAND_SZ
    Binary = 3,        // REG_BINARY
    Dword = 4,         // REG_DWORD
    MultiString = 7,   // REG_MULTI_SZ
};

struct RegistryValue {
    std::uint32_t type = 0;           // a RegistryValueType, or any hex(N) number
    std::u16string text;              // string types: the UTF-16 text, without a terminator
    std::vector<std::uint8_t> bytes;  // dword, hex and hex(N) types: the raw data
};

// The parsed contents of system.reg. Key paths are relative to HKLM, '\'-separated
// and matched case-insensitively; value names are matched case-insensitively too.
class Registry {
public:
    // Never fails: a malformed line is skipped, a truncated file gives what was read.
    static Registry Parse(std::string_view text);
    // A missing or unreadable file is an empty registry.
    static Registry Load(const std::filesystem::path& file);

    // "#arch=win64": a 32-bit program sees HKLM\SOFTWARE through Wow6432Node.
    bool Is64Bit() const { return is64Bit_; }

    // The values of one key by its exact path (no Wow6432Node redirection), or null.
    // `path` is UTF-8.
    const std::map<std::string, RegistryValue>* FindKey(std::string_view path) const;

private:
    bool is64Bit_ = false;
    // Keyed by the upper-cased UTF-8 key path; values keyed by upper-cased UTF-8 name.
    std::map<std::string, std::map<std::string, RegistryValue>> keys_;
};

// An open key of HKLM, as a 32-bit program sees it. Closing is destruction.
class RegistryKey {
public:
    // RegOpenKeyEx(HKEY_LOCAL_MACHINE, subKey): `subKey` in code page 932. On a 64-bit
    // prefix a path below SOFTWARE is looked for under Software\Wow6432Node first,
    // then under its plain path.
    static std::optional<RegistryKey> Open(const Registry& registry, std::string_view subKey);

    // RegQueryValueEx into a buffer of `bufferSize` bytes: only REG_SZ and
    // REG_EXPAND_SZ values are returned, in code page 932. A value whose text and
    // terminator do not fit the buffer is unreadable, as is a missing one.
    std::optional<std::string> QueryString(std::string_view valueName, std::size_t bufferSize) const;

private:
    explicit RegistryKey(const std::map<std::string, RegistryValue>* values) : values_(values) {}
    const std::map<std::string, RegistryValue>* values_;
};

}  // namespace pelmo
