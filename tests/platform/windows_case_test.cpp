// Windows' upper-case table where it parts from Unicode's: registry names and the NTFS
// listing order keep each letter below apart from the capital Unicode gives it.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/registry_file.h"
#include "platform/text.h"
#include "tests/support/test_machine.h"

namespace pelmo {
namespace {

struct Pair {
    char32_t letter, capital;
    bool equal;  // one name under Windows' table
};

const Pair kPairs[] = {
    // The BMP letters whose Unicode capital does not lower-case back to them, one
    // of each kind: the titlecase digraphs (ǅ, ǈ, ǋ, ǲ), the Greek symbol forms
    // (ϐ, ϑ, ϕ, ϖ, ϰ, ϱ, ϵ) and the old Cyrillic forms (U+1C80 to U+1C88) each
    // take the same way through the rule.
    {u'µ', u'Μ', false},
    {u'ı', u'I', false},
    {u'ſ', u'S', false},
    {u'ǅ', u'Ǆ', false},
    {0x0345, u'Ι', false},
    {u'ς', u'Σ', false},
    {u'ϐ', u'Β', false},
    {0x1C80, u'В', false},
    {0x1C87, 0x0462, false},
    {u'ẛ', u'Ṡ', false},
    {0x1FBE, u'Ι', false},
    // The table is indexed by UTF-16 code unit: no letter beyond the BMP folds.
    {U'𐐨', U'𐐀', false},
    // Letters that do fold, beside them.
    {u's', u'S', true},
    {u'é', u'É', true},
    {u'σ', u'Σ', true},
    {u'ǆ', u'Ǆ', true},
    {u'ж', u'Ж', true},
    {u'ａ', u'Ａ', true},
};

std::u16string Utf16(char32_t c)
{
    std::u16string text;
    AppendUtf16(c, text);
    return text;
}

std::string Utf8(char32_t c)
{
    return Utf16ToUtf8(Utf16(c));
}

std::string Escaped(char32_t c)
{
    std::string escaped;
    char unit[8];
    for (char16_t u : Utf16(c)) {
        std::snprintf(unit, sizeof unit, "\\x%04x", static_cast<unsigned>(u));
        escaped += unit;
    }
    return escaped;
}

TEST(WindowsCase, RegistryNamesFoldByWindowsTable)
{
    for (const Pair& pair : kPairs) {
        SCOPED_TRACE(Utf8(pair.letter) + " " + Utf8(pair.capital));
        const std::string letter = Escaped(pair.letter), capital = Escaped(pair.capital);
        const Registry registry =
            Registry::Parse("WINE REGISTRY Version 2\n[Software\\\\Test] 1\n\"" + letter + "\"=\"small\"\n\"" +
                            capital + "\"=\"capital\"\n[Software\\\\Test\\\\" + letter +
                            "] 1\n\"v\"=\"small\"\n[Software\\\\Test\\\\" + capital + "] 1\n\"v\"=\"capital\"\n");
        const auto* values = registry.FindKey("Software\\Test");
        ASSERT_NE(values, nullptr);
        auto value = [&](char32_t name) {
            const auto found = values->find(LookupName(Utf16(name)));
            return found == values->end() ? "(none)" : Utf16ToUtf8(found->second.text);
        };
        auto subkey = [&](char32_t name) {
            const auto* key = registry.FindKey("Software\\Test\\" + Utf8(name));
            return key && key->count("V") ? Utf16ToUtf8(key->at("V").text) : "(none)";
        };
        if (pair.equal) {
            EXPECT_EQ(values->size(), 1u);
            EXPECT_EQ(value(pair.letter), value(pair.capital));
            EXPECT_EQ(subkey(pair.letter), subkey(pair.capital));
        } else {
            EXPECT_EQ(value(pair.letter) + " " + value(pair.capital), "small capital");
            EXPECT_EQ(subkey(pair.letter) + " " + subkey(pair.capital), "small capital");
        }
    }
}

// A folder holds the letter and the capital, each followed by 'a' or 'b' so that the
// 'a' name comes first only when the two fold to one letter.
TEST(WindowsCase, NtfsListingOrderFoldsByWindowsTable)
{
    test::TestMachine setup;
    for (std::size_t i = 0; i < std::size(kPairs); ++i) {
        const Pair& pair = kPairs[i];
        const bool smallFirst = pair.letter < pair.capital;
        const auto folder = setup.driveC() / ("p" + std::to_string(i));
        test::WriteHostFile(folder / (Utf8(pair.letter) + (smallFirst ? "b" : "a")), "");
        test::WriteHostFile(folder / (Utf8(pair.capital) + (smallFirst ? "a" : "b")), "");
    }
    const Machine machine = setup.Load();
    for (std::size_t i = 0; i < std::size(kPairs); ++i) {
        SCOPED_TRACE(Utf8(kPairs[i].letter) + " " + Utf8(kPairs[i].capital));
        std::string ends;
        for (const FoundFile& found : FindFiles(DiskView(machine), "C:\\p" + std::to_string(i) + "\\*"))
            if (!found.isFolder)
                ends += found.name.back();
        EXPECT_EQ(ends, kPairs[i].equal ? "ab" : "ba");
    }
}

}  // namespace
}  // namespace pelmo
