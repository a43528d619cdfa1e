// The two LHA readers behind one interface: libarchive, and lhasa's library for
// the archives libarchive cannot read (methods -lh1-, -lh4-, -lz5-, -lhx-, headers
// of X68000, OS/2 and some level 2 writers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "platform/streams.h"

namespace pelmo {

// One member as its header describes it.
struct StoredMember {
    std::string path;                   // UTF-8, stored folders and all
    bool isFile = false;                // false for folders and links, which are not written
    std::optional<std::uint64_t> size;  // declared size of the data
    std::optional<std::time_t> modified;
};

// Hands over the members of one archive in archive order.
class MemberReader {
public:
    enum class Next { Member, End, Damaged };

    virtual ~MemberReader() = default;
    virtual Next NextMember(StoredMember& member) = 0;
    // The current member's data: bytes read, 0 at its end, -1 when it is damaged.
    // The end is reported only once the data's CRC has been checked.
    virtual long ReadData(char* buffer, std::size_t size) = 0;
    // Bytes of the archive taken in so far.
    virtual std::uint64_t BytesRead() const = 0;
};

// Nothing when the reader does not take the file for an LHA archive. The
// libarchive reader converts names through the thread's locale, so it must live
// inside a Utf8LocaleScope.
std::unique_ptr<MemberReader> OpenLibarchiveReader(InputFile file);
std::unique_ptr<MemberReader> OpenLhasaReader(InputFile file);

}  // namespace pelmo
