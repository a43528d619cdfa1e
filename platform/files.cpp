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
#include "platform/stage/staging.h"
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

// What a path stands for in the run's view: a staged file's work file.
std::optional<struct stat> ViewStat(const Machine& machine, const fs::path& host)
{
    return machine.stage() ? machine.stage()->Stat(host) : Stat(host);
}

// Stages a copy of a file the run has not written, so that its status can be
// changed on the copy.
bool StageUnchanged(const Machine& machine, std::string_view path)
{
    auto content = ReadWholeFile(machine, path);
    auto copy = ReplacementFile::Create(machine, path, std::nullopt, Durability::Cached);
    FileStatus status;
    if (!content || !copy || !GetStatus(machine, path, status))
        return false;
    copy->StageEvenIfUnchanged();
    copy->SetReadOnly((status.attribute & kAttributeReadOnly) != 0);
    auto st = Stat(*machine.ToHost(path));
    if (st)
        copy->SetModifiedTime(st->st_mtim.tv_sec, st->st_mtim.tv_nsec);
    return copy->Write(*content) && copy->Commit();
}

}  // namespace

int Access(const Machine& machine, std::string_view path, int mode)
{
    if (path.empty())
        return -1;
    auto resolved = machine.Resolve(path);
    if (!resolved)
        return -1;
    auto st = ViewStat(machine, resolved->host);
    if (!st)
        return -1;
    bool isFolder = S_ISDIR(st->st_mode);
    if (resolved->mustBeFolder && !isFolder)
        return -1;
    if ((mode & 2) && !isFolder && IsReadOnly(*st))
        return -1;
    return 0;
}

int MkDir(const Machine& machine, std::string_view path)
{
    auto host = machine.ToHost(path);
    if (!host || path.empty())
        return -1;
    if (Stage* stage = machine.stage())
        return stage->MakeFolder(*host) ? 0 : -1;
    return ::mkdir(host->c_str(), 0777) == 0 ? 0 : -1;
}

bool CopyFile(const Machine& machine, std::string_view source, std::string_view target, ExistingTarget existing)
{
    auto sourceHost = machine.ToHost(source);
    auto targetHost = machine.ToHost(target);
    if (!sourceHost || !targetHost)
        return false;
    auto sourceStat = ViewStat(machine, *sourceHost);
    if (!sourceStat || !S_ISREG(sourceStat->st_mode))
        return false;
    if (auto targetStat = ViewStat(machine, *targetHost)) {
        if (existing == ExistingTarget::Fail || !S_ISREG(targetStat->st_mode) || IsReadOnly(*targetStat))
            return false;
    } else if (errno != ENOENT) {
        return false;
    }
    auto input = InputFile::Open(machine, source);
    if (!input)
        return false;
    bool newTarget = !ViewStat(machine, *targetHost).has_value();
    // A copy comes from the package and can be made again, so it is not flushed
    // file by file; the rename still keeps a failed copy from replacing anything.
    auto output = ReplacementFile::Create(machine, target, std::nullopt, Durability::Cached);
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
    return output->Commit();
}

bool GetStatus(const Machine& machine, std::string_view path, FileStatus& status)
{
    auto host = machine.ToHost(path);
    if (!host || path.empty())
        return false;
    const StagedFile* staged = machine.stage() ? machine.stage()->Find(*host) : nullptr;
    const auto st = Stat(staged ? fs::path(staged->work) : *host);
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

bool SetStatus(const Machine& machine, std::string_view path, const FileStatus& status)
{
    auto host = machine.ToHost(path);
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
    if (Stage* stage = machine.stage(); stage && !stage->Find(*host)) {
        const auto st = Stat(*host);
        if (!st || !S_ISREG(st->st_mode))
            return false;
        // A status the file already has is no change, and stages nothing.
        if (newMode(*st) == (st->st_mode & 07777) && st->st_mtim.tv_sec == status.modified && st->st_mtim.tv_nsec == 0)
            return true;
        // Changed on a staged copy, which the commit renames into place.
        if (!StageUnchanged(machine, path))
            return false;
    }
    if (const Stage* stage = machine.stage())
        host = fs::path(stage->Find(*host)->work);
    auto st = Stat(*host);
    if (!st)
        return false;
    const mode_t mode = newMode(*st);
    if (::chmod(host->c_str(), mode) != 0)
        return false;
    struct timespec times[2] = {{status.accessed, 0}, {status.modified, 0}};
    if (::utimensat(AT_FDCWD, host->c_str(), times, 0) != 0)
        return false;
    if (Stage* stage = machine.stage())
        stage->DropIfUnchanged(*machine.ToHost(path));
    return true;
}

std::vector<FoundFile> FindFiles(const Machine& machine, std::string_view pattern)
{
    SplitPathResult parts = SplitPath(pattern);
    std::string folder = parts.drive + parts.folder;
    std::string namePattern = parts.baseName + parts.extension;
    if (namePattern == "*.*")
        namePattern = "*";  // every name, with or without a dot
    auto resolved = machine.Resolve(folder.empty() ? std::string_view(".") : std::string_view(folder));
    std::error_code ec;
    if (!resolved || !fs::is_directory(resolved->host, ec) || namePattern.empty())
        return {};
    std::u32string wanted = CodePoints(Cp932ToUtf8Lossy(namePattern));

    struct Candidate {
        std::u16string key;
        FoundFile file;
    };
    std::vector<Candidate> found;
    auto consider = [&](const std::string& hostName, bool isFolder) {
        if (!MatchWildcard(wanted, CodePoints(hostName)))
            return;
        found.push_back({NtfsSortKey(hostName), {Utf8ToCp932Lossy(hostName), isFolder}});
    };
    // A drive root has no "." and ".." entries, as on NTFS.
    if (!resolved->components.empty()) {
        consider(".", true);
        consider("..", true);
    }
    const Stage* stage = machine.stage();
    std::vector<std::string> listed;
    for (fs::directory_iterator it(resolved->host, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        const std::string name = it->path().filename().string();
        if (stage && stage->IsOwnWorkFile(name))
            continue;
        listed.push_back(name);
        consider(name, it->is_directory(typeError));
    }
    // The run's new files are listed as if they were on the disk already.
    if (stage)
        for (const std::string& name : stage->NamesIn(resolved->host))
            if (std::find(listed.begin(), listed.end(), name) == listed.end())
                consider(name, false);
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
