// Shared by the bench command-line tools: host paths in the built-in machine's Windows form.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/machine.h"

namespace pelmo::bench {

// The Windows form of a host path on the built-in machine (Z: is /), or nothing
// when the path does not exist or cannot be written in code page 932.
inline std::optional<std::string> WindowsPath(const Machine& machine, const std::filesystem::path& host)
{
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(host, ec);
    if (ec)
        return std::nullopt;
    return machine.ToWindows(absolute);
}

}  // namespace pelmo::bench
