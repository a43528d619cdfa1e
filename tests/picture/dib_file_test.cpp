// Tests of the .bmp loader: header rules, block layout, chunked reading and hostile files.
#include "picture/dib_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tests/support/bmp_writer.h"
#include "tests/support/test_machine.h"

// GCC 12 warns about designated initializers that leave members to their
// defaults, which is what the picture rows below are written for.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace pelmo {
namespace {

using test::BmpFile;
using test::PackPixels;
using test::WriteBmp;

// A file in memory that records every read and every move, and may keep its
// length to itself as a pipe would.
class RecordingSource final : public DibSource {
public:
    explicit RecordingSource(std::string bytes, bool tellsLength = true)
        : bytes_(std::move(bytes)), tellsLength_(tellsLength)
    {
    }

    long Read(void* buffer, std::size_t size) override
    {
        reads.push_back(size);
        const std::size_t start = std::min<std::uint64_t>(position_, bytes_.size());
        const std::size_t count = std::min(size, bytes_.size() - start);
        if (count > 0)
            std::memcpy(buffer, bytes_.data() + start, count);
        position_ = start + count;
        return static_cast<long>(count);
    }

    bool Seek(std::uint64_t offset) override
    {
        seeks.push_back(offset);
        readsBeforeLastSeek = reads.size();
        position_ = offset;
        return true;
    }

    std::optional<std::uint64_t> Length() const override
    {
        ++lengthAsked;
        return tellsLength_ ? std::optional<std::uint64_t>(bytes_.size()) : std::nullopt;
    }

    std::vector<std::size_t> reads;
    std::vector<std::uint64_t> seeks;
    std::size_t readsBeforeLastSeek = 0;
    mutable int lengthAsked = 0;

private:
    std::string bytes_;
    bool tellsLength_;
    std::uint64_t position_ = 0;
};

std::vector<std::uint32_t> Ramp(std::size_t count, std::uint32_t modulo)
{
    std::vector<std::uint32_t> values(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = static_cast<std::uint32_t>(i * 7 % modulo);
    return values;
}

std::string Bytes(std::span<const std::uint8_t> span)
{
    return std::string(reinterpret_cast<const char*>(span.data()), span.size());
}

// --- Rules on header values ---

TEST(DibRules, ColourCountFollowsBitCountUnlessClrUsedIsSet)
{
    struct Row {
        std::uint16_t bitCount;
        std::uint32_t clrUsed;
        std::uint16_t expected;
    };
    const Row rows[] = {
        {1, 0, 2},     {4, 0, 16},   {8, 0, 256},       {16, 0, 0},     {24, 0, 0},   {32, 0, 0},
        {8, 17, 17},   {1, 1, 1},    {4, 300, 300},     {24, 5, 5},     {16, 12, 12}, {32, 65535, 65535},
        {8, 65537, 1}, {4, 65536, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.bitCount << " bits, biClrUsed " << row.clrUsed);
        DibHeader header;
        header.bitCount = row.bitCount;
        header.clrUsed = row.clrUsed;
        EXPECT_EQ(ColourCount(header), row.expected);
    }
}

TEST(DibRules, ImageSizeRoundsRowsUpToFourBytes)
{
    struct Row {
        std::int32_t width;
        std::int32_t height;
        std::uint16_t bitCount;
        std::uint64_t expected;
    };
    const Row rows[] = {
        {3, 2, 24, 24},    // 72 bits raised to 96: 12 bytes a row
        {1, 1, 1, 4},      {32, 1, 1, 4},     {33, 1, 1, 8},   {8, 3, 4, 12},   {9, 1, 4, 8},
        {4, 1, 8, 4},      {5, 1, 8, 8},      {2, 2, 16, 8},   {3, 1, 16, 8},   {1, 1, 32, 4},
        {5, -2, 8, 16},    // a top-down picture has as many rows as its height says
        {0, 5, 24, 0},     {7, 0, 24, 0},
        {65535, 65535, 32, 262140ull * 65535},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << "x" << row.height << "x" << row.bitCount);
        EXPECT_EQ(ImageSize(row.width, row.height, row.bitCount), row.expected);
    }
}

// --- The loaded block ---

struct LoadRow {
    const char* what;
    BmpFile file;
    std::uint32_t pixelOffset;
    std::uint32_t clrUsed;    // in the loaded header
    std::uint32_t sizeImage;  // in the loaded header
};

TEST(DibLoad, BlockHoldsHeaderColourTableAndPixelsBackToBack)
{
    const std::vector<std::uint32_t> sixteen = Ramp(16, 0x1000000);
    const std::vector<std::uint32_t> full = Ramp(256, 0x1000000);
    const LoadRow rows[] = {
        {"24 bits without a table", {.width = 3, .height = 2, .bitCount = 24, .pixels = PackPixels(3, 24, Ramp(6, 0xFFFFFF))}, 40, 0, 24},
        {"8 bits with biClrUsed 0", {.width = 4, .height = 2, .bitCount = 8, .colours = full, .pixels = PackPixels(4, 8, Ramp(8, 256))}, 40 + 1024, 256, 8},
        {"8 bits with 3 colours", {.width = 4, .height = 1, .bitCount = 8, .clrUsed = 3, .colours = {1, 2, 3}, .pixels = PackPixels(4, 8, {0, 1, 2, 1})}, 40 + 12, 3, 4},
        {"4 bits with biClrUsed 0", {.width = 5, .height = 3, .bitCount = 4, .colours = sixteen, .pixels = PackPixels(5, 4, Ramp(15, 16))}, 40 + 64, 16, 12},
        {"1 bit", {.width = 9, .height = 2, .bitCount = 1, .colours = {0, 0xFFFFFF}, .pixels = PackPixels(9, 1, Ramp(18, 2))}, 40 + 8, 2, 8},
        {"16 bits", {.width = 3, .height = 2, .bitCount = 16, .pixels = PackPixels(3, 16, Ramp(6, 0x8000))}, 40, 0, 16},
        {"32 bits", {.width = 2, .height = 2, .bitCount = 32, .pixels = PackPixels(2, 32, Ramp(4, 0xFFFFFF))}, 40, 0, 16},
        {"24 bits with a table", {.width = 1, .height = 1, .bitCount = 24, .clrUsed = 2, .colours = {7, 8}, .pixels = PackPixels(1, 24, {5})}, 48, 2, 4},
        {"biSizeImage larger than the rows", {.width = 1, .height = 1, .bitCount = 24, .sizeImage = 10, .pixels = std::string(10, '\x5A')}, 40, 0, 10},
        {"top-down", {.width = 2, .height = -2, .bitCount = 24, .pixels = PackPixels(2, 24, Ramp(4, 0xFFFFFF), true)}, 40, 0, 16},
        {"empty", {.width = 0, .height = 0, .bitCount = 24}, 40, 0, 0},
    };
    for (const LoadRow& row : rows) {
        SCOPED_TRACE(row.what);
        const std::optional<DibBlock> block = ParseDib(WriteBmp(row.file));
        ASSERT_TRUE(block.has_value());
        EXPECT_EQ(block->pixelOffset, row.pixelOffset);
        EXPECT_EQ(block->bytes.size(), row.pixelOffset + row.sizeImage);
        const DibHeader header = block->header();
        EXPECT_EQ(header.size, 40u);
        EXPECT_EQ(header.width, row.file.width);
        EXPECT_EQ(header.height, row.file.height);
        EXPECT_EQ(header.bitCount, row.file.bitCount);
        EXPECT_EQ(header.clrUsed, row.clrUsed);
        EXPECT_EQ(header.sizeImage, row.sizeImage);
        EXPECT_EQ(Bytes(block->pixels()), row.file.pixels);
        std::string table;
        for (std::size_t i = 0; i < row.clrUsed; ++i) {
            const std::uint32_t colour = i < row.file.colours.size() ? row.file.colours[i] : 0;
            table += {static_cast<char>(colour & 0xFF), static_cast<char>(colour >> 8 & 0xFF),
                      static_cast<char>(colour >> 16 & 0xFF), '\0'};
        }
        EXPECT_EQ(Bytes(block->colourTable()), table);
    }
}

TEST(DibLoad, PixelDataComesFromBfOffBitsOrRightAfterTheColourTable)
{
    // Eight bytes of filler lie between the colour table and the pixel data.
    BmpFile bmp{.width = 2, .height = 1, .bitCount = 8, .clrUsed = 2, .colours = {0x112233, 0x445566}};
    const std::string filler = "FILLER!!";
    const std::string pixels = PackPixels(2, 8, {1, 0});
    bmp.pixels = filler + pixels;
    bmp.sizeImage = 4;
    bmp.offBits = 14 + 40 + 8 + 8;
    EXPECT_EQ(Bytes(ParseDib(WriteBmp(bmp))->pixels()), pixels);

    bmp.offBits = 0;
    EXPECT_EQ(Bytes(ParseDib(WriteBmp(bmp))->pixels()), filler.substr(0, 4));
    RecordingSource source(WriteBmp(bmp));
    DibBlock block;
    EXPECT_EQ(LoadDib(source, block), 1);
    EXPECT_TRUE(source.seeks.empty());

    // An offset may point back into the headers; the bytes there are the pixels.
    bmp.offBits = 14;
    EXPECT_EQ(Bytes(ParseDib(WriteBmp(bmp))->pixels()), WriteBmp(bmp).substr(14, 4));
}

TEST(DibLoad, ShortColourTableIsZeroFilledWhenThePixelsAreThere)
{
    // 256 colours are expected but the file holds two before the pixel data, which
    // bfOffBits finds.
    BmpFile bmp{.width = 1, .height = 1, .bitCount = 8, .colours = {0x0000FF, 0x00FF00}};
    bmp.pixels = PackPixels(1, 8, {1});
    const std::optional<DibBlock> block = ParseDib(WriteBmp(bmp));
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->header().clrUsed, 256u);
    ASSERT_EQ(block->colourTable().size(), 1024u);
    const std::string table = Bytes(block->colourTable());
    EXPECT_EQ(table.substr(0, 8), std::string("\xFF\0\0\0\0\xFF\0\0", 8));
    EXPECT_EQ(table.substr(8, 4), bmp.pixels);  // read on into the pixel data
    EXPECT_EQ(table.substr(12), std::string(1012, '\0'));
    EXPECT_EQ(Bytes(block->pixels()), bmp.pixels);
}

TEST(DibLoad, LongerHeaderIsKeptWholeAndTheTableFollowsIt)
{
    BmpFile bmp{.width = 2, .height = 1, .bitCount = 8, .headerSize = 108, .clrUsed = 2,
                .colours = {0xABCDEF, 0x123456}, .pixels = PackPixels(2, 8, {1, 0})};
    const std::optional<DibBlock> block = ParseDib(WriteBmp(bmp));
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->pixelOffset, 108u + 8);
    const std::optional<LogicalPalette> palette = CreateDibPalette(*block);
    ASSERT_TRUE(palette.has_value());
    ASSERT_EQ(palette->entries.size(), 2u);
    EXPECT_EQ(palette->entries[0].red, 0xAB);
    EXPECT_EQ(palette->entries[1].blue, 0x56);
    EXPECT_EQ(Bytes(block->pixels()), bmp.pixels);
}

TEST(DibLoad, EveryCutShortCopyOfAFileIsRefused)
{
    const BmpFile files[] = {
        {.width = 3, .height = 2, .bitCount = 24, .pixels = PackPixels(3, 24, Ramp(6, 0xFFFFFF))},
        {.width = 4, .height = 1, .bitCount = 8, .colours = Ramp(256, 0x1000000), .pixels = PackPixels(4, 8, {9, 8, 7, 6})},
        {.width = 4, .height = 1, .bitCount = 8, .colours = Ramp(256, 0x1000000), .pixels = PackPixels(4, 8, {9, 8, 7, 6}), .offBits = 0},
    };
    for (const BmpFile& file : files) {
        const std::string bytes = WriteBmp(file);
        ASSERT_TRUE(ParseDib(bytes).has_value());
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            SCOPED_TRACE(testing::Message() << file.bitCount << " bits cut to " << length);
            EXPECT_FALSE(ParseDib(std::string_view(bytes).substr(0, length)).has_value());
            RecordingSource pipe(bytes.substr(0, length), false);
            DibBlock block;
            EXPECT_EQ(LoadDib(pipe, block), 0);
        }
    }
}

// --- Chunked reading ---

TEST(DibChunks, PiecesAreAtMost32768Bytes)
{
    struct Row {
        std::uint32_t count;
        std::size_t available;
        std::uint32_t expected;
        std::vector<std::size_t> reads;
    };
    const std::vector<Row> rows = {
        {0, 0, 0, {0}},
        {1, 1, 1, {1}},
        {32768, 32768, 32768, {32768}},
        {32769, 32769, 32769, {32768, 1}},
        {65536, 65536, 65536, {32768, 32768}},
        {70000, 80000, 70000, {32768, 32768, 4464}},
        {32769, 32768, 0, {32768, 1}},   // the last piece comes up short
        {70000, 100, 0, {32768}},        // the first piece does
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.count << " of " << row.available);
        std::string bytes(row.available, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 31 % 251);
        RecordingSource source(bytes);
        std::vector<std::uint8_t> destination(row.count + 1, 0xEE);
        EXPECT_EQ(ReadInChunks(source, destination.data(), row.count), row.expected);
        EXPECT_EQ(source.reads, row.reads);
        if (row.expected == row.count) {
            EXPECT_EQ(std::string(destination.begin(), destination.end() - 1), bytes.substr(0, row.count));
        }
        EXPECT_EQ(destination.back(), 0xEE);
    }
}

TEST(DibChunks, LoaderReadsPixelDataInPieces)
{
    struct Row {
        std::uint32_t sizeImage;
        std::vector<std::size_t> pixelReads;
    };
    const std::vector<Row> rows = {
        {32768, {32768}},
        {32769, {32768, 1}},
        {100000, {32768, 32768, 32768, 1696}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.sizeImage);
        BmpFile bmp{.width = 1, .height = 1, .bitCount = 24, .sizeImage = row.sizeImage,
                    .pixels = std::string(row.sizeImage, '\x42'), .offBits = 54};
        RecordingSource source(WriteBmp(bmp));
        DibBlock block;
        ASSERT_EQ(LoadDib(source, block), 1);
        ASSERT_EQ(source.seeks, std::vector<std::uint64_t>{54});
        const std::vector<std::size_t> after(source.reads.begin() + static_cast<long>(source.readsBeforeLastSeek),
                                             source.reads.end());
        EXPECT_EQ(after, row.pixelReads);
        EXPECT_EQ(block.bytes.size(), 40u + row.sizeImage);
    }
}

// --- Hostile and foreign files ---

std::string CoreHeaderFile()
{
    // An OS/2 bitmap: 12-byte header with 16-bit width and height, 3-byte colours.
    std::string bytes("BM\x3A\0\0\0\0\0\0\0\x20\0\0\0", 14);
    bytes += std::string("\x0C\0\0\0\x02\0\x01\0\x01\0\x18\0", 12);
    bytes += std::string(32, '\x77');
    return bytes;
}

TEST(DibHostile, RefusedHeadersAllocateAndReadNothingFurther)
{
    const std::uint32_t maxImage = static_cast<std::uint32_t>(kMaxDibBlockSize) - 40;
    struct Row {
        const char* what;
        BmpFile file;
    };
    const Row rows[] = {
        {"wrong magic", {.type = 0x4142}},
        {"magic the wrong way round", {.type = 0x424D}},
        {"biSize 0", {.headerSize = 0}},
        {"biSize 39", {.headerSize = 39}},
        {"biSize 125", {.headerSize = 125}},
        {"biSize huge", {.headerSize = 0xFFFFFFF0}},
        {"0 bits", {.bitCount = 0}},
        {"2 bits", {.bitCount = 2}},
        {"3 bits", {.bitCount = 3}},
        {"33 bits", {.bitCount = 33}},
        {"64 bits", {.bitCount = 64}},
        {"negative width", {.width = -1}},
        {"width 65536", {.width = 65536}},
        {"width INT32_MIN", {.width = std::numeric_limits<std::int32_t>::min()}},
        {"height 65536", {.height = 65536}},
        {"height -65536", {.height = -65536}},
        {"height INT32_MIN", {.height = std::numeric_limits<std::int32_t>::min()}},
        {"biClrUsed 65536", {.bitCount = 8, .clrUsed = 65536}},
        {"biClrUsed 0xFFFFFFFF", {.bitCount = 8, .clrUsed = 0xFFFFFFFF}},
        {"biSizeImage 0xFFFFFFFF", {.sizeImage = 0xFFFFFFFF}},
        {"biSizeImage one byte over the limit", {.sizeImage = maxImage + 1}},
        {"colour table pushes the block over", {.bitCount = 8, .sizeImage = maxImage - 1023}},
        {"computed size over the limit", {.width = 65535, .height = 1025, .bitCount = 32}},
        {"computed size of the largest picture", {.width = 65535, .height = 65535, .bitCount = 32}},
        {"top-down size over the limit", {.width = 65535, .height = -1025, .bitCount = 32}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::string bytes = WriteBmp(row.file);
        bytes.resize(std::max<std::size_t>(bytes.size(), 200), '\0');
        RecordingSource source(bytes);
        DibBlock block{.bytes = {1, 2, 3}, .pixelOffset = 7};
        EXPECT_EQ(LoadDib(source, block), 0);
        EXPECT_LE(source.reads.size(), 2u);
        EXPECT_TRUE(source.seeks.empty());
        EXPECT_EQ(source.lengthAsked, 0);
        EXPECT_EQ(block.bytes, (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(block.pixelOffset, 7u);
    }
}

TEST(DibHostile, LimitIsNotTighterThanStated)
{
    // Exactly at the limit the header passes; the load then stops on the length of
    // the file, before anything is allocated or read.
    const std::uint32_t maxImage = static_cast<std::uint32_t>(kMaxDibBlockSize) - 40;
    RecordingSource source(WriteBmp({.sizeImage = maxImage, .pixels = "abc"}));
    DibBlock block;
    EXPECT_EQ(LoadDib(source, block), 0);
    EXPECT_EQ(source.lengthAsked, 1);
    EXPECT_EQ(source.reads.size(), 2u);
}

TEST(DibHostile, PixelDataTheFileCannotHoldIsRefusedBeforeReading)
{
    struct Row {
        const char* what;
        BmpFile file;
        bool loads;
    };
    const std::string four(4, '\x11');
    const Row rows[] = {
        {"exactly the pixel data", {.sizeImage = 4, .pixels = four}, true},
        {"one byte short", {.sizeImage = 5, .pixels = four}, false},
        {"bfOffBits one byte late", {.sizeImage = 4, .pixels = four, .offBits = 55}, false},
        {"bfOffBits far beyond", {.sizeImage = 4, .pixels = four, .offBits = 0xFFFFFFFF}, false},
        {"bfOffBits far beyond, nothing to read", {.width = 0, .pixels = four, .offBits = 0xFFFFFFFF}, true},
        {"a long way short", {.sizeImage = 20000000, .pixels = four}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string bytes = WriteBmp(row.file);
        RecordingSource told(bytes);
        DibBlock block;
        EXPECT_EQ(LoadDib(told, block), row.loads ? 1 : 0);
        if (!row.loads) {
            EXPECT_EQ(told.reads.size(), 2u);  // the headers alone
        }
        // Without the length, the reading itself finds the pixel data short.
        RecordingSource pipe(bytes, false);
        EXPECT_EQ(LoadDib(pipe, block), row.loads ? 1 : 0);
    }
}

TEST(DibHostile, ForeignAndBrokenFilesAreRefused)
{
    struct Row {
        const char* what;
        std::string bytes;
    };
    const std::string good = WriteBmp({.width = 2, .height = 2, .bitCount = 24, .pixels = PackPixels(2, 24, {1, 2, 3, 4})});
    std::string longHeaderCut = WriteBmp({.headerSize = 108, .pixels = std::string(4, '\0')});
    longHeaderCut.resize(14 + 60);
    BmpFile farOffset{.width = 1, .height = 1, .bitCount = 24, .pixels = PackPixels(1, 24, {0}), .offBits = 0xFFFFFFFF};
    const Row rows[] = {
        {"empty file", ""},
        {"only BM", "BM"},
        {"file header alone", good.substr(0, 14)},
        {"information header cut", good.substr(0, 14 + 30)},
        {"OS/2 core header", CoreHeaderFile()},
        {"longer header cut", longHeaderCut},
        {"pixel data one byte short", good.substr(0, good.size() - 1)},
        {"bfOffBits beyond the end", WriteBmp(farOffset)},
        {"PNG signature", std::string("\x89PNG\r\n\x1A\n", 8) + std::string(100, '\0')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_FALSE(ParseDib(row.bytes).has_value());
    }
    EXPECT_TRUE(ParseDib(good).has_value());
}

TEST(DibHostile, MutatedFilesNeverBreakTheBlockLayout)
{
    const std::vector<std::string> seeds = {
        WriteBmp({.width = 3, .height = 2, .bitCount = 24, .pixels = PackPixels(3, 24, Ramp(6, 0xFFFFFF))}),
        WriteBmp({.width = 5, .height = 3, .bitCount = 4, .colours = Ramp(16, 0x1000000), .pixels = PackPixels(5, 4, Ramp(15, 16))}),
        WriteBmp({.width = 9, .height = -2, .bitCount = 1, .colours = {0, 0xFFFFFF}, .pixels = PackPixels(9, 1, Ramp(18, 2), true)}),
    };
    std::mt19937 random(20240611);
    int loaded = 0;
    for (int round = 0; round < 6000; ++round) {
        std::string bytes = seeds[static_cast<std::size_t>(round) % seeds.size()];
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
            // Header bytes are where the damage matters; hit them most.
            const std::size_t at = random() % 2 ? random() % 54 : random() % bytes.size();
            bytes[at] = static_cast<char>(random() % 3 == 0 ? 0xFF : random() % 256);
        }
        if (random() % 5 == 0)
            bytes.resize(random() % (bytes.size() + 1));
        const std::optional<DibBlock> block = ParseDib(bytes);
        if (!block)
            continue;
        ++loaded;
        const DibHeader header = block->header();
        SCOPED_TRACE(round);
        EXPECT_GE(header.size, 40u);
        EXPECT_LE(header.size, kMaxInfoHeaderSize);
        EXPECT_EQ(block->pixelOffset, header.size + 4u * ColourCount(header));
        EXPECT_EQ(block->bytes.size(), std::uint64_t{block->pixelOffset} + header.sizeImage);
        EXPECT_LE(block->bytes.size(), kMaxDibBlockSize);
        EXPECT_LE(header.width, kMaxDibDimension);
        EXPECT_LE(std::abs(header.height), kMaxDibDimension);
        if (const std::optional<LogicalPalette> palette = CreateDibPalette(*block)) {
            EXPECT_EQ(palette->entries.size(), ColourCount(header));
        }
    }
    // The mutations must leave some files loadable, or the checks above prove nothing.
    EXPECT_GT(loaded, 100);
}

// --- Palette ---

TEST(DibPalette, EntriesSwapBlueAndRedAndCarryNoFlags)
{
    const std::optional<DibBlock> block = ParseDib(WriteBmp(
        {.width = 1, .height = 1, .bitCount = 8, .clrUsed = 3, .colours = {0x102030, 0xA0B0C0, 0xFFFFFF}, .pixels = PackPixels(1, 8, {0})}));
    ASSERT_TRUE(block.has_value());
    const std::optional<LogicalPalette> palette = CreateDibPalette(*block);
    ASSERT_TRUE(palette.has_value());
    EXPECT_EQ(palette->version, 0x300);
    ASSERT_EQ(palette->entries.size(), 3u);
    struct Expected {
        std::uint8_t red, green, blue;
    };
    const Expected expected[] = {{0x10, 0x20, 0x30}, {0xA0, 0xB0, 0xC0}, {0xFF, 0xFF, 0xFF}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(palette->entries[i].red, expected[i].red);
        EXPECT_EQ(palette->entries[i].green, expected[i].green);
        EXPECT_EQ(palette->entries[i].blue, expected[i].blue);
        EXPECT_EQ(palette->entries[i].flags, 0);
    }
}

TEST(DibPalette, PicturesWithoutATableUseTheDefaultPalette)
{
    struct Row {
        BmpFile file;
        std::optional<std::size_t> entries;
    };
    const Row rows[] = {
        {{.width = 1, .height = 1, .bitCount = 24, .pixels = PackPixels(1, 24, {0})}, std::nullopt},
        {{.width = 1, .height = 1, .bitCount = 16, .pixels = PackPixels(1, 16, {0})}, std::nullopt},
        {{.width = 1, .height = 1, .bitCount = 32, .pixels = PackPixels(1, 32, {0})}, std::nullopt},
        {{.width = 1, .height = 1, .bitCount = 24, .clrUsed = 2, .colours = {1, 2}, .pixels = PackPixels(1, 24, {0})}, 2},
        {{.width = 1, .height = 1, .bitCount = 8, .colours = Ramp(256, 0x1000000), .pixels = PackPixels(1, 8, {0})}, 256},
        {{.width = 1, .height = 1, .bitCount = 1, .colours = {0, 0xFFFFFF}, .pixels = PackPixels(1, 1, {0})}, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.file.bitCount << " bits, biClrUsed " << row.file.clrUsed);
        const std::optional<DibBlock> block = ParseDib(WriteBmp(row.file));
        ASSERT_TRUE(block.has_value());
        const std::optional<LogicalPalette> palette = CreateDibPalette(*block);
        ASSERT_EQ(palette.has_value(), row.entries.has_value());
        if (palette) {
            EXPECT_EQ(palette->entries.size(), *row.entries);
        }
    }
}

TEST(DibPalette, NeverReadsPastAShortBlock)
{
    // A block made by hand whose header claims more colours than it holds.
    DibBlock block = *ParseDib(WriteBmp({.width = 1, .height = 1, .bitCount = 8, .clrUsed = 2, .colours = {5, 6}, .pixels = PackPixels(1, 8, {0})}));
    block.bytes[32] = 200;
    block.bytes.resize(block.pixelOffset);
    const std::optional<LogicalPalette> palette = CreateDibPalette(block);
    ASSERT_TRUE(palette.has_value());
    EXPECT_EQ(palette->entries.size(), 2u);
}

// --- Files on the machine ---

TEST(DibFile, ReadsThroughTheMachineLikeTheBytesInMemory)
{
    test::TestMachine testMachine;
    const std::string big = WriteBmp({.width = 200, .height = 120, .bitCount = 24,
                                      .pixels = PackPixels(200, 24, Ramp(200 * 120, 0xFFFFFF))});
    const std::string small = WriteBmp({.width = 2, .height = 1, .bitCount = 8, .colours = Ramp(256, 0x1000000),
                                        .pixels = PackPixels(2, 8, {3, 4}), .offBits = 0});
    test::WriteHostFile(testMachine.driveC() / "pics" / "big.bmp", big);
    test::WriteHostFile(testMachine.driveC() / "pics" / "\xE7\xB5\xB5.bmp", small);  // 絵.bmp
    test::WriteHostFile(testMachine.driveC() / "pics" / "cut.bmp", big.substr(0, big.size() - 1));
    const Machine machine = testMachine.Load();

    struct Row {
        std::string path;
        const std::string* expected;  // nothing: not loaded
    };
    const Row rows[] = {
        {"C:\\pics\\big.bmp", &big},
        {"c:\\PICS\\BIG.BMP", &big},
        {"C:/pics/big.bmp", &big},
        {"C:\\pics\\" + test::Sjis("絵.bmp"), &small},
        {"C:\\pics\\cut.bmp", nullptr},
        {"C:\\pics\\missing.bmp", nullptr},
        {"C:\\pics", nullptr},
        {"C:\\pics\\", nullptr},
        {"Q:\\big.bmp", nullptr},
        {"", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        DibBlock block{.bytes = {9}, .pixelOffset = 1};
        EXPECT_EQ(ReadDibFile(machine, row.path, block), row.expected ? 1 : 0);
        if (row.expected) {
            const std::optional<DibBlock> inMemory = ParseDib(*row.expected);
            ASSERT_TRUE(inMemory.has_value());
            EXPECT_EQ(block.bytes, inMemory->bytes);
            EXPECT_EQ(block.pixelOffset, inMemory->pixelOffset);
        } else {
            EXPECT_EQ(block.bytes, std::vector<std::uint8_t>{9});
        }
    }
}

}  // namespace
}  // namespace pelmo
