// Tests of the archive library's command language: words, switches, the extract command.
#include "upgrade/command_line.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "upgrade/archive_library.h"
#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

using test::Sjis;

struct ParseRow {
    std::string title;
    std::string line;
    std::optional<ExtractRequest> expected;
};

std::vector<ParseRow> ParseRows()
{
    return {
        {"the program's own form", R"(e -mcwC:\windows "A:\DATA" "C:\KORIMU\")",
         ExtractRequest{R"(A:\DATA)", R"(C:\KORIMU\)"}},
        {"quoted paths keep their blanks", R"(e -mcwC:\windows "C:\Program Files\pkg\data.lzh" "C:\My Target")",
         ExtractRequest{R"(C:\Program Files\pkg\data.lzh)", R"(C:\My Target)"}},
        {"unquoted paths without blanks", R"(e C:\pkg\data C:\out\)", ExtractRequest{R"(C:\pkg\data)", R"(C:\out\)"}},
        {"upper-case command", R"(E "a" "b")", ExtractRequest{"a", "b"}},
        {"tabs and runs of blanks separate", "e\t-m  \"a\"\t\t\"b\"  ", ExtractRequest{"a", "b"}},
        {"switches after the paths", R"(e "a" -x1 "b" -w)", ExtractRequest{"a", "b"}},
        {"a quoted leading dash is a path", R"(e "-a.lzh" "b")", ExtractRequest{"-a.lzh", "b"}},
        {"quotes inside a word join its parts", R"(e C:\"My Docs"\a.lzh b)",
         ExtractRequest{R"(C:\My Docs\a.lzh)", "b"}},
        {"trail byte 0x5C before a closing quote", Sjis(R"(e "C:\ソ\表" "C:\ソ")"),
         ExtractRequest{Sjis(R"(C:\ソ\表)"), Sjis(R"(C:\ソ)")}},
        {"empty line", "", std::nullopt},
        {"blanks only", "  \t ", std::nullopt},
        {"other command", R"(x "a" "b")", std::nullopt},
        {"command word too long", R"(ex "a" "b")", std::nullopt},
        {"switch where the command belongs", R"(-e "a" "b")", std::nullopt},
        {"missing target", R"(e -mcwC:\windows "C:\pkg\data")", std::nullopt},
        {"missing archive and target", "e -mcwC:\\windows", std::nullopt},
        {"unclosed quote", R"(e "C:\pkg\data "C:\out)", std::nullopt},
        {"unquoted path with a blank makes a third path", R"(e C:\My Docs\a.lzh C:\out)", std::nullopt},
        {"empty quoted archive", R"(e "" "C:\out")", std::nullopt},
        {"empty quoted target", R"(e "C:\a" "")", std::nullopt},
    };
}

TEST(ExtractCommand, ParsesArchiveAndTargetOrRejectsTheLine)
{
    for (const ParseRow& row : ParseRows()) {
        SCOPED_TRACE(row.title);
        const auto parsed = ParseExtractCommand(row.line);
        ASSERT_EQ(parsed.has_value(), row.expected.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->archive, row.expected->archive);
            EXPECT_EQ(parsed->targetFolder, row.expected->targetFolder);
        }
    }
}

TEST(ExtractCommand, SplitsSwitchesFromPaths)
{
    const auto words = SplitCommandLine(R"(e -mcwC:\windows "C:\a b" -x)");
    ASSERT_TRUE(words.has_value());
    ASSERT_EQ(words->size(), 4u);
    const std::vector<std::pair<std::string, bool>> expected = {
        {"e", false}, {R"(mcwC:\windows)", true}, {R"(C:\a b)", false}, {"x", true}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*words)[i].text, expected[i].first) << i;
        EXPECT_EQ((*words)[i].isSwitch, expected[i].second) << i;
    }
}

TEST(ExtractCommand, BuildsTheProgramsFormat)
{
    EXPECT_EQ(BuildExtractCommand(R"(C:\windows)", R"(A:\START1)", R"(C:\KORIMU\)"),
              R"(e -mcwC:\windows "A:\START1" "C:\KORIMU\")");
    EXPECT_EQ(BuildExtractCommand(R"(C:\windows)", Sjis(R"(C:\sys\音声\wave)"), Sjis(R"(C:\音声)")),
              Sjis(R"(e -mcwC:\windows "C:\sys\音声\wave" "C:\音声")"));
}

TEST(ExtractCommand, LongPathsSurviveBuildingAndParsing)
{
    // Far beyond the 255 bytes of the program's own buffers.
    const std::string archive = "C:\\" + std::string(300, 'a') + "\\" + Sjis(std::string(100, 'x') + "ソフト");
    const std::string target = "C:\\" + std::string(400, 'b') + "\\";
    const auto parsed = ParseExtractCommand(BuildExtractCommand("C:\\windows", archive, target));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->archive, archive);
    EXPECT_EQ(parsed->targetFolder, target);
}

}  // namespace
}  // namespace pelmo
