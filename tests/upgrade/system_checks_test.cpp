// The checks of the installed folder, the system kind and the Uninstall entry's folder.
#include "upgrade/system_checks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/registry.h"
#include "tests/support/test_machine.h"
#include "upgrade/uninstall_entry.h"

namespace pelmo::test {
namespace {

// Drives C:, D: and E:; files placed by Windows path ('\' at the end: a folder).
struct Drives {
    explicit Drives(const std::vector<std::string>& paths)
    {
        folder.AddDrive('D');
        folder.AddDrive('E');
        for (const std::string& path : paths)
            Place(path, "");
    }
    void Place(const std::string& path, const std::string& bytes)
    {
        if (path.back() == '\\')
            std::filesystem::create_directories(folder.Host(path));
        else
            WriteHostFile(folder.Host(path), bytes);
    }
    Machine Load() const
    {
        Machine machine = folder.Load();
        machine.ChDir("C:\\");
        return machine;
    }
    TestMachine folder;
};

struct FolderRow {
    const char* title;
    std::vector<std::string> files;
    std::string folder;
    std::string name;
    int expected;
    std::string folderAfter;
};

template <typename Check>
void ExpectFolders(const std::vector<FolderRow>& rows, Check check)
{
    for (const FolderRow& row : rows) {
        SCOPED_TRACE(row.title);
        const Drives drives(row.files);
        const Machine machine = drives.Load();
        std::string folder = row.folder;
        EXPECT_EQ(check(DiskView(machine), folder, row.name), row.expected);
        EXPECT_EQ(folder, row.folderAfter);
    }
}

TEST(SystemChecks, TheSettingsFileDecidesTheFolderForm)
{
    ExpectFolders({
        {"a backslash is added", {"D:\\SYS\\korimu1.ini"}, "D:\\SYS", "KORIMU1.INI", 1, "D:\\SYS\\"},
        {"a backslash stays", {"D:\\SYS\\korimu1.ini"}, "D:\\SYS\\", "korimu1.ini", 1, "D:\\SYS\\"},
        {"a bare letter is the root", {"E:\\korimu1.ini"}, "E", "korimu1.ini", 1, "E:\\"},
        {"the plain join comes first", {"D:\\SYSkorimu1.ini", "D:\\SYS\\korimu1.ini"}, "D:\\SYS", "korimu1.ini", 1, "D:\\SYS"},
        {"a folder E in the current folder wins", {"C:\\E\\korimu1.ini", "E:\\korimu1.ini"}, "E", "korimu1.ini", 1, "E\\"},
        {"missing: the folder is restored", {"D:\\SYS\\"}, "D:\\SYS", "korimu1.ini", 0, "D:\\SYS"},
        {"empty drive: the letter is restored", {}, "E", "korimu1.ini", 0, "E"},
        {"an empty folder does not exist", {"C:\\korimu1.ini"}, "", "korimu1.ini", 0, ""},
    }, CheckInstalledFolder);
    ExpectFolders({
        {"missing file keeps the backslash", {"D:\\SYS\\"}, "D:\\SYS", "korimu1.ini", 0, "D:\\SYS\\"},
        {"missing folder unchanged", {}, "D:\\SYS", "korimu1.ini", 0, "D:\\SYS"},
    }, LocateFileInFolder);
    ExpectFolders({
        {"korimu: ko1menu and formatter", {"D:\\S\\ko1menu.ini", "D:\\S\\formater.exe"}, "D:\\S\\", "KoRiMu1.InI", 1, "D:\\S\\"},
        {"korimu: ko2menu, no formatter", {"D:\\S\\ko2menu.ini"}, "D:\\S\\", "korimu1.ini", 0, "D:\\S\\\\"},
        {"korimu: formatter, no menu", {"D:\\S\\formater.exe"}, "D:\\S\\", "korimu1.ini", 0, "D:\\S\\\\"},
        {"tivonel: no menu needed", {"D:\\S\\formater.exe"}, "D:\\S", "tivonel1.ini", 1, "D:\\S\\"},
        {"tivonel: the formatter is", {"D:\\S\\ko2menu.ini"}, "D:\\S\\", "tivonel1.ini", 0, "D:\\S\\\\"},
        {"full-width letters name no korimu", {"D:\\S\\formater.exe"}, "D:\\S\\", Sjis("ｋｏｒｉｍｕ1.ini"), 1, "D:\\S\\"},
        {"plain join first", {"D:\\Sformater.exe", "D:\\S\\"}, "D:\\S", "tivonel1.ini", 1, "D:\\S"},
        {"folder missing", {}, "D:\\NONE\\", "korimu1.ini", 0, "D:\\NONE\\"},
    }, CheckSystemFiles);
}

TEST(SystemChecks, TheVersionComesFromKorimuIniWhateverTheSettingsFile)
{
    struct Row {
        const char* title;
        std::string korimuIni;  // empty: none
        std::string required;
        int expected;
    };
    const std::string zeros31(31, '0');
    const Row rows[] = {
        {"equal", "[SYSTEM]\r\nVERSION=3\r\n", "3", 1},
        {"different", "[SYSTEM]\r\nVERSION=3\r\n", "2", 0},
        {"no korimu1.ini counts as 2", "", "2", 1},
        {"no VERSION counts as 2, not 9999", "[SYSTEM]\r\nTITLE=x\r\n", "9999", 0},
        {"9999 counts as 2", "[SYSTEM]\r\nVERSION=9999\r\n", "2", 1},
        {"numbers read as atoi reads them", "[SYSTEM]\r\nVERSION=+4.1\r\n", "  4x", 1},
        {"31 bytes are read", "[SYSTEM]\r\nVERSION=" + zeros31.substr(1) + "7\r\n", "7", 1},
        {"the 32nd is not", "[SYSTEM]\r\nVERSION=" + zeros31 + "7\r\n", "0", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        Drives drives({"D:\\SYS\\"});
        drives.Place("D:\\SYS\\tivonel1.ini", "[SYSTEM]\r\nVERSION=5\r\n");
        if (!row.korimuIni.empty())
            drives.Place("D:\\SYS\\korimu1.ini", row.korimuIni);
        const Machine machine = drives.Load();
        EXPECT_EQ(CheckSystemVersion(DiskView(machine), "D:\\SYS\\", row.required), row.expected);
    }
}

TEST(SystemChecks, TheKindComesFromMakerOrTheFirstKeywordInTheTitle)
{
    struct Row {
        const char* title;
        std::string iniName;
        std::string ini;  // empty: none
        std::array<std::string, 5> keywords;
        int expected;
    };
    const std::array<std::string, 5> kinds = {Sjis("ｺﾘﾑ"), Sjis("商事"), "PRO", "LITE", "EX"};
    auto title = [](const std::string& text) { return "[SYSTEM]\r\nMAKER=2\r\nTITLE=" + text + "\r\n"; };
    const std::string pad98(98, 'x');
    const Row rows[] = {
        {"MAKER 1", "tivonel1.ini", "[SYSTEM]\r\nMAKER= 01x\r\nTITLE=PRO\r\n", kinds, 0},
        {"MAKER missing reads as 1", "Tivonel1.Ini", "[SYSTEM]\r\n", kinds, 0},
        {"MAKER 2", "TIVONEL1.INI", title("PRO"), kinds, 99},
        {"MAKER read to 99 bytes", "tivonel1.ini", "[SYSTEM]\r\nMAKER=" + pad98 + "1\r\n", kinds, 99},
        {"first keyword", "korimu1.ini", title(Sjis("ｺﾘﾑ 2000")), kinds, 1},
        {"lowest keyword wins, wherever it is", "korimu1.ini", title(Sjis("EX LITE PRO 商事")), kinds, 2},
        {"case matters", "korimu1.ini", title("pro"), kinds, -1},
        {"no TITLE", "korimu1.ini", "[SYSTEM]\r\n", kinds, -1},
        {"other settings files ignore MAKER", "tivonel2.ini", title("EX"), kinds, 5},
        {"an empty keyword matches", "korimu1.ini", "", {"A", "", "C", "D", "E"}, 2},
        {"no match at a trail byte", "korimu1.ini", title("\x83\x41"), {"A", "B", "C", "D", "E"}, -1},
        {"match after a double-byte character", "korimu1.ini", title("\x83\x41" "A"), {"A", "B", "C", "D", "E"}, 1},
        {"keyword ending at byte 99", "korimu1.ini", title(pad98.substr(1) + "EX"), kinds, 5},
        {"keyword straddling byte 99", "korimu1.ini", title(pad98 + "EX"), kinds, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        Drives drives({"D:\\SYS\\"});
        if (!row.ini.empty())
            drives.Place("D:\\SYS\\" + row.iniName, row.ini);
        const Machine machine = drives.Load();
        const int kind = DetectSystemKind(DiskView(machine), "D:\\SYS\\", row.iniName, row.keywords);
        EXPECT_EQ(kind, row.expected);
        // What the package check expects the run to meet.
        const std::vector<int> reachable = ReachableSystemKinds(row.iniName, row.keywords);
        EXPECT_TRUE(kind == -1 || std::find(reachable.begin(), reachable.end(), kind) != reachable.end());
    }
}

TEST(UninstallEntry, TheFolderIsThatOfTheFileAfterTheSwitch)
{
    const std::pair<const char*, const char*> rows[] = {
        {"A.EXE -fD:\\APP\\SUB\\LOG.DAT -c1", "D:\\APP\\SUB\\"},
        {"A.EXE -fLOG.DAT", ""},
        {"A.EXE -f D:\\APP\\LOG.DAT", " D:\\APP\\"},
        {"A.EXE -x -fD:\\A\\L -fE:\\B\\L", "D:\\A\\"},
        {"A.EXE -f\"C:\\My -App\\LOG.DAT\" -c1", "C:\\My -App\\"},
        {"A.EXE -f\"C:\\APP\\LOG.DAT -c1", "C:\\APP\\"},
        {"A.EXE -fC:\\表\\表", "C:\\表\\"},
    };
    for (const auto& [value, folder] : rows) {
        SCOPED_TRACE(value);
        std::string text = Sjis(value);
        EXPECT_EQ(ParseUninstallString(text), 1);
        EXPECT_EQ(text, Sjis(folder));
    }
    for (std::string text : {"A.EXE /S", "A.EXE -FD:\\A\\L", "-fD:\\A\\L"}) {
        const std::string before = text;
        EXPECT_EQ(ParseUninstallString(text), 0);
        EXPECT_EQ(text, before);
    }
}

TEST(UninstallEntry, TheFirstProductKeyThatExistsDecides)
{
    auto key = [](const std::string& name, const std::string& value) {
        return "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" + name +
               "] 1\n\"UninstallString\"=" + value + "\n";
    };
    const std::string app = key("KORIMU", "\"U.EXE -fC:\\\\KORIMU\\\\SYS\\\\U.LOG -a\"");
    const std::string other = key("OTHER", "\"U.EXE -fD:\\\\OTHER\\\\U.LOG\"");
    struct Row {
        const char* title;
        std::string registry;
        std::array<std::string, 5> keys;
        std::optional<std::string> folder;
    };
    const Row rows[] = {
        {"first key", app + other, {"korimu", "OTHER"}, "C:\\KORIMU\\SYS"},
        {"a missing key, then the next", other, {"KORIMU", "B", "C", "D", "OTHER"}, "D:\\OTHER"},
        {"NULL ends the list", other, {"KORIMU", "NULL", "OTHER"}, std::nullopt},
        {"null is a name", other, {"null", "OTHER"}, "D:\\OTHER"},
        {"a key without text ends the search", key("KORIMU", "dword:00000001") + other, {"KORIMU", "OTHER"}, std::nullopt},
        {"a drive root", key("KORIMU", "\"U.EXE -fD:\\\\U.LOG\""), {"KORIMU"}, "D:"},
        {"255 bytes fit", key("KORIMU", "\"U.EXE -fC:\\\\" + std::string(238, 'A') + "\\\\U.LOG\""), {"KORIMU"},
         "C:\\" + std::string(238, 'A')},
        {"256 do not", key("KORIMU", "\"U.EXE -fC:\\\\" + std::string(239, 'A') + "\\\\U.LOG\""), {"KORIMU"}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.title);
        EXPECT_EQ(FindUninstallFolder(Registry::Parse("WINE REGISTRY Version 2\n" + row.registry), row.keys), row.folder);
    }
}

}  // namespace
}  // namespace pelmo::test
