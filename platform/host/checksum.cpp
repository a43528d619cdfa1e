// The CRC-32 of every file a run writes, through libdeflate.
#include "platform/host/checksum.h"

#include <libdeflate.h>

namespace pelmo {

std::uint32_t Crc32(std::uint32_t crc, std::string_view bytes)
{
    return libdeflate_crc32(crc, bytes.data(), bytes.size());
}

}  // namespace pelmo
