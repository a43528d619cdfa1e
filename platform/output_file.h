// Building a new folder tree on Windows-form paths, as a package is built: files
// written at any place (a header put back once its data is known), a folder's
// contents by their names, and the tree renamed into place or removed whole.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/machine.h"

namespace pelmo {

// A file made anew, never one that exists.
class OutputFile {
public:
    static std::optional<OutputFile> Create(const Machine& machine, std::string_view path);
    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;
    ~OutputFile();

    // Buffered; a failure may show only at a later call or at Close.
    bool Append(std::string_view bytes);
    bool Overwrite(std::uint64_t offset, std::string_view bytes);
    // Drops everything from `size` on.
    bool CutTo(std::uint64_t size);
    std::uint64_t Size() const { return size_; }
    // Writes what is left, sets the last-write time and closes; false when any
    // write failed.
    bool Close(std::time_t modified);

private:
    explicit OutputFile(int fd) : fd_(fd) {}
    bool Drain();
    int fd_ = -1;
    std::string pending_;  // appended, not yet written
    std::uint64_t size_ = 0;
    bool failed_ = false;
};

// One name in a folder.
struct FolderItem {
    std::string name;  // UTF-8, as the host spells it
    bool isFolder = false;
    bool isFile = false;  // a regular file; links and devices are neither
    std::uint64_t size = 0;
    std::time_t modified = 0;
};

// The folder's names in byte order, "." and ".." left out; nothing when it
// cannot be read.
std::optional<std::vector<FolderItem>> ListFolder(const Machine& machine, std::string_view folder);

// Renames a folder; `to` may be an empty folder, which it replaces, but nothing else.
// Makes one folder of the new tree (its parent must exist).
bool MakeFolder(const Machine& machine, std::string_view folder);

bool RenameFolder(const Machine& machine, std::string_view from, std::string_view to);

// Removes a folder and everything in it; links are removed, not followed.
void RemoveFolderTree(const Machine& machine, std::string_view folder);

}  // namespace pelmo
