// pelmo check: what it finds in packages written with one mistake each, and its command line.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "app/check_options.h"
#include "upgrade/check/package_check.h"
#include "wizard/qt_dialog_measure.h"
#include "tests/support/bmp_writer.h"
#include "tests/support/lha_writer.h"
#include "tests/support/package_writer.h"
#include "tests/support/test_machine.h"

namespace pelmo::test {
namespace {

namespace fs = std::filesystem;

using Files = std::map<std::string, std::string>;

// A package as written to the disk: info.txt from `text` (or `rawInfo` as it
// stands), the files of the package folder, and further disks' folders.
struct Package {
    PackageText text;
    Files files;
    std::optional<std::string> rawInfo = {};  // empty: no info.txt at all
    std::map<int, Files> disks = {};
};

LhaMember Member(std::string name, std::string content = "data") { return {.name = name, .content = content}; }

std::string Picture(int width, int height)
{
    BmpFile bmp;
    bmp.width = width, bmp.height = height;
    bmp.pixels = PackPixels(width, 24, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), 0x404040));
    return WriteBmp(bmp);
}

// Three entries on two disks, an archive among them: nothing to find.
Package Good()
{
    Package package;
    package.text.entries = {"1,0,A.DAT,DOC\\", "1,1,ARC,", "2,0,B.DAT,"};
    package.files = {{"A.DAT", "a"},
                     {"ARC.lzh", WriteStoredLha({Member("X.TXT"), Member("Y.TXT")}, LhaLevel::Zero)},
                     {"B.DAT", "b"}};
    return package;
}

const DialogMeasure& Measure()
{
    static const QtDialogMeasure measure;
    return measure;
}

// The findings as printed, with the temporary folder shown as "{dir}".
std::vector<std::string> Check(const Package& package, int& status)
{
    TempDir dir;
    const fs::path folder = dir.path() / "pkg";
    fs::create_directories(folder);
    if (package.rawInfo) {
        if (!package.rawInfo->empty())
            WriteHostFile(folder / "info.txt", *package.rawInfo);
    }
    else
        WritePackage(folder, package.text);
    for (const auto& [name, bytes] : package.files)
        WriteHostFile(folder / name, bytes);
    CheckRequest request{folder, {}};
    for (const auto& [disk, files] : package.disks) {
        const fs::path diskFolder = dir.path() / ("disk" + std::to_string(disk));
        fs::create_directories(diskFolder);
        for (const auto& [name, bytes] : files)
            WriteHostFile(diskFolder / name, bytes);
        request.disks[disk] = diskFolder;
    }
    std::string error;
    const std::optional<Findings> findings = CheckPackage(request, Measure(), error);
    if (!findings) {
        status = -1;
        return {error};
    }
    status = findings->Status();
    std::vector<std::string> lines;
    for (const Finding& finding : findings->Sorted()) {
        std::string line = FormatFinding(finding);
        for (std::size_t at; (at = line.find(dir.path().string())) != std::string::npos;)
            line.replace(at, dir.path().string().size(), "{dir}");
        lines.push_back(line);
    }
    return lines;
}

std::string InfoBytes(const PackageText& text, bool asUtf8)
{
    std::string bytes;
    for (const std::string& line : PackageLines(text))
        bytes += (asUtf8 ? line : Sjis(line)) + "\r\n";
    return bytes;
}

struct Row {
    const char* name;
    std::function<void(Package&)> change;
    std::vector<std::string> found;
};

// Every finding names its line, as compilers do, and the status follows the worst.
TEST(PackageCheck, NamesTheLineAndTheProblemOfEachMistake)
{
    const std::string longNotes = [] {
        std::string text;
        for (int i = 0; i < 12; ++i)
            text += "注意事項その" + std::to_string(i) + "\t\t";
        return text;
    }();
    std::string manyBreaks;
    for (int i = 0; i < 101; ++i)
        manyBreaks += "\t\t";
    const Row rows[] = {
        {"a good package", [](Package&) {}, {}},
        {"no info.txt", [](Package& p) { p.rawInfo = ""; }, {"info.txt: error: no info.txt in {dir}/pkg"}},
        // Encoding.
        {"saved as UTF-8", [](Package& p) { p.rawInfo = InfoBytes(p.text, true); },
         {"info.txt:17: error: info.txt is saved as UTF-8, but the program reads code page 932 (Shift-JIS): this "
          "line shows as \"繝?せ繝?\""}},
        {"a lone lead byte",
         [](Package& p) {
             p.rawInfo = InfoBytes(p.text, false);
             p.rawInfo->replace(p.rawInfo->find("KORIMU"), 6, "KORIMU\x81");
         },
         {"info.txt:6: error: not valid code page 932: the line shows as \"C:\\KORIMU?\""}},
        {"too few lines", [](Package& p) { p.rawInfo = "Title\r\nNULL\r\n"; },
         {"info.txt:2: error: info.txt ends after line 2: lines 3 to 21 read as empty, and there are no entries"}},
        // Fixed fields read as numbers.
        {"a sign and a blank around the version", [](Package& p) { p.text.requiredVersion = "+3 "; },
         {"info.txt:7: warning: the required version \"+3 \" reads as 3; write the number alone"}},
        {"a version that is no number", [](Package& p) { p.text.requiredVersion = "v3"; },
         {"info.txt:7: error: the required version \"v3\" is no number and reads as 0"}},
        {"flags other than 0 and 1",
         [](Package& p) { p.text.masterAdjustFlag = "2", p.text.digitizerFlag = "on"; },
         {"info.txt:8: warning: the master adjustment flag \"2\" reads as 2: the start dialog's caption promises "
          "the adjustment, but only 1 runs it",
          "info.txt:10: warning: the digitizer flag \"on\" is no number and reads as 0"}},
        {"a flag with a blank", [](Package& p) { p.text.digitizerFlag = " 1"; },
         {"info.txt:10: warning: the digitizer flag \" 1\" reads as 1; write the number alone"}},
        // Entry lines.
        {"a disk number that is no number", [](Package& p) { p.text.entries[2] = "II,0,B.DAT,"; },
         {"info.txt:24: error: the disk number \"II\" is no number and reads as 0"}},
        {"disk 0", [](Package& p) { p.text.entries[2] = "0,0,B.DAT,"; },
         {"info.txt:24: error: disk 0: disks are numbered from 1"}},
        {"an unknown kind", [](Package& p) { p.text.entries[0] = "1,2,A.DAT,DOC\\"; },
         {"info.txt:22: warning: kind \"2\" reads as 2: only 1 is extracted as an archive, anything else is copied "
          "as it is; write 0 for a copy"}},
        {"a blank line among the entries, and one at the end",
         [](Package& p) { p.text.entries.insert(p.text.entries.begin() + 1, " "), p.text.entries.push_back(""); },
         {"info.txt:23: warning: a blank line among the entries is skipped; it ends nothing, the entries after it "
          "are installed too"}},
        {"missing fields", [](Package& p) { p.text.entries[0] = "1,0", p.text.entries[2] = "2,0,B.DAT"; },
         {"info.txt:22: error: an entry needs four fields (disk,kind,file,target); this line has 2",
          "info.txt:24: warning: no target field: the file is installed in the system folder itself; end the line "
          "with a comma to say so"}},
        {"a fifth field", [](Package& p) { p.text.entries[2] = "2,0,B.DAT,,old,er"; },
         {"info.txt:24: warning: text after the fourth field is ignored: \"old,er\""}},
        {"blanks around names",
         [](Package& p) { p.text.entries[0] = "1,0,A.DAT ,DOC\\", p.text.entries[2] = "2,0,B.DAT, "; },
         {"info.txt:22: warning: the file name \"A.DAT \" has blanks around it, and they are part of the name",
          "info.txt:22: error: A.DAT  is not on disk 1 ({dir}/pkg)",
          "info.txt:24: warning: the target folder \" \" has blanks around it, and they are part of the name",
          "info.txt:24: error: target folder \" \" has no trailing backslash: the file is installed as \" B.DAT\" "
          "in the folder above it"}},
        {"a target without its backslash", [](Package& p) { p.text.entries[0] = "1,0,A.DAT,ドキュメント"; },
         {"info.txt:22: error: target folder \"ドキュメント\" has no trailing backslash: the file is installed as "
          "\"ドキュメントA.DAT\" in the folder above it"}},
        // Files on their disks.
        {"a file on a disk of its own", [](Package& p) { p.disks[2] = {{"b.dat", "b"}}; }, {}},
        {"a file not on its disk", [](Package& p) { p.disks[2] = {{"A.DAT", "a"}}; },
         {"info.txt:24: error: B.DAT is not on disk 2 ({dir}/disk2)"}},
        {"a damaged archive",
         [](Package& p) {
             p.files["ARC.lzh"] = WriteStoredLha(
                 {Member("X.TXT"), {.name = "Y.TXT", .content = "y", .dataCrc = LhaCrc16("z")}}, LhaLevel::Two);
         },
         {"info.txt:23: error: ARC.lzh is damaged at member \"Y.TXT\": its data fails the CRC or ends early"}},
        {"no archive at all", [](Package& p) { p.files["ARC.lzh"] = "not an archive"; },
         {"info.txt:23: error: ARC.lzh is not an LHA archive the program can read"}},
        {"a member name without code page 932",
         [](Package& p) { p.files["ARC.lzh"] = WriteStoredLha({Member("d/\xC3\xA9t\xC3\xA9.txt")}, LhaLevel::Two, 65001); },
         {"info.txt:23: error: ARC.lzh: member \"d/?t?.txt\" has a name code page 932 cannot write; the run stops "
          "there"}},
        {"two members flattened onto one name",
         [](Package& p) {
             p.files["ARC.lzh"] = WriteStoredLha({{.name = "X.TXT", .content = "1", .folder = "a"},
                                                  {.name = "x.txt", .content = "2", .folder = "b"}},
                                                 LhaLevel::Two);
         },
         {"info.txt:23: error: ARC.lzh: members \"a/X.TXT\" and \"b/x.txt\" are both extracted as x.txt (stored "
          "folders are dropped); the later one replaces the earlier"}},
        // The START archive of each system kind.
        {"START archives for some kinds",
         [](Package& p) {
             p.text.entries[1] = "1,1,start,";
             p.text.titleKeywords = {"ﾌﾟﾛ", "ﾌﾟﾛ2", "ﾗｲﾄ", "", "ﾐﾆ"};
             for (const char* name : {"START1.lzh", "START3.lzh"})
                 p.files[name] = WriteStoredLha({Member("K.EXE")}, LhaLevel::Zero);
         },
         {"info.txt:23: warning: no START archive for system kind 4 (title keyword \"\") (START4.lzh missing): on "
          "such a system the run stops here"}},
        {"START archives for neither maker of tivonel1.ini",
         [](Package& p) {
             p.text.entries[1] = "1,1,START,";
             p.text.systemIniName = "TIVONEL1.INI";
             p.files["START1.lzh"] = WriteStoredLha({Member("K.EXE")}, LhaLevel::Zero);
         },
         {"info.txt:23: error: no START archive for system kind 0 (tivonel1.ini, maker 1), 99 (tivonel1.ini, another "
          "maker) (START0.lzh, START99.lzh missing): on such a system the run stops here"}},
        // The order of disks and folders.
        {"a disk left out", [](Package& p) { p.text.entries[2] = "9,0,B.DAT,"; },
         {"info.txt:24: warning: no entry is on disk 2 to 8: the user is asked for disk 9 after disk 1"}},
        {"disk 1 after disk 2", [](Package& p) { p.text.entries.push_back("1,0,A.DAT,"); },
         {"info.txt:25: error: disk 1 is never asked for again: after disk 2 this file is read from disk 2"}},
        {"a disk asked for twice",
         [](Package& p) {
             p.text.entries.push_back("3,0,A.DAT,"), p.text.entries.push_back("2,0,B.DAT,");
         },
         {"info.txt:26: warning: disk 2 is asked for again after disk 3: one more disk change for the user; keep "
          "each disk's entries together"}},
        {"a target two levels deep",
         [](Package& p) { p.text.entries[0] = "1,0,A.DAT,DOC\\ja\\", p.text.entries[2] = "2,0,B.DAT,doc\\JA\\x\\"; },
         {"info.txt:22: warning: target \"DOC\\ja\\\" is two or more levels deep and no earlier entry creates "
          "\"DOC\\\": the run creates one level only, so on a system without it the entry fails"}},
        {"a target two levels deep below an earlier one",
         [](Package& p) { p.text.entries[2] = "2,0,B.DAT,doc\\ｻﾌﾞ\\"; }, {}},
        // What the dialogs show.
        {"pictures missing and unreadable",
         [](Package& p) {
             p.text.mainPicture = "main.bmp", p.text.startPicture = "start.bmp";
             p.files["start.bmp"] = "BM";
         },
         {"info.txt:11: error: picture main.bmp is not in the package folder",
          "info.txt:12: error: picture start.bmp does not load: it is not a bitmap the program can draw"}},
        {"pictures of fitting sizes",
         [](Package& p) {
             p.text.mainPicture = "m.bmp", p.text.confirmPicture = "c.bmp";
             p.files["m.bmp"] = Picture(320, 240), p.files["c.bmp"] = Picture(40, 40);
         },
         {}},
        {"pictures much smaller or larger than their places",
         [](Package& p) {
             p.text.mainPicture = "m.bmp", p.text.startPicture = "s.bmp", p.text.destinationPicture = "d.bmp";
             p.files["m.bmp"] = Picture(319, 240), p.files["s.bmp"] = Picture(10, 40);
             p.files["d.bmp"] = Picture(40, 200);
         },
         {"info.txt:11: warning: picture m.bmp is 319 × 240 pixels and is stretched over the whole screen, 640 × "
          "480 or more: much smaller, it will look coarse",
          "info.txt:12: warning: picture s.bmp is 10 × 40 pixels and is stretched over the start dialog's frame of "
          "40 × 38: much smaller, it will look coarse",
          "info.txt:13: warning: picture d.bmp is 40 × 200 pixels and is shrunk into the destination dialog's "
          "frame of 40 × 38: much larger, its detail is lost"}},
        {"a line break that splits a character", [](Package& p) { p.text.startNotes = "注意\tあい"; },
         {"info.txt:15: error: the byte after each TAB becomes a line feed, and here it is part of a double-byte "
          "character: the notes show as \"注意\\n?い\"; write a TAB twice for a line break"}},
        {"notes longer than their boxes",
         [&](Package& p) { p.text.startNotes = longNotes, p.text.destinationNotes = "x" + manyBreaks; },
         {"info.txt:15: warning: the notes need 13 lines in the start dialog's box, which shows 7: the user has "
          "to scroll to read them",
          "info.txt:16: warning: more than 100 line breaks: from the 101st on, the TABs stay TABs",
          "info.txt:16: warning: the notes need 101 lines in the destination dialog's box, which shows 3: the "
          "user has to scroll to read them"}},
        {"an install folder wider than the confirmation dialog",
         [](Package& p) { p.text.installFolder = "C:\\" + std::string(60, 'W'); },
         {"info.txt:6: warning: install folder \"C:\\WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW\" "
          "is 802 pixels wide in the dialog font; the confirmation dialog shows 294"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Package package = Good();
        row.change(package);
        int status = -1;
        const std::vector<std::string> found = Check(package, status);
        EXPECT_EQ(found, row.found);
        int expected = kCheckClean;
        for (const std::string& line : row.found)
            expected = std::max(expected, line.find(": error: ") != std::string::npos ? int(kCheckErrors) : int(kCheckWarnings));
        EXPECT_EQ(status, expected);
    }
}

TEST(CheckOptions, AreReadOrRefusedWithALineForTheUser)
{
    struct OptionRow {
        std::vector<const char*> argv;  // after "check"
        std::string read;               // what was read, or the line for the user
    };
    auto describe = [](const CheckOptions& o) {
        std::string text = (o.help ? "help " : "") + std::string("package=") + o.request.package.string();
        for (const auto& [disk, folder] : o.request.disks)
            text += " " + std::to_string(disk) + "=" + folder.string();
        return text;
    };
    const OptionRow rows[] = {
        {{}, "package=."},
        {{"--package", "/p", "--disk", "2=/f2", "--disk=9999=/f=3"}, "package=/p 2=/f2 9999=/f=3"},
        {{"--help"}, "help package=."},
        {{"--disk", "1=/f"}, "pelmo: --disk needs N=DIR, with a disk number from 2: 1=/f"},
        {{"--disk", "x=/f"}, "pelmo: --disk needs N=DIR, with a disk number from 2: x=/f"},
        {{"--disk", "2"}, "pelmo: --disk needs N=DIR, with a disk number from 2: 2"},
        {{"--disk", "2="}, "pelmo: --disk needs N=DIR, with a disk number from 2: 2="},
        {{"--disk", "2=/a", "--disk", "2=/b"}, "pelmo: --disk 2 given more than once"},
        {{"--package", "/a", "--package=/b"}, "pelmo: --package given more than once"},
        {{"--package="}, "pelmo: --package needs a value"},
        {{"/p"}, "pelmo: unknown option /p"},
    };
    for (const OptionRow& row : rows) {
        std::string error;
        const auto options = ParseCheckOptions(static_cast<int>(row.argv.size()), row.argv.data(), error);
        EXPECT_EQ(options ? describe(*options) : error, row.read) << row.read;
    }
}

TEST(PackageCheck, RefusesFoldersItCannotUse)
{
    TempDir dir;
    WriteHostFile(dir.path() / "file", "");
    std::string error;
    EXPECT_FALSE(CheckPackage({dir.path() / "none", {}}, Measure(), error));
    EXPECT_EQ(error, "pelmo: no such folder: " + (dir.path() / "none").string());
    EXPECT_FALSE(CheckPackage({dir.path(), {{2, dir.path() / "file"}}}, Measure(), error));
    EXPECT_EQ(error, "pelmo: " + (dir.path() / "file").string() + " is not a folder");
}

}  // namespace
}  // namespace pelmo::test
