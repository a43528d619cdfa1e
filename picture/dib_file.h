// The .bmp loader: a picture file read into one packed device-independent bitmap block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace pelmo {

inline constexpr std::uint16_t kBitmapFileType = 0x4D42;  // "BM"
inline constexpr std::uint32_t kFileHeaderSize = 14;
inline constexpr std::uint32_t kInfoHeaderSize = 40;
// The longest information header the format defines (version 5).
inline constexpr std::uint32_t kMaxInfoHeaderSize = 124;
inline constexpr std::uint32_t kDibChunkSize = 32768;
// Larger pictures are refused rather than allocated on every paint.
inline constexpr std::uint64_t kMaxDibBlockSize = 256u << 20;
// Widths and heights from here on do not fit the 16-bit source size of the drawing.
inline constexpr std::int64_t kMaxDibDimension = 65535;

// The information header fields, as they stand at the start of a block.
struct DibHeader {
    std::uint32_t size = 0;      // biSize
    std::int32_t width = 0;      // biWidth
    std::int32_t height = 0;     // biHeight: negative for a picture stored top-down
    std::uint16_t planes = 0;    // biPlanes
    std::uint16_t bitCount = 0;  // biBitCount
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;  // biSizeImage
    std::uint32_t clrUsed = 0;    // biClrUsed
};

// The loaded picture, laid out as the drawing expects a packed bitmap: the
// information header (biSize bytes), the colour table (4 bytes a colour: blue,
// green, red, reserved), then the pixel data.
struct DibBlock {
    std::vector<std::uint8_t> bytes;
    // Where the pixel data starts: biSize + 4 x colour count. Kept at full width;
    // a 16-bit offset would point into the colour table of a long one.
    std::uint32_t pixelOffset = 0;

    DibHeader header() const;
    std::span<const std::uint8_t> colourTable() const;
    std::span<const std::uint8_t> pixels() const;
};

// Reads the header fields from the first 40 bytes; nothing when there are fewer.
std::optional<DibHeader> DecodeDibHeader(std::span<const std::uint8_t> bytes);

// The number of colour-table entries: the low 16 bits of biClrUsed, or when that
// is 0, 2, 16 or 256 for 1, 4 or 8 bits per pixel and none for deeper pixels.
std::uint16_t ColourCount(const DibHeader& header);

// Bytes of pixel data for an uncompressed picture: rows padded to 4 bytes, times
// the number of rows (either sign of the height).
std::uint64_t ImageSize(std::int32_t width, std::int32_t height, std::uint16_t bitCount);

// An open picture file: sequential reads and a move to a position from the start.
class DibSource {
public:
    virtual ~DibSource() = default;
    // Bytes read, fewer than asked only at the end; -1 on an error.
    virtual long Read(void* buffer, std::size_t size) = 0;
    virtual bool Seek(std::uint64_t offset) = 0;
    // The whole length of the file, when known.
    virtual std::optional<std::uint64_t> Length() const { return std::nullopt; }
};

// Reads `count` bytes in pieces of at most 32768 bytes, one read per piece.
// `count` when every byte arrived, else 0.
std::uint32_t ReadInChunks(DibSource& file, std::uint8_t* destination, std::uint32_t count);

// Loads a picture from an open file into `block`. 1 when loaded; 0 for a file that
// is not a picture the drawing can take (then `block` is left as it was). When the
// file's length is known, pixel data it cannot hold is refused before the block is
// allocated.
int LoadDib(DibSource& file, DibBlock& block);

// The same load on the bytes of a whole file in memory.
std::optional<DibBlock> ParseDib(std::string_view fileBytes);

// Opens `path` (Windows form, code page 932) and loads it. 1 or 0 as LoadDib.
int ReadDibFile(const Machine& machine, std::string_view path, DibBlock& block);

// The logical palette record built from a block's colour table.
struct PaletteEntry {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t flags = 0;
};
struct LogicalPalette {
    std::uint16_t version = 0x300;
    std::vector<PaletteEntry> entries;
};

// A palette of the picture's own colours; nothing (the shared default palette)
// when biClrUsed is 0.
std::optional<LogicalPalette> CreateDibPalette(const DibBlock& block);

}  // namespace pelmo
