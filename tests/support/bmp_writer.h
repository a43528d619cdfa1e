// Test support: .bmp files written byte by byte, with every header field choosable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pelmo::test {

// One picture file. Unless told otherwise the headers describe the picture as a
// careful writer would, except that biSizeImage and biClrUsed are left 0.
struct BmpFile {
    std::int32_t width = 1;
    std::int32_t height = 1;          // negative: rows stored top-down
    std::uint16_t bitCount = 24;
    std::uint32_t headerSize = 40;    // biSize; the header is padded with zeros to it (up to 1024)
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::uint32_t clrUsed = 0;
    std::vector<std::uint32_t> colours;   // 0xRRGGBB, written blue, green, red, 0
    std::string pixels;                   // the pixel data as stored
    std::optional<std::uint32_t> offBits; // default: right after the colour table
    std::uint16_t type = 0x4D42;
};

std::string WriteBmp(const BmpFile& bmp);

// Pixel data for `values` given top row first, `width` to a row: each value a
// palette index (1, 4, 8 bits), a 5-5-5 word (16) or 0xRRGGBB (24, 32), rows
// padded to 4 bytes and stored bottom-up, or top-down when `topDown`.
std::string PackPixels(int width, std::uint16_t bitCount, const std::vector<std::uint32_t>& values,
                       bool topDown = false);

}  // namespace pelmo::test
