// The string catalogue: every text converts whole, formats at any length, and names the options the manual names.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "res/strings.h"

namespace pelmo {
namespace {

TEST(Catalogue, EveryTextConvertsWhole)
{
    for (int i = 0; i < static_cast<int>(Text::Count); ++i)
        EXPECT_FALSE(GetText(static_cast<Text>(i)).empty()) << GetTextUtf8(static_cast<Text>(i));
}

TEST(Catalogue, FormatsWithoutAFixedBuffer)
{
    const std::string longPath(600, 'x');
    EXPECT_EQ(FormatText(Text::UpdateFailed, longPath), longPath + GetText(Text::UpdateFailed).substr(2));
    EXPECT_EQ(FormatText(Text::InsertDisk, "2").substr(0, 2), "2 ");
    const std::string& notFound = GetText(Text::ArchiveNotFound);  // the argument comes last
    EXPECT_EQ(FormatText(Text::ArchiveNotFound, "A"), notFound.substr(0, notFound.size() - 2) + "A");
    EXPECT_EQ(FormatTextUtf8(Text::CliNoPackage, longPath), "pelmo: no info.txt in " + longPath);
}

// Every option and mode word of one text: "--name", and "check" after "pelmo ".
std::set<std::string> OptionsNamed(const std::string& text)
{
    std::set<std::string> names;
    const std::regex option(R"((--[a-z][a-z-]*)|pelmo\*? (check))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        names.insert((*it)[1].matched ? (*it)[1].str() : (*it)[2].str());
    return names;
}

TEST(Catalogue, TheUsageAndTheManualNameTheSameOptions)
{
    std::ifstream file(PELMO_MANUAL);
    std::stringstream manual;
    manual << file.rdbuf();
    ASSERT_FALSE(manual.str().empty());
    const std::set<std::string> usage = OptionsNamed(GetTextUtf8(Text::CliUsage));
    EXPECT_TRUE(usage.contains("check") && usage.contains("--version"));
    EXPECT_EQ(OptionsNamed(manual.str()), usage);
}

}  // namespace
}  // namespace pelmo
