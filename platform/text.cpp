// Text: code page 932 scanning and conversion, one iconv handle per direction and thread.
#include "platform/text.h"

#include <iconv.h>

#include <cerrno>

namespace pelmo {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}
bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::size_t Cp932CharLength(std::string_view text, std::size_t pos)
{
    return CharLength(text, pos);
}

std::size_t Utf8CharLength(std::string_view text, std::size_t pos)
{
    const std::size_t start = pos;
    DecodeUtf8(text, pos);
    return pos - start;
}

// One direction of iconv. Opening a handle costs far more than a short conversion,
// so each thread keeps one per direction and resets it before every use.
class Converter {
public:
    using CharLengthAt = std::size_t (*)(std::string_view, std::size_t);

    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (IsOpen())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `input`. A character that cannot be converted becomes '?' when
    // `lossyLength` tells how many input bytes it takes; without it the conversion fails.
    std::optional<std::string> Run(std::string_view input, CharLengthAt lossyLength)
    {
        if (!IsOpen())
            return std::nullopt;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(input.size() * 3 / 2 + 4);
        char buffer[1024];
        std::size_t pos = 0;
        while (pos < input.size()) {
            char* in = const_cast<char*>(input.data() + pos);
            std::size_t inLeft = input.size() - pos;
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
            const int error = errno;
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            pos = input.size() - inLeft;
            if (rc != static_cast<std::size_t>(-1) || error == E2BIG)
                continue;
            if (lossyLength == nullptr)
                return std::nullopt;
            pos += lossyLength(input, pos);
            out.push_back('?');
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    // iconv_open's documented failure value is (iconv_t)-1.
    bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT(performance-no-int-to-ptr)

    iconv_t cd_;
};

Converter& FromCp932()
{
    thread_local Converter converter("UTF-8", "CP932");
    return converter;
}

Converter& ToCp932()
{
    thread_local Converter converter("CP932", "UTF-8");
    return converter;
}

// The code point at `i`, a surrogate pair as one; moves past it.
char32_t NextUtf16(std::u16string_view text, std::size_t& i)
{
    const char16_t unit = text[i++];
    if (IsHighSurrogate(unit) && i < text.size() && IsLowSurrogate(text[i]))
        return 0x10000 + ((unit - 0xD800) << 10) + (text[i++] - 0xDC00);
    return unit;
}

}  // namespace

std::size_t CharLength(std::string_view text, std::size_t pos)
{
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos])))
        return 2;
    return 1;
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
        const std::size_t length = CharLength(text, end);
        if (end + length > maxBytes)
            break;
        end += length;
    }
    return text.substr(0, end);
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932)
{
    return FromCp932().Run(cp932, nullptr);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8)
{
    return ToCp932().Run(utf8, nullptr);
}

std::string Cp932ToUtf8Lossy(std::string_view cp932)
{
    return FromCp932().Run(cp932, Cp932CharLength).value_or(std::string());
}

std::string Utf8ToCp932Lossy(std::string_view utf8)
{
    return ToCp932().Run(utf8, Utf8CharLength).value_or(std::string());
}

std::optional<std::u16string> Cp932ToUtf16(std::string_view cp932)
{
    const std::optional<std::string> utf8 = Cp932ToUtf8(cp932);
    if (!utf8)
        return std::nullopt;
    return Utf8ToUtf16(*utf8);
}

std::string Utf16ToCp932Lossy(std::u16string_view utf16)
{
    std::string utf8;
    for (std::size_t i = 0; i < utf16.size();) {
        const char32_t c = NextUtf16(utf16, i);
        AppendUtf8(IsSurrogate(c) ? kReplacement : c, utf8);
    }
    return Utf8ToCp932Lossy(utf8);
}

// Hand-written because iconv stops at malformed input, where the policy above
// needs a replacement and the rest of the text.
char32_t DecodeUtf8(std::string_view utf8, std::size_t& pos)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned char lead = byteAt(pos++);
    if (lead < 0x80)
        return lead;
    int trailing = 0;
    char32_t c = 0;
    // The range of the byte after the lead rules out overlong forms, surrogates
    // and code points past U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        c = lead & 0x0F;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        c = lead & 0x07;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return kReplacement;
    }
    for (; trailing > 0; --trailing) {
        if (pos >= utf8.size() || byteAt(pos) < low || byteAt(pos) > high)
            return kReplacement;
        c = c << 6 | (byteAt(pos++) & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return c;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(char32_t c, std::u16string& out)
{
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

std::u16string Utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t pos = 0; pos < utf8.size();)
        AppendUtf16(DecodeUtf8(utf8, pos), out);
    return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size();)
        AppendUtf8(NextUtf16(utf16, i), out);
    return out;
}

}  // namespace pelmo
