// Tests of the pelmo command line.
#include "app/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace pelmo {
namespace {

std::optional<Options> Parse(std::vector<const char*> arguments, std::string& error)
{
    arguments.insert(arguments.begin(), "pelmo");
    return ParseOptions(static_cast<int>(arguments.size()), arguments.data(), error);
}

struct GoodRow {
    const char* name;
    std::vector<const char*> arguments;
    bool unattended;
    bool help;
    std::optional<std::string> target;
    std::optional<std::string> package;
    std::optional<std::string> machine;
};

void PrintTo(const GoodRow& row, std::ostream* out)
{
    *out << row.name;
}

class GoodOptionsTest : public ::testing::TestWithParam<GoodRow> {};

TEST_P(GoodOptionsTest, AreRead)
{
    std::string error;
    std::optional<Options> options = Parse(GetParam().arguments, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->unattended, GetParam().unattended);
    EXPECT_EQ(options->help, GetParam().help);
    EXPECT_EQ(options->target, GetParam().target);
    auto text = [](const std::optional<std::filesystem::path>& path) {
        return path ? std::optional<std::string>(path->string()) : std::nullopt;
    };
    EXPECT_EQ(text(options->package), GetParam().package);
    EXPECT_EQ(text(options->machine), GetParam().machine);
    EXPECT_EQ(error, "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GoodOptionsTest,
    ::testing::Values(
        GoodRow{"nothing", {}, false, false, {}, {}, {}},
        GoodRow{"unattended", {"--unattended"}, true, false, {}, {}, {}},
        GoodRow{"everything",
                {"--unattended", "--target", "C:\\KORIMU", "--package", "/media/fd", "--machine", "/srv/m"},
                true, false, "C:\\KORIMU", "/media/fd", "/srv/m"},
        GoodRow{"values_after_equals", {"--target=D:\\ｺﾘﾑ", "--unattended", "--machine=/m=x"}, true, false,
                "D:\\ｺﾘﾑ", {}, "/m=x"},
        GoodRow{"a_value_that_looks_like_an_option", {"--unattended", "--package", "--help"}, true, false, {},
                "--help", {}},
        GoodRow{"wizard_with_package", {"--package", "pkg"}, false, false, {}, "pkg", {}},
        GoodRow{"help", {"--help"}, false, true, {}, {}, {}},
        GoodRow{"help_with_target", {"--help", "--target", "C:"}, false, true, "C:", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BadRow {
    const char* name;
    std::vector<const char*> arguments;
    const char* error;
};

void PrintTo(const BadRow& row, std::ostream* out)
{
    *out << row.name;
}

class BadOptionsTest : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadOptionsTest, AreRefusedWithALineForTheUser)
{
    std::string error;
    EXPECT_FALSE(Parse(GetParam().arguments, error));
    EXPECT_EQ(error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BadOptionsTest,
    ::testing::Values(
        BadRow{"unknown", {"--bogus"}, "pelmo: unknown option --bogus"},
        BadRow{"single_dash", {"-u"}, "pelmo: unknown option -u"},
        BadRow{"a_bare_argument", {"--unattended", "C:\\KORIMU"}, "pelmo: unknown option C:\\KORIMU"},
        BadRow{"a_flag_with_a_value", {"--unattended=yes"}, "pelmo: unknown option --unattended=yes"},
        BadRow{"missing_value_at_the_end", {"--unattended", "--target"}, "pelmo: --target needs a value"},
        BadRow{"empty_value", {"--package", ""}, "pelmo: --package needs a value"},
        BadRow{"empty_value_after_equals", {"--machine="}, "pelmo: --machine needs a value"},
        BadRow{"repeated_flag", {"--unattended", "--unattended"}, "pelmo: --unattended given more than once"},
        BadRow{"repeated_value", {"--package", "a", "--package=b"}, "pelmo: --package given more than once"},
        BadRow{"target_for_the_wizard", {"--target", "C:\\KORIMU"},
               "pelmo: --target is only for --unattended; the wizard asks for the folder"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pelmo
