// What a package's disk holds, counted as a 1.44 MB FAT floppy counts it.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pelmo::pack {

// A name as the disk compares it: letter case does not count.
std::string Key(std::string_view cp932);

// A file as it will lie on its disk.
struct DiskFile {
    std::string path;  // code page 932, '\' between folders, below the disk's root
    std::uint64_t size = 0;
};

// Whole sectors per file, a directory of 32-byte names for each folder, at
// most 224 names in the root.
class DiskSpace {
public:
    explicit DiskSpace(std::uint64_t bytes);

    bool Fits(const std::vector<DiskFile>& files) const;
    void Add(const std::vector<DiskFile>& files);
    bool Holds(const std::string& path) const;

private:
    std::uint64_t Used() const;

    std::uint64_t sectors_;
    std::uint64_t fileSectors_ = 0;
    std::map<std::string, std::set<std::string>> folders_ = {{"", {}}};
};

}  // namespace pelmo::pack
