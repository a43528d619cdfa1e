// Drawing of .bmp pictures: a loaded block decoded and stretched over a rectangle.
#include "picture/dib_draw.h"

#include <QPen>
#include <QTransform>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace pelmo {
namespace {

constexpr std::uint32_t kCompressionNone = 0;  // BI_RGB

// The picture's colours for its palette indexes; none for deeper pixels.
std::vector<QRgb> Colours(const DibBlock& block)
{
    std::vector<QRgb> colours;
    if (auto palette = CreateDibPalette(block)) {
        for (const PaletteEntry& entry : palette->entries)
            colours.push_back(qRgb(entry.red, entry.green, entry.blue));
    }
    return colours;
}

// Five bits of 5-5-5 widened to eight by repeating the top bits, so that 31 is 255.
int Widen5(unsigned value)
{
    return static_cast<int>(value << 3 | value >> 2);
}

QRgb PixelColour(const std::uint8_t* row, int x, std::uint16_t bitCount, const std::vector<QRgb>& colours)
{
    unsigned index = 0;
    switch (bitCount) {
    case 1:
        index = row[x / 8] >> (7 - x % 8) & 1u;
        break;
    case 4:
        index = row[x / 2] >> (x % 2 == 0 ? 4 : 0) & 0xFu;
        break;
    case 8:
        index = row[x];
        break;
    case 16: {
        const unsigned value = row[2 * x] | row[2 * x + 1] << 8;
        return qRgb(Widen5(value >> 10 & 31u), Widen5(value >> 5 & 31u), Widen5(value & 31u));
    }
    case 24:
        return qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
    default:  // 32: blue, green, red and an unused byte
        return qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]);
    }
    // An index beyond the colour table shows black.
    return index < colours.size() ? colours[index] : qRgb(0, 0, 0);
}

bool Drawable(const DibHeader& header)
{
    switch (header.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return header.compression == kCompressionNone && header.width > 0 && header.height != 0;
    default:
        return false;
    }
}

// Source column or row for a target pixel: the one under its centre.
int SourceIndex(int target, int targetLength, int sourceLength)
{
    const auto numerator = (2 * static_cast<std::uint64_t>(target) + 1) * static_cast<std::uint64_t>(sourceLength);
    return static_cast<int>(numerator / (2 * static_cast<std::uint64_t>(targetLength)));
}

// The piece `part` of the picture stretched over `target` (both in the painter's
// coordinates, `part` inside `target`). Only the piece is built, so the work and
// the memory follow what is visible, not the size of the picture.
QImage StretchedPart(const DibBlock& block, const QRect& target, const QRect& part)
{
    const DibHeader header = block.header();
    if (!Drawable(header) || part.isEmpty())
        return {};
    const int width = header.width;
    const int height = std::abs(header.height);
    const bool topDown = header.height < 0;
    const std::uint64_t rowBytes = ImageSize(width, 1, header.bitCount);
    const std::span<const std::uint8_t> pixels = block.pixels();
    if (rowBytes * static_cast<std::uint64_t>(height) > pixels.size())
        return {};

    QImage image(part.size(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const std::vector<QRgb> colours = Colours(block);
    std::vector<int> columns(static_cast<std::size_t>(part.width()));
    for (int x = 0; x < part.width(); ++x)
        columns[static_cast<std::size_t>(x)] = SourceIndex(part.left() - target.left() + x, target.width(), width);
    for (int y = 0; y < part.height(); ++y) {
        const int sourceRow = SourceIndex(part.top() - target.top() + y, target.height(), height);
        // Rows are stored bottom-up unless the height is negative.
        const int storedRow = topDown ? sourceRow : height - 1 - sourceRow;
        const std::uint8_t* row = pixels.data() + rowBytes * static_cast<std::uint64_t>(storedRow);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < part.width(); ++x)
            line[x] = PixelColour(row, columns[static_cast<std::size_t>(x)], header.bitCount, colours);
    }
    return image;
}

// What of `target` the painter's device can show, in the painter's coordinates.
QRect VisiblePart(const QPainter& painter, const QRect& target)
{
    QRect visible = painter.window();
    bool invertible = false;
    const QTransform toLogical = painter.worldTransform().inverted(&invertible);
    if (invertible)
        visible = toLogical.mapRect(visible);
    return target.intersected(visible);
}

}  // namespace

int DrawDibFile(QPainter& painter, const QRect& target, const Machine& machine, std::string_view path)
{
    DibBlock block;
    if (!ReadDibFile(machine, path, block))
        return 0;
    // An empty or inverted rectangle has nothing to fill.
    if (target.isEmpty())
        return 1;
    const QRect part = VisiblePart(painter, target);
    const QImage image = StretchedPart(block, target, part);
    if (!image.isNull())
        painter.drawImage(part.topLeft(), image);
    return 1;
}

int PaintPictureFrame(QPainter& painter, const QRect& frame, const Machine& machine, std::string_view path)
{
    if (!frame.isEmpty()) {
        painter.save();
        painter.setPen(QPen(Qt::black, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        painter.restore();
    }
    return DrawDibFile(painter, frame, machine, path);
}

}  // namespace pelmo
