// Hostile and damaged archives through the whole upgrade run: nothing lands outside
// the target folder, no link or device is made, no good file is replaced by a
// broken one, and a refused archive ends the run with the component's message.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/reliability/installed_system.h"
#include "tests/reliability/tree_snapshot.h"
#include "tests/support/lha_writer.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

using test::InstalledSystem;
using test::LhaLevel;
using test::LhaMember;
using test::ReadHostFile;
using test::ShownMessage;
using test::Sjis;
using test::WriteHostFile;
using test::WriteStoredLha;

constexpr const char* kTarget = "drive_c/KORIMU/SUB";
constexpr const char* kGood = "good old content";

// How the run ends.
enum class Outcome { Installed, Damaged, CannotWrite };

std::vector<ShownMessage> MessagesFor(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Installed:
        return {test::Succeeded()};
    case Outcome::Damaged:
        return {test::Confirm("書庫が壊れています: C:\\PKG\\DATA.lzh")};
    case Outcome::CannotWrite:
        return {test::Confirm("展開先に書き込めません: C:\\PKG\\DATA.lzh")};
    }
    return {};
}

LhaMember File(std::string name, std::string content)
{
    return {.name = std::move(name), .content = std::move(content)};
}

LhaMember Special(std::string name, std::uint16_t mode, std::string content = {})
{
    return {.name = std::move(name), .content = std::move(content), .unixMode = mode};
}

using Members = std::vector<LhaMember>;

std::function<std::string(const fs::path&)> Level0(Members members)
{
    return [members](const fs::path&) { return WriteStoredLha(members, LhaLevel::Zero); };
}

std::function<std::string(const fs::path&)> Level2(Members members, std::optional<std::uint32_t> codePage = {})
{
    return [members, codePage](const fs::path&) { return WriteStoredLha(members, LhaLevel::Two, codePage); };
}

// The level 0 header sum over bytes 2 .. 2 + size, after a field was patched.
void ResumLevel0(std::string& archive)
{
    const std::size_t size = static_cast<unsigned char>(archive[0]);
    unsigned char sum = 0;
    for (std::size_t i = 2; i < 2 + size; ++i)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(archive[i]));
    archive[1] = static_cast<char>(sum);
}

void PutLe32At(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

const std::string kPayload = "NEWDATA" + std::string(3000, 'n');

struct HostileRow {
    const char* name;
    // The archive's bytes, given the host folder of the whole machine.
    std::function<std::string(const fs::path& machineFolder)> archive;
    Outcome outcome;
    // The target folder afterwards: UTF-8 names and contents. It holds GOOD.DAT
    // with kGood before the run.
    std::map<std::string, std::string> target;
    // More to lay out in the installed system before the run.
    std::function<void(const fs::path& system)> arrange = {};
};

void PrintTo(const HostileRow& row, std::ostream* out)
{
    *out << row.name;
}

class HostileArchiveTest : public ::testing::TestWithParam<HostileRow> {};

TEST_P(HostileArchiveTest, StaysInsideTheTargetAndReplacesNothingWithABrokenFile)
{
    const HostileRow& row = GetParam();
    InstalledSystem system;
    system.Install();
    WriteHostFile(system.System() / "SUB" / "GOOD.DAT", kGood);
    if (row.arrange)
        row.arrange(system.System());
    WriteHostFile(system.Package() / "DATA.lzh", row.archive(system.machineFolder().folder()));
    const test::TreeSnapshot before = test::TreeSnapshot::Take(system.machineFolder().folder());

    test::RecordingPrompter prompter;
    PackageInfo info = InstalledSystem::Info({{1, 1, "DATA", "SUB\\"}});
    EXPECT_EQ(system.Run(info, prompter), 1);
    EXPECT_EQ(prompter.messages(), MessagesFor(row.outcome));

    const test::TreeSnapshot after = test::TreeSnapshot::Take(system.machineFolder().folder());
    EXPECT_EQ(before.ChangesTo(after, {kTarget}), std::vector<std::string>{});
    // Only plain files in the target: no link, device, folder or work file.
    std::map<std::string, std::string> kinds;
    for (const auto& [name, content] : row.target)
        kinds[name] = "file";
    EXPECT_EQ(after.KindsBelow(kTarget), kinds);
    for (const auto& [name, content] : row.target)
        EXPECT_EQ(ReadHostFile(system.System() / "SUB" / name), content) << name;
}

// Names aimed out of the target folder lose their folders; what they name lands
// in the target folder.
const HostileRow kNameRows[] = {
    {"ParentsWithBackslashesLevel0", Level0({File("..\\..\\EVIL.TXT", "e")}), Outcome::Installed,
     {{"EVIL.TXT", "e"}, {"GOOD.DAT", kGood}}},
    {"ParentsWithSlashesLevel2", Level2({File("../../../EVIL.TXT", "e")}), Outcome::Installed,
     {{"EVIL.TXT", "e"}, {"GOOD.DAT", kGood}}},
    {"AbsoluteHostPathIntoTheMachine",
     [](const fs::path& machine) {
         return WriteStoredLha({File((machine / "drive_c" / "ESCAPED.TXT").string(), "a")}, LhaLevel::Two);
     },
     Outcome::Installed, {{"ESCAPED.TXT", "a"}, {"GOOD.DAT", kGood}}},
    {"DriveLetterAimedAtTheSettingsFileLevel0", Level0({File("C:\\KORIMU\\korimu1.ini", "[SYSTEM]\r\nVERSION=9\r\n")}),
     Outcome::Installed, {{"korimu1.ini", "[SYSTEM]\r\nVERSION=9\r\n"}, {"GOOD.DAT", kGood}}},
    {"DriveRelativeNameLevel2", Level2({File("C:korimu1.ini", "k")}), Outcome::Installed,
     {{"korimu1.ini", "k"}, {"GOOD.DAT", kGood}}},
    {"AbsoluteFolderField", Level2({{.name = "korimu1.ini", .content = "f", .folder = "/KORIMU"}}),
     Outcome::Installed, {{"korimu1.ini", "f"}, {"GOOD.DAT", kGood}}},
    {"DriveLetterInTheFolderField", Level2({{.name = "korimu1.ini", .content = "d", .folder = "C:/KORIMU"}}),
     Outcome::Installed, {{"korimu1.ini", "d"}, {"GOOD.DAT", kGood}}},
    // libarchive ends a stored name at a NUL byte; what stands before it is the name.
    {"NulInsideALevel2Name", Level2({File(std::string("NUL.DAT\0/../../korimu1.ini", 26), "n")}),
     Outcome::Installed, {{"NUL.DAT", "n"}, {"GOOD.DAT", kGood}}},
    {"DotNamesWriteNothing",
     Level2({File(".", "1"), File("..", "2"), File("sub/..", "3"), File("../..", "4"), File("REAL.TXT", "r")}),
     Outcome::Installed, {{"REAL.TXT", "r"}, {"GOOD.DAT", kGood}}},
};
INSTANTIATE_TEST_SUITE_P(Names, HostileArchiveTest, ::testing::ValuesIn(kNameRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Links and devices: LHA knows symbolic links (name "link|target") and Unix modes;
// it has no hard links. A link is never made; other special modes arrive as plain
// files and are written as such.
const HostileRow kSpecialRows[] = {
    {"SymbolicLinksLevel0",
     Level0({Special("PASSWD|/etc/passwd", 0120777), Special("UP|../korimu1.ini", 0120777), File("REAL.TXT", "r")}),
     Outcome::Installed, {{"REAL.TXT", "r"}, {"GOOD.DAT", kGood}}},
    {"SymbolicLinksLevel2",
     Level2({Special("PASSWD|/etc/passwd", 0120777), Special("GOOD.DAT|../korimu1.ini", 0120777),
             File("REAL.TXT", "r")}),
     Outcome::Installed, {{"REAL.TXT", "r"}, {"GOOD.DAT", kGood}}},
    {"ALinkThenAFileThroughIt",
     Level2({Special("DIR|../..", 0120777), File("DIR/THROUGH.TXT", "t"), Special("korimu1.ini|../korimu1.ini", 0120777),
             File("korimu1.ini", "x")}),
     Outcome::Installed, {{"THROUGH.TXT", "t"}, {"korimu1.ini", "x"}, {"GOOD.DAT", kGood}}},
    {"ALinkWithoutATargetName", Level2({File("FIRST.TXT", "1"), Special("GOOD.DAT", 0120777, "x")}),
     Outcome::Damaged, {{"FIRST.TXT", "1"}, {"GOOD.DAT", kGood}}},
    {"DeviceFifoAndSocketModesLevel2",
     Level2({Special("CHAR.DEV", 0020666, "c"), Special("BLOCK.DEV", 0060666, "b"), Special("FIFO.DEV", 0010666, "f"),
             Special("SOCK.DEV", 0140777, "s")}),
     Outcome::Installed,
     {{"CHAR.DEV", "c"}, {"BLOCK.DEV", "b"}, {"FIFO.DEV", "f"}, {"SOCK.DEV", "s"}, {"GOOD.DAT", kGood}}},
    {"DeviceModesLevel0", Level0({Special("CHAR.DEV", 0020666, "c"), Special("BLOCK.DEV", 0060666, "b")}),
     Outcome::Installed, {{"CHAR.DEV", "c"}, {"BLOCK.DEV", "b"}, {"GOOD.DAT", kGood}}},
    {"AnExistingHardLinkIntoTheSystemIsReplacedNotWrittenThrough", Level2({File("LINKED.INI", "new")}),
     Outcome::Installed, {{"LINKED.INI", "new"}, {"GOOD.DAT", kGood}},
     [](const fs::path& system) { fs::create_hard_link(system / "korimu1.ini", system / "SUB" / "LINKED.INI"); }},
    {"AnExistingLinkOutOfTheTargetIsReplacedNotFollowed", Level2({File("LINK.INI", "new")}), Outcome::Installed,
     {{"LINK.INI", "new"}, {"GOOD.DAT", kGood}},
     [](const fs::path& system) { fs::create_symlink("../korimu1.ini", system / "SUB" / "LINK.INI"); }},
};
INSTANTIATE_TEST_SUITE_P(Special, HostileArchiveTest, ::testing::ValuesIn(kSpecialRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Two members whose names differ only in letter case are one file on the
// installed system, as on Windows: it keeps the first spelling and ends with the
// last member's content.
const HostileRow kCaseRows[] = {
    {"AsciiLetters", Level2({File("DUP.TXT", "first"), File("dup.txt", "second")}), Outcome::Installed,
     {{"DUP.TXT", "second"}, {"GOOD.DAT", kGood}}},
    {"FullWidthLetters", Level0({File(Sjis("ＡＢ.TXT"), "first"), File(Sjis("ａｂ.txt"), "second")}),
     Outcome::Installed, {{"ＡＢ.TXT", "second"}, {"GOOD.DAT", kGood}}},
    {"ThreeSpellingsAndAnExistingFile",
     Level2({File("good.dat", "one"), File("Good.Dat", "two"), File("GOOD.DAT", "three")}), Outcome::Installed,
     {{"GOOD.DAT", "three"}}},
};
INSTANTIATE_TEST_SUITE_P(Case, HostileArchiveTest, ::testing::ValuesIn(kCaseRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Damage: sizes, data and names that cannot be right end the run with the
// component's message, and GOOD.DAT keeps its old content.
const HostileRow kDamageRows[] = {
    {"EmptyNameLevel0", Level0({File("FIRST.TXT", "1"), File("", kPayload)}), Outcome::Damaged,
     {{"FIRST.TXT", "1"}, {"GOOD.DAT", kGood}}},
    {"PackedSizeFarBeyondTheArchive", Level2({{.name = "GOOD.DAT", .content = kPayload, .packedSize = 0xFFFFFFF0u}}),
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"BothSizesHugeLevel0",
     Level0({{.name = "GOOD.DAT", .content = kPayload, .packedSize = 0x7FFFFFFFu, .originalSize = 0x7FFFFFFFu}}),
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"PackedSizeShorterThanTheData", Level2({{.name = "GOOD.DAT", .content = kPayload, .packedSize = 1000}}),
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"DataCutShort",
     [](const fs::path&) {
         std::string archive = WriteStoredLha({File("GOOD.DAT", kPayload)}, LhaLevel::Two);
         archive.resize(archive.find("NEWDATA") + 2000);
         return archive;
     },
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"CrcErrorInTheData",
     [](const fs::path&) {
         std::string archive = WriteStoredLha({File("GOOD.DAT", kPayload)}, LhaLevel::Zero);
         archive[archive.find("NEWDATA") + 2500] ^= 0x01;
         return archive;
     },
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"WrongCrcInTheHeader",
     Level2({{.name = "GOOD.DAT", .content = kPayload, .dataCrc = static_cast<std::uint16_t>(
                                                             test::LhaCrc16(kPayload) ^ 0x8000)}}),
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"HeaderSizeBeyondTheArchive",
     [](const fs::path&) {
         std::string archive = WriteStoredLha({File("GOOD.DAT", "short")}, LhaLevel::Two);
         archive[0] = '\xF0';
         archive[1] = '\xFF';
         return archive;
     },
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"OriginalSizeBeyondTheStoredData",
     Level0({{.name = "GOOD.DAT", .content = kPayload, .originalSize = 0x7FFFFFFFu}}), Outcome::Damaged,
     {{"GOOD.DAT", kGood}}},
    {"CompressedMemberClaimingMoreThanItHolds",
     [](const fs::path&) {
         std::string archive = ReadHostFile(fs::path(PELMO_TEST_DATA) / "lha" / "lh5-h0.lzh");
         PutLe32At(archive, 11, 0x00FFFFFFu);  // the first member's original size
         ResumLevel0(archive);
         return archive;
     },
     Outcome::Damaged, {{"GOOD.DAT", kGood}, {"readme.txt", kGood}},
     [](const fs::path& system) { WriteHostFile(system / "SUB" / "readme.txt", kGood); }},
    {"OriginalSizeBelowTheStoredData", Level0({{.name = "GOOD.DAT", .content = kPayload, .originalSize = 10}}),
     Outcome::Damaged, {{"GOOD.DAT", kGood}}},
    {"NameLongerThanTheDiskAllows", Level2({File(std::string(300, 'L') + ".DAT", "l")}), Outcome::CannotWrite,
     {{"GOOD.DAT", kGood}}},
    {"NameCodePage932CannotWrite", Level2({File("\xC3\xA9t\xC3\xA9.txt", "u")}, 65001), Outcome::CannotWrite,
     {{"GOOD.DAT", kGood}}},
};
INSTANTIATE_TEST_SUITE_P(Damage, HostileArchiveTest, ::testing::ValuesIn(kDamageRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Media can hold what is no file at all. A pipe named like the archive would
// make a plain open wait for a writer for ever, and a device could give bytes
// without end; neither is read.
TEST(ArchiveThatIsNoFile, IsReportedAsMissingWithoutWaiting)
{
    using namespace std::chrono_literals;
    struct Row {
        const char* name;
        std::function<void(const fs::path&)> make;
    };
    const std::vector<Row> rows = {
        {"pipe", [](const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); }},
        {"link to an endless device", [](const fs::path& path) { fs::create_symlink("/dev/zero", path); }},
        {"folder", [](const fs::path& path) { fs::create_directories(path); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        InstalledSystem system;
        system.Install();
        const fs::path archive = system.Package() / "DATA.lzh";
        row.make(archive);
        const auto before = test::TreeSnapshot::Take(system.machineFolder().folder());

        // Should the run hang on the pipe after all, a writer that comes and goes
        // lets it go on, and the test fails instead of hanging.
        std::atomic<bool> finished = false;
        std::atomic<bool> rescued = false;
        std::thread watchdog([&] {
            const auto deadline = std::chrono::steady_clock::now() + 10s;
            while (!finished) {
                std::this_thread::sleep_for(10ms);
                if (std::chrono::steady_clock::now() < deadline)
                    continue;
                const int fd = ::open(archive.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    rescued = true;
                    ::close(fd);
                }
            }
        });
        test::RecordingPrompter prompter;
        PackageInfo info = InstalledSystem::Info({{1, 1, "DATA", "SUB\\"}});
        const int result = system.Run(info, prompter);
        finished = true;
        watchdog.join();

        EXPECT_FALSE(rescued) << "the run waited on the pipe";
        EXPECT_EQ(result, 1);
        EXPECT_EQ(prompter.messages(),
                  std::vector<ShownMessage>{test::Confirm("書庫が見つかりません: C:\\PKG\\DATA.lzh")});
        const auto after = test::TreeSnapshot::Take(system.machineFolder().folder());
        // Only the target folder is new, and empty.
        EXPECT_EQ(before.ChangesTo(after, {kTarget}), std::vector<std::string>{});
        EXPECT_EQ(after.KindsBelow(kTarget), (std::map<std::string, std::string>{}));
    }
}

}  // namespace
}  // namespace pelmo
