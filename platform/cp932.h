// Code page 932 (Windows Shift-JIS) text: conversion and double-byte-aware scanning.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

// Lead bytes of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Length in bytes of the character that starts at `pos`: 2 for a lead byte
// followed by another byte, otherwise 1 (a lone lead byte at the end is one byte).
std::size_t CharLength(std::string_view text, std::size_t pos);

// Converts with iconv's "CP932". Returns nothing when a byte sequence cannot be converted.
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// As above, but every character that cannot be converted becomes '?'.
std::string Cp932ToUtf8Lossy(std::string_view cp932);
std::string Utf8ToCp932Lossy(std::string_view utf8);

// Upper-cases character by character: ASCII a-z, and the double-byte lower-case
// letters (full-width Latin, Greek, Cyrillic) to their capitals. A trail byte is
// never changed on its own; every other byte stays.
std::string UpperCaseCp932(std::string_view text);

// Upper-cases only the ASCII letters a-z, skipping every double-byte character whole.
std::string UpperCaseAscii(std::string_view text);

// Compares with ASCII letters folded; a double-byte character compares as a whole,
// so its trail byte is never folded. Returns <0, 0 or >0 like strcmp.
int CompareNoCaseAscii(std::string_view a, std::string_view b);
inline bool EqualsNoCaseAscii(std::string_view a, std::string_view b)
{
    return CompareNoCaseAscii(a, b) == 0;
}

// Finds `needle` in `haystack`, never matching at a trail byte. npos when absent;
// an empty needle is found at 0.
std::size_t FindCp932(std::string_view haystack, std::string_view needle);

// The longest prefix of at most `maxBytes` bytes that does not split a character.
std::string_view TruncateCp932(std::string_view text, std::size_t maxBytes);

}  // namespace pelmo
