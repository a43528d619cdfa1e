// The text of the staging record and of a commit's journal: one line per fact,
// paths escaped, numbers as digits only, so that a line cut short by a crash is
// told from a whole one.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/host/checksum.h"
#include "platform/host/host_file.h"
#include "platform/host/owned_file.h"
#include "platform/stage/stage_journal.h"

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

}  // namespace pelmo::stage
