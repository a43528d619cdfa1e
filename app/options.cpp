// The command line of the pelmo executable.
#include "app/options.h"

#include <ostream>
#include <string_view>
#include <utility>

#include "app/front_end.h"
#include "res/strings.h"

namespace pelmo {
namespace {

enum class Takes { Nothing, Value };

struct OptionSpec {
    std::string_view name;
    Takes takes;
};
// One option a line, sorted: clang-format would pack the table into columns.
// clang-format off
constexpr OptionSpec kOptions[] = {
    {"--dry-run", Takes::Nothing},
    {"--force", Takes::Nothing},
    {"--help", Takes::Nothing},
    {"--list", Takes::Nothing},
    {"--log", Takes::Value},
    {"--machine", Takes::Value},
    {"--package", Takes::Value},
    {"--recover", Takes::Nothing},
    {"--target", Takes::Value},
    {"--unattended", Takes::Nothing},
    {"--undo", Takes::Nothing},
    {"--version", Takes::Nothing},
};
// clang-format on

const OptionSpec* FindOption(std::string_view name)
{
    for (const OptionSpec& spec : kOptions)
        if (spec.name == name)
            return &spec;
    return nullptr;
}

// Stores one option; false when it was given before.
template <typename T>
bool StoreOnce(std::optional<T>& slot, std::string_view value)
{
    if (slot)
        return false;
    slot = T(std::string(value));
    return true;
}

bool Store(Options& options, std::string_view name, std::string_view value)
{
    if (name == "--help")
        return !std::exchange(options.help, true);
    if (name == "--unattended")
        return !std::exchange(options.unattended, true);
    if (name == "--version")
        return !std::exchange(options.version, true);
    if (name == "--recover")
        return !std::exchange(options.recover, true);
    if (name == "--dry-run")
        return !std::exchange(options.dryRun, true);
    if (name == "--log")
        return StoreOnce(options.log, value);
    if (name == "--undo")
        return !std::exchange(options.undo, true);
    if (name == "--list")
        return !std::exchange(options.list, true);
    if (name == "--force")
        return !std::exchange(options.force, true);
    if (name == "--target")
        return StoreOnce(options.target, value);
    if (name == "--package")
        return StoreOnce(options.package, value);
    return StoreOnce(options.machine, value);
}

}  // namespace

OptionArgument SplitOptionArgument(std::string_view argument)
{
    const std::size_t equals = argument.find('=');
    if (!argument.starts_with("--") || equals == std::string_view::npos)
        return {argument, std::nullopt};
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

bool TakeOptionValue(int argc, const char* const* argv, int& i, std::string_view name,
                     std::optional<std::string_view>& value, std::string& error)
{
    if (value)
        return true;
    if (i + 1 >= argc) {
        error = FormatTextUtf8(Text::CliMissingValue, std::string(name));
        return false;
    }
    value = argv[++i];
    return true;
}

std::optional<Options> ParseOptions(int argc, const char* const* argv, std::string& error)
{
    Options options;
    for (int i = 0; i < argc; ++i) {
        // Quoted for a shell where a word needs it, so that the log shows a command that can be run again.
        std::string word = i == 0 ? "pelmo" : argv[i];
        if (word.empty() || word.find_first_of(" \t'\"\\$*?;&|<>()`") != std::string::npos) {
            std::string quoted = "'";
            for (char c : word)
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            word = quoted + "'";
        }
        options.commandLine += (i == 0 ? "" : " ") + word;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        auto [name, value] = SplitOptionArgument(argument);
        const OptionSpec* spec = FindOption(name);
        if (!spec || (spec->takes == Takes::Nothing && value)) {
            error = FormatTextUtf8(Text::CliUnknownOption, std::string(argument));
            return std::nullopt;
        }
        if (spec->takes == Takes::Value && !TakeOptionValue(argc, argv, i, name, value, error))
            return std::nullopt;
        if (spec->takes == Takes::Value && value->empty()) {
            error = FormatTextUtf8(Text::CliMissingValue, std::string(name));
            return std::nullopt;
        }
        if (!Store(options, name, value.value_or(""))) {
            error = FormatTextUtf8(Text::CliRepeatedOption, std::string(name));
            return std::nullopt;
        }
    }
    if ((options.list || options.force) && !options.undo && !options.help) {
        error = FormatTextUtf8(Text::CliUndoOnly, options.list ? "--list" : "--force");
        return std::nullopt;
    }
    if (options.list && options.force) {
        error = GetTextUtf8(Text::CliListAndForce);
        return std::nullopt;
    }
    if (options.undo && options.recover) {
        error = GetTextUtf8(Text::CliUndoAndRecover);
        return std::nullopt;
    }
    if (options.target && !options.unattended && !options.recover && !options.undo && !options.help &&
        !options.version) {
        error = GetTextUtf8(Text::CliTargetNeedsUnattended);
        return std::nullopt;
    }
    if (options.dryRun && (!options.unattended || options.recover || options.undo) && !options.help) {
        error = GetTextUtf8(Text::CliDryRunNeedsUnattended);
        return std::nullopt;
    }
    return options;
}

int RefuseCommandLine(std::ostream& err, const std::string& line)
{
    err << line << '\n' << GetTextUtf8(Text::CliUsage);
    return kExitBadCommandLine;
}

}  // namespace pelmo
