// Test support: a small RAM disk (tmpfs) mounted over a folder, to be filled up.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

namespace pelmo::test {

class SmallDisk {
public:
    static constexpr std::size_t kPageSize = 4096;
    // What fills the disk lives here, below the disk's root.
    static constexpr const char* kFillFolder = ".filler";

    // Mounts a tmpfs of `bytes` and `inodes` over `folder` (made when missing).
    // Nothing, with the reason in `whyNot`, where mounting is not allowed (not
    // root, or a container without the privilege).
    static std::unique_ptr<SmallDisk> Mount(const std::filesystem::path& folder, std::size_t bytes,
                                            std::size_t inodes, std::string& whyNot);
    // Unmounts, also when a test failed halfway.
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    // Takes every free block with one file; new files can then be made but hold no byte.
    void FillBlocks();
    // Gives `pages` blocks of the filling back.
    void FreePages(std::size_t pages);
    // Takes every free inode with empty files; no file or folder can then be made.
    void FillInodes();
    // Removes all the filling.
    void Empty();

private:
    explicit SmallDisk(std::filesystem::path folder) : folder_(std::move(folder)) {}
    std::filesystem::path FillPath() const { return folder_ / kFillFolder; }
    std::filesystem::path folder_;
};

}  // namespace pelmo::test
