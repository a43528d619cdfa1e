// Huffman codes as -lh5- blocks send them: lengths of at most 16 bits, canonical codes.
#pragma once

#include <cstdint>

namespace pelmo::lh5 {

inline constexpr int kMaxCodeLength = 16;

// Code lengths of a Huffman code over `freq`, at most 16 bits; never a table of one code.
void MakeLengths(const std::uint32_t* freq, int n, std::uint8_t* length);

// Canonical codes: shorter codes first, each length's symbols in rising order.
void MakeCodes(const std::uint8_t* length, int n, std::uint16_t* code);

}  // namespace pelmo::lh5
