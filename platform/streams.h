// Streamed reading and staged replacing of files on Windows-form paths: a file
// read piece by piece or as text lines, a new version written beside a file for
// the run's commit to put in place, and a folder filled with many such files.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/file_view.h"
#include "platform/files.h"
#include "platform/host/owned_file.h"
#include "platform/staged_view.h"

namespace pelmo {

// A regular file opened for reading; a folder, pipe or device is not opened.
class InputFile {
public:
    static std::optional<InputFile> Open(const FileView& files, std::string_view path);

    // Bytes read, 0 at the end, -1 on an error.
    long Read(void* buffer, std::size_t size);
    // _llseek from the start of the file; a position past the end reads as the end.
    bool Seek(std::uint64_t offset);
    // Where the next read starts, and the file's size when it was opened: how
    // far a reader has got, for a progress display.
    std::uint64_t position() const { return position_; }
    std::uint64_t size() const { return size_; }

private:
    InputFile(host::FileDescriptor fd, std::uint64_t size) : fd_(std::move(fd)), size_(size) {}
    host::FileDescriptor fd_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

// Writes a new version of a file as a work file beside it, staged in the run's
// view: once finished it stands for the target, and the stage's commit puts it
// in place with one rename (its discard removes it), so the target is always its
// old or its new content. A new version equal to the installed file in bytes,
// attribute and last-write time makes no work file at all. Dropped unfinished,
// the work file is removed.
class ReplacementFile {
public:
    // Fails when the folder is missing or no work file can be made there.
    static std::optional<ReplacementFile> Create(StagedView& files, std::string_view target);
    // Buffered; a failure may show only at a later Write or at Finish.
    bool Write(std::string_view bytes);
    // Applied at Finish: the read-only attribute and the last-write time.
    void SetReadOnly(bool readOnly);
    void SetModifiedTime(std::time_t seconds, long nanoseconds = 0);
    // Staged even when it turns out equal to the file it replaces, for a change
    // made on the staged file afterwards.
    void StageEvenIfUnchanged() { stageAlways_ = true; }
    // Hands the new version to the stage, which makes it durable and puts it in
    // place at its commit. False (and nothing staged) when any write failed.
    bool Finish();
    void Discard();

private:
    friend class FolderWriter;
    ReplacementFile() = default;
    static std::optional<ReplacementFile> CreateAt(StagedView& files, const std::filesystem::path& targetHost);
    void Flush();
    // Compares what is written with the file it replaces, reading as far.
    bool SameAsInstalled(std::string_view bytes);
    // Makes the work file once the new version differs, with the bytes that
    // matched so far copied from the installed file.
    bool StartWorkFile();
    bool InstalledEnds();
    // Declared first, so that the descriptor is closed before the work file goes.
    host::RemovedUnlessKept work_;  // the work file, until it is renamed over the target
    host::FileDescriptor fd_;
    // Staged over an installed file: while the bytes written equal its bytes,
    // no work file exists, so an unchanged file is never written.
    host::FileDescriptor installed_;
    struct stat installedStat_ {};
    std::string compared_;
    mode_t mode_ = 0;
    bool stageAlways_ = false;
    bool failed_ = false;
    bool readOnly_ = false;
    std::optional<std::pair<std::time_t, long>> modified_;
    std::string pending_;  // written bytes not yet handed to the kernel
    std::string targetHost_;
    StagedView* files_ = nullptr;
    std::uint64_t size_ = 0;
    std::uint32_t checksum_ = 0;
};

// A folder that many files are written into in a row, as an extraction fills its
// target folder. Its names are read once, so that finding the file a new name
// replaces (matched case-insensitively, as every path is) does not read the whole
// folder again for each file, which made filling a folder quadratic. Names
// written through it are added; what others change meanwhile is not seen.
class FolderWriter {
public:
    // Nothing when `folder` (Windows form) is not a folder that can be read.
    static std::optional<FolderWriter> Open(StagedView& files, std::string_view folder);
    // The status of the file that `name` (one name, code page 932) stands for.
    bool GetStatus(std::string_view name, FileStatus& status) const;
    // A replacement for that file, which counts as present from now on.
    std::optional<ReplacementFile> Replace(std::string_view name);

private:
    FolderWriter() = default;
    // As the machine resolves one name: an exact match, else the first
    // case-insensitive match in name order, else the name as written (UTF-8).
    std::string OnDiskName(std::string_view name) const;
    void Remember(const std::string& onDisk);
    std::filesystem::path host_;
    StagedView* files_ = nullptr;
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
    bool eof_ = false;    // no more bytes from the file
    bool ended_ = false;  // no more lines
    bool failed_ = false;
};

// Reads a whole file; nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const FileView& files, std::string_view path);

}  // namespace pelmo
