// Tests of the installed folder read from the product's Uninstall entry.
#include "upgrade/uninstall_entry.h"

#include <gtest/gtest.h>

#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

using test::Sjis;

struct ParseRow {
    const char* value;  // UTF-8
    int result;
    const char* folder;  // UTF-8; the value itself when the result is 0
};

void PrintTo(const ParseRow& row, std::ostream* out)
{
    *out << row.value;
}

class ParseUninstallStringTest : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseUninstallStringTest, KeepsTheDriveAndFolderOfTheFileAfterTheSwitch)
{
    std::string text = Sjis(GetParam().value);
    EXPECT_EQ(ParseUninstallString(text), GetParam().result);
    EXPECT_EQ(text, Sjis(GetParam().folder));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseUninstallStringTest,
    ::testing::Values(ParseRow{"A.EXE -fD:\\APP\\SUB\\LOG.DAT -c1", 1, "D:\\APP\\SUB\\"},
                      ParseRow{"A.EXE -fD:\\APP\\LOG.DAT", 1, "D:\\APP\\"},
                      ParseRow{"A.EXE -fD:\\LOG.DAT", 1, "D:\\"},
                      ParseRow{"A.EXE -fLOG.DAT", 1, ""},
                      ParseRow{"A.EXE /S", 0, "A.EXE /S"},
                      ParseRow{"A.EXE -FD:\\APP\\LOG.DAT", 0, "A.EXE -FD:\\APP\\LOG.DAT"},
                      ParseRow{"-fD:\\APP\\LOG.DAT", 0, "-fD:\\APP\\LOG.DAT"},
                      ParseRow{"A.EXE -fD:APP\\LOG.DAT", 1, "D:APP\\"},
                      ParseRow{"A.EXE -fD:/APP/LOG.DAT", 1, "D:/APP/"},
                      ParseRow{"A.EXE -f D:\\APP\\LOG.DAT", 1, " D:\\APP\\"},
                      ParseRow{"A.EXE -x -fD:\\A\\L -fE:\\B\\L", 1, "D:\\A\\"},
                      // A quote right after the switch goes with its closing quote,
                      // and a " -" inside the quotes is part of the path.
                      ParseRow{"A.EXE -f\"C:\\Program Files\\App\\LOG.DAT\" -c1", 1, "C:\\Program Files\\App\\"},
                      ParseRow{"A.EXE -f\"C:\\My -App\\LOG.DAT\"", 1, "C:\\My -App\\"},
                      ParseRow{"A.EXE -f\"C:\\APP\\LOG.DAT -c1", 1, "C:\\APP\\"},
                      ParseRow{"A.EXE -fC:\\A\"B\\LOG.DAT", 1, "C:\\A\"B\\"},
                      // 表 ends in the byte of a backslash, which is not a separator.
                      ParseRow{"A.EXE -fC:\\表\\表", 1, "C:\\表\\"},
                      ParseRow{"A.EXE -fC:\\ｺﾘﾑ\\ｼｽﾃﾑ\\UNINST.LOG -c", 1, "C:\\ｺﾘﾑ\\ｼｽﾃﾑ\\"},
                      // No 63-character limit: a long path comes back whole.
                      ParseRow{"U.EXE -fC:\\AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\\L", 1,
                               "C:\\AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\\"}));

constexpr const char* kHeader = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n";

std::string UninstallKey(const std::string& name, const std::string& values, bool wow = false)
{
    return std::string("[Software\\\\") + (wow ? "Wow6432Node\\\\" : "") +
           "Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" + name + "] 1700000000\n" + values + "\n";
}

std::string Value(const std::string& command)
{
    return "\"UninstallString\"=\"" + command + "\"\n";
}

struct FindRow {
    const char* name;
    std::string registry;  // after the header
    std::array<const char*, 5> productKeys;
    std::optional<std::string> folder;
};

void PrintTo(const FindRow& row, std::ostream* out)
{
    *out << row.name;
}

class FindUninstallFolderTest : public ::testing::TestWithParam<FindRow> {};

TEST_P(FindUninstallFolderTest, ProposesTheFolderOfTheFirstKeyThatExists)
{
    Registry registry = Registry::Parse(kHeader + GetParam().registry);
    std::array<std::string, 5> keys;
    for (std::size_t i = 0; i < keys.size(); ++i)
        keys[i] = Sjis(GetParam().productKeys[i]);
    std::optional<std::string> expected;
    if (GetParam().folder)
        expected = Sjis(*GetParam().folder);
    EXPECT_EQ(FindUninstallFolder(registry, keys), expected);
}

const std::string kApp = UninstallKey("KORIMU", Value("C:\\\\KORIMU\\\\UNINST.EXE -fC:\\\\KORIMU\\\\SYS\\\\UNINST.LOG -a"));
const std::string kOther = UninstallKey("OTHER", Value("C:\\\\OTHER\\\\UNINST.EXE -fD:\\\\OTHER\\\\UNINST.LOG"));

INSTANTIATE_TEST_SUITE_P(
    Rows, FindUninstallFolderTest,
    ::testing::Values(
        FindRow{"first_key", kApp + kOther, {"KORIMU", "OTHER", "", "", ""}, "C:\\KORIMU\\SYS"},
        FindRow{"key_names_fold_case", kApp, {"korimu", "", "", "", ""}, "C:\\KORIMU\\SYS"},
        FindRow{"missing_key_then_the_next", kOther, {"KORIMU", "OTHER", "", "", ""}, "D:\\OTHER"},
        FindRow{"last_of_five", kOther, {"A", "B", "C", "D", "OTHER"}, "D:\\OTHER"},
        FindRow{"null_first_tries_nothing", kApp, {"NULL", "KORIMU", "", "", ""}, std::nullopt},
        FindRow{"null_ends_the_list", kOther, {"KORIMU", "NULL", "OTHER", "", ""}, std::nullopt},
        FindRow{"lower_case_null_is_a_name", kOther, {"null", "OTHER", "", "", ""}, "D:\\OTHER"},
        FindRow{"a_key_without_the_value_ends_the_search",
                UninstallKey("KORIMU", "\"DisplayName\"=\"x\"\n") + kOther,
                {"KORIMU", "OTHER", "", "", ""},
                std::nullopt},
        FindRow{"a_value_that_is_not_text_ends_the_search",
                UninstallKey("KORIMU", "\"UninstallString\"=dword:00000001\n") + kOther,
                {"KORIMU", "OTHER", "", "", ""},
                std::nullopt},
        FindRow{"no_file_switch", UninstallKey("KORIMU", Value("C:\\\\KORIMU\\\\UNINST.EXE /S")),
                {"KORIMU", "", "", "", ""}, std::nullopt},
        FindRow{"drive_root", UninstallKey("KORIMU", Value("U.EXE -fD:\\\\U.LOG")), {"KORIMU", "", "", "", ""}, "D:"},
        FindRow{"no_folder", UninstallKey("KORIMU", Value("U.EXE -fU.LOG")), {"KORIMU", "", "", "", ""}, ""},
        FindRow{"slash_stays", UninstallKey("KORIMU", Value("U.EXE -fD:/APP/U.LOG")), {"KORIMU", "", "", "", ""},
                "D:/APP/"},
        FindRow{"quoted_path",
                UninstallKey("KORIMU", Value("U.EXE -f\\\"C:\\\\Program Files\\\\Korimu\\\\U.LOG\\\" -a")),
                {"KORIMU", "", "", "", ""},
                "C:\\Program Files\\Korimu"},
        FindRow{"japanese_key_and_folder",
                UninstallKey("\\xff7a\\xff98\\xff91", Value("U.EXE -fC:\\\\\\x8868\\\\U.LOG")),
                {"ｺﾘﾑ", "", "", "", ""},
                "C:\\表"},
        FindRow{"wow6432node_on_a_64_bit_machine",
                "#arch=win64\n" + UninstallKey("KORIMU", Value("U.EXE -fE:\\\\WOW\\\\U.LOG"), true) + kApp,
                {"KORIMU", "", "", "", ""},
                "E:\\WOW"},
        // 255 bytes fit the buffer the value was always read into; 256 do not.
        FindRow{"longest_readable_value",
                UninstallKey("KORIMU", Value("U.EXE -fC:\\\\" + std::string(238, 'A') + "\\\\U.LOG")),
                {"KORIMU", "", "", "", ""},
                "C:\\" + std::string(238, 'A')},
        FindRow{"a_value_too_long_proposes_nothing",
                UninstallKey("KORIMU", Value("U.EXE -fC:\\\\" + std::string(239, 'A') + "\\\\U.LOG")),
                {"KORIMU", "", "", "", ""},
                std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelmo
