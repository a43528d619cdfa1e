// File services with Windows semantics on Windows-form paths: existence, folders,
// copies, status, wildcard search and streamed reading and replacing.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/machine.h"

namespace pelmo {

// _access: mode 0 existence, 2 write, 4 read, 6 both. 0 or -1. A folder written
// with a trailing backslash exists; "" does not. A file without write permission
// bits is read-only, even for root.
int Access(const Machine& machine, std::string_view path, int mode);

// _mkdir: one level. 0 or -1.
int MkDir(const Machine& machine, std::string_view path);

// CopyFile: replaces an existing target unless `failIfExists`; fails when the
// existing target is read-only. Copies the last-write time and, to a new target,
// the read-only attribute. Never leaves a truncated target.
bool CopyFile(const Machine& machine, std::string_view source, std::string_view target, bool failIfExists);

enum FileAttribute : std::uint8_t {
    kAttributeNormal = 0x00,
    kAttributeReadOnly = 0x01,
    kAttributeHidden = 0x02,
    kAttributeSystem = 0x04,
    kAttributeFolder = 0x10,
    kAttributeArchive = 0x20,
};

// CFile::GetStatus / SetStatus.
struct FileStatus {
    std::time_t created = 0;
    std::time_t modified = 0;
    std::time_t accessed = 0;
    std::uint64_t size = 0;
    std::uint8_t attribute = 0;
};
bool GetStatus(const Machine& machine, std::string_view path, FileStatus& status);
// Writes the modification and access times and the attribute; attribute 0 makes
// the file writable.
bool SetStatus(const Machine& machine, std::string_view path, const FileStatus& status);

struct FoundFile {
    std::string name;  // code page 932; '?' for what it cannot express
    bool isFolder = false;
};
// FindFirstFile/FindNextFile over "folder\pattern": '*' any run, '?' exactly one
// character, letter case folded as for file names. Folders are reported too, "."
// and ".." as well when they match. Sorted as NTFS does: by upper-cased UTF-16.
std::vector<FoundFile> FindFiles(const Machine& machine, std::string_view pattern);

// A regular file opened for reading; a folder, pipe or device is not opened.
class InputFile {
public:
    static std::optional<InputFile> Open(const Machine& machine, std::string_view path);
    InputFile(InputFile&& other) noexcept;
    InputFile& operator=(InputFile&& other) noexcept;
    ~InputFile();

    // Bytes read, 0 at the end, -1 on an error.
    long Read(void* buffer, std::size_t size);
    // _llseek from the start of the file; a position past the end reads as the end.
    bool Seek(std::uint64_t offset);

private:
    explicit InputFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// What Commit waits for. Both put the new content in place with one rename, so a
// failed or interrupted write never leaves a broken target.
enum class Durability {
    // The content is on the disk before the rename and the rename before Commit
    // returns: even after a power loss the target is the old or the new file. For
    // what exists nowhere else (settings files, converted master files).
    Flushed,
    // The disk write is left to the system, as every copy and archiver does: for
    // files installed from a package, which can be installed again. A flush costs
    // about a millisecond a file, the whole time of extracting small members.
    Cached,
};

// Writes a new version of a file beside it and puts it in place with one atomic
// rename, so the target is always either its old or its new content. Dropped
// without Commit, the work file is removed.
class ReplacementFile {
public:
    // `workPath` names the work file; by default a unique hidden name in the
    // target's folder. Fails when the folder is missing or the work file cannot be
    // created.
    static std::optional<ReplacementFile> Create(const Machine& machine, std::string_view target,
                                                 std::optional<std::string_view> workPath = std::nullopt,
                                                 Durability durability = Durability::Flushed);
    ReplacementFile(ReplacementFile&& other) noexcept;
    ReplacementFile& operator=(ReplacementFile&& other) noexcept;
    ~ReplacementFile();

    // Buffered; a failure may show only at a later Write or at Commit.
    bool Write(std::string_view bytes);
    // Applied at Commit: the read-only attribute and the last-write time.
    void SetReadOnly(bool readOnly);
    void SetModifiedTime(std::time_t seconds, long nanoseconds = 0);
    // Flushes to the disk and renames over the target. False (and nothing replaced)
    // when any write failed.
    bool Commit();
    void Discard();

private:
    friend class FolderWriter;
    ReplacementFile() = default;
    static std::optional<ReplacementFile> CreateAt(const std::filesystem::path& targetHost,
                                                   const std::optional<std::filesystem::path>& workHost,
                                                   Durability durability);
    void Flush();
    int fd_ = -1;
    bool failed_ = false;
    bool readOnly_ = false;
    Durability durability_ = Durability::Flushed;
    std::optional<std::pair<std::time_t, long>> modified_;
    std::string pending_;  // written bytes not yet handed to the kernel
    std::string workHost_;
    std::string targetHost_;
};

// A folder that many files are written into in a row, as an extraction fills its
// target folder. Its names are read once, so that finding the file a new name
// replaces (matched case-insensitively, as every path is) does not read the whole
// folder again for each file, which made filling a folder quadratic. Names
// written through it are added; what others change meanwhile is not seen.
class FolderWriter {
public:
    // Nothing when `folder` (Windows form) is not a folder that can be read.
    static std::optional<FolderWriter> Open(const Machine& machine, std::string_view folder);
    // The status of the file that `name` (one name, code page 932) stands for.
    bool GetStatus(std::string_view name, FileStatus& status) const;
    // A replacement for that file, which counts as present from now on. A
    // `workName` in the folder names the work file, which is gone again once the
    // replacement is committed or dropped (ReplacementFile::Create's `workPath`).
    std::optional<ReplacementFile> Replace(std::string_view name, Durability durability,
                                           std::optional<std::string_view> workName = std::nullopt);

private:
    FolderWriter() = default;
    // As the machine resolves one name: an exact match, else the first
    // case-insensitive match in name order, else the name as written (UTF-8).
    std::string OnDiskName(std::string_view name) const;
    void Remember(const std::string& onDisk);
    void Forget(const std::string& onDisk);
    std::filesystem::path host_;
    std::unordered_set<std::string> names_;                // as on the disk
    std::unordered_map<std::string, std::string> folded_;  // folded name -> first such name
};

// Reads a file in text mode: a line ends at LF, a CR right before it is dropped,
// Ctrl-Z ends the input. The last line is read without a line end too.
class TextReader {
public:
    explicit TextReader(InputFile file) : file_(std::move(file)) {}
    // False at the end of the input (or after a read error, which counts as the end).
    bool ReadLine(std::string& line);
    bool failed() const { return failed_; }

private:
    bool Fill();
    InputFile file_;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool eof_ = false;   // no more bytes from the file
    bool ended_ = false; // no more lines
    bool failed_ = false;
};

// Reads a whole file; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const Machine& machine, std::string_view path);

}  // namespace pelmo
