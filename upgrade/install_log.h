// The install log of a run: package, target, every check, every change committed
// (or, for a dry run, that would be), every message shown and the outcome. Kept
// as PELMOBAK\PELMO.LOG with each committed run (code page 932, CRLF) and written
// to a host file with --log (UTF-8); a dry run prints its changes as the plan.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stage/staging.h"
#include "res/strings.h"
#include "upgrade/prompter.h"
#include "upgrade/upgrade_run.h"

namespace pelmo {

// One change of a run; texts in code page 932, the file in Windows form.
struct LoggedChange {
    PlannedChange::Kind kind = PlannedChange::Kind::Added;
    std::string file;
    std::uint64_t size = 0;  // Added, Replaced, Unchanged
    std::uint32_t checksum = 0;
    std::string section, key, oldValue, newValue;  // Settings
    std::uint64_t records = 0;                     // Converted
};

// How the run's stage ended.
enum class RunEnding { NothingChanged, Committed, Discarded, DryRun, CommitFailed };

struct LoggedMessage {
    std::string caption, text;  // code page 932
};

struct LoggedRun {
    std::string package, target;                       // code page 932
    std::string started;                               // local time, ISO 8601 with its offset
    std::string version, frontEnd;                     // code page 932; the front end with its command line
    std::vector<std::pair<std::string, bool>> checks;  // what was checked, passed
    std::optional<int> systemKind;
    std::vector<LoggedChange> changes;
    std::vector<LoggedMessage> messages;
    std::vector<std::string> notes;  // code page 932
    std::optional<std::pair<RunOutcome, RunEnding>> outcome;
    std::optional<Text> ending;  // an undo's or recovery's outcome
};

class InstallLog {
public:
    // Who writes the log: Pelmo's version, the front end and its command line
    // (UTF-8), for the head of every block that follows.
    void SetOrigin(std::string_view version, std::string_view frontEnd);
    void BeginRun(std::string package, std::string target);
    void Check(std::string what, bool passed);
    void SystemKind(int kind);
    void Changes(std::vector<LoggedChange> changes);
    void Message(std::string caption, std::string text);
    // A line for the log alone, after the messages.
    void Note(std::string text);
    void Outcome(RunOutcome outcome, RunEnding ending);
    void Ending(Text ending);

    const std::vector<LoggedRun>& runs() const { return runs_; }
    // Every run so far, in UTF-8 with LF line ends.
    std::string Utf8() const;

private:
    LoggedRun& Current();
    std::vector<LoggedRun> runs_;
    std::string version_, frontEnd_;
};

// One run's log in code page 932 with CRLF line ends; `pending` is a message the
// run will show after the log is written.
std::string RunLogCp932(const LoggedRun& run, const LoggedMessage* pending);

// The plan of a run (UTF-8): one line per file naming its final change, one line
// per settings key.
std::vector<std::string> PlanLines(const LoggedRun& run);

// Forwards every call to the front end's prompter and logs each message shown.
class LoggingPrompter : public Prompter {
public:
    LoggingPrompter(Prompter& inner, InstallLog& log) : inner_(inner), log_(log) {}
    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override;
    void BeginBusy() override { inner_.BeginBusy(); }
    void EndBusy() override { inner_.EndBusy(); }
    void Progress(const RunProgress& progress) override { inner_.Progress(progress); }

private:
    Prompter& inner_;
    InstallLog& log_;
};

}  // namespace pelmo
