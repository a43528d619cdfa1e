// The upgrade run: checks, installation of every entry, optional steps, outcome.
#include "upgrade/upgrade_run.h"

#include <limits>
#include <optional>
#include <string>

#include "platform/files.h"
#include "platform/runtime.h"
#include "res/strings.h"
#include "upgrade/digitizer.h"
#include "upgrade/install_log.h"
#include "upgrade/master_files.h"
#include "upgrade/staged_run.h"
#include "upgrade/system_checks.h"

namespace pelmo {
namespace {

// The archive of the "START" entry for each system kind; any other kind
// extracts "START" itself. Keep sorted by kind.
struct StartSuffix {
    int systemKind;
    const char* suffix;
};
constexpr StartSuffix kStartSuffixes[] = {
    {0, "0"}, {1, "1"}, {2, "2"}, {3, "3"}, {4, "4"}, {5, "5"}, {99, "99"},
};

bool BeginsWithMaster21(std::string_view baseName)
{
    const std::string& prefix = GetText(Text::Master21Prefix);
    return baseName.substr(0, prefix.size()) == prefix;
}

// The archive library reports to `progress` while the scope lives; the library
// outlives the run, which its progress refers to.
class ArchiveProgressScope {
public:
    ArchiveProgressScope(ArchiveLibrary& archive, ArchiveLibrary::Progress progress) : archive_(archive)
    {
        archive_.SetProgress(std::move(progress));
    }
    ~ArchiveProgressScope() { archive_.SetProgress({}); }
    ArchiveProgressScope(const ArchiveProgressScope&) = delete;
    ArchiveProgressScope& operator=(const ArchiveProgressScope&) = delete;

private:
    ArchiveLibrary& archive_;
};

// How one step of the run ends: go on, or end the run so.
using Outcome = std::optional<RunOutcome>;
constexpr Outcome kGoOn = std::nullopt;

class UpgradeRun {
public:
    UpgradeRun(const Machine& machine, Prompter& prompter, ArchiveLibrary& archive, PackageInfo& info,
               std::string_view sourceFolder, InstallLog& log, bool dryRun)
        : machine_(machine),
          disk_(machine),
          prompter_(prompter),
          archive_(archive),
          info_(info),
          sourceFolder_(sourceFolder),
          log_(log),
          dryRun_(dryRun)
    {
    }

    RunOutcome Run()
    {
        BusyScope busy(prompter_);
        workFolder_ = info_.installFolder;
        // Each run starts from the name the package gave: a name tried by a run
        // the user sent back must not decide which file a later run looks for.
        iniName_ = info_.systemIniName;
        masterFileCopied_ = false;
        log_.BeginRun(sourceFolder_, workFolder_);
        // The checks only read, and settle the folder (a bare drive letter becomes
        // its root) in which the run folder lives.
        if (Outcome checked = CheckInstalledSystem())
            return Unchanged(*checked);
        RunStage stage(machine_, prompter_, log_, dryRun_);
        if (!stage.Open(workFolder_))
            return Unchanged(RunOutcome::Stopped);
        // Nothing may be written where nothing can be staged.
        const RunOutcome outcome = stage.view()
                                       ? RunSteps(*stage.view())
                                       : Show(GetText(Text::CommitFailed), Text::CaptionConfirm, RunOutcome::Stopped);
        return stage.Finish(outcome, GetText(Text::UpgradeSucceeded), Text::CaptionConfirm);
    }

private:
    // The run as described after its checks, up to its final message, which
    // comes after the commit; every step reads and writes through the stage's view.
    RunOutcome RunSteps(StagedView& files)
    {
        files_ = &files;
        info_.systemKind = DetectSystemKind(*files_, workFolder_, iniName_, info_.titleKeywords);
        log_.SystemKind(info_.systemKind);
        windowsFolder_ = machine_.GetWindowsDirectory();
        archive_.SetMode6(0);
        archive_.SetMode8(1);
        const ArchiveProgressScope archiveProgress(archive_, [this](std::uint64_t read, std::uint64_t size) {
            progress_.part = size > 0 ? static_cast<double>(read) / static_cast<double>(size) : 0;
            prompter_.Progress(progress_);
        });
        currentDisk_ = 1;
        const int total = static_cast<int>(info_.entries.size());
        for (int i = 0; i < total; ++i) {
            PackageEntry& entry = info_.entries[static_cast<std::size_t>(i)];
            const SplitPathResult read = SplitPath(FileReadFor(entry));
            Report({RunProgress::Step::Installing, read.baseName + read.extension, i, total});
            if (Outcome installed = InstallEntry(entry))
                return *installed;
        }
        if (total > 0)
            Report({RunProgress::Step::Installing, progress_.item, total, total});
        RunOptionalSteps();
        return stepFailed_ ? RunOutcome::UpgradedWithFailures : RunOutcome::Upgraded;
    }

    void Tell(const std::string& text, Text caption) { prompter_.MessageBox(text, GetText(caption), MB_OK); }

    // Where the run stands now; the archive library adds how far an extraction has got.
    void Report(RunProgress progress)
    {
        progress_ = std::move(progress);
        prompter_.Progress(progress_);
    }

    RunOutcome Unchanged(RunOutcome outcome)
    {
        log_.Outcome(outcome, dryRun_ ? RunEnding::DryRun : RunEnding::NothingChanged);
        return outcome;
    }

    // Logs a check's result and passes it on.
    int Checked(int result, Text what, const std::string& detail = {})
    {
        log_.Check(detail.empty() ? GetText(what) : GetText(what) + " " + detail, result == 1);
        return result;
    }

    RunOutcome Show(const std::string& text, Text caption, RunOutcome outcome)
    {
        Tell(text, caption);
        return outcome;
    }

    Outcome CheckInstalledSystem()
    {
        if (Checked(FindSettingsFile(), Text::LogCheckFolder, iniName_) != 1)
            return Show(GetText(Text::WrongInstallFolder), Text::CaptionError, RunOutcome::FolderRejected);
        if (Checked(CheckSystemFiles(disk_, workFolder_, iniName_), Text::LogCheckFiles) != 1)
            return Show(GetText(Text::CannotUpgradeVersion), Text::CaptionError, RunOutcome::FolderRejected);
        if (Checked(CheckSystemVersion(disk_, workFolder_, info_.requiredVersion), Text::LogCheckVersion,
                    info_.requiredVersion) != 1)
            return Show(GetText(Text::CannotUpgradeVersion), Text::CaptionError, RunOutcome::FolderRejected);
        return kGoOn;
    }

    // "NULL" lets the run try korimu1.ini, then tivonel1.ini; the rest of the run
    // uses the name last tried.
    int FindSettingsFile()
    {
        if (iniName_ != GetText(Text::NullName))
            return CheckInstalledFolder(disk_, workFolder_, iniName_);
        iniName_ = GetText(Text::KorimuIni);
        if (CheckInstalledFolder(disk_, workFolder_, iniName_) == 1)
            return 1;
        iniName_ = GetText(Text::TivonelIni);
        return CheckInstalledFolder(disk_, workFolder_, iniName_);
    }

    Outcome InstallEntry(PackageEntry& entry)
    {
        if (Outcome prompted = AskForDisk(entry))
            return prompted;
        const std::string targetFolder = workFolder_ + entry.targetSubfolder;
        EnsureFolder(*files_, targetFolder);
        if (entry.isArchive())
            return ExtractArchive(entry, targetFolder);
        return CopyPlainFile(entry, targetFolder);
    }

    // The file a disk must hold for this entry: the archive that will be
    // extracted (with the kind's suffix for "START"), or the plain file itself.
    std::string FileReadFor(const PackageEntry& entry) const
    {
        if (!entry.isArchive())
            return sourceFolder_ + entry.fileName;
        std::string name = entry.fileName;
        if (entry.isStart())
            name += StartArchiveSuffix(info_.systemKind);
        return sourceFolder_ + name + GetText(Text::ArchiveExtension);
    }

    // Only a program started from a floppy drive's root asks for disks.
    Outcome AskForDisk(const PackageEntry& entry)
    {
        if (entry.disk == 1 || entry.disk == currentDisk_ ||
            machine_.GetDriveType(sourceFolder_) != DriveType::Removable)
            return kGoOn;
        const std::string prompt = FormatText(Text::InsertDisk, std::to_string(entry.disk));
        const std::string wanted = FileReadFor(entry);
        for (;;) {
            if (prompter_.MessageBox(prompt, GetText(Text::CaptionConfirm), MB_OKCANCEL) != IDOK)
                return Show(GetText(Text::UpgradeCancelled), Text::CaptionConfirm, RunOutcome::Stopped);
            if (Access(*files_, wanted, 0) == 0) {
                currentDisk_ = entry.disk;
                return kGoOn;
            }
        }
    }

    Outcome ExtractArchive(PackageEntry& entry, const std::string& targetFolder)
    {
        if (entry.isStart()) {
            if (info_.systemKind == -1)
                return Show(GetText(Text::SystemNameUnknown), Text::CaptionUpdateError, RunOutcome::FolderRejected);
            entry.fileName += StartArchiveSuffix(info_.systemKind);
        }
        const std::string command = BuildExtractCommand(windowsFolder_, sourceFolder_ + entry.fileName, targetFolder);
        std::string output;
        if (archive_.Execute(*files_, command, output, kOutputSize) != 0)
            return Show(output, Text::CaptionConfirm, RunOutcome::Stopped);
        return kGoOn;
    }

    Outcome CopyPlainFile(const PackageEntry& entry, const std::string& targetFolder)
    {
        const std::string source = sourceFolder_ + entry.fileName;
        const SplitPathResult parts = SplitPath(source);
        if (BeginsWithMaster21(parts.baseName))
            masterFileCopied_ = true;
        const std::string target = targetFolder + parts.baseName + parts.extension;
        if (!CopyFile(*files_, source, target, ExistingTarget::Replace))
            return Show(FormatText(Text::UpdateFailed, target), Text::CaptionConfirm, RunOutcome::Stopped);
        // A file that was read-only on the disk must be writable once installed;
        // failing to make it so is reported like failing to read its status.
        FileStatus status;
        if (!GetStatus(*files_, target, status))
            return Show(FormatText(Text::AttributeUpdateFailed, source), Text::CaptionConfirm, RunOutcome::Stopped);
        status.attribute = kAttributeNormal;
        if (!SetStatus(*files_, target, status))
            return Show(FormatText(Text::AttributeUpdateFailed, source), Text::CaptionConfirm, RunOutcome::Stopped);
        return kGoOn;
    }

    void RunOptionalSteps()
    {
        if (Atoi(info_.digitizerFlag) == 1) {
            Report({RunProgress::Step::VoiceData, {}, 0, 1});
            if (!RunDigitizerStep(*files_, prompter_, archive_, workFolder_, iniName_, masterFileCopied_))
                stepFailed_ = true;
        }
        if (Atoi(info_.masterAdjustFlag) == 1) {
            BusyScope busy(prompter_);
            // The master folder is always read from korimu1.ini, whatever settings
            // file the checks found.
            const std::string iniPath = workFolder_ + GetText(Text::KorimuIni);
            Report({RunProgress::Step::Converting, {}, 0, 2});
            if (ConvertMaterialSize(*files_, iniPath) == 0)
                ReportStepFailure(Text::MaterialSizeFailed);
            Report({RunProgress::Step::Converting, {}, 1, 2});
            if (ConvertMaterialType(*files_, iniPath) == 0)
                ReportStepFailure(Text::MaterialTypeFailed);
        }
    }

    void ReportStepFailure(Text text)
    {
        Tell(GetText(text), Text::CaptionConfirm);
        stepFailed_ = true;
    }

    // The library's text is shown whole: a long archive path must not cut off
    // the reason that follows it.
    static constexpr std::size_t kOutputSize = std::numeric_limits<std::size_t>::max();

    const Machine& machine_;
    const DiskView disk_;          // what the checks read, before anything is staged
    StagedView* files_ = nullptr;  // the stage's view, once the checks are done
    Prompter& prompter_;
    ArchiveLibrary& archive_;
    PackageInfo& info_;
    const std::string sourceFolder_;
    InstallLog& log_;
    const bool dryRun_;
    std::string workFolder_;
    std::string iniName_;  // the settings file this run found or last tried
    std::string windowsFolder_;
    bool masterFileCopied_ = false;
    bool stepFailed_ = false;  // a step after the installation reported a failure
    int currentDisk_ = 1;
    RunProgress progress_;
};

}  // namespace

RunOutcome RunUpgrade(const Machine& machine, Prompter& prompter, ArchiveLibrary& archive, PackageInfo& info,
                      std::string_view sourceFolder, const RunOptions& options)
{
    // Every run keeps a log, for the run folder when it commits.
    InstallLog own;
    InstallLog& log = options.log ? *options.log : own;
    LoggingPrompter logging(prompter, log);
    return UpgradeRun(machine, logging, archive, info, sourceFolder, log, options.dryRun).Run();
}

std::string StartArchiveSuffix(int systemKind)
{
    for (const StartSuffix& row : kStartSuffixes)
        if (row.systemKind == systemKind)
            return row.suffix;
    return {};
}

void EnsureFolder(StagedView& files, std::string_view path)
{
    if (Access(files, path, 0) != 0)
        MkDir(files, path);
}

}  // namespace pelmo
