// The command line of the pelmo executable.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace pelmo {

struct Options {
    bool help = false;
    bool version = false;
    bool unattended = false;
    bool recover = false;                          // only recover an interrupted run
    bool undo = false;                             // put back the last completed run
    bool list = false;                             // with undo: list the completed runs
    bool force = false;                            // with undo: although files changed
    bool dryRun = false;                           // with unattended: the plan, no change
    std::optional<std::filesystem::path> log;      // host file for the run's log (UTF-8)
    std::optional<std::string> target;             // Windows form, as typed (UTF-8)
    std::optional<std::filesystem::path> package;  // host folder holding info.txt
    std::optional<std::filesystem::path> machine;  // host machine folder
    std::string commandLine;                       // as given, for the log
};

// One argument as an option's name and, for "--name=value", its value.
struct OptionArgument {
    std::string_view name;
    std::optional<std::string_view> value;
};
OptionArgument SplitOptionArgument(std::string_view argument);
// Gives an option without "=value" the next argument as its value; false, with
// `error` set, when there is none.
bool TakeOptionValue(int argc, const char* const* argv, int& i, std::string_view name,
                     std::optional<std::string_view>& value, std::string& error);
// A command line an authors' tool cannot act on: its line, then the usage, on
// `err`; the exit status for it.
int RefuseCommandLine(std::ostream& err, const std::string& line);

// `pelmo [--unattended [--dry-run] | --recover | --undo] [--target FOLDER] [--package DIR]
// [--machine DIR] [--log FILE] [--help] [--version]`;
// a value may also follow the option after '='. Nothing, with `error` set to a
// line for the user, when the command line is not one of these.
std::optional<Options> ParseOptions(int argc, const char* const* argv, std::string& error);

}  // namespace pelmo
