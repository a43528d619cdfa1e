// A whole upgrade run on a temporary machine: info.txt read from a floppy of two
// disks, real LHA extraction, plain copies, settings keys and master files.
#include "upgrade/upgrade_run.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/files.h"
#include "tests/support/lha_writer.h"
#include "tests/support/recording_prompter.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::LhaLevel;
using test::LhaMember;
using test::ReadHostFile;
using test::ShownMessage;
using test::Sjis;
using test::WriteHostFile;

// Swaps the floppy when a disk prompt appears; cancels a prompt that comes back
// without end rather than hang the test.
class DiskSwapper : public test::RecordingPrompter {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override
    {
        if (buttons != MB_OKCANCEL)
            return RecordingPrompter::MessageBox(text, caption, buttons);
        if (++diskPrompts_ > 20) {
            ADD_FAILURE() << "the disk prompt comes back without end";
            return IDCANCEL;
        }
        if (onDiskPrompt)
            onDiskPrompt();
        return RecordingPrompter::MessageBox(text, caption, buttons);
    }
    std::function<void()> onDiskPrompt;

private:
    int diskPrompts_ = 0;
};

std::string Lha(std::vector<LhaMember> members)
{
    return test::WriteStoredLha(members, LhaLevel::Two);
}

LhaMember Member(std::string name, std::string content)
{
    LhaMember member;
    member.name = std::move(name);
    member.content = std::move(content);
    return member;
}

// Master records: a size record of 186 bytes (its 67th byte goes), one of 185
// (kept), a type record ("A" at byte 14 becomes "Z"), and lines no rule selects.
const std::string kSizeHead = "400400000107" + std::string(54, 's');
const std::string kSizeTail(119, 't');
const std::string kKeptRecord = "400400000111" + std::string(173, 'k');
const std::string kMaster1 = kSizeHead + "X" + kSizeTail + "\r\n" + kKeptRecord + "\r\n" +
                             "0123456789ABCAtype\n" + "0123456789ABCatype\r\n" + "short\r\n" + "\r\n" + "last";
const std::string kMaster1Converted = kSizeHead + kSizeTail + "\r\n" + kKeptRecord + "\r\n" +
                                      "0123456789ABCZtype\r\n" + "0123456789ABCatype\r\n" + "short\r\n" + "\r\n" +
                                      "last\r\n";
const std::string kMaster21 = "400400000111BBBB\r\n";
const std::string kMaster21Converted = "400400000111BZBB\r\n";

class WholeRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        floppy_ = machine_.AddDrive('a');
        InstallSystem();
        prompter_.onDiskPrompt = [this] { InsertDisk(2); };
    }

    fs::path System() const { return machine_.driveC() / "KORIMU"; }

    void InstallSystem()
    {
        WriteHostFile(System() / "korimu1.ini", Sjis(kSettings));
        WriteHostFile(System() / "ko1menu.ini", "[MENU]\r\n");
        WriteHostFile(System() / "formater.exe", "MZ");
        WriteHostFile(System() / "MASTER/1/zai001-3.mst", kMaster1);
        WriteHostFile(System() / "MASTER/1/zai01-3.mst", kMaster1);  // not a master file name
        WriteHostFile(System() / "MASTER/21/ZAI021-3.MST", kMaster21);
        WriteHostFile(System() / "音声/wave.lzh", Lha({Member("VOICE1.WAV", "RIFF1"), Member("VOICE2.WAV", "RIFF2")}));
        fs::create_directories(System() / "WAV");
    }

    // The package: disk 1 holds info.txt and the archives, disk 2 the plain files.
    void InsertDisk(int disk)
    {
        fs::remove_all(floppy_);
        fs::create_directories(floppy_);
        if (disk == 1) {
            WriteHostFile(floppy_ / "info.txt", Sjis(kInfo));
            WriteHostFile(floppy_ / "START.lzh", Lha({Member("WRONG.EXE", "kind -1 or 6 to 98")}));
            WriteHostFile(floppy_ / "START1.lzh", Lha({Member("WRONG.EXE", "kind 1")}));
            WriteHostFile(floppy_ / "START2.lzh", Lha({Member("PROG.EXE", "kind 2 program")}));
            WriteHostFile(floppy_ / "DATA.lzh", Lha({Member(Sjis("表示.TXT"), "shown"), Member("dir\\NESTED.TXT", "flat")}));
        } else {
            WriteHostFile(floppy_ / "master21.dat", "master data");
            WriteHostFile(floppy_ / "READONLY.DAT", "locked");
            fs::permissions(floppy_ / "READONLY.DAT", fs::perms::owner_read, fs::perm_options::replace);
        }
    }

    int RunFromDisk1()
    {
        InsertDisk(1);
        loaded_ = std::make_unique<Machine>(machine_.Load());
        info_ = PackageInfo();
        EXPECT_EQ(LoadPackageInfo(*loaded_, "A:", info_), 1);
        LhaComponent archive(*loaded_);
        return RunUpgrade(*loaded_, prompter_, archive, info_, "A:");
    }

    static constexpr const char* kSettings =
        "; installed by the system's own setup\r\n"
        "[SYSTEM]\r\nVERSION=2\r\nTITLE=ｺﾘﾑ ﾌﾟﾛ\r\n\r\n"
        "[DIR]\r\nMASTER=C:\\KORIMU\\MASTER\\\r\nWAV=C:\\KORIMU\\WAV\\\r\n";
    static constexpr const char* kSettingsAfter =
        "; installed by the system's own setup\r\n"
        "[SYSTEM]\r\nVERSION=2\r\nTITLE=ｺﾘﾑ ﾌﾟﾛ with ﾍﾟﾙﾓﾝﾄ\r\nﾃﾞｼﾞﾀｲｻﾞ=1\r\nﾃﾞｼﾞﾀｲｻﾞMST=1\r\n\r\n"
        "[DIR]\r\nMASTER=C:\\KORIMU\\MASTER\\\r\nWAV=C:\\KORIMU\\WAV\\\r\n";
    static constexpr const char* kInfo =
        "KORIMU\r\nNULL\r\n\r\n\r\n\r\nC:\\KORIMU\r\n2\r\n1\r\nNULL\r\n1\r\n"
        "main.bmp\r\nstart.bmp\r\ndest.bmp\r\nconfirm.bmp\r\nnotes\r\nnotes\r\n"
        "ﾍﾞｰｼｯｸ\r\nﾌﾟﾛ\r\nﾗｲﾄ\r\nﾜｲﾄﾞ\r\nﾐﾆ\r\n"
        "1,1,start,\r\n"
        "1,1,data,SUB\\\r\n"
        "2,0,master21.dat,MASTER\\21\\\r\n"
        "2,0,READONLY.DAT,\r\n";

    test::TestMachine machine_;
    fs::path floppy_;
    std::unique_ptr<Machine> loaded_;
    PackageInfo info_;
    DiskSwapper prompter_;
};

TEST_F(WholeRunTest, InstallsEveryKindOfEntryAndRunsBothOptionalSteps)
{
    EXPECT_EQ(RunFromDisk1(), 1);
    const std::vector<ShownMessage> expected{
        {"2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。", "確認", MB_OKCANCEL},
        {"システムは正常に更新されました。", "確認", MB_OK},
    };
    EXPECT_EQ(prompter_.messages(), expected);
    EXPECT_EQ(info_.systemIniName, "korimu1.ini");
    EXPECT_EQ(info_.systemKind, 2);
    EXPECT_EQ(info_.entries[0].fileName, "START2");

    EXPECT_EQ(ReadHostFile(System() / "PROG.EXE"), "kind 2 program");
    EXPECT_FALSE(fs::exists(System() / "WRONG.EXE"));
    EXPECT_EQ(ReadHostFile(System() / "SUB" / "表示.TXT"), "shown");
    EXPECT_EQ(ReadHostFile(System() / "SUB" / "NESTED.TXT"), "flat");
    EXPECT_EQ(ReadHostFile(System() / "MASTER/21/MASTER21.DAT"), "master data");
    EXPECT_EQ(ReadHostFile(System() / "READONLY.DAT"), "locked");
    EXPECT_EQ(Access(*loaded_, "C:\\KORIMU\\READONLY.DAT", 2), 0);
    EXPECT_EQ(ReadHostFile(System() / "WAV/VOICE1.WAV"), "RIFF1");
    EXPECT_EQ(ReadHostFile(System() / "WAV/VOICE2.WAV"), "RIFF2");

    EXPECT_EQ(ReadHostFile(System() / "korimu1.ini"), Sjis(kSettingsAfter));
    EXPECT_EQ(ReadHostFile(System() / "MASTER/1/zai001-3.mst"), kMaster1Converted);
    EXPECT_EQ(ReadHostFile(System() / "MASTER/1/zai01-3.mst"), kMaster1);
    EXPECT_EQ(ReadHostFile(System() / "MASTER/21/ZAI021-3.MST"), kMaster21Converted);
    EXPECT_FALSE(fs::exists(System() / "MASTER/1/temp.mst"));
}

TEST_F(WholeRunTest, ASecondRunChangesNothingThatWasAlreadyUpgraded)
{
    ASSERT_EQ(RunFromDisk1(), 1);
    const std::string settings = ReadHostFile(System() / "korimu1.ini");
    EXPECT_EQ(RunFromDisk1(), 1);
    EXPECT_EQ(ReadHostFile(System() / "korimu1.ini"), settings);
    EXPECT_EQ(ReadHostFile(System() / "MASTER/1/zai001-3.mst"), kMaster1Converted);
    EXPECT_EQ(ReadHostFile(System() / "MASTER/21/ZAI021-3.MST"), kMaster21Converted);
    EXPECT_EQ(ReadHostFile(System() / "READONLY.DAT"), "locked");
}

TEST_F(WholeRunTest, ADamagedArchiveStopsTheRunWithTheComponentsWholeText)
{
    // A package folder whose path alone is longer than the buffer the library's
    // text once had.
    const std::string folder(240, 'P');
    const fs::path package = machine_.driveC() / folder;
    InsertDisk(1);
    fs::rename(floppy_, package);
    std::string damaged = Lha({Member("PROG.EXE", "kind 2 program")});
    damaged[damaged.size() - 8] ^= 0x55;  // in the member's data: the CRC no longer matches
    WriteHostFile(package / "START2.lzh", damaged);
    loaded_ = std::make_unique<Machine>(machine_.Load());
    const std::string sourceFolder = "C:\\" + folder + "\\";
    ASSERT_EQ(LoadPackageInfo(*loaded_, sourceFolder, info_), 1);
    LhaComponent archive(*loaded_);
    EXPECT_EQ(RunUpgrade(*loaded_, prompter_, archive, info_, sourceFolder), 1);
    ASSERT_EQ(prompter_.messages().size(), 1u);
    EXPECT_EQ(prompter_.messages()[0].caption, "確認");
    EXPECT_NE(prompter_.messages()[0].text.find(sourceFolder + "START2.lzh"), std::string::npos)
        << prompter_.messages()[0].text;
    EXPECT_FALSE(fs::exists(System() / "PROG.EXE"));
    EXPECT_EQ(ReadHostFile(System() / "korimu1.ini"), Sjis(kSettings));
}

}  // namespace
}  // namespace pelmo
