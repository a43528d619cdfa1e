// Letter case by rule: each rule is written once, on code points.
#include "platform/letter_case.h"

#include <locale.h>

#include <cwctype>

#include "platform/text.h"

namespace pelmo {
namespace {

char32_t AsciiUpper(char32_t c)
{
    return c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c;
}

char32_t FullWidthLatinUpper(char32_t c)
{
    return c >= 0xFF41 && c <= 0xFF5A ? c - 0x20 : c;
}

// The double-byte lower-case letters of code page 932 beyond full-width Latin:
// Greek alpha to omega (code page 932 has no final sigma) and Cyrillic a to ya and yo.
char32_t GreekCyrillicUpper(char32_t c)
{
    if ((c >= 0x03B1 && c <= 0x03C9 && c != 0x03C2) || (c >= 0x0430 && c <= 0x044F))
        return c - 0x20;
    if (c == 0x0451)
        return 0x0401;
    return c;
}

// Windows' table is Unicode's simple upper case less the mappings that do not map
// back (27 in the BMP: µ, ı, ſ, ǅ, ǈ, ǋ, ǲ, U+0345, ς, ϐ, ϑ, ϕ, ϖ, ϰ, ϱ, ϵ,
// U+1C80-U+1C88, ẛ, U+1FBE), and it is indexed by UTF-16 code unit.
char32_t WindowsUpper(char32_t c)
{
    // "C.UTF-8" is built into glibc, whatever locales the host has generated.
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    if (utf8 == nullptr)
        return FullWidthLatinUpper(AsciiUpper(c));
    if (c > 0xFFFF)
        return c;
    const auto upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), utf8));
    if (upper == c || static_cast<char32_t>(towlower_l(static_cast<wint_t>(upper), utf8)) != c)
        return c;
    return upper;
}

// A double-byte character of code page 932 under the Package rule, through its code point.
std::string_view UpperDoubleByte(std::string_view character, std::string& scratch)
{
    const std::optional<std::string> utf8 = Cp932ToUtf8(character);
    if (!utf8)
        return character;
    std::size_t pos = 0;
    const char32_t c = DecodeUtf8(*utf8, pos);
    const char32_t upper = UpperCase(c, CaseRule::Package);
    if (upper == c || pos != utf8->size())
        return character;
    std::string upperUtf8;
    AppendUtf8(upper, upperUtf8);
    const std::optional<std::string> cp932 = Utf8ToCp932(upperUtf8);
    if (!cp932 || cp932->size() != character.size())
        return character;
    scratch = *cp932;
    return scratch;
}

std::string UpperCp932(std::string_view text, CaseRule rule)
{
    std::string out;
    out.reserve(text.size());
    std::string scratch;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = CharLength(text, i);
        if (length == 1)
            out += static_cast<char>(AsciiUpper(static_cast<unsigned char>(text[i])));
        else if (rule == CaseRule::Package)
            out += UpperDoubleByte(text.substr(i, 2), scratch);
        else
            out += text.substr(i, 2);
        i += length;
    }
    return out;
}

std::string UpperUtf8(std::string_view text, CaseRule rule)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        const char32_t c = DecodeUtf8(text, pos);
        const char32_t upper = UpperCase(c, rule);
        // A replacement from malformed bytes is not a letter: the bytes stay.
        if (upper == c)
            out += text.substr(start, pos - start);
        else
            AppendUtf8(upper, out);
    }
    return out;
}

}  // namespace

char32_t UpperCase(char32_t c, CaseRule rule)
{
    switch (rule) {
    case CaseRule::Settings:
        return AsciiUpper(c);
    case CaseRule::FileName:
        return FullWidthLatinUpper(AsciiUpper(c));
    case CaseRule::Package:
        return GreekCyrillicUpper(FullWidthLatinUpper(AsciiUpper(c)));
    case CaseRule::Windows:
        return WindowsUpper(c);
    }
    return c;
}

std::string UpperCase(std::string_view text, CaseRule rule)
{
    if (rule == CaseRule::Settings || rule == CaseRule::Package)
        return UpperCp932(text, rule);
    return UpperUtf8(text, rule);
}

int CompareIgnoringCase(std::string_view a, std::string_view b, CaseRule rule)
{
    if (rule != CaseRule::Settings)
        return UpperCase(a, rule).compare(UpperCase(b, rule));
    // The settings rule is asked for on every line of a settings file, so it
    // compares in place.
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const std::size_t lengthA = CharLength(a, i);
        const std::size_t lengthB = CharLength(b, j);
        int diff = 0;
        if (lengthA == 1 && lengthB == 1)
            diff = static_cast<int>(AsciiUpper(static_cast<unsigned char>(a[i]))) -
                   static_cast<int>(AsciiUpper(static_cast<unsigned char>(b[j])));
        else
            diff = a.substr(i, lengthA).compare(b.substr(j, lengthB));
        if (diff != 0)
            return diff;
        i += lengthA;
        j += lengthB;
    }
    return (i < a.size()) - (j < b.size());
}

}  // namespace pelmo
