// Reads an archive through to its end, as an extraction would.
#include "upgrade/check/archive_walk.h"

#include <memory>

#include "platform/streams.h"
#include "platform/utf8_locale.h"

namespace pelmo {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

bool ReadWhole(MemberReader& reader, const StoredMember& member, std::vector<char>& buffer)
{
    std::uint64_t read = 0;
    for (;;) {
        const long got = reader.ReadData(buffer.data(), buffer.size());
        if (got == 0)
            return !member.size || read == *member.size;
        if (got < 0)
            return false;
        read += static_cast<std::uint64_t>(got);
    }
}

ArchiveWalk WalkWith(std::unique_ptr<MemberReader> reader)
{
    ArchiveWalk walk;
    if (!reader)
        return {ArchiveWalk::End::Unreadable, {}, {}};
    std::vector<char> buffer(kChunkSize);
    for (;;) {
        StoredMember member;
        switch (reader->NextMember(member)) {
        case MemberReader::Next::End:
            return walk;
        case MemberReader::Next::Damaged:
            walk.end = walk.members.empty() ? ArchiveWalk::End::Unreadable : ArchiveWalk::End::Damaged;
            return walk;
        case MemberReader::Next::Member:
            break;
        }
        walk.members.push_back(member);
        if (member.isFile && !ReadWhole(*reader, member, buffer)) {
            walk.end = ArchiveWalk::End::Damaged;
            walk.damagedMember = member.path;
            return walk;
        }
    }
}

}  // namespace

ArchiveWalk WalkArchive(const Machine& machine, const std::string& archivePath)
{
    auto file = InputFile::Open(DiskView(machine), archivePath);
    if (!file)
        return {ArchiveWalk::End::Unreadable, {}, {}};
    // Member names are converted as the extraction converts them.
    const Utf8LocaleScope utf8;
    ArchiveWalk walk = WalkWith(OpenLibarchiveReader(std::move(*file)));
    if (walk.end == ArchiveWalk::End::Whole)
        return walk;
    auto again = InputFile::Open(DiskView(machine), archivePath);
    if (!again)
        return walk;
    ArchiveWalk second = WalkWith(OpenLhasaReader(std::move(*again)));
    // The reader that got further says more about where the damage is.
    if (second.end == ArchiveWalk::End::Whole || second.members.size() >= walk.members.size())
        return second;
    return walk;
}

}  // namespace pelmo
