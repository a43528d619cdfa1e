// Fuzz target: private-profile reads and in-place writes on arbitrary .ini bytes.
//
// Input: section NUL key NUL value NUL file bytes. With fewer than three NULs the
// file is missing and the fields are what there is.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz/fuzz_machine.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace {

using pelmo::fuzz::Require;

struct ProfileInput {
    std::string_view section;
    std::string_view key;
    std::string_view value;
    std::optional<std::string_view> file;
};

ProfileInput SplitInput(std::string_view bytes)
{
    ProfileInput input;
    for (std::string_view* field : {&input.section, &input.key, &input.value}) {
        const std::size_t nul = bytes.find('\0');
        *field = bytes.substr(0, nul);
        if (nul == std::string_view::npos)
            return input;
        bytes.remove_prefix(nul + 1);
    }
    input.file = bytes;
    return input;
}

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view StripQuotePair(std::string_view text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

bool EndsInLoneLeadByte(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size() && pos + pelmo::CharLength(text, pos) < text.size())
        pos += pelmo::CharLength(text, pos);
    return pos < text.size() && pelmo::IsLeadByte(static_cast<unsigned char>(text[pos])) &&
           pelmo::CharLength(text, pos) == 1;
}

// Whether a character boundary of `text` lies at `offset`.
bool IsCharBoundary(std::string_view text, std::size_t offset)
{
    std::size_t pos = 0;
    while (pos < offset)
        pos += pelmo::CharLength(text, pos);
    return pos == offset;
}

// Code page 932 text that a UTF-8 file holds unchanged.
bool SurvivesUtf8(std::string_view cp932)
{
    const std::optional<std::string> utf8 = pelmo::Cp932ToUtf8(cp932);
    if (!utf8)
        return false;
    const std::optional<std::string> back = pelmo::Utf8ToCp932(*utf8);
    return back && *back == cp932;
}

// What a write can store so that a read finds it again, judged from the line
// grammar alone (trimmed names and value): one line each, a section name that
// closes at its own ']', a key that neither opens a section or comment nor holds
// '='. A UTF-8 file also needs every text to survive the conversion.
bool Storable(const ProfileInput& input)
{
    const std::string_view section = Trim(input.section);
    const std::string_view key = Trim(input.key);
    const std::string_view value = Trim(input.value);
    for (std::string_view part : {section, key, value}) {
        if (part.find_first_of("\r\n") != std::string_view::npos)
            return false;
    }
    if (section.find(']') != std::string_view::npos || EndsInLoneLeadByte(section))
        return false;
    if (key.find('=') != std::string_view::npos || key.starts_with(';') || key.starts_with('['))
        return false;
    if (input.file && input.file->starts_with("\xEF\xBB\xBF"))
        return SurvivesUtf8(section) && SurvivesUtf8(key) && SurvivesUtf8(value);
    return true;
}

// Whether `after` differs from `before` in one place only, and that place held no
// line break in `before`: every line the edit does not target is kept as it was.
bool TouchesOneLine(std::string_view before, std::string_view after)
{
    std::size_t prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix &&
           before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const std::string_view removed = before.substr(prefix, before.size() - prefix - suffix);
    return removed.find_first_of("\r\n") == std::string_view::npos;
}

// A default no stored value equals: the lookup must come from the file.
constexpr std::string_view kAbsent = "\x01(absent)";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const ProfileInput input = SplitInput(std::string_view(reinterpret_cast<const char*>(data), size));

    // Reading: the whole value, and the same cut to a small buffer.
    const std::size_t wide = size + 2;
    const std::string full = pelmo::LookupProfileString(input.file, input.section, input.key, input.value, wide);
    const std::size_t narrow = input.key.size() % 8;
    const std::string cut = pelmo::LookupProfileString(input.file, input.section, input.key, input.value, narrow);
    Require(narrow == 0 ? cut.empty() : cut.size() < narrow, "a read fits the buffer with its terminator");
    Require(full.starts_with(cut), "a cut read is a prefix of the whole value");
    Require(IsCharBoundary(full, cut.size()), "a cut read never splits a character");

    // Writing: an edit, then a read of what was written.
    const std::optional<std::string> edited = pelmo::EditProfileString(input.file, input.section, input.key, input.value);
    Require(edited || input.file, "a missing file is always created");
    const std::string_view after = edited ? std::string_view(*edited) : *input.file;
    if (input.file && input.file->starts_with("\xEF\xBB\xBF"))
        Require(after.starts_with("\xEF\xBB\xBF"), "an edit keeps the byte-order mark");
    if (input.file)
        Require(TouchesOneLine(*input.file, after), "an edit keeps every line it does not target");
    if (Storable(input)) {
        const std::string readBack = pelmo::LookupProfileString(after, input.section, input.key, kAbsent, after.size() + 2);
        Require(readBack == StripQuotePair(Trim(input.value)), "a stored value reads back");
        Require(!pelmo::EditProfileString(after, input.section, input.key, input.value),
                "a second write finds the value stored");
    }
    return 0;
}
