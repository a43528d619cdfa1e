// The string catalogue converts whole and keeps the byte lengths the files rely on.
#include <gtest/gtest.h>

#include "res/strings.h"

namespace pelmo {
namespace {

TEST(Catalogue, ConvertsWholeAndKeepsTheHalfWidthKeyLengths)
{
    for (int i = 0; i < static_cast<int>(Text::Count); ++i)
        EXPECT_FALSE(GetText(static_cast<Text>(i)).empty()) << GetTextUtf8(static_cast<Text>(i));
    // Half-width katakana take one byte each in code page 932.
    EXPECT_EQ(GetText(Text::KeyDigitizer).size(), 8u);
    EXPECT_EQ(GetText(Text::KeyDigitizerMst).size(), 11u);
    EXPECT_EQ(GetText(Text::DigitizerSuffix).size(), 12u);
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

}  // namespace
}  // namespace pelmo
