// The -lh5- compressor: LZSS with one step of lazy matching over the match
// finder, its codes sent in blocks by the block coder.
#include "upgrade/lh5_encoder.h"

#include <algorithm>
#include <utility>

#include "upgrade/lh5_block_coder.h"
#include "upgrade/lh5_match_finder.h"

namespace pelmo {
namespace {

// A match is only looked for with this much ahead, or at the end of the data.
constexpr std::size_t kLookahead = lh5::kMaxMatch + lh5::kMinMatch + 1;
// A match this long is not bettered by looking one byte further.
constexpr std::size_t kLazyEnough = 32;

}  // namespace

struct Lh5Encoder::State {
    State(std::function<bool(std::string_view)> emit, std::size_t blockSymbols) : coder(std::move(emit), blockSymbols)
    {
    }

    lh5::MatchFinder finder;
    lh5::BlockCoder coder;
    std::size_t pos = 0;  // the next byte to code

    // Lazy matching: the match found at the place before `pos`, not yet sent.
    bool pending = false;
    std::size_t pendingLength = 0;
    std::size_t pendingDistance = 0;

    // Codes every place that has enough bytes ahead; with `all`, up to the end.
    void Compress(bool all)
    {
        while (pos < finder.End() && (all || finder.End() - pos >= kLookahead)) {
            finder.HashUpTo(pos + 1);
            std::pair<std::size_t, std::size_t> found{0, 0};
            if (!pending || pendingLength < kLazyEnough)
                found = finder.LongestMatch(pos, pending ? pendingLength : lh5::kMinMatch - 1);
            if (pending && found.first <= pendingLength) {
                // The match one place back is better: send it and skip what it covers.
                coder.Match(pendingLength, pendingDistance);
                const std::size_t next = pos - 1 + pendingLength;
                finder.HashUpTo(next);
                pos = next;
                pending = false;
                continue;
            }
            if (pending)
                coder.Literal(finder.At(pos - 1));
            pending = found.first != 0;
            pendingLength = found.first;
            pendingDistance = found.second;
            if (!pending)
                coder.Literal(finder.At(pos));
            ++pos;
        }
        if (all && pending) {
            coder.Match(pendingLength, pendingDistance);
            pos = pos - 1 + pendingLength;
            pending = false;
        }
    }

    // Keeps the last window before `pos`, the pending match's place with it.
    void Slide() { pos -= finder.Slide(pos - (pending ? 1 : 0)); }
};

Lh5Encoder::Lh5Encoder(std::function<bool(std::string_view)> emit, std::size_t blockSymbols)
    : state_(std::make_unique<State>(std::move(emit), std::clamp<std::size_t>(blockSymbols, 1, kBlockSymbols)))
{
}

Lh5Encoder::~Lh5Encoder() = default;

void Lh5Encoder::Restart(std::function<bool(std::string_view)> emit)
{
    State& s = *state_;
    s.coder.Restart(std::move(emit));
    s.finder.Restart();
    s.pos = 0;
    s.pending = false;
}

bool Lh5Encoder::Feed(std::string_view bytes)
{
    State& s = *state_;
    while (!bytes.empty() && !s.coder.Failed()) {
        if (s.finder.Full())
            s.Slide();
        bytes.remove_prefix(s.finder.Append(bytes));
        s.Compress(false);
    }
    return !s.coder.Failed();
}

bool Lh5Encoder::Finish()
{
    State& s = *state_;
    s.Compress(true);
    return s.coder.Finish();
}

std::uint64_t Lh5Encoder::BytesOut() const
{
    return state_->coder.BytesOut();
}

}  // namespace pelmo
