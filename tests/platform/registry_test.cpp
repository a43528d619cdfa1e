// system.reg as Wine writes it, and HKLM as a 32-bit program opens and queries it.
#include <gtest/gtest.h>

#include "platform/registry.h"
#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

// A 64-bit prefix; "#arch=win32" for a 32-bit one.
constexpr std::string_view kSample = R"REG(WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win64

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo] 1796596195
#time=1dd85d151655d38
@="default-value"
"DisplayName"="\x30c6\x30b9\x30c8 \x30bd\x30d5\x30c8 100%"
"Empty"=""
"InstallLocation"=str(2):"%ProgramFiles%\\\x30bd\\a.exe"
"Multi"=str(7):"one\0two\0"
"NoModify"=dword:12345678
"Bin"=hex:00,01
"UninstallString"="\"C:\\\x30bd\\un.exe\" /x \xff83\xff9e"
"\x540d\x524d"="sjis-name"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo\\\x30bd\x30d5\x30c8 \[v1\] "q"] 1796596195
"v"="1"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo] 1796596195
"UninstallString"="wow"

[Software\\Wine\\Drives] 1796596187
"e:"="cdrom"

[Software\\Mixed\\\xff21\xff42\x03b1\x0411] 1
"Name\xff41"="found"
)REG";

#define FOO "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo"
#define SOFUTO "\x83\x5c\x83\x74\x83\x67"  // ソフト: ソ ends in '\'
#define TEST_KEY "Software\\Test"
#define UNINSTALL "\"C:\\\x83\x5c\\un.exe\" /x \xc3\xde"

// `lines` stand in [Software\\Test], or are "32" or "64" for the sample. Without a key, the
// key's values as NAME=type:text|bytes; else what opening and querying it gives.
struct Row {
    const char* name;
    std::string lines, expected;
    const char* key = nullptr;
    std::string value = "";
    std::size_t size = 4096;
};

const Row kRows[] = {
    {"C escapes", R"("v"="tab\there\n\r\a\b\v\f\e")", "V=1:tab<9>here<a><d><7><8><b><c><1b>|"},
    {"\\0 and octal", R"("v"="a\0b\1\36x\0012\101\1018\7")", "V=1:a<0>b<1><1e>x<1>2AA8<7>|"},
    {"\\x takes up to four digits", R"("v"="\x00a7a\xa7z\x03911\x391g\x30c6")", "V=1:<a7>a<a7>z<391>1<391>g<30c6>|"},
    {"a surrogate pair", R"("v"="\xd83d\xde00")", "V=1:<d83d><de00>|"},
    {"escaped quotes, backslashes, brackets", R"("v"="say \"hi\" C:\\d\\ \q\[\]")", "V=1:say \"hi\" C:\\d\\ q[]|"},
    {"\\x without digits is x", R"("v"="\x\xg")", "V=1:xxg|"},
    {"UTF-8 in the file", "\"v\"=\"caf\xc3\xa9\"", "V=1:caf<e9>|"},
    {"invalid UTF-8", "\"v\"=\"\xff!\xf5\x80\"", "V=1:<fffd>!<fffd><fffd>|"},
    {"the default value and an empty one", "@=\"d\"\n\"e\"=\"\"", "=1:d|; E=1:|"},
    {"an odd value name", R"("na\"me=with\\odd[chars]"="x")", "NA\"ME=WITH\\ODD[CHARS]=1:x|"},
    {"expandable and multi-strings", "\"e\"=str(2):\"%A%\"\n\"m\"=str(7):\"a\\0b\\0\"", "E=2:%A%|; M=7:a<0>b<0>|"},
    {"a dword", "\"d\"=dword:0012abcF", "D=4:|cf,ab,12,00"},
    {"hex over continued lines", "\"h\"=hex:00,01,\\\n  5c,83,\\\n  ff\n\"n\"=\"next\"", "H=3:|00,01,5c,83,ff; N=1:next|"},
    {"hex(N) keeps N", "\"q\"=hex(b):ef,cd\n\"z\"=hex(123):\n", "Q=11:|ef,cd; Z=291:|"},
    {"string types in hex are text", "\"s\"=hex(2):25,00,41,00,00,00\n\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\n", "M=7:a<0>b<0>|; S=2:%A|"},
    {"and go over lines too", "\"s\"=hex(1):bd,30,\\\n  c8,30,00,00\n", "S=1:<30bd><30c8>|"},
    {"an unterminated string is skipped", "\"b\"=\"x\n\"b\"=\"x\\\n\"a\"=\"a\"", "A=1:a|"},
    {"so is text after a string", "\"b\"=\"x\" trailing\n\"a\"=\"a\"", "A=1:a|"},
    {"a dword not of eight hex digits", "\"b\"=dword:1234567\n\"b\"=dword:123456789\n\"b\"=dword:1234567g", ""},
    {"hex items not of two hex digits", "\"b\"=hex:0g,01\n\"b\"=hex:001\n\"b\"=hex:0,1\n\"b\"=hex:00,,01\n\"b\"=hex:00,\n", ""},
    {"a value line is no hex continuation", "\"b\"=hex:00,\\\n\"a\"=\"a\"", "A=1:a|"},
    {"hex types that are no number", "\"b\"=hex(zz):00\n\"b\"=hex(123456789):00\n\"b\"=str():\"x\"\n\"b\"=str(2)\"x\"\n", ""},
    {"no data", "\"b\"=unknown:1\n\"b\"\n\"b\" = \"x\"\n\"b=1\ngarbage", ""},
    {"hex cut without its newline", "\"a\"=\"a\"\n\"b\"=hex:60,61", "A=1:a|"},
    {"values after an unclosed key line", "\"p\"=\"1\"\n[Software\\\\Unclosed\n\"b\"=\"x\"", "P=1:1|"},
    {"after a key line ending in \\]", "\"p\"=\"1\"\n[Software\\\\Escaped\\]\n\"b\"=\"x\"", "P=1:1|"},
    {"after an empty key line", "\"p\"=\"1\"\n[] 1\n\"b\"=\"x\"", "P=1:1|"},
    {"after a key line of separators", "\"p\"=\"1\"\n[\\\\\\\\] 1\n\"b\"=\"x\"", "P=1:1|"},
    {"a NUL ends the text", R"("v"="ab\0cd")", "ab", TEST_KEY, "v", 6},
    {"but the whole data must fit", R"("v"="ab\0cd")", "(none)", TEST_KEY, "v", 5},
    {"a string in code page 932", "32", "\x83\x65\x83\x58\x83\x67 " SOFUTO " 100%", FOO, "DisplayName"},
    {"an expandable string", "32", "%ProgramFiles%\\\x83\x5c\\a.exe", FOO, "InstallLocation"},
    {"the default value", "32", "default-value", FOO}, {"an empty string", "32", "", FOO, "Empty"},
    {"a Japanese value name", "32", "sjis-name", FOO, "\x96\xbc\x91\x4f"},
    {"no multi-string", "32", "(none)", FOO, "Multi"}, {"no dword", "32", "(none)", FOO, "NoModify"},
    {"no binary", "32", "(none)", FOO, "Bin"}, {"a missing value", "32", "(none)", FOO, "Missing"},
    {"a lone lead byte names nothing", "32", "(none)", FOO, "\x81"},
    {"text and terminator just fit", "32", UNINSTALL, FOO, "UninstallString", 21},
    {"one byte too long", "32", "(none)", FOO, "UninstallString", 20},
    {"no room for a terminator", "32", "(none)", FOO, "Empty", 0},
    {"Wow6432Node named outright", "32", "wow", "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo", "UninstallString"},
    {"a key name with escapes", "32", "1", FOO "\\" SOFUTO " [v1] \"q\"", "v"},
    {"a 64-bit prefix reads Wow6432Node", "64", "wow", FOO, "UninstallString"},
    {"and only it", "64", "(none)", FOO, "DisplayName"},
    {"in any letter case", "64", "wow", "software\\microsoft\\windows\\currentversion\\uninstall\\foo", "UninstallString"},
    {"with outer backslashes", "64", "wow", "\\" FOO "\\", "UninstallString"},
    {"the plain key without a 32-bit copy", "64", "cdrom", "SOFTWARE\\Wine\\Drives", "E:"},
    {"a plain subkey", "64", "1", FOO "\\" SOFUTO " [v1] \"q\"", "v"},
    {"a key above a written key", "32", "(none)", "SOFTWARE\\Microsoft", "UninstallString"},
    {"HKEY_LOCAL_MACHINE itself", "64", "(none)", "", "UninstallString"},
    {"a cut key name", "32", "(no key)", FOO "\\Fo", "v"}, {"a missing key", "32", "(no key)", "SOFTWARE\\Nope", "v"},
    {"a subkey's first part", "32", "(no key)", FOO "\\" SOFUTO, "v"},
    {"only HKLM\\Software", "32", "(no key)", "System\\Wine\\Drives", "e:"},
    {"a cut double-byte character", "32", "(no key)", "SOFTWARE\\Wine\\\x81", "v"},
    {"full-width, Greek and Cyrillic letters fold", "32", "found", "Software\\Mixed\\\x82\x60\x82\x82\x83\xbf\x84\x41", "Name\x82\x81"},
    {"to capitals", "32", "found", "SOFTWARE\\MIXED\\\x82\x60\x82\x61\x83\x9f\x84\x41", "NAME\x82\x60"},
    {"from small letters", "32", "found", "software\\mixed\\\x82\x81\x82\x82\x83\xbf\x84\x71", "name\x82\x81"},
    {"half-width is another letter", "32", "(no key)", "Software\\Mixed\\AB\x83\xbf\x84\x41", "Name\x82\x81"},
    {"ｃ is not ｂ", "32", "(no key)", "Software\\Mixed\\\x82\x60\x82\x83\x83\xbf\x84\x41", "Name\x82\x81"},
    {"a full-width value name is no ASCII one", "32", "(none)", "Software\\Mixed\\\x82\x60\x82\x82\x83\xbf\x84\x41", "Namea"},
};

std::string Describe(const std::map<std::string, RegistryValue>* values)
{
    std::string out;
    char unit[16];
    for (const auto& [name, value] : values ? *values : std::map<std::string, RegistryValue>()) {
        out += (out.empty() ? "" : "; ") + name + "=" + std::to_string(value.type) + ":";
        for (char16_t c : value.text) {
            std::snprintf(unit, sizeof unit, "<%x>", static_cast<unsigned>(c));
            out += c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : unit;
        }
        out += "|";
        for (std::size_t i = 0; i < value.bytes.size(); ++i) {
            std::snprintf(unit, sizeof unit, "%s%02x", i ? "," : "", value.bytes[i]);
            out += unit;
        }
    }
    return out;
}

TEST(Registry, ReadsAndAnswersAsWindowsDoes)
{
    std::string win32(kSample);
    win32.replace(win32.find("win64"), 5, "win32");
    const Registry samples[] = {Registry::Parse(win32), Registry::Parse(kSample)};
    EXPECT_FALSE(samples[0].Is64Bit());
    EXPECT_TRUE(samples[1].Is64Bit());
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        const Registry parsed = Registry::Parse("WINE REGISTRY Version 2\n[Software\\\\Test] 1\n" + row.lines);
        const Registry& registry = row.lines == "32" ? samples[0] : row.lines == "64" ? samples[1] : parsed;
        if (!row.key) {
            EXPECT_EQ(Describe(registry.FindKey(TEST_KEY)), row.expected);
            continue;
        }
        const auto key = RegistryKey::Open(registry, row.key);
        EXPECT_EQ(key ? key->QueryString(row.value, row.size).value_or("(none)") : "(no key)", row.expected);
    }
}

TEST(Registry, AMissingOrUnreadableFileIsEmpty)
{
    test::TempDir folder;
    test::WriteHostFile(folder.path() / "system.reg", kSample);
    EXPECT_TRUE(RegistryKey::Open(Registry::Load(folder.path() / "system.reg"), "SOFTWARE\\Wine"));
    for (const auto& file : {folder.path() / "missing.reg", folder.path()})
        EXPECT_FALSE(RegistryKey::Open(Registry::Load(file), "SOFTWARE\\Wine"));
    EXPECT_FALSE(Registry::Parse("WINE REGISTRY Version 2\n#arch=arm\n").Is64Bit());
}

}  // namespace
}  // namespace pelmo
