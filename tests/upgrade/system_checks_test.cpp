// Tests of the installed-system checks: folder forms, system files, version and kind.
#include "upgrade/system_checks.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

using test::Sjis;
using test::TestMachine;
using test::WriteHostFile;

// A machine with drives C:, D: and E: (all empty), the current folder being C:\.
// Files are placed by their Windows path; a path ending in '\' is a folder.
class Drives {
public:
    Drives()
    {
        machine_.AddDrive('D');
        machine_.AddDrive('E');
    }

    void Place(std::string_view windowsPath, std::string_view bytes = "")
    {
        std::filesystem::path host = HostRoot(windowsPath.front());
        std::string rest(windowsPath.substr(3));
        for (char& c : rest) {
            if (c == '\\')
                c = '/';
        }
        if (!rest.empty() && rest.back() == '/') {
            std::filesystem::create_directories(host / rest);
            return;
        }
        WriteHostFile(host / rest, bytes);
    }

    void PlaceAll(const std::vector<std::string>& windowsPaths)
    {
        for (const std::string& path : windowsPaths)
            Place(path);
    }

    Machine Load() const
    {
        Machine machine = machine_.Load();
        machine.ChDir("C:\\");
        return machine;
    }

private:
    std::filesystem::path HostRoot(char letter) const
    {
        if (letter == 'C')
            return machine_.driveC();
        return machine_.folder() / (std::string("drive_") + static_cast<char>(letter - 'A' + 'a'));
    }

    TestMachine machine_;
};

struct FolderRow {
    const char* description;
    std::vector<std::string> files;
    std::string folder;
    std::string name;
    int expected;
    std::string folderAfter;
};

TEST(CheckInstalledFolder, BuildsTheFolderFormUnderWhichTheFileWasFound)
{
    const std::vector<FolderRow> rows = {
        {"folder without backslash gets one", {"D:\\SYS\\korimu1.ini"}, "D:\\SYS", "korimu1.ini", 1, "D:\\SYS\\"},
        {"folder with backslash stays", {"D:\\SYS\\korimu1.ini"}, "D:\\SYS\\", "korimu1.ini", 1, "D:\\SYS\\"},
        {"bare drive letter becomes the root", {"E:\\korimu1.ini"}, "E", "korimu1.ini", 1, "E:\\"},
        {"plain join is tried before the backslash",
         {"D:\\SYSkorimu1.ini", "D:\\SYS\\korimu1.ini"}, "D:\\SYS", "korimu1.ini", 1, "D:\\SYS"},
        {"a folder E in the current folder wins over drive E",
         {"C:\\E\\korimu1.ini", "E:\\korimu1.ini"}, "E", "korimu1.ini", 1, "E\\"},
        {"drive with colon names its current folder", {"D:\\korimu1.ini"}, "D:", "korimu1.ini", 1, "D:"},
        {"letter case of the folder is kept", {"D:\\SYS\\korimu1.ini"}, "d:\\sys", "korimu1.ini", 1, "d:\\sys\\"},
        {"file name matches in any case", {"D:\\SYS\\korimu1.ini"}, "D:\\SYS", "KORIMU1.INI", 1, "D:\\SYS\\"},
        {"settings file missing: folder restored", {"D:\\SYS\\"}, "D:\\SYS", "korimu1.ini", 0, "D:\\SYS"},
        {"settings file missing, backslash form", {"D:\\SYS\\"}, "D:\\SYS\\", "korimu1.ini", 0, "D:\\SYS\\"},
        {"empty drive: letter restored", {}, "E", "korimu1.ini", 0, "E"},
        {"folder missing", {"D:\\korimu1.ini"}, "D:\\NONE", "korimu1.ini", 0, "D:\\NONE"},
        {"empty folder", {"C:\\korimu1.ini"}, "", "korimu1.ini", 0, ""},
        {"other file only", {"D:\\SYS\\tivonel1.ini"}, "D:\\SYS", "korimu1.ini", 0, "D:\\SYS"},
        {"tivonel1.ini found", {"D:\\SYS\\tivonel1.ini"}, "D:\\SYS", "tivonel1.ini", 1, "D:\\SYS\\"},
    };
    for (const FolderRow& row : rows) {
        SCOPED_TRACE(row.description);
        Drives drives;
        drives.PlaceAll(row.files);
        const Machine machine = drives.Load();
        std::string folder = row.folder;
        EXPECT_EQ(CheckInstalledFolder(machine, folder, row.name), row.expected);
        EXPECT_EQ(folder, row.folderAfter);
    }
}

TEST(CheckInstalledFolder, SecondNameIsTriedOnTheUnchangedFolder)
{
    // "NULL" in info.txt: korimu1.ini first, then tivonel1.ini on the same folder.
    Drives drives;
    drives.Place("D:\\SYS\\tivonel1.ini");
    const Machine machine = drives.Load();
    std::string folder = "D:\\SYS";
    EXPECT_EQ(CheckInstalledFolder(machine, folder, "korimu1.ini"), 0);
    EXPECT_EQ(folder, "D:\\SYS");
    EXPECT_EQ(CheckInstalledFolder(machine, folder, "tivonel1.ini"), 1);
    EXPECT_EQ(folder, "D:\\SYS\\");
}

TEST(LocateFileInFolder, KeepsTheBackslashEvenWhenTheFileIsMissing)
{
    const std::vector<FolderRow> rows = {
        {"found as given", {"D:\\SYS\\korimu1.ini"}, "D:\\SYS\\", "korimu1.ini", 1, "D:\\SYS\\"},
        {"found after the backslash", {"D:\\SYS\\korimu1.ini"}, "D:\\SYS", "korimu1.ini", 1, "D:\\SYS\\"},
        {"missing file keeps the backslash", {"D:\\SYS\\"}, "D:\\SYS", "korimu1.ini", 0, "D:\\SYS\\"},
        {"missing folder unchanged", {}, "D:\\SYS", "korimu1.ini", 0, "D:\\SYS"},
        {"empty folder does not exist", {"C:\\korimu1.ini"}, "", "korimu1.ini", 0, ""},
    };
    for (const FolderRow& row : rows) {
        SCOPED_TRACE(row.description);
        Drives drives;
        drives.PlaceAll(row.files);
        const Machine machine = drives.Load();
        std::string folder = row.folder;
        EXPECT_EQ(LocateFileInFolder(machine, folder, row.name), row.expected);
        EXPECT_EQ(folder, row.folderAfter);
    }
}

TEST(CheckSystemFiles, MenuFilesOnlyForKorimuAndTheFormatterAlways)
{
    const std::vector<FolderRow> rows = {
        {"korimu: ko2menu and formatter", {"D:\\SYS\\ko2menu.ini", "D:\\SYS\\formater.exe"},
         "D:\\SYS\\", "korimu1.ini", 1, "D:\\SYS\\"},
        {"korimu: ko1menu alone is enough", {"D:\\SYS\\ko1menu.ini", "D:\\SYS\\formater.exe"},
         "D:\\SYS\\", "korimu1.ini", 1, "D:\\SYS\\"},
        {"korimu: menu but no formatter", {"D:\\SYS\\ko2menu.ini"}, "D:\\SYS\\", "korimu1.ini", 0, "D:\\SYS\\\\"},
        // Looking for the formatter would have appended a second backslash.
        {"korimu: no menu, formatter not looked for", {"D:\\SYS\\"}, "D:\\SYS\\", "korimu1.ini", 0, "D:\\SYS\\\\"},
        {"korimu: no menu though the formatter is there", {"D:\\SYS\\formater.exe"},
         "D:\\SYS\\", "korimu1.ini", 0, "D:\\SYS\\\\"},
        {"korimu in other letter case gets the menu check", {"D:\\SYS\\formater.exe"},
         "D:\\SYS\\", "KoRiMu1.InI", 0, "D:\\SYS\\\\"},
        {"korimu in other letter case passes", {"D:\\SYS\\ko1menu.ini", "D:\\SYS\\formater.exe"},
         "D:\\SYS\\", "KORIMU1.INI", 1, "D:\\SYS\\"},
        {"tivonel: menus not looked for", {"D:\\SYS\\formater.exe"}, "D:\\SYS\\", "tivonel1.ini", 1, "D:\\SYS\\"},
        {"tivonel: formatter still required", {"D:\\SYS\\ko2menu.ini", "D:\\SYS\\ko1menu.ini"},
         "D:\\SYS\\", "tivonel1.ini", 0, "D:\\SYS\\\\"},
        {"full-width letters are another name", {"D:\\SYS\\formater.exe"},
         "D:\\SYS\\", Sjis("ｋｏｒｉｍｕ1.ini"), 1, "D:\\SYS\\"},
        {"korimu: folder without backslash", {"D:\\SYS\\ko2menu.ini", "D:\\SYS\\formater.exe"},
         "D:\\SYS", "korimu1.ini", 1, "D:\\SYS\\"},
        {"tivonel: folder without backslash", {"D:\\SYS\\formater.exe"}, "D:\\SYS", "tivonel1.ini", 1, "D:\\SYS\\"},
        {"plain join found first", {"D:\\SYSformater.exe", "D:\\SYS\\"}, "D:\\SYS", "tivonel1.ini", 1, "D:\\SYS"},
        {"korimu: folder missing", {}, "D:\\NONE\\", "korimu1.ini", 0, "D:\\NONE\\"},
        {"tivonel: folder missing", {}, "D:\\NONE\\", "tivonel1.ini", 0, "D:\\NONE\\"},
    };
    for (const FolderRow& row : rows) {
        SCOPED_TRACE(row.description);
        Drives drives;
        drives.PlaceAll(row.files);
        const Machine machine = drives.Load();
        std::string folder = row.folder;
        EXPECT_EQ(CheckSystemFiles(machine, folder, row.name), row.expected);
        EXPECT_EQ(folder, row.folderAfter);
    }
}

struct VersionRow {
    const char* description;
    std::optional<std::string> korimuIni;  // nothing: no korimu1.ini in the folder
    std::string requiredVersion;
    int expected;
};

TEST(CheckSystemVersion, ComparesTheInstalledVersionWithTheRequiredOne)
{
    const std::string zeros31(31, '0');
    const std::vector<VersionRow> rows = {
        {"equal", "[SYSTEM]\r\nVERSION=3\r\n", "3", 1},
        {"different", "[SYSTEM]\r\nVERSION=3\r\n", "2", 0},
        {"no korimu1.ini counts as 2", std::nullopt, "2", 1},
        {"no korimu1.ini is not 9999", std::nullopt, "9999", 0},
        {"no VERSION counts as 2", "[SYSTEM]\r\nTITLE=x\r\n", "2", 1},
        {"no SYSTEM section counts as 2", "[DIR]\r\nVERSION=5\r\n", "2", 1},
        {"9999 counts as 2", "[SYSTEM]\r\nVERSION=9999\r\n", "2", 1},
        {"9999 is not 9999", "[SYSTEM]\r\nVERSION=9999\r\n", "9999", 0},
        {"empty VERSION reads as 0", "[SYSTEM]\r\nVERSION=\r\n", "0", 1},
        {"empty VERSION is not 2", "[SYSTEM]\r\nVERSION=\r\n", "2", 0},
        {"3.1 reads as 3", "[SYSTEM]\r\nVERSION=3.1\r\n", "3", 1},
        {"required 3.5 reads as 3", "[SYSTEM]\r\nVERSION=3\r\n", "3.5", 1},
        {"required not a number matches 0", "[SYSTEM]\r\nVERSION=0\r\n", "abc", 1},
        {"required not a number matches letters", "[SYSTEM]\r\nVERSION=xyz\r\n", "abc", 1},
        {"required not a number rejects 2", std::nullopt, "abc", 0},
        {"empty required reads as 0", "[SYSTEM]\r\nVERSION=2\r\n", "", 0},
        {"leading blanks and sign", "[SYSTEM]\r\nVERSION=+4\r\n", "  4", 1},
        {"key and section in other case", "[system]\r\nversion=6\r\n", "6", 1},
        // The value is read into 32 bytes: the 32nd byte is cut off.
        {"31 bytes are read whole", "[SYSTEM]\r\nVERSION=" + zeros31.substr(1) + "7\r\n", "7", 1},
        {"the 32nd byte is cut off", "[SYSTEM]\r\nVERSION=" + zeros31 + "7\r\n", "0", 1},
        {"the cut digit is lost", "[SYSTEM]\r\nVERSION=" + zeros31 + "7\r\n", "7", 0},
    };
    for (const VersionRow& row : rows) {
        SCOPED_TRACE(row.description);
        Drives drives;
        drives.Place("D:\\SYS\\");
        if (row.korimuIni)
            drives.Place("D:\\SYS\\korimu1.ini", *row.korimuIni);
        const Machine machine = drives.Load();
        EXPECT_EQ(CheckSystemVersion(machine, "D:\\SYS\\", row.requiredVersion), row.expected);
    }
}

TEST(CheckSystemVersion, ReadsKorimuIniWhateverTheSettingsFile)
{
    Drives drives;
    drives.Place("D:\\SYS\\tivonel1.ini", "[SYSTEM]\r\nVERSION=5\r\n");
    const Machine machine = drives.Load();
    EXPECT_EQ(CheckSystemVersion(machine, "D:\\SYS\\", "5"), 0);
    EXPECT_EQ(CheckSystemVersion(machine, "D:\\SYS\\", "2"), 1);
}

struct KindRow {
    const char* description;
    std::string iniName;
    std::optional<std::string> ini;  // nothing: the settings file is missing
    std::array<std::string, 5> keywords;
    int expected;
};

void ExpectKinds(const std::vector<KindRow>& rows)
{
    for (const KindRow& row : rows) {
        SCOPED_TRACE(row.description);
        Drives drives;
        drives.Place("D:\\SYS\\");
        if (row.ini)
            drives.Place("D:\\SYS\\" + row.iniName, *row.ini);
        const Machine machine = drives.Load();
        EXPECT_EQ(DetectSystemKind(machine, "D:\\SYS\\", row.iniName, row.keywords), row.expected);
    }
}

TEST(DetectSystemKind, TivonelKindComesFromMaker)
{
    const std::array<std::string, 5> keywords = {"A", "B", "C", "D", "E"};
    const std::string zeros99(99, '0');
    ExpectKinds({
        {"MAKER 1", "tivonel1.ini", "[SYSTEM]\r\nMAKER=1\r\nTITLE=A\r\n", keywords, 0},
        {"MAKER 01", "tivonel1.ini", "[SYSTEM]\r\nMAKER=01\r\n", keywords, 0},
        {"MAKER with blanks", "tivonel1.ini", "[SYSTEM]\r\nMAKER= 1 \r\n", keywords, 0},
        {"MAKER 1 followed by letters", "tivonel1.ini", "[SYSTEM]\r\nMAKER=1x\r\n", keywords, 0},
        {"MAKER missing", "tivonel1.ini", "[SYSTEM]\r\nTITLE=A\r\n", keywords, 0},
        {"settings file missing", "tivonel1.ini", std::nullopt, keywords, 0},
        {"MAKER 2", "tivonel1.ini", "[SYSTEM]\r\nMAKER=2\r\nTITLE=A\r\n", keywords, 99},
        {"MAKER of letters", "tivonel1.ini", "[SYSTEM]\r\nMAKER=abc\r\n", keywords, 99},
        {"MAKER empty", "tivonel1.ini", "[SYSTEM]\r\nMAKER=\r\n", keywords, 99},
        {"MAKER -1", "tivonel1.ini", "[SYSTEM]\r\nMAKER=-1\r\n", keywords, 99},
        {"name in other letter case", "TIVONEL1.INI", "[SYSTEM]\r\nMAKER=2\r\n", keywords, 99},
        {"name in mixed case", "Tivonel1.Ini", "[SYSTEM]\r\nMAKER=1\r\n", keywords, 0},
        // The value is read into 100 bytes: a 1 at the 100th byte is cut off.
        {"MAKER read to 99 bytes", "tivonel1.ini", "[SYSTEM]\r\nMAKER=" + zeros99.substr(1) + "1\r\n", keywords, 0},
        {"MAKER cut after 99 bytes", "tivonel1.ini", "[SYSTEM]\r\nMAKER=" + zeros99 + "1\r\n", keywords, 99},
    });
}

TEST(DetectSystemKind, OtherSystemsTakeTheFirstKeywordInTheTitle)
{
    const std::array<std::string, 5> kinds = {Sjis("ｺﾘﾑ"), Sjis("商事"), "PRO", "LITE", "EX"};
    auto title = [](std::string_view text) { return "[SYSTEM]\r\nTITLE=" + std::string(text) + "\r\n"; };
    const std::string pad98(98, 'x');
    ExpectKinds({
        {"first keyword", "korimu1.ini", title(Sjis("ｺﾘﾑ 2000")), kinds, 1},
        {"fifth keyword", "korimu1.ini", title("SYSTEM EX"), kinds, 5},
        {"keyword in the middle", "korimu1.ini", title(Sjis("大阪商事様")), kinds, 2},
        {"lowest keyword wins", "korimu1.ini", title(Sjis("EX LITE PRO 商事")), kinds, 2},
        {"lowest keyword wins whatever the position", "korimu1.ini", title("LITE PRO"), kinds, 3},
        {"case matters", "korimu1.ini", title("pro"), kinds, -1},
        {"no keyword", "korimu1.ini", title("OTHER"), kinds, -1},
        {"no TITLE", "korimu1.ini", "[SYSTEM]\r\nVERSION=2\r\n", kinds, -1},
        {"settings file missing", "korimu1.ini", std::nullopt, kinds, -1},
        {"tivonel name with no MAKER rule for other files", "tivonel2.ini", title("PRO"), kinds, 3},
        {"MAKER is not read for korimu", "korimu1.ini", "[SYSTEM]\r\nMAKER=1\r\n", kinds, -1},
        {"empty keyword matches any title", "korimu1.ini", title("OTHER"), {"A", "", "C", "D", "E"}, 2},
        {"empty keyword matches a missing title", "korimu1.ini", std::nullopt, {"A", "B", "C", "D", ""}, 5},
        {"earlier keyword beats the empty one", "korimu1.ini", title("XA"), {"", "A", "C", "D", "E"}, 1},
        {"keyword after an empty one", "korimu1.ini", title("C"), {"A", "B", "C", "", "E"}, 3},
        // 0x83 0x41 is "ア": its trail byte is not the letter A.
        {"no match at a trail byte", "korimu1.ini", title("\x83\x41"), {"A", "B", "C", "D", "E"}, -1},
        {"match after a double-byte character", "korimu1.ini", title("\x83\x41" "A"), {"A", "B", "C", "D", "E"},
         1},
        // Only the first 99 bytes of the title are searched.
        {"keyword ending at byte 99", "korimu1.ini", title(pad98.substr(1) + "EX"), kinds, 5},
        {"keyword straddling byte 99", "korimu1.ini", title(pad98 + "EX"), kinds, -1},
        {"keyword beyond byte 99", "korimu1.ini", title(pad98 + "x" + "PRO"), kinds, -1},
        {"cut never splits a character", "korimu1.ini", title(pad98 + "\x83\x41"), {"\x83", "", "", "", ""}, 2},
    });
}

}  // namespace
}  // namespace pelmo
