// File services on Windows-form paths, in order on one machine.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/host/host_file.h"
#include "platform/host/owned_file.h"
#include "platform/streams.h"
#include "platform/text.h"
#include "tests/support/faults.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo {
namespace {

enum class Op { Access, MkDir, Copy, CopyIfNew, CopyFull, Stat, SetStatus, Find, Read, Lines, Put, Drop, Pieces, Open, WStat,
                Replace, WDrop };
using enum Op;
// Every row reads and writes through one stage, as a run does.
// Access gives modes 0, 2, 4 and 6; Copy: arg is the target; CopyFull fails each write point of a copy in turn; SetStatus: the attribute; Lines: the file; Put, Drop
// (ReplacementFile) and Replace, WDrop (FolderWriter of C:\out). Replace writes the name into the file and gives
// the file that the view names afterwards, with its content.
struct Row { const char* name; Op op; std::string path, expected, arg = ""; };

// ro.txt holds "read-only", has no write bits and was last written at 981173106.
// Status is "size attribute time"; found folders end in '/'; each line read ends in '|'.
const std::string kPiece(16 * 1024 - 1, 'a');  // the reader reads 16 KiB at a time
const std::string kBig(3 * 16 * 1024, 'g');

const Row kRows[] = {
    {"a folder with a trailing backslash", Access, "C:\\dir\\", "0 0 0 0"}, {"a drive", Access, "C:", "0 0 0 0"},
    {"a folder with a trailing slash", Access, "C:\\dir/", "0 0 0 0"}, {"nothing", Access, "", "-1 -1 -1 -1"},
    {"a file with a trailing backslash", Access, "C:\\dir\\file.txt\\", "-1 -1 -1 -1"},
    {"an unmapped drive", Access, "Q:", "-1 -1 -1 -1"}, {"a read-only file", Access, "C:\\ro.txt", "0 -1 0 -1"},
    {"mkdir makes one level", MkDir, "C:\\dir\\new", "0"}, {"not twice", MkDir, "C:\\dir\\new", "-1"},
    {"nor two levels", MkDir, "C:\\a\\b", "-1"}, {"a missing file has no status", Stat, "C:\\missing", ""},
    {"a read-only file", Stat, "C:\\ro.txt", "9 21 981173106"}, {"a folder", Stat, "C:\\dir", "10"},
    {"a copy to a new target takes read-only and the time", Copy, "C:\\ro.txt", "1", "C:\\dir\\copy.txt"},
    {"the new copy", Stat, "C:\\dir\\copy.txt", "9 21 981173106"},
    {"a read-only target is refused, even for root", Copy, "C:\\dir\\file.txt", "0", "C:\\dir\\copy.txt"},
    {"a target in other letter case is replaced", Copy, "C:\\ro.txt", "1", "C:\\dir\\foo.exe"},
    {"and stays writable", Stat, "C:\\dir\\FOO.EXE", "9 20 981173106"},
    {"an existing target is kept when asked", CopyIfNew, "C:\\dir\\file.txt", "0", "C:\\dir\\FOO.EXE"},
    {"a missing source", Copy, "C:\\missing", "0", "C:\\dir\\x"}, {"a folder", Copy, "C:\\dir", "0", "C:\\x"},
    {"a missing target folder", Copy, "C:\\dir\\file.txt", "0", "C:\\nofolder\\x"},
    {"a target below a file", Copy, "C:\\dir\\file.txt", "0", "C:\\ro.txt\\x"},
    {"a source on an unmapped drive", Copy, "Q:\\x", "0", "C:\\x"},
    {"a target on an unmapped drive", Copy, "C:\\dir\\file.txt", "0", "Q:\\x"},
    {"a full disk fails a copy and keeps the target", CopyFull, "C:\\big.bin", "1", "C:\\full\\t.bin"},
    {"copies leave no work files", Find, "C:\\dir\\*", "./ ../ copy.txt file.txt FOO.EXE new/"},
    {"attribute 0 makes a file writable", SetStatus, "C:\\dir\\copy.txt", "1", "0"},
    {"with the times set", Stat, "C:\\dir\\copy.txt", "9 20 1000000000"},
    {"attribute 1 makes it read-only", SetStatus, "C:\\dir\\file.txt", "1", "1"},
    {"the status set", Stat, "C:\\dir\\file.txt", "7 21 1000000000"},
    {"a missing file's status is not set", SetStatus, "C:\\missing", "0", "0"},
    {"'?' is one character", Find, "C:\\m\\zai???-3.mst", "zai123-3.mst ZAI456-3.MST zai999-3.mst/"},
    {"letter case folds", Find, "C:\\M\\ZAI???-3.MST", "zai123-3.mst ZAI456-3.MST zai999-3.mst/"},
    {"'?' is not two characters", Find, "C:\\m\\zai??-3.mst", "zai12-3.mst"},
    {"no 8.3 names", Find, "C:\\m\\*.mst", "zai12-3.mst zai123-3.mst zai1234-3.mst ZAI456-3.MST zai999-3.mst/"},
    {"no match", Find, "C:\\m\\nothing?", ""}, {"a missing folder", Find, "C:\\missing\\*", ""},
    {"'*.*' is every name, sorted by upper-cased UTF-16", Find, "C:\\s\\*.*",
     "./ ../ X-1 x.1 x1 xa1 xB1 xZ1 x_1 x~1 x① xあ xア xａ xｱ"},
    {"'?' is one Japanese character", Find, "C:\\s\\x?", "x1 x① xあ xア xａ xｱ"},
    {"a name code page 932 cannot express", Find, "C:\\e\\*", "./ ../ a?.txt"},
    {"cannot be opened", Access, "C:\\e\\a?.txt", "-1 -1 -1 -1"},
    {"CRLF and LF end lines", Lines, "", "a|b|c|", "a\r\nb\nc"}, {"an empty file", Lines, "", ""},
    {"empty lines stay", Lines, "", "|||", "\n\r\n\n"}, {"a lone CR is data", Lines, "", "a\rb|", "a\rb\n"},
    {"Ctrl-Z ends the input", Lines, "", "a|b|", "a\nb\x1a" "c\nd\n"}, {"even first", Lines, "", "a|", "a\n\x1a" "b\n"},
    {"NUL bytes are data", Lines, "", std::string("a\0b|", 4), std::string("a\0b\n", 4)},
    {"LF as the last byte of a piece", Lines, "", kPiece + "|b|", kPiece + "\nb\n"},
    {"CR and LF on both sides of an edge", Lines, "", kPiece + "|b|", kPiece + "\r\nb"},
    {"LF as the first byte of a piece", Lines, "", kPiece + "c|d|", kPiece + "c\nd"},
    {"Ctrl-Z in a later piece", Lines, "", kPiece + "|" + kBig + "|", kPiece + "\n" + kBig + "\x1a" + "f\n"},
    {"Ctrl-Z right before an LF", Lines, "", kPiece + "|i|", kPiece + "\ni\x1a\nj\n"},
    {"Ctrl-Z as the last byte", Lines, "", kPiece + "|k|", kPiece + "\nk\x1a"},
    {"a line over three pieces", Lines, "", kBig + "|next|", kBig + "\r\nnext"},
    {"a folder is not read", Lines, "C:\\dir", "(none)"},
    {"a replacement dropped is closed and gone", Drop, "C:\\m\\zai12-3.mst", "closed"},
    {"a replacement finished", Put, "C:\\m\\zai12-3.mst", "1"},
    {"replaces the file whole", Read, "C:\\m\\zai12-3.mst", "new"},
    {"'*' lists . and .. first, and no work file is left", Find, "C:\\m\\*",
     "./ ../ zai12-3.mst zai123-3.mst zai123-3.mst.bak zai1234-3.mst ZAI456-3.MST zai999-3.mst/ zaiabc-3.mstx"},
    {"pieces of any size around the 32 KiB write buffer arrive in order", Pieces, "C:\\pieces.bin", "1"},
    {"no replacement in a missing folder", Put, "C:\\nofolder\\a.mst", "(none)"},
    {"nor with a name below a file", Put, "C:\\ro.txt\\x.mst", "(none)"},
    {"whose target stays", Read, "C:\\ro.txt", "read-only"}, {"no writer for nothing", Open, "", "0"},
    {"nor a missing folder", Open, "C:\\nofolder", "0"}, {"nor a file", Open, "C:\\ro.txt", "0"},
    {"a writer knows a read-only file", WStat, "locked.dat", "3 21"}, {"and a folder", WStat, "SUB", "10"},
    {"and what is missing", WStat, "missing.dat", ""}, {"and no name", WStat, "", ""},
    {"a new name as written", Replace, "New.Dat", "New.Dat=New.Dat"},
    {"a writer sees what it wrote", Replace, "NEW.DAT", "New.Dat=NEW.DAT"},
    {"an exact match", Replace, "FOO.EXE", "FOO.EXE=FOO.EXE"},
    {"a match in other letter case", Replace, "foo.exe", "FOO.EXE=foo.exe"},
    {"an exact match wins over the first fold", Replace, "a.txt", "a.txt=a.txt"},
    {"else the first fold in name order", Replace, "b.txt", "B.txt=b.txt"},
    {"full-width letters fold", Replace, "ａｂｃ.TXT", "ＡＢＣ.txt=ａｂｃ.TXT"},
    {"kana do not fold", Replace, "ｱ.TXT", "ｱ.TXT=ｱ.TXT"},
    {"a writer's replacement dropped", WDrop, "keep.dat", "closed"},
    {"leaves the old file", Read, "C:\\out\\KEEP.DAT", "old"},
    {"and no work file", Find, "C:\\out\\.*", "./ ../"}, {"nor one left behind", Find, "C:\\out\\t*", ""},
};

long OpenFiles() { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); }

std::string Apply(StagedView& files, const fs::path& c, std::optional<FolderWriter>& writer, const Row& row)
{
    FileStatus status;
    std::string result;
    const long opened = OpenFiles();
    switch (row.op) {
    case Access:
        for (int mode : {0, 2, 4, 6})
            result += std::to_string(pelmo::Access(files, row.path, mode)) + (mode < 6 ? " " : "");
        return result;
    case MkDir: return std::to_string(pelmo::MkDir(files, row.path));
    case Copy: return std::to_string(CopyFile(files, row.path, row.arg, ExistingTarget::Replace));
    case CopyIfNew: return std::to_string(CopyFile(files, row.path, row.arg, ExistingTarget::Fail));
    case CopyFull:  // some points never fail (chmod, fsync): then the copy must be whole
        for (int point = 1;; ++point) {
            test::TestStage fresh(files.machine());
            test::FaultScope full({.root = c, .noSpaceAt = point});
            const bool copied = CopyFile(fresh, row.path, row.arg, ExistingTarget::Replace);
            // The target stays; a copy that fails leaves no work file beside it.
            if (ReadWholeFile(fresh.view(), row.arg) != (copied ? ReadWholeFile(fresh.view(), row.path) : "old") ||
                test::ReadHostFile(c / "full" / "t.bin") != "old" ||
                std::distance(fs::directory_iterator(c / "full"), {}) != (copied ? 2 : 1))
                return "point " + std::to_string(point) + " lost the target";
            if (full.writePoints() < point)  // no fault reached: the copy ran whole
                return std::to_string(copied);
            test::WriteHostFile(c / "full" / "t.bin", "old");
        }
    case Read: return ReadWholeFile(files, row.path).value_or("(none)");
    case Open: return std::to_string(FolderWriter::Open(files, row.path).has_value());
    case SetStatus:
        status = {0, 1000000000, 1000000000, 0, static_cast<std::uint8_t>(std::stoi(row.arg))};
        return std::to_string(pelmo::SetStatus(files, row.path, status));
    case Stat:
    case WStat: {
        if (!(row.op == Stat ? GetStatus(files, row.path, status) : writer->GetStatus(row.path, status)))
            return "";
        char attribute[3];
        std::snprintf(attribute, sizeof attribute, "%02x", status.attribute);
        if (status.attribute == kAttributeFolder)
            return "10";
        return std::to_string(status.size) + " " + attribute + (row.op == Stat ? " " + std::to_string(status.modified) : "");
    }
    case Find:
        for (const FoundFile& found : FindFiles(files, row.path))
            result += (result.empty() ? "" : " ") + found.name + (found.isFolder ? "/" : "");
        return Cp932ToUtf8Lossy(result);
    case Lines: {
        test::WriteHostFile(c / "t.txt", row.arg);
        auto file = InputFile::Open(files, row.path.empty() ? "C:\\t.txt" : row.path);
        if (!file)
            return "(none)";
        TextReader reader(std::move(*file));
        for (std::string line; reader.ReadLine(line);)
            result += line + "|";
        return result + (reader.failed() ? "failed" : "");
    }
    case Pieces: {
        auto file = ReplacementFile::Create(files, row.path);
        char fill = 'a';
        for (std::size_t size : {1, 186, 32767, 1, 32768, 5, 32769, 100000, 0, 3, 65536, 2}) {
            result += std::string(size, fill);
            file->Write(std::string(size, fill++));
        }
        return std::to_string(file->Finish() && ReadWholeFile(files, row.path) == result);
    }
    case Put:
    case Drop: {
        auto file = ReplacementFile::Create(files, row.path);
        if (!file || !file->Write("new"))
            return "(none)";
        if (row.op == Put)
            return std::to_string(file->Finish());
        break;
    }
    case Replace:
    case WDrop: {
        auto file = writer->Replace(test::Sjis(row.path));
        if (!file)
            return "(none)";
        file->Write(row.op == Replace ? row.path : std::string(100000, 'n'));
        if (row.op == WDrop)
            break;
        if (!file->Finish())
            return "(not finished)";
        const std::string path = "C:\\out\\" + test::Sjis(row.path);
        return files.ToHost(path)->filename().string() + "=" + ReadWholeFile(files, path).value_or("(none)");
    }
    }
    return OpenFiles() == opened ? "closed" : "left open";
}

TEST(Files, AnswerAsWindowsDoes)
{
    test::TestMachine setup;
    const fs::path c = setup.driveC();
    for (const char* name : {"dir/file.txt", "dir/FOO.EXE", "ro.txt", "m/zai123-3.mst", "m/ZAI456-3.MST", "m/zai12-3.mst",
                             "m/zai1234-3.mst", "m/zai123-3.mst.bak", "m/zaiabc-3.mstx", "s/xZ1", "s/x~1", "s/x.1", "s/xａ",
                             "s/xア", "s/xB1", "s/X-1", "s/x1", "s/xあ", "s/xa1", "s/x_1", "s/x①", "s/xｱ", "e/a😀.txt",
                             "out/LOCKED.DAT", "out/KEEP.DAT", "out/FOO.EXE", "out/A.TXT", "out/a.txt", "out/b.TXT",
                             "out/B.txt", "out/ＡＢＣ.txt", "out/ア.TXT"})
        test::WriteHostFile(c / name, "old");
    test::WriteHostFile(c / "dir" / "file.txt", "content");
    test::WriteHostFile(c / "ro.txt", "read-only");
    test::WriteHostFile(c / "full" / "t.bin", "old");
    test::WriteHostFile(c / "big.bin", kBig + kBig);
    const timespec times[2] = {{981173106, 0}, {981173106, 0}};
    ::utimensat(AT_FDCWD, (c / "ro.txt").c_str(), times, 0);
    for (const char* name : {"ro.txt", "out/LOCKED.DAT"})
        ::chmod((c / name).c_str(), 0444);
    fs::create_directories(c / "m" / "zai999-3.mst");
    fs::create_directories(c / "out" / "Sub");
    fs::create_symlink(c / "ro.txt", c / "link.txt");
    const Machine machine = setup.Load();
    test::TestStage staged(machine);
    std::optional<FolderWriter> writer = FolderWriter::Open(staged, "C:\\OUT\\");
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Apply(staged, c, writer, row), row.expected);
    }
}

// One syncfs where it reaches the disk; a flush of each file on FUSE, network and unknown file systems.
TEST(Files, FlushEachFileUnlessSyncfsReachesTheDisk)
{
    using enum host::FlushWay;
    const std::pair<unsigned long, host::FlushWay> rows[] = {
        {EXT4_SUPER_MAGIC, WholeFileSystem}, {XFS_SUPER_MAGIC, WholeFileSystem}, {BTRFS_SUPER_MAGIC, WholeFileSystem},
        {F2FS_SUPER_MAGIC, WholeFileSystem}, {TMPFS_MAGIC, WholeFileSystem},     {FUSE_SUPER_MAGIC, EachFile},
        {NFS_SUPER_MAGIC, EachFile},         {CIFS_SUPER_MAGIC, EachFile},       {SMB2_SUPER_MAGIC, EachFile},
        {OVERLAYFS_SUPER_MAGIC, EachFile},   {MSDOS_SUPER_MAGIC, EachFile},      {0, EachFile}};
    for (const auto& [type, way] : rows)
        EXPECT_EQ(host::FlushWayFor(type), way) << std::hex << type;
    EXPECT_EQ(host::FlushWayOf(-1), EachFile);
    const host::FileDescriptor shm(::open("/dev/shm", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_EQ(host::FlushWayOf(shm.get()), WholeFileSystem);  // tmpfs: f_type read right
}

}  // namespace
}  // namespace pelmo
