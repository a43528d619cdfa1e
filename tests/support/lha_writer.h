// Test support: writes stored (-lh0-) LHA archives with any member names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "upgrade/lha_writer.h"

namespace pelmo::test {

// 2001-02-03 04:05:06 UTC.
constexpr std::uint32_t kLhaDefaultTime = 981173106;

struct LhaMember {
    std::string name = {};     // stored bytes as they are: code page 932, '\' and '/' included
    std::string content = {};  // stored without compression
    // "-lh0-" for a file, "-lhd-" for a folder entry (give it no content).
    std::string method = "-lh0-";
    // Level 2 only: a stored folder ("a/b"), written in the folder extension.
    std::string folder = {};
    // A Unix file mode with its type bits (0120777 a symbolic link whose name is
    // "link|target", 0020666 a character device). Level 0 writes it in the
    // 'U' extension of LHa for UNIX, level 2 in extension 0x50.
    std::optional<std::uint16_t> unixMode = {};
    // Level 2 stores this time; level 0 always stores 2001-02-03 04:05:06 as
    // local MS-DOS time.
    std::uint32_t time = kLhaDefaultTime;
    // Header fields that lie about the data: the packed and original sizes and the
    // data CRC; by default each describes `content` truly.
    std::optional<std::uint32_t> packedSize = {};
    std::optional<std::uint32_t> originalSize = {};
    std::optional<std::uint16_t> dataCrc = {};
};

enum class LhaLevel { Zero, Two };

// A whole archive, end mark included. `codePage` (level 2 only) adds the
// extension that declares the names' code page (65001 for UTF-8).
std::string WriteStoredLha(const std::vector<LhaMember>& members, LhaLevel level,
                           std::optional<std::uint32_t> codePage = std::nullopt);

// The program's own CRC-16 of LHA, starting at 0 (its test pins it to known values).
inline std::uint16_t LhaCrc16(std::string_view bytes)
{
    return pelmo::LhaCrc16(0, bytes);
}

}  // namespace pelmo::test
