// Private-profile (.ini) files: line parsing, look-up and in-place editing. One file
// on purpose: a write must find exactly the line that a read finds, so both share
// the one line model below.
#include "platform/profile.h"

#include <vector>

#include "platform/letter_case.h"
#include "platform/stage/staging.h"
#include "platform/text.h"

namespace pelmo {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kNewLine = "\r\n";
constexpr char kCtrlZ = '\x1A';

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

namespace {

// A value held in one matching outer pair of quotes loses the pair.
std::string_view StripQuotes(std::string_view text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        return text.substr(1, text.size() - 2);
    }
    return text;
}

enum class Encoding { Cp932, Utf8 };

// The byte at which a section header's ']' stands, or npos. In code page 932 a
// ']' (0x5D) can be the trail byte of a double-byte character, so characters are
// stepped over whole; in UTF-8 no multi-byte sequence holds one.
std::size_t FindClosingBracket(std::string_view text, Encoding encoding)
{
    for (std::size_t pos = 0; pos < text.size();) {
        if (text[pos] == ']') {
            return pos;
        }
        pos += encoding == Encoding::Cp932 ? CharLength(text, pos) : 1;
    }
    return std::string_view::npos;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

// One line of the file. Offsets count from the start of the body (after any
// byte-order mark); `name` and `value` point into the body, trimmed.
struct Line {
    std::size_t begin = 0;
    std::size_t end = 0;   // past the content, before the line end
    std::size_t next = 0;  // past the line end
    LineKind kind = LineKind::Other;
    std::string_view name;
    std::string_view value;
};

// Sorts one line's content. '=' and ';' are never trail bytes, so a plain byte
// search finds them; a lone lead byte before one does not hide it.
void ClassifyLine(std::string_view content, Encoding encoding, Line& line)
{
    const std::string_view trimmed = TrimBlanks(content);
    if (trimmed.empty()) {
        line.kind = LineKind::Blank;
        return;
    }
    if (trimmed.front() == ';') {
        line.kind = LineKind::Comment;
        return;
    }
    if (trimmed.front() == '[') {
        const std::size_t close = FindClosingBracket(trimmed.substr(1), encoding);
        if (close != std::string_view::npos) {
            line.kind = LineKind::Section;
            line.name = TrimBlanks(trimmed.substr(1, close));
            return;
        }
    }
    const std::size_t equals = trimmed.find('=');
    if (equals == std::string_view::npos) {
        line.kind = LineKind::Other;
        return;
    }
    line.kind = LineKind::Key;
    line.name = TrimBlanks(trimmed.substr(0, equals));
    line.value = TrimBlanks(trimmed.substr(equals + 1));
}

// A file cut into a byte-order mark, the lines of its body and a trailing run of
// Ctrl-Z bytes, which ends the text and is kept apart from it.
struct ProfileText {
    Encoding encoding = Encoding::Cp932;
    std::string_view bom;
    std::string_view body;
    std::string_view tail;
    std::vector<Line> lines;
};

ProfileText ParseProfile(std::string_view bytes)
{
    ProfileText text;
    if (bytes.starts_with(kUtf8Bom)) {
        text.encoding = Encoding::Utf8;
        text.bom = bytes.substr(0, kUtf8Bom.size());
        bytes.remove_prefix(kUtf8Bom.size());
    }
    std::size_t bodySize = bytes.size();
    while (bodySize > 0 && bytes[bodySize - 1] == kCtrlZ) {
        --bodySize;
    }
    text.body = bytes.substr(0, bodySize);
    text.tail = bytes.substr(bodySize);

    // CR and LF are never trail bytes, so lines split on plain bytes.
    const std::string_view body = text.body;
    for (std::size_t begin = 0; begin < body.size();) {
        Line line;
        line.begin = begin;
        std::size_t end = begin;
        while (end < body.size() && body[end] != '\r' && body[end] != '\n') {
            ++end;
        }
        line.end = end;
        line.next = end;
        if (end < body.size()) {
            line.next = end + 1;
            if (body[end] == '\r' && line.next < body.size() && body[line.next] == '\n') {
                ++line.next;
            }
        }
        ClassifyLine(body.substr(begin, end - begin), text.encoding, line);
        text.lines.push_back(line);
        begin = line.next;
    }
    return text;
}

// A value of the file in code page 932, as a read returns it.
std::string ToCp932(std::string_view fileText, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? Utf8ToCp932Lossy(fileText) : std::string(fileText);
}

// Code page 932 text in the file's own encoding, for writing.
std::string ToFileEncoding(std::string_view cp932, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? Cp932ToUtf8Lossy(cp932) : std::string(cp932);
}

// A UTF-8 name that code page 932 cannot express matches nothing, rather than
// matching the '?' a lossy conversion would make of it.
bool NameMatches(const Line& line, std::string_view wanted, Encoding encoding)
{
    if (encoding == Encoding::Cp932) {
        return EqualIgnoringCase(line.name, wanted, CaseRule::Settings);
    }
    const std::optional<std::string> name = Utf8ToCp932(line.name);
    return name && EqualIgnoringCase(*name, wanted, CaseRule::Settings);
}

// The header of the first section named `section`; later ones of that name are
// never searched.
std::optional<std::size_t> FindSection(const ProfileText& text, std::string_view section)
{
    for (std::size_t i = 0; i < text.lines.size(); ++i) {
        if (text.lines[i].kind == LineKind::Section && NameMatches(text.lines[i], section, text.encoding)) {
            return i;
        }
    }
    return std::nullopt;
}

// The line just past the section whose header is at `header`.
std::size_t SectionEnd(const ProfileText& text, std::size_t header)
{
    std::size_t i = header + 1;
    while (i < text.lines.size() && text.lines[i].kind != LineKind::Section) {
        ++i;
    }
    return i;
}

// The first line of the section that holds `key`.
std::optional<std::size_t> FindKey(const ProfileText& text, std::size_t header, std::string_view key)
{
    const std::size_t end = SectionEnd(text, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (text.lines[i].kind == LineKind::Key && NameMatches(text.lines[i], key, text.encoding)) {
            return i;
        }
    }
    return std::nullopt;
}

// The line after which a new key joins the section: its last key line, so the
// blank lines and comments that close the section stay below the new key.
std::size_t LastKeyLine(const ProfileText& text, std::size_t header)
{
    std::size_t last = header;
    const std::size_t end = SectionEnd(text, header);
    for (std::size_t i = header + 1; i < end; ++i) {
        if (text.lines[i].kind == LineKind::Key) {
            last = i;
        }
    }
    return last;
}

std::optional<std::string> FindValue(std::string_view bytes, std::string_view section, std::string_view key)
{
    const ProfileText text = ParseProfile(bytes);
    const std::optional<std::size_t> header = FindSection(text, section);
    if (!header) {
        return std::nullopt;
    }
    const std::optional<std::size_t> line = FindKey(text, *header, key);
    if (!line) {
        return std::nullopt;
    }
    return ToCp932(StripQuotes(text.lines[*line].value), text.encoding);
}

// The default as Windows takes it: trailing spaces (only spaces) dropped, then
// one outer pair of quotes.
std::string_view DefaultText(std::string_view defaultValue)
{
    while (!defaultValue.empty() && defaultValue.back() == ' ') {
        defaultValue.remove_suffix(1);
    }
    return StripQuotes(defaultValue);
}

// The file with [from, to) of its body replaced by `insert`.
std::string Splice(const ProfileText& text, std::size_t from, std::size_t to, std::string_view insert)
{
    std::string result;
    result.reserve(text.bom.size() + text.body.size() + insert.size() + text.tail.size());
    result.append(text.bom);
    result.append(text.body.substr(0, from));
    result.append(insert);
    result.append(text.body.substr(to));
    result.append(text.tail);
    return result;
}

std::string SectionBlock(std::string_view section, std::string_view keyLine)
{
    std::string block = "[";
    block.append(section).append("]").append(kNewLine);
    block.append(keyLine).append(kNewLine);
    return block;
}

bool EndsWithLineEnd(std::string_view body)
{
    return !body.empty() && (body.back() == '\r' || body.back() == '\n');
}

}  // namespace

// True when `section`, `key` and `value` (trimmed, code page 932) read back as
// themselves once written: no line breaks, a section name without ']', and a key
// that forms a key line of that very name.
bool IsStorable(std::string_view section, std::string_view key, std::string_view value)
{
    for (std::string_view part : {section, key, value}) {
        if (part.find_first_of("\r\n") != std::string_view::npos) {
            return false;
        }
    }
    const std::string headerText = "[" + std::string(section) + "]";
    const std::string entryText = std::string(key) + "=" + std::string(value);
    Line header;
    ClassifyLine(headerText, Encoding::Cp932, header);
    Line entry;
    ClassifyLine(entryText, Encoding::Cp932, entry);
    return header.kind == LineKind::Section && header.name == section && entry.kind == LineKind::Key &&
           entry.name == key && entry.value == value;
}

// Bytes that do not convert to UTF-8 would be written as '?' into a UTF-8 file.
bool FitsEncoding(std::string_view fileBytes, std::string_view section, std::string_view key, std::string_view value)
{
    if (!fileBytes.starts_with(kUtf8Bom)) {
        return true;
    }
    return Cp932ToUtf8(section) && Cp932ToUtf8(key) && Cp932ToUtf8(value);
}

std::string LookupProfileString(const std::optional<std::string_view>& fileBytes, std::string_view section,
                                std::string_view key, std::string_view defaultValue, std::size_t size)
{
    if (size == 0) {
        return {};
    }
    std::optional<std::string> value;
    if (fileBytes) {
        value = FindValue(*fileBytes, TrimBlanks(section), TrimBlanks(key));
    }
    const std::string text = value ? *value : std::string(DefaultText(defaultValue));
    return std::string(TruncateCp932(text, size - 1));
}

std::optional<std::string> EditProfileString(const std::optional<std::string_view>& fileBytes, std::string_view section,
                                             std::string_view key, std::string_view value)
{
    section = TrimBlanks(section);
    key = TrimBlanks(key);
    value = TrimBlanks(value);
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    if (!fileBytes) {
        return SectionBlock(section, keyLine);
    }

    const ProfileText text = ParseProfile(*fileBytes);
    const Encoding encoding = text.encoding;
    const std::optional<std::size_t> header = FindSection(text, section);
    if (!header) {
        std::string block = text.body.empty() || EndsWithLineEnd(text.body) ? "" : std::string(kNewLine);
        block += ToFileEncoding(SectionBlock(section, keyLine), encoding);
        return Splice(text, text.body.size(), text.body.size(), block);
    }

    if (const std::optional<std::size_t> found = FindKey(text, *header, key)) {
        // The key keeps the file's spelling; the rest of the line is replaced.
        const Line& line = text.lines[*found];
        const std::string stored = ToFileEncoding(value, encoding);
        if (line.value == stored) {
            return std::nullopt;
        }
        std::string replaced = std::string(line.name) + "=" + stored;
        // On the last line a value ending in Ctrl-Z needs a line end after it, or a
        // read would take that Ctrl-Z for the end of the text and lose it.
        if (line.next == line.end && replaced.back() == kCtrlZ) {
            replaced += kNewLine;
        }
        return Splice(text, line.begin, line.end, replaced);
    }

    // A last line without a line end gets one before the new key.
    const Line& after = text.lines[LastKeyLine(text, *header)];
    std::string insert = after.next == after.end ? std::string(kNewLine) : "";
    insert += ToFileEncoding(keyLine, encoding);
    insert += kNewLine;
    return Splice(text, after.next, after.next, insert);
}

}  // namespace pelmo
