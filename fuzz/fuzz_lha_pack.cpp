// Fuzz target: members made from the input are packed by the LHA writer and read
// back through both readers, each of which must give every member's bytes again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_machine.h"
#include "platform/file_view.h"
#include "platform/streams.h"
#include "platform/utf8_locale.h"
#include "upgrade/lha_readers.h"
#include "upgrade/lha_writer.h"

namespace {

using pelmo::fuzz::FuzzMachine;
using pelmo::fuzz::Require;

struct Member {
    std::string name;
    std::string data;
};

// The input, split at the byte 0xFE into members: one control byte (header level
// and how the data grows), then the data, repeated to reach sizes that fill
// several windows and blocks.
std::vector<Member> MembersOf(std::string_view input, pelmo::LhaHeaderLevel& level)
{
    level = static_cast<pelmo::LhaHeaderLevel>(input.empty() ? 2 : static_cast<unsigned char>(input[0]) % 3);
    std::vector<Member> members;
    std::size_t start = input.empty() ? 0 : 1;
    while (start < input.size() && members.size() < 8) {
        std::size_t end = input.find('\xFE', start);
        if (end == std::string_view::npos)
            end = input.size();
        std::string_view part = input.substr(start, end - start);
        Member member;
        member.name = "M" + std::to_string(members.size()) + (members.size() % 2 ? "\xE5\x9B\xB3.DAT" : ".TXT");
        const unsigned repeat = part.empty() ? 0 : static_cast<unsigned char>(part[0]) % 64;
        if (!part.empty())
            part.remove_prefix(1);
        for (unsigned i = 0; i <= repeat; ++i)
            member.data += part;
        members.push_back(std::move(member));
        start = end + 1;
    }
    // An archive without members is no LHA archive to libarchive; pack never writes one.
    if (members.empty())
        members.push_back({"EMPTY.TXT", ""});
    return members;
}

void ReadBack(pelmo::MemberReader& reader, const std::vector<Member>& members)
{
    std::vector<char> piece(4096);
    for (const Member& member : members) {
        pelmo::StoredMember stored;
        Require(reader.NextMember(stored) == pelmo::MemberReader::Next::Member, "every member is read back");
        Require(stored.path == member.name && stored.isFile, "its name is read back");
        std::string data;
        for (long got; (got = reader.ReadData(piece.data(), piece.size())) != 0;) {
            Require(got > 0, "its data passes the CRC");
            data.append(piece.data(), static_cast<std::size_t>(got));
        }
        Require(data == member.data, "its data is read back");
    }
    pelmo::StoredMember stored;
    Require(reader.NextMember(stored) == pelmo::MemberReader::Next::End, "the archive ends after the last member");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    FuzzMachine& fuzz = FuzzMachine::Get();
    pelmo::LhaHeaderLevel level{};
    const std::vector<Member> members = MembersOf(std::string_view(reinterpret_cast<const char*>(bytes), size), level);

    pelmo::StringArchiveOutput archive;
    pelmo::LhaWriter writer(archive, level);
    for (const Member& member : members) {
        pelmo::StringMemberData data(member.data);
        const pelmo::LhaAdded added = writer.Add(member.name, 981173106, data, member.data.size());
        Require(added == pelmo::LhaAdded::Compressed || added == pelmo::LhaAdded::Stored, "every member is added");
    }
    Require(writer.Finish(), "the archive ends");

    FuzzMachine::WriteHostFile(fuzz.driveC() / "PACKED.LZH", archive.bytes());
    const pelmo::DiskView disk(fuzz.machine());
    {
        const pelmo::Utf8LocaleScope utf8;
        auto file = pelmo::InputFile::Open(disk, "C:\\PACKED.LZH");
        Require(file.has_value(), "the archive opens");
        auto reader = pelmo::OpenLibarchiveReader(std::move(*file));
        Require(reader != nullptr, "libarchive takes it for an LHA archive");
        ReadBack(*reader, members);
    }
    auto file = pelmo::InputFile::Open(disk, "C:\\PACKED.LZH");
    Require(file.has_value(), "the archive opens");
    auto reader = pelmo::OpenLhasaReader(std::move(*file));
    Require(reader != nullptr, "lhasa takes it for an LHA archive");
    ReadBack(*reader, members);
    return 0;
}
