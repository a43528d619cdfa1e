// Test support: reads of one named file fail from an offset on while armed. The
// test executable's read() takes the place of the C library's and hands every
// other call on to it.
#include "tests/reliability/bad_spot.h"

#include <dlfcn.h>
#include <errno.h>
#include <unistd.h>

#include <string>

namespace {

std::string badFile;
std::uint64_t badOffset = 0;

using ReadFunction = ssize_t (*)(int, void*, size_t);

ReadFunction NextRead()
{
    static const auto next = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
    return next;
}

bool IsBadFile(int fd)
{
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    return length > 0 && badFile == std::string(target, static_cast<std::size_t>(length));
}

}  // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count)
{
    if (!badFile.empty() && IsBadFile(fd)) {
        const off_t position = ::lseek(fd, 0, SEEK_CUR);
        if (position >= 0 && static_cast<std::uint64_t>(position) + count > badOffset) {
            if (static_cast<std::uint64_t>(position) >= badOffset) {
                errno = EIO;
                return -1;
            }
            count = static_cast<size_t>(badOffset - static_cast<std::uint64_t>(position));
        }
    }
    return NextRead()(fd, buffer, count);
}

namespace pelmo::test {

BadSpot::BadSpot(const std::filesystem::path& path, std::uint64_t offset)
{
    badOffset = offset;
    badFile = std::filesystem::canonical(path).string();
}

BadSpot::~BadSpot()
{
    badFile.clear();
}

}  // namespace pelmo::test
