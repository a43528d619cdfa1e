// Wine's system.reg text format: keys, escaped strings, dword and hex data.
#include "platform/registry_file.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace pelmo {
namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

char16_t ControlEscape(char c)
{
    switch (c) {
    case 'a':
        return u'\a';
    case 'b':
        return u'\b';
    case 't':
        return u'\t';
    case 'n':
        return u'\n';
    case 'v':
        return u'\v';
    case 'f':
        return u'\f';
    case 'r':
        return u'\r';
    case 'e':
        return 0x1B;
    default:
        return 0;
    }
}

// Decodes the escape whose backslash is at `pos`, advancing past it.
void DecodeEscape(std::string_view line, std::size_t& pos, std::u16string& out)
{
    ++pos;  // the backslash
    if (pos >= line.size())
        return;
    const char c = line[pos];
    if (char16_t control = ControlEscape(c)) {
        out += control;
        ++pos;
    } else if (c >= '0' && c <= '7') {
        char16_t value = 0;
        for (int n = 0; n < 3 && pos < line.size() && line[pos] >= '0' && line[pos] <= '7'; ++n, ++pos)
            value = static_cast<char16_t>(value * 8 + (line[pos] - '0'));
        out += value;
    } else if (c == 'x' && pos + 1 < line.size() && HexDigit(line[pos + 1]) >= 0) {
        ++pos;
        char16_t value = 0;
        for (int n = 0; n < 4 && pos < line.size() && HexDigit(line[pos]) >= 0; ++n, ++pos)
            value = static_cast<char16_t>(value * 16 + HexDigit(line[pos]));
        out += value;
    } else {
        AppendUtf16(DecodeUtf8(line, pos), out);  // \\, \", \[, \] and any other character stand for themselves
    }
}

// Reads an escaped string from `pos` up to the unescaped `end` character and moves
// past it. Nothing when the line stops first.
std::optional<std::u16string> ReadQuoted(std::string_view line, std::size_t& pos, char end)
{
    std::u16string text;
    while (pos < line.size()) {
        if (line[pos] == end) {
            ++pos;
            return text;
        }
        if (line[pos] == '\\')
            DecodeEscape(line, pos, text);
        else
            AppendUtf16(DecodeUtf8(line, pos), text);
    }
    return std::nullopt;
}

bool OnlyBlanks(std::string_view text)
{
    return text.find_first_not_of(" \t") == std::string_view::npos;
}

std::string_view TrimLeft(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

bool ConsumePrefix(std::string_view line, std::size_t& pos, std::string_view prefix)
{
    if (line.substr(pos, prefix.size()) != prefix)
        return false;
    pos += prefix.size();
    return true;
}

// "(N):" with N in hexadecimal, as in hex(N): and str(N):.
std::optional<std::uint32_t> ReadTypeNumber(std::string_view line, std::size_t& pos)
{
    if (!ConsumePrefix(line, pos, "("))
        return std::nullopt;
    std::uint32_t type = 0;
    int digits = 0;
    for (; pos < line.size() && HexDigit(line[pos]) >= 0; ++pos, ++digits)
        type = type * 16 + static_cast<std::uint32_t>(HexDigit(line[pos]));
    if (digits == 0 || digits > 8 || !ConsumePrefix(line, pos, "):"))
        return std::nullopt;
    return type;
}

std::string_view Trim(std::string_view text)
{
    text = TrimLeft(text);
    return text.substr(0, text.find_last_not_of(" \t") + 1);
}

// One item of hex data: always two digits, so a line cut inside a byte is noticed.
std::optional<std::uint8_t> ReadHexByte(std::string_view item)
{
    item = Trim(item);
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0)
        return std::nullopt;
    return static_cast<std::uint8_t>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
}

// "xx,xx,...": blank data is no bytes; an empty item, as a cut line leaves, is an error.
std::optional<std::vector<std::uint8_t>> ReadHexBytes(std::string_view data)
{
    std::vector<std::uint8_t> bytes;
    if (OnlyBlanks(data))
        return bytes;
    while (true) {
        const std::size_t comma = data.find(',');
        const std::optional<std::uint8_t> byte = ReadHexByte(data.substr(0, comma));
        if (!byte)
            return std::nullopt;
        bytes.push_back(*byte);
        if (comma == std::string_view::npos)
            return bytes;
        data.remove_prefix(comma + 1);
    }
}

std::optional<std::uint32_t> ReadDword(std::string_view data)
{
    data = Trim(data);
    if (data.size() != 8)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : data) {
        if (HexDigit(c) < 0)
            return std::nullopt;
        value = value * 16 + static_cast<std::uint32_t>(HexDigit(c));
    }
    return value;
}

bool IsStringType(std::uint32_t type)
{
    return type == 1 || type == 2 || type == 7;
}

// String types written as hex(N) hold UTF-16LE bytes with their terminator.
std::u16string TextFromBytes(const std::vector<std::uint8_t>& bytes)
{
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text += static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
    if (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return text;
}

// A hex continuation line holds nothing but hex digits, commas, blanks and a final '\'.
bool IsHexContinuation(std::string_view line)
{
    return !OnlyBlanks(line) && line.find_first_not_of("0123456789abcdefABCDEF, \t\\") == std::string_view::npos;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    void Run(bool& is64Bit, std::map<std::string, std::map<std::string, RegistryValue>>& keys)
    {
        std::string_view line;
        while (NextLine(line)) {
            line = TrimLeft(line);
            if (line.starts_with("#arch=win64")) {
                is64Bit = true;
            } else if (line.starts_with("#arch=win32")) {
                is64Bit = false;
            } else if (line.starts_with('[')) {
                current_ = OpenKeyBlock(line, keys);
            } else if (current_ && (line.starts_with('"') || line.starts_with('@'))) {
                ReadValue(line);
            }
        }
    }

private:
    bool NextLine(std::string_view& line)
    {
        if (pos_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos)
            end = text_.size();
        line = text_.substr(pos_, end - pos_);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        terminated_ = end < text_.size();
        pos_ = end + 1;
        return true;
    }

    // Takes the next line only when it continues hex data; otherwise leaves it for the main loop.
    bool NextHexContinuation(std::string_view& line)
    {
        const std::size_t savedPos = pos_;
        const bool savedTerminated = terminated_;
        if (NextLine(line) && IsHexContinuation(line))
            return true;
        pos_ = savedPos;
        terminated_ = savedTerminated;
        return false;
    }

    // "[Key\\Path] seconds": creates the key and every key above it.
    static std::map<std::string, RegistryValue>*
    OpenKeyBlock(std::string_view line, std::map<std::string, std::map<std::string, RegistryValue>>& keys)
    {
        std::size_t pos = 1;
        const std::optional<std::u16string> name = ReadQuoted(line, pos, ']');
        if (!name)
            return nullptr;
        const std::vector<std::u16string> parts = SplitKeyPath(*name);
        if (parts.empty())
            return nullptr;
        std::u16string path;
        std::map<std::string, RegistryValue>* key = nullptr;
        for (const std::u16string& part : parts) {
            path += path.empty() ? part : u"\\" + part;
            key = &keys[LookupName(path)];
        }
        return key;
    }

    // "name"=data or @=data; a line that does not parse is dropped.
    void ReadValue(std::string_view line)
    {
        std::size_t pos = 1;
        std::optional<std::u16string> name = std::u16string();
        if (line[0] == '"')
            name = ReadQuoted(line, pos, '"');
        if (!name || !ConsumePrefix(line, pos, "="))
            return;
        if (std::optional<RegistryValue> value = ReadData(line, pos))
            (*current_)[LookupName(*name)] = std::move(*value);
    }

    std::optional<RegistryValue> ReadData(std::string_view line, std::size_t pos)
    {
        RegistryValue value;
        if (ConsumePrefix(line, pos, "\"")) {
            value.type = 1;
            return ReadStringData(line, pos, value);
        }
        if (ConsumePrefix(line, pos, "str")) {
            std::optional<std::uint32_t> type = ReadTypeNumber(line, pos);
            if (!type || !ConsumePrefix(line, pos, "\""))
                return std::nullopt;
            value.type = *type;
            return ReadStringData(line, pos, value);
        }
        if (ConsumePrefix(line, pos, "dword:")) {
            std::optional<std::uint32_t> dword = ReadDword(line.substr(pos));
            if (!dword)
                return std::nullopt;
            value.type = 4;
            for (int shift = 0; shift < 32; shift += 8)
                value.bytes.push_back(static_cast<std::uint8_t>(*dword >> shift));
            return value;
        }
        if (ConsumePrefix(line, pos, "hex")) {
            std::optional<std::uint32_t> type = 3;
            if (!ConsumePrefix(line, pos, ":"))
                type = ReadTypeNumber(line, pos);
            if (!type)
                return std::nullopt;
            return ReadHexData(line.substr(pos), *type);
        }
        return std::nullopt;
    }

    static std::optional<RegistryValue> ReadStringData(std::string_view line, std::size_t pos, RegistryValue& value)
    {
        std::optional<std::u16string> text = ReadQuoted(line, pos, '"');
        if (!text || !OnlyBlanks(line.substr(pos)))
            return std::nullopt;
        value.text = std::move(*text);
        return value;
    }

    // Hex data may go on over lines that end in '\'. Nothing marks its end, so data
    // whose last line has no newline may have been cut and is dropped.
    std::optional<RegistryValue> ReadHexData(std::string_view first, std::uint32_t type)
    {
        std::string data(first);
        std::string_view next;
        while (!data.empty() && data.back() == '\\') {
            data.pop_back();
            if (!NextHexContinuation(next))
                return std::nullopt;
            data += TrimLeft(next);
        }
        std::optional<std::vector<std::uint8_t>> bytes = ReadHexBytes(data);
        if (!bytes || !terminated_)
            return std::nullopt;
        RegistryValue value;
        value.type = type;
        if (IsStringType(type))
            value.text = TextFromBytes(*bytes);
        else
            value.bytes = std::move(*bytes);
        return value;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    bool terminated_ = true;  // whether the last line read ended in a newline
    std::map<std::string, RegistryValue>* current_ = nullptr;
};

}  // namespace

Registry Registry::Parse(std::string_view text)
{
    Registry registry;
    Parser(text).Run(registry.is64Bit_, registry.keys_);
    return registry;
}

}  // namespace pelmo
