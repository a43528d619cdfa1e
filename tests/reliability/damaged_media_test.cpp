// Damaged media: a package disk or the installed system's disk that cannot read
// part of a file. The run reports the step that failed and keeps every file whole.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "tests/reliability/bad_spot.h"
#include "tests/reliability/installed_system.h"
#include "tests/reliability/master_records.h"
#include "tests/reliability/tree_snapshot.h"
#include "tests/support/lha_writer.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::InstalledSystem;
using test::ShownMessage;
using test::WriteHostFile;

struct MediaRow {
    const char* name;
    const char* badFile;  // below drive C:
    std::uint64_t badOffset;
    std::function<void(PackageInfo&)> package;
    std::vector<ShownMessage> messages;
    // What the run may change besides: relative to the machine folder.
    std::vector<std::string> changed = {};
};

void PrintTo(const MediaRow& row, std::ostream* out)
{
    *out << row.name;
}

PackageEntry Plain()
{
    return {1, 0, "PLAIN.DAT", "SUB\\"};
}

PackageEntry Archive()
{
    return {1, 1, "DATA", "SUB\\"};
}

class DamagedMediaTest : public ::testing::TestWithParam<MediaRow> {};

TEST_P(DamagedMediaTest, ReportsTheStepAndKeepsEveryFileWhole)
{
    const MediaRow& row = GetParam();
    InstalledSystem system;
    system.Install();
    WriteHostFile(system.System() / "SUB" / "PLAIN.DAT", "old plain file");
    WriteHostFile(system.System() / "SUB" / "GOOD.DAT", "old extracted file");
    WriteHostFile(system.System() / "MASTER" / "1" / "zai001-3.mst", test::OldMaster(30));
    WriteHostFile(system.System() / "MASTER" / "21" / "zai021-3.mst", test::OldMaster(5));
    fs::create_directories(system.System() / "WAV");
    WriteHostFile(system.System() / "音声" / "wave.lzh",
                  test::WriteStoredLha({{.name = "VOICE.WAV", .content = std::string(20000, 'v')}},
                                       test::LhaLevel::Two));
    WriteHostFile(system.Package() / "PLAIN.DAT", std::string(200000, 'p'));
    WriteHostFile(system.Package() / "DATA.lzh",
                  test::WriteStoredLha({{.name = "GOOD.DAT", .content = std::string(200000, 'g')}},
                                       test::LhaLevel::Zero));
    PackageInfo info = InstalledSystem::Info({});
    row.package(info);
    const auto before = test::TreeSnapshot::Take(system.machineFolder().folder());

    test::RecordingPrompter prompter;
    {
        test::BadSpot spot(system.machineFolder().driveC() / row.badFile, row.badOffset);
        EXPECT_EQ(system.Run(info, prompter), 1);
    }
    EXPECT_EQ(prompter.messages(), row.messages);
    const auto after = test::TreeSnapshot::Take(system.machineFolder().folder());
    EXPECT_EQ(before.ChangesTo(after, row.changed), std::vector<std::string>{});
}

const MediaRow kMediaRows[] = {
    {"PackageFileUnreadableHalfway", "PKG/PLAIN.DAT", 70000, [](PackageInfo& info) { info.entries = {Plain()}; },
     {test::Confirm("C:\\KORIMU\\SUB\\PLAIN.DATの更新に失敗しました。")}},
    {"PackageFileUnreadableFromTheStart", "PKG/PLAIN.DAT", 0, [](PackageInfo& info) { info.entries = {Plain()}; },
     {test::Confirm("C:\\KORIMU\\SUB\\PLAIN.DATの更新に失敗しました。")}},
    {"ArchiveUnreadableInsideAMember", "PKG/DATA.lzh", 100000,
     [](PackageInfo& info) { info.entries = {Archive()}; },
     {test::Confirm("書庫が壊れています: C:\\PKG\\DATA.lzh")}},
    {"ArchiveUnreadableFromTheStart", "PKG/DATA.lzh", 0, [](PackageInfo& info) { info.entries = {Archive()}; },
     {test::Confirm("書庫が壊れています: C:\\PKG\\DATA.lzh")}},
    {"InstalledMasterFileUnreadable", "KORIMU/MASTER/1/zai001-3.mst", 3000,
     [](PackageInfo& info) { info.masterAdjustFlag = "1"; },
     {test::Confirm("材料ｻｲｽﾞ変換が正常に更新されませんでした。"),
      test::Confirm("材料ﾀｲﾌﾟ変換が正常に更新されませんでした。"), test::Succeeded()}},
    // The settings are written before the voice data is read.
    {"InstalledVoiceArchiveUnreadable", "KORIMU/音声/wave.lzh", 5000,
     [](PackageInfo& info) { info.digitizerFlag = "1"; },
     {test::Confirm("書庫が壊れています: C:\\KORIMU\\音声\\wave.lzh"), test::Succeeded()},
     {"drive_c/KORIMU/korimu1.ini"}},
    // Unreadable settings read as missing: the checks take the version as 2, the
    // voice folder as none; the file is never written from what could not be read.
    {"InstalledSettingsFileUnreadable", "KORIMU/korimu1.ini", 0, [](PackageInfo& info) { info.digitizerFlag = "1"; },
     {test::Confirm("C:\\KORIMU\\korimu1.iniの更新に失敗しました。"), test::Succeeded()}},
};
INSTANTIATE_TEST_SUITE_P(Rows, DamagedMediaTest, ::testing::ValuesIn(kMediaRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DamagedSettingsFile, ASettingsFileReadOnlyInPartIsNeverRewritten)
{
    InstalledSystem system;
    system.Install();
    const std::string settings = test::ReadHostFile(system.System() / "korimu1.ini");
    for (std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{40}, settings.size() - 1}) {
        SCOPED_TRACE(offset);
        {
            test::BadSpot spot(system.System() / "korimu1.ini", offset);
            EXPECT_FALSE(WritePrivateProfileString(system.machine(), "C:\\KORIMU\\korimu1.ini", "SYSTEM", "NEW", "1"));
        }
        EXPECT_EQ(test::ReadHostFile(system.System() / "korimu1.ini"), settings);
    }
    // Once readable again, the write goes through.
    EXPECT_TRUE(WritePrivateProfileString(system.machine(), "C:\\KORIMU\\korimu1.ini", "SYSTEM", "NEW", "1"));
}

}  // namespace
}  // namespace pelmo
