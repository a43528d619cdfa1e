// A disk with only a few blocks left, swept from none to enough: every settings
// write, master conversion and copy either finishes whole or changes nothing.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "tests/reliability/installed_system.h"
#include "tests/reliability/master_records.h"
#include "tests/reliability/small_disk.h"
#include "tests/reliability/tree_snapshot.h"
#include "upgrade/master_files.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::InstalledSystem;
using test::ReadHostFile;
using test::SmallDisk;
using test::WriteHostFile;

constexpr std::size_t kMostPagesFree = 8;

// Master files in search order, with their sizes in records: about one, three and
// two blocks.
struct MasterFile {
    const char* path;  // below the system folder
    int records;
};
const MasterFile kMasters[] = {
    {"MASTER/1/zai001-3.mst", 15},
    {"MASTER/1/zai002-3.mst", 45},
    {"MASTER/21/zai021-3.mst", 30},
};

// A settings file of three blocks: the installed keys and a long comment.
std::string LongSettings()
{
    std::string text = test::Sjis(test::kInstalledSettings);
    for (int i = 0; text.size() < 3 * SmallDisk::kPageSize - 100; ++i)
        text += "; note " + std::to_string(i) + " kept by every write\r\n";
    return text;
}

class DiskBoundaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string whyNot;
        disk_ = SmallDisk::Mount(system_.System(), 1024 * 1024, 1024, whyNot);
        if (!disk_)
            GTEST_SKIP() << "no small disk to fill: " << whyNot;
        system_.Install();
    }

    // Lays the files out anew, fills the disk and gives `pages` blocks back.
    void Reset(std::size_t pages)
    {
        disk_->Empty();
        WriteHostFile(system_.System() / "korimu1.ini", settings_);
        for (const MasterFile& master : kMasters)
            WriteHostFile(system_.System() / master.path, test::OldMaster(master.records));
        WriteHostFile(system_.System() / "SUB" / "PLAIN.DAT", "old plain file");
        WriteHostFile(system_.Package() / "PLAIN.DAT", std::string(3 * SmallDisk::kPageSize, 'p'));
        disk_->FillBlocks();
        disk_->FreePages(pages);
        before_ = test::TreeSnapshot::Take(system_.System());
    }

    // The disk holds what it held, but for the files named.
    void ExpectOnlyChanged(const std::vector<std::string>& changed) const
    {
        const auto after = test::TreeSnapshot::Take(system_.System());
        std::vector<std::string> skipped = changed;
        skipped.push_back(SmallDisk::kFillFolder);
        EXPECT_EQ(before_.ChangesTo(after, skipped), std::vector<std::string>{});
    }

    InstalledSystem system_;
    std::unique_ptr<SmallDisk> disk_;
    test::TreeSnapshot before_;
    const std::string settings_ = LongSettings();
};

TEST_F(DiskBoundaryTest, ASettingsWriteIsWholeOrNothing)
{
    const std::string title = test::Sjis("ｺﾘﾑ ﾌﾟﾛ with ﾍﾟﾙﾓﾝﾄ");
    const std::string written = *EditProfileString(settings_, "SYSTEM", "TITLE", title);
    std::set<bool> outcomes;
    for (std::size_t pages = 0; pages <= kMostPagesFree; ++pages) {
        SCOPED_TRACE("blocks free: " + std::to_string(pages));
        Reset(pages);
        const bool ok = WritePrivateProfileString(system_.machine(), "C:\\KORIMU\\korimu1.ini", "SYSTEM", "TITLE", title);
        EXPECT_EQ(ReadHostFile(system_.System() / "korimu1.ini"), ok ? written : settings_);
        ExpectOnlyChanged({"korimu1.ini"});
        outcomes.insert(ok);
    }
    EXPECT_EQ(outcomes, (std::set<bool>{false, true})) << "the sweep must cross the boundary";
}

TEST_F(DiskBoundaryTest, AMasterConversionConvertsWholeFilesInOrderAndStopsCleanly)
{
    std::set<int> convertedCounts;
    for (std::size_t pages = 0; pages <= kMostPagesFree; ++pages) {
        SCOPED_TRACE("blocks free: " + std::to_string(pages));
        Reset(pages);
        const int result = ConvertMaterialSize(system_.machine(), "C:\\KORIMU\\korimu1.ini");
        // Each file is old or wholly converted, and the converted ones come first.
        int converted = 0;
        for (const MasterFile& master : kMasters) {
            const std::string content = ReadHostFile(system_.System() / master.path);
            if (content == test::SizeConvertedMaster(master.records) && converted == &master - kMasters)
                ++converted;
            else
                EXPECT_EQ(content, test::OldMaster(master.records)) << master.path;
        }
        EXPECT_EQ(result, converted == static_cast<int>(std::size(kMasters)) ? 1 : 0);
        std::vector<std::string> changed;
        for (int i = 0; i < converted; ++i)
            changed.push_back(kMasters[i].path);
        ExpectOnlyChanged(changed);  // no temp.mst either
        convertedCounts.insert(converted);
    }
    EXPECT_GE(convertedCounts.size(), 3u) << "the sweep must stop the conversion at different files";
    EXPECT_TRUE(convertedCounts.contains(0));
    EXPECT_TRUE(convertedCounts.contains(static_cast<int>(std::size(kMasters))));
}

TEST_F(DiskBoundaryTest, ACopyIsWholeOrNothing)
{
    std::set<bool> outcomes;
    for (std::size_t pages = 0; pages <= kMostPagesFree; ++pages) {
        SCOPED_TRACE("blocks free: " + std::to_string(pages));
        Reset(pages);
        const bool ok = CopyFile(system_.machine(), "C:\\PKG\\PLAIN.DAT", "C:\\KORIMU\\SUB\\PLAIN.DAT", false);
        EXPECT_EQ(ReadHostFile(system_.System() / "SUB" / "PLAIN.DAT"),
                  ok ? std::string(3 * SmallDisk::kPageSize, 'p') : "old plain file");
        ExpectOnlyChanged({"SUB/PLAIN.DAT"});
        outcomes.insert(ok);
    }
    EXPECT_EQ(outcomes, (std::set<bool>{false, true})) << "the sweep must cross the boundary";
}

}  // namespace
}  // namespace pelmo
