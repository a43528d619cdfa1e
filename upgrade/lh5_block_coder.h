// The Huffman side of -lh5-: literals and matches gathered into blocks, each
// sent with its own code tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "upgrade/lh5_format.h"

namespace pelmo::lh5 {

class BlockCoder {
public:
    // A block is sent once it holds `blockSymbols` codes.
    BlockCoder(std::function<bool(std::string_view)> emit, std::size_t blockSymbols);

    // Starts the next member's output, dropping any block not sent.
    void Restart(std::function<bool(std::string_view)> emit);

    void Literal(std::uint8_t byte);
    void Match(std::size_t length, std::size_t distance);
    // Sends the last block and pads the last byte; false when `emit` refused.
    bool Finish();

    bool Failed() const { return failed_; }
    std::uint64_t BytesOut() const { return bytesOut_ + out_.size(); }

private:
    // The three code tables: characters and match lengths, the lengths of their
    // codes, and distances (the number of bits of distance - 1).
    static constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1;
    static constexpr int kNT = 19;
    static constexpr int kNP = 14;

    void PutBits(int count, std::uint32_t value);
    void Flush();
    void AddCode(std::uint16_t code);
    void CountTFreq(int n);
    void WritePtLengths(const std::uint8_t* length, int n, int countBits, int special);
    void PutT(int symbol);
    void WriteCLengths(int n);
    void SendBlock();

    std::function<bool(std::string_view)> emit_;
    std::size_t blockSymbols_;
    bool failed_ = false;
    std::uint64_t bytesOut_ = 0;

    // Bits, most significant first.
    std::uint64_t bits_ = 0;
    int bitCount_ = 0;
    std::string out_;

    // The block being gathered.
    std::vector<std::uint16_t> codes_;
    std::vector<std::uint16_t> distances_;  // distance - 1 of each match, in order
    std::array<std::uint32_t, kNC> cFreq_{};
    std::array<std::uint32_t, kNP> pFreq_{};
    std::array<std::uint32_t, kNT> tFreq_{};
    std::array<std::uint8_t, kNC> cLength_{};
    std::array<std::uint16_t, kNC> cCode_{};
    std::array<std::uint8_t, kNT> tLength_{};
    std::array<std::uint16_t, kNT> tCode_{};
    std::array<std::uint8_t, kNP> pLength_{};
    std::array<std::uint16_t, kNP> pCode_{};
};

}  // namespace pelmo::lh5
