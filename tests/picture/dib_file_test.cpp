// The .bmp loader: block layout, pieces read, hostile headers, files on the machine.
#include "picture/dib_file.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/bmp_writer.h"
#include "tests/support/faults.h"
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
        const std::size_t from = std::min<std::size_t>(at, bytes.size()), n = std::min(size, bytes.size() - from);
        std::memcpy(to, bytes.data() + from, n);
        return reads.push_back(size), at += n, static_cast<long>(n);
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

// Bytes that repeat only every 251, so that data shifted by a piece or a header does not match.
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
    std::size_t reads = 0;  // refused after this many reads with the length known; 0: loads
    bool asksLength = false;
    std::vector<std::size_t> pipeReads;  // reads after the move to bfOffBits, length unknown
    std::uint32_t pixelOffset = 0, clrUsed = 0, sizeImage = 0;  // of the loaded block
};

TEST(DibLoad, FilesGiveTheirBlockOrAreRefusedEarly)
{
    const std::uint32_t maxImage = static_cast<std::uint32_t>(kMaxDibBlockSize) - 40;
    const std::vector<std::uint32_t> full(256, 0x123456), sixteen(16, 0x654321);
    const auto chunked = [&](std::uint32_t size) { return WriteBmp({.sizeImage = size, .pixels = Bytes(size), .offBits = 54}); };
    const Row rows[] = {
        {"24 bits carry no table", WriteBmp({.width = 3, .height = 2, .pixels = Bytes(24)}), 0, false, {24}, 40, 0, 24},
        {"8 bits with biClrUsed 0 take 256 colours", WriteBmp({.width = 4, .height = 2, .bitCount = 8, .colours = full, .pixels = Bytes(8)}), 0, false, {8}, 1064, 256, 8},
        {"8 bits with 3 colours", WriteBmp({.width = 4, .bitCount = 8, .clrUsed = 3, .colours = {1, 2, 3}, .pixels = Bytes(4)}), 0, false, {4}, 52, 3, 4},
        {"4 bits", WriteBmp({.width = 5, .height = 3, .bitCount = 4, .colours = sixteen, .pixels = Bytes(12)}), 0, false, {12}, 104, 16, 12},
        {"1 bit", WriteBmp({.width = 33, .height = 2, .bitCount = 1, .colours = {0, 0xFFFFFF}, .pixels = Bytes(16)}), 0, false, {16}, 48, 2, 16},
        {"16 bits", WriteBmp({.width = 3, .bitCount = 16, .pixels = Bytes(8)}), 0, false, {8}, 40, 0, 8},
        {"32 bits", WriteBmp({.width = 2, .bitCount = 32, .pixels = Bytes(8)}), 0, false, {8}, 40, 0, 8},
        {"24 bits with a table", WriteBmp({.clrUsed = 2, .colours = {0x102030, 0xA0B0C0}, .pixels = Bytes(4)}), 0, false, {4}, 48, 2, 4},
        {"biSizeImage beyond the rows", WriteBmp({.sizeImage = 10, .pixels = Bytes(10)}), 0, false, {10}, 40, 0, 10},
        {"top-down", WriteBmp({.width = 2, .height = -2, .pixels = Bytes(16)}), 0, false, {16}, 40, 0, 16}, {"empty", WriteBmp({.width = 0}), 0, false, {0}, 40, 0, 0},
        {"bfOffBits skips filler", WriteBmp({.width = 2, .bitCount = 8, .clrUsed = 2, .colours = {1, 2}, .pixels = "FILLER!!" + Bytes(4), .offBits = 70}), 0, false, {4}, 48, 2, 4},
        {"bfOffBits 0: right after the table", WriteBmp({.width = 2, .bitCount = 8, .clrUsed = 2, .colours = {1, 2}, .pixels = "FILL", .offBits = 0}), 0, false, {14, 40, 8, 4}, 48, 2, 4},
        {"bfOffBits back into the headers", WriteBmp({.width = 2, .bitCount = 8, .clrUsed = 2, .colours = {1, 2}, .pixels = "abcd", .offBits = 14}), 0, false, {4}, 48, 2, 4},
        {"short table read on into the pixels", WriteBmp({.bitCount = 8, .colours = {0xFF, 0xFF00}, .pixels = Bytes(4)}), 0, false, {4}, 1064, 256, 4},
        {"longer header kept whole", WriteBmp({.width = 2, .bitCount = 8, .headerSize = 124, .clrUsed = 2, .colours = {7, 8}, .pixels = "abcd"}), 0, false, {4}, 132, 2, 4},
        {"biClrUsed 65535", WriteBmp({.bitCount = 8, .clrUsed = 65535, .pixels = Bytes(4)}), 0, false, {4}, 40 + 4 * 65535, 65535, 4},
        {"width 65535", WriteBmp({.width = 65535, .bitCount = 1, .sizeImage = 4, .colours = {0, 1}, .pixels = "abcd"}), 0, false, {4}, 48, 2, 4},
        {"height -65535", WriteBmp({.height = -65535, .bitCount = 32, .sizeImage = 4, .pixels = "abcd"}), 0, false, {4}, 40, 0, 4}, {"one piece", chunked(32768), 0, false, {32768}, 40, 0, 32768},
        {"one byte over a piece", chunked(32769), 0, false, {32768, 1}, 40, 0, 32769}, {"many pieces", chunked(100000), 0, false, {32768, 32768, 32768, 1696}, 40, 0, 100000},
        {"bfOffBits far beyond, nothing to read", WriteBmp({.width = 0, .pixels = "abcd", .offBits = 0xFFFFFFFF}), 0, false, {0}, 40, 0, 0}, {"wrong magic", WriteBmp({.type = 0x4142}), 1},
        {"magic the wrong way round", WriteBmp({.type = 0x424D}), 1}, {"empty file", "", 1}, {"file header alone", WriteBmp({}).substr(0, 14), 2},
        {"longer header cut", WriteBmp({.headerSize = 41}).substr(0, 54), 3}, {"biSize 39", WriteBmp({.headerSize = 39}), 2}, {"OS/2 core header", WriteBmp({.headerSize = 12}), 2},
        {"biSize 125", WriteBmp({.headerSize = 125}), 2}, {"biSize huge", WriteBmp({.headerSize = 0xFFFFFFF0}), 2}, {"0 bits", WriteBmp({.bitCount = 0}), 2},
        {"2 bits", WriteBmp({.bitCount = 2}), 2}, {"negative width", WriteBmp({.width = -1}), 2}, {"width 65536", WriteBmp({.width = 65536}), 2},
        {"width INT32_MIN", WriteBmp({.width = INT32_MIN}), 2}, {"height 65536", WriteBmp({.height = 65536}), 2}, {"height -65536", WriteBmp({.height = -65536}), 2},
        {"height INT32_MIN", WriteBmp({.height = INT32_MIN}), 2}, {"biClrUsed 65536", WriteBmp({.bitCount = 8, .clrUsed = 65536}), 2},
        {"biSizeImage 0xFFFFFFFF", WriteBmp({.sizeImage = 0xFFFFFFFF}), 2}, {"biSizeImage one byte over 256 MiB", WriteBmp({.sizeImage = maxImage + 1}), 2},
        {"colour table pushes the block over", WriteBmp({.bitCount = 8, .sizeImage = maxImage - 1023}), 2}, {"size over 256 MiB", WriteBmp({.width = 65535, .height = 1025, .bitCount = 32}), 2},
        {"top-down size over 256 MiB", WriteBmp({.width = 65535, .height = -1025, .bitCount = 32}), 2},
        {"at 256 MiB the file is short", WriteBmp({.sizeImage = maxImage, .pixels = "abc"}), 2, true}, {"pixel data one byte short", WriteBmp({.sizeImage = 5, .pixels = "abcd"}), 2, true, {5}},
        {"bfOffBits one byte late", WriteBmp({.sizeImage = 4, .pixels = "abcd", .offBits = 55}), 2, true, {4}},
        {"bfOffBits far beyond", WriteBmp({.sizeImage = 4, .pixels = "abcd", .offBits = 0xFFFFFFFF}), 2, true, {4}},
        {"the first piece comes up short", WriteBmp({.sizeImage = 20000000, .pixels = "abcd"}), 2, true, {32768}},
        {"the last piece comes up short", WriteBmp({.sizeImage = 32769, .pixels = Bytes(32768)}), 2, true, {32768, 1}},
        {"a one-byte image without its byte", WriteBmp({.sizeImage = 1, .pixels = ""}), 2, true, {1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int loads = row.reads == 0;
        Recorder told(row.file, true), pipe(row.file, false);
        DibBlock block{.bytes = {1, 2, 3}, .pixelOffset = 7}, piped = block;
        EXPECT_EQ(LoadDib(told, block), loads);
        EXPECT_EQ(ParseDib(row.file).value_or(DibBlock{.bytes = {1, 2, 3}}).bytes, block.bytes);
        if (!row.pipeReads.empty()) {
            EXPECT_EQ(std::tuple(LoadDib(pipe, piped), pipe.reads, piped.bytes), std::tuple(loads, row.pipeReads, block.bytes));
        }
        if (!loads) {  // the block is left as it was
            EXPECT_EQ(std::tuple(block.bytes, block.pixelOffset, told.reads.size(), told.seeks, told.lengthAsked),
                      std::tuple(std::vector<std::uint8_t>{1, 2, 3}, 7u, row.reads, 0, int{row.asksLength}));
            continue;
        }
        // The header with biSizeImage and biClrUsed set, the table that follows it in the file (0 past its end), the pixels.
        std::string head = row.file.substr(14, row.pixelOffset - 4 * row.clrUsed);
        std::memcpy(&head[20], &row.sizeImage, 4);
        std::memcpy(&head[32], &row.clrUsed, 4);
        std::string table = row.file.substr(std::min(row.file.size(), 14 + head.size()), 4 * row.clrUsed);
        table.resize(4 * row.clrUsed, '\0');
        std::uint32_t offBits = 0;
        std::memcpy(&offBits, &row.file[10], 4);
        const std::string pixels = row.file.substr(std::min<std::size_t>(row.file.size(), offBits ? offBits : 14 + head.size() + table.size()), row.sizeImage);
        EXPECT_EQ(Str(block.bytes), head + table + pixels);
        EXPECT_EQ(Str(block.colourTable()), table);
        EXPECT_EQ(Str(block.pixels()), pixels);
        // Every copy cut short of the pixel data it holds is refused.
        for (std::size_t length = 0; length < row.file.size() && row.file.size() < 2000 && !pixels.empty() && row.file.ends_with(pixels); ++length) {
            Recorder cut(row.file.substr(0, length), false);
            EXPECT_EQ(LoadDib(cut, piped) + ParseDib(std::string_view(row.file).substr(0, length)).has_value(), 0) << "cut to " << length;
        }
        // A palette of the table's colours, blue and red swapped; none without biClrUsed.
        const std::optional<LogicalPalette> palette = CreateDibPalette(block);
        ASSERT_EQ(palette.has_value(), row.clrUsed != 0);
        if (!palette)
            continue;
        EXPECT_EQ(palette->version, 0x300);
        std::string colours;
        for (const PaletteEntry& e : palette->entries)
            colours += {char(e.blue), char(e.green), char(e.red), char(e.flags)};
        for (std::size_t i = 3; i < table.size(); i += 4)
            table[i] = '\0';
        EXPECT_EQ(colours, table);
        block.bytes.resize(row.pixelOffset - 4);  // a block too short for its table
        EXPECT_EQ(CreateDibPalette(block)->entries.size(), row.clrUsed - 1);
    }
}

TEST(DibLoad, FilesAreReadThroughTheMachine)
{
    test::TestMachine testMachine;
    const std::string big = WriteBmp({.width = 200, .height = 120, .pixels = Bytes(72000)});
    test::WriteHostFile(testMachine.driveC() / "pics" / "\xE7\xB5\xB5.bmp", big);  // 絵.bmp
    test::WriteHostFile(testMachine.driveC() / "pics" / "cut.bmp", big.substr(0, big.size() - 1));
    for (bool loads = true; const char* path : {"C:\\PICS\\\x8A\x47.BMP", "C:\\pics\\cut.bmp", "C:\\pics\\missing.bmp", "C:\\pics"}) {
        DibBlock block{.bytes = {9}};
        EXPECT_EQ(ReadDibFile(testMachine.Load(), path, block), loads ? 1 : 0) << path;
        EXPECT_EQ(block.bytes, loads ? ParseDib(big)->bytes : std::vector<std::uint8_t>{9}) << path;
        loads = false;
    }
    // Without its length the file is read to its end, and refused there.
    test::FaultScope unknownLength({.statFails = testMachine.driveC() / "pics" / "cut.bmp"});
    DibBlock block;
    EXPECT_EQ(ReadDibFile(testMachine.Load(), "C:\\pics\\cut.bmp", block), 0);
}

}  // namespace
}  // namespace pelmo
