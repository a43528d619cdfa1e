// Owned host resources of the file streams: a descriptor, and a work file that is
// removed unless kept. Both close or remove what they hold when they go, and move.
#pragma once

#include <string>
#include <utility>

namespace pelmo::host {

// An open file descriptor, closed when it goes; moving hands it over.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    ~FileDescriptor() { Reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Closes the descriptor held (false when close reports an error) and holds `fd`.
    bool Reset(int fd = -1);

private:
    int fd_ = -1;
};

// A host file that is removed when this goes, unless it was released first.
class RemovedUnlessKept {
public:
    RemovedUnlessKept() = default;
    explicit RemovedUnlessKept(std::string path) : path_(std::move(path)) {}
    RemovedUnlessKept(RemovedUnlessKept&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    RemovedUnlessKept& operator=(RemovedUnlessKept&& other) noexcept
    {
        if (this != &other) {
            Remove();
            path_ = std::exchange(other.path_, {});
        }
        return *this;
    }
    ~RemovedUnlessKept() { Remove(); }

    const std::string& path() const { return path_; }
    void Remove();
    void Keep() { path_.clear(); }

private:
    std::string path_;
};

}  // namespace pelmo::host
