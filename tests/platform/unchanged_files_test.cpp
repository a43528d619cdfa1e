// The file services under a stage: a write that leaves a file as it was is no change.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/stage/staging.h"
#include "platform/streams.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

// Under a stage a write that leaves a file as it was stages nothing. Each row
// writes C:\u\<n> over "installed" (writable, last written at 1000000000) and
// gives what the stage plans for it and what the run's view then reads there.
enum class Write { Copy, CopyThenStatus, Put, PutReadOnly, Status, StatusReadOnly };
struct UnchangedRow {
    const char* name;
    Write how;
    std::string installed, written;
    long modified;
    std::string expected;
};

const std::string kLong(40000, 'x');

const UnchangedRow kUnchangedRows[] = {
    {"equal bytes and time", Write::Copy, "same", "same", 1000000000, "unchanged same"},
    {"another time", Write::Copy, "same", "same", 1000000001, "replaced same"},
    {"other bytes of the same size", Write::Copy, "abcd", "abce", 1000000000, "replaced abce"},
    {"more bytes", Write::Copy, "ab", "abc", 1000000000, "replaced abc"},
    {"fewer bytes", Write::Copy, "abc", "ab", 1000000000, "replaced ab"},
    {"nothing over nothing", Write::Copy, "", "", 1000000000, "unchanged "},
    {"equal over several pieces", Write::Copy, kLong, kLong, 1000000000, "unchanged " + kLong},
    {"a last byte differs", Write::Copy, kLong + "1", kLong + "2", 1000000000, "replaced " + kLong + "2"},
    {"a finer time that the status then sets back", Write::CopyThenStatus, "same", "same", 1000000000,
     "unchanged same"},
    {"a settings rewrite with equal bytes", Write::Put, "[A]\r\nk=v\r\n", "[A]\r\nk=v\r\n", 0,
     "unchanged [A]\r\nk=v\r\n"},
    {"that makes the file read-only", Write::PutReadOnly, "v", "v", 0, "replaced v"},
    {"a status the file has", Write::Status, "s", "", 1000000000, "(not staged) s"},
    {"a read-only attribute it lacks", Write::StatusReadOnly, "s", "", 1000000000, "replaced s"},
};

TEST(Files, UnderAStageOnlyAChangeIsStaged)
{
    test::TestMachine setup;
    const fs::path c = setup.driveC();
    fs::create_directories(c / "u");
    const Machine machine = setup.Load();
    StageOpening opening = StageOpening::Failed;
    std::unique_ptr<Stage> stage = Stage::Open(c, opening);
    ASSERT_TRUE(stage);
    StagedView files(machine, *stage);
    int n = 0;
    for (const UnchangedRow& row : kUnchangedRows) {
        SCOPED_TRACE(row.name);
        const std::string name = std::to_string(++n);
        const std::string target = "C:\\u\\" + name;
        test::WriteHostFile(c / "u" / name, row.installed);
        const timespec installedTimes[2] = {{1000000000, 0}, {1000000000, 0}};
        ::utimensat(AT_FDCWD, (c / "u" / name).c_str(), installedTimes, 0);
        bool done = false;
        if (row.how == Write::Copy || row.how == Write::CopyThenStatus) {
            test::WriteHostFile(c / "src" / name, row.written);
            const long nanoseconds = row.how == Write::CopyThenStatus ? 500 : 0;
            const timespec times[2] = {{row.modified, nanoseconds}, {row.modified, nanoseconds}};
            ::utimensat(AT_FDCWD, (c / "src" / name).c_str(), times, 0);
            done = CopyFile(files, "C:\\src\\" + name, target, ExistingTarget::Replace);
            if (row.how == Write::CopyThenStatus)
                done = done && pelmo::SetStatus(files, target, {0, row.modified, row.modified, 0, 0});
        } else if (row.how == Write::Put || row.how == Write::PutReadOnly) {
            auto file = ReplacementFile::Create(files, target);
            if (file)
                file->SetReadOnly(row.how == Write::PutReadOnly);
            done = file && file->Write(row.written) && file->Finish();
        } else {
            const FileStatus status{
                0, row.modified, row.modified, 0,
                static_cast<std::uint8_t>(row.how == Write::StatusReadOnly ? kAttributeReadOnly : 0)};
            done = pelmo::SetStatus(files, target, status);
        }
        std::string kind = "(not staged)";
        for (const PlannedChange& change : stage->Plan())
            if (change.target == (c / "u" / name).string())
                kind = change.kind == PlannedChange::Kind::Unchanged ? "unchanged" : "replaced";
        EXPECT_TRUE(done);
        EXPECT_EQ(kind + " " + ReadWholeFile(files, target).value_or("(none)"), row.expected);
        EXPECT_EQ(test::ReadHostFile(c / "u" / name), row.installed);
    }
    // An unchanged file leaves no work file, and a read-only target is refused, equal or not.
    test::WriteHostFile(c / "u" / "ro", "same");
    ::chmod((c / "u" / "ro").c_str(), 0444);
    test::WriteHostFile(c / "src" / "ro", "same");
    EXPECT_FALSE(CopyFile(files, "C:\\src\\ro", "C:\\u\\ro", ExistingTarget::Replace));
    stage->Discard();
    EXPECT_EQ(std::distance(fs::directory_iterator(c / "u"), {}), n + 1);
}

}  // namespace
}  // namespace pelmo
