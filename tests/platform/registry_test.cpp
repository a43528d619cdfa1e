// Tests for reading system.reg and querying it as a 32-bit program.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace pelmo {
namespace {

using namespace std::string_literals;

// As Wine writes it, on a 64-bit prefix.
constexpr std::string_view kSample = R"REG(WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win64

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo] 1796596195
#time=1dd85d151655d38
@="default-value"
"BigBinary"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\
  15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,\
  60,61,62,63
"Bin"=hex:00,01,5c,83,ff
"Ctl"="tab\there\r\nnl\1end\ex"
"DisplayName"="\x30c6\x30b9\x30c8 \x30bd\x30d5\x30c8 \"quoted\" 100%"
"Empty"=""
"InstallLocation"=str(2):"%ProgramFiles%\\\x30bd\x30d5\x30c8\\a.exe"
"Multi"=str(7):"one\0\x30bd\x30d5\x30c8\0three\0"
"na\"me=with\\odd[chars]"="x"
"NoModify"=dword:12345678
"Qword"=hex(b):ef,cd,ab,89,67,45,23,01
"ShortEsc"="\x00a7a\xa7z\x03911\x391g"
"UninstallString"="\"C:\\Program Files\\\x30bd\x30d5\x30c8\\uninst.exe\" /x \xff83\xff9e\xff7c\xff9e\xff80\xff72\xff7b\xff9e"
"\x540d\x524d"="sjis-name"

[Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo\\\x30bd\x30d5\x30c8 \[v1\] "q"] 1796596195
"v"="1"

[Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo] 1796596195
"UninstallString"="wow"

[Software\\Wine\\Drives] 1796596187
#time=1dd85d14d13f50a
"a:"="hd"
"d:"="floppy"
"e:"="cdrom"
)REG";

constexpr const char* kFooPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo";
constexpr const char* kFooCp932 = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo";
constexpr const char* kWowFooCp932 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo";
// "ソフト" in code page 932: both ソ and its trail byte 0x5C look like a separator.
#define SOFUTO "\x83\x5c\x83\x74\x83\x67"

std::string Win32Sample()
{
    std::string text(kSample);
    text.replace(text.find("#arch=win64"), 11, "#arch=win32");
    return text;
}

// One key, Software\Test, holding `lines` as they stand.
Registry ParseTestKey(std::string_view lines)
{
    return Registry::Parse("WINE REGISTRY Version 2\n#arch=win32\n\n[Software\\\\Test] 1\n"s + std::string(lines) + "\n");
}

const RegistryValue* FindValue(const Registry& registry, std::string_view key, const std::string& upperName)
{
    const auto* values = registry.FindKey(key);
    if (values == nullptr)
        return nullptr;
    const auto found = values->find(upperName);
    return found == values->end() ? nullptr : &found->second;
}

std::optional<std::string> Query(const Registry& registry, std::string_view subKey, std::string_view name,
                                 std::size_t bufferSize = 4096)
{
    const std::optional<RegistryKey> key = RegistryKey::Open(registry, subKey);
    if (!key)
        return std::nullopt;
    return key->QueryString(name, bufferSize);
}

bool SameValue(const RegistryValue& a, const RegistryValue& b)
{
    return a.type == b.type && a.text == b.text && a.bytes == b.bytes;
}

TEST(RegistryParse, DecodesEscapesInStringData)
{
    struct Case {
        std::string data;
        std::u16string text;
    };
    const Case cases[] = {
        {R"("tab\there")", u"tab\there"},
        {R"("\n\r")", u"\n\r"},
        {R"("\a\b\v\f\e")", u"\a\b\v\f\u001B"},
        {R"("a\0b")", std::u16string(u"a\0b", 3)},
        {R"("\1end")", u"\u0001end"},
        {R"("\36x")", u"\u001Ex"},
        {R"("\0012")", u"\u00012"},
        {R"("\101\1018")", u"AA8"},
        {R"("\x00a7a")", u"\u00A7a"},
        {R"("\xa7z")", u"\u00A7z"},
        {R"("\x03911")", u"\u03911"},
        {R"("\x391g")", u"\u0391g"},
        {R"("\x30c6\x30b9\x30c8")", u"\u30C6\u30B9\u30C8"},
        {R"("\xFF83")", u"\uFF83"},
        {R"("\xd83d\xde00")", u"\U0001F600"},
        {R"("say \"hi\"")", u"say \"hi\""},
        {R"("C:\\dir\\")", u"C:\\dir\\"},
        {R"("\q\[\]")", u"q[]"},
        {R"("\x")", u"x"},
        {R"("\xg")", u"xg"},
        {"\"caf\xc3\xa9\"", u"caf\u00E9"},
        {"\"\xff!\"", u"\uFFFD!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const Registry registry = ParseTestKey("\"v\"=" + c.data);
        const RegistryValue* value = FindValue(registry, "Software\\Test", "V");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type, 1u);
        EXPECT_EQ(value->text, c.text);
    }
}

TEST(RegistryParse, ReadsEveryValueKind)
{
    std::vector<std::uint8_t> bigBinary;
    for (std::uint8_t b = 0; b <= 0x2d; ++b)
        bigBinary.push_back(b);
    bigBinary.insert(bigBinary.end(), {0x60, 0x61, 0x62, 0x63});

    struct Case {
        std::string upperName;
        std::uint32_t type;
        std::u16string text;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {"", 1, u"default-value", {}},
        {"BIGBINARY", 3, u"", bigBinary},
        {"BIN", 3, u"", {0x00, 0x01, 0x5c, 0x83, 0xff}},  // right after the continued lines
        {"EMPTY", 1, u"", {}},
        {"INSTALLLOCATION", 2, u"%ProgramFiles%\\\u30BD\u30D5\u30C8\\a.exe", {}},
        {"MULTI", 7, std::u16string(u"one\0\u30BD\u30D5\u30C8\0three\0", 14), {}},
        {"NA\"ME=WITH\\ODD[CHARS]", 1, u"x", {}},
        {"NOMODIFY", 4, u"", {0x78, 0x56, 0x34, 0x12}},
        {"QWORD", 11, u"", {0xef, 0xcd, 0xab, 0x89, 0x67, 0x45, 0x23, 0x01}},
        {"\xe5\x90\x8d\xe5\x89\x8d", 1, u"sjis-name", {}},  // 名前
    };
    const Registry registry = Registry::Parse(kSample);
    EXPECT_TRUE(registry.Is64Bit());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.upperName);
        const RegistryValue* value = FindValue(registry, kFooPath, c.upperName);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->text, c.text);
        EXPECT_EQ(value->bytes, c.bytes);
    }
}

TEST(RegistryParse, StringTypesWrittenAsHexBecomeText)
{
    struct Case {
        std::string data;
        std::uint32_t type;
        std::u16string text;
    };
    const Case cases[] = {
        {"hex(2):25,00,41,00,25,00,00,00", 2, u"%A%"},
        {"hex(1):bd,30,d5,30,\\\n  c8,30,00,00", 1, u"\u30BD\u30D5\u30C8"},
        {"hex(7):61,00,00,00,62,00,00,00,00,00", 7, std::u16string(u"a\0b\0", 4)},
        {"hex(1):", 1, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        const Registry registry = ParseTestKey("\"v\"=" + c.data);
        const RegistryValue* value = FindValue(registry, "Software\\Test", "V");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type, c.type);
        EXPECT_EQ(value->text, c.text);
        EXPECT_TRUE(value->bytes.empty());
    }
}

TEST(RegistryParse, SkipsMalformedValueLines)
{
    const std::string badLines[] = {
        R"("bad"="unterminated)",
        R"("bad"="x" trailing)",
        R"("bad"="x\)",
        R"("bad"=dword:1234567)",
        R"("bad"=dword:123456789)",
        R"("bad"=dword:1234567g)",
        R"("bad"=dword:)",
        R"("bad"=hex:0g,01)",
        R"("bad"=hex:001)",
        R"("bad"=hex:0,1)",
        R"("bad"=hex:00,,01)",
        R"("bad"=hex:00,)",
        R"("bad"=hex:00,\)",  // the next line is no continuation and stays a value
        R"("bad"=hex(zz):00)",
        R"("bad"=hex(123456789):00)",
        R"~("bad"=str(2)"x")~",
        R"("bad"=str():"x")",
        R"("bad"=unknown:1)",
        R"("bad")",
        R"("bad" = "x")",
        R"("bad=1)",
        "garbage line",
    };
    for (const std::string& bad : badLines) {
        SCOPED_TRACE(bad);
        const Registry registry = ParseTestKey("\"before\"=\"b\"\n" + bad + "\n\"after\"=\"a\"");
        EXPECT_EQ(FindValue(registry, "Software\\Test", "BAD"), nullptr);
        EXPECT_EQ(Query(registry, "Software\\Test", "before"), "b");
        EXPECT_EQ(Query(registry, "Software\\Test", "after"), "a");
    }
}

TEST(RegistryParse, ValuesAfterAMalformedKeyLineBelongToNoKey)
{
    const std::string badHeaders[] = {
        R"([Software\\Unclosed)",
        R"([Software\\Escaped\])",
        R"([] 1)",
        R"([\\\\] 1)",
    };
    for (const std::string& bad : badHeaders) {
        SCOPED_TRACE(bad);
        const Registry registry = ParseTestKey("\"p\"=\"1\"\n" + bad + "\n\"v\"=\"2\"\n[Software\\\\Good] 1\n\"g\"=\"3\"");
        EXPECT_EQ(Query(registry, "Software\\Test", "p"), "1");
        EXPECT_EQ(Query(registry, "Software\\Test", "v"), std::nullopt);
        EXPECT_EQ(Query(registry, "Software\\Good", "g"), "3");
    }
}

TEST(RegistryParse, ArchLineDecidesTheView)
{
    struct Case {
        std::string text;
        bool is64Bit;
    };
    const Case cases[] = {
        {std::string(kSample), true},
        {Win32Sample(), false},
        {"WINE REGISTRY Version 2\n", false},
        {"WINE REGISTRY Version 2\n#arch=arm\n", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Registry::Parse(c.text).Is64Bit(), c.is64Bit) << c.text.substr(0, 60);
}

TEST(RegistryParse, FindKeyTakesUtf8PathsInAnyCase)
{
    struct Case {
        std::string path;
        std::string upperName;
        std::optional<std::u16string> text;  // nothing: the key must be absent
    };
    const Case cases[] = {
        {"Software\\Wine\\Drives", "A:", u"hd"},
        {"Software\\Wine\\Drives", "D:", u"floppy"},
        {"software\\wine\\DRIVES", "E:", u"cdrom"},
        {"Software\\Wine\\Drive", "", std::nullopt},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo\\\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88 [v1] \"q\"",
         "V", u"1"},
    };
    const Registry registry = Registry::Parse(kSample);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        if (!c.text) {
            EXPECT_EQ(registry.FindKey(c.path), nullptr);
            continue;
        }
        const RegistryValue* value = FindValue(registry, c.path, c.upperName);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->text, *c.text);
    }
    // A key above a written key exists, with no values of its own.
    const auto* wine = registry.FindKey("Software\\Wine");
    ASSERT_NE(wine, nullptr);
    EXPECT_TRUE(wine->empty());
}

TEST(RegistryKeyQuery, ReturnsStringsInCodePage932)
{
    struct Case {
        std::string name;
        std::optional<std::string> cp932;
    };
    const Case cases[] = {
        {"DisplayName", "\x83\x65\x83\x58\x83\x67 " SOFUTO " \"quoted\" 100%"},  // テスト ソフト
        {"UninstallString", "\"C:\\Program Files\\" SOFUTO "\\uninst.exe\" /x \xc3\xde\xbc\xde\xc0\xb2\xbb\xde"},
        {"InstallLocation", "%ProgramFiles%\\" SOFUTO "\\a.exe"},
        {"ShortEsc", "\x81\x98" "a" "\x81\x98" "z" "\x83\x9f" "1" "\x83\x9f" "g"},  // § and Α
        {"Ctl", "tab\there\r\nnl\x01" "end\x1b" "x"},
        {"", "default-value"},
        {"\x96\xbc\x91\x4f", "sjis-name"},  // 名前
        {"na\"me=with\\odd[chars]", "x"},
        {"Empty", ""},
        {"Multi", std::nullopt},
        {"NoModify", std::nullopt},
        {"Bin", std::nullopt},
        {"BigBinary", std::nullopt},
        {"Qword", std::nullopt},
        {"Missing", std::nullopt},
        {"\x81", std::nullopt},  // a lone lead byte names nothing
    };
    const Registry registry = Registry::Parse(Win32Sample());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Query(registry, kFooCp932, c.name), c.cp932);
    }
}

TEST(RegistryKeyQuery, UnconvertibleCharactersBecomeQuestionMarks)
{
    struct Case {
        std::string data;
        std::string cp932;
    };
    const Case cases[] = {
        {R"("caf\xe9")", "caf?"},
        {R"("\xd83d\xde00!")", "?!"},  // a surrogate pair is one character
        {R"("\xd83d!")", "?!"},
        {R"("a\xd83d")", "a?"},
        {R"("\xde00")", "?"},
        {R"("\xac00\x30bd")", "?\x83\x5c"},
        {R"("\xff5e\xff0d")", "\x81\x60\x81\x7c"},  // full-width tilde and minus as code page 932 has them
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data);
        EXPECT_EQ(Query(ParseTestKey("\"v\"=" + c.data), "Software\\Test", "v"), c.cp932);
    }
}

TEST(RegistryKeyQuery, TextAndTerminatorMustFitTheBuffer)
{
    struct Case {
        std::string name;
        std::string cp932;
    };
    const Case cases[] = {
        {"Empty", ""},
        {"DisplayName", "\x83\x65\x83\x58\x83\x67 " SOFUTO " \"quoted\" 100%"},
        // Half-width katakana are one byte each, the rest of the Japanese two.
        {"UninstallString", "\"C:\\Program Files\\" SOFUTO "\\uninst.exe\" /x \xc3\xde\xbc\xde\xc0\xb2\xbb\xde"},
    };
    const Registry registry = Registry::Parse(Win32Sample());
    const std::optional<RegistryKey> key = RegistryKey::Open(registry, kFooCp932);
    ASSERT_TRUE(key.has_value());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(key->QueryString(c.name, c.cp932.size() + 1), c.cp932);
        EXPECT_EQ(key->QueryString(c.name, c.cp932.size() + 100), c.cp932);
        EXPECT_EQ(key->QueryString(c.name, c.cp932.size()), std::nullopt);
    }
}

TEST(RegistryKeyQuery, EmbeddedNulEndsTheTextButTheWholeDataMustFit)
{
    struct Case {
        std::size_t bufferSize;
        std::optional<std::string> cp932;
    };
    const Case cases[] = {
        {6, "ab"},
        {5, std::nullopt},
        {3, std::nullopt},
    };
    const Registry registry = ParseTestKey(R"("v"="ab\0cd")");
    for (const Case& c : cases)
        EXPECT_EQ(Query(registry, "Software\\Test", "v", c.bufferSize), c.cp932) << c.bufferSize;
}

TEST(RegistryKeyOpen, Sees64BitSoftwareThroughWow6432Node)
{
    struct Case {
        bool win64;
        std::string subKey;
        std::string name;
        std::optional<std::string> cp932;
    };
    const std::string plain = "\"C:\\Program Files\\" SOFUTO "\\uninst.exe\" /x \xc3\xde\xbc\xde\xc0\xb2\xbb\xde";
    const Case cases[] = {
        {true, kFooCp932, "UninstallString", "wow"},
        {true, kFooCp932, "DisplayName", std::nullopt},  // the redirected key is opened, not merged
        {true, "software\\microsoft\\windows\\currentversion\\uninstall\\foo", "UninstallString", "wow"},
        {true, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo\\", "UninstallString", "wow"},
        {true, kWowFooCp932, "UninstallString", "wow"},
        {true, "SOFTWARE\\Wine\\Drives", "e:", "cdrom"},  // no 32-bit copy: the plain key
        {true, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo\\" SOFUTO " [v1] \"q\"", "v", "1"},
        {false, kFooCp932, "UninstallString", plain},
        {false, kFooCp932, "DisplayName", "\x83\x65\x83\x58\x83\x67 " SOFUTO " \"quoted\" 100%"},
        {false, kWowFooCp932, "UninstallString", "wow"},
        {false, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo\\" SOFUTO " [v1] \"q\"", "v", "1"},
    };
    const Registry win64 = Registry::Parse(kSample);
    const Registry win32 = Registry::Parse(Win32Sample());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subKey + (c.win64 ? " (win64) " : " (win32) ") + c.name);
        EXPECT_EQ(Query(c.win64 ? win64 : win32, c.subKey, c.name), c.cp932);
    }
}

TEST(RegistryKeyOpen, OpensOnlyKeysThatExist)
{
    struct Case {
        std::string subKey;
        bool opens;
    };
    const Case cases[] = {
        {kFooCp932, true},
        {"SOFTWARE\\Microsoft", true},  // above a written key
        {"SOFTWARE", true},
        {"", true},  // HKEY_LOCAL_MACHINE itself
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Fo", false},
        {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo\\" SOFUTO, false},
        {"SOFTWARE\\Nope", false},
        {"System\\Wine\\Drives", false},
        {"SOFTWARE\\Wine\\\x81", false},  // cut double-byte character
    };
    const Registry registry = Registry::Parse(kSample);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subKey);
        const std::optional<RegistryKey> key = RegistryKey::Open(registry, c.subKey);
        EXPECT_EQ(key.has_value(), c.opens);
        if (key && c.subKey != kFooCp932) {
            EXPECT_EQ(key->QueryString("UninstallString", 4096), std::nullopt);
        }
    }
}

TEST(RegistryKeyOpen, MatchesKeyAndValueNamesIgnoringCase)
{
    // Software\Mixed\ＡｂαБ holding "Nameａ".
    const Registry registry = Registry::Parse(R"(WINE REGISTRY Version 2
#arch=win32
[Software\\Mixed\\\xff21\xff42\x03b1\x0411] 1
"Name\xff41"="found"
)");
    struct Case {
        std::string subKey;
        std::string name;
        std::optional<std::string> cp932;
    };
    const Case cases[] = {
        {"Software\\Mixed\\\x82\x60\x82\x82\x83\xbf\x84\x41", "Name\x82\x81", "found"},
        {"SOFTWARE\\MIXED\\\x82\x60\x82\x61\x83\x9f\x84\x41", "NAME\x82\x60", "found"},
        {"software\\mixed\\\x82\x81\x82\x82\x83\xbf\x84\x71", "name\x82\x81", "found"},
        {"Software\\Mixed\\AB\x83\xbf\x84\x41", "Name\x82\x81", std::nullopt},     // half-width is another letter
        {"Software\\Mixed\\\x82\x60\x82\x83\x83\xbf\x84\x41", "Name\x82\x81", std::nullopt},  // ｃ is not ｂ
        {"Software\\Mixed\\\x82\x60\x82\x82\x83\xbf\x84\x41", "Namea", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.subKey + " " + c.name);
        EXPECT_EQ(Query(registry, c.subKey, c.name), c.cp932);
    }
}

TEST(RegistryLoad, CutFileKeepsOnlyCompleteValues)
{
    const Registry full = Registry::Parse(kSample);
    const std::string keys[] = {
        kFooPath,
        std::string(kFooPath) + "\\\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88 [v1] \"q\"",
        "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Foo",
        "Software\\Wine\\Drives",
    };
    for (std::size_t length = 0; length <= kSample.size(); ++length) {
        const Registry cut = Registry::Parse(kSample.substr(0, length));
        for (const std::string& key : keys) {
            const auto* values = cut.FindKey(key);
            if (values == nullptr)
                continue;
            for (const auto& [name, value] : *values) {
                const RegistryValue* whole = FindValue(full, key, name);
                ASSERT_NE(whole, nullptr) << "cut at " << length << ": " << name;
                EXPECT_TRUE(SameValue(value, *whole)) << "cut at " << length << ": " << name;
            }
        }
    }
}

TEST(RegistryLoad, CutFileKeepsWhatWasRead)
{
    struct Case {
        std::string cutAfter;  // the file ends right after the first occurrence of this
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {R"("DisplayName"="\x30c6\x30b9)", {"", "BIGBINARY", "BIN", "CTL"}, {"DISPLAYNAME", "EMPTY"}},
        {"28,29,2a,2b,", {""}, {"BIGBINARY", "BIN"}},
        {"60,61,62,63", {""}, {"BIGBINARY"}},  // hex data without its newline may be cut
        {"60,61,62,63\n", {"", "BIGBINARY"}, {"BIN"}},
        {"\"Bin\"=hex:00,01,5c,8", {"BIGBINARY"}, {"BIN"}},
        {R"("Ctl"="tab\there\r\nnl\1end\ex")", {"BIN", "CTL"}, {"DISPLAYNAME"}},
        {"\"NoModify\"=dword:1234", {"NA\"ME=WITH\\ODD[CHARS]"}, {"NOMODIFY", "QWORD"}},
        {"\"NoModify\"=dword:12345678", {"NOMODIFY"}, {"QWORD"}},
        {"[Software\\\\Wow6432Node\\\\Micro", {"\xe5\x90\x8d\xe5\x89\x8d", "UNINSTALLSTRING"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cutAfter);
        const std::size_t at = kSample.find(c.cutAfter);
        ASSERT_NE(at, std::string_view::npos);
        const Registry cut = Registry::Parse(kSample.substr(0, at + c.cutAfter.size()));
        for (const std::string& name : c.present)
            EXPECT_NE(FindValue(cut, kFooPath, name), nullptr) << name;
        for (const std::string& name : c.absent)
            EXPECT_EQ(FindValue(cut, kFooPath, name), nullptr) << name;
    }
}

TEST(RegistryLoad, ReadsFilesAndTreatsMissingOnesAsEmpty)
{
    const std::filesystem::path folder = std::filesystem::path(testing::TempDir()) / "pelmo_registry_load";
    std::filesystem::create_directories(folder);
    const std::filesystem::path written = folder / "system.reg";
    std::ofstream(written, std::ios::binary) << kSample;

    struct Case {
        std::filesystem::path file;
        bool hasDrives;
    };
    const Case cases[] = {
        {written, true},
        {folder / "missing.reg", false},
        {folder, false},  // a folder is no file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        const Registry registry = Registry::Load(c.file);
        EXPECT_EQ(registry.Is64Bit(), c.hasDrives);
        EXPECT_EQ(registry.FindKey("Software\\Wine\\Drives") != nullptr, c.hasDrives);
        EXPECT_EQ(RegistryKey::Open(registry, "SOFTWARE\\Wine").has_value(), c.hasDrives);
    }
    std::filesystem::remove_all(folder);
}

TEST(RegistryFuzz, RandomBytesNeverBreakTheReader)
{
    // Mostly the characters the format is made of, so parsing gets deep.
    const std::string alphabet = "[]\\\"@=:,()x0123456789abcdefhstrwod \n\r\t#;\x83\x5c\xff\x00"s;
    std::mt19937 random(932);
    for (int round = 0; round < 3000; ++round) {
        std::string text = round % 2 == 0 ? "WINE REGISTRY Version 2\n[Software\\\\K] 1\n" : "";
        const std::size_t length = random() % 200;
        for (std::size_t i = 0; i < length; ++i)
            text += round % 3 == 0 ? static_cast<char>(random() & 0xFF) : alphabet[random() % alphabet.size()];
        const Registry registry = Registry::Parse(text);
        for (const char* subKey : {"Software\\K", "SOFTWARE", ""}) {
            const std::optional<RegistryKey> key = RegistryKey::Open(registry, subKey);
            if (!key)
                continue;
            for (const char* name : {"", "a", "x", "\x83\x5c"}) {
                const std::optional<std::string> text8 = key->QueryString(name, 8);
                if (text8) {
                    EXPECT_LT(text8->size(), 8u);
                }
            }
        }
    }
}

TEST(RegistryFuzz, DamageStaysInsideItsLines)
{
    const Registry intact = Registry::Parse(kSample);
    const std::size_t header = kSample.find("[Software\\\\Wine\\\\Drives]");
    ASSERT_NE(header, std::string_view::npos);
    std::mt19937 random(1796596195);
    for (int round = 0; round < 1000; ++round) {
        std::string text(kSample);
        for (int flips = 1 + static_cast<int>(random() % 8); flips > 0; --flips)
            text[random() % (header - 1)] = static_cast<char>(random() & 0xFF);  // keeps the newline before the header
        const Registry damaged = Registry::Parse(text);
        for (const char* name : {"A:", "D:", "E:"}) {
            const RegistryValue* value = FindValue(damaged, "Software\\Wine\\Drives", name);
            ASSERT_NE(value, nullptr) << "round " << round;
            EXPECT_TRUE(SameValue(*value, *FindValue(intact, "Software\\Wine\\Drives", name)));
        }
    }
}

}  // namespace
}  // namespace pelmo
