// A full disk under the installed system: copies, extractions, settings writes,
// master conversions and the digitizer step fail with the program's message, and
// leave every file as it was, with no partial file and no work file behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "tests/reliability/installed_system.h"
#include "tests/reliability/master_records.h"
#include "tests/reliability/small_disk.h"
#include "tests/reliability/tree_snapshot.h"
#include "tests/support/lha_writer.h"
#include "upgrade/archive_library.h"
#include "upgrade/master_files.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::InstalledSystem;
using test::ReadHostFile;
using test::ShownMessage;
using test::SmallDisk;
using test::Sjis;
using test::WriteHostFile;

constexpr std::size_t kDiskBytes = 1024 * 1024;
constexpr std::size_t kDiskInodes = 96;

// What fills the disk.
enum class Fault { NoFreeBlock, NoFreeInode };

std::string FaultText(Fault fault)
{
    return fault == Fault::NoFreeBlock ? "NoFreeBlock" : "NoFreeInode";
}

void PrintTo(Fault fault, std::ostream* out)
{
    *out << FaultText(fault);
}

std::string FaultName(const ::testing::TestParamInfo<Fault>& info)
{
    return FaultText(info.param);
}

class FullDiskTest : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override
    {
        std::string whyNot;
        disk_ = SmallDisk::Mount(system_.System(), kDiskBytes, kDiskInodes, whyNot);
        if (!disk_)
            GTEST_SKIP() << "no small disk to fill: " << whyNot;
        system_.Install();
        WriteHostFile(system_.System() / "SUB" / "PLAIN.DAT", "old plain file");
        WriteHostFile(system_.System() / "SUB" / "GOOD.DAT", "old extracted file");
        WriteHostFile(system_.System() / "MASTER" / "1" / "zai001-3.mst", test::OldMaster(20));
        WriteHostFile(system_.System() / "MASTER" / "21" / "zai021-3.mst", test::OldMaster(3));
        fs::create_directories(system_.System() / "WAV");
        WriteHostFile(system_.System() / "音声" / "wave.lzh",
                      test::WriteStoredLha({{.name = "VOICE.WAV", .content = std::string(9000, 'v')}},
                                           test::LhaLevel::Two));
        // The package lies on another disk, with room to spare.
        WriteHostFile(system_.Package() / "PLAIN.DAT", std::string(50000, 'p'));
        WriteHostFile(system_.Package() / "DATA.lzh",
                      test::WriteStoredLha({{.name = "GOOD.DAT", .content = std::string(50000, 'g')}},
                                           test::LhaLevel::Zero));
        Fill();
        before_ = test::TreeSnapshot::Take(system_.System());
    }

    void Fill()
    {
        if (GetParam() == Fault::NoFreeBlock)
            disk_->FillBlocks();
        else
            disk_->FillInodes();
    }

    // Nothing on the full disk changed: no file, no work file, no folder.
    void ExpectDiskUnchanged() const
    {
        const auto after = test::TreeSnapshot::Take(system_.System());
        EXPECT_EQ(before_.ChangesTo(after, {SmallDisk::kFillFolder}), std::vector<std::string>{});
    }

    int Run(PackageInfo info)
    {
        return system_.Run(info, prompter_);
    }

    const Machine& machine() { return system_.machine(); }

    InstalledSystem system_;
    std::unique_ptr<SmallDisk> disk_;
    test::TreeSnapshot before_;
    test::RecordingPrompter prompter_;
};

TEST_P(FullDiskTest, APlainCopyFailsAndKeepsTheOldFile)
{
    EXPECT_FALSE(CopyFile(machine(), "C:\\PKG\\PLAIN.DAT", "C:\\KORIMU\\SUB\\PLAIN.DAT", false));
    EXPECT_FALSE(CopyFile(machine(), "C:\\PKG\\PLAIN.DAT", "C:\\KORIMU\\SUB\\NEW.DAT", false));
    ExpectDiskUnchanged();
}

TEST_P(FullDiskTest, ThePlainEntryOfARunNamesItsTarget)
{
    EXPECT_EQ(Run(InstalledSystem::Info({{1, 0, "PLAIN.DAT", "SUB\\"}})), 1);
    EXPECT_EQ(prompter_.messages(),
              std::vector<ShownMessage>{test::Confirm("C:\\KORIMU\\SUB\\PLAIN.DATの更新に失敗しました。")});
    ExpectDiskUnchanged();
}

TEST_P(FullDiskTest, TheArchiveEntryOfARunShowsTheComponentsMessage)
{
    EXPECT_EQ(Run(InstalledSystem::Info({{1, 1, "DATA", "SUB\\"}})), 1);
    EXPECT_EQ(prompter_.messages(),
              std::vector<ShownMessage>{test::Confirm("展開先に書き込めません: C:\\PKG\\DATA.lzh")});
    ExpectDiskUnchanged();
}

TEST_P(FullDiskTest, ASettingsWriteFailsAndKeepsTheFile)
{
    EXPECT_FALSE(WritePrivateProfileString(machine(), "C:\\KORIMU\\korimu1.ini", "SYSTEM", "VERSION", "3"));
    EXPECT_FALSE(WritePrivateProfileString(machine(), "C:\\KORIMU\\korimu1.ini", "NEW", "KEY", "value"));
    EXPECT_FALSE(WritePrivateProfileString(machine(), "C:\\KORIMU\\new.ini", "NEW", "KEY", "value"));
    // A value already stored needs no write and still counts.
    EXPECT_TRUE(WritePrivateProfileString(machine(), "C:\\KORIMU\\korimu1.ini", "SYSTEM", "VERSION", "2"));
    ExpectDiskUnchanged();
}

TEST_P(FullDiskTest, MasterConversionsFailAndKeepEveryMasterFile)
{
    EXPECT_EQ(ConvertMaterialSize(machine(), "C:\\KORIMU\\korimu1.ini"), 0);
    EXPECT_EQ(ConvertMaterialType(machine(), "C:\\KORIMU\\korimu1.ini"), 0);
    ExpectDiskUnchanged();
}

TEST_P(FullDiskTest, TheRunReportsBothConversionsAndGoesOn)
{
    PackageInfo info = InstalledSystem::Info({});
    info.masterAdjustFlag = "1";
    EXPECT_EQ(Run(info), 1);
    const std::vector<ShownMessage> expected = {
        test::Confirm("材料ｻｲｽﾞ変換が正常に更新されませんでした。"),
        test::Confirm("材料ﾀｲﾌﾟ変換が正常に更新されませんでした。"),
        test::Succeeded(),
    };
    EXPECT_EQ(prompter_.messages(), expected);
    ExpectDiskUnchanged();
}

TEST_P(FullDiskTest, TheDigitizerStepReportsTheSettingsAndTheVoiceData)
{
    PackageInfo info = InstalledSystem::Info({});
    info.digitizerFlag = "1";
    EXPECT_EQ(Run(info), 1);
    const std::vector<ShownMessage> expected = {
        test::Confirm("C:\\KORIMU\\korimu1.iniの更新に失敗しました。"),
        test::Confirm("展開先に書き込めません: C:\\KORIMU\\音声\\wave.lzh"),
        test::Succeeded(),
    };
    EXPECT_EQ(prompter_.messages(), expected);
    ExpectDiskUnchanged();
}

INSTANTIATE_TEST_SUITE_P(Faults, FullDiskTest, ::testing::Values(Fault::NoFreeBlock, Fault::NoFreeInode), FaultName);

}  // namespace
}  // namespace pelmo
