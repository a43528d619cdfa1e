// LZSS match finding over an 8 KiB window with hash chains of three bytes.
#include "upgrade/lh5_match_finder.h"

#include <algorithm>
#include <cstring>

namespace pelmo::lh5 {
namespace {

// Searching stops after this many candidates, or at a match this long.
constexpr int kMaxChain = 192;
constexpr std::size_t kNiceMatch = 128;
// A shortest match this far back costs more bits than its three literals.
constexpr std::size_t kTooFarForThree = 4096;

}  // namespace

std::size_t MatchFinder::Append(std::string_view bytes)
{
    const std::size_t piece = std::min(bytes.size(), kBuffer - end_);
    std::memcpy(buffer_.data() + end_, bytes.data(), piece);
    end_ += piece;
    return piece;
}

std::size_t MatchFinder::Slide(std::size_t keep)
{
    if (keep <= kWindow)
        return 0;
    const std::size_t shift = keep - kWindow;
    std::memmove(buffer_.data(), buffer_.data() + shift, end_ - shift);
    base_ += shift;
    end_ -= shift;
    hashed_ -= shift;
    return shift;
}

void MatchFinder::Restart()
{
    // Positions go on counting, so the chains need no clearing: what they hold lies before `start_`.
    base_ += end_;
    start_ = base_;
    end_ = hashed_ = 0;
}

std::uint32_t MatchFinder::Hash(std::size_t at) const
{
    const std::uint32_t three = static_cast<std::uint32_t>(buffer_[at]) << 16 |
                                static_cast<std::uint32_t>(buffer_[at + 1]) << 8 | buffer_[at + 2];
    return (three * 2654435761u) >> (32 - kHashBits);
}

void MatchFinder::HashUpTo(std::size_t upTo)
{
    const std::size_t limit = std::min(upTo, end_ >= kMinMatch ? end_ - kMinMatch + 1 : 0);
    for (; hashed_ < limit; ++hashed_) {
        const std::uint64_t place = base_ + hashed_;
        std::uint64_t& first = head_[Hash(hashed_)];
        prev_[place % kWindow] = first;
        first = place + 1;
    }
}

std::pair<std::size_t, std::size_t> MatchFinder::LongestMatch(std::size_t at, std::size_t atLeast) const
{
    const std::size_t most = std::min(kMaxMatch, end_ - at);
    if (most < kMinMatch || atLeast >= most)
        return {0, 0};
    const std::uint64_t place = base_ + at;
    // One short of the window: the place a window back shares its chain slot.
    const std::uint64_t farthest = std::max(start_, place >= kWindow ? place - kWindow + 1 : 0);
    std::size_t best = atLeast, bestDistance = 0;
    const std::uint8_t* here = &buffer_[at];
    std::uint64_t candidate = prev_[place % kWindow];
    for (int chain = kMaxChain; candidate != 0 && candidate - 1 >= farthest && chain > 0; --chain) {
        const std::uint64_t from = candidate - 1;
        const std::uint8_t* there = &buffer_[from - base_];
        if (there[best] == here[best] && there[0] == here[0] && there[1] == here[1]) {
            std::size_t length = 2;
            while (length < most && there[length] == here[length])
                ++length;
            if (length > best) {
                best = length;
                bestDistance = place - from;
                if (length >= std::min(most, kNiceMatch))
                    break;
            }
        }
        candidate = prev_[from % kWindow];
    }
    if (bestDistance == 0 || best < kMinMatch || (best == kMinMatch && bestDistance > kTooFarForThree))
        return {0, 0};
    return {best, bestDistance};
}

}  // namespace pelmo::lh5
