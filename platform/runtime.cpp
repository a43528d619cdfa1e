// atoi and _splitpath with the Microsoft runtime's semantics under code page 932.
#include "platform/runtime.h"

#include <climits>

#include "platform/text.h"

namespace pelmo {

int Atoi(std::string_view text)
{
    std::size_t i = 0;
    auto isBlank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        // Saturate rather than overflow; the runtime's result for such input is
        // undefined, and no caller compares numbers this large.
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

SplitPathResult SplitPath(std::string_view path)
{
    SplitPathResult result;
    std::string_view rest = path;
    if (rest.size() >= 2 && rest[1] == ':') {
        result.drive = std::string(rest.substr(0, 2));
        rest.remove_prefix(2);
    }
    // Scan character by character so that a trail byte 0x5C ('\') never separates.
    std::size_t lastSeparatorEnd = 0;
    std::size_t lastDot = std::string_view::npos;
    for (std::size_t i = 0; i < rest.size();) {
        std::size_t length = CharLength(rest, i);
        if (length == 1) {
            if (rest[i] == '\\' || rest[i] == '/') {
                lastSeparatorEnd = i + 1;
                lastDot = std::string_view::npos;
            } else if (rest[i] == '.') {
                lastDot = i;
            }
        }
        i += length;
    }
    result.folder = std::string(rest.substr(0, lastSeparatorEnd));
    std::string_view name = rest.substr(lastSeparatorEnd);
    if (lastDot != std::string_view::npos) {
        std::size_t dot = lastDot - lastSeparatorEnd;
        result.baseName = std::string(name.substr(0, dot));
        result.extension = std::string(name.substr(dot));
    } else {
        result.baseName = std::string(name);
    }
    return result;
}

}  // namespace pelmo
