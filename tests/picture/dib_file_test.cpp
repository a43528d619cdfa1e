// The .bmp loader: block layout, pieces read, hostile headers, files on the machine.
#include "picture/dib_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <numeric>

#include "tests/support/bmp_writer.h"
#include "tests/support/test_machine.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace pelmo {
namespace {

using test::WriteBmp;

// A file in memory that records its reads and moves, and hides its length as a pipe does.
struct Recorder final : DibSource {
    Recorder(std::string b, bool tells) : bytes(std::move(b)), tellsLength(tells) {}
    long Read(void* to, std::size_t size) override
    {
        reads.push_back(size);
        const std::size_t n = at < bytes.size() ? std::min(size, bytes.size() - at) : 0;
        std::memcpy(to, bytes.data() + std::min<std::size_t>(at, bytes.size()), n);
        at += n;
        return static_cast<long>(n);
    }
    bool Seek(std::uint64_t offset) override { return ++seeks, reads.clear(), at = offset, true; }
    std::optional<std::uint64_t> Length() const override { return ++lengthAsked, tellsLength ? std::optional(std::uint64_t{bytes.size()}) : std::nullopt; }
    std::string bytes;
    bool tellsLength;
    std::uint64_t at = 0;
    std::vector<std::size_t> reads;  // since the last move
    int seeks = 0;
    mutable int lengthAsked = 0;
};

// Distinct bytes that no off-by-one shift of the data would keep equal.
std::string Bytes(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>(i * 31 % 251);
    return bytes;
}

std::string Str(std::span<const std::uint8_t> span) { return {span.begin(), span.end()}; }

struct Row {
    const char* name;
    std::string file;
    std::size_t reads = 0;  // refused: reads made, length known; 0: loads
    bool asksLength = false;
    std::vector<std::size_t> pipeReads;  // reads after the move to bfOffBits, length unknown
    std::uint32_t pixelOffset = 0, clrUsed = 0, sizeImage = 0;  // of the loaded block
};

TEST(DibLoad, FilesGiveTheirBlockOrAreRefusedEarly)
{
    const std::uint32_t maxImage = static_cast<std::uint32_t>(kMaxDibBlockSize) - 40;
    const std::string p = Bytes(100000), filler = "FILLER!!" + p.substr(0, 4);
    std::vector<std::uint32_t> full(256), sixteen(16);
    std::iota(full.begin(), full.end(), 0x123400u), std::iota(sixteen.begin(), sixteen.end(), 0xABCD00u);
    const auto chunked = [&](std::uint32_t size) { return WriteBmp({.sizeImage = size, .pixels = p.substr(0, size), .offBits = 54}); };
    const Row rows[] = {
        {"24 bits carry no table", WriteBmp({.width = 3, .height = 2, .pixels = p.substr(0, 24)}), 0, false, {24}, 40, 0, 24},
        {"8 bits with biClrUsed 0 take 256 colours", WriteBmp({.width = 4, .height = 2, .bitCount = 8, .colours = full, .pixels = p.substr(0, 8)}), 0, false, {8}, 1064, 256, 8},
        {"8 bits with 3 colours", WriteBmp({.width = 4, .bitCount = 8, .clrUsed = 3, .colours = {1, 2, 3}, .pixels = p.substr(0, 4)}), 0, false, {4}, 52, 3, 4},
        {"4 bits", WriteBmp({.width = 5, .height = 3, .bitCount = 4, .colours = sixteen, .pixels = p.substr(0, 12)}), 0, false, {12}, 104, 16, 12},
        {"1 bit", WriteBmp({.width = 33, .height = 2, .bitCount = 1, .colours = {0, 0xFFFFFF}, .pixels = p.substr(0, 16)}), 0, false, {16}, 48, 2, 16},
        {"16 bits", WriteBmp({.width = 3, .height = 2, .bitCount = 16, .pixels = p.substr(0, 16)}), 0, false, {16}, 40, 0, 16},
        {"32 bits", WriteBmp({.width = 2, .height = 2, .bitCount = 32, .pixels = p.substr(0, 16)}), 0, false, {16}, 40, 0, 16},
        {"24 bits with a table", WriteBmp({.clrUsed = 2, .colours = {0x102030, 0xA0B0C0}, .pixels = p.substr(0, 4)}), 0, false, {4}, 48, 2, 4},
        {"biSizeImage beyond the rows", WriteBmp({.sizeImage = 10, .pixels = p.substr(0, 10)}), 0, false, {10}, 40, 0, 10},
        {"top-down", WriteBmp({.width = 2, .height = -2, .pixels = p.substr(0, 16)}), 0, false, {16}, 40, 0, 16},
        {"empty", WriteBmp({.width = 0, .height = 0}), 0, false, {0}, 40, 0, 0},
        {"bfOffBits skips filler", WriteBmp({.width = 2, .bitCount = 8, .clrUsed = 2, .colours = {1, 2}, .pixels = "FILLER!!" + p.substr(0, 4), .offBits = 70}), 0, false, {4}, 48, 2, 4},
        {"bfOffBits 0: right after the table", WriteBmp({.width = 2, .bitCount = 8, .clrUsed = 2, .colours = {1, 2}, .pixels = filler, .offBits = 0}), 0, false, {14, 40, 8, 4}, 48, 2, 4},
        {"bfOffBits back into the headers", WriteBmp({.width = 2, .bitCount = 8, .clrUsed = 2, .colours = {1, 2}, .pixels = "abcd", .offBits = 14}), 0, false, {4}, 48, 2, 4},
        {"short table read on into the pixels", WriteBmp({.bitCount = 8, .colours = {0xFF, 0xFF00}, .pixels = p.substr(0, 4)}), 0, false, {4}, 1064, 256, 4},
        {"longer header kept whole", WriteBmp({.width = 2, .bitCount = 8, .headerSize = 108, .clrUsed = 2, .colours = {0xABCDEF, 0x123456}, .pixels = "abcd"}), 0, false, {4}, 116, 2, 4},
        {"biClrUsed 65535", WriteBmp({.bitCount = 8, .clrUsed = 65535, .pixels = p.substr(0, 4)}), 0, false, {4}, 40 + 4 * 65535, 65535, 4},
        {"width 65535", WriteBmp({.width = 65535, .bitCount = 1, .sizeImage = 4, .colours = {0, 1}, .pixels = "abcd"}), 0, false, {4}, 48, 2, 4},
        {"height -65535", WriteBmp({.height = -65535, .bitCount = 32, .sizeImage = 4, .pixels = "abcd"}), 0, false, {4}, 40, 0, 4},
        {"one piece", chunked(32768), 0, false, {32768}, 40, 0, 32768},
        {"one byte over a piece", chunked(32769), 0, false, {32768, 1}, 40, 0, 32769},
        {"many pieces", chunked(100000), 0, false, {32768, 32768, 32768, 1696}, 40, 0, 100000},
        {"bfOffBits far beyond, nothing to read", WriteBmp({.width = 0, .pixels = "abcd", .offBits = 0xFFFFFFFF}), 0, false, {0}, 40, 0, 0},
        {"wrong magic", WriteBmp({.type = 0x4142}), 1}, {"magic the wrong way round", WriteBmp({.type = 0x424D}), 1}, {"empty file", "", 1},
        {"file header alone", WriteBmp({}).substr(0, 14), 2}, {"longer header cut", WriteBmp({.headerSize = 108}).substr(0, 74), 3},
        {"biSize 39", WriteBmp({.headerSize = 39}), 2}, {"OS/2 core header", WriteBmp({.headerSize = 12}), 2},
        {"biSize 125", WriteBmp({.headerSize = 125}), 2}, {"biSize huge", WriteBmp({.headerSize = 0xFFFFFFF0}), 2},
        {"0 bits", WriteBmp({.bitCount = 0}), 2}, {"2 bits", WriteBmp({.bitCount = 2}), 2}, {"negative width", WriteBmp({.width = -1}), 2},
        {"width 65536", WriteBmp({.width = 65536}), 2}, {"width INT32_MIN", WriteBmp({.width = std::numeric_limits<std::int32_t>::min()}), 2},
        {"height 65536", WriteBmp({.height = 65536}), 2}, {"height -65536", WriteBmp({.height = -65536}), 2},
        {"height INT32_MIN", WriteBmp({.height = std::numeric_limits<std::int32_t>::min()}), 2},
        {"biClrUsed 65536", WriteBmp({.bitCount = 8, .clrUsed = 65536}), 2}, {"biSizeImage 0xFFFFFFFF", WriteBmp({.sizeImage = 0xFFFFFFFF}), 2},
        {"biSizeImage one byte over 256 MiB", WriteBmp({.sizeImage = maxImage + 1}), 2},
        {"colour table pushes the block over", WriteBmp({.bitCount = 8, .sizeImage = maxImage - 1023}), 2},
        {"computed size over the limit", WriteBmp({.width = 65535, .height = 1025, .bitCount = 32}), 2},
        {"top-down size over the limit", WriteBmp({.width = 65535, .height = -1025, .bitCount = 32}), 2},
        {"exactly at the limit the file is too short", WriteBmp({.sizeImage = maxImage, .pixels = "abc"}), 2, true},
        {"pixel data one byte short", WriteBmp({.sizeImage = 5, .pixels = "abcd"}), 2, true, {5}},
        {"bfOffBits one byte late", WriteBmp({.sizeImage = 4, .pixels = "abcd", .offBits = 55}), 2, true, {4}},
        {"bfOffBits far beyond", WriteBmp({.sizeImage = 4, .pixels = "abcd", .offBits = 0xFFFFFFFF}), 2, true, {4}},
        {"the first piece comes up short", WriteBmp({.sizeImage = 20000000, .pixels = "abcd"}), 2, true, {32768}},
        {"the last piece comes up short", WriteBmp({.sizeImage = 32769, .pixels = p.substr(0, 32768)}), 2, true, {32768, 1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int loads = row.reads == 0;
        Recorder told(row.file, true), pipe(row.file, false);
        DibBlock block{.bytes = {1, 2, 3}, .pixelOffset = 7}, piped = block;
        EXPECT_EQ(LoadDib(told, block), loads);
        EXPECT_EQ(ParseDib(row.file).has_value(), loads == 1);
        if (!row.pipeReads.empty()) {
            EXPECT_EQ(LoadDib(pipe, piped), loads);
            EXPECT_EQ(pipe.reads, row.pipeReads);
            EXPECT_EQ(piped.bytes, block.bytes);
        }
        if (!loads) {
            EXPECT_EQ(block.bytes, (std::vector<std::uint8_t>{1, 2, 3}));  // left as it was
            EXPECT_EQ(block.pixelOffset, 7u);
            EXPECT_EQ(told.reads.size(), row.reads);
            EXPECT_EQ(told.seeks, 0);
            EXPECT_EQ(told.lengthAsked, row.asksLength);
            continue;
        }
        // The header with biSizeImage and biClrUsed filled in, the colour table as it
        // follows the header in the file (zeros past its end), the pixels at bfOffBits.
        std::string head = row.file.substr(14, row.pixelOffset - 4 * row.clrUsed);
        std::memcpy(&head[20], &row.sizeImage, 4);
        std::memcpy(&head[32], &row.clrUsed, 4);
        std::string table = row.file.substr(std::min(row.file.size(), 14 + head.size()), 4 * row.clrUsed);
        table.resize(4 * row.clrUsed, '\0');
        std::uint32_t offBits = 0;
        std::memcpy(&offBits, &row.file[10], 4);
        const std::string pixels = row.file.substr(std::min<std::size_t>(row.file.size(), offBits ? offBits : 14 + head.size() + table.size()), row.sizeImage);
        EXPECT_EQ(block.pixelOffset, row.pixelOffset);
        EXPECT_EQ(Str(block.bytes), head + table + pixels);
        EXPECT_EQ(Str(block.colourTable()), table);
        EXPECT_EQ(Str(block.pixels()), pixels);
        EXPECT_EQ(ParseDib(row.file)->bytes, block.bytes);
        // A palette of the table's colours, blue and red swapped; none without biClrUsed.
        const std::optional<LogicalPalette> palette = CreateDibPalette(block);
        ASSERT_EQ(palette.has_value(), row.clrUsed != 0);
        if (!palette)
            continue;
        EXPECT_EQ(palette->version, 0x300);
        ASSERT_EQ(palette->entries.size(), row.clrUsed);
        for (std::size_t i = 0; i < row.clrUsed; i += 1 + row.clrUsed / 300) {
            const PaletteEntry& e = palette->entries[i];
            EXPECT_EQ((std::string{char(e.blue), char(e.green), char(e.red), char(e.flags)}), table.substr(4 * i, 3) + '\0');
        }
    }
}

TEST(DibLoad, EveryCutShortCopyIsRefused)
{
    for (const std::string& bytes : {WriteBmp({.width = 3, .height = 2, .pixels = Bytes(24)}),
                                     WriteBmp({.width = 4, .bitCount = 8, .colours = std::vector<std::uint32_t>(256, 7), .pixels = "abcd"}),
                                     WriteBmp({.width = 4, .bitCount = 8, .colours = std::vector<std::uint32_t>(256, 7), .pixels = "abcd", .offBits = 0})}) {
        ASSERT_TRUE(ParseDib(bytes).has_value());
        for (std::size_t length = 0; length < bytes.size(); ++length) {
            SCOPED_TRACE(testing::Message() << bytes.size() << " bytes cut to " << length);
            EXPECT_FALSE(ParseDib(std::string_view(bytes).substr(0, length)).has_value());
            Recorder pipe(bytes.substr(0, length), false);
            DibBlock block;
            EXPECT_EQ(LoadDib(pipe, block), 0);
        }
    }
}

TEST(DibLoad, PaletteNeverReadsPastAShortBlock)
{
    DibBlock block = *ParseDib(WriteBmp({.bitCount = 8, .clrUsed = 2, .colours = {5, 6}, .pixels = "abcd"}));
    block.bytes[32] = 200;
    block.bytes.resize(block.pixelOffset);
    EXPECT_EQ(CreateDibPalette(block)->entries.size(), 2u);
}

TEST(DibLoad, FilesAreReadThroughTheMachine)
{
    test::TestMachine testMachine;
    const std::string big = WriteBmp({.width = 200, .height = 120, .pixels = Bytes(72000)});
    test::WriteHostFile(testMachine.driveC() / "pics" / "\xE7\xB5\xB5.bmp", big);  // 絵.bmp
    test::WriteHostFile(testMachine.driveC() / "pics" / "cut.bmp", big.substr(0, big.size() - 1));
    const Machine machine = testMachine.Load();
    const std::pair<std::string, bool> paths[] = {{"C:\\PICS\\" + test::Sjis("絵.bmp"), true}, {"C:\\pics\\cut.bmp", false},
                                                  {"C:\\pics\\missing.bmp", false}, {"C:\\pics", false}};
    for (const auto& [path, loads] : paths) {
        SCOPED_TRACE(path);
        DibBlock block{.bytes = {9}, .pixelOffset = 1};
        EXPECT_EQ(ReadDibFile(machine, path, block), loads ? 1 : 0);
        EXPECT_EQ(block.bytes, loads ? ParseDib(big)->bytes : std::vector<std::uint8_t>{9});
    }
}

}  // namespace
}  // namespace pelmo
