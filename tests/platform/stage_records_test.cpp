// The staging record and the journal as a power cut may leave them: whole, cut
// short, or with bytes that never reached the disk (zeros, or what was there before).
#include <gtest/gtest.h>

#include "platform/stage/stage_journal.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo::stage {
namespace {

// A name with every byte that is escaped, a ready-made escape, and code page 932
// characters (ソ ends in '\').
const std::string kOdd = "/SYS/100%\t\r\n/\x83\x5c\x83\x74\x83\x67 %41.DAT";

std::string Describe(const std::optional<Journal>& journal)
{
    if (!journal)
        return "(none)";
    std::string out = journal->runId + "|" + std::to_string(journal->committed) + "|" + journal->package;
    for (const Rename& r : journal->renames)
        out += "|" + r.work + ">" + r.target + " " + std::to_string(r.size) + " " + std::to_string(r.checksum) + " " +
               r.backup + (r.backupIsCopy ? " copy " : " link ") + std::to_string(r.backupSize) + " " +
               std::to_string(r.backupChecksum);
    for (const std::string& folder : journal->madeFolders)
        out += "|made " + folder;
    return out;
}

TEST(StageRecords, AJournalIsReadBackExactlyOrNotAtAll)
{
    const Journal journal{"r1",
                          {{kOdd + ".w", kOdd, 7, 4294967295u, "0001", true, 18446744073709551615ull, 1},
                           {"/SYS/.pelmo-r1-a", "/SYS/NEW/A.TXT", 0, 0, "", false, 0, 0}},
                          {"/SYS/NEW", kOdd},
                          1765000000,
                          "A:\\%\x83\x5c"};
    test::TempDir dir;
    ASSERT_TRUE(WriteJournal(dir.path() / "JOURNAL", journal));
    EXPECT_FALSE(WriteJournal(dir.path() / "missing" / "JOURNAL", journal)) << "a journal it cannot make";
    const std::string text = test::ReadHostFile(dir.path() / "JOURNAL");
    const std::string whole = Describe(journal);
    EXPECT_EQ(Describe(ReadJournal(dir.path() / "JOURNAL")), whole);

    for (std::size_t length = 0; length < text.size(); ++length)
        EXPECT_EQ(Describe(ParseJournal(text.substr(0, length))), "(none)") << "cut to " << length;
    for (std::size_t at = 0; at < text.size(); ++at) {
        for (const char torn : {'\0', static_cast<char>(text[at] ^ 1)}) {
            std::string damaged = text;
            damaged[at] = torn;
            EXPECT_EQ(Describe(ParseJournal(damaged)), "(none)") << "byte " << at << " torn";
        }
    }
    // An earlier Pelmo ended its journal with the count alone.
    const std::size_t sum = text.rfind('\t');
    EXPECT_EQ(Describe(ParseJournal(text.substr(0, sum) + "\n")), whole);
}

TEST(StageRecords, AStagingRecordNamesOnlyWhatItWasGiven)
{
    const std::vector<std::string> folders = {"/SYS", kOdd, "/SYS/DOC"};
    std::string text = RecordHeader("r1");
    for (std::size_t i = 0; i < folders.size(); ++i)
        text += RecordLine(i == 1 ? "made" : "folder", folders[i]);
    test::TempDir dir;
    const fs::path file = dir.path() / "STAGING";
    auto read = [&](const std::string& bytes) {
        test::WriteHostFile(file, bytes);
        return ReadRecord(file);
    };
    const std::optional<Record> whole = read(text);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->runId, "r1");
    EXPECT_EQ(whole->folders, (std::vector<std::string>{"/SYS", "/SYS/DOC"}));
    EXPECT_EQ(whole->madeFolders, std::vector<std::string>{kOdd});

    // Cut short or torn, the record may name less, never a folder it was not given.
    auto expectSubset = [&](const std::optional<Record>& record, const std::string& what) {
        if (!record)
            return;
        EXPECT_EQ(record->runId, "r1") << what;
        for (const auto* list : {&record->folders, &record->madeFolders})
            for (const std::string& folder : *list)
                EXPECT_NE(std::find(folders.begin(), folders.end(), folder), folders.end()) << what;
    };
    for (std::size_t length = 0; length < text.size(); ++length)
        expectSubset(read(text.substr(0, length)), "cut to " + std::to_string(length));
    for (std::size_t at = 0; at < text.size(); ++at) {
        std::string damaged = text;
        damaged[at] = '\0';
        expectSubset(read(damaged), "byte " + std::to_string(at) + " zero");
    }
}

}  // namespace
}  // namespace pelmo::stage
