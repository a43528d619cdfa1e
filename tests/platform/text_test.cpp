// Text (code page 932, UTF-8, UTF-16, letter case) and the runtime's atoi and _splitpath, as tables of calls.
#include <gtest/gtest.h>

#include "platform/letter_case.h"
#include "platform/runtime.h"
#include "platform/text.h"

namespace pelmo {
namespace {

using S = const std::string&;
using namespace std::string_literals;
std::string AtoiOf(S a, S) { return std::to_string(Atoi(a)); }
std::string Split(S a, S)
{
    const SplitPathResult p = SplitPath(a);
    return p.drive + "|" + p.folder + "|" + p.baseName + "|" + p.extension;
}
std::string Upper(S a, S b) { return b == "ascii" ? UpperCase(a, CaseRule::Settings) : UpperCase(a, CaseRule::Package); }
std::string Compare(S a, S b) { return std::to_string((CompareIgnoringCase(a, b, CaseRule::Settings) > 0) - (CompareIgnoringCase(a, b, CaseRule::Settings) < 0)); }
std::string Find(S a, S b) { return std::to_string(static_cast<int>(FindCp932(a, b))); }
std::string Cut(S a, S b) { return std::string(TruncateCp932(a, std::stoul(b))); }
std::string ToUtf8(S a, S b) { return b == "lossy" ? Cp932ToUtf8Lossy(a) : Cp932ToUtf8(a).value_or("(none)"); }
std::string To932(S a, S b) { return b == "lossy" ? Utf8ToCp932Lossy(a) : Utf8ToCp932(a).value_or("(none)"); }
std::string Fold(S a, S) { return UpperCase(a, CaseRule::FileName); }
std::string To16(S a, S) { return Utf16ToUtf8(Utf8ToUtf16(a)); }
std::string From16(S a, S b)  // `a` holds UTF-16LE bytes
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < a.size(); i += 2)
        text += static_cast<char16_t>(static_cast<unsigned char>(a[i]) | static_cast<unsigned char>(a[i + 1]) << 8);
    return b == "932" ? Utf16ToCp932Lossy(text) : Utf16ToUtf8(text);
}

struct Row {
    const char* name;
    std::string (*call)(S, S);
    std::string a, b, expected;
};

const std::string kAaiB = "A\x82\xA0\x82\xA2" "B";  // A あ い B; ソ 83 5C ends in '\', ヂ 83 61 in 'a'

const Row kRows[] = {
    {"atoi skips blanks", AtoiOf, "\t 42x", "", "42"}, {"atoi stops at a dot", AtoiOf, "03.1", "", "3"},
    {"atoi of nothing", AtoiOf, "", "", "0"}, {"atoi of a letter", AtoiOf, "x1", "", "0"},
    {"atoi reads a minus", AtoiOf, "-7", "", "-7"}, {"atoi reads a plus", AtoiOf, "+8", "", "8"},
    {"atoi wants digits after the sign", AtoiOf, "- 8", "", "0"}, {"INT_MAX", AtoiOf, "2147483647", "", "2147483647"},
    {"atoi saturates above INT_MAX", AtoiOf, "2147483648", "", "2147483647"},
    {"INT_MIN", AtoiOf, "-2147483648", "", "-2147483648"},
    {"atoi saturates far above", AtoiOf, "99999999999999999999999", "", "2147483647"},
    {"atoi saturates far below", AtoiOf, "-99999999999999999999", "", "-2147483648"},
    {"a full path", Split, "D:\\APP\\SUB\\LOG.DAT", "", "D:|\\APP\\SUB\\|LOG|.DAT"},
    {"a bare name", Split, "LOG.DAT", "", "||LOG|.DAT"}, {"a drive alone", Split, "C:", "", "C:|||"},
    {"no drive after a quote", Split, "\"C:\\A B\\x.exe", "", "|\"C:\\A B\\|x|.exe"},
    {"slashes stay", Split, "C:/dir/file.txt", "", "C:|/dir/|file|.txt"},
    {"a dot in a folder", Split, "C:\\dir.x\\file", "", "C:|\\dir.x\\|file|"},
    {"a trail byte 5C does not separate", Split, "C:\\A\\\x83\x5C\\L.DAT", "", "C:|\\A\\\x83\x5C\\|L|.DAT"},
    {"a name ending in trail byte 5C", Split, "C:\\A\\\x83\x5C", "", "C:|\\A\\|\x83\x5C|"},
    {"a dot name", Split, "C:\\A\\.profile", "", "C:|\\A\\||.profile"},
    {"a final dot", Split, "C:\\A\\file.", "", "C:|\\A\\|file|."}, {"a folder", Split, "C:\\APP\\", "", "C:|\\APP\\||"},
    {"the last dot", Split, "C:\\A\\a.b.c", "", "C:|\\A\\|a.b|.c"},
    {"a UNC path", Split, "\\\\server\\share\\x.txt", "", "|\\\\server\\share\\|x|.txt"},
    {"ASCII letters", Upper, "start-1_b~.lzh", "", "START-1_B~.LZH"},
    {"full-width a-z", Upper, "\x82\x81\x82\x9A\x82\x60", "", "\x82\x60\x82\x79\x82\x60"},
    {"Greek", Upper, "\x83\xBF\x83\xD6", "", "\x83\x9F\x83\xB6"},
    {"Cyrillic", Upper, "\x84\x70\x84\x7E\x84\x80\x84\x91", "", "\x84\x40\x84\x4E\x84\x4F\x84\x60"},
    {"never a trail byte", Upper, "\x83\x61x\x88\x7A\x83\x5C" "a", "", "\x83\x61X\x88\x7A\x83\x5C" "A"},
    {"half-width katakana stay", Upper, "\xC3\xDE", "", "\xC3\xDE"}, {"a lone lead byte", Upper, "b\x83", "", "B\x83"},
    {"ASCII only, a to z", Upper, "aiz\x82\x81\x83\x61", "ascii", "AIZ\x82\x81\x83\x61"},
    {"compare folds ASCII", Compare, "\x83\x41key", "\x83\x41KEY", "0"}, {"folded order", Compare, "b", "A", "1"},
    {"compare never folds a trail byte", Compare, "\x83\x41", "\x83\x61", "-1"},
    {"compare folds no full-width", Compare, "\x82\x81", "\x82\x60", "1"},
    {"a lone lead byte is not its character", Compare, "\x83", "\x83\x41", "-1"},
    {"a prefix comes first", Compare, "abc", "abcd", "-1"},
    {"find never at a trail byte", Find, "\x83\x41", "A", "-1"}, {"find after it", Find, "\x83\x41" "A", "A", "2"},
    {"find never at trail byte 5C", Find, "x\x83\x5C\x83\x74", "\\", "-1"},
    {"find nothing", Find, "anything", "", "0"}, {"find in nothing", Find, "", "a", "-1"},
    {"cut to 0", Cut, kAaiB, "0", ""}, {"cut inside a character", Cut, kAaiB, "2", "A"},
    {"cut after it", Cut, kAaiB, "3", "A\x82\xA0"}, {"cut inside the next", Cut, kAaiB, "4", "A\x82\xA0"},
    {"cut to the whole", Cut, kAaiB, "6", kAaiB}, {"cut beyond the end", Cut, kAaiB, "100", kAaiB},
    {"Japanese to UTF-8", ToUtf8, "\x89\xB9\x90\xBA\\", "", "音声\\"}, {"a lone lead byte", ToUtf8, "a\x83", "", "(none)"},
    {"half-width katakana", To932, "ﾃﾞｼﾞﾀｲｻﾞ", "", "\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE"},
    {"the Windows table", To932, "～－", "", "\x81\x60\x81\x7c"}, {"an emoji", To932, "\xF0\x9F\x98\x80", "", "(none)"},
    {"an emoji becomes '?'", To932, "a\xF0\x9F\x98\x80" "b", "lossy", "a?b"},
    {"an invalid byte becomes '?'", ToUtf8, "a\xA0" "b", "lossy", "a?b"},
    {"a cut UTF-8 sequence is one '?'", To932, "a\xE3\x81" "b", "lossy", "a?b"},
    {"each stray continuation byte is one '?'", To932, "a\x80\x80" "b", "lossy", "a??b"},
    {"a cut sequence decodes as one U+FFFD", To16, "\xE3\x81" "b", "", "\uFFFD" "b"},
    {"an overlong form is a byte each", To16, "\xC0\xAF", "", "\uFFFD\uFFFD"},
    {"the least of each length decodes", To16, "\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80", "", "\u0080\u0800\U00010000"},
    {"no code point past U+10FFFF", To16, "\xF4\x90\x80", "", "\uFFFD\uFFFD\uFFFD"},
    {"no encoded surrogate", To16, "\xED\xA0\x80", "", "\uFFFD\uFFFD\uFFFD"}, {"a pair", To16, "😀", "", "😀"},
    {"a lone surrogate keeps its own bytes", From16, "a\0\x00\xD8"s, "", "a\xED\xA0\x80"},
    {"lone surrogates are each '?'", From16, "\x3D\xD8!\0\x00\xDE" "a\0\x3D\xD8"s, "932", "?!?a?"}, {"a pair is one '?'", From16, "\x3D\xD8\x00\xDE"s, "932", "?"},
    {"file names fold ASCII and full-width", Fold, "a\xEF\xBD\x9A\xC3\xA9", "", "A\xEF\xBC\xBA\xC3\xA9"},
    {"folding keeps a malformed byte", Fold, "\xFFz", "", "\xFFZ"},
};

TEST(Text, CallsAnswerAsTheRuntimeDoes)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.call(row.a, row.b), row.expected);
    }
}

}  // namespace
}  // namespace pelmo
