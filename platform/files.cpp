// File services with Windows semantics on Windows-form paths.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/host/host_file.h"
#include "platform/letter_case.h"
#include "platform/runtime.h"
#include "platform/staged_view.h"
#include "platform/streams.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using host::CurrentUmask;
using host::IsReadOnly;
using host::kWriteBits;
using host::Stat;

// The code points of a UTF-8 name, malformed bytes as U+FFFD.
std::u32string CodePoints(std::string_view utf8)
{
    std::u32string out;
    for (std::size_t pos = 0; pos < utf8.size();)
        out.push_back(DecodeUtf8(utf8, pos));
    return out;
}

// '*' any run, '?' exactly one character; letters folded as in file names.
bool MatchWildcard(std::u32string_view pattern, std::u32string_view name)
{
    std::size_t p = 0, n = 0, starP = std::u32string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == U'?' || UpperCase(pattern[p], CaseRule::FileName) ==
                                                                    UpperCase(name[n], CaseRule::FileName))) {
            ++p;
            ++n;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

// NTFS orders names by their upper-cased UTF-16 code units.
std::u16string NtfsSortKey(std::string_view utf8)
{
    std::u16string key;
    for (char32_t c : CodePoints(utf8))
        AppendUtf16(UpperCase(c, CaseRule::Windows), key);
    return key;
}

// Stages a copy of a file the run has not written, so that its status can be
// changed on the copy.
bool StageCopy(StagedView& files, std::string_view path)
{
    auto content = ReadWholeFile(files, path);
    auto copy = ReplacementFile::Create(files, path);
    FileStatus status;
    if (!content || !copy || !GetStatus(files, path, status))
        return false;
    copy->StageEvenIfUnchanged();
    copy->SetReadOnly((status.attribute & kAttributeReadOnly) != 0);
    auto st = files.Status(*files.ToHost(path));
    if (st)
        copy->SetModifiedTime(st->st_mtim.tv_sec, st->st_mtim.tv_nsec);
    return copy->Write(*content) && copy->Finish();
}

}  // namespace

int Access(const FileView& files, std::string_view path, int mode)
{
    if (path.empty())
        return -1;
    auto resolved = files.Resolve(path);
    if (!resolved)
        return -1;
    auto st = files.Status(resolved->host);
    if (!st)
        return -1;
    bool isFolder = S_ISDIR(st->st_mode);
    if (resolved->mustBeFolder && !isFolder)
        return -1;
    if ((mode & 2) && !isFolder && IsReadOnly(*st))
        return -1;
    return 0;
}

int MkDir(StagedView& files, std::string_view path)
{
    auto host = files.ToHost(path);
    if (!host || path.empty())
        return -1;
    return files.MakeFolder(*host) ? 0 : -1;
}

bool CopyFile(StagedView& files, std::string_view source, std::string_view target, ExistingTarget existing)
{
    auto sourceHost = files.ToHost(source);
    auto targetHost = files.ToHost(target);
    if (!sourceHost || !targetHost)
        return false;
    auto sourceStat = files.Status(*sourceHost);
    if (!sourceStat || !S_ISREG(sourceStat->st_mode))
        return false;
    if (auto targetStat = files.Status(*targetHost)) {
        if (existing == ExistingTarget::Fail || !S_ISREG(targetStat->st_mode) || IsReadOnly(*targetStat))
            return false;
    } else if (errno != ENOENT) {
        return false;
    }
    auto input = InputFile::Open(files, source);
    if (!input)
        return false;
    bool newTarget = !files.Status(*targetHost).has_value();
    auto output = ReplacementFile::Create(files, target);
    if (!output)
        return false;
    char buffer[1 << 16];
    for (;;) {
        long got = input->Read(buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (!output->Write(std::string_view(buffer, static_cast<std::size_t>(got))))
            return false;
    }
    // A new target takes the source's read-only attribute; the last-write time is
    // always copied.
    if (newTarget && IsReadOnly(*sourceStat))
        output->SetReadOnly(true);
    output->SetModifiedTime(sourceStat->st_mtim.tv_sec, sourceStat->st_mtim.tv_nsec);
    return output->Finish();
}

bool GetStatus(const FileView& files, std::string_view path, FileStatus& status)
{
    auto host = files.ToHost(path);
    if (!host || path.empty())
        return false;
    const auto st = files.Status(*host);
    if (st)
        status = StatusFromHost(*st);
    return st.has_value();
}

FileStatus StatusFromHost(const struct stat& st)
{
    FileStatus status;
    status.created = st.st_ctime;
    status.modified = st.st_mtime;
    status.accessed = st.st_atime;
    status.size = static_cast<std::uint64_t>(st.st_size);
    status.attribute = S_ISDIR(st.st_mode) ? kAttributeFolder : kAttributeArchive;
    if (IsReadOnly(st))
        status.attribute |= kAttributeReadOnly;
    return status;
}

bool SetStatus(StagedView& files, std::string_view path, const FileStatus& status)
{
    const auto host = files.ToHost(path);
    if (!host || path.empty())
        return false;
    const auto newMode = [&status](const struct stat& st) {
        mode_t mode = st.st_mode & 07777;
        if (status.attribute & kAttributeReadOnly)
            mode &= ~kWriteBits;
        else
            mode |= S_IWUSR | (kWriteBits & ~CurrentUmask());
        return mode;
    };
    if (!files.IsStaged(*host)) {
        const auto st = Stat(*host);
        if (!st || !S_ISREG(st->st_mode))
            return false;
        // A status the file already has is no change, and stages nothing.
        if (newMode(*st) == (st->st_mode & 07777) && st->st_mtim.tv_sec == status.modified && st->st_mtim.tv_nsec == 0)
            return true;
        // Changed on a staged copy, which the commit renames into place.
        if (!StageCopy(files, path))
            return false;
    }
    const fs::path work = files.Content(*host);
    auto st = Stat(work);
    if (!st)
        return false;
    const mode_t mode = newMode(*st);
    if (::chmod(work.c_str(), mode) != 0)
        return false;
    struct timespec times[2] = {{status.accessed, 0}, {status.modified, 0}};
    if (::utimensat(AT_FDCWD, work.c_str(), times, 0) != 0)
        return false;
    files.DropIfUnchanged(*host);
    return true;
}

std::vector<FoundFile> FindFiles(const FileView& files, std::string_view pattern)
{
    SplitPathResult parts = SplitPath(pattern);
    std::string folder = parts.drive + parts.folder;
    std::string namePattern = parts.baseName + parts.extension;
    if (namePattern == "*.*")
        namePattern = "*";  // every name, with or without a dot
    auto resolved = files.Resolve(folder.empty() ? std::string_view(".") : std::string_view(folder));
    if (!resolved || namePattern.empty())
        return {};
    if (const auto st = files.Status(resolved->host); !st || !S_ISDIR(st->st_mode))
        return {};
    std::u32string wanted = CodePoints(Cp932ToUtf8Lossy(namePattern));

    struct Candidate {
        std::u16string key;
        FoundFile file;
    };
    std::vector<Candidate> found;
    auto consider = [&](std::string_view hostName, bool isFolder) {
        if (!MatchWildcard(wanted, CodePoints(hostName)))
            return;
        found.push_back({NtfsSortKey(hostName), {Utf8ToCp932Lossy(hostName), isFolder}});
    };
    // A drive root has no "." and ".." entries, as on NTFS.
    if (!resolved->components.empty()) {
        consider(".", true);
        consider("..", true);
    }
    files.List(resolved->host, consider);
    std::stable_sort(found.begin(), found.end(), [](const Candidate& a, const Candidate& b) {
        bool aDot = a.file.name == "." || a.file.name == "..";
        bool bDot = b.file.name == "." || b.file.name == "..";
        if (aDot != bDot)
            return aDot;
        return a.key < b.key;
    });
    std::vector<FoundFile> result;
    result.reserve(found.size());
    for (Candidate& candidate : found)
        result.push_back(std::move(candidate.file));
    return result;
}

}  // namespace pelmo
