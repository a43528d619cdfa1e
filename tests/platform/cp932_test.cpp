// Code page 932 scanning: upper-casing, comparison, search, truncation, conversion.
#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/runtime.h"

namespace pelmo {
namespace {

struct UpperRow {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(Cp932UpperCase, ChangesOnlyWholeCharacters)
{
    const UpperRow rows[] = {
        {"ascii letters", "start.lzh", "START.LZH"},
        {"digits and signs stay", "a-1_b~", "A-1_B~"},
        {"full-width a and z", "\x82\x81\x82\x9A", "\x82\x60\x82\x79"},
        {"full-width capitals stay", "\x82\x60", "\x82\x60"},
        {"greek alpha and omega", "\x83\xBF\x83\xD6", "\x83\x9F\x83\xB6"},
        {"cyrillic a, n, o, ya", "\x84\x70\x84\x7E\x84\x80\x84\x91", "\x84\x40\x84\x4E\x84\x4F\x84\x60"},
        {"trail byte 'a' of ヂ never changes", "\x83\x61x", "\x83\x61X"},
        {"trail byte 'z' of a kanji never changes", "\x88\x7A", "\x88\x7A"},
        {"trail byte 0x5C of ソ", "\x83\x5C" "abc", "\x83\x5C" "ABC"},
        {"half-width katakana stay", "\xC3\xDE\xBC\xDE", "\xC3\xDE\xBC\xDE"},
        {"lone lead byte at the end", "ab\x83", "AB\x83"},
    };
    for (const UpperRow& row : rows)
        EXPECT_EQ(UpperCaseCp932(row.input), row.expected) << row.name;
}

TEST(Cp932UpperCase, AsciiOnlyVariantLeavesDoubleByteLetters)
{
    EXPECT_EQ(UpperCaseAscii("korimu1.ini"), "KORIMU1.INI");
    EXPECT_EQ(UpperCaseAscii("\x82\x81\x83\x61"), "\x82\x81\x83\x61");
}

TEST(Cp932Compare, FoldsAsciiButComparesDoubleByteCharactersWhole)
{
    EXPECT_TRUE(EqualsNoCaseAscii("KeyName", "KEYNAME"));
    EXPECT_TRUE(EqualsNoCaseAscii("\x83\x41key", "\x83\x41KEY"));
    EXPECT_FALSE(EqualsNoCaseAscii("\x83\x41", "\x83\x61"));       // ア is not ヂ
    EXPECT_FALSE(EqualsNoCaseAscii("\x82\x81", "\x82\x60"));       // ａ is not Ａ
    EXPECT_FALSE(EqualsNoCaseAscii("\x84\x70", "\x84\x40"));       // а is not А
    EXPECT_FALSE(EqualsNoCaseAscii("abc", "abcd"));
    EXPECT_LT(CompareNoCaseAscii("abc", "abcd"), 0);
    EXPECT_GT(CompareNoCaseAscii("b", "A"), 0);
}

TEST(Cp932Find, NeverMatchesAtATrailByte)
{
    // "\x83\x41" is ア; its trail byte 'A' must not match "A".
    EXPECT_EQ(FindCp932("\x83\x41", "A"), std::string_view::npos);
    EXPECT_EQ(FindCp932("\x83\x41" "A", "A"), 2u);
    EXPECT_EQ(FindCp932("x\x83\x5C\x83\x74", "\x5C"), std::string_view::npos);
    EXPECT_EQ(FindCp932("title with \xCD\xDF\xD9\xD3\xDD\xC4", "\xCD\xDF\xD9\xD3\xDD\xC4"), 11u);
    EXPECT_EQ(FindCp932("anything", ""), 0u);
    EXPECT_EQ(FindCp932("", "a"), std::string_view::npos);
}

TEST(Cp932Truncate, NeverSplitsACharacter)
{
    const std::string text = "A\x82\xA0\x82\xA2" "B";  // A あ い B
    const struct {
        std::size_t limit;
        std::string expected;
    } rows[] = {
        {0, ""}, {1, "A"}, {2, "A"}, {3, "A\x82\xA0"}, {4, "A\x82\xA0"}, {5, "A\x82\xA0\x82\xA2"}, {6, text}, {100, text},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TruncateCp932(text, row.limit), row.expected) << "limit " << row.limit;
}

TEST(Cp932Convert, RoundTripsJapaneseAndRefusesInvalidBytes)
{
    const std::string sjis = "\x89\xB9\x90\xBA\\wave";  // 音声\wave
    auto utf8 = Cp932ToUtf8(sjis);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(*utf8, "音声\\wave");
    EXPECT_EQ(Utf8ToCp932(*utf8), sjis);
    EXPECT_EQ(Utf8ToCp932("ﾃﾞｼﾞﾀｲｻﾞ"), std::string("\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE"));
    // The Windows table: U+FF5E (full-width tilde) exists in code page 932.
    EXPECT_EQ(Utf8ToCp932("～"), std::string("\x81\x60"));
    EXPECT_FALSE(Cp932ToUtf8("ab\x83"));
    EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80"));  // an emoji
    EXPECT_EQ(Utf8ToCp932Lossy("a\xF0\x9F\x98\x80" "b"), "a?b");
    EXPECT_EQ(Cp932ToUtf8Lossy("a\xA0" "b"), "a?b");
}

struct SplitRow {
    std::string input;
    std::string drive, folder, baseName, extension;
};

TEST(RuntimeSplitPath, MatchesTheMeasuredRuntime)
{
    const SplitRow rows[] = {
        {"D:\\APP\\SUB\\LOG.DAT", "D:", "\\APP\\SUB\\", "LOG", ".DAT"},
        {"D:\\LOG.DAT", "D:", "\\", "LOG", ".DAT"},
        {"LOG.DAT", "", "", "LOG", ".DAT"},
        {"\"C:\\A B\\x.exe", "", "\"C:\\A B\\", "x", ".exe"},
        {"C:/dir/file.txt", "C:", "/dir/", "file", ".txt"},
        {"C:\\dir.x\\file", "C:", "\\dir.x\\", "file", ""},
        {"START", "", "", "START", ""},
        {"dir\\START.LZH", "", "dir\\", "START", ".LZH"},
        {"C:\\\x83\x5C\x83\x74\x83\x67\\LOG.DAT", "C:", "\\\x83\x5C\x83\x74\x83\x67\\", "LOG", ".DAT"},
        {"C:\\APP\\\x83\x5C\\LOG.DAT", "C:", "\\APP\\\x83\x5C\\", "LOG", ".DAT"},
        {"C:\\APP\\\x83\x5C\x83\x74\x83\x67.DAT", "C:", "\\APP\\", "\x83\x5C\x83\x74\x83\x67", ".DAT"},
        {"C:\\APP\\\x83\x5C", "C:", "\\APP\\", "\x83\x5C", ""},
        {"\x83\x5C.TXT", "", "", "\x83\x5C", ".TXT"},
        {"C:\\APP\\.profile", "C:", "\\APP\\", "", ".profile"},
        {"C:\\APP\\file.", "C:", "\\APP\\", "file", "."},
        {"C:\\APP\\a.b.c", "C:", "\\APP\\", "a.b", ".c"},
        {"C:\\APP\\", "C:", "\\APP\\", "", ""},
        {"C:", "C:", "", "", ""},
        {"\\\\server\\share\\x.txt", "", "\\\\server\\share\\", "x", ".txt"},
        {"", "", "", "", ""},
    };
    for (const SplitRow& row : rows) {
        SplitPathResult parts = SplitPath(row.input);
        EXPECT_EQ(parts.drive, row.drive) << row.input;
        EXPECT_EQ(parts.folder, row.folder) << row.input;
        EXPECT_EQ(parts.baseName, row.baseName) << row.input;
        EXPECT_EQ(parts.extension, row.extension) << row.input;
    }
}

TEST(RuntimeAtoi, ReadsLikeTheRuntime)
{
    const struct {
        std::string input;
        int expected;
    } rows[] = {
        {"1", 1},           {" 1", 1},       {"\t 42x", 42},   {"01", 1},    {"3.1", 3},
        {"", 0},            {"x1", 0},       {"NULL", 0},      {"-7", -7},   {"+8", 8},
        {"- 8", 0},         {"9999", 9999},  {"2147483647", 2147483647},
        {"2147483648", 2147483647},           {"-2147483648", -2147483648LL},
        {"99999999999999999999999", 2147483647}, {"-99999999999999999999", -2147483648LL},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Atoi(row.input), row.expected) << '"' << row.input << '"';
}

}  // namespace
}  // namespace pelmo
