// The LZSS side of -lh5-: the window of data and its hash chains, searched for
// the longest earlier match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "upgrade/lh5_format.h"

namespace pelmo::lh5 {

// Places are offsets into the buffer; the data before a Restart is never matched.
class MatchFinder {
public:
    std::size_t End() const { return end_; }  // bytes in the buffer
    std::uint8_t At(std::size_t at) const { return buffer_[at]; }
    bool Full() const { return end_ == kBuffer; }

    // Takes as much of `bytes` as there is room for; returns how much.
    std::size_t Append(std::string_view bytes);
    // Keeps a window before `keep` and makes room behind it; returns how far
    // the places moved down.
    std::size_t Slide(std::size_t keep);
    // Starts the next member's data after what the buffer holds.
    void Restart();

    // Puts the places up to `upTo` into their chains.
    void HashUpTo(std::size_t upTo);
    // The longest earlier match for the bytes at `at`, whose place is hashed
    // already, as length and distance; its length 0 when there is none worth
    // sending or none longer than `atLeast`.
    std::pair<std::size_t, std::size_t> LongestMatch(std::size_t at, std::size_t atLeast) const;

private:
    static constexpr std::size_t kBuffer = 4 * kWindow;
    static constexpr unsigned kHashBits = 15;

    std::uint32_t Hash(std::size_t at) const;

    // buffer_[i] is byte base_ + i of the data.
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(kBuffer);
    std::uint64_t base_ = 0;
    std::uint64_t start_ = 0;  // where this member's data begins; nothing before it is matched
    std::size_t end_ = 0;
    // Chains of earlier places with the same three bytes, as data position + 1.
    std::vector<std::uint64_t> head_ = std::vector<std::uint64_t>(std::size_t{1} << kHashBits);
    std::vector<std::uint64_t> prev_ = std::vector<std::uint64_t>(kWindow);
    std::size_t hashed_ = 0;  // places below this are in the chains
};

}  // namespace pelmo::lh5
