// Host-side pieces of the file services: status, permissions, owned descriptors and work files.
#include "platform/host/host_file.h"
#include "platform/host/owned_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>

namespace pelmo::host {

std::optional<struct stat> Stat(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st;
}

FileDescriptor OpenRegularFile(const char* path, int flags, struct stat& st)
{
    FileDescriptor fd(::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags));
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return FileDescriptor();
    return fd;
}

mode_t CurrentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

bool ReadPieces(int fd, const std::function<bool(std::string_view)>& take)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        if (!take(std::string_view(buffer, static_cast<std::size_t>(got))))
            return false;
    }
}

FlushWay FlushWayFor(unsigned long fileSystemType)
{
    switch (fileSystemType) {
    case EXT4_SUPER_MAGIC:  // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
        return FlushWay::WholeFileSystem;
    default:
        return FlushWay::EachFile;
    }
}

FlushWay FlushWayOf(int fd)
{
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return FlushWay::EachFile;
    // f_type is signed on some ABIs; the magic numbers are 32-bit.
    return FlushWayFor(static_cast<unsigned long>(fs.f_type) & 0xFFFFFFFFUL);
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool FileDescriptor::Reset(int fd)
{
    const int old = std::exchange(fd_, fd);
    return old < 0 || ::close(old) == 0;
}

void RemovedUnlessKept::Remove()
{
    if (!path_.empty())
        ::unlink(std::exchange(path_, {}).c_str());
}

}  // namespace pelmo::host
