// Text: code page 932 scanning, and conversion between code page 932, UTF-8 and UTF-16.
//
// Malformed input has one policy in every conversion:
// - UTF-8: each maximal ill-formed subsequence (the longest start of a well-formed
//   sequence, else one byte, as the Unicode standard defines it) is one character
//   without any other form: U+FFFD when decoded, '?' in a lossy conversion to code
//   page 932; a checked conversion fails.
// - Code page 932: a byte sequence that is no character (an unmapped code, a lone
//   lead byte at the end) makes a checked conversion fail and is one '?' in a lossy
//   one, a lead byte taken with the byte after it.
// - UTF-16: an unpaired surrogate is written to UTF-8 as its own three bytes, so
//   that distinct registry names stay distinct; it has no code page 932 form.
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

// Finds `needle` in `haystack`, never matching at a trail byte. npos when absent;
// an empty needle is found at 0.
std::size_t FindCp932(std::string_view haystack, std::string_view needle);

// The longest prefix of at most `maxBytes` bytes that does not split a character.
std::string_view TruncateCp932(std::string_view text, std::size_t maxBytes);

// Code page 932 with iconv's "CP932" (the Windows table, not "SHIFT_JIS").
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);
std::optional<std::string> Utf8ToCp932(std::string_view utf8);
std::string Cp932ToUtf8Lossy(std::string_view cp932);
std::string Utf8ToCp932Lossy(std::string_view utf8);
std::optional<std::u16string> Cp932ToUtf16(std::string_view cp932);
std::string Utf16ToCp932Lossy(std::u16string_view utf16);

// The code point at `pos`, moving past it; U+FFFD for an ill-formed subsequence.
char32_t DecodeUtf8(std::string_view utf8, std::size_t& pos);
void AppendUtf8(char32_t codePoint, std::string& out);
void AppendUtf16(char32_t codePoint, std::u16string& out);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

}  // namespace pelmo
