// Building a new folder tree on Windows-form paths.
#include "platform/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace pelmo {
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;

bool WriteAllAt(int fd, const char* data, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t done = ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        size -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

}  // namespace

std::optional<OutputFile> OutputFile::Create(const Machine& machine, std::string_view path)
{
    const auto host = machine.ToHost(path);
    if (!host || path.empty())
        return std::nullopt;
    const int fd = ::open(host->c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return std::nullopt;
    return OutputFile(fd);
}

OutputFile::OutputFile(OutputFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      pending_(std::move(other.pending_)),
      size_(other.size_),
      failed_(other.failed_)
{
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool OutputFile::Drain()
{
    if (!pending_.empty() && !failed_)
        failed_ = !WriteAllAt(fd_, pending_.data(), pending_.size(), size_ - pending_.size());
    pending_.clear();
    return !failed_;
}

bool OutputFile::Append(std::string_view bytes)
{
    pending_ += bytes;
    size_ += bytes.size();
    if (pending_.size() >= kBufferSize)
        Drain();
    return !failed_;
}

bool OutputFile::Overwrite(std::uint64_t offset, std::string_view bytes)
{
    if (offset + bytes.size() > size_)
        return false;
    // Bytes still buffered are changed there.
    const std::uint64_t buffered = size_ - pending_.size();
    if (offset >= buffered) {
        pending_.replace(offset - buffered, bytes.size(), bytes);
        return !failed_;
    }
    if (!Drain())
        return false;
    failed_ = !WriteAllAt(fd_, bytes.data(), bytes.size(), offset);
    return !failed_;
}

bool OutputFile::CutTo(std::uint64_t size)
{
    if (size > size_)
        return false;
    const std::uint64_t buffered = size_ - pending_.size();
    if (size >= buffered) {
        pending_.resize(size - buffered);
        size_ = size;
        return !failed_;
    }
    pending_.clear();
    size_ = size;
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
        failed_ = true;
    return !failed_;
}

bool OutputFile::Close(std::time_t modified)
{
    Drain();
    const struct timespec times[2] = {{modified, 0}, {modified, 0}};
    if (!failed_ && ::futimens(fd_, times) != 0)
        failed_ = true;
    if (::close(std::exchange(fd_, -1)) != 0)
        failed_ = true;
    return !failed_;
}

std::optional<std::vector<FolderItem>> ListFolder(const Machine& machine, std::string_view folder)
{
    const auto host = machine.ToHost(folder);
    if (!host)
        return std::nullopt;
    DIR* dir = ::opendir(host->c_str());
    if (dir == nullptr)
        return std::nullopt;
    std::vector<FolderItem> items;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        items.push_back({name, S_ISDIR(st.st_mode), S_ISREG(st.st_mode), static_cast<std::uint64_t>(st.st_size),
                         st.st_mtim.tv_sec});
    }
    ::closedir(dir);
    std::sort(items.begin(), items.end(), [](const FolderItem& a, const FolderItem& b) { return a.name < b.name; });
    return items;
}

bool MakeFolder(const Machine& machine, std::string_view folder)
{
    const auto host = machine.ToHost(folder);
    return host && ::mkdir(host->c_str(), 0777) == 0;
}

bool RenameFolder(const Machine& machine, std::string_view from, std::string_view to)
{
    const auto source = machine.ToHost(from);
    const auto target = machine.ToHost(to);
    return source && target && std::rename(source->c_str(), target->c_str()) == 0;
}

void RemoveFolderTree(const Machine& machine, std::string_view folder)
{
    if (const auto host = machine.ToHost(folder)) {
        std::error_code ec;
        fs::remove_all(*host, ec);
    }
}

}  // namespace pelmo
