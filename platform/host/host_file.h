// Host-side pieces of the file services and the stage: status, permissions,
// whole writes and reads, and how a file system is flushed. Only platform/ and
// the run folder's own files include this header.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/host/owned_file.h"

namespace pelmo::host {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// Read-only means no write permission bits at all, so that root, which the
// kernel lets write anyway, still honours the attribute.
inline bool IsReadOnly(const struct stat& st)
{
    return (st.st_mode & kWriteBits) == 0;
}

std::optional<struct stat> Stat(const std::filesystem::path& path);
// Opens a regular file for reading (`flags` besides O_RDONLY) and gives its
// status; an invalid descriptor for anything else. A FIFO is opened without
// waiting for a writer, then refused.
FileDescriptor OpenRegularFile(const char* path, int flags, struct stat& st);
mode_t CurrentUmask();
// write() until every byte is written; false on an error.
bool WriteAll(int fd, const char* data, std::size_t size);
// Hands the rest of `fd` to `take` in 64 KiB pieces; false on a read error or
// when `take` says stop.
bool ReadPieces(int fd, const std::function<bool(std::string_view)>& take);

// How a commit makes many files of one file system durable: with one syncfs, or
// with a flush of each. syncfs reaches the disk only where the kernel writes the
// file system back itself (ext4, xfs, btrfs, f2fs; tmpfs has no disk to reach);
// on FUSE, NFS, CIFS and anything unknown it may flush nothing, and only each
// file's own fsync is passed on to the storage.
enum class FlushWay { WholeFileSystem, EachFile };
FlushWay FlushWayFor(unsigned long fileSystemType);  // statfs's f_type
// The way for the file system `fd` lies on; EachFile when that cannot be told.
FlushWay FlushWayOf(int fd);

}  // namespace pelmo::host
