// Test support: .bmp files written byte by byte.
#include "tests/support/bmp_writer.h"

#include <algorithm>
#include <stdexcept>

namespace pelmo::test {
namespace {

void Put16(std::string& out, std::uint32_t value)
{
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8 & 0xFF));
}

void Put32(std::string& out, std::uint32_t value)
{
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// One row, left to right, padded with zeros to a multiple of 4 bytes.
std::string PackRow(const std::uint32_t* values, int width, std::uint16_t bitCount)
{
    std::string row;
    switch (bitCount) {
    case 1:
    case 4:
    case 8: {
        const int perByte = 8 / bitCount;
        for (int x = 0; x < width; x += perByte) {
            unsigned byte = 0;
            for (int i = 0; i < perByte; ++i) {
                const unsigned value = x + i < width ? values[x + i] : 0;
                byte |= (value & ((1u << bitCount) - 1)) << (8 - bitCount * (i + 1));
            }
            row.push_back(static_cast<char>(byte));
        }
        break;
    }
    case 16:
        for (int x = 0; x < width; ++x)
            Put16(row, values[x]);
        break;
    case 24:
    case 32:
        for (int x = 0; x < width; ++x) {
            Put32(row, values[x] & 0xFFFFFF);  // blue, green, red, 0
            if (bitCount == 24)
                row.pop_back();
        }
        break;
    default:
        throw std::invalid_argument("bit count not written by the test writer");
    }
    row.append((4 - row.size() % 4) % 4, '\0');
    return row;
}

}  // namespace

std::string WriteBmp(const BmpFile& bmp)
{
    const std::uint32_t tableBytes = 4 * static_cast<std::uint32_t>(bmp.colours.size());
    // The 40 bytes of fields are always written; a longer header is padded, but
    // never past 1024 bytes, so that absurd lengths can be written too.
    const std::uint32_t headerBytes = std::clamp<std::uint32_t>(bmp.headerSize, 40, 1024);
    const std::uint32_t dataStart = 14 + headerBytes + tableBytes;
    std::string out;
    Put16(out, bmp.type);
    Put32(out, dataStart + static_cast<std::uint32_t>(bmp.pixels.size()));
    Put32(out, 0);
    Put32(out, bmp.offBits.value_or(dataStart));

    Put32(out, bmp.headerSize);
    Put32(out, static_cast<std::uint32_t>(bmp.width));
    Put32(out, static_cast<std::uint32_t>(bmp.height));
    Put16(out, 1);
    Put16(out, bmp.bitCount);
    Put32(out, bmp.compression);
    Put32(out, bmp.sizeImage);
    Put32(out, 2835);
    Put32(out, 2835);
    Put32(out, bmp.clrUsed);
    Put32(out, 0);
    out.append(headerBytes - 40, '\0');

    for (std::uint32_t colour : bmp.colours)
        Put32(out, colour & 0xFFFFFF);
    return out + bmp.pixels;
}

std::string PackPixels(int width, std::uint16_t bitCount, const std::vector<std::uint32_t>& values, bool topDown)
{
    if (width <= 0 || values.size() % static_cast<std::size_t>(width) != 0)
        throw std::invalid_argument("values do not fill whole rows");
    const int height = static_cast<int>(values.size() / static_cast<std::size_t>(width));
    std::string pixels;
    for (int i = 0; i < height; ++i) {
        const int row = topDown ? i : height - 1 - i;
        pixels += PackRow(values.data() + static_cast<std::size_t>(row) * width, width, bitCount);
    }
    return pixels;
}

}  // namespace pelmo::test
