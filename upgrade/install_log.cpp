// The install log of a run and the plan of a dry run.
#include "upgrade/install_log.h"

#include <cstdio>
#include <ctime>
#include <set>

#include "platform/text.h"
#include "res/strings.h"
#include "upgrade/run_log.h"

namespace pelmo {
namespace {

std::string Words(std::initializer_list<std::string> words)
{
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty())
            line += ' ';
        line += word;
    }
    return line;
}

Text OutcomeWord(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::Upgraded:
        return Text::LogUpgraded;
    case RunOutcome::UpgradedWithFailures:
        return Text::LogUpgradedWithFailures;
    case RunOutcome::FolderRejected:
        return Text::LogFolderRejected;
    case RunOutcome::Stopped:
        break;
    }
    return Text::LogStopped;
}

Text EndingWord(RunEnding ending)
{
    switch (ending) {
    case RunEnding::Committed:
        return Text::LogCommitted;
    case RunEnding::Discarded:
        return Text::LogDiscarded;
    case RunEnding::DryRun:
        return Text::LogDryRun;
    case RunEnding::CommitFailed:
        return Text::LogCommitFailed;
    case RunEnding::NothingChanged:
        break;
    }
    return Text::LogNothingChanged;
}

std::string SettingsLine(const LoggedChange& change)
{
    return Words({GetText(Text::PlanSettings), change.file, "[" + change.section + "]", change.key + ":"}) + " " +
           change.oldValue + GetText(Text::PlanArrow) + change.newValue;
}

std::string ConvertedLine(const LoggedChange& change)
{
    return Words(
        {GetText(Text::PlanConverted), change.file, std::to_string(change.records), GetText(Text::PlanRecords)});
}

Text FileWord(const LoggedChange& change)
{
    switch (change.kind) {
    case PlannedChange::Kind::Added:
        return Text::PlanAdded;
    case PlannedChange::Kind::Unchanged:
        return Text::PlanUnchanged;
    case PlannedChange::Kind::Replaced:
    case PlannedChange::Kind::Settings:
    case PlannedChange::Kind::Converted:
        break;
    }
    return Text::PlanReplaced;
}

// A run's log as lines in code page 932: package, target, checks, files, settings,
// master files, messages, outcome.
std::vector<std::string> RunLines(const LoggedRun& run, const LoggedMessage* pending)
{
    std::vector<std::string> lines;
    if (!run.started.empty())
        lines.push_back(std::string(kRunLogBlockStart) + run.started);
    if (!run.version.empty())
        lines.push_back(Words({GetText(Text::LogVersion), run.version}));
    if (!run.frontEnd.empty())
        lines.push_back(Words({GetText(Text::LogFrontEnd), run.frontEnd}));
    if (!run.package.empty())  // a recovery has none
        lines.push_back(Words({GetText(Text::LogPackage), run.package}));
    lines.push_back(Words({GetText(Text::LogTarget), run.target}));
    for (const auto& [what, passed] : run.checks)
        lines.push_back(
            Words({GetText(Text::LogCheck), what + ":", GetText(passed ? Text::LogPassed : Text::LogFailed)}));
    if (run.systemKind)
        lines.push_back(Words({GetText(Text::LogSystemKind), std::to_string(*run.systemKind)}));
    for (const LoggedChange& change : run.changes) {
        switch (change.kind) {
        case PlannedChange::Kind::Added:
        case PlannedChange::Kind::Replaced:
        case PlannedChange::Kind::Unchanged: {
            char checksum[9];
            std::snprintf(checksum, sizeof checksum, "%08x", change.checksum);
            lines.push_back(Words({GetText(FileWord(change)), change.file, std::to_string(change.size),
                                   GetText(Text::LogBytes), checksum}));
            break;
        }
        case PlannedChange::Kind::Settings:
            lines.push_back(SettingsLine(change));
            break;
        case PlannedChange::Kind::Converted:
            lines.push_back(ConvertedLine(change));
            break;
        }
    }
    std::vector<LoggedMessage> messages = run.messages;
    if (pending)
        messages.push_back(*pending);
    for (const LoggedMessage& message : messages)
        lines.push_back(Words({GetText(Text::LogMessage), "[" + message.caption + "]", message.text}));
    for (const std::string& note : run.notes)
        lines.push_back(Words({GetText(Text::LogNote), note}));
    if (run.outcome)
        lines.push_back(Words({GetText(Text::LogOutcome), GetText(OutcomeWord(run.outcome->first)) + ",",
                               GetText(EndingWord(run.outcome->second))}));
    else if (run.ending)
        lines.push_back(Words({GetText(Text::LogOutcome), GetText(*run.ending)}));
    return lines;
}

}  // namespace

LoggedRun& InstallLog::Current()
{
    if (runs_.empty())
        runs_.emplace_back();
    return runs_.back();
}

// Now, as local time in ISO 8601 with the zone's offset: 2026-12-07T21:05:09+09:00.
std::string LocalTimeIso8601()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[40] = "";
    if (!::localtime_r(&now, &local) || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local) == 0)
        return {};
    std::string iso = text;
    iso.insert(iso.size() - 2, ":");  // +0900 -> +09:00
    return iso;
}

void InstallLog::SetOrigin(std::string_view version, std::string_view frontEnd)
{
    version_ = Utf8ToCp932Lossy(version);
    frontEnd_ = Utf8ToCp932Lossy(frontEnd);
}

void InstallLog::BeginRun(std::string package, std::string target)
{
    LoggedRun run;
    run.package = std::move(package);
    run.target = std::move(target);
    run.started = LocalTimeIso8601();
    run.version = version_;
    run.frontEnd = frontEnd_;
    runs_.push_back(std::move(run));
}

void InstallLog::Ending(Text ending)
{
    Current().ending = ending;
}

void InstallLog::Check(std::string what, bool passed)
{
    Current().checks.emplace_back(std::move(what), passed);
}

void InstallLog::SystemKind(int kind)
{
    Current().systemKind = kind;
}

void InstallLog::Changes(std::vector<LoggedChange> changes)
{
    Current().changes = std::move(changes);
}

void InstallLog::Message(std::string caption, std::string text)
{
    Current().messages.push_back({std::move(caption), std::move(text)});
}

void InstallLog::Note(std::string text)
{
    Current().notes.push_back(std::move(text));
}

void InstallLog::Outcome(RunOutcome outcome, RunEnding ending)
{
    Current().outcome = std::make_pair(outcome, ending);
}

std::string InstallLog::Utf8() const
{
    std::string text;
    for (const LoggedRun& run : runs_)
        for (const std::string& line : RunLines(run, nullptr))
            text += Cp932ToUtf8Lossy(line) + "\n";
    return text;
}

std::string RunLogCp932(const LoggedRun& run, const LoggedMessage* pending)
{
    std::string text;
    for (const std::string& line : RunLines(run, pending))
        text += line + "\r\n";
    return text;
}

std::vector<std::string> PlanLines(const LoggedRun& run)
{
    // A settings file or master file is named by its last change, the settings
    // keys or the conversion, not by the rewrite that carried it; but a file the
    // run adds had no records before, so it stays added, converted or not.
    std::set<std::string> added, settled;
    for (const LoggedChange& change : run.changes)
        if (change.kind == PlannedChange::Kind::Added)
            added.insert(change.file);
    for (const LoggedChange& change : run.changes)
        if (change.kind == PlannedChange::Kind::Settings ||
            (change.kind == PlannedChange::Kind::Converted && !added.contains(change.file)))
            settled.insert(change.file);
    std::vector<std::string> lines;
    for (const LoggedChange& file : run.changes) {
        if (file.kind != PlannedChange::Kind::Added && file.kind != PlannedChange::Kind::Replaced &&
            file.kind != PlannedChange::Kind::Unchanged)
            continue;
        if (!settled.contains(file.file)) {
            lines.push_back(Cp932ToUtf8Lossy(Words({GetText(FileWord(file)), file.file})));
            continue;
        }
        for (const LoggedChange& change : run.changes)
            if (change.file == file.file && change.kind == PlannedChange::Kind::Settings)
                lines.push_back(Cp932ToUtf8Lossy(SettingsLine(change)));
        for (const LoggedChange& change : run.changes)
            if (change.file == file.file && change.kind == PlannedChange::Kind::Converted && !added.contains(file.file))
                lines.push_back(Cp932ToUtf8Lossy(ConvertedLine(change)));
    }
    return lines;
}

int LoggingPrompter::MessageBox(const std::string& text, const std::string& caption, unsigned buttons)
{
    log_.Message(caption, text);
    return inner_.MessageBox(text, caption, buttons);
}

}  // namespace pelmo
