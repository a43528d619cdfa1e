// info.txt: the 21 fixed lines, entry lines, notes line breaks; SourceFolder.
#include <gtest/gtest.h>

#include "package/package_info.h"
#include "package/source_folder.h"
#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

std::string Str(const PackageEntry& e)
{
    return std::to_string(e.disk) + "|" + std::to_string(e.kind) + "|" + e.fileName + "|" + e.targetSubfolder;
}
std::string Entry(std::string line) { return Str(ParseEntryLine(line)); }
std::string Notes(std::string text) { return ConvertTabsToLineBreaks(text), text; }
std::string Folder(std::string path) { return SourceFolderFromExecutable(path); }

// The 21 fixed fields in file order.
std::vector<std::string> Fields(const PackageInfo& i)
{
    const auto& k = i.productKeys;
    const auto& t = i.titleKeywords;
    return {k[0], k[1], k[2], k[3], k[4], i.installFolder, i.requiredVersion, i.masterAdjustFlag, i.systemIniName,
            i.digitizerFlag, i.mainPicture, i.startPicture, i.destinationPicture, i.confirmPicture, i.startNotes,
            i.destinationNotes, t[0], t[1], t[2], t[3], t[4]};
}

TEST(PackageInfo, LinesFillTheirFieldsAndEntriesFollow)
{
    test::TestMachine setup;
    std::vector<std::string> lines = {"k1", "NULL", std::string(1000, 'k'), "k4", "k5", "C:\\KORIMU", "2", "1", "sys.ini", "0", "main.bmp",
                                      "start.bmp", "dest.bmp", "conf.bmp", "notes\t\tA", "one\t two\t\tthree", test::Sjis("表ソフト"), "kw2", "", "kw4", "kw5"};
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    for (int i = 0; i < 150; ++i)
        text += "1,2,file" + std::to_string(i) + ".txt,\\\r\n";
    test::WriteHostFile(setup.AddDrive('a') / "info.txt", text + "\r\n \t\r\n2,1,last,\r\n\r\n");
    test::WriteHostFile(setup.driveC() / "short" / "info.txt", "Title\nA\n");
    const Machine machine = setup.Load();
    PackageInfo info;
    ASSERT_EQ(LoadPackageInfo(machine, "A:", info), 1);
    lines[14] = "notes\r\nA", lines[15] = "one\r\ntwo\r\nthree";
    EXPECT_EQ(Fields(info), lines);
    ASSERT_EQ(info.entryCount(), 151);  // blank lines are no entries
    EXPECT_EQ(Str(info.entries[149]) + " " + Str(info.entries[150]), "1|2|FILE149.TXT|\\ 2|1|LAST|");

    // A short file leaves the later fields empty, also those of an earlier load.
    ASSERT_EQ(LoadPackageInfo(machine, "C:\\short\\", info), 1);
    lines.assign(21, ""), lines[0] = "Title", lines[1] = "A";
    EXPECT_EQ(Fields(info), lines);
    EXPECT_EQ(info.entryCount(), 0);

    info.entries.resize(3);
    EXPECT_EQ(LoadPackageInfo(machine, "C:\\nowhere\\", info), 0);
    EXPECT_EQ(info.entryCount(), 0);
}

struct Row {
    const char* name;
    std::string (*function)(std::string);
    std::string input, expected;
};

TEST(PackageInfo, EntryLinesNotesAndSourceFolders)
{
    const std::string a40(40, 'a'), f100 = "C:\\" + std::string(100, 'f') + "\\";
    std::string many, manyBroken;
    for (int i = 0; i < 101; ++i)
        many += "x\t\t", manyBroken += i < 100 ? "x\r\n" : "x\t\t";
    const Row rows[] = {
        {"archive entry", Entry, "1,1,data,BIN\\", "1|1|DATA|BIN\\"},
        {"blanks belong to the field", Entry, "2, 1, file.txt, SUB\\", "2|1| FILE.TXT| SUB\\"},
        {"a fifth comma and on is ignored", Entry, "1,2,a.txt,d\\,extra,more", "1|2|A.TXT|d\\"},
        {"a trail byte stays lower case", Entry, "1,2,\x83\x61x.txt,\\", "1|2|\x83\x61X.TXT|\\"},
        {"full-width lower case is raised", Entry, "1,2,\x82\x81.txt,\\", "1|2|\x82\x60.TXT|\\"},
        {"missing fields are empty", Entry, "3,1", "3|1||"}, {"an empty line", Entry, "", "0|0||"},
        {"an empty middle field is 0", Entry, "1,,name,sub\\", "1|0|NAME|sub\\"},
        {"numbers that are none are 0", Entry, "x,y,n,s", "0|0|N|s"},
        {"long fields are kept whole", Entry, "1,2," + a40 + "," + a40, "1|2|" + std::string(40, 'A') + "|" + a40},
        {"TAB pair", Notes, "A\t\tB", "A\r\nB"}, {"TAB and any byte", Notes, "A\txB", "A\r\nB"},
        {"TAB before a lead byte", Notes, "A\t\x82\xA0", "A\r\n\xA0"}, {"no TAB", Notes, "plain", "plain"}, {"TAB first", Notes, "\tx", "\r\n"},
        {"TAB as the last byte", Notes, "end\t", "end\r"}, {"101st TAB pair stays", Notes, many, manyBroken},
        {"drive root", Folder, "A:\\PELMO.EXE", "A:"}, {"folder", Folder, "A:\\SETUP\\PELMO.EXE", "A:\\SETUP\\"},
        {"trail byte 0x5C", Folder, "C:\\\x83\x5C\\PELMO.EXE", "C:\\\x83\x5C\\"}, {"slashes", Folder, "C:/pkg/pelmo", "C:/pkg/"},
        {"no folder", Folder, "PELMO.EXE", ""}, {"a folder alone", Folder, "C:\\X\\", "C:\\X\\"},
        {"long folder", Folder, f100 + "P.EXE", f100},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.function(row.input), row.expected);
    }
}

}  // namespace
}  // namespace pelmo
