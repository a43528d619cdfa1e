// The string catalogue converts whole and keeps the byte lengths the files rely on.
#include <gtest/gtest.h>

#include "res/strings.h"

namespace pelmo {
namespace {

TEST(Catalogue, EveryEntryConvertsToCodePage932)
{
    for (int i = 0; i < static_cast<int>(Text::Count); ++i)
        EXPECT_FALSE(GetText(static_cast<Text>(i)).empty()) << GetTextUtf8(static_cast<Text>(i));
}

TEST(Catalogue, HalfWidthKatakanaKeysHaveTheirByteLengths)
{
    EXPECT_EQ(GetText(Text::KeyDigitizer), "\xC3\xDE\xBC\xDE\xC0\xB2\xBB\xDE");
    EXPECT_EQ(GetText(Text::KeyDigitizer).size(), 8u);
    EXPECT_EQ(GetText(Text::KeyDigitizerMst).size(), 11u);
    EXPECT_EQ(GetText(Text::DigitizerSuffix).size(), 12u);
    EXPECT_EQ(GetText(Text::VoiceArchive), "\x89\xB9\x90\xBA\\wave");
}

TEST(Catalogue, FormatsWithoutAFixedBuffer)
{
    std::string longPath(600, 'x');
    std::string text = FormatText(Text::UpdateFailed, longPath);
    EXPECT_EQ(text.substr(0, 600), longPath);
    EXPECT_EQ(text.substr(600), GetText(Text::UpdateFailed).substr(2));
    EXPECT_EQ(FormatText(Text::InsertDisk, "2").substr(0, 2), "2 ");
}

}  // namespace
}  // namespace pelmo
