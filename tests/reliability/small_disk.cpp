// Test support: a small RAM disk (tmpfs) mounted over a folder, to be filled up.
#include "tests/reliability/small_disk.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace pelmo::test {
namespace {

constexpr const char* kBlocksFile = "blocks";

std::string SystemError(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

// Small disks are mounted in a mount namespace of this process alone, so that
// nobody else sees them and they go with the process even when it is killed.
// 0 or the error of the first attempt.
int EnterPrivateMounts()
{
    static const int error = [] {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return errno;
        return 0;
    }();
    return error;
}

}  // namespace

std::unique_ptr<SmallDisk> SmallDisk::Mount(const fs::path& folder, std::size_t bytes, std::size_t inodes,
                                            std::string& whyNot)
{
    if (::geteuid() != 0) {
        whyNot = "mounting a small disk needs root";
        return nullptr;
    }
    if (const int error = EnterPrivateMounts()) {
        errno = error;
        whyNot = SystemError("cannot have mounts of this process alone");
        return nullptr;
    }
    fs::create_directories(folder);
    const std::string options = "size=" + std::to_string(bytes) + ",nr_inodes=" + std::to_string(inodes);
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        whyNot = SystemError("cannot mount a tmpfs on " + folder.string());
        return nullptr;
    }
    std::unique_ptr<SmallDisk> disk(new SmallDisk(folder));
    fs::create_directories(disk->FillPath());
    return disk;
}

SmallDisk::~SmallDisk()
{
    // Lazily, so that a file a failed test left open cannot keep the disk mounted.
    ::umount2(folder_.c_str(), MNT_DETACH);
}

void SmallDisk::FillBlocks()
{
    const int fd = ::open((FillPath() / kBlocksFile).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error(SystemError("cannot make the filling"));
    const std::vector<char> chunk(64 * 1024, 'F');
    for (std::size_t size = chunk.size(); size > 0;) {
        if (::write(fd, chunk.data(), size) < 0) {
            if (errno != ENOSPC)
                break;
            size /= 2;  // the last blocks are taken by smaller writes
        }
    }
    ::close(fd);
}

void SmallDisk::FreePages(std::size_t pages)
{
    const fs::path blocks = FillPath() / kBlocksFile;
    const std::uintmax_t size = fs::file_size(blocks);
    const std::uintmax_t freed = pages * kPageSize;
    fs::resize_file(blocks, size > freed ? size - freed : 0);
}

void SmallDisk::FillInodes()
{
    for (int i = 0;; ++i) {
        const int fd = ::open((FillPath() / ("inode" + std::to_string(i))).c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == ENOSPC)
                return;
            throw std::runtime_error(SystemError("cannot fill the inodes"));
        }
        ::close(fd);
    }
}

void SmallDisk::Empty()
{
    for (const auto& entry : fs::directory_iterator(FillPath()))
        fs::remove(entry.path());
}

}  // namespace pelmo::test
