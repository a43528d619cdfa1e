// The view a run works in: the disk with what the run has staged over it. Reads
// see the run's own writes, and every write is staged: a work file beside its
// target that the stage's commit puts in place, or its discard removes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "platform/file_view.h"
#include "platform/stage/staging.h"

namespace pelmo {

class StagedView final : public FileView {
public:
    StagedView(const Machine& machine, Stage& stage) : FileView(machine), stage_(stage) {}

    std::optional<struct stat> Status(const std::filesystem::path& path) const override;
    std::filesystem::path Content(const std::filesystem::path& path) const override;
    bool List(const std::filesystem::path& folder, const NameVisitor& visit) const override;

    // Whether the run has written `target` (a work file stands for it).
    bool IsStaged(const std::filesystem::path& target) const { return stage_.Find(target) != nullptr; }
    // A new, empty work file in `folder`, recorded for recovery first.
    std::optional<std::pair<std::string, host::FileDescriptor>> NewWorkFile(const std::filesystem::path& folder)
    {
        return stage_.NewWorkFile(folder);
    }
    // The finished work file stands for `target` from now on; one written
    // before for it goes.
    void Replace(const std::filesystem::path& target, StagedFile file) { stage_.Register(target, std::move(file)); }
    // A write that left `target` as it was: nothing staged, the plan names it.
    void KeepUnchanged(const std::filesystem::path& target, std::uint64_t size, std::uint32_t checksum)
    {
        stage_.NoteUnchanged(target, size, checksum);
    }
    // Removes the work file of `target` when it is the installed file again.
    void DropIfUnchanged(const std::filesystem::path& target) { stage_.DropIfUnchanged(target); }
    // _mkdir: recorded, then made at once.
    bool MakeFolder(const std::filesystem::path& folder) { return stage_.MakeFolder(folder); }
    // What the plan says of a settings key or a master conversion.
    void NoteSettings(const std::filesystem::path& target, std::string section, std::string key, std::string oldValue,
                      std::string newValue)
    {
        stage_.NoteSettings(target, std::move(section), std::move(key), std::move(oldValue), std::move(newValue));
    }
    void NoteConverted(const std::filesystem::path& target, std::uint64_t records)
    {
        stage_.NoteConverted(target, records);
    }
    // A stage that will only be discarded: its work files need not reach the disk.
    bool discardOnly() const { return stage_.discardOnly(); }

private:
    Stage& stage_;
};

}  // namespace pelmo
