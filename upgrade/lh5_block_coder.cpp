// -lh5- blocks: each block's Huffman tables, then its codes, as a stream of bits.
#include "upgrade/lh5_block_coder.h"

#include <utility>

#include "upgrade/lh5_huffman.h"

namespace pelmo::lh5 {
namespace {

constexpr int kCBits = 9;
constexpr int kTBits = 5;
constexpr int kPBits = 4;

int BitLength(unsigned value)
{
    int bits = 0;
    for (; value != 0; value >>= 1)
        ++bits;
    return bits;
}

}  // namespace

BlockCoder::BlockCoder(std::function<bool(std::string_view)> emit, std::size_t blockSymbols)
    : emit_(std::move(emit)),
      blockSymbols_(blockSymbols)
{
    codes_.reserve(blockSymbols_);
    distances_.reserve(blockSymbols_);
}

void BlockCoder::Restart(std::function<bool(std::string_view)> emit)
{
    emit_ = std::move(emit);
    failed_ = false;
    bytesOut_ = 0;
    bits_ = 0;
    bitCount_ = 0;
    out_.clear();
    codes_.clear();
    distances_.clear();
    cFreq_.fill(0);
    pFreq_.fill(0);
}

bool BlockCoder::Finish()
{
    SendBlock();
    PutBits(7, 0);  // the last bits fill their byte
    Flush();
    return !failed_;
}

void BlockCoder::PutBits(int count, std::uint32_t value)
{
    if (count == 0)
        return;
    bits_ = bits_ << count | (value & ((std::uint64_t{1} << count) - 1));
    bitCount_ += count;
    while (bitCount_ >= 8) {
        bitCount_ -= 8;
        out_.push_back(static_cast<char>(bits_ >> bitCount_ & 0xFF));
    }
    if (out_.size() >= 65536)
        Flush();
}

void BlockCoder::Flush()
{
    if (!out_.empty() && !failed_) {
        bytesOut_ += out_.size();
        failed_ = !emit_(out_);
    }
    out_.clear();
}

void BlockCoder::Literal(std::uint8_t byte)
{
    AddCode(byte);
}

// The distance goes into the block before its code can end the block.
void BlockCoder::Match(std::size_t length, std::size_t distance)
{
    const auto p = static_cast<std::uint16_t>(distance - 1);
    distances_.push_back(p);
    ++pFreq_[static_cast<std::size_t>(BitLength(p))];
    AddCode(static_cast<std::uint16_t>(256 + length - kMinMatch));
}

void BlockCoder::AddCode(std::uint16_t code)
{
    codes_.push_back(code);
    ++cFreq_[code];
    if (codes_.size() == blockSymbols_)
        SendBlock();
}

void BlockCoder::CountTFreq(int n)
{
    tFreq_.fill(0);
    for (int i = 0; i < n;) {
        const std::size_t k = cLength_[static_cast<std::size_t>(i++)];
        if (k != 0) {
            ++tFreq_[k + 2];
            continue;
        }
        int run = 1;
        while (i < n && cLength_[static_cast<std::size_t>(i)] == 0) {
            ++i;
            ++run;
        }
        if (run <= 2) {
            tFreq_[0] += static_cast<std::uint32_t>(run);
        } else if (run <= 18) {
            ++tFreq_[1];
        } else if (run == 19) {
            ++tFreq_[0];
            ++tFreq_[1];
        } else {
            ++tFreq_[2];
        }
    }
}

// Lengths of the small tables: up to 6 in three bits, longer ones as 7 and a
// run of ones ended by a zero. After the `special`-th, two bits skip zeros.
void BlockCoder::WritePtLengths(const std::uint8_t* length, int n, int countBits, int special)
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

void BlockCoder::PutT(int symbol)
{
    PutBits(tLength_[static_cast<std::size_t>(symbol)], tCode_[static_cast<std::size_t>(symbol)]);
}

void BlockCoder::WriteCLengths(int n)
{
    PutBits(kCBits, static_cast<std::uint32_t>(n));
    for (int i = 0; i < n;) {
        const int k = cLength_[static_cast<std::size_t>(i++)];
        if (k != 0) {
            PutT(k + 2);
            continue;
        }
        int run = 1;
        while (i < n && cLength_[static_cast<std::size_t>(i)] == 0) {
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

void BlockCoder::SendBlock()
{
    if (codes_.empty())
        return;
    PutBits(16, static_cast<std::uint32_t>(codes_.size()));
    MakeLengths(cFreq_.data(), kNC, cLength_.data());
    MakeCodes(cLength_.data(), kNC, cCode_.data());
    int n = kNC;
    while (n > 0 && cLength_[static_cast<std::size_t>(n - 1)] == 0)
        --n;
    CountTFreq(n);
    MakeLengths(tFreq_.data(), kNT, tLength_.data());
    MakeCodes(tLength_.data(), kNT, tCode_.data());
    WritePtLengths(tLength_.data(), kNT, kTBits, 3);
    WriteCLengths(n);
    MakeLengths(pFreq_.data(), kNP, pLength_.data());
    MakeCodes(pLength_.data(), kNP, pCode_.data());
    WritePtLengths(pLength_.data(), kNP, kPBits, -1);
    std::size_t nextDistance = 0;
    for (const std::uint16_t code : codes_) {
        PutBits(cLength_[code], cCode_[code]);
        if (code < 256)
            continue;
        const unsigned p = distances_[nextDistance++];
        const int bits = BitLength(p);
        PutBits(pLength_[static_cast<std::size_t>(bits)], pCode_[static_cast<std::size_t>(bits)]);
        if (bits > 1)
            PutBits(bits - 1, p);
    }
    codes_.clear();
    distances_.clear();
    cFreq_.fill(0);
    pFreq_.fill(0);
}

}  // namespace pelmo::lh5
