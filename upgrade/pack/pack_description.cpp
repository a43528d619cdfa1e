// Reads pack.txt into the fixed lines of info.txt and the entries to come.
#include "upgrade/pack/pack_description.h"

#include <map>
#include <optional>
#include <set>

#include "platform/text.h"

namespace pelmo {
namespace {

constexpr std::size_t kMaxField = 31;  // bytes of an entry field, as the run reads it
constexpr std::size_t kMaxEntries = 100;
constexpr std::size_t kMaxNotesLines = 101;  // 100 line breaks

// The fixed keys and the line of info.txt each fills (0-based); the repeatable
// ones fill from that line on.
struct FixedKey {
    int line;
    std::size_t most;  // how often it may be given
};
const std::map<std::string_view, FixedKey> kFixedKeys = {
    {"product", {0, 5}},
    {"folder", {5, 1}},
    {"version", {6, 1}},
    {"master-adjust", {7, 1}},
    {"settings-file", {8, 1}},
    {"digitizer", {9, 1}},
    {"main-picture", {10, 1}},
    {"start-picture", {11, 1}},
    {"destination-picture", {12, 1}},
    {"confirm-picture", {13, 1}},
    {"start-notes", {14, kMaxNotesLines}},
    {"destination-notes", {15, kMaxNotesLines}},
    {"keyword", {16, 5}},
};

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = text.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos)
            break;
        std::size_t end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos)
            end = text.size();
        words.push_back(text.substr(start, end - start));
        pos = end;
    }
    return words;
}

// The first character of UTF-8 text that code page 932 cannot hold, or of text
// that is not UTF-8 at all.
std::string FirstUnwritable(std::string_view utf8)
{
    for (std::size_t pos = 0; pos < utf8.size();) {
        const std::size_t start = pos;
        const char32_t c = DecodeUtf8(utf8, pos);
        std::string one(utf8.substr(start, pos - start));
        if (c == 0xFFFD || !Utf8ToCp932(one))
            return c == 0xFFFD ? "a byte that is not UTF-8" : "'" + one + "'";
    }
    return "a character";
}

class Parser {
public:
    Parser(Findings& findings, bool needsVersion) : findings_(findings), needsVersion_(needsVersion) {}

    PackDescription Parse(std::string_view text)
    {
        int number = 0;
        for (std::size_t pos = 0; pos <= text.size();) {
            std::size_t end = text.find('\n', pos);
            if (end == std::string_view::npos)
                end = text.size();
            ++number;
            Line(number, text.substr(pos, end - pos));
            pos = end + 1;
        }
        Finish();
        return std::move(result_);
    }

private:
    void Error(int line, const std::string& text) { findings_.Error(line, text); }

    std::optional<std::string> Cp932(int line, std::string_view utf8, std::string_view what)
    {
        auto converted = Utf8ToCp932(utf8);
        if (!converted)
            Error(line, std::string(what) + " cannot be written in code page 932: " + FirstUnwritable(utf8));
        return converted;
    }

    void Line(int number, std::string_view line)
    {
        line = Trim(line);
        if (line.empty() || line.front() == '#')
            return;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            Error(number, "expected 'key: value'");
            return;
        }
        const std::string key(Trim(line.substr(0, colon)));
        const std::string_view value = Trim(line.substr(colon + 1));
        if (key == "archive" || key == "start" || key == "copy") {
            Entry(number, key, value);
            return;
        }
        const auto fixed = kFixedKeys.find(key);
        if (fixed == kFixedKeys.end()) {
            Error(number, "unknown key '" + key + "'");
            return;
        }
        const auto known = given_.find(key);
        if (known != given_.end() && known->second.size() == fixed->second.most) {
            Error(number, fixed->second.most == 1
                              ? "'" + key + "' is given more than once"
                              : "'" + key + "' is given more than " + std::to_string(fixed->second.most) + " times");
            return;
        }
        if (value.find('\t') != std::string_view::npos) {
            Error(number, "'" + key + "' holds a TAB, which info.txt cannot hold");
            return;
        }
        auto converted = Cp932(number, value, "'" + key + "'");
        if (!converted)
            return;
        if ((key == "master-adjust" || key == "digitizer") && *converted != "yes" && *converted != "no") {
            Error(number, "'" + key + "' is yes or no");
            return;
        }
        if (key == "version" &&
            (converted->empty() || converted->find_first_not_of("0123456789") != std::string::npos)) {
            Error(number, "'version' is a decimal number");
            return;
        }
        if ((key == "folder" || key == "product" || key == "settings-file") && converted->empty()) {
            Error(number, "'" + key + "' needs a value");
            return;
        }
        if (key.ends_with("-picture")) {
            const auto slot = static_cast<std::size_t>(fixed->second.line - 10);
            result_.pictures[slot] = std::string(value);
            result_.pictureLines[slot] = number;
        }
        given_[key].push_back(*converted);
    }

    void Entry(int number, const std::string& key, std::string_view value)
    {
        std::vector<std::string_view> words = Words(value);
        int disk = 0;
        if (words.size() >= 2 && words[words.size() - 2] == "disk") {
            const std::string_view digits = words.back();
            if (digits.empty() || digits.size() > 4 ||
                digits.find_first_not_of("0123456789") != std::string_view::npos ||
                std::stoi(std::string(digits)) < 1) {
                Error(number, "'disk' is followed by a disk number from 1");
                return;
            }
            disk = std::stoi(std::string(digits));
            words.resize(words.size() - 2);
        }
        const std::size_t wanted = key == "archive" ? 3 : 2;
        if (words.size() != wanted) {
            Error(number, key == "archive"
                              ? "expected 'archive: NAME FOLDER TARGET [disk N]'"
                              : "expected '" + key + ": " + (key == "start" ? "FOLDER" : "FILE") + " TARGET [disk N]'");
            return;
        }
        if (result_.entries.size() == kMaxEntries) {
            Error(number, "more than 100 entries, which the run cannot read");
            return;
        }
        PackEntry entry;
        entry.line = number;
        entry.disk = disk;
        entry.kind = key == "archive" ? PackEntryKind::Archive
                     : key == "start" ? PackEntryKind::Start
                                      : PackEntryKind::Copy;
        std::string source(words[wanted - 2]);
        while (source.size() > 1 && source.back() == '/')
            source.pop_back();
        entry.source = source;
        std::string name = key == "archive" ? std::string(words[0]) : key == "start" ? "START" : source;
        for (char& c : name)
            if (c == '/')
                c = '\\';
        std::string target(words.back() == "." ? "" : words.back());
        for (char& c : target)
            if (c == '/')
                c = '\\';
        if (!target.empty() && target.back() != '\\')
            target += '\\';
        auto fileName = Cp932(number, name, "the name");
        auto targetName = Cp932(number, target, "the target");
        if (!fileName || !targetName)
            return;
        if (fileName->find(',') != std::string::npos || targetName->find(',') != std::string::npos) {
            Error(number, "a name or target with a comma, which ends an entry's field");
            return;
        }
        if (key == "archive" &&
            (fileName->find('\\') != std::string::npos || fileName->find('.') != std::string::npos)) {
            Error(number, "an archive's NAME has no folder and no extension: '.lzh' is added");
            return;
        }
        for (const auto& [field, what] : {std::pair{fileName, "the name"}, std::pair{targetName, "the target"}})
            if (field->size() > kMaxField) {
                Error(number, std::string(what) + " has " + std::to_string(field->size()) +
                                  " bytes in code page 932; the run reads at most 31");
                return;
            }
        entry.name = *fileName;
        entry.target = *targetName;
        result_.entries.push_back(std::move(entry));
    }

    void Finish()
    {
        for (const char* key : {"product", "folder", "version"})
            if (!given_.contains(key) && (needsVersion_ || std::string_view(key) != "version"))
                Error(0, std::string("'") + key + "' is missing");
        auto& lines = result_.fixedLines;
        const auto& products = given_["product"];
        for (std::size_t i = 0; i < products.size(); ++i)
            lines[i] = products[i];
        // Fewer than five keys: "NULL" ends the list.
        if (products.size() < 5)
            lines[products.size()] = "NULL";
        for (const auto& [key, fixed] : kFixedKeys) {
            const auto found = given_.find(key);
            if (key == "product" || found == given_.end())
                continue;
            const auto& values = found->second;
            if (key == "keyword") {
                for (std::size_t i = 0; i < values.size(); ++i)
                    lines[static_cast<std::size_t>(fixed.line) + i] = values[i];
            } else if (key.ends_with("-notes")) {
                // A line break is a TAB and one more byte, which the run turns into CR LF.
                std::string notes;
                for (std::size_t i = 0; i < values.size(); ++i)
                    notes += (i == 0 ? "" : "\t\t") + values[i];
                lines[static_cast<std::size_t>(fixed.line)] = notes;
            } else if (key == "master-adjust" || key == "digitizer") {
                lines[static_cast<std::size_t>(fixed.line)] = values[0] == "yes" ? "1" : "0";
            } else {
                std::string value = values[0];
                if (key.ends_with("-picture"))
                    for (char& c : value)
                        if (c == '/')
                            c = '\\';
                lines[static_cast<std::size_t>(fixed.line)] = value;
            }
        }
        if (!given_.contains("master-adjust"))
            lines[7] = "0";
        if (!given_.contains("settings-file"))
            lines[8] = "NULL";
        if (!given_.contains("digitizer"))
            lines[9] = "0";
    }

    Findings& findings_;
    bool needsVersion_;
    PackDescription result_;
    std::map<std::string, std::vector<std::string>, std::less<>> given_;
};

}  // namespace

PackDescription ParseDescription(std::string_view text, Findings& findings, bool needsVersion)
{
    return Parser(findings, needsVersion).Parse(text);
}

}  // namespace pelmo
