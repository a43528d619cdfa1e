// The archive library's command language: a command word, switches and paths.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelmo {

// One word of a command line. Double quotes group blanks into a word and are
// removed; a word that starts with an unquoted '-' is a switch.
struct CommandWord {
    std::string text;  // without the quotes, and without the '-' of a switch
    bool isSwitch = false;
};

// Splits at blanks (space, TAB) outside double quotes, scanning code page 932
// characters whole. Nothing when a quote is left open.
std::optional<std::vector<CommandWord>> SplitCommandLine(std::string_view line);

// What "e [switches] <archive> <target folder>" asks for. Switches are accepted
// anywhere and have no effect.
struct ExtractRequest {
    std::string archive;
    std::string targetFolder;
};

// Nothing for any other command, an open quote, an empty archive or target path,
// a missing one, or a third path.
std::optional<ExtractRequest> ParseExtractCommand(std::string_view line);

}  // namespace pelmo
