// Test support: faults injected into the host calls of the test process itself. The
// test executable's definitions of these C library functions take the place of the
// library's own, and hand every call they do not fail on to it.
#include "tests/support/faults.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

struct Armed {
    bool on = false;
    std::string root;  // with a trailing '/'
    std::string readRoot;
    pelmo::test::FaultPlan plan;
    std::string statFails, chmodFails;
    int writes = 0;
    int reads = 0;
    std::vector<std::string> flushes;
};
Armed armed;

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool Below(const char* path)
{
    return armed.on && path != nullptr && std::string(path).starts_with(armed.root);
}

std::string PathOf(int fd)
{
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

// True when this write point must fail; kills the process when the plan says so.
bool WritePointFails(bool canRunOutOfSpace)
{
    ++armed.writes;
    if (armed.writes == armed.plan.killAt)
        ::kill(::getpid(), SIGKILL);
    if (canRunOutOfSpace && armed.writes == armed.plan.noSpaceAt) {
        errno = ENOSPC;
        return true;
    }
    return false;
}

// The named file, or a work file of a staged run that stands for it in its folder.
bool StandsFor(const std::string& named, const char* path)
{
    if (named.empty() || path == nullptr)
        return false;
    const std::string p = path;
    const std::size_t slash = named.rfind('/');
    return p == named || p.starts_with(named.substr(0, slash + 1) + ".pelmo-");
}

bool FailsAt(const char* path, bool canRunOutOfSpace = true)
{
    return Below(path) && WritePointFails(canRunOutOfSpace);
}

bool FailsAt(int fd, bool canRunOutOfSpace = true)
{
    return armed.on && FailsAt(PathOf(fd).c_str(), canRunOutOfSpace);
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* data, size_t count)
{
    if (FailsAt(fd))
        return -1;
    return Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, count);
}

int open(const char* path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
        if (FailsAt(path))
            return -1;
    }
    return Next<int (*)(const char*, int, ...)>("open")(path, flags, mode);
}

int mkstemp(char* pattern)
{
    if (FailsAt(pattern))
        return -1;
    return Next<int (*)(char*)>("mkstemp")(pattern);
}

int mkdir(const char* path, mode_t mode)
{
    return FailsAt(path) ? -1 : Next<int (*)(const char*, mode_t)>("mkdir")(path, mode);
}

int rename(const char* from, const char* to)
{
    if (FailsAt(to))
        return -1;
    if (Below(to))
        armed.flushes.push_back(std::string("rename ") + from + " " + to);
    return Next<int (*)(const char*, const char*)>("rename")(from, to);
}

int link(const char* from, const char* to)
{
    if (armed.plan.noHardLinks && Below(to)) {
        errno = EPERM;
        return -1;
    }
    return Next<int (*)(const char*, const char*)>("link")(from, to);
}

int unlink(const char* path)
{
    FailsAt(path, false);
    return Next<int (*)(const char*)>("unlink")(path);
}

int fsync(int fd)
{
    if (armed.on && Below(PathOf(fd).c_str())) {
        armed.flushes.push_back("fsync " + PathOf(fd));
        return FailsAt(fd) ? -1 : 0;
    }
    return Next<int (*)(int)>("fsync")(fd);
}

// The staged commit's flushes: points like fsync(), which only count.
int syncfs(int fd)
{
    if (armed.on && Below(PathOf(fd).c_str())) {
        armed.flushes.push_back("syncfs " + PathOf(fd));
        return FailsAt(fd) ? -1 : 0;
    }
    return Next<int (*)(int)>("syncfs")(fd);
}

int fstatfs(int fd, struct statfs* buffer)
{
    const int result = Next<int (*)(int, struct statfs*)>("fstatfs")(fd, buffer);
    if (result == 0 && armed.plan.fileSystemType != 0 && armed.on && Below(PathOf(fd).c_str()))
        buffer->f_type = static_cast<decltype(buffer->f_type)>(armed.plan.fileSystemType);
    return result;
}

int sync_file_range(int fd, off64_t offset, off64_t count, unsigned int flags)
{
    if (armed.on && Below(PathOf(fd).c_str()))
        return FailsAt(fd) ? -1 : 0;
    return Next<int (*)(int, off64_t, off64_t, unsigned int)>("sync_file_range")(fd, offset, count, flags);
}

int fchmod(int fd, mode_t mode)
{
    FailsAt(fd, false);
    return Next<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

int chmod(const char* path, mode_t mode)
{
    FailsAt(path, false);
    if (armed.on && StandsFor(armed.chmodFails, path)) {
        errno = EIO;
        return -1;
    }
    return Next<int (*)(const char*, mode_t)>("chmod")(path, mode);
}

int futimens(int fd, const struct timespec times[2])
{
    return FailsAt(fd) ? -1 : Next<int (*)(int, const struct timespec*)>("futimens")(fd, times);
}

int utimensat(int dirfd, const char* path, const struct timespec times[2], int flags)
{
    if (FailsAt(path))
        return -1;
    return Next<int (*)(int, const char*, const struct timespec*, int)>("utimensat")(dirfd, path, times, flags);
}

int stat(const char* path, struct stat* buffer)
{
    if (armed.on && StandsFor(armed.statFails, path)) {
        errno = ENOENT;
        return -1;
    }
    return Next<int (*)(const char*, struct stat*)>("stat")(path, buffer);
}

ssize_t read(int fd, void* buffer, size_t count)
{
    if (armed.on && PathOf(fd).starts_with(armed.readRoot) && ++armed.reads == armed.plan.readErrorAt) {
        errno = EIO;
        return -1;
    }
    return Next<ssize_t (*)(int, void*, size_t)>("read")(fd, buffer, count);
}

}  // extern "C"

namespace pelmo::test {

namespace fs = std::filesystem;

FaultScope::FaultScope(const FaultPlan& plan)
{
    auto canonical = [](const fs::path& path) {
        return path.empty() ? std::string() : fs::weakly_canonical(path).string();
    };
    armed = Armed{};
    armed.plan = plan;
    armed.root = plan.root.empty() ? std::string("\n") : canonical(plan.root) + "/";
    armed.readRoot = plan.readsBelow.empty() ? std::string("\n") : canonical(plan.readsBelow) + "/";
    armed.statFails = canonical(plan.statFails);
    armed.chmodFails = canonical(plan.chmodFails);
    armed.on = true;
}

FaultScope::~FaultScope()
{
    armed.on = false;
}

int FaultScope::writePoints() const
{
    return armed.writes;
}

int FaultScope::readPoints() const
{
    return armed.reads;
}

const std::vector<std::string>& FaultScope::flushes() const
{
    return armed.flushes;
}

}  // namespace pelmo::test
