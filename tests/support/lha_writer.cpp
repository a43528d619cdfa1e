// Test support: writes stored (-lh0-) LHA archives with any member names.
#include "tests/support/lha_writer.h"

#include <stdexcept>

namespace pelmo::test {
namespace {

// 2001-02-03 04:05:06 as MS-DOS time (low word) and date (high word).
constexpr std::uint32_t kDosStamp = ((4u << 11 | 5u << 5 | 6u / 2) | (21u << 9 | 2u << 5 | 3u) << 16);

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

std::uint32_t PackedSize(const LhaMember& member)
{
    return member.packedSize.value_or(static_cast<std::uint32_t>(member.content.size()));
}

std::uint32_t OriginalSize(const LhaMember& member)
{
    return member.originalSize.value_or(static_cast<std::uint32_t>(member.content.size()));
}

std::uint16_t DataCrc(const LhaMember& member)
{
    return member.dataCrc.value_or(LhaCrc16(member.content));
}

void CheckMethod(const std::string& method)
{
    if (method.size() != 5)
        throw std::invalid_argument("an LHA method has five letters: " + method);
}

// Level 0: a fixed part, the name, the data CRC and an optional 'U' extension,
// all counted by the first byte and summed by the second.
std::string HeaderLevel0(const LhaMember& member)
{
    CheckMethod(member.method);
    std::string body = member.method;
    PutLe32(body, PackedSize(member));
    PutLe32(body, OriginalSize(member));
    PutLe32(body, kDosStamp);
    body += '\x20';  // MS-DOS attribute: archive
    body += '\0';    // header level
    if (member.name.size() > 221)
        throw std::invalid_argument("a level 0 name has at most 221 bytes");
    body += static_cast<char>(member.name.size());
    body += member.name;
    PutLe16(body, DataCrc(member));
    if (member.unixMode) {
        body += 'U';
        body += '\0';  // minor version
        PutLe32(body, member.time);
        PutLe16(body, *member.unixMode);
        PutLe16(body, 0);  // uid
        PutLe16(body, 0);  // gid
    }
    unsigned char sum = 0;
    for (char c : body)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(c));
    std::string header;
    header += static_cast<char>(body.size());
    header += static_cast<char>(sum);
    return header + body;
}

// One extension of a level 2 header; the size of the next one follows it.
void PutExtension(std::string& out, char type, std::string_view data)
{
    PutLe16(out, static_cast<std::uint32_t>(data.size() + 3));
    out += type;
    out += data;
}

// Level 2: a fixed part, then extensions; a header CRC over the whole header
// with the CRC field itself as zero.
std::string HeaderLevel2(const LhaMember& member, std::optional<std::uint32_t> codePage)
{
    CheckMethod(member.method);
    std::string header;
    PutLe16(header, 0);  // total size, filled in below
    header += member.method;
    PutLe32(header, PackedSize(member));
    PutLe32(header, OriginalSize(member));
    PutLe32(header, member.time);
    header += '\x20';
    header += '\x02';  // header level
    PutLe16(header, DataCrc(member));
    header += 'M';  // made on MS-DOS

    const std::size_t crcField = header.size() + 3;
    PutExtension(header, '\x00', std::string(2, '\0'));
    PutExtension(header, '\x01', member.name);
    if (!member.folder.empty()) {
        std::string folder = member.folder + '/';
        for (char& c : folder)
            if (c == '/')
                c = '\xFF';
        PutExtension(header, '\x02', folder);
    }
    if (member.unixMode) {
        std::string mode;
        PutLe16(mode, *member.unixMode);
        PutExtension(header, '\x50', mode);
    }
    if (codePage) {
        std::string page;
        PutLe32(page, *codePage);
        PutExtension(header, '\x46', page);
    }
    PutLe16(header, 0);  // no further extension
    // A first byte of 0 marks the end of an archive, so such a size gets a pad byte.
    if ((header.size() & 0xFF) == 0)
        header += '\0';
    if (header.size() > 0xFFFF)
        throw std::invalid_argument("a level 2 header has at most 65535 bytes");
    header[0] = static_cast<char>(header.size() & 0xFF);
    header[1] = static_cast<char>(header.size() >> 8);
    const std::uint16_t crc = LhaCrc16(header);
    header[crcField] = static_cast<char>(crc & 0xFF);
    header[crcField + 1] = static_cast<char>(crc >> 8);
    return header;
}

}  // namespace

std::string WriteStoredLha(const std::vector<LhaMember>& members, LhaLevel level, std::optional<std::uint32_t> codePage)
{
    std::string archive;
    for (const LhaMember& member : members) {
        archive += level == LhaLevel::Zero ? HeaderLevel0(member) : HeaderLevel2(member, codePage);
        archive += member.content;
    }
    archive += '\0';  // end of the archive
    return archive;
}

}  // namespace pelmo::test
