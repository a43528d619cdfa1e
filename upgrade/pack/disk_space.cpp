// A disk's room counted as a FAT floppy counts it.
#include "upgrade/pack/disk_space.h"

#include "platform/letter_case.h"

namespace pelmo::pack {
namespace {

constexpr std::uint64_t kSector = 512;
constexpr std::size_t kRootNames = 224;
constexpr std::uint64_t kNamesPerSector = 16;  // directory entries of 32 bytes

}  // namespace

std::string Key(std::string_view cp932)
{
    return UpperCase(cp932, CaseRule::FileName);
}

DiskSpace::DiskSpace(std::uint64_t bytes) : sectors_(bytes / kSector)
{
}

bool DiskSpace::Fits(const std::vector<DiskFile>& files) const
{
    DiskSpace after = *this;
    after.Add(files);
    return after.Used() <= sectors_ && after.folders_.at("").size() <= kRootNames;
}

void DiskSpace::Add(const std::vector<DiskFile>& files)
{
    for (const DiskFile& file : files) {
        fileSectors_ += (file.size + kSector - 1) / kSector;
        std::string folder;
        for (std::size_t start = 0;;) {
            const std::size_t slash = file.path.find('\\', start);
            folders_[folder].insert(Key(file.path.substr(start, slash - start)));
            if (slash == std::string::npos)
                break;
            folder = file.path.substr(0, slash);
            start = slash + 1;
        }
    }
}

bool DiskSpace::Holds(const std::string& path) const
{
    const std::size_t slash = path.rfind('\\');
    const auto folder = folders_.find(slash == std::string::npos ? "" : path.substr(0, slash));
    return folder != folders_.end() &&
           folder->second.contains(Key(slash == std::string::npos ? path : path.substr(slash + 1)));
}

std::uint64_t DiskSpace::Used() const
{
    std::uint64_t used = fileSectors_;
    for (const auto& [folder, names] : folders_)
        if (!folder.empty())
            used += (names.size() + 2 + kNamesPerSector - 1) / kNamesPerSector;  // with "." and ".."
    return used;
}

}  // namespace pelmo::pack
