// GetPrivateProfileString and WritePrivateProfileString, on bytes and on files.
#include <gtest/gtest.h>

#include "platform/streams.h"
#include "platform/profile.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using namespace std::literals;
enum Op { Read, Edit, Get, Write };

// ア is 83 41; ソフト 83 5C 83 74 83 67 ends its first character in '\', ‐ 81 5D in ']'.
constexpr std::string_view kIni =
    "k=orphan\r\n[]\r\nk=unnamed\r\n  [Sp1]  \r\n  KEY  =  value  \r\nMY KEY = x y \r\n"
    "[  Sp2  ]\r\na=2\r\n[Sp4] trailing\r\na=4\r\n[Sp5\r\na=5\r\n"
    "[Mixed]\r\nKey=ascii\r\n\x83\x41=kata\r\n"
    "[Q]\r\ninner=\"a\" b\"\r\nopen=\"abc\r\nlone=\"\r\nsingle='x'\r\nmixed=\"x'\r\n"
    "twice=\"\"x\"\"\r\n"
    "[S]\r\n;c=1\r\n  ; d=2\r\n#h=3\r\nsemi=v ; not a comment\r\nnoequals\r\nempty=\r\n=nameless\r\n"
    "[D]\r\nk=first\r\nk=second\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\nj=only-in-second-D\r\n"
    "[\x83\x5C\x83\x74\x83\x67]\r\n\x83\x5C\x83\x74\x83\x67=soft\r\n\xC3\xDE\xBC\xDE=\xB1\r\n"
    "[\x81\x5D]\r\nk=dash\r\n[\x81]\r\nk=lone\r\n"
    "[Bytes]\r\nlone=\x81\r\nnul=a\0b\r\n\x81k=lead\r\n[Cut]\r\nk=A\x82\xA0\x82\xA2" "B\r\n"sv;
// [セクション] キー=値 and more in UTF-8.
constexpr std::string_view kUtf8 =
    "\xEF\xBB\xBF[\xE3\x82\xBB\xE3\x82\xAF\xE3\x82\xB7\xE3\x83\xA7\xE3\x83\xB3]\r\n\xE3\x82\xAD\xE3\x83\xBC=\xE5\x80\xA4\r\n"
    "ascii=\"\xE3\x81\x82\"\r\nemoji=\xF0\x9F\x98\x80\r\n[\xF0\x9F\x98\x80]\r\nk=emoji\r\n[\xFF]\r\nk=invalid\r\n";
#define SECTION "\x83\x5A\x83\x4E\x83\x56\x83\x87\x83\x93"  // セクション in code page 932
constexpr std::string_view kDuplicates = "[D]\r\nk=first\r\nk=second\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\n"sv;
constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kOld = "[S]\r\nk=1\r\n";
#define SOFT "\x83\x5C\x83\x74\x83\x67"  // ソフト

// Read and Edit work on the file's bytes; Get and Write on `path`, where C:\data\app.ini holds the
// file, C:\ro\app.ini is read-only and C:\windows holds app.ini and ソフト.ini, both [S] k=win.
// Read and Get take the value as the default ("-" here). Edit gives nothing when the file stays as it is,
// Write when the write fails; the file is then as it was.
struct Row {
    const char* name;
    Op op;
    std::string_view section, key, value;
    std::optional<std::string_view> expected;
    std::optional<std::string_view> file = kIni;
    std::size_t size = 256;
    std::string_view path = "C:\\data\\app.ini";
};

const Row kRows[] = {
    {"blanks around a line and a key go", Read, "Sp1", "KEY", "-", "value"},
    {"the names asked for are trimmed", Read, " \tSp1\t ", "  KEY  ", "-", "value"},
    {"blanks inside names and values stay", Read, "Sp1", "MY KEY", "-", "x y"},
    {"and must match", Read, "Sp1", "MY  KEY", "-", "-"}, {"blanks inside [ ] go", Read, "Sp2", "a", "-", "2"},
    {"text after ] is ignored", Read, "Sp4", "a", "-", "4"},
    {"and no part of the name", Read, "Sp4 trailing", "a", "-", "-"},
    {"[name without ] is no section", Read, "Sp5", "a", "-", "-"},
    {"lines before the first section are never found", Read, "", "k", "-", "unnamed"},
    {"ASCII letters fold", Read, "MIXED", "KEY", "-", "ascii"},
    {"a double-byte name matches itself", Read, "Mixed", "\x83\x41", "-", "kata"},
    {"an outer pair of quotes goes", Read, "Q", "inner", "-", "a\" b"},
    {"an open quote stays", Read, "Q", "open", "-", "\"abc"}, {"a lone quote stays", Read, "Q", "lone", "-", "\""},
    {"single quotes", Read, "Q", "single", "-", "x"}, {"mixed quotes are no pair", Read, "Q", "mixed", "-", "\"x'"},
    {"only one pair goes", Read, "Q", "twice", "-", "\"x\""}, {"a comment is no key", Read, "S", ";c", "-", "-"},
    {"nor an indented one", Read, "S", "d", "-", "-"}, {"# is no comment", Read, "S", "#h", "-", "3"},
    {"; after a value is part of it", Read, "S", "semi", "-", "v ; not a comment"},
    {"a line without = is no key", Read, "S", "noequals", "-", "-"}, {"key= is empty", Read, "S", "empty", "-", ""},
    {"=value is a key named \"\"", Read, "S", "  ", "-", "nameless"},
    {"the first key wins", Read, "d", "K", "-", "first"},
    {"only the first section of a name counts", Read, "D", "j", "-", "-"},
    {"a section ends at the next", Read, "E", "k", "-", "-"},
    {"a trail byte 5C in names", Read, "\x83\x5C\x83\x74\x83\x67", "\x83\x5C\x83\x74\x83\x67", "-", "soft"},
    {"half-width katakana names", Read, "\x83\x5C\x83\x74\x83\x67", "\xC3\xDE\xBC\xDE", "-", "\xB1"},
    {"a trail byte ] closes no section", Read, "\x81\x5D", "k", "-", "dash"},
    {"a lone lead byte hides a ]", Read, "\x81", "k", "-", "-"},
    {"a lone lead byte passes", Read, "Bytes", "lone", "-", "\x81"},
    {"a NUL byte", Read, "Bytes", "nul", "-", "a\0b"sv}, {"a lead byte before =", Read, "Bytes", "\x81k", "-", "lead"},
    {"a missing file", Read, "S", "k", "-", "-", std::nullopt}, {"an empty file", Read, "S", "k", "-", "-", ""sv},
    {"size 0", Read, "Cut", "k", "-", "", kIni, 0}, {"size 1", Read, "Cut", "k", "-", "", kIni, 1},
    {"a cut splits no character", Read, "Cut", "k", "-", "A\x82\xA0", kIni, 5},
    {"a value that just fits", Read, "Cut", "k", "-", "A\x82\xA0\x82\xA2" "B", kIni, 7},
    {"a cut default", Read, "Cut", "x", "A\x82\xA0\x82\xA2" "B", "A\x82\xA0", kIni, 4},
    {"a default loses trailing spaces", Read, "S", "k", "trail  ", "trail", std::nullopt},
    {"nor a trailing TAB", Read, "S", "k", "tab\t", "tab\t", std::nullopt},
    {"and then its quotes", Read, "S", "k", "\"quoted\"  ", "quoted"},
    {"an open quote stays", Read, "S", "k", "\"open", "\"open", std::nullopt},
    {"LF line ends", Read, "S", "j", "-", "w", "[S]\nk=v\nj=w\n"sv},
    {"CR line ends", Read, "S", "j", "-", "w", "[S]\rk=v\rj=w\r"sv},
    {"no final line end", Read, "S", "j", "-", "w", "[S]\r\nk=v\r\nj=w"sv},
    {"a final Ctrl-Z", Read, "S", "j", "-", "w", "[S]\r\nj=w\r\n\x1A"sv},
    {"a Ctrl-Z after the value", Read, "S", "j", "-", "w", "[S]\r\nj=w\x1A"sv},
    {"a UTF-8 mark", Read, "S", "j", "-", "w", "\xEF\xBB\xBF[S]\nj=w"sv},
    {"a UTF-8 file answers in code page 932", Read, SECTION, "\x83\x4C\x81\x5B", "-", "\x92\x6C", kUtf8},
    {"a quoted UTF-8 value", Read, SECTION, "ASCII", "-", "\x82\xA0", kUtf8},
    {"UTF-8 names are asked for in code page 932", Read, SECTION, "\xE3\x82\xAD\xE3\x83\xBC", "-", "-", kUtf8},
    {"what code page 932 cannot hold reads as '?'", Read, SECTION, "emoji", "-", "?", kUtf8},
    {"such a name matches not even '?'", Read, "?", "k", "-", "-", kUtf8},
    {"invalid UTF-8 matches nothing", Read, "\xFF", "k", "-", "-", kUtf8},
    {"an existing key's line is replaced", Edit, "s", "KEY", "new", "[S]\r\n; top\r\nKey=new\r\nother=1\r\n"sv, "[S]\r\n; top\r\n  Key = old ; c\r\nother=1\r\n"sv},
    {"a new key follows the last key", Edit, "S1", "new", "X", "[S1]\r\na=1\r\nnew=X\r\n\r\n\r\n[S2]\r\nb=2\r\n"sv, "[S1]\r\na=1\r\n\r\n\r\n[S2]\r\nb=2\r\n"sv},
    {"before a comment and a line without =", Edit, "S", "n", "2", "[S]\r\nk=1\r\nn=2\r\n; note\r\nflag\r\n[T]\r\n"sv, "[S]\r\nk=1\r\n; note\r\nflag\r\n[T]\r\n"sv},
    {"a section without keys takes it first", Edit, "S", "k", "v", "[S]\r\nk=v\r\n; c\r\n\r\n[T]\r\n"sv, "[S]\r\n; c\r\n\r\n[T]\r\n"sv},
    {"a last key gets a line end", Edit, "S", "n", "2", "[S]\r\nk=1\r\nn=2\r\n"sv, "[S]\r\nk=1"sv},
    {"a missing section is appended", Edit, "B", "k", "v", "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"sv, "[A]\r\nx=1\r\n"sv},
    {"after a line end", Edit, "B", "k", "v", "[A]\r\nx=1\r\n[B]\r\nk=v\r\n"sv, "[A]\r\nx=1"sv},
    {"orphan lines are no section", Edit, "S", "k", "1", "k=0\r\n[S]\r\nk=1\r\n"sv, "k=0\r\n"sv},
    {"an orphan key stays", Edit, "S", "k", "2", "k=0\r\n[S]\r\nk=2\r\n"sv, "k=0\r\n[S]\r\nk=1\r\n"sv},
    {"an empty file", Edit, "S", "k", "v", "[S]\r\nk=v\r\n"sv, ""sv},
    {"a missing file, names trimmed", Edit, " \tS ", "\tk ", "  v\t", "[S]\r\nk=v\r\n"sv, std::nullopt},
    {"an empty value", Edit, "S", "k", "", "[S]\r\nk=\r\n"sv, "[S]\r\nk=1\r\n"sv},
    {"LF stays LF", Edit, "S", "k", "new", "[S]\nk=new\nz=1\n"sv, "[S]\nk=old\nz=1\n"sv},
    {"a new line ends in CRLF", Edit, "S", "n", "1", "[S]\nk=old\nn=1\r\n"sv, "[S]\nk=old\n"sv},
    {"the first of duplicates", Edit, "D", "k", "1", "[D]\r\nk=1\r\nk=second\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\n"sv, kDuplicates},
    {"a new key in the first duplicate", Edit, "D", "j", "J", "[D]\r\nk=first\r\nk=second\r\nj=J\r\n[E]\r\nx=1\r\n[D]\r\nk=third\r\n"sv, kDuplicates},
    {"the stored value is no change", Edit, "S", "K", " v ", std::nullopt, "[S]\r\n  k =  v  \r\n"sv},
    {"a quoted value is another value", Edit, "S", "k", "v", "[S]\r\nk=v\r\n"sv, "[S]\r\nk=\"v\"\r\n"sv},
    {"a commented key is no key", Edit, "S", "k", "2", "[S]\r\nk=2\r\n;k=1\r\n"sv, "[S]\r\n;k=1\r\n"sv},
    {"a final Ctrl-Z stays last", Edit, "T", "x", "1", "[S]\r\nk=1\r\n[T]\r\nx=1\r\n\x1A"sv, "[S]\r\nk=1\r\n\x1A"sv},
    {"a last value ending in Ctrl-Z gets a line end", Edit, "S", "k", "v\x1A", "[S]\r\nk=v\x1A\r\n\x1A"sv, "[S]\r\nk=1\x1A"sv},
    {"but not inside the file", Edit, "S", "k", "v\x1A", "[S]\r\nk=v\x1A\r\nj=2"sv, "[S]\r\nk=1\r\nj=2"sv},
    {"a key with trail byte 5C", Edit, "S", "\x83\x5C", "new", "[S]\r\n\x83\x5C=new\r\n"sv, "[S]\r\n\x83\x5C=old\r\n"sv},
    {"invalid bytes are kept", Edit, "S", "k", "\x81", "[S]\r\nbad=\x81\r\n\xFF\xFE junk\r\nk=\x81\r\nnul=\0\r\n"sv, "[S]\r\nbad=\x81\r\n\xFF\xFE junk\r\nk=1\r\nnul=\0\r\n"sv},
    {"a UTF-8 file gets UTF-8", Edit, "S", "k", "\x92\x6C", "\xEF\xBB\xBF[S]\r\nk=\xE5\x80\xA4\r\n"sv, "\xEF\xBB\xBF[S]\r\nk=old\r\n"sv},
    {"and holds the value", Edit, "S", "k", "\x92\x6C", std::nullopt, "\xEF\xBB\xBF[S]\r\nk=\xE5\x80\xA4\r\n"sv},
    {"a new UTF-8 section", Edit, "\x92\x6C", "\x83\x4C\x81\x5B", "\x82\xA0", "\xEF\xBB\xBF[S]\r\nk=1\r\n[\xE5\x80\xA4]\r\n\xE3\x82\xAD\xE3\x83\xBC=\xE3\x81\x82\r\n"sv, "\xEF\xBB\xBF[S]\r\nk=1"sv},
    {"a UTF-8 key found by its code page 932 name", Edit, "\x92\x6C", "\x83\x4C\x81\x5B", "2", "\xEF\xBB\xBF[\xE5\x80\xA4]\r\n\xE3\x82\xAD\xE3\x83\xBC=2\r\n"sv, "\xEF\xBB\xBF[\xE5\x80\xA4]\r\n\xE3\x82\xAD\xE3\x83\xBC=1\r\n"sv},
    {"an empty UTF-8 file", Edit, "S", "k", "v", "\xEF\xBB\xBF[S]\r\nk=v\r\n"sv, kBom},
    {"a bare name is in the Windows folder", Get, "S", "k", "-", "win", kOld, 256, "APP.INI"},
    {"a bare name with trail byte 5C", Get, "S", "k", "-", "win", kOld, 256, SOFT ".ini"},
    {"a full path", Get, "S", "k", "-", "1", kOld},
    {"a relative path keeps its folder", Get, "S", "k", "-", "1", kOld, 256, "data\\app.ini"},
    {"written with a slash too", Get, "S", "k", "-", "1", kOld, 256, "data/app.ini"},
    {"a missing file", Get, "S", "k", "-", "-", std::nullopt},
    {"a missing folder", Get, "S", "k", "-", "-", kOld, 256, "C:\\no\\app.ini"},
    {"a folder is no file", Get, "S", "k", "-", "-", kOld, 256, "C:\\data"},
    {"no name", Get, "S", "k", "-", "-", kOld, 256, ""}, {"an edit", Write, "S", "k", "2", "[S]\r\nk=2\r\n"sv, kOld},
    {"the stored value", Write, "S", "k", "1", kOld, kOld},
    {"a new file", Write, "S", "k", "v", "[S]\r\nk=v\r\n"sv, std::nullopt},
    {"no file in a missing folder", Write, "S", "k", "v", std::nullopt, kOld, 256, "C:\\no\\app.ini"},
    {"nor on a drive the machine lacks", Write, "S", "k", "v", std::nullopt, kOld, 256, "Q:\\app.ini"},
    {"a folder is not written", Write, "S", "k", "v", std::nullopt, kOld, 256, "C:\\data"},
    {"no line break in a value", Write, "S", "k", "a\r\nb", std::nullopt, kOld},
    {"nor in a key", Write, "S", "a\nb", "v", std::nullopt, kOld},
    {"nor in a section", Write, "S\rT", "k", "v", std::nullopt, kOld},
    {"no key that reads as a comment", Write, "S", ";k", "v", std::nullopt, kOld},
    {"nor as a section", Write, "S", "[T]x", "v", std::nullopt, kOld},
    {"no key holding =", Write, "S", "a=b", "v", std::nullopt, kOld},
    {"no section holding ]", Write, "S]T", "k", "v", std::nullopt, kOld},
    {"but one ending in trail byte ]", Write, "\x81\x5D", "k", "v", "[S]\r\nk=1\r\n[\x81\x5D]\r\nk=v\r\n"sv, kOld},
    {"= in a value", Write, "S", "k", "a=b", "[S]\r\nk=a=b\r\n"sv, kOld},
    {"a UTF-8 file", Write, "S", "k", "\x92\x6C", "\xEF\xBB\xBF[S]\r\nk=\xE5\x80\xA4\r\n"sv, "\xEF\xBB\xBF[S]\r\nk=1\r\n"sv},
    {"bytes UTF-8 cannot hold", Write, "S", "k", "\x81", std::nullopt, "\xEF\xBB\xBF[S]\r\nk=1\r\n"sv},
    {"a bare name is written in the Windows folder", Write, "S", "\xC3\xDE", "\xB1", "[S]\r\nk=win\r\n\xC3\xDE=\xB1\r\n"sv, kOld, 256, SOFT ".ini"},
    {"a read-only file is not edited, even by root", Write, "S", "k", "2", std::nullopt, kOld, 256, "C:\\ro\\app.ini"},
    {"nor extended", Write, "S", "n", "1", std::nullopt, kOld, 256, "C:\\ro\\app.ini"},
    {"but holds the stored value", Write, "S", "k", "1", kOld, kOld, 256, "C:\\ro\\app.ini"},
};

std::size_t Count(const fs::path& folder) { return fs::exists(folder) ? std::distance(fs::directory_iterator(folder), {}) : 0; }

void ExpectOnMachine(const Row& row)
{
    test::TestMachine setup;
    const fs::path c = setup.driveC();
    if (row.file)
        test::WriteHostFile(c / "data" / "app.ini", *row.file);
    for (const char* file : {"ro/app.ini", "windows/app.ini", "windows/ソフト.ini"})
        test::WriteHostFile(c / file, file[0] == 'r' ? kOld : "[S]\r\nk=win\r\n"sv);
    fs::permissions(c / "ro" / "app.ini", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::create_directories(c / "data");
    const Machine machine = setup.Load();
    const DiskView disk(machine);
    if (row.op == Get) {
        EXPECT_EQ(GetPrivateProfileString(disk, row.path, row.section, row.key, row.value, row.size), row.expected);
        return;
    }
    const std::string path = (row.path.find(':') == row.path.npos ? "C:\\windows\\" : "") + std::string(row.path);
    // A file on a drive the machine lacks has no folder: C:\ must stay as it was.
    const fs::path folder = machine.ToHost(path).value_or(c / "app.ini").parent_path();
    const auto before = ReadWholeFile(disk, path);
    const std::size_t files = Count(folder);
    test::TestStage staged(machine);
    const bool written = WritePrivateProfileString(staged, row.path, row.section, row.key, row.value);
    EXPECT_TRUE(staged.Commit());
    const auto after = ReadWholeFile(disk, path);
    EXPECT_EQ(written ? after : std::nullopt, row.expected);
    EXPECT_EQ(Count(folder), files + (!before && after));  // and no work file is left
    EXPECT_EQ(written ? before : after, before);
}

TEST(Profile, ReadsAndWritesAsWindowsDoes)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        if (row.op == Read)
            EXPECT_EQ(LookupProfileString(row.file, row.section, row.key, row.value, row.size), row.expected);
        else if (row.op == Edit)
            EXPECT_EQ(EditProfileString(row.file, row.section, row.key, row.value), row.expected);
        else
            ExpectOnMachine(row);
    }
}

}  // namespace
}  // namespace pelmo
