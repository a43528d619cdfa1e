// Limits of the -lh5- format that both halves of its compressor share.
#pragma once

#include <cstddef>

namespace pelmo::lh5 {

inline constexpr std::size_t kWindow = 8192;  // farthest distance back a match may reach
inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 256;

}  // namespace pelmo::lh5
