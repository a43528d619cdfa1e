// Reads an archive through to its end, as an extraction would, without writing anything.
#pragma once

#include <string>
#include <vector>

#include "platform/machine.h"
#include "upgrade/lha_readers.h"

namespace pelmo {

struct ArchiveWalk {
    enum class End { Whole, Damaged, Unreadable };
    End end = End::Whole;
    std::vector<StoredMember> members;  // as far as the reader that read furthest got
    std::string damagedMember;          // UTF-8; for Damaged
};

// The readers of the extraction in its order: libarchive, then lhasa's library for
// an archive libarchive leaves unread. Every member's data is read, so its CRC is
// checked, and its length compared with its header's.
ArchiveWalk WalkArchive(const Machine& machine, const std::string& archivePath);

}  // namespace pelmo
