// Writes LHA archives: a header with room for what is known only at the end, the
// data through the -lh5- encoder, then the header again with sizes and CRC.
#include "upgrade/lha_writer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "platform/text.h"
#include "upgrade/lh5_encoder.h"

namespace pelmo {
namespace {

constexpr std::size_t kPiece = 64 * 1024;
constexpr std::uint64_t kLargest = 0xFFFFFFFFu;

constexpr std::array<std::uint16_t, 256> MakeCrcTable()
{
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
        table[i] = static_cast<std::uint16_t>(crc);
    }
    return table;
}
constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

void PutLe16(std::string& out, std::uint32_t value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8 & 0xFF);
}

void PutLe32(std::string& out, std::uint32_t value)
{
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

void SetLe16(std::string& out, std::size_t at, std::uint32_t value)
{
    out[at] = static_cast<char>(value & 0xFF);
    out[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

void SetLe32(std::string& out, std::size_t at, std::uint32_t value)
{
    SetLe16(out, at, value & 0xFFFF);
    SetLe16(out, at + 2, value >> 16);
}

// MS-DOS date and time of levels 0 and 1, taken as UTC so that the bytes do not
// depend on the packing machine's time zone; before 1980 reads as 1980-01-01.
std::uint32_t DosTime(std::time_t time)
{
    std::tm parts{};
    if (time < 315532800 || gmtime_r(&time, &parts) == nullptr || parts.tm_year > 207)
        return (1u << 5 | 1u) << 16;
    const auto day = static_cast<std::uint32_t>((parts.tm_year - 80) << 9 | (parts.tm_mon + 1) << 5 | parts.tm_mday);
    const auto clock = static_cast<std::uint32_t>(parts.tm_hour << 11 | parts.tm_min << 5 | parts.tm_sec / 2);
    return day << 16 | clock;
}

std::uint32_t UnixTime(std::time_t time)
{
    return time < 0 ? 0
                    : static_cast<std::uint32_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(time), kLargest));
}

// A member's header with its variable fields at known places.
struct Header {
    std::string bytes;
    std::size_t method = 2;
    std::size_t packed = 7;
    std::size_t original = 11;
    std::size_t dataCrc = 0;
    std::size_t headerCrc = 0;  // level 2 only
};

// Levels 0 and 1: a byte count and a byte sum of what follows the first two bytes.
std::optional<Header> ShortHeader(const std::string& name, std::time_t modified, LhaHeaderLevel level)
{
    // 255 bytes at most after the first two, less the fixed fields.
    const std::size_t room = level == LhaHeaderLevel::Zero ? 233 : 230;
    if (name.size() > room)
        return std::nullopt;
    Header header;
    std::string& h = header.bytes;
    h.assign(2, '\0');
    h += "-lh0-";
    PutLe32(h, 0);
    PutLe32(h, 0);
    PutLe32(h, DosTime(modified));
    h += '\x20';  // attribute: archive
    h += static_cast<char>(level);
    h += static_cast<char>(name.size());
    h += name;
    header.dataCrc = h.size();
    PutLe16(h, 0);
    if (level == LhaHeaderLevel::One) {
        h += 'M';
        PutLe16(h, 0);  // no extended header
    }
    h[0] = static_cast<char>(h.size() - 2);
    return header;
}

void SumShortHeader(std::string& h)
{
    unsigned sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i)
        sum += static_cast<unsigned char>(h[i]);
    h[1] = static_cast<char>(sum & 0xFF);
}

// Level 2: fixed fields, then extended headers (its CRC, the name), each led by
// its size; the whole header's size first.
std::optional<Header> LongHeader(const std::string& name, std::time_t modified)
{
    if (name.size() > 1000)
        return std::nullopt;
    Header header;
    std::string& h = header.bytes;
    PutLe16(h, 0);
    h += "-lh0-";
    PutLe32(h, 0);
    PutLe32(h, 0);
    PutLe32(h, UnixTime(modified));
    h += '\x20';
    h += '\x02';
    header.dataCrc = h.size();
    PutLe16(h, 0);
    h += 'M';
    PutLe16(h, 5);
    h += '\x00';
    header.headerCrc = h.size();
    PutLe16(h, 0);
    PutLe16(h, static_cast<std::uint32_t>(name.size() + 3));
    h += '\x01';
    h += name;
    PutLe16(h, 0);
    // A header whose first byte is 0 would read as the end of the archive.
    if ((h.size() & 0xFF) == 0)
        h += '\0';
    SetLe16(h, 0, static_cast<std::uint32_t>(h.size()));
    return header;
}

// Fills in what the data gave and seals the header.
void Complete(Header& header, LhaHeaderLevel level, bool compressed, std::uint32_t packed, std::uint32_t original,
              std::uint16_t crc)
{
    std::string& h = header.bytes;
    h[header.method + 3] = compressed ? '5' : '0';
    SetLe32(h, header.packed, packed);
    SetLe32(h, header.original, original);
    SetLe16(h, header.dataCrc, crc);
    if (level == LhaHeaderLevel::Two) {
        SetLe16(h, header.headerCrc, 0);
        SetLe16(h, header.headerCrc, LhaCrc16(0, h));
    } else {
        SumShortHeader(h);
    }
}

// Reads a member's data piece by piece, counting its size and CRC-16, and hands
// each piece to `take` until it returns false. Nothing when the reading ended well.
template <class Take>
std::optional<LhaAdded> ReadPieces(MemberData& data, std::vector<char>& piece, std::uint64_t& size, std::uint16_t& crc,
                                   Take&& take)
{
    for (;;) {
        const long got = data.Read(piece.data(), piece.size());
        if (got < 0)
            return LhaAdded::ReadFailed;
        if (got == 0)
            return std::nullopt;
        const std::string_view bytes(piece.data(), static_cast<std::size_t>(got));
        size += bytes.size();
        if (size > kLargest)
            return LhaAdded::TooLarge;
        crc = LhaCrc16(crc, bytes);
        if (!take(bytes))
            return std::nullopt;
    }
}

}  // namespace

std::uint16_t LhaCrc16(std::uint16_t crc, std::string_view bytes)
{
    for (const char c : bytes)
        crc = static_cast<std::uint16_t>(kCrcTable[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8));
    return crc;
}

LhaWriter::LhaWriter(ArchiveOutput& out, LhaHeaderLevel level) : out_(out), level_(level)
{
}

LhaWriter::~LhaWriter() = default;

LhaAdded LhaWriter::Add(std::string_view name, std::time_t modified, MemberData& data, std::uint64_t expectedSize)
{
    const std::optional<std::string> stored = Utf8ToCp932(name);
    if (!stored)
        return LhaAdded::NameNotCp932;
    std::optional<Header> header =
        level_ == LhaHeaderLevel::Two ? LongHeader(*stored, modified) : ShortHeader(*stored, modified, level_);
    if (!header)
        return LhaAdded::NameTooLong;
    if (expectedSize > kLargest)
        return LhaAdded::TooLarge;

    const std::uint64_t start = out_.Size();
    auto fail = [&](LhaAdded why) {
        out_.CutTo(start);
        return why;
    };
    if (!out_.Append(header->bytes))
        return fail(LhaAdded::WriteFailed);
    const std::uint64_t dataStart = out_.Size();

    // Compressed output beyond the data's own size cannot win: the encoder is
    // stopped there and the member stored instead.
    bool tooBig = false;
    bool writeFailed = false;
    auto emit = [&](std::string_view bytes) {
        if (out_.Size() - dataStart + bytes.size() >= std::max<std::uint64_t>(expectedSize, 1)) {
            tooBig = true;
            return false;
        }
        writeFailed = !out_.Append(bytes);
        return !writeFailed;
    };
    if (encoder_)
        encoder_->Restart(emit);
    else
        encoder_ = std::make_unique<Lh5Encoder>(emit);
    Lh5Encoder& encoder = *encoder_;
    std::vector<char> piece(kPiece);
    std::uint64_t size = 0;
    std::uint16_t crc = 0;
    if (const auto failed =
            ReadPieces(data, piece, size, crc, [&](std::string_view bytes) { return encoder.Feed(bytes); }))
        return fail(*failed);
    const bool finished = !tooBig && !writeFailed && encoder.Finish();
    if (writeFailed)
        return fail(LhaAdded::WriteFailed);
    const bool compressed = finished && out_.Size() - dataStart < size;

    if (!compressed) {
        if (!out_.CutTo(dataStart) || !data.Rewind())
            return fail(LhaAdded::WriteFailed);
        size = 0;
        crc = 0;
        bool appended = true;
        if (const auto failed = ReadPieces(data, piece, size, crc,
                                           [&](std::string_view bytes) { return appended = out_.Append(bytes); }))
            return fail(*failed);
        if (!appended)
            return fail(LhaAdded::WriteFailed);
    }
    const std::uint64_t packed = out_.Size() - dataStart;
    Complete(*header, level_, compressed, static_cast<std::uint32_t>(packed), static_cast<std::uint32_t>(size), crc);
    if (!out_.Overwrite(start, header->bytes))
        return fail(LhaAdded::WriteFailed);
    return compressed ? LhaAdded::Compressed : LhaAdded::Stored;
}

bool LhaWriter::Finish()
{
    return out_.Append(std::string_view("\0", 1));
}

}  // namespace pelmo
