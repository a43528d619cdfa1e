// The archive library's command language: a command word, switches and paths.
#include "upgrade/command_line.h"

#include "platform/letter_case.h"
#include "platform/text.h"
#include "upgrade/archive_library.h"

namespace pelmo {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

std::optional<std::vector<CommandWord>> SplitCommandLine(std::string_view line)
{
    std::vector<CommandWord> words;
    CommandWord word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size();) {
        const std::size_t length = CharLength(line, i);
        const char c = line[i];
        if (length == 1 && !quoted && IsBlank(c)) {
            if (inWord)
                words.push_back(std::move(word));
            word = CommandWord{};
            inWord = false;
        } else if (length == 1 && c == '"') {
            quoted = !quoted;
            inWord = true;  // "" is an empty word, not nothing
        } else if (length == 1 && c == '-' && !inWord) {
            word.isSwitch = true;
            inWord = true;
        } else {
            word.text.append(line.substr(i, length));
            inWord = true;
        }
        i += length;
    }
    if (quoted)
        return std::nullopt;
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::optional<ExtractRequest> ParseExtractCommand(std::string_view line)
{
    auto words = SplitCommandLine(line);
    if (!words || words->empty() || (*words)[0].isSwitch ||
        !EqualIgnoringCase((*words)[0].text, "e", CaseRule::Settings))
        return std::nullopt;
    std::vector<std::string> paths;
    for (std::size_t i = 1; i < words->size(); ++i)
        if (!(*words)[i].isSwitch)
            paths.push_back(std::move((*words)[i].text));
    if (paths.size() != 2 || paths[0].empty() || paths[1].empty())
        return std::nullopt;
    return ExtractRequest{std::move(paths[0]), std::move(paths[1])};
}

std::string BuildExtractCommand(std::string_view windowsFolder, std::string_view archivePath,
                                std::string_view targetFolder)
{
    std::string line = "e -mcw";
    line += windowsFolder;
    line += " \"";
    line += archivePath;
    line += "\" \"";
    line += targetFolder;
    line += '"';
    return line;
}

}  // namespace pelmo
