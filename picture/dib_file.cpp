// The .bmp loader: file header, information header, colour table and pixel data
// read into one packed bitmap block.
#include "picture/dib_file.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "platform/streams.h"

namespace pelmo {
namespace {

// Offsets of the information header fields.
constexpr std::size_t kWidthAt = 4;
constexpr std::size_t kHeightAt = 8;
constexpr std::size_t kPlanesAt = 12;
constexpr std::size_t kBitCountAt = 14;
constexpr std::size_t kCompressionAt = 16;
constexpr std::size_t kSizeImageAt = 20;
constexpr std::size_t kClrUsedAt = 32;
// Offset of bfOffBits in the file header.
constexpr std::size_t kOffBitsAt = 10;

std::uint16_t Get16(const std::uint8_t* at)
{
    return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* at)
{
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

void Put32(std::uint8_t* at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool BitCountDrawable(std::uint16_t bitCount)
{
    constexpr std::array<std::uint16_t, 6> kDrawable = {1, 4, 8, 16, 24, 32};
    return std::find(kDrawable.begin(), kDrawable.end(), bitCount) != kDrawable.end();
}

// The core header (biSize 12) and every length too short to hold the fields read
// are refused, and so are values whose sizes could not be drawn or held.
bool HeaderAccepted(const DibHeader& header)
{
    return header.size >= kInfoHeaderSize && header.size <= kMaxInfoHeaderSize && BitCountDrawable(header.bitCount) &&
           header.width >= 0 && header.width <= kMaxDibDimension &&
           std::abs(static_cast<std::int64_t>(header.height)) <= kMaxDibDimension && header.clrUsed <= 0xFFFF;
}

// Whether the file is long enough for the pixel data, so that a header promising
// more than the file holds costs no allocation. Without a known length the reading
// finds out.
bool PixelDataFits(const DibSource& file, std::uint64_t start, std::uint64_t imageBytes)
{
    const std::optional<std::uint64_t> length = file.Length();
    return !length || imageBytes == 0 || start + imageBytes <= *length;
}

// An open InputFile. A single read may bring fewer bytes than asked before the
// end, so reads are repeated until the piece is whole or the file ends.
class FileSource final : public DibSource {
public:
    FileSource(InputFile& file, std::optional<std::uint64_t> length) : file_(file), length_(length) {}

    long Read(void* buffer, std::size_t size) override
    {
        auto* to = static_cast<std::uint8_t*>(buffer);
        std::size_t done = 0;
        while (done < size) {
            long got = file_.Read(to + done, size - done);
            if (got < 0)
                return -1;
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return static_cast<long>(done);
    }

    bool Seek(std::uint64_t offset) override { return file_.Seek(offset); }
    std::optional<std::uint64_t> Length() const override { return length_; }

private:
    InputFile& file_;
    std::optional<std::uint64_t> length_;
};

// The bytes of a whole file in memory.
class MemorySource final : public DibSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}

    long Read(void* buffer, std::size_t size) override
    {
        if (position_ >= bytes_.size())
            return 0;
        const std::size_t count = std::min<std::uint64_t>(size, bytes_.size() - position_);
        if (count > 0)
            std::memcpy(buffer, bytes_.data() + position_, count);
        position_ += count;
        return static_cast<long>(count);
    }

    bool Seek(std::uint64_t offset) override
    {
        position_ = offset;
        return true;
    }

    std::optional<std::uint64_t> Length() const override { return bytes_.size(); }

private:
    std::string_view bytes_;
    std::uint64_t position_ = 0;
};

}  // namespace

std::optional<DibHeader> DecodeDibHeader(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kInfoHeaderSize)
        return std::nullopt;
    const std::uint8_t* at = bytes.data();
    DibHeader header;
    header.size = Get32(at);
    header.width = static_cast<std::int32_t>(Get32(at + kWidthAt));
    header.height = static_cast<std::int32_t>(Get32(at + kHeightAt));
    header.planes = Get16(at + kPlanesAt);
    header.bitCount = Get16(at + kBitCountAt);
    header.compression = Get32(at + kCompressionAt);
    header.sizeImage = Get32(at + kSizeImageAt);
    header.clrUsed = Get32(at + kClrUsedAt);
    return header;
}

DibHeader DibBlock::header() const
{
    return DecodeDibHeader(bytes).value_or(DibHeader{});
}

std::span<const std::uint8_t> DibBlock::colourTable() const
{
    const std::size_t start = std::min<std::size_t>(header().size, bytes.size());
    const std::size_t end = std::clamp<std::size_t>(pixelOffset, start, bytes.size());
    return std::span<const std::uint8_t>(bytes).subspan(start, end - start);
}

std::span<const std::uint8_t> DibBlock::pixels() const
{
    const std::size_t start = std::min<std::size_t>(pixelOffset, bytes.size());
    return std::span<const std::uint8_t>(bytes).subspan(start);
}

std::uint16_t ColourCount(const DibHeader& header)
{
    const auto used = static_cast<std::uint16_t>(header.clrUsed & 0xFFFF);
    if (used != 0)
        return used;
    // 1 << 16 kept to 16 bits is 0, and 24 and 32 bits carry no table either.
    return header.bitCount < 16 ? static_cast<std::uint16_t>(1u << header.bitCount) : 0;
}

std::uint64_t ImageSize(std::int32_t width, std::int32_t height, std::uint16_t bitCount)
{
    const std::uint64_t rowBits = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(width))) * bitCount;
    const std::uint64_t rowBytes = (rowBits + 31) / 32 * 4;
    return rowBytes * static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(height)));
}

std::uint32_t ReadInChunks(DibSource& file, std::uint8_t* destination, std::uint32_t count)
{
    std::uint32_t remaining = count;
    while (remaining > kDibChunkSize) {
        if (file.Read(destination, kDibChunkSize) != static_cast<long>(kDibChunkSize))
            return 0;
        destination += kDibChunkSize;
        remaining -= kDibChunkSize;
    }
    if (file.Read(destination, remaining) != static_cast<long>(remaining))
        return 0;
    return count;
}

int LoadDib(DibSource& file, DibBlock& block)
{
    std::array<std::uint8_t, kFileHeaderSize> fileHeader{};
    if (file.Read(fileHeader.data(), fileHeader.size()) != static_cast<long>(fileHeader.size()) ||
        Get16(fileHeader.data()) != kBitmapFileType)
        return 0;
    const std::uint32_t offBits = Get32(fileHeader.data() + kOffBitsAt);

    std::array<std::uint8_t, kMaxInfoHeaderSize> info{};
    if (file.Read(info.data(), kInfoHeaderSize) != static_cast<long>(kInfoHeaderSize))
        return 0;
    DibHeader header = *DecodeDibHeader(info);
    if (!HeaderAccepted(header))
        return 0;
    // A longer header is read whole, so that the colour table is taken from where
    // it follows the header in the file.
    const std::uint32_t rest = header.size - kInfoHeaderSize;
    if (rest > 0 && file.Read(info.data() + kInfoHeaderSize, rest) != static_cast<long>(rest))
        return 0;

    const std::uint16_t count = ColourCount(header);
    const std::uint64_t tableBytes = 4u * static_cast<std::uint64_t>(count);
    const std::uint64_t imageBytes =
        header.sizeImage != 0 ? header.sizeImage : ImageSize(header.width, header.height, header.bitCount);
    if (header.size + tableBytes + imageBytes > kMaxDibBlockSize)
        return 0;
    const std::uint64_t pixelStart = offBits != 0 ? offBits : kFileHeaderSize + header.size + tableBytes;
    if (!PixelDataFits(file, pixelStart, imageBytes))
        return 0;
    if (header.clrUsed == 0)
        header.clrUsed = count;
    header.sizeImage = static_cast<std::uint32_t>(imageBytes);

    std::vector<std::uint8_t> bytes;
    try {
        bytes.assign(header.size + tableBytes + imageBytes, 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::copy_n(info.begin(), header.size, bytes.begin());
    Put32(bytes.data() + kClrUsedAt, header.clrUsed);
    Put32(bytes.data() + kSizeImageAt, header.sizeImage);

    // How much of the colour table arrives is not examined; what is missing stays 0.
    file.Read(bytes.data() + header.size, tableBytes);
    const auto pixelOffset = static_cast<std::uint32_t>(header.size + tableBytes);

    if (offBits != 0 && !file.Seek(offBits))
        return 0;
    if (ReadInChunks(file, bytes.data() + pixelOffset, header.sizeImage) != header.sizeImage)
        return 0;

    block.bytes = std::move(bytes);
    block.pixelOffset = pixelOffset;
    return 1;
}

std::optional<DibBlock> ParseDib(std::string_view fileBytes)
{
    MemorySource source(fileBytes);
    DibBlock block;
    if (!LoadDib(source, block))
        return std::nullopt;
    return block;
}

int ReadDibFile(const Machine& machine, std::string_view path, DibBlock& block)
{
    auto file = InputFile::Open(DiskView(machine), path);
    if (!file)
        return 0;
    FileStatus status;
    const bool known = GetStatus(DiskView(machine), path, status);
    FileSource source(*file, known ? std::optional<std::uint64_t>(status.size) : std::nullopt);
    return LoadDib(source, block);
}

std::optional<LogicalPalette> CreateDibPalette(const DibBlock& block)
{
    const DibHeader header = block.header();
    if (header.clrUsed == 0)
        return std::nullopt;
    const std::span<const std::uint8_t> table = block.colourTable();
    const std::size_t count = std::min<std::size_t>(header.clrUsed & 0xFFFF, table.size() / 4);
    LogicalPalette palette;
    palette.entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = table.data() + 4 * i;
        palette.entries.push_back({.red = entry[2], .green = entry[1], .blue = entry[0], .flags = 0});
    }
    return palette;
}

}  // namespace pelmo
