// Tests of .ini reading and in-place writing on code page 932 bytes.
#include "platform/profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

using namespace std::literals;

constexpr std::string_view kDefault = "DEF";

std::string Lookup(std::optional<std::string_view> file, std::string_view section, std::string_view key,
                   std::string_view defaultValue = kDefault, std::size_t size = 256)
{
    return LookupProfileString(file, section, key, defaultValue, size);
}

struct LookupRow {
    std::string_view section;
    std::string_view key;
    std::string_view expected;
};

void ExpectLookups(std::string_view file, const std::vector<LookupRow>& rows)
{
    for (const LookupRow& row : rows) {
        SCOPED_TRACE("[" + std::string(row.section) + "] " + std::string(row.key));
        EXPECT_EQ(Lookup(file, row.section, row.key), row.expected);
    }
}

TEST(ProfileLookup, BlanksAroundLinesNamesAndValuesAreTrimmed)
{
    const std::string_view file =
        "  [Sp1]  \r\n  KEY  =  value  \r\n\tTAB\t=\tv\t\r\nMY KEY = x y \r\n[  Sp2  ]\r\na=2\r\n"
        "[\tSp3\t]\r\na=3\r\n[Sp4] trailing\r\na=4\r\n[Sp5\r\na=5\r\n";
    ExpectLookups(file, {
                            {"Sp1", "KEY", "value"},
                            {"Sp1", "  KEY  ", "value"},
                            {" \tSp1\t ", "KEY", "value"},
                            {"Sp1", "TAB", "v"},
                            {"Sp1", "MY KEY", "x y"},
                            {"Sp1", "MY  KEY", kDefault},
                            {"Sp1", "MYKEY", kDefault},
                            {"Sp2", "a", "2"},
                            {"Sp3", "a", "3"},
                            {"Sp4", "a", "4"},
                            {"Sp4 trailing", "a", kDefault},
                            {"Sp5", "a", kDefault},
                            // "[Sp5" is a line of [Sp4]; a=5 under it does not override a=4.
                            {"Sp4", "[Sp5", kDefault},
                        });
}

TEST(ProfileLookup, OnlyAsciiLettersFoldCase)
{
    // ア 83 41 / ヂ 83 61, Ａ 82 60 / ａ 82 81, Α 83 9F / α 83 BF, А 84 40 / а 84 70.
    const std::string_view file =
        "[Mixed]\r\nKey=ascii\r\n\x83\x41=kata\r\n\x82\x60=fullwidth\r\n\x83\x9F=greek\r\n\x84\x40=cyrillic\r\n";
    ExpectLookups(file, {
                            {"mixed", "key", "ascii"},
                            {"MIXED", "KEY", "ascii"},
                            {"Mixed", "\x83\x41", "kata"},
                            {"Mixed", "\x83\x61", kDefault},
                            {"Mixed", "\x82\x60", "fullwidth"},
                            {"Mixed", "\x82\x81", kDefault},
                            {"Mixed", "\x83\x9F", "greek"},
                            {"Mixed", "\x83\xBF", kDefault},
                            {"Mixed", "\x84\x40", "cyrillic"},
                            {"Mixed", "\x84\x70", kDefault},
                        });
}

TEST(ProfileLookup, OneOuterPairOfQuotesIsRemoved)
{
    const std::string_view file =
        "[Q]\r\ninner=\"a\" b\"\r\nopen=\"abc\r\nlone=\"\r\nempty=\"\"\r\nsingle='x'\r\nmixed=\"x'\r\n"
        "padded=  \"  p  \"  \r\nlonesingle='\r\ntwice=\"\"x\"\"\r\n";
    ExpectLookups(file, {
                            {"Q", "inner", "a\" b"},
                            {"Q", "open", "\"abc"},
                            {"Q", "lone", "\""},
                            {"Q", "empty", ""},
                            {"Q", "single", "x"},
                            {"Q", "mixed", "\"x'"},
                            {"Q", "padded", "  p  "},
                            {"Q", "lonesingle", "'"},
                            {"Q", "twice", "\"x\""},
                        });
}

TEST(ProfileLookup, DefaultLosesTrailingSpacesAndQuotes)
{
    struct Row {
        std::string_view defaultValue;
        std::string_view expected;
    };
    const std::vector<Row> rows = {
        {"plain", "plain"},     {"trail   ", "trail"},   {"  lead", "  lead"},  {"tab\t", "tab\t"},
        {"\"quoted\"", "quoted"}, {"\"quoted\"  ", "quoted"}, {"'single'", "single"}, {"\"open", "\"open"},
        {"\"", "\""},             {"\"\"", ""},            {"", ""},                {"   ", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.defaultValue));
        EXPECT_EQ(Lookup(std::nullopt, "S", "k", row.defaultValue), row.expected);
        EXPECT_EQ(Lookup("[S]\r\nother=1\r\n"sv, "S", "k", row.defaultValue), row.expected);
    }
}

TEST(ProfileLookup, CommentsAndLinesWithoutEquals)
{
    const std::string_view file =
        "[S]\r\n;c=1\r\n  ; d=2\r\n#h=3\r\nsemi=v ; not a comment\r\nnoequals\r\nempty=\r\n=nameless\r\n";
    ExpectLookups(file, {
                            {"S", ";c", kDefault},
                            {"S", "c", kDefault},
                            {"S", "d", kDefault},
                            {"S", "#h", "3"},
                            {"S", "semi", "v ; not a comment"},
                            {"S", "noequals", kDefault},
                            {"S", "empty", ""},
                            {"S", "", "nameless"},
                            {"S", "  ", "nameless"},
                        });
}

TEST(ProfileLookup, LinesBeforeTheFirstSectionAreNeverFound)
{
    const std::string_view file = "k=orphan\r\n[]\r\nk=unnamed\r\n[S]\r\nk=1\r\n";
    ExpectLookups(file, {
                            {"", "k", "unnamed"},
                            {"S", "k", "1"},
                            {"S", "orphan", kDefault},
                        });
    ExpectLookups("k=orphan\r\n[S]\r\nj=1\r\n", {{"", "k", kDefault}, {"S", "k", kDefault}});
}

TEST(ProfileLookup, FirstSectionAndFirstKeyWin)
{
    const std::string_view file =
        "[D]\r\nk=first\r\nk=second\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\nj=only-in-second-D\r\n";
    ExpectLookups(file, {
                            {"D", "k", "first"},
                            {"d", "K", "first"},
                            {"D", "j", kDefault},
                            {"E", "x", "1"},
                            {"E", "k", kDefault},
                        });
}

TEST(ProfileLookup, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(Lookup(std::nullopt, "S", "k"), kDefault);
    EXPECT_EQ(Lookup(""sv, "S", "k"), kDefault);
    EXPECT_EQ(Lookup("[T]\r\nk=1\r\n"sv, "S", "k"), kDefault);
    EXPECT_EQ(Lookup("[S]\r\nj=1\r\n"sv, "S", "k"), kDefault);
}

TEST(ProfileLookup, CutValuesNeverSplitADoubleByteCharacter)
{
    // A あ い B = 41 82A0 82A2 42
    const std::string_view file = "[S]\r\nk=A\x82\xA0\x82\xA2" "B\r\n";
    struct Row {
        std::size_t size;
        std::string_view expected;
    };
    const std::vector<Row> rows = {
        {0, ""},
        {1, ""},
        {2, "A"},
        {3, "A"},
        {4, "A\x82\xA0"},
        {5, "A\x82\xA0"},
        {6, "A\x82\xA0\x82\xA2"},
        {7, "A\x82\xA0\x82\xA2" "B"},
        {100, "A\x82\xA0\x82\xA2" "B"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        EXPECT_EQ(Lookup(file, "S", "k", kDefault, row.size), row.expected);
        EXPECT_EQ(Lookup(file, "S", "missing", "A\x82\xA0\x82\xA2" "B", row.size), row.expected);
    }
}

TEST(ProfileLookup, LineEndsCtrlZAndByteOrderMark)
{
    struct Row {
        std::string_view name;
        std::string_view file;
    };
    // Each file holds [S] k=v, j=w in a different spelling.
    const std::vector<Row> rows = {
        {"CRLF", "[S]\r\nk=v\r\nj=w\r\n"},
        {"LF", "[S]\nk=v\nj=w\n"},
        {"CR", "[S]\rk=v\rj=w\r"},
        {"mixed", "[S]\rk=v\r\nj=w\n"},
        {"no final line end", "[S]\r\nk=v\r\nj=w"},
        {"Ctrl-Z after line end", "[S]\r\nk=v\r\nj=w\r\n\x1A"},
        {"Ctrl-Z after value", "[S]\r\nk=v\r\nj=w\x1A"},
        {"blank lines", "\r\n\r\n[S]\r\n\r\nk=v\r\n\r\nj=w\r\n\r\n"},
        {"UTF-8 mark", "\xEF\xBB\xBF[S]\r\nk=v\r\nj=w\r\n"},
        {"UTF-8 mark and LF", "\xEF\xBB\xBF[S]\nk=v\nj=w"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name));
        ExpectLookups(row.file, {{"S", "k", "v"}, {"S", "j", "w"}});
    }
}

TEST(ProfileLookup, Utf8FileAnswersInCodePage932)
{
    // [セクション] キー=値 in UTF-8, asked for in code page 932.
    const std::string_view file =
        "\xEF\xBB\xBF[\xE3\x82\xBB\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3]\r\n"
        "\xE3\x82\xAD\xE3\x83\xBC=\xE5\x80\xA4\r\nascii=\"\xE3\x81\x82\"\r\nemoji=\xF0\x9F\x98\x80\r\n"
        "[\xF0\x9F\x98\x80]\r\nk=emoji\r\n[\xFF]\r\nk=invalid\r\n";
    const std::string_view section = "\x83\x5A\x83\x4E\x83\x56\x83\x87\x83\x93";
    ExpectLookups(file, {
                            {section, "\x83\x4C\x81\x5B", "\x92\x6C"},
                            {section, "ASCII", "\x82\xA0"},
                            {section, "\xE3\x82\xAD\xE3\x83\xBC", kDefault},
                            {"\xE3\x82\xBB\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3", "ascii", kDefault},
                            {section, "emoji", "?"},
                            // Names code page 932 cannot express match nothing, not even "?".
                            {"?", "k", kDefault},
                            {"\xF0\x9F\x98\x80", "k", kDefault},
                            {"\xFF", "k", kDefault},
                        });
}

TEST(ProfileLookup, DoubleByteNames)
{
    // ソフト 835C 8374 8367 ends its first character in '\'; ‐ 815D in ']'.
    const std::string_view file =
        "[\x83\x5C\x83\x74\x83\x67]\r\n\x83\x5C\x83\x74\x83\x67=soft\r\n"
        "\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE=\xB1\r\n"
        "[\x81\x5D]\r\nk=dash\r\n"
        "[\x81]\r\nk=lone\r\n";
    ExpectLookups(file, {
                            {"\x83\x5C\x83\x74\x83\x67", "\x83\x5C\x83\x74\x83\x67", "soft"},
                            {"\x83\x5C\x83\x74\x83\x67", "\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE", "\xB1"},
                            {"\x83\x5C\x83\x74\x83\x67", "\xE3\xDE\xBC\xDE\xC0\xB2\xBB\xDE", kDefault},
                            // "[\x81]" has no ']' of its own: its line belongs to [‐].
                            {"\x81\x5D", "k", "dash"},
                            {"\x81", "k", kDefault},
                        });
}

TEST(ProfileLookup, InvalidBytesPassThroughUnchanged)
{
    const std::string_view file =
        "[S]\r\nlone=\x81\r\nspace=\x81 x\r\nend=ab\x81\r\nhigh=\xFF\xFE\xFD\r\nnul=a\0b\r\n\x81k=lead\r\n"sv;
    ExpectLookups(file, {
                            {"S", "lone", "\x81"},
                            {"S", "space", "\x81 x"},
                            {"S", "end", "ab\x81"},
                            {"S", "high", "\xFF\xFE\xFD"},
                            {"S", "nul", "a\0b"sv},
                            {"S", "\x81k", "lead"},
                            {"S", "k", kDefault},
                        });
}

struct EditRow {
    std::string_view name;
    std::optional<std::string_view> file;
    std::string_view section;
    std::string_view key;
    std::string_view value;
    std::optional<std::string_view> expected;  // nothing: the file is left as it is
};

TEST(ProfileEdit, ChangesOnlyTheTargetedLine)
{
    const std::vector<EditRow> rows = {
        {"existing key", "[S]\r\n; top comment\r\n  Key = old ; comment\r\nother=1\r\n"sv, "s", "KEY", "new",
         "[S]\r\n; top comment\r\nKey=new\r\nother=1\r\n"sv},
        {"key keeps its spelling", "[S]\r\nMyKey=1\r\n"sv, "S", "mykey", "2", "[S]\r\nMyKey=2\r\n"sv},
        {"key missing", "[S1]\r\na=1\r\n\r\n\r\n[S2]\r\nb=2\r\n"sv, "S1", "new", "X",
         "[S1]\r\na=1\r\nnew=X\r\n\r\n\r\n[S2]\r\nb=2\r\n"sv},
        {"after last key, before closing comment and value-less line",
         "[S]\r\nk=1\r\n; note\r\nflag\r\n[T]\r\n"sv, "S", "n", "2",
         "[S]\r\nk=1\r\nn=2\r\n; note\r\nflag\r\n[T]\r\n"sv},
        {"section without keys", "[S]\r\n; c\r\n\r\n[T]\r\n"sv, "S", "k", "v",
         "[S]\r\nk=v\r\n; c\r\n\r\n[T]\r\n"sv},
        {"last key without line end", "[S]\r\nk=1"sv, "S", "n", "2", "[S]\r\nk=1\r\nn=2\r\n"sv},
        {"header without line end", "[S]"sv, "S", "k", "v", "[S]\r\nk=v\r\n"sv},
        {"section missing", "[A]\r\nx=1\r\n"sv, "B", "k", "v", "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"sv},
        {"section missing, no final line end", "[A]\r\nx=1"sv, "B", "k", "v",
         "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"sv},
        {"orphan lines are no section", "k=0\r\n"sv, "S", "k", "1", "k=0\r\n[S]\r\nk=1\r\n"sv},
        {"orphan key untouched", "k=0\r\n[S]\r\nk=1\r\n"sv, "S", "k", "2", "k=0\r\n[S]\r\nk=2\r\n"sv},
        {"empty file", ""sv, "S", "k", "v", "[S]\r\nk=v\r\n"sv},
        {"missing file", std::nullopt, "S", "k", "v", "[S]\r\nk=v\r\n"sv},
        {"names and value trimmed", std::nullopt, " \tS ", "\tk ", "  v\t", "[S]\r\nk=v\r\n"sv},
        {"empty value", "[S]\r\nk=1\r\n"sv, "S", "k", "", "[S]\r\nk=\r\n"sv},
        {"LF file keeps LF", "[S]\nk=old\nz=1\n"sv, "S", "k", "new", "[S]\nk=new\nz=1\n"sv},
        {"LF file, new line in CRLF", "[S]\nk=old\nz=1\n"sv, "S", "n", "1", "[S]\nk=old\nz=1\nn=1\r\n"sv},
        {"CR file keeps CR", "[S]\rk=old\r"sv, "S", "k", "new", "[S]\rk=new\r"sv},
        {"first of duplicates", "[D]\r\nk=first\r\nk=second\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\n"sv, "D", "k", "1",
         "[D]\r\nk=1\r\nk=second\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\n"sv},
        {"new key joins the first duplicate",
         "[D]\r\nk=first\r\nk=second\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\nj=only-in-second-D\r\n"sv, "D", "j", "J",
         "[D]\r\nk=first\r\nk=second\r\nj=J\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\nj=only-in-second-D\r\n"sv},
        {"same value", "[S]\r\n  k =  v  \r\n"sv, "S", "K", " v ", std::nullopt},
        {"quoted value differs", "[S]\r\nk=\"v\"\r\n"sv, "S", "k", "v", "[S]\r\nk=v\r\n"sv},
        {"commented key is no key", "[S]\r\n;k=1\r\n"sv, "S", "k", "2", "[S]\r\nk=2\r\n;k=1\r\n"sv},
        {"Ctrl-Z stays last", "[S]\r\nk=1\r\n\x1A"sv, "T", "x", "1", "[S]\r\nk=1\r\n[T]\r\nx=1\r\n\x1A"sv},
        {"value ending in Ctrl-Z on the last line gets a line end", "[S]\r\nk=1"sv, "S", "k", "v\x1A",
         "[S]\r\nk=v\x1A\r\n"sv},
        {"value ending in Ctrl-Z before a Ctrl-Z tail", "[S]\r\nk=1\x1A"sv, "S", "k", "v\x1A",
         "[S]\r\nk=v\x1A\r\n\x1A"sv},
        {"value ending in Ctrl-Z inside the file", "[S]\r\nk=1\r\nj=2"sv, "S", "k", "v\x1A",
         "[S]\r\nk=v\x1A\r\nj=2"sv},
        {"0x5C trail byte key", "[S]\r\n\x83\x5C\x83\x74\x83\x67=old\r\n"sv, "S", "\x83\x5C\x83\x74\x83\x67", "new",
         "[S]\r\n\x83\x5C\x83\x74\x83\x67=new\r\n"sv},
        {"half-width katakana key", "[S]\r\n"sv, "S", "\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE", "\xB1",
         "[S]\r\n\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE=\xB1\r\n"sv},
        {"invalid bytes kept", "[S]\r\nbad=\x81\r\n\xFF\xFE junk\r\nk=1\r\nnul=\0\r\n"sv, "S", "k", "\x81",
         "[S]\r\nbad=\x81\r\n\xFF\xFE junk\r\nk=\x81\r\nnul=\0\r\n"sv},
        {"UTF-8 value", "\xEF\xBB\xBF[S]\r\nk=old\r\n"sv, "S", "k", "\x92\x6C",
         "\xEF\xBB\xBF[S]\r\nk=\xE5\x80\xA4\r\n"sv},
        {"UTF-8 same value", "\xEF\xBB\xBF[S]\r\nk=\xE5\x80\xA4\r\n"sv, "S", "k", "\x92\x6C", std::nullopt},
        {"UTF-8 new section", "\xEF\xBB\xBF[S]\r\nk=1"sv, "\x92\x6C", "\x83\x4C\x81\x5B", "\x82\xA0",
         "\xEF\xBB\xBF[S]\r\nk=1\r\n[\xE5\x80\xA4]\r\n\xE3\x82\xAD\xE3\x83\xBC=\xE3\x81\x82\r\n"sv},
        {"UTF-8 key found by its code page 932 name",
         "\xEF\xBB\xBF[\xE5\x80\xA4]\r\n\xE3\x82\xAD\xE3\x83\xBC=1\r\n"sv, "\x92\x6C", "\x83\x4C\x81\x5B", "2",
         "\xEF\xBB\xBF[\xE5\x80\xA4]\r\n\xE3\x82\xAD\xE3\x83\xBC=2\r\n"sv},
        {"UTF-8 empty file", "\xEF\xBB\xBF"sv, "S", "k", "v", "\xEF\xBB\xBF[S]\r\nk=v\r\n"sv},
    };
    for (const EditRow& row : rows) {
        SCOPED_TRACE(std::string(row.name));
        const std::optional<std::string> edited = EditProfileString(row.file, row.section, row.key, row.value);
        ASSERT_EQ(edited.has_value(), row.expected.has_value());
        if (edited) {
            EXPECT_EQ(*edited, *row.expected);
        }
    }
}

// A file of random pieces that matter to the parser, and random bytes.
std::string RandomProfile(std::mt19937& random)
{
    static const std::vector<std::string_view> pieces = {
        "[",    "]",    "=",    ";",        " ",    "\t",       "\r",       "\n",       "\r\n", "\0"sv,
        "\x1A", "\x81", "\x5C", "\x81\x5D", "S",    "k",        "j",        "v",        "\"",   "'",
        "[S]",  "[T]",  "k=1",  "j=2",      "\xFF", "\x83\x5C", "\x82\xA0", "\xEF\xBB\xBF",
    };
    std::string file = random() % 4 == 0 ? "\xEF\xBB\xBF" : "";
    const std::size_t count = random() % 40;
    for (std::size_t i = 0; i < count; ++i) {
        if (random() % 5 == 0) {
            file.push_back(static_cast<char>(random() % 256));
        } else {
            file.append(pieces[random() % pieces.size()]);
        }
    }
    return file;
}

TEST(ProfileEdit, WritesReadBackAndLeaveOtherEntriesAlone)
{
    struct Row {
        std::string_view section;
        std::string_view key;
        std::string_view value;
        std::string_view readBack;
    };
    const std::vector<Row> rows = {
        {"S", "k", "v", "v"},
        {"T", "j", "\"quoted\"", "quoted"},
        {"\x83\x5C\x83\x74\x83\x67", "\x83\x5C", "\x82\xA0", "\x82\xA0"},
        {"New", "k", "", ""},
        {"S", "k", "v\x1A", "v\x1A"},
    };
    // Entries read before and after each write; the written one is skipped.
    const std::vector<std::pair<std::string_view, std::string_view>> others = {
        {"S", "k"}, {"S", "j"}, {"T", "k"}, {"T", "j"}, {"", "k"},
    };
    std::mt19937 random(932);
    for (int round = 0; round < 2000; ++round) {
        const std::string file = RandomProfile(random);
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::PrintToString(file) + " [" + std::string(row.section) + "] " +
                         std::string(row.key));
            const std::optional<std::string> edited = EditProfileString(file, row.section, row.key, row.value);
            const std::string& after = edited ? *edited : file;
            ASSERT_EQ(Lookup(after, row.section, row.key), row.readBack);
            // A second identical write finds the value already stored.
            ASSERT_FALSE(EditProfileString(after, row.section, row.key, row.value).has_value());
            for (const auto& [section, key] : others) {
                if (section == row.section && key == row.key) {
                    continue;
                }
                ASSERT_EQ(Lookup(after, section, key), Lookup(file, section, key)) << section << "/" << key;
            }
        }
    }
}

TEST(ProfileLookup, ArbitraryBytesGiveBoundedAnswers)
{
    std::mt19937 random(1252);
    for (int round = 0; round < 2000; ++round) {
        const std::string file = RandomProfile(random);
        for (std::size_t size : {0, 1, 2, 3, 64}) {
            for (std::string_view key : {"k", "j", "", "\x81"}) {
                EXPECT_LE(Lookup(file, "S", key, kDefault, size).size(), size == 0 ? 0 : size - 1);
            }
        }
    }
}

// The names in a host folder, to see that a failed write leaves nothing behind.
std::vector<std::string> FolderNames(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ProfileFile, ReadsFromTheNamedFileOrTheWindowsFolder)
{
    test::TestMachine testMachine;
    test::WriteHostFile(testMachine.driveC() / "windows" / "app.ini", "[S]\r\nk=windows\r\n");
    test::WriteHostFile(testMachine.driveC() / "data" / "app.ini", "[S]\r\nk=data\r\n");
    // ソフト.ini: its first character ends in 0x5C, which is no folder separator.
    test::WriteHostFile(testMachine.driveC() / "windows" / "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.ini",
                        "[S]\r\nk=soft\r\n");
    const Machine machine = testMachine.Load();
    struct Row {
        std::string_view file;
        std::string_view expected;
    };
    const std::vector<Row> rows = {
        {"app.ini", "windows"},
        {"APP.INI", "windows"},
        {"C:\\windows\\app.ini", "windows"},
        {"C:\\data\\app.ini", "data"},
        {"C:/data/app.ini", "data"},
        {"\\data\\app.ini", "data"},
        {"\x83\x5C\x83\x74\x83\x67.ini", "soft"},
        {"missing.ini", kDefault},
        {"C:\\nofolder\\app.ini", kDefault},
        {"C:\\data", kDefault},
        {"", kDefault},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.file));
        EXPECT_EQ(GetPrivateProfileString(machine, row.file, "S", "k", kDefault, 256), row.expected);
    }
}

TEST(ProfileFile, WritesInPlaceOrFailsLeavingTheFileAsItWas)
{
    const std::string original = "[S]\r\nk=1\r\n";
    const std::string utf8 = "\xEF\xBB\xBF[S]\r\nk=1\r\n";
    struct Row {
        std::string_view name;
        std::optional<std::string_view> before;  // data\app.ini, nothing when missing
        std::string_view file;
        std::string_view section;
        std::string_view key;
        std::string_view value;
        bool succeeds;
        std::optional<std::string_view> after;  // data\app.ini afterwards
    };
    const std::vector<Row> rows = {
        {"edit", original, "C:\\data\\app.ini", "S", "k", "2", true, "[S]\r\nk=2\r\n"sv},
        {"same value", original, "C:\\data\\app.ini", "S", "k", "1", true, original},
        {"create", std::nullopt, "C:\\data\\app.ini", "S", "k", "v", true, "[S]\r\nk=v\r\n"sv},
        {"folder missing", std::nullopt, "C:\\nofolder\\app.ini", "S", "k", "v", false, std::nullopt},
        {"target is a folder", original, "C:\\data", "S", "k", "v", false, original},
        {"line break in value", original, "C:\\data\\app.ini", "S", "k", "a\r\nb", false, original},
        {"line break in key", original, "C:\\data\\app.ini", "S", "a\nb", "v", false, original},
        {"line break in section", original, "C:\\data\\app.ini", "S\rT", "k", "v", false, original},
        {"key that reads as a comment", original, "C:\\data\\app.ini", "S", ";k", "v", false, original},
        {"key that reads as a section", original, "C:\\data\\app.ini", "S", "[T]x", "v", false, original},
        {"key holding '='", original, "C:\\data\\app.ini", "S", "a=b", "v", false, original},
        {"section holding ']'", original, "C:\\data\\app.ini", "S]T", "k", "v", false, original},
        {"section ending in 0x5D trail byte", original, "C:\\data\\app.ini", "\x81\x5D", "k", "v", true,
         "[S]\r\nk=1\r\n[\x81\x5D]\r\nk=v\r\n"sv},
        {"'=' in value", original, "C:\\data\\app.ini", "S", "k", "a=b", true, "[S]\r\nk=a=b\r\n"sv},
        {"UTF-8 file", utf8, "C:\\data\\app.ini", "S", "k", "\x92\x6C", true,
         "\xEF\xBB\xBF[S]\r\nk=\xE5\x80\xA4\r\n"sv},
        {"UTF-8 file, bytes UTF-8 cannot hold", utf8, "C:\\data\\app.ini", "S", "k", "\x81", false, utf8},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name));
        test::TestMachine testMachine;
        const std::filesystem::path data = testMachine.driveC() / "data";
        std::filesystem::create_directories(data);
        if (row.before) {
            test::WriteHostFile(data / "app.ini", *row.before);
        }
        const std::vector<std::string> namesBefore = FolderNames(data);
        const Machine machine = testMachine.Load();

        EXPECT_EQ(WritePrivateProfileString(machine, row.file, row.section, row.key, row.value), row.succeeds);
        EXPECT_EQ(std::filesystem::exists(data / "app.ini"), row.after.has_value());
        if (row.after) {
            EXPECT_EQ(test::ReadHostFile(data / "app.ini"), *row.after);
        }
        if (!row.succeeds) {
            EXPECT_EQ(FolderNames(data), namesBefore);
            EXPECT_FALSE(std::filesystem::exists(testMachine.driveC() / "nofolder"));
        }
    }
}

TEST(ProfileFile, BareNameIsWrittenInTheWindowsFolder)
{
    test::TestMachine testMachine;
    const Machine machine = testMachine.Load();
    const std::string katakanaKey = "\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE";
    ASSERT_TRUE(WritePrivateProfileString(machine, "\x83\x5C\x83\x74\x83\x67.ini", "S", katakanaKey, "\xB1"));
    EXPECT_EQ(test::ReadHostFile(testMachine.driveC() / "windows" / "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.ini"),
              "[S]\r\n" + katakanaKey + "=\xB1\r\n");
    EXPECT_EQ(GetPrivateProfileString(machine, "C:\\WINDOWS\\\x83\x5C\x83\x74\x83\x67.ini", "s", katakanaKey,
                                      kDefault, 256),
              "\xB1");
}

TEST(ProfileFile, ReadOnlyFileIsNeverWrittenEvenByRootButAStoredValueCounts)
{
    namespace fs = std::filesystem;
    const std::string original = "[S]\r\nk=1\r\n";
    // A new value and a new key fail; the value already stored needs no write.
    struct Row2 {
        std::string_view key;
        std::string_view value;
        bool expected;
    };
    const std::vector<Row2> rows = {{"k", "2", false}, {"n", "1", false}, {"k", "1", true}};
    for (const Row2& row : rows) {
        SCOPED_TRACE(std::string(row.key) + "=" + std::string(row.value));
        test::TestMachine testMachine;
        const fs::path file = testMachine.driveC() / "data" / "app.ini";
        test::WriteHostFile(file, original);
        fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        const std::vector<std::string> namesBefore = FolderNames(file.parent_path());
        const Machine machine = testMachine.Load();

        EXPECT_EQ(WritePrivateProfileString(machine, "C:\\data\\app.ini", "S", row.key, row.value), row.expected);
        EXPECT_EQ(test::ReadHostFile(file), original);
        EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        EXPECT_EQ(FolderNames(file.parent_path()), namesBefore);
    }
}

}  // namespace
}  // namespace pelmo
