// What the file services see of a machine's drives: the disk as it is, or the
// disk with a run's staged changes over it (StagedView). Windows-form paths
// resolve against the names a view lists; the rest works on host paths.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>

#include "platform/host/owned_file.h"
#include "platform/machine.h"

namespace pelmo {

class FileView {
public:
    explicit FileView(const Machine& machine) : machine_(machine) {}
    virtual ~FileView() = default;
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    const Machine& machine() const { return machine_; }
    // Machine::Resolve over the names this view lists.
    std::optional<HostPath> Resolve(std::string_view windowsPath) const { return machine_.Resolve(windowsPath, *this); }
    std::optional<std::filesystem::path> ToHost(std::string_view windowsPath) const;

    // stat of what `path` stands for; nothing when there is none (errno says why).
    virtual std::optional<struct stat> Status(const std::filesystem::path& path) const = 0;
    // The host file that holds what `path` stands for.
    virtual std::filesystem::path Content(const std::filesystem::path& path) const = 0;
    // Hands every name of `folder` but "." and ".." to `visit` once, with whether
    // it is a folder. False when the folder cannot be read.
    using NameVisitor = std::function<void(std::string_view name, bool isFolder)>;
    virtual bool List(const std::filesystem::path& folder, const NameVisitor& visit) const = 0;

    // Opens what `path` stands for for reading, with `flags` besides O_RDONLY.
    host::FileDescriptor OpenForReading(const std::filesystem::path& path, int flags = 0) const;

private:
    const Machine& machine_;
};

// The disk alone: what every reader sees outside a run.
class DiskView final : public FileView {
public:
    using FileView::FileView;
    std::optional<struct stat> Status(const std::filesystem::path& path) const override;
    std::filesystem::path Content(const std::filesystem::path& path) const override { return path; }
    bool List(const std::filesystem::path& folder, const NameVisitor& visit) const override;
};

}  // namespace pelmo
