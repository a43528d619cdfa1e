// The files of the run folder PELMOBAK that outlive a process: the staging record,
// the journal of a commit and the backup sets, and what recovery and rollback do
// with them. Only platform/ includes this header, besides tests.
#pragma once

#include <cstdint>
#include <filesystem>
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

// One rename of a commit.
struct Rename {
    std::string work;  // host paths
    std::string target;
    std::uint64_t size = 0;  // of the new file
    std::uint32_t checksum = 0;
    std::string backup;         // file name in the set; empty for an added file
    bool backupIsCopy = false;  // a copy, where no hard link could be made
};

struct Journal {
    std::string runId;
    std::vector<Rename> renames;
    std::vector<std::string> madeFolders;
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
// Puts every rename in place whose work file is still there; flushes the folders.
bool RollForward(const Journal& journal);
// Takes back the journal's renames, last first, from the backups; removes added
// files and the folders the run made. Safe to repeat after an interruption.
bool RollBack(const Journal& journal, const std::filesystem::path& set);
// Removes the run's work files from the folders and then the folders it made
// that are left empty, deepest first.
void SweepRun(const std::string& runId, const std::vector<std::string>& folders,
              const std::vector<std::string>& madeFolders);
void RemoveTree(const std::filesystem::path& path);
// Removes a backup set whose journal is done with, the journal last, so that a
// set left behind by a crash holds no journal and is known to be rubbish.
void RemoveSet(const std::filesystem::path& set);
// The backup sets of the run folder, by run id.
std::vector<std::string> BackupSets(const std::filesystem::path& runFolder);

// Completes or rolls back the run the record names (the lock is held); without
// a record, finishes an undo that was interrupted (a set whose journal is UNDO).
enum class Recovered { Nothing, Completed, RolledBack, Failed };
Recovered RecoverRunFolder(const std::filesystem::path& runFolder);

}  // namespace pelmo::stage
