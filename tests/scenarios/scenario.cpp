// Whole unattended runs described as small text files.
#include "tests/scenarios/scenario.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "app/options.h"
#include "app/unattended.h"
#include "platform/stage/staging.h"
#include "tests/support/lha_writer.h"
#include "tests/support/package_writer.h"
#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo::test {
namespace {

std::pair<std::string, std::string> SplitWord(const std::string& line)
{
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos)
        return {line, ""};
    return {line.substr(0, blank), line.substr(blank + 1)};
}

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

}  // namespace

// A machine being built from a scenario's setup lines.
class ScenarioMachine::Builder {
public:
    Builder() { fs::create_directories(Host("C:\\PKG")); }

    void Apply(const std::string& line)
    {
        const auto [verb, rest] = SplitWord(line);
        const auto [path, text] = SplitWord(rest);
        if (verb == "system")
            InstallSystem(Host("C:\\KORIMU"), rest.empty() ? "3" : rest);
        else if (verb == "drive")
            machine_.AddDrive(rest.at(0));
        else if (verb == "package")
            package_ = rest;
        else if (verb == "file")
            WriteHostFile(Host(path), ScenarioText(text));
        else if (verb == "folder")
            fs::create_directories(Host(rest));
        else if (verb == "time")  // seconds since 1970 and nanoseconds: "time PATH 1700000000 5"
            SetTime(Host(path), text);
        else if (verb == "readonly")
            fs::permissions(Host(rest), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                            fs::perm_options::remove);
        else if (verb == "archive")
            WriteArchive(path, text);
        else if (verb == "uninstall")
            registry_ += "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\" + path + "] 1\n" +
                         "\"UninstallString\"=\"" + Escaped(text) + "\"\n";
        else if (verb == "entry")
            text_.entries.push_back(rest);
        else if (verb == "info")
            SetField(path, text);
        else if (verb == "stat-fails")
            faults_.statFails = Host(rest);
        else if (verb == "chmod-fails")
            faults_.chmodFails = Host(rest);
        else if (verb == "no-hard-links")
            faults_.noHardLinks = true;
        else
            throw std::runtime_error("unknown scenario line: " + line);
    }

    // info.txt goes last, into the package folder.
    void Finish()
    {
        WritePackage(Host(package_), text_);
        if (!registry_.empty())
            machine_.SetRegistry("WINE REGISTRY Version 2\n" + registry_);
    }

    fs::path Host(const std::string& windowsPath) const { return machine_.Host(windowsPath); }
    static void SetTime(const fs::path& file, const std::string& time)
    {
        const std::vector<std::string> parts = Words(time);
        const struct timespec times[2] = {{std::stol(parts.at(0)), std::stol(parts.at(1))},
                                          {std::stol(parts.at(0)), std::stol(parts.at(1))}};
        if (::utimensat(AT_FDCWD, file.c_str(), times, 0) != 0)
            throw std::runtime_error("cannot set the time of " + file.string());
    }
    const TestMachine& machine() const { return machine_; }
    const std::string& package() const { return package_; }
    const FaultPlan& faults() const { return faults_; }

private:
    // "NAME=TEXT NAME=TEXT": a stored archive of these members.
    void WriteArchive(const std::string& path, const std::string& members)
    {
        std::vector<LhaMember> stored;
        for (const std::string& member : Words(members)) {
            const std::size_t equals = member.find('=');
            stored.push_back(
                {.name = Sjis(member.substr(0, equals)), .content = ScenarioText(member.substr(equals + 1))});
        }
        WriteHostFile(Host(path), WriteStoredLha(stored, LhaLevel::Two));
    }

    static std::string Escaped(const std::string& text)
    {
        std::string escaped;
        for (char c : text)
            escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
        return escaped;
    }

    void SetField(const std::string& name, const std::string& value)
    {
        const std::map<std::string, std::string*> fields{
            {"installFolder", &text_.installFolder},       {"requiredVersion", &text_.requiredVersion},
            {"masterAdjustFlag", &text_.masterAdjustFlag}, {"systemIniName", &text_.systemIniName},
            {"digitizerFlag", &text_.digitizerFlag},       {"productKey", &text_.productKeys[0]},
        };
        if (name == "titleKeywords") {
            const std::vector<std::string> words = Words(value);
            std::copy_n(words.begin(), std::min(words.size(), text_.titleKeywords.size()), text_.titleKeywords.begin());
        } else {
            *fields.at(name) = value;
        }
    }

    TestMachine machine_;
    PackageText text_;
    std::string package_ = "C:\\PKG";
    std::string registry_;
    FaultPlan faults_;
};

std::vector<std::string> SplitLines(const std::string& text, const std::string& end)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t next = text.find(end, at);
        lines.push_back(text.substr(at, next - at));
        at = next == std::string::npos ? text.size() : next + end.size();
    }
    return lines;
}

std::string ScenarioText(const std::string& utf8)
{
    std::string text;
    for (char c : utf8)
        text += c == '|' ? std::string("\r\n") : std::string(1, c);
    return Sjis(text);
}

std::string SnapshotKey(const std::string& windowsPath)
{
    return TestMachine::InFolder(windowsPath).string();
}

Scenario LoadScenario(const fs::path& file)
{
    Scenario scenario;
    scenario.name = file.stem().string();
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line.starts_with('#'))
            continue;
        const auto [verb, rest] = SplitWord(line);
        if (verb == "run")
            scenario.run = Words(rest);
        else if (verb == "shows")
            scenario.shows.push_back(rest);
        else if (verb == "locked")
            scenario.locked = true;
        else if (verb == "exit")
            scenario.exit = std::stoi(rest);
        else if (verb == "has")
            scenario.has[SplitWord(rest).first] = SplitWord(rest).second;
        else if (verb == "afterwards")
            scenario.afterwards.push_back(rest);
        else if (verb == "undo-shows")
            scenario.undoShows.push_back(rest);
        else if (verb == "undo-exit")
            scenario.undoExit = std::stoi(rest);
        else
            scenario.setup.push_back(line);
    }
    return scenario;
}

std::vector<fs::path> ScenarioFiles()
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(PELMO_SCENARIOS))
        if (entry.path().extension() == ".txt")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

ScenarioMachine::ScenarioMachine(const Scenario& scenario) : scenario_(scenario), builder_(std::make_unique<Builder>())
{
    for (const std::string& line : scenario.setup)
        builder_->Apply(line);
    builder_->Finish();
}

ScenarioMachine::~ScenarioMachine() = default;

Snapshot ScenarioMachine::State() const
{
    return TakeSnapshot(builder_->machine().folder());
}

Snapshot OutsideRunFolders(Snapshot state)
{
    std::erase_if(state, [](const auto& entry) {
        return entry.first.find("/PELMOBAK/") != std::string::npos || entry.first.ends_with("/PELMOBAK");
    });
    return state;
}

std::string WorkFiles(const Snapshot& state)
{
    std::string names;
    for (const auto& [key, entry] : state)
        if (fs::path(key).filename().string().starts_with(".pelmo-"))
            names += key + "\n";
    return names;
}

RunResult ScenarioMachine::Run(FaultPlan faults) const
{
    return RunWith(std::move(faults), {});
}

RunResult ScenarioMachine::Recover(FaultPlan faults) const
{
    return RunWith(std::move(faults), {"--recover"});
}

RunResult ScenarioMachine::Undo(FaultPlan faults, bool force) const
{
    return RunWith(std::move(faults),
                   force ? std::vector<std::string>{"--undo", "--force"} : std::vector<std::string>{"--undo"});
}

void ScenarioMachine::ApplyAfterwards() const
{
    for (const std::string& line : scenario_.afterwards)
        builder_->Apply(line);
}

RunResult ScenarioMachine::DryRun() const
{
    // Beside the machine folder, so that the log is no change inside it.
    const fs::path log = builder_->machine().folder().string() + ".log";
    std::vector<std::string> extra{"--log", log.string()};
    if (std::find(scenario_.run.begin(), scenario_.run.end(), "--dry-run") == scenario_.run.end())
        extra.push_back("--dry-run");
    RunResult result = RunWith({}, extra);
    std::ifstream in(log, std::ios::binary);
    result.log.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(log);
    return result;
}

RunResult ScenarioMachine::RunWith(FaultPlan faults, std::vector<std::string> extra) const
{
    const std::string machine = builder_->machine().folder().string();
    const std::string package = builder_->Host(builder_->package()).string();
    std::vector<const char*> argv{"pelmo", "--unattended", "--machine", machine.c_str(), "--package", package.c_str()};
    // A recovery or an undo is never a dry run, and takes the place of any --recover.
    const bool alone = std::find(extra.begin(), extra.end(), "--recover") != extra.end() ||
                       std::find(extra.begin(), extra.end(), "--undo") != extra.end();
    for (const std::string& argument : scenario_.run)
        if (!alone || (argument != "--dry-run" && argument != "--recover"))
            argv.push_back(argument.c_str());
    for (const std::string& argument : extra)
        argv.push_back(argument.c_str());
    std::string error;
    const std::optional<Options> options = ParseOptions(static_cast<int>(argv.size()), argv.data(), error);
    if (!options)
        throw std::runtime_error(error);

    faults.root = builder_->machine().folder();
    faults.readsBelow = package;
    faults.statFails = builder_->faults().statFails;
    faults.chmodFails = builder_->faults().chmodFails;
    faults.noHardLinks = builder_->faults().noHardLinks;
    RunResult result;
    result.root = fs::canonical(builder_->machine().folder());
    // Another run's lock, held as that run would hold it; the snapshots are
    // taken without it, as that run leaves the system.
    result.before = State();
    std::unique_ptr<Stage> otherRun;
    if (scenario_.locked) {
        StageOpening opening = StageOpening::Failed;
        otherRun = Stage::Open(builder_->Host("C:\\KORIMU"), opening);
    }
    std::ostringstream out;
    std::ostringstream err;
    {
        FaultScope scope(faults);
        result.exit = RunUnattended(*options, out, err);
        result.writePoints = scope.writePoints();
        result.readPoints = scope.readPoints();
    }
    otherRun.reset();
    result.after = State();
    result.lines = SplitLines(out.str(), "\n");
    for (const std::string& line : SplitLines(err.str(), "\n"))
        result.lines.push_back(line);
    return result;
}

}  // namespace pelmo::test
