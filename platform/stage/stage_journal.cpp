// The staging record, the journal and the backup sets of the run folder, and
// recovery from them.
#include "platform/stage/stage_journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "platform/host/checksum.h"
#include "platform/host/host_file.h"
#include "platform/host/owned_file.h"

namespace fs = std::filesystem;

namespace pelmo::stage {
namespace {

std::string Escape(const std::string& path)
{
    std::string out;
    for (char c : path) {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
            static const char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

// Undoes Escape. A torn write leaves zero bytes (or old bytes) inside a line, so
// a line holding a NUL byte, or a '%' not followed by two hex digits, is refused
// rather than read as a shorter path.
std::optional<std::string> Unescape(const std::string& text)
{
    auto hex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\0')
            return std::nullopt;
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !hex(text[i + 1]) || !hex(text[i + 2]))
            return std::nullopt;
        const auto c = static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        if (c == '\0')
            return std::nullopt;
        out += c;
        i += 2;
    }
    return out;
}

// A number field as written: digits only, so that a torn field never reads as a
// shorter number.
std::uint64_t Number(const std::string& field)
{
    if (field.empty() || field.size() > 20 ||
        !std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw std::invalid_argument("not a number");
    return std::stoull(field);
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    return fields;
}

bool Exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Copies a file with its mode and times, flushed, to a new file `to`.
bool CopyWhole(const std::string& from, const std::string& to)
{
    host::FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!in.valid() || ::fstat(in.get(), &st) != 0)
        return false;
    host::FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.valid())
        return false;
    host::RemovedUnlessKept copy(to);
    if (!host::ReadPieces(
            in.get(), [&](std::string_view piece) { return host::WriteAll(out.get(), piece.data(), piece.size()); }))
        return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fchmod(out.get(), st.st_mode & 07777) != 0 || ::futimens(out.get(), times) != 0 || ::fsync(out.get()) != 0 ||
        !out.Reset())
        return false;
    copy.Keep();
    return true;
}

// Puts a copied backup back over `target`: copied beside it, then renamed, so
// the target is never half written.
bool RestoreCopy(const std::string& backup, const std::string& target, const std::string& runId)
{
    const std::string work = (fs::path(target).parent_path() / (".pelmo-" + runId + "-restore")).string();
    ::unlink(work.c_str());
    if (!CopyWhole(backup, work))
        return false;
    if (::rename(work.c_str(), target.c_str()) != 0) {
        ::unlink(work.c_str());
        return false;
    }
    return ::unlink(backup.c_str()) == 0 || errno == ENOENT;
}

std::vector<std::string> Names(const fs::path& folder)
{
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    return names;
}

// Without a staging record only an undo can have been interrupted: its set's
// journal is UNDO, and it is taken back to its end. A set without any journal
// is what a crash left of one being removed.
Recovered RecoverUndo(const fs::path& runFolder, const std::function<void()>& tick)
{
    Recovered result = Recovered::Nothing;
    for (const std::string& name : BackupSets(runFolder)) {
        const fs::path set = runFolder / name;
        if (Exists((set / kDone).string()) || Exists((set / kJournal).string()) || Exists((set / kForced).string()))
            continue;
        if (Exists((set / kUndo).string())) {
            // Renamed from a whole DONE: one that cannot be read is damaged, and
            // nothing may be guessed from it.
            const auto undo = ReadJournal(set / kUndo);
            if (!undo || !RollBack(*undo, set, true, tick))
                return Recovered::Failed;
            result = Recovered::RolledBack;
            // A forced undo keeps what it replaced, and its journal for the list.
            if (Exists((set / kKept).string())) {
                if (::rename((set / kUndo).c_str(), (set / kForced).c_str()) != 0 || !FlushFolder(set))
                    return Recovered::Failed;
                continue;
            }
        }
        RemoveSet(set);
    }
    return result;
}

}  // namespace

std::string RecordLine(const char* verb, const std::string& path)
{
    return std::string(verb) + '\t' + Escape(path) + '\n';
}

std::string RecordHeader(const std::string& runId)
{
    return "PELMO STAGE\t" + runId + '\n';
}

std::optional<Record> ReadRecord(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (!in || !std::getline(in, line) || in.eof())
        return std::nullopt;  // no whole header: nothing was staged after it
    std::vector<std::string> header = Fields(line);
    if (header.size() != 2 || header[0] != "PELMO STAGE" || header[1].find('\0') != std::string::npos)
        return std::nullopt;
    Record record{header[1], {}, {}};
    while (std::getline(in, line)) {
        if (in.eof())
            break;  // a line cut short was never flushed, so nothing followed it
        std::vector<std::string> fields = Fields(line);
        const std::optional<std::string> path = fields.size() == 2 ? Unescape(fields[1]) : std::nullopt;
        if (!path)
            continue;  // torn: nothing was staged after it
        (fields[0] == "made" ? record.madeFolders : record.folders).push_back(*path);
    }
    return record;
}

bool WriteJournal(const fs::path& file, const Journal& journal)
{
    std::string text = "PELMO JOURNAL\t" + journal.runId + '\t' + std::to_string(journal.committed) + '\n';
    for (const Rename& rename : journal.renames)
        text += "file\t" + Escape(rename.work) + '\t' + Escape(rename.target) + '\t' + std::to_string(rename.size) +
                '\t' + std::to_string(rename.checksum) + '\t' + (rename.backup.empty() ? "-" : rename.backup) + '\t' +
                (rename.backupIsCopy ? "copy" : "link") + '\t' + std::to_string(rename.backupSize) + '\t' +
                std::to_string(rename.backupChecksum) + '\n';
    for (const std::string& folder : journal.madeFolders)
        text += RecordLine("made", folder);
    if (!journal.package.empty())
        text += RecordLine("package", journal.package);
    // The end line counts the lines and sums every byte before it, so that a
    // journal torn anywhere is no journal.
    text += "end\t" + std::to_string(journal.renames.size() + journal.madeFolders.size()) + '\t' +
            std::to_string(Crc32(0, text)) + '\n';
    host::FileDescriptor fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.valid())
        return false;
    host::RemovedUnlessKept written(file.string());
    if (!host::WriteAll(fd.get(), text.data(), text.size()) || ::fsync(fd.get()) != 0 || !fd.Reset() ||
        !FlushFolder(file.parent_path()))
        return false;
    written.Keep();
    return true;
}

std::optional<Journal> ReadJournal(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in)
        return std::nullopt;
    return ParseJournal(text.str());
}

std::optional<Journal> ParseJournal(const std::string& text)
try {
    std::istringstream in(text);
    std::string line;
    if (!in || !std::getline(in, line))
        return std::nullopt;
    std::vector<std::string> header = Fields(line);
    if ((header.size() != 2 && header.size() != 3) || header[0] != "PELMO JOURNAL")
        return std::nullopt;
    if (header[1].find('\0') != std::string::npos)
        return std::nullopt;
    Journal journal{header[1], {}, {}, header.size() == 3 ? static_cast<std::int64_t>(Number(header[2])) : 0, {}};
    auto path = [](const std::string& field) {
        std::optional<std::string> text = Unescape(field);
        if (!text)
            throw std::invalid_argument("a torn path");
        return *text;
    };
    for (std::streamoff lineStart = in.tellg(); std::getline(in, line) && !in.eof(); lineStart = in.tellg()) {
        std::vector<std::string> f = Fields(line);
        if ((f.size() == 7 || f.size() == 9) && f[0] == "file") {
            if (f[5].find('\0') != std::string::npos)
                return std::nullopt;
            journal.renames.push_back({path(f[1]), path(f[2]), Number(f[3]), static_cast<std::uint32_t>(Number(f[4])),
                                       f[5] == "-" ? "" : f[5], f[6] == "copy", f.size() == 9 ? Number(f[7]) : 0,
                                       f.size() == 9 ? static_cast<std::uint32_t>(Number(f[8])) : 0});
        } else if (f.size() == 2 && f[0] == "made") {
            journal.madeFolders.push_back(path(f[1]));
        } else if (f.size() == 2 && f[0] == "package") {
            journal.package = path(f[1]);
        } else if ((f.size() == 2 || f.size() == 3) && f[0] == "end") {
            if (Number(f[1]) != journal.renames.size() + journal.madeFolders.size())
                return std::nullopt;
            // An end line without a sum is that of an earlier Pelmo's journal.
            if (f.size() == 3 &&
                Number(f[2]) != Crc32(0, std::string_view(text).substr(0, static_cast<std::size_t>(lineStart))))
                return std::nullopt;
            return journal;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
} catch (const std::exception&) {
    return std::nullopt;  // a number that is no number: not a journal this program wrote
}

bool FlushFolder(const fs::path& folder)
{
    host::FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

bool KeepBackup(const std::string& target, const fs::path& backup, bool& isCopy)
{
    isCopy = false;
    if (::link(target.c_str(), backup.c_str()) == 0)
        return true;
    // Another file system, or one without hard links: a copy does.
    // Linux gives ENOTSUP the number of EOPNOTSUPP.
    if (errno != EXDEV && errno != EPERM && errno != EMLINK && errno != EOPNOTSUPP)
        return false;
    isCopy = true;
    return CopyWhole(target, backup.string());
}

std::optional<std::pair<std::uint64_t, std::uint32_t>> Content(const std::string& path)
{
    host::FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    struct stat st {};
    if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::uint64_t size = 0;
    std::uint32_t crc = 0;
    if (!host::ReadPieces(fd.get(), [&](std::string_view piece) {
            size += piece.size();
            crc = Crc32(crc, piece);
            return true;
        }))
        return std::nullopt;
    return std::make_pair(size, crc);
}

bool HasContent(const std::string& path, std::uint64_t size, std::uint32_t checksum)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || static_cast<std::uint64_t>(st.st_size) != size)
        return false;
    const auto content = Content(path);
    return content && content->first == size && content->second == checksum;
}

bool RollForward(const Journal& journal, const std::function<void()>& tick)
{
    std::vector<fs::path> folders;
    for (const Rename& rename : journal.renames) {
        if (tick)
            tick();
        if (Exists(rename.work) && ::rename(rename.work.c_str(), rename.target.c_str()) != 0)
            return false;
        folders.push_back(fs::path(rename.target).parent_path());
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    for (const fs::path& folder : folders)
        FlushFolder(folder);  // the renames are made; a failed flush only delays them
    return true;
}

bool IsRunLog(const std::string& target, const fs::path& set)
{
    return fs::path(target) == set.parent_path() / kLogFile;
}

bool RollBack(const Journal& journal, const fs::path& set, bool undo, const std::function<void()>& tick)
{
    bool ok = true;
    for (auto it = journal.renames.rbegin(); it != journal.renames.rend(); ++it) {
        if (tick)
            tick();
        const Rename& rename = *it;
        if (undo && IsRunLog(rename.target, set))
            continue;
        if (Exists(rename.work)) {
            ok = ::unlink(rename.work.c_str()) == 0 && ok;  // never put in place
            continue;
        }
        if (rename.backup.empty()) {
            if (::unlink(rename.target.c_str()) != 0 && errno != ENOENT)
                ok = false;
            continue;
        }
        const std::string backup = (set / rename.backup).string();
        if (!Exists(backup))
            continue;  // put back already
        if (rename.backupIsCopy)
            ok = RestoreCopy(backup, rename.target, journal.runId) && ok;
        else
            ok = ::rename(backup.c_str(), rename.target.c_str()) == 0 && ok;
    }
    SweepRun(journal.runId, {}, journal.madeFolders, tick);
    return ok;
}

void SweepRun(const std::string& runId, const std::vector<std::string>& folders,
              const std::vector<std::string>& madeFolders, const std::function<void()>& tick)
{
    const std::string prefix = ".pelmo-" + runId + "-";
    for (const std::vector<std::string>* list : {&folders, &madeFolders})
        for (const std::string& folder : *list)
            for (const std::string& name : Names(folder))
                if (name.starts_with(prefix)) {
                    ::unlink((fs::path(folder) / name).c_str());
                    if (tick)
                        tick();
                }
    std::vector<std::string> made = madeFolders;
    // Deepest first; a folder that holds anything else stays.
    std::sort(made.begin(), made.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& folder : made)
        ::rmdir(folder.c_str());
}

void RemoveTree(const fs::path& path)
{
    std::error_code ec;
    fs::remove_all(path, ec);
}

void RemoveSet(const fs::path& set)
{
    for (const std::string& name : Names(set))
        if (name != kUndo && name != kDone && name != kJournal && name != kForced)
            RemoveTree(set / name);
    for (const char* journal : {kUndo, kDone, kJournal, kForced})
        ::unlink((set / journal).c_str());
    ::rmdir(set.c_str());
}

std::vector<std::string> BackupSets(const fs::path& runFolder)
{
    std::vector<std::string> sets;
    for (const std::string& name : Names(runFolder)) {
        std::error_code ec;
        if (fs::is_directory(runFolder / name, ec))
            sets.push_back(name);
    }
    return sets;
}

std::vector<std::pair<std::string, Journal>> CompletedSets(const fs::path& runFolder)
{
    std::vector<std::pair<std::string, Journal>> sets;
    for (const std::string& name : BackupSets(runFolder))
        for (const char* ending : {kDone, kForced})
            if (auto journal = ReadJournal(runFolder / name / ending))
                sets.emplace_back(name, std::move(*journal));
    std::sort(sets.begin(), sets.end(), [](const auto& a, const auto& b) {
        return a.second.committed != b.second.committed ? a.second.committed > b.second.committed : a.first > b.first;
    });
    return sets;
}

void PruneSets(const fs::path& runFolder, std::size_t keep, std::uint64_t budget)
{
    std::uint64_t used = 0;
    std::size_t index = 0;
    for (const auto& [name, journal] : CompletedSets(runFolder)) {
        std::error_code ec;
        for (fs::recursive_directory_iterator it(runFolder / name, ec), end; !ec && it != end; it.increment(ec))
            if (std::error_code sizeError; it->is_regular_file(sizeError))
                used += it->file_size(sizeError);
        if (index++ > 0 && (index > keep || used > budget))
            RemoveSet(runFolder / name);
    }
}

Recovered RecoverRunFolder(const fs::path& runFolder, const std::function<void(Recovered)>& tick)
{
    auto doing = [&tick](Recovered work) {
        return tick ? std::function<void()>([&tick, work] { tick(work); }) : std::function<void()>();
    };
    const fs::path recordFile = runFolder / kRecordFile;
    if (!Exists(recordFile.string()))
        return RecoverUndo(runFolder, doing(Recovered::RolledBack));
    const std::optional<Record> record = ReadRecord(recordFile);
    if (!record) {
        // Cut short before its first folder was flushed: nothing was staged.
        return ::unlink(recordFile.c_str()) == 0 ? Recovered::Nothing : Recovered::Failed;
    }
    const fs::path set = runFolder / record->runId;
    Recovered result = Recovered::RolledBack;
    bool ok = true;
    if (Exists((set / kDone).string())) {
        result = Recovered::Completed;
    } else if (const auto undo = ReadJournal(set / kUndo)) {
        ok = RollBack(*undo, set, false, doing(Recovered::RolledBack));
    } else if (const auto journal = ReadJournal(set / kJournal)) {
        ok = RollForward(*journal, doing(Recovered::Completed)) &&
             ::rename((set / kJournal).c_str(), (set / kDone).c_str()) == 0 && FlushFolder(set);
        result = Recovered::Completed;
    }
    if (!ok)
        return Recovered::Failed;
    if (result == Recovered::RolledBack)
        RemoveTree(set);
    else
        PruneSets(runFolder);
    SweepRun(record->runId, record->folders,
             result == Recovered::RolledBack ? record->madeFolders : std::vector<std::string>{}, doing(result));
    return ::unlink(recordFile.c_str()) == 0 ? result : Recovered::Failed;
}

}  // namespace pelmo::stage
