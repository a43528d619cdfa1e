// Staged runs: every change of an upgrade run is written beside its target and
// put in place by one commit, or dropped. The Stage keeps what the run has
// staged; the file services reach it only through the run's StagedView
// (platform/staged_view.h), which lays it over the disk (docs/reliability.md).
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/owned_file.h"

namespace pelmo {

// One staged file: its work file beside the target and what the journal keeps of it.
struct StagedFile {
    std::string work;  // host path
    std::uint64_t size = 0;
    std::uint32_t checksum = 0;  // CRC-32 of the content
};

// What a run has staged, for a plan of its changes.
struct PlannedChange {
    enum class Kind { Added, Replaced, Unchanged, Settings, Converted };
    Kind kind = Kind::Added;
    std::string target;                            // host path
    std::string section, key, oldValue, newValue;  // Settings, code page 932
    std::uint64_t records = 0;                     // Converted: records changed
    std::uint64_t size = 0;                        // Added, Replaced, Unchanged
    std::uint32_t checksum = 0;
};

enum class StageOpening { Opened, Busy, Failed, NoFolder };
enum class Recovery { Nothing, Completed, RolledBack, Failed };
enum class CommitResult { Committed, NotStarted };
enum class UndoResult { Nothing, Restored, Refused, Failed };

// A completed run's backup set, for a list of what undo can take back.
struct BackupSetSummary {
    std::int64_t committed = 0;  // nanoseconds since the epoch
    std::string package;         // code page 932
    std::size_t added = 0, replaced = 0, removed = 0;
    enum class State { CanUndo, FilesChanged, Forced } state = State::CanUndo;
};

class Stage {
public:
    // Opens the run folder PELMOBAK in `systemFolder` (made when missing) and takes
    // its lock; Busy when another run holds it.
    static std::unique_ptr<Stage> Open(const std::filesystem::path& systemFolder, StageOpening& result);
    // Discards what is still staged, then lets the lock go.
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    // Completes or rolls back a run that was interrupted on this system; `progress`
    // hears once a file whether it completes (Completed) or takes back (RolledBack).
    using RecoveryProgress = std::function<void(Recovery)>;
    Recovery Recover(const RecoveryProgress& progress = {});

    // --- what is staged, for StagedView ---
    const StagedFile* Find(const std::filesystem::path& target) const;
    // Names of the staged files of one folder (whether or not the disk has them).
    std::vector<std::string> NamesIn(const std::filesystem::path& folder) const;
    // A work file of this run, which listings do not show.
    bool IsOwnWorkFile(std::string_view name) const;

    // --- staging ---
    // Creates a new work file in `folder`; the folder is in the staging record
    // (flushed) before. Nothing when either fails.
    std::optional<std::pair<std::string, host::FileDescriptor>> NewWorkFile(const std::filesystem::path& folder);
    // The finished work file now stands for `target`; an earlier one is removed.
    void Register(const std::filesystem::path& target, StagedFile file);
    // _mkdir under staging: recorded, then made at once. False as mkdir fails.
    bool MakeFolder(const std::filesystem::path& folder);
    void NoteSettings(const std::filesystem::path& target, std::string section, std::string key, std::string oldValue,
                      std::string newValue);
    void NoteConverted(const std::filesystem::path& target, std::uint64_t records);
    // A write that left the file as it was: nothing is staged, the plan names it.
    void NoteUnchanged(const std::filesystem::path& target, std::uint64_t size, std::uint32_t checksum);
    // After a change of its status: a staged file that is now the installed
    // file again, bytes, attribute and last-write time, is no longer staged.
    void DropIfUnchanged(const std::filesystem::path& target);
    bool AnythingStaged() const { return !files_.empty() || !madeFolders_.empty(); }
    // A dry run's stage is only ever discarded: its files need not reach the disk.
    void MarkDiscardOnly() { discardOnly_ = true; }
    bool discardOnly() const { return discardOnly_; }
    std::vector<PlannedChange> Plan() const;

    // Puts every staged file in place, keeping each replaced file as a backup.
    // NotStarted: nothing changed and nothing is staged any more. `progress`
    // hears how many of the staged files are on the disk, for a progress display.
    using CommitProgress = std::function<void(std::size_t done, std::size_t total)>;
    CommitResult Commit(const CommitProgress& progress = {});
    // Removes what the run staged; `progress` hears how many of the staged
    // files are gone, for a display that must not freeze meanwhile.
    void Discard(const CommitProgress& progress = {});

    // Puts back what the last committed run of this system replaced and removes
    // what it added, as one change of its own that recovery completes. Refused,
    // with the host paths in `changed`, when any of its files differs from what
    // its journal says it wrote; nothing is changed then. Only on a stage that
    // has staged nothing.
    // With `force`, the files that changed are no obstacle: every file the undo
    // replaces or removes is kept in the set's folder KEPT (named in `kept`),
    // and the set stays listed as forced. Failed when a backup is missing or no
    // longer what the commit kept.
    UndoResult Undo(std::vector<std::string>& changed, bool force = false, std::string* kept = nullptr);
    // The completed runs, newest first, each with whether undo can take it
    // back in turn; only on a stage that has staged nothing.
    std::vector<BackupSetSummary> History() const;
    // The package folder that the journal of a commit names.
    void Describe(std::string package) { package_ = std::move(package); }

    const std::string& runId() const { return runId_; }
    const std::filesystem::path& runFolder() const { return runFolder_; }

private:
    Stage() = default;
    bool Record(const std::string& line);
    bool RecordFolder(const std::filesystem::path& folder);
    void Close();

    std::filesystem::path runFolder_;  // PELMOBAK
    std::string runId_;
    host::FileDescriptor lock_;
    host::FileDescriptor record_;  // the staging record, once anything is staged
    bool recordNamed_ = false;     // its folder flushed since it was made
    std::vector<std::string> recordedFolders_;
    std::vector<std::string> madeFolders_;
    std::map<std::string, StagedFile> files_;      // target host path -> its staged version
    std::map<std::string, bool> existed_;          // target host path -> on the disk when first staged
    std::map<std::string, StagedFile> unchanged_;  // written with the bytes and status it had
    std::vector<PlannedChange> notes_;
    std::string package_;
    bool ended_ = false;
    bool discardOnly_ = false;
};

}  // namespace pelmo
