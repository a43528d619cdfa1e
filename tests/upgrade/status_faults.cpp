// Test support: stat() and chmod() of one named file fail while armed. The test
// executable's definitions take the place of the C library's, and hand every other
// call on to it.
#include "tests/upgrade/status_faults.h"

#include <dlfcn.h>
#include <errno.h>
#include <sys/stat.h>

#include <string>

namespace {

std::string statFailureName;
std::string chmodFailureName;

bool Names(const std::string& armed, const char* path)
{
    return !armed.empty() && path != nullptr && armed == path;
}

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" int stat(const char* path, struct stat* buffer)
{
    if (Names(statFailureName, path)) {
        errno = ENOENT;
        return -1;
    }
    static auto next = Next<int (*)(const char*, struct stat*)>("stat");
    return next(path, buffer);
}

extern "C" int chmod(const char* path, mode_t mode)
{
    if (Names(chmodFailureName, path)) {
        errno = EIO;
        return -1;
    }
    static auto next = Next<int (*)(const char*, mode_t)>("chmod");
    return next(path, mode);
}

namespace pelmo::test {

StatFailure::StatFailure(const std::filesystem::path& path)
{
    statFailureName = std::filesystem::weakly_canonical(path).string();
}

StatFailure::~StatFailure()
{
    statFailureName.clear();
}

ChmodFailure::ChmodFailure(const std::filesystem::path& path)
{
    chmodFailureName = std::filesystem::weakly_canonical(path).string();
}

ChmodFailure::~ChmodFailure()
{
    chmodFailureName.clear();
}

}  // namespace pelmo::test
