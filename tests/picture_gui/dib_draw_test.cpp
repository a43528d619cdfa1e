// Tests of picture drawing: pictures painted into images and checked pixel by pixel.
#include "picture/dib_draw.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <filesystem>
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

constexpr QRgb kCanvas = 0xFFFFFFFF;  // what the image holds before painting
constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kGreen = 0xFF00FF00;
constexpr QRgb kBlue = 0xFF0000FF;
constexpr QRgb kYellow = 0xFFFFFF00;
constexpr QRgb kBlack = 0xFF000000;

std::string HexColour(QRgb colour)
{
    return QString::number(colour, 16).toStdString();
}

struct Probe {
    int x;
    int y;
    QRgb colour;
};

void ExpectPixels(const QImage& image, const std::vector<Probe>& probes)
{
    for (const Probe& probe : probes) {
        SCOPED_TRACE(testing::Message() << "at " << probe.x << "," << probe.y);
        EXPECT_EQ(HexColour(image.pixel(probe.x, probe.y)), HexColour(probe.colour));
    }
}

// A machine with the pictures in C:\pics.
class DrawTest : public testing::Test {
protected:
    std::string Put(const std::string& name, const std::string& bytes)
    {
        test::WriteHostFile(testMachine_.driveC() / "pics" / name, bytes);
        return "C:\\pics\\" + name;
    }

    // Paints onto a fresh white canvas; `result` gets what DrawDibFile returned.
    QImage Draw(const std::string& path, QSize canvas, QRect target, int* result = nullptr)
    {
        QImage image(canvas, QImage::Format_RGB32);
        image.fill(kCanvas);
        QPainter painter(&image);
        const int drawn = DrawDibFile(painter, target, machine_, path);
        if (result)
            *result = drawn;
        return image;
    }

    bool Untouched(const QImage& image)
    {
        QImage blank(image.size(), QImage::Format_RGB32);
        blank.fill(kCanvas);
        return image == blank;
    }

    test::TestMachine testMachine_;
    Machine machine_ = testMachine_.Load();
};

// Top left red, top right green, bottom left blue, bottom right yellow.
const std::vector<std::uint32_t> kQuadrants = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};

std::vector<Probe> QuadrantProbes(int width, int height)
{
    const int w = width - 1;
    const int h = height - 1;
    const int midX = width / 2;
    const int midY = height / 2;
    return {
        {0, 0, kRed},       {midX - 1, midY - 1, kRed},   {10, 10, kRed},
        {w, 0, kGreen},     {midX, midY - 1, kGreen},     {w - 10, 10, kGreen},
        {0, h, kBlue},      {midX - 1, midY, kBlue},      {10, h - 10, kBlue},
        {w, h, kYellow},    {midX, midY, kYellow},        {w - 10, h - 10, kYellow},
    };
}

TEST_F(DrawTest, EveryPixelDepthIsStretchedOverTheRectangle)
{
    // Colour tables list the four quadrant colours among decoys, so that the index
    // read from each pixel matters.
    const std::vector<std::uint32_t> sixteen = {0x123456, 0xFF0000, 0x654321, 0x00FF00, 0x111111, 0x0000FF,
                                                0x222222, 0x333333, 0x444444, 0x555555, 0x666666, 0x777777,
                                                0x888888, 0x999999, 0xAAAAAA, 0xFFFF00};
    std::vector<std::uint32_t> full(256, 0x808080);
    full[7] = 0xFF0000;
    full[100] = 0x00FF00;
    full[200] = 0x0000FF;
    full[255] = 0xFFFF00;
    struct Row {
        const char* what;
        BmpFile file;
    };
    const Row rows[] = {
        {"24 bits", {.width = 2, .height = 2, .bitCount = 24, .pixels = PackPixels(2, 24, kQuadrants)}},
        {"24 bits top-down", {.width = 2, .height = -2, .bitCount = 24, .pixels = PackPixels(2, 24, kQuadrants, true)}},
        {"32 bits", {.width = 2, .height = 2, .bitCount = 32, .pixels = PackPixels(2, 32, kQuadrants)}},
        {"16 bits 5-5-5", {.width = 2, .height = 2, .bitCount = 16, .pixels = PackPixels(2, 16, {0x7C00, 0x03E0, 0x001F, 0x7FE0})}},
        {"8 bits", {.width = 2, .height = 2, .bitCount = 8, .colours = full, .pixels = PackPixels(2, 8, {7, 100, 200, 255})}},
        {"4 bits", {.width = 2, .height = 2, .bitCount = 4, .colours = sixteen, .pixels = PackPixels(2, 4, {1, 3, 5, 15})}},
        {"1 bit", {.width = 2, .height = 2, .bitCount = 1, .clrUsed = 2, .colours = {0xFF0000, 0x00FF00},
                   .pixels = PackPixels(2, 1, {0, 1, 0, 1})}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = Put("quad.bmp", WriteBmp(row.file));
        int result = 0;
        const QImage image = Draw(path, {100, 60}, {0, 0, 100, 60}, &result);
        EXPECT_EQ(result, 1);
        if (row.file.bitCount == 1) {
            // Two colours only: left half red, right half green.
            ExpectPixels(image, {{0, 0, kRed}, {49, 59, kRed}, {50, 0, kGreen}, {99, 59, kGreen}});
        } else {
            ExpectPixels(image, QuadrantProbes(100, 60));
        }
    }
}

TEST_F(DrawTest, PixelsAreDecodedExactlyAtTheirOwnSize)
{
    // Pictures three pixels wide, so that every row is padded and, for 1 and 4
    // bits, pixels share bytes.
    struct Row {
        const char* what;
        BmpFile file;
        std::vector<QRgb> expected;  // top row first
    };
    const std::vector<std::uint32_t> mono = {0x000000, 0xFFFFFF};
    const Row rows[] = {
        {"24 bits",
         {.width = 3, .height = 2, .bitCount = 24, .pixels = PackPixels(3, 24, {0x010203, 0x040506, 0x070809, 0xA0B0C0, 0xD0E0F0, 0xFFFFFF})},
         {0xFF010203, 0xFF040506, 0xFF070809, 0xFFA0B0C0, 0xFFD0E0F0, 0xFFFFFFFF}},
        {"32 bits ignore their fourth byte",
         {.width = 3, .height = 1, .bitCount = 32, .sizeImage = 12, .pixels = std::string("\x03\x02\x01\xFF\x06\x05\x04\x80\x09\x08\x07\x01", 12)},
         {0xFF010203, 0xFF040506, 0xFF070809}},
        {"16 bits widen five bits to eight",
         {.width = 3, .height = 1, .bitCount = 16, .pixels = PackPixels(3, 16, {0x4210, 0x0421, 0x7FFF})},
         {0xFF848484, 0xFF080808, 0xFFFFFFFF}},
        {"1 bit across a byte boundary",
         {.width = 10, .height = 1, .bitCount = 1, .colours = mono, .pixels = PackPixels(10, 1, {1, 0, 1, 1, 0, 0, 0, 1, 0, 1})},
         {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF}},
        {"4 bits, high nibble first",
         {.width = 3, .height = 1, .bitCount = 4, .clrUsed = 3, .colours = {0x112233, 0x445566, 0x778899}, .pixels = PackPixels(3, 4, {2, 0, 1})},
         {0xFF778899, 0xFF112233, 0xFF445566}},
        {"8 bits beyond a short colour table show black",
         {.width = 3, .height = 1, .bitCount = 8, .clrUsed = 2, .colours = {0x112233, 0x445566}, .pixels = PackPixels(3, 8, {1, 2, 255})},
         {0xFF445566, kBlack, kBlack}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = Put("exact.bmp", WriteBmp(row.file));
        const int width = row.file.width;
        const int height = static_cast<int>(row.expected.size()) / width;
        const QImage image = Draw(path, {width, height}, {0, 0, width, height});
        for (int i = 0; i < static_cast<int>(row.expected.size()); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(HexColour(image.pixel(i % width, i / width)), HexColour(row.expected[static_cast<std::size_t>(i)]));
        }
    }
}

TEST_F(DrawTest, ShrinkingTakesThePixelUnderEachCentre)
{
    // Four columns and rows of distinct colours shrunk to two: columns and rows 1
    // and 3 are the ones under the centres.
    std::vector<std::uint32_t> values;
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 4; ++x)
            values.push_back(x << 16 | y << 8 | 0x40);
    const std::string path = Put("shrink.bmp", WriteBmp({.width = 4, .height = 4, .bitCount = 24, .pixels = PackPixels(4, 24, values)}));
    const QImage image = Draw(path, {2, 2}, {0, 0, 2, 2});
    ExpectPixels(image, {{0, 0, 0xFF010140}, {1, 0, 0xFF030140}, {0, 1, 0xFF010340}, {1, 1, 0xFF030340}});
}

TEST_F(DrawTest, OnlyTheRectangleIsPainted)
{
    const std::string path = Put("quad.bmp", WriteBmp({.width = 2, .height = 2, .bitCount = 24, .pixels = PackPixels(2, 24, kQuadrants)}));
    const QImage image = Draw(path, {100, 60}, {20, 10, 40, 20});
    ExpectPixels(image, {
                            {20, 10, kRed}, {39, 19, kRed}, {40, 10, kGreen}, {59, 19, kGreen},
                            {20, 20, kBlue}, {39, 29, kBlue}, {40, 20, kYellow}, {59, 29, kYellow},
                            {19, 10, kCanvas}, {20, 9, kCanvas}, {60, 29, kCanvas}, {59, 30, kCanvas},
                            {0, 0, kCanvas}, {99, 59, kCanvas},
                        });
}

TEST_F(DrawTest, RectangleFarLargerThanTheDeviceCostsOnlyWhatShows)
{
    const std::string path = Put("quad.bmp", WriteBmp({.width = 2, .height = 2, .bitCount = 24, .pixels = PackPixels(2, 24, kQuadrants)}));
    // Only the top left of a rectangle of a million pixels square lies on the image.
    const QImage image = Draw(path, {50, 40}, {0, 0, 1000000, 1000000});
    ExpectPixels(image, {{0, 0, kRed}, {49, 39, kRed}});
    // A rectangle that straddles the image's top left corner.
    const QImage shifted = Draw(path, {50, 40}, {-50, -40, 100, 80});
    ExpectPixels(shifted, {{0, 0, kYellow}, {49, 39, kYellow}});
}

TEST_F(DrawTest, PainterTransformMovesThePicture)
{
    const std::string path = Put("quad.bmp", WriteBmp({.width = 2, .height = 2, .bitCount = 24, .pixels = PackPixels(2, 24, kQuadrants)}));
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(kCanvas);
    {
        QPainter painter(&image);
        painter.translate(30, 20);
        EXPECT_EQ(DrawDibFile(painter, {-10, -10, 20, 20}, machine_, path), 1);
    }
    ExpectPixels(image, {{20, 10, kRed}, {39, 29, kYellow}, {19, 10, kCanvas}, {40, 29, kCanvas}, {0, 0, kCanvas}});
}

TEST_F(DrawTest, PicturesThatDoNotLoadOrShowLeaveTheAreaAsItWas)
{
    struct Row {
        const char* what;
        std::string bytes;  // empty: no file at all
        int result;
    };
    const std::string good = WriteBmp({.width = 2, .height = 2, .bitCount = 24, .pixels = PackPixels(2, 24, kQuadrants)});
    const Row rows[] = {
        {"missing file", "", 0},
        {"pixel data ends early", good.substr(0, good.size() - 1), 0},
        {"not a bitmap", "GIF89a" + std::string(100, '\0'), 0},
        {"core header", WriteBmp({.headerSize = 12, .pixels = std::string(8, '\0')}), 0},
        // Loaded, but the drawing cannot show them, as the platform's stretched
        // drawing would refuse them.
        {"run-length compressed", WriteBmp({.width = 2, .height = 2, .bitCount = 8, .compression = 1, .sizeImage = 6,
                                            .colours = {0xFF0000}, .pixels = std::string("\x02\x00\x00\x01\x00\x00", 6)}), 1},
        {"biSizeImage shorter than the rows", WriteBmp({.width = 2, .height = 2, .bitCount = 24, .sizeImage = 8, .pixels = std::string(8, '\x7F')}), 1},
        {"no pixels at all", WriteBmp({.width = 0, .height = 0, .bitCount = 24}), 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string path = row.bytes.empty() ? "C:\\pics\\nothing.bmp" : Put("bad.bmp", row.bytes);
        int result = -1;
        const QImage image = Draw(path, {30, 20}, {0, 0, 30, 20}, &result);
        EXPECT_EQ(result, row.result);
        EXPECT_TRUE(Untouched(image));
    }
    // An empty rectangle is not drawn into, but the picture still loads.
    const std::string path = Put("quad.bmp", good);
    int result = -1;
    EXPECT_TRUE(Untouched(Draw(path, {30, 20}, {5, 5, 0, 10}, &result)));
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(Untouched(Draw(path, {30, 20}, {5, 5, -10, 10}, &result)));
    EXPECT_EQ(result, 1);
}

TEST_F(DrawTest, EveryPaintReadsTheFileAgain)
{
    const std::string path = Put("live.bmp", WriteBmp({.width = 1, .height = 1, .bitCount = 24, .pixels = PackPixels(1, 24, {0xFF0000})}));
    ExpectPixels(Draw(path, {10, 10}, {0, 0, 10, 10}), {{5, 5, kRed}});
    Put("live.bmp", WriteBmp({.width = 1, .height = 1, .bitCount = 24, .pixels = PackPixels(1, 24, {0x0000FF})}));
    ExpectPixels(Draw(path, {10, 10}, {0, 0, 10, 10}), {{5, 5, kBlue}});
    std::filesystem::remove(testMachine_.driveC() / "pics" / "live.bmp");
    int result = -1;
    EXPECT_TRUE(Untouched(Draw(path, {10, 10}, {0, 0, 10, 10}, &result)));
    EXPECT_EQ(result, 0);
}

// --- The picture frame ---

QImage PaintFrame(const Machine& machine, const std::string& path, QRect frame, int* result)
{
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(kCanvas);
    QPainter painter(&image);
    *result = PaintPictureFrame(painter, frame, machine, path);
    return image;
}

TEST_F(DrawTest, FrameShowsBlackWhereThePictureIsMissing)
{
    int result = -1;
    const QImage image = PaintFrame(machine_, "C:\\pics\\none.bmp", {10, 5, 30, 20}, &result);
    EXPECT_EQ(result, 0);
    ExpectPixels(image, {
                            {10, 5, kBlack}, {39, 5, kBlack}, {10, 24, kBlack}, {39, 24, kBlack}, {25, 5, kBlack},
                            {10, 15, kBlack}, {39, 15, kBlack}, {25, 24, kBlack},
                            {11, 6, kCanvas}, {38, 23, kCanvas}, {25, 15, kCanvas},
                            {9, 5, kCanvas}, {40, 24, kCanvas}, {10, 4, kCanvas}, {39, 25, kCanvas},
                        });
}

TEST_F(DrawTest, FramePictureCoversTheWholeFrame)
{
    const std::string path = Put("quad.bmp", WriteBmp({.width = 2, .height = 2, .bitCount = 24, .pixels = PackPixels(2, 24, kQuadrants)}));
    int result = -1;
    const QImage image = PaintFrame(machine_, path, {10, 5, 30, 20}, &result);
    EXPECT_EQ(result, 1);
    ExpectPixels(image, {
                            {10, 5, kRed}, {39, 5, kGreen}, {10, 24, kBlue}, {39, 24, kYellow},
                            {24, 14, kRed}, {25, 15, kYellow},
                            {9, 5, kCanvas}, {40, 24, kCanvas},
                        });
}

}  // namespace
}  // namespace pelmo

int main(int argc, char** argv)
{
    // The tests paint into images only; no display is needed, also when the test
    // list is gathered outside ctest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
