// The files of the run folder PELMOBAK that outlive a process: the staging record,
// the journal of a commit and the backup sets, and what recovery and rollback do
// with them. Only platform/ includes this header, besides tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pelmo::stage {

inline constexpr const char* kRunFolder = "PELMOBAK";
inline constexpr const char* kLockFile = "LOCK";
inline constexpr const char* kRecordFile = "STAGING";
// A backup set's journal is JOURNAL while its renames go on, UNDO while they are
// taken back, DONE once the set is the last completed run.
inline constexpr const char* kJournal = "JOURNAL";
inline constexpr const char* kUndo = "UNDO";
inline constexpr const char* kDone = "DONE";
// The system's history: a commit puts it in place with the run's files, an
// undo never takes it back.
inline constexpr const char* kLogFile = "PELMO.LOG";
// A set taken back with --force: its journal, and the files the undo replaced.
inline constexpr const char* kForced = "FORCED";
inline constexpr const char* kKept = "KEPT";
// The backup sets kept: the newest few, within a budget of bytes.
inline constexpr std::size_t kKeptSets = 3;
inline constexpr std::uint64_t kBackupBudget = 256ull * 1024 * 1024;

// One rename of a commit.
struct Rename {
    std::string work;  // host paths
    std::string target;
    std::uint64_t size = 0;  // of the new file
    std::uint32_t checksum = 0;
    std::string backup;            // file name in the set; empty for an added file
    bool backupIsCopy = false;     // a copy, where no hard link could be made
    std::uint64_t backupSize = 0;  // of the backup, as the commit kept it
    std::uint32_t backupChecksum = 0;
};

struct Journal {
    std::string runId;
    std::vector<Rename> renames;
    std::vector<std::string> madeFolders;
    std::int64_t committed = 0;  // seconds since the epoch
    std::string package;         // the package folder, code page 932
};

// What the staging record names: the run, the folders that may hold its work
// files, the folders it made.
struct Record {
    std::string runId;
    std::vector<std::string> folders;
    std::vector<std::string> madeFolders;
};

// A line of the record or journal; paths are escaped so that a line stays one line.
std::string RecordLine(const char* verb, const std::string& path);
std::string RecordHeader(const std::string& runId);
std::optional<Record> ReadRecord(const std::filesystem::path& file);

// Written and flushed with its folder; false on any failure (the file is then removed).
bool WriteJournal(const std::filesystem::path& file, const Journal& journal);
// Nothing unless the journal is whole: every rename listed, and its end line.
std::optional<Journal> ReadJournal(const std::filesystem::path& file);
std::optional<Journal> ParseJournal(const std::string& text);

bool FlushFolder(const std::filesystem::path& folder);
// Keeps `target` as `backup`: a hard link, else a flushed copy. False when neither.
bool KeepBackup(const std::string& target, const std::filesystem::path& backup, bool& isCopy);
// Whether `path` is a regular file of `size` bytes with that CRC-32; the
// checksum of a file, when `checksum` is given instead.
bool HasContent(const std::string& path, std::uint64_t size, std::uint32_t checksum);
std::optional<std::pair<std::uint64_t, std::uint32_t>> Content(const std::string& path);
// Puts every rename in place whose work file is still there; flushes the folders.
// `tick` is called once a file, so that a caller can show that work goes on.
bool RollForward(const Journal& journal, const std::function<void()>& tick = {});
// Takes back the journal's renames, last first, from the backups; removes added
// files and the folders the run made. Safe to repeat after an interruption.
// An undo (`undo`) leaves the run folder's log as it is.
bool RollBack(const Journal& journal, const std::filesystem::path& set, bool undo = false,
              const std::function<void()>& tick = {});
// Whether `target` is the log of the run folder that holds `set`.
bool IsRunLog(const std::string& target, const std::filesystem::path& set);
// Removes the run's work files from the folders and then the folders it made
// that are left empty, deepest first.
void SweepRun(const std::string& runId, const std::vector<std::string>& folders,
              const std::vector<std::string>& madeFolders, const std::function<void()>& tick = {});
void RemoveTree(const std::filesystem::path& path);
// Removes a backup set whose journal is done with, the journal last, so that a
// set left behind by a crash holds no journal and is known to be rubbish.
void RemoveSet(const std::filesystem::path& set);
// The backup sets of the run folder, by run id.
std::vector<std::string> BackupSets(const std::filesystem::path& runFolder);
// The sets that a run left done or an undo forced, newest first, with their journals.
std::vector<std::pair<std::string, Journal>> CompletedSets(const std::filesystem::path& runFolder);
// Removes completed sets, oldest first, beyond the newest `keep` or beyond
// `budget` bytes; the newest stays whatever its size.
void PruneSets(const std::filesystem::path& runFolder, std::size_t keep = kKeptSets,
               std::uint64_t budget = kBackupBudget);

// Completes or rolls back the run the record names (the lock is held); without
// a record, finishes an undo that was interrupted (a set whose journal is UNDO).
// `tick` is called once a file with what the recovery is doing (Completed or
// RolledBack).
enum class Recovered { Nothing, Completed, RolledBack, Failed };
Recovered RecoverRunFolder(const std::filesystem::path& runFolder, const std::function<void(Recovered)>& tick = {});

}  // namespace pelmo::stage
