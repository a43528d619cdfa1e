// Test support: faults injected into the host calls of the test process itself.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace pelmo::test {

// What goes wrong while a FaultScope lives. Write points are the calls that change
// a file or folder below `root`: write(), open() with O_CREAT, mkstemp(), mkdir(),
// rename(), fsync(), syncfs(), sync_file_range(), fchmod(), chmod(), futimens(),
// utimensat() and unlink().
// Read points are the read() calls on files below `readsBelow`. Counts start at 1.
// The flushes below `root` only count: a killed process is not a lost machine,
// and flushing would make every run slow.
struct FaultPlan {
    std::filesystem::path root = {};
    int noSpaceAt = 0;  // this write point fails as on a full disk (unlink and chmod never do)
    int killAt = 0;     // the process is killed (SIGKILL) at this write point
    std::filesystem::path readsBelow = {};
    int readErrorAt = 0;  // this read point fails with EIO
    // stat() of this file fails as if it were missing, chmod() with EIO; so do
    // those of a staged run's work files in its folder, which stand for it.
    std::filesystem::path statFails = {};
    std::filesystem::path chmodFails = {};
    // fstatfs() below `root` reports this file system type (statfs's f_type) when set.
    unsigned long fileSystemType = 0;
    // link() below `root` fails with EPERM, as on a FAT file system.
    bool noHardLinks = false;
};

class FaultScope {
public:
    explicit FaultScope(const FaultPlan& plan);
    ~FaultScope();
    FaultScope(const FaultScope&) = delete;
    FaultScope& operator=(const FaultScope&) = delete;

    // The points reached so far.
    int writePoints() const;
    int readPoints() const;
    // The flushes and renames below `root` so far, in order: "fsync PATH",
    // "syncfs PATH", "rename FROM TO".
    const std::vector<std::string>& flushes() const;
};

}  // namespace pelmo::test
