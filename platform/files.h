// File services with Windows semantics on Windows-form paths: existence, folders,
// copies, status and wildcard search, in a view of the machine's drives: reads
// take any view, writes the run's staged one. Streamed reading and replacing:
// streams.h.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_view.h"

namespace pelmo {

// _access: mode 0 existence, 2 write, 4 read, 6 both. 0 or -1. A folder written
// with a trailing backslash exists; "" does not. A file without write permission
// bits is read-only, even for root.
int Access(const FileView& files, std::string_view path, int mode);

class StagedView;

// _mkdir: one level. 0 or -1.
int MkDir(StagedView& files, std::string_view path);

// What CopyFile does with a target that exists already.
enum class ExistingTarget { Replace, Fail };

// CopyFile: replaces an existing target (unless told to fail instead), but fails
// when that target is read-only. Copies the last-write time and, to a new target,
// the read-only attribute. Never leaves a truncated target.
bool CopyFile(StagedView& files, std::string_view source, std::string_view target, ExistingTarget existing);

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
bool GetStatus(const FileView& files, std::string_view path, FileStatus& status);
// The status a host file's stat result stands for.
FileStatus StatusFromHost(const struct stat& st);
// Writes the modification and access times and the attribute; attribute 0 makes
// the file writable.
bool SetStatus(StagedView& files, std::string_view path, const FileStatus& status);

struct FoundFile {
    std::string name;  // code page 932; '?' for what it cannot express
    bool isFolder = false;
};
// FindFirstFile/FindNextFile over "folder\pattern": '*' any run, '?' exactly one
// character, letter case folded as for file names. Folders are reported too, "."
// and ".." as well when they match. Sorted as NTFS does: by upper-cased UTF-16.
std::vector<FoundFile> FindFiles(const FileView& files, std::string_view pattern);

}  // namespace pelmo
