// Pictures painted into images on the offscreen platform, checked pixel by pixel.
#include "picture/dib_draw.h"

#include <gtest/gtest.h>

#include "tests/support/bmp_writer.h"
#include "tests/support/test_machine.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace pelmo {
namespace {
using test::PackPixels, test::WriteBmp;

constexpr QRgb W = 0xFFFFFFFF, R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, Y = 0xFFFFFF00, K = 0xFF000000;
struct Probe { int x, y; QRgb colour; };

struct Row {
    const char* name;
    std::string file;  // empty: no file
    QRect target;
    std::vector<Probe> probes;  // none: nothing is painted
    int result = 1;
    QPoint shift{};      // the painter's translation
    bool frame = false;  // painted as the picture frame
};

// Paints each row's file on a white 100 x 60 canvas; outside the rectangle every pixel stays white.
// Every row writes the same file, so a picture kept from an earlier paint would show.
TEST(Draw, PicturesAreStretchedOverTheRectangleOnly)
{
    test::TestMachine testMachine;
    const Machine machine = testMachine.Load();
    const std::vector<std::uint32_t> quad = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    const std::string good = WriteBmp({.width = 2, .height = 2, .pixels = PackPixels(2, 24, quad)});
    std::vector<std::uint32_t> full(256, 0x808080), grid;
    full[7] = 0xFF0000, full[100] = 0x00FF00, full[200] = 0x0000FF, full[255] = 0xFFFF00;
    for (std::uint32_t i = 0; i < 16; ++i)
        grid.push_back((i % 4) << 16 | (i / 4) << 8 | 0x40);
    const QRect rect(20, 10, 40, 20);
    const std::vector<Probe> four = {{20, 10, R}, {39, 19, R}, {40, 10, G}, {59, 19, G}, {20, 20, B}, {39, 29, B}, {40, 20, Y}, {59, 29, Y}};
    const Row rows[] = {
        {"24 bits", good, rect, four}, {"24 bits top-down", WriteBmp({.width = 2, .height = -2, .pixels = PackPixels(2, 24, quad, true)}), rect, four},
        {"8 bits with 256 colours", WriteBmp({.width = 2, .height = 2, .bitCount = 8, .colours = full, .pixels = PackPixels(2, 8, {7, 100, 200, 255})}), rect, four},
        {"24 bits in padded rows", WriteBmp({.width = 3, .height = 2, .pixels = PackPixels(3, 24, {1, 2, 0x070809, 0xA0B0C0, 5, 0xD0E0F0})}), {0, 0, 3, 2},
         {{2, 0, 0xFF070809}, {0, 1, 0xFFA0B0C0}, {2, 1, 0xFFD0E0F0}}},
        {"32 bits ignore their fourth byte", WriteBmp({.width = 2, .bitCount = 32, .pixels = std::string("\3\2\1\xFF\6\5\4\x80", 8)}), {0, 0, 2, 1}, {{0, 0, 0xFF010203}, {1, 0, 0xFF040506}}},
        {"16 bits widen five bits to eight", WriteBmp({.width = 2, .bitCount = 16, .pixels = PackPixels(2, 16, {0x403F, 0x7FFF})}), {0, 0, 2, 1}, {{0, 0, 0xFF8408FF}, {1, 0, W}}},
        {"1 bit across a byte", WriteBmp({.width = 10, .bitCount = 1, .colours = {0, 0xFFFFFF}, .pixels = PackPixels(10, 1, {1, 0, 1, 1, 0, 0, 0, 1, 0, 1})}), {0, 0, 10, 1},
         {{0, 0, W}, {1, 0, K}, {7, 0, W}, {8, 0, K}, {9, 0, W}}},
        {"4 bits high nibble first", WriteBmp({.width = 3, .bitCount = 4, .clrUsed = 3, .colours = {0x112233, 0x445566, 0x778899}, .pixels = PackPixels(3, 4, {0, 2, 1})}),
         {0, 0, 3, 1}, {{0, 0, 0xFF112233}, {1, 0, 0xFF778899}, {2, 0, 0xFF445566}}},
        {"indexes beyond the table are black", WriteBmp({.width = 3, .bitCount = 8, .clrUsed = 2, .colours = {0x112233, 0x445566}, .pixels = PackPixels(3, 8, {1, 2, 255})}),
         {0, 0, 3, 1}, {{0, 0, 0xFF445566}, {1, 0, K}, {2, 0, K}}},
        {"shrinking takes the pixel under each centre", WriteBmp({.width = 4, .height = 4, .pixels = PackPixels(4, 24, grid)}), {0, 0, 2, 2},
         {{0, 0, 0xFF010140}, {1, 0, 0xFF030140}, {0, 1, 0xFF010340}, {1, 1, 0xFF030340}}},
        {"far larger than the canvas", good, {0, 0, 1000000, 1000000}, {{0, 0, R}, {99, 59, R}}}, {"across the canvas corner", good, {-50, -40, 100, 80}, {{0, 0, Y}, {49, 39, Y}}},
        {"moved by the painter", good, {-10, -10, 20, 20}, {{20, 10, R}, {39, 29, Y}}, 1, {30, 20}}, {"empty rectangle", good, {5, 5, 0, 10}}, {"inverted rectangle", good, {5, 5, -10, 10}},
        {"missing file", "", rect, {}, 0},
        {"run-length compressed", WriteBmp({.width = 2, .height = 2, .bitCount = 8, .compression = 1, .sizeImage = 6, .colours = {0xFF0000}, .pixels = std::string("\2\0\0\1\0\0", 6)}), rect},
        {"biSizeImage shorter than the rows", WriteBmp({.width = 2, .height = 2, .sizeImage = 8, .pixels = std::string(8, '\x7F')}), rect},
        {"no pixels", WriteBmp({.width = 0, .height = 0}), rect},
        {"a frame without its picture", "", {10, 5, 30, 20}, {{10, 5, K}, {39, 24, K}, {25, 5, K}, {10, 15, K}, {39, 15, K}, {25, 24, K}, {11, 6, W}, {38, 23, W}}, 0, {}, true},
        {"a frame covered by its picture", good, {10, 5, 30, 20}, {{10, 5, R}, {39, 5, G}, {10, 24, B}, {39, 24, Y}, {24, 14, R}, {25, 15, Y}}, 1, {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto file = testMachine.driveC() / "p.bmp";
        row.file.empty() ? void(std::filesystem::remove(file)) : test::WriteHostFile(file, row.file);
        QImage image(100, 60, QImage::Format_RGB32);
        image.fill(W);
        QPainter painter(&image);
        painter.translate(row.shift);
        EXPECT_EQ((row.frame ? PaintPictureFrame : DrawDibFile)(painter, row.target, machine, "C:\\P.BMP"), row.result);
        painter.end();
        const QRect painted = row.probes.empty() && !row.frame ? QRect() : row.target.translated(row.shift);
        for (int i = 0; i < 6000; ++i)
            if (!painted.contains(i % 100, i / 100) && image.pixel(i % 100, i / 100) != W)
                ADD_FAILURE() << "painted at " << i % 100 << "," << i / 100;
        for (const Probe& p : row.probes)
            EXPECT_EQ(image.pixel(p.x, p.y), p.colour) << "at " << p.x << "," << p.y;
    }
}

}  // namespace
}  // namespace pelmo
