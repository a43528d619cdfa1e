// The -lh5- compressor: LZSS with hash chains and one step of lazy matching, its
// codes sent in blocks, each with its own Huffman tables.
#include "upgrade/lh5_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace pelmo {
namespace {

constexpr std::size_t kWindow = 8192;  // farthest distance back a match may reach
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 256;
// A match is only looked for with this much ahead, or at the end of the data.
constexpr std::size_t kLookahead = kMaxMatch + kMinMatch + 1;
constexpr std::size_t kBuffer = 4 * kWindow;
constexpr unsigned kHashBits = 15;

// Searching stops after this many candidates, or at a match this long; a match
// this long is not bettered by looking one byte further.
constexpr int kMaxChain = 192;
constexpr std::size_t kNiceMatch = 128;
constexpr std::size_t kLazyEnough = 32;
// A shortest match this far back costs more bits than its three literals.
constexpr std::size_t kTooFarForThree = 4096;

// The three code tables: characters and match lengths, the lengths of their
// codes, and distances (the number of bits of distance - 1).
constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1;
constexpr int kCBits = 9;
constexpr int kNT = 19;
constexpr int kTBits = 5;
constexpr int kNP = 14;
constexpr int kPBits = 4;
constexpr int kMaxCodeLength = 16;

// Code lengths of a Huffman code over `freq`, at most 16 bits. A table of one
// code, which the format allows, is never made: some readers (jlha's) take it
// only in a member's first block, so a second symbol is always given a code.
void MakeLengths(const std::uint32_t* freq, int n, std::uint8_t* length)
{
    std::fill(length, length + n, std::uint8_t{0});
    std::vector<int> used;
    for (int i = 0; i < n; ++i)
        if (freq[i] != 0)
            used.push_back(i);
    for (int spare = 0; used.size() < 2; ++spare)
        if (used.empty() || used.front() != spare)
            used.insert(used.begin(), spare);

    // Leaves in rising frequency, then merged nodes, which come out in rising
    // weight too: two queues make the tree without a heap.
    std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return freq[a] < freq[b]; });
    const std::size_t leaves = used.size();
    std::vector<std::uint64_t> weight(2 * leaves - 1);
    std::vector<std::size_t> parent(2 * leaves - 1, 0);
    for (std::size_t i = 0; i < leaves; ++i)
        weight[i] = freq[used[i]];
    std::size_t nextLeaf = 0, nextNode = leaves, made = leaves;
    auto take = [&]() {
        if (nextLeaf < leaves && (nextNode >= made || weight[nextLeaf] <= weight[nextNode]))
            return nextLeaf++;
        return nextNode++;
    };
    while (made < 2 * leaves - 1) {
        const std::size_t a = take(), b = take();
        weight[made] = weight[a] + weight[b];
        parent[a] = parent[b] = made;
        ++made;
    }
    std::vector<int> depth(2 * leaves - 1, 0);
    std::array<int, kMaxCodeLength + 1> count{};
    for (std::size_t i = made - 1; i-- > 0;)
        depth[i] = depth[parent[i]] + 1;
    for (std::size_t i = 0; i < leaves; ++i)
        ++count[std::min(depth[i], kMaxCodeLength)];

    // Deeper leaves were put at 16 bits; take leaves from 16 and split shorter
    // ones until the code is complete again.
    std::uint32_t sum = 0;
    for (int i = 1; i <= kMaxCodeLength; ++i)
        sum += static_cast<std::uint32_t>(count[i]) << (kMaxCodeLength - i);
    while (sum > (1u << kMaxCodeLength)) {
        --count[kMaxCodeLength];
        for (int i = kMaxCodeLength - 1; i > 0; --i)
            if (count[i] != 0) {
                --count[i];
                count[i + 1] += 2;
                break;
            }
        --sum;
    }
    // The most frequent symbols get the shortest codes.
    std::size_t next = leaves;
    for (int bits = 1; bits <= kMaxCodeLength; ++bits)
        for (int k = 0; k < count[bits]; ++k)
            length[used[--next]] = static_cast<std::uint8_t>(bits);
}

// Canonical codes: shorter codes first, each length's symbols in rising order.
void MakeCodes(const std::uint8_t* length, int n, std::uint16_t* code)
{
    std::array<std::uint32_t, kMaxCodeLength + 2> start{};
    std::array<int, kMaxCodeLength + 1> count{};
    for (int i = 0; i < n; ++i)
        ++count[length[i]];
    count[0] = 0;
    for (int bits = 1; bits <= kMaxCodeLength; ++bits)
        start[bits + 1] = (start[bits] + static_cast<std::uint32_t>(count[bits])) << 1;
    for (int i = 0; i < n; ++i)
        code[i] = length[i] == 0 ? 0 : static_cast<std::uint16_t>(start[length[i]]++);
}

int BitLength(unsigned value)
{
    int bits = 0;
    for (; value != 0; value >>= 1)
        ++bits;
    return bits;
}

}  // namespace

struct Lh5Encoder::State {
    std::function<bool(std::string_view)> emit;
    std::size_t blockSymbols = kBlockSymbols;
    bool failed = false;
    std::uint64_t bytesOut = 0;

    // Bits, most significant first.
    std::uint64_t bits = 0;
    int bitCount = 0;
    std::string out;

    // The window: buffer[i] is byte base + i of the data.
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kBuffer);
    std::uint64_t base = 0;
    std::uint64_t start = 0;  // where this member's data begins; nothing before it is matched
    std::size_t pos = 0;      // the next byte to code
    std::size_t end = 0;      // bytes in the buffer
    // Chains of earlier places with the same three bytes, as data position + 1.
    std::vector<std::uint64_t> head = std::vector<std::uint64_t>(std::size_t{1} << kHashBits);
    std::vector<std::uint64_t> prev = std::vector<std::uint64_t>(kWindow);
    std::size_t hashed = 0;  // places below this are in the chains

    // Lazy matching: the match found at the place before `pos`, not yet sent.
    bool pending = false;
    std::size_t pendingLength = 0;
    std::size_t pendingDistance = 0;

    // The block being gathered.
    std::vector<std::uint16_t> codes;
    std::vector<std::uint16_t> distances;  // distance - 1 of each match, in order
    std::array<std::uint32_t, kNC> cFreq{};
    std::array<std::uint32_t, kNP> pFreq{};
    std::array<std::uint32_t, kNT> tFreq{};
    std::array<std::uint8_t, kNC> cLength{};
    std::array<std::uint16_t, kNC> cCode{};
    std::array<std::uint8_t, kNT> tLength{};
    std::array<std::uint16_t, kNT> tCode{};
    std::array<std::uint8_t, kNP> pLength{};
    std::array<std::uint16_t, kNP> pCode{};

    void PutBits(int count, std::uint32_t value)
    {
        if (count == 0)
            return;
        bits = bits << count | (value & ((std::uint64_t{1} << count) - 1));
        bitCount += count;
        while (bitCount >= 8) {
            bitCount -= 8;
            out.push_back(static_cast<char>(bits >> bitCount & 0xFF));
        }
        if (out.size() >= 65536)
            Flush();
    }

    void Flush()
    {
        if (!out.empty() && !failed) {
            bytesOut += out.size();
            failed = !emit(out);
        }
        out.clear();
    }

    std::uint32_t Hash(std::size_t at) const
    {
        const std::uint32_t three = static_cast<std::uint32_t>(buffer[at]) << 16 |
                                    static_cast<std::uint32_t>(buffer[at + 1]) << 8 | buffer[at + 2];
        return (three * 2654435761u) >> (32 - kHashBits);
    }

    // Puts the places up to `upTo` into their chains.
    void HashUpTo(std::size_t upTo)
    {
        const std::size_t limit = std::min(upTo, end >= kMinMatch ? end - kMinMatch + 1 : 0);
        for (; hashed < limit; ++hashed) {
            const std::uint64_t place = base + hashed;
            std::uint64_t& first = head[Hash(hashed)];
            prev[place % kWindow] = first;
            first = place + 1;
        }
    }

    // The longest earlier match for the bytes at `at`, whose place is hashed
    // already; its length 0 when there is none worth sending.
    std::pair<std::size_t, std::size_t> LongestMatch(std::size_t at, std::size_t atLeast) const
    {
        const std::size_t most = std::min(kMaxMatch, end - at);
        if (most < kMinMatch || atLeast >= most)
            return {0, 0};
        const std::uint64_t place = base + at;
        // One short of the window: the place a window back shares its chain slot.
        const std::uint64_t farthest = std::max(start, place >= kWindow ? place - kWindow + 1 : 0);
        std::size_t best = atLeast, bestDistance = 0;
        const std::uint8_t* here = &buffer[at];
        std::uint64_t candidate = prev[place % kWindow];
        for (int chain = kMaxChain; candidate != 0 && candidate - 1 >= farthest && chain > 0; --chain) {
            const std::uint64_t from = candidate - 1;
            const std::uint8_t* there = &buffer[from - base];
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
            candidate = prev[from % kWindow];
        }
        if (bestDistance == 0 || best < kMinMatch || (best == kMinMatch && bestDistance > kTooFarForThree))
            return {0, 0};
        return {best, bestDistance};
    }

    void Literal(std::uint8_t byte) { AddCode(byte); }

    // The distance goes into the block before its code can end the block.
    void Match(std::size_t length, std::size_t distance)
    {
        const auto p = static_cast<std::uint16_t>(distance - 1);
        distances.push_back(p);
        ++pFreq[static_cast<std::size_t>(BitLength(p))];
        AddCode(static_cast<std::uint16_t>(256 + length - kMinMatch));
    }

    void AddCode(std::uint16_t code)
    {
        codes.push_back(code);
        ++cFreq[code];
        if (codes.size() == blockSymbols)
            SendBlock();
    }

    // Codes every place that has enough bytes ahead; with `all`, up to the end.
    void Compress(bool all)
    {
        while (pos < end && (all || end - pos >= kLookahead)) {
            HashUpTo(pos + 1);
            std::pair<std::size_t, std::size_t> found{0, 0};
            if (!pending || pendingLength < kLazyEnough)
                found = LongestMatch(pos, pending ? pendingLength : kMinMatch - 1);
            if (pending && found.first <= pendingLength) {
                // The match one place back is better: send it and skip what it covers.
                Match(pendingLength, pendingDistance);
                const std::size_t next = pos - 1 + pendingLength;
                HashUpTo(next);
                pos = next;
                pending = false;
                continue;
            }
            if (pending)
                Literal(buffer[pos - 1]);
            pending = found.first != 0;
            pendingLength = found.first;
            pendingDistance = found.second;
            if (!pending)
                Literal(buffer[pos]);
            ++pos;
        }
        if (all && pending) {
            Match(pendingLength, pendingDistance);
            pos = pos - 1 + pendingLength;
            pending = false;
        }
    }

    // Keeps the last window before `pos` and makes room behind it.
    void Slide()
    {
        const std::size_t keep = pos - (pending ? 1 : 0);
        if (keep <= kWindow)
            return;
        const std::size_t shift = keep - kWindow;
        std::memmove(buffer.data(), buffer.data() + shift, end - shift);
        base += shift;
        pos -= shift;
        end -= shift;
        hashed -= shift;
    }

    void CountTFreq(int n)
    {
        tFreq.fill(0);
        for (int i = 0; i < n;) {
            const std::size_t k = cLength[static_cast<std::size_t>(i++)];
            if (k != 0) {
                ++tFreq[k + 2];
                continue;
            }
            int run = 1;
            while (i < n && cLength[static_cast<std::size_t>(i)] == 0) {
                ++i;
                ++run;
            }
            if (run <= 2) {
                tFreq[0] += static_cast<std::uint32_t>(run);
            } else if (run <= 18) {
                ++tFreq[1];
            } else if (run == 19) {
                ++tFreq[0];
                ++tFreq[1];
            } else {
                ++tFreq[2];
            }
        }
    }

    // Lengths of the small tables: up to 6 in three bits, longer ones as 7 and a
    // run of ones ended by a zero. After the `special`-th, two bits skip zeros.
    void WritePtLengths(const std::uint8_t* length, int n, int countBits, int special)
    {
        while (n > 0 && length[n - 1] == 0)
            --n;
        PutBits(countBits, static_cast<std::uint32_t>(n));
        for (int i = 0; i < n;) {
            const int k = length[i++];
            if (k <= 6)
                PutBits(3, static_cast<std::uint32_t>(k));
            else
                PutBits(k - 3, (1u << (k - 3)) - 2);
            if (i == special) {
                while (i < 6 && length[i] == 0)
                    ++i;
                PutBits(2, static_cast<std::uint32_t>((i - 3) & 3));
            }
        }
    }

    void PutT(int symbol)
    {
        PutBits(tLength[static_cast<std::size_t>(symbol)], tCode[static_cast<std::size_t>(symbol)]);
    }

    void WriteCLengths(int n)
    {
        PutBits(kCBits, static_cast<std::uint32_t>(n));
        for (int i = 0; i < n;) {
            const int k = cLength[static_cast<std::size_t>(i++)];
            if (k != 0) {
                PutT(k + 2);
                continue;
            }
            int run = 1;
            while (i < n && cLength[static_cast<std::size_t>(i)] == 0) {
                ++i;
                ++run;
            }
            if (run <= 2) {
                for (int r = 0; r < run; ++r)
                    PutT(0);
            } else if (run <= 18) {
                PutT(1);
                PutBits(4, static_cast<std::uint32_t>(run - 3));
            } else if (run == 19) {
                PutT(0);
                PutT(1);
                PutBits(4, 15);
            } else {
                PutT(2);
                PutBits(kCBits, static_cast<std::uint32_t>(run - 20));
            }
        }
    }

    void SendBlock()
    {
        if (codes.empty())
            return;
        PutBits(16, static_cast<std::uint32_t>(codes.size()));
        MakeLengths(cFreq.data(), kNC, cLength.data());
        MakeCodes(cLength.data(), kNC, cCode.data());
        int n = kNC;
        while (n > 0 && cLength[static_cast<std::size_t>(n - 1)] == 0)
            --n;
        CountTFreq(n);
        MakeLengths(tFreq.data(), kNT, tLength.data());
        MakeCodes(tLength.data(), kNT, tCode.data());
        WritePtLengths(tLength.data(), kNT, kTBits, 3);
        WriteCLengths(n);
        MakeLengths(pFreq.data(), kNP, pLength.data());
        MakeCodes(pLength.data(), kNP, pCode.data());
        WritePtLengths(pLength.data(), kNP, kPBits, -1);
        std::size_t nextDistance = 0;
        for (const std::uint16_t code : codes) {
            PutBits(cLength[code], cCode[code]);
            if (code < 256)
                continue;
            const unsigned p = distances[nextDistance++];
            const int bits = BitLength(p);
            PutBits(pLength[static_cast<std::size_t>(bits)], pCode[static_cast<std::size_t>(bits)]);
            if (bits > 1)
                PutBits(bits - 1, p);
        }
        codes.clear();
        distances.clear();
        cFreq.fill(0);
        pFreq.fill(0);
    }
};

Lh5Encoder::Lh5Encoder(std::function<bool(std::string_view)> emit, std::size_t blockSymbols)
    : state_(std::make_unique<State>())
{
    state_->emit = std::move(emit);
    state_->blockSymbols = std::clamp<std::size_t>(blockSymbols, 1, kBlockSymbols);
    state_->codes.reserve(state_->blockSymbols);
    state_->distances.reserve(state_->blockSymbols);
}

Lh5Encoder::~Lh5Encoder() = default;

void Lh5Encoder::Restart(std::function<bool(std::string_view)> emit)
{
    State& s = *state_;
    s.emit = std::move(emit);
    s.failed = false;
    s.bytesOut = 0;
    s.bits = 0;
    s.bitCount = 0;
    s.out.clear();
    // Positions go on counting, so the chains need no clearing: what they hold lies before `start`.
    s.base += s.end;
    s.start = s.base;
    s.pos = s.end = s.hashed = 0;
    s.pending = false;
    s.codes.clear();
    s.distances.clear();
    s.cFreq.fill(0);
    s.pFreq.fill(0);
}

bool Lh5Encoder::Feed(std::string_view bytes)
{
    State& s = *state_;
    while (!bytes.empty() && !s.failed) {
        if (s.end == kBuffer)
            s.Slide();
        const std::size_t piece = std::min(bytes.size(), kBuffer - s.end);
        std::memcpy(s.buffer.data() + s.end, bytes.data(), piece);
        s.end += piece;
        bytes.remove_prefix(piece);
        s.Compress(false);
    }
    return !s.failed;
}

bool Lh5Encoder::Finish()
{
    State& s = *state_;
    s.Compress(true);
    s.SendBlock();
    s.PutBits(7, 0);  // the last bits fill their byte
    s.Flush();
    return !s.failed;
}

std::uint64_t Lh5Encoder::BytesOut() const
{
    return state_->bytesOut + state_->out.size();
}

}  // namespace pelmo
