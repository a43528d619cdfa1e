// The CRC-32 that journals, logs and undo record for every file a run writes.
#pragma once

#include <cstdint>
#include <string_view>

namespace pelmo {

// Continues `crc` (0 to start) over `bytes`: the CRC-32 of zlib and PKZIP.
// libdeflate's is several times faster than zlib's on the whole package's data.
std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes);

}  // namespace pelmo
