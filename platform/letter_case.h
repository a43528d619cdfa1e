// Letter case: which letters fold depends on who compares, so each caller names its rule.
#pragma once

#include <string>
#include <string_view>

namespace pelmo {

enum class CaseRule {
    // Settings files (code page 932 text): the ASCII letters a-z only; a double-byte
    // character compares as a whole, so ア (83 41) never equals ヂ (83 61).
    Settings,
    // The package's names (code page 932 text): the ASCII letters, and the double-byte
    // lower-case letters (full-width Latin, Greek, Cyrillic) to their capitals.
    Package,
    // File names on this layer (UTF-8 text): the ASCII and the full-width Latin letters.
    FileName,
    // Registry names and the order NTFS sorts names in (UTF-8 or UTF-16 text): Windows'
    // own upper-case table, which holds a letter's Unicode capital only where that
    // capital lower-cases back to the letter, and no letter beyond the BMP. So ſ, ı, µ,
    // ς and the title-case digraphs such as ǅ keep names apart from S, I, Μ, Σ and Ǆ.
    Windows,
};

// Upper-cases `text`, code page 932 for Settings and Package, UTF-8 otherwise. Only
// letters change: a trail byte is never changed on its own, and a malformed UTF-8
// byte stays as it is.
std::string UpperCase(std::string_view text, CaseRule rule);

// One code point, for the UTF-8 rules (FileName, Windows).
char32_t UpperCase(char32_t c, CaseRule rule);

// Compares with letters folded by `rule`; a double-byte character of code page 932
// compares as a whole. <0, 0 or >0 like strcmp.
int CompareIgnoringCase(std::string_view a, std::string_view b, CaseRule rule);
inline bool EqualIgnoringCase(std::string_view a, std::string_view b, CaseRule rule)
{
    return CompareIgnoringCase(a, b, rule) == 0;
}

}  // namespace pelmo
