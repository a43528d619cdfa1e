// Fuzz target: a .bmp file loaded into a packed bitmap, from memory and from disk.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz/fuzz_machine.h"
#include "picture/dib_file.h"

namespace {

using pelmo::fuzz::FuzzMachine;
using pelmo::fuzz::Require;

// What the drawing relies on: a whole header, the colour table it announces and
// exactly the pixel bytes it announces.
void CheckBlock(const pelmo::DibBlock& block)
{
    const pelmo::DibHeader header = block.header();
    Require(header.size >= pelmo::kInfoHeaderSize && header.size <= pelmo::kMaxInfoHeaderSize,
            "a loaded block starts with a whole information header");
    Require(block.pixelOffset >= header.size && block.pixelOffset <= block.bytes.size(),
            "the pixel data starts inside the block, after the header");
    Require(block.colourTable().size() == 4u * pelmo::ColourCount(header), "the colour table is whole");
    Require(block.pixels().size() == header.sizeImage, "the pixel data is as long as the header says");
    const std::optional<pelmo::LogicalPalette> palette = pelmo::CreateDibPalette(block);
    if (palette)
        Require(palette->entries.size() <= 0xFFFF && palette->entries.size() * 4 <= block.colourTable().size(),
                "a palette takes only colours the table holds");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::optional<pelmo::DibBlock> fromMemory = pelmo::ParseDib(bytes);
    if (fromMemory)
        CheckBlock(*fromMemory);

    // The same bytes read from a file load the same picture.
    FuzzMachine& fuzz = FuzzMachine::Get();
    FuzzMachine::WriteHostFile(fuzz.driveC() / "PICTURE.BMP", bytes);
    pelmo::DibBlock fromDisk;
    const int loaded = pelmo::ReadDibFile(fuzz.machine(), "C:\\picture.bmp", fromDisk);
    Require(loaded == (fromMemory ? 1 : 0), "a file loads as its bytes in memory do");
    if (fromMemory)
        Require(fromDisk.bytes == fromMemory->bytes && fromDisk.pixelOffset == fromMemory->pixelOffset,
                "a file loads the same block as its bytes in memory");
    return 0;
}
