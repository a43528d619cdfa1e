// Code page 932 text: iconv conversion and double-byte-aware scanning.
#include "platform/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

namespace pelmo {
namespace {

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenIconv(const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return IconvHandle(cd);
}

// Converts `input`; an unconvertible character is replaced by `replacement` when
// given (skipping one input character), otherwise the conversion fails.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view input,
                                   std::optional<char> replacement, bool inputIsCp932)
{
    IconvHandle cd = OpenIconv(to, from);
    if (!cd)
        return std::nullopt;
    std::string out;
    out.reserve(input.size() * 2 + 4);
    char buffer[1024];
    std::size_t pos = 0;
    while (pos < input.size()) {
        char* in = const_cast<char*>(input.data() + pos);
        std::size_t inLeft = input.size() - pos;
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
        int error = errno;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        pos = input.size() - inLeft;
        if (rc != static_cast<std::size_t>(-1))
            continue;
        if (error == E2BIG)
            continue;
        if (!replacement)
            return std::nullopt;
        // Skip one character of the input: a double-byte one as a whole.
        std::size_t skip = 1;
        if (inputIsCp932) {
            skip = CharLength(input, pos);
        } else {
            while (pos + skip < input.size() && (static_cast<unsigned char>(input[pos + skip]) & 0xC0) == 0x80)
                ++skip;
        }
        pos += skip;
        out.push_back(*replacement);
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

struct DoubleByteCase {
    unsigned lowerFirst;  // first lower-case code
    unsigned lowerLast;
    unsigned upperFirst;  // its capital
};

// The double-byte lower-case letters of code page 932 and where their capitals
// start; keep sorted by code. The Cyrillic small letters skip 0x847F, which is no
// trail byte, so they come in two runs.
constexpr DoubleByteCase kDoubleByteCases[] = {
    {0x8281, 0x829A, 0x8260},  // full-width a-z
    {0x83BF, 0x83D6, 0x839F},  // Greek alpha-omega
    {0x8470, 0x847E, 0x8440},  // Cyrillic a-n
    {0x8480, 0x8491, 0x844F},  // Cyrillic o-ya
};

}  // namespace

std::size_t CharLength(std::string_view text, std::size_t pos)
{
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos])))
        return 2;
    return 1;
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932)
{
    return Convert("UTF-8", "CP932", cp932, std::nullopt, true);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    return Convert("CP932", "UTF-8", utf8, std::nullopt, false);
}

std::string Cp932ToUtf8Lossy(std::string_view cp932)
{
    return Convert("UTF-8", "CP932", cp932, '?', true).value_or(std::string());
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
    return Convert("CP932", "UTF-8", utf8, '?', false).value_or(std::string());
}

std::string UpperCaseCp932(std::string_view text)
{
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t length = CharLength(out, i);
        if (length == 1) {
            if (out[i] >= 'a' && out[i] <= 'z')
                out[i] = static_cast<char>(out[i] - 'a' + 'A');
        } else {
            unsigned code = static_cast<unsigned char>(out[i]) << 8 | static_cast<unsigned char>(out[i + 1]);
            for (const DoubleByteCase& range : kDoubleByteCases) {
                if (code >= range.lowerFirst && code <= range.lowerLast) {
                    unsigned upper = range.upperFirst + (code - range.lowerFirst);
                    out[i] = static_cast<char>(upper >> 8);
                    out[i + 1] = static_cast<char>(upper & 0xFF);
                    break;
                }
            }
        }
        i += length;
    }
    return out;
}

std::string UpperCaseAscii(std::string_view text)
{
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t length = CharLength(out, i);
        if (length == 1 && out[i] >= 'a' && out[i] <= 'z')
            out[i] = static_cast<char>(out[i] - 'a' + 'A');
        i += length;
    }
    return out;
}

int CompareNoCaseAscii(std::string_view a, std::string_view b)
{
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        std::size_t lengthA = CharLength(a, i);
        std::size_t lengthB = CharLength(b, j);
        if (lengthA == 1 && lengthB == 1) {
            int diff = fold(static_cast<unsigned char>(a[i])) - fold(static_cast<unsigned char>(b[j]));
            if (diff != 0)
                return diff;
        } else {
            // A double-byte character equals only the same two bytes.
            int diff = a.substr(i, lengthA).compare(b.substr(j, lengthB));
            if (diff != 0)
                return diff;
        }
        i += lengthA;
        j += lengthB;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

std::size_t FindCp932(std::string_view haystack, std::string_view needle)
{
    if (needle.empty())
        return 0;
    for (std::size_t i = 0; i + needle.size() <= haystack.size(); i += CharLength(haystack, i)) {
        if (haystack.compare(i, needle.size(), needle) == 0)
            return i;
    }
    return std::string_view::npos;
}

std::string_view TruncateCp932(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t length = CharLength(text, end);
        if (end + length > maxBytes)
            break;
        end += length;
    }
    return text.substr(0, end);
}

}  // namespace pelmo
