// The machine: drive types, current folders and paths between Windows form and host.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/machine.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::Sjis;
enum class Op { Type, ChDir, ChDrive, Host, Windows };
using enum Op;
struct Row { const char* name; Op op; std::string arg, expected; };  // Host: relative to the machine folder

// In order on one machine: current folders carry over from row to row.
const Row kRows[] = {
    {"the registry makes A: a hard disk", Type, "A:", "3"}, {"B: has no value: removable", Type, "b:\\", "2"},
    {"the registry makes D: a floppy", Type, "D:\\", "2"}, {"and E: a CD-ROM", Type, "E:", "5"},
    {"and F: a network drive", Type, "F:/", "4"}, {"G: has no value: fixed", Type, "G:", "3"},
    {"an unmapped letter has no root", Type, "Q:\\", "1"}, {"nor has nothing", Type, "", "1"},
    {"a backslash is the current drive", Type, "\\", "3"}, {"a folder is no drive", Type, "A:\\sub", "1"},
    {"chdir on C:", ChDir, "C:\\App", "0 C:\\App"},
    {"chdir makes another drive current", ChDir, "a:\\DISK1", "0 A:\\disk1"},
    {"chdir back to C:", ChDir, "C:\\", "0 C:\\"}, {"a root", Host, "C:\\", "drive_c"},
    {"a drive alone is its current folder", Host, "C:", "drive_c"}, {"A:'s is remembered", Host, "A:", "drive_a/disk1"},
    {"a name on A: is in its folder", Host, "A:info.txt", "drive_a/disk1/info.txt"},
    {"a rooted name on A:", Host, "A:\\info.txt", "drive_a/info.txt"},
    {"a name on the current drive", Host, "1\\", "drive_c/1"},
    {"a rooted path on the current drive", Host, "\\App\\SUB", "drive_c/App/SUB"},
    {"letter case as on the disk", Host, "C:\\APP\\sub\\x.dat", "drive_c/App/SUB/x.dat"},
    {"slashes separate too", Host, "C:/App/SUB/", "drive_c/App/SUB"},
    {".. stops at the root", Host, "C:\\..\\..\\App", "drive_c/App"},
    {".. climbs, . stays", Host, "C:\\.\\App\\..\\FOO.EXE", "drive_c/FOO.EXE"},
    {"a file in other letter case is that file", Host, "c:\\foo.exe", "drive_c/FOO.EXE"},
    {"full-width letters fold", Host, Sjis("C:\\ａｂｃ.TXT"), "drive_c/ＡＢＣ.txt"},
    {"Japanese names", Host, Sjis("C:\\ソフト\\データ\\a.ini"), "drive_c/ソフト/データ/a.ini"},
    {"a trail byte 5C does not separate", Host, Sjis("C:\\ソ\\x"), "drive_c/ソ/x"},
    {"a new name as written", Host, "C:\\new\\name.TXT", "drive_c/new/name.TXT"},
    {"a floppy link without a disk", Host, "B:\\info.txt", "no-disk/info.txt"},
    {"an unmapped drive", Host, "Q:\\x", "(none)"}, {"a UNC path", Host, "\\\\server\\share\\x", "(none)"},
    {"a NUL byte", Host, std::string("C:\\a\0b", 6), "(none)"},
    {"chdir with a trailing backslash", ChDir, "C:\\app\\sub\\", "0 C:\\App\\SUB"},
    {"chdir to a drive takes its folder", ChDir, "A:", "0 A:\\disk1"},
    {"chdir up stops at the root", ChDir, "..\\..", "0 A:\\"},
    {"chdir to a missing folder", ChDir, "C:\\missing", "-1 A:\\"},
    {"chdir to a file", ChDir, "C:\\FOO.EXE", "-1 A:\\"}, {"chdir to nothing", ChDir, "", "-1 A:\\"},
    {"chdrive takes the drive's folder", ChDrive, "3", "0 C:\\App\\SUB"},
    {"chdrive to an unmapped drive", ChDrive, "17", "-1 C:\\App\\SUB"},
    {"a host folder", Windows, "drive_c/App/SUB", "C:\\App\\SUB"}, {"a root", Windows, "drive_c", "C:\\"},
    {"the longest root wins", Windows, "drive_c/mnt/pkg", "D:\\pkg"},
    {"Japanese", Windows, "drive_c/ソフト", Sjis("C:\\ソフト")}, {"outside every drive", Windows, "/proc", "(none)"},
};

std::string Apply(Machine& machine, const fs::path& folder, const Row& row)
{
    if (row.op == Type)
        return std::to_string(static_cast<int>(machine.GetDriveType(row.arg)));
    if (row.op == Windows)
        return machine.ToWindows(folder / row.arg).value_or("(none)");
    if (row.op == Host) {
        const auto host = machine.ToHost(row.arg);
        return host ? host->lexically_relative(folder).string() : "(none)";
    }
    const int result = row.op == ChDir ? machine.ChDir(row.arg) : machine.ChDrive(std::stoi(row.arg));
    return std::to_string(result) + " " + machine.GetCwd();
}

TEST(Machine, AnswersAsWindowsDoes)
{
    test::TestMachine setup;
    for (char letter : {'a', 'f', 'g'})
        setup.AddDrive(letter);
    setup.MapDrive('d', setup.driveC() / "mnt");
    setup.MapDrive('e', setup.folder() / "cdrom");
    fs::create_symlink(setup.folder() / "no-disk", setup.folder() / "dosdevices" / "b:");
    for (const char* folder : {"drive_a/disk1", "drive_c/App/SUB", "drive_c/ソフト/データ", "drive_c/ソ", "drive_c/mnt/pkg"})
        fs::create_directories(setup.folder() / folder);
    test::WriteHostFile(setup.driveC() / "FOO.EXE", "");
    test::WriteHostFile(setup.driveC() / "ＡＢＣ.txt", "");
    setup.SetRegistry("WINE REGISTRY Version 2\n\n[Software\\\\Wine\\\\Drives] 1\n"
                      "\"a:\"=\"hd\"\n\"d:\"=\"floppy\"\n\"e:\"=\"cdrom\"\n\"f:\"=\"network\"\n");
    Machine machine = setup.Load();
    EXPECT_EQ(machine.DriveList(), (std::vector<std::string>{"[-a-]", "[-b-]", "[-c-]", "[-d-]", "[-e-]", "[-f-]", "[-g-]"}));
    EXPECT_EQ(machine.GetWindowsDirectory(), "C:\\windows");
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Apply(machine, setup.folder(), row), row.expected);
    }
}

// Starting: the drive of the host working directory, else C:, else the first drive.
// Choosing: the option, else $WINEPREFIX, else ~/.wine, else the built-in machine.
TEST(Machine, StartsAndIsChosenAsTheHostSays)
{
    test::TestMachine setup;
    test::TempDir home;
    const fs::path old = fs::current_path();
    fs::create_directories(setup.driveC() / "Work");
    fs::current_path(setup.driveC() / "Work");
    EXPECT_EQ(setup.Load().GetCwd(), "C:\\Work");
    EXPECT_EQ(setup.Load().ToHost("x.txt"), setup.driveC() / "Work" / "x.txt");
    fs::current_path(setup.folder());
    EXPECT_EQ(setup.Load().GetCwd(), "C:\\");
    const std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("WINEPREFIX", "/nowhere", 1);
    EXPECT_FALSE(Machine::Select(std::nullopt));
    EXPECT_EQ(Machine::Select(setup.folder()).value().Drives(), std::vector<int>{3});
    setenv("WINEPREFIX", "", 1);
    EXPECT_EQ(Machine::Select(std::nullopt).value().ToHost("Z:\\etc"), fs::path("/etc"));
    unsetenv("WINEPREFIX");
    fs::create_directory_symlink(setup.folder(), home.path() / ".wine");
    EXPECT_EQ(Machine::Select(std::nullopt).value().Drives(), std::vector<int>{3});
    unsetenv("HOME");
    EXPECT_EQ(Machine::Select(std::nullopt).value().ToHost("Z:\\etc"), fs::path("/etc")) << "without a home";
    setenv("HOME", oldHome.c_str(), 1);
    std::string error;
    EXPECT_FALSE(Machine::Select(setup.folder() / "missing", &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    fs::remove(setup.folder() / "dosdevices" / "c:");
    setup.AddDrive('g');
    setup.AddDrive('e');
    EXPECT_EQ(setup.Load().GetCwd(), "E:\\");
    fs::current_path(old);
}

}  // namespace
}  // namespace pelmo
