// The string catalogue, written in UTF-8 and converted once to code page 932.
#include "res/strings.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "platform/text.h"

namespace pelmo {
namespace {

struct Entry {
    Text id;
    const char* utf8;
};

// In the order of the Text enumeration.
constexpr Entry kCatalogue[] = {
    {Text::KorimuIni, "korimu1.ini"},
    {Text::TivonelIni, "tivonel1.ini"},
    {Text::KorimuIniUpper, "KORIMU1.INI"},
    {Text::TivonelIniUpper, "TIVONEL1.INI"},
    {Text::NullName, "NULL"},
    {Text::InfoTxt, "info.txt"},
    {Text::SectionSystem, "SYSTEM"},
    {Text::SectionDir, "DIR"},
    {Text::KeyVersion, "VERSION"},
    {Text::KeyMaker, "MAKER"},
    {Text::KeyTitle, "TITLE"},
    {Text::KeyMaster, "MASTER"},
    {Text::KeyWav, "WAV"},
    {Text::KeyDigitizer, "ﾃﾞｼﾞﾀｲｻﾞ"},
    {Text::KeyDigitizerMst, "ﾃﾞｼﾞﾀｲｻﾞMST"},
    {Text::DigitizerName, "ﾍﾟﾙﾓﾝﾄ"},
    {Text::DigitizerSuffix, " with ﾍﾟﾙﾓﾝﾄ"},
    {Text::VoiceArchive, "音声\\wave"},
    {Text::CaptionError, "ｴﾗｰ"},
    {Text::CaptionUpdateError, "更新ｴﾗｰ"},
    {Text::CaptionConfirm, "確認"},
    {Text::WrongInstallFolder, "ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。"},
    {Text::CannotUpgradeVersion, "このﾊﾞｰｼﾞｮﾝのｱｯﾌﾟﾃﾞｲﾄはできません。"},
    {Text::InsertDisk, "%d 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。"},
    {Text::UpgradeCancelled, "ｱｯﾌﾟﾃﾞｲﾄを取消しました。"},
    {Text::SystemNameUnknown, "ｼｽﾃﾑ名称が取得できませんでした。"},
    {Text::UpdateFailed, "%sの更新に失敗しました。"},
    {Text::AttributeUpdateFailed, "%sの属性更新に失敗しました。"},
    {Text::MaterialSizeFailed, "材料ｻｲｽﾞ変換が正常に更新されませんでした。"},
    {Text::MaterialTypeFailed, "材料ﾀｲﾌﾟ変換が正常に更新されませんでした。"},
    {Text::UpgradeSucceeded, "システムは正常に更新されました。"},
    {Text::RunBusy, "他のｱｯﾌﾟﾃﾞｲﾄが実行中です。"},
    {Text::CommitFailed, "ｱｯﾌﾟﾃﾞｲﾄを完了できませんでした。元の状態に戻しました。"},
    {Text::RunDiscarded, "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しました。"},
    {Text::PreviousCompleted, "前回のｱｯﾌﾟﾃﾞｲﾄを完了しました。"},
    {Text::PreviousRolledBack, "前回のｱｯﾌﾟﾃﾞｲﾄが中断されていたため、元の状態に戻しました。"},
    {Text::DryRunUnfinished, "前回のｱｯﾌﾟﾃﾞｲﾄが完了していないため、確認できません。"},
    {Text::ProgressInstalling, "%s をｲﾝｽﾄｰﾙしています。"},
    {Text::ProgressVoiceData, "音声ﾃﾞｰﾀをｲﾝｽﾄｰﾙしています。"},
    {Text::ProgressConverting, "材料ﾏｽﾀを変換しています。"},
    {Text::ProgressCommitting, "ｼｽﾃﾑを更新しています。"},
    {Text::ProgressTakingBack, "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しています。"},
    {Text::ProgressCount, "%s ﾌｧｲﾙ"},
    {Text::PlanAdded, "added"},
    {Text::PlanReplaced, "replaced"},
    {Text::PlanUnchanged, "unchanged"},
    {Text::PlanSettings, "settings"},
    {Text::PlanConverted, "converted"},
    {Text::PlanArrow, " → "},
    {Text::PlanRecords, "records"},
    {Text::LogBytes, "bytes, CRC-32"},
    {Text::LogPackage, "package"},
    {Text::LogTarget, "target"},
    {Text::LogCheck, "check"},
    {Text::LogPassed, "ok"},
    {Text::LogFailed, "failed"},
    {Text::LogCheckFolder, "settings file"},
    {Text::LogCheckFiles, "system files"},
    {Text::LogCheckVersion, "version"},
    {Text::LogSystemKind, "system kind"},
    {Text::LogMessage, "message"},
    {Text::LogOutcome, "outcome"},
    {Text::LogUpgraded, "upgraded"},
    {Text::LogUpgradedWithFailures, "upgraded, a step failed"},
    {Text::LogStopped, "stopped"},
    {Text::LogFolderRejected, "folder rejected"},
    {Text::LogCommitted, "committed"},
    {Text::LogDiscarded, "discarded"},
    {Text::LogNothingChanged, "nothing changed"},
    {Text::LogDryRun, "dry run, nothing changed"},
    {Text::LogCommitFailed, "commit failed, nothing changed"},
    {Text::UndoRefused, "ｱｯﾌﾟﾃﾞｲﾄ後に変更されたﾌｧｲﾙがあるため、元に戻せません。"},
    {Text::NothingToUndo, "元に戻すｱｯﾌﾟﾃﾞｲﾄがありません。"},
    {Text::UndoFailed, "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻せませんでした。"},
    {Text::UndoForced, "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しました。変更されていたﾌｧｲﾙは次のﾌｫﾙﾀﾞに残しました。"},
    {Text::LogNote, "note"},
    {Text::LogVersion, "version"},
    {Text::LogFrontEnd, "front end"},
    {Text::LogTakenBack, "taken back"},
    {Text::LogTakenBackForced, "taken back with --force"},
    {Text::LogUndoRefused, "refused: files changed since"},
    {Text::LogUndoFailed, "failed"},
    {Text::LogRecovered, "recovered"},
    {Text::ArchiveNotFound, "書庫が見つかりません: %s"},
    {Text::ArchiveDamaged, "書庫が壊れています: %s"},
    {Text::ArchiveCannotWrite, "展開先に書き込めません: %s"},
    {Text::ArchiveUnusableName, "書庫内のファイル名が使えません: %s"},
    {Text::ArchiveBadCommand, "コマンドが正しくありません: %s"},
    {Text::MasterPattern, "zai??\?-3.mst"},  // escaped: "??-" is a trigraph
    {Text::MasterSubfolder1, "1\\"},
    {Text::MasterSubfolder21, "21\\"},
    {Text::Ko2MenuIni, "ko2menu.ini"},
    {Text::Ko1MenuIni, "ko1menu.ini"},
    {Text::FormatterExe, "formater.exe"},
    {Text::DefaultVersion, "9999"},
    {Text::DefaultMaker, "1"},
    {Text::StartArchive, "START"},
    {Text::Master21Prefix, "MASTER21"},
    {Text::ArchiveExtension, ".lzh"},
    {Text::UninstallKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"},
    {Text::UninstallValue, "UninstallString"},
    {Text::UninstallFolderSwitch, " -f"},
    {Text::UninstallSwitch, " -"},
    {Text::CliUsage,
     "usage: pelmo [--package DIR] [--machine DIR] [--log FILE]\n"
     "       pelmo --unattended [--dry-run] [--target FOLDER] [--package DIR] [--machine DIR] [--log FILE]\n"
     "       pelmo --recover [--target FOLDER] [--package DIR] [--machine DIR]\n"
     "       pelmo --undo [--list | --force] [--target FOLDER] [--package DIR] [--machine DIR] [--log FILE]\n"
     "       pelmo check [--package DIR] [--disk N=DIR]...\n"
     "       pelmo pack [--disk-size BYTES] [--one-folder] SOURCE OUT\n"
     "       pelmo pack [--disk-size BYTES] [--one-folder] --from OLD --to NEW DESCRIPTION OUT\n"
     "       pelmo --help | --version\n"
     "  --unattended     run the upgrade without dialogs, printing every message\n"
     "  --dry-run        with --unattended: run over a staged view, print the plan, change nothing\n"
     "  --recover        only complete or roll back an interrupted run, then exit\n"
     "  --undo           put the system back as it was before its newest upgrade not taken back\n"
     "  --list           with --undo: list the upgrades that undo can take back, newest first\n"
     "  --force          with --undo: take it back although files changed since, keeping them\n"
     "  --target FOLDER  the installed system's folder, in Windows form (C:\\KORIMU)\n"
     "  --package DIR    the package folder (default: the current folder for an installed pelmo,\n"
     "                   else the program's own folder; for check, the current one)\n"
     "  --machine DIR    the machine folder (default: $WINEPREFIX, else ~/.wine)\n"
     "  --log FILE       also write the run's log to FILE (UTF-8)\n"
     "  --disk N=DIR     for check: disk N of the package is the folder DIR (default: the package folder)\n"
     "  --disk-size BYTES  for pack: the room on each disk (default 1457664, a 1.44 MB floppy)\n"
     "  --one-folder     for pack: every disk's files in OUT itself instead of OUT/diskN\n"
     "  --from OLD       for pack: a delta package, only what differs from the installed system's folder OLD\n"
     "  --to NEW         for pack: the delta's files, laid out as DESCRIPTION (a pack.txt) names them\n"
     "  --help           show this text\n"
     "  --version        show the program's version\n"},
    {Text::CliUnknownOption, "pelmo: unknown option %s"},
    {Text::CliMissingValue, "pelmo: %s needs a value"},
    {Text::CliRepeatedOption, "pelmo: %s given more than once"},
    {Text::CliNoDisplay, "pelmo: no display for the wizard; set DISPLAY or run with --unattended"},
    {Text::CliMachineFailed, "pelmo: cannot use the machine: %s"},
    {Text::CliNotOnMachine, "pelmo: %s lies on no drive of the machine"},
    {Text::CliOwnFolderNotOnMachine,
     "pelmo: without --package the package folder is the program's own, %s, which lies on no drive of the "
     "machine"},
    {Text::CliNoPackage, "pelmo: no info.txt in %s"},
    {Text::CliBadTarget, "pelmo: the target folder cannot be written in code page 932: %s"},
    {Text::CliTargetNeedsUnattended, "pelmo: --target is only for --unattended; the wizard asks for the folder"},
    {Text::CliDryRunNeedsUnattended, "pelmo: --dry-run is only for --unattended"},
    {Text::CliLogFailed, "pelmo: cannot write the log %s"},
    {Text::CliUndoAndRecover, "pelmo: --undo and --recover cannot be given together"},
    {Text::CliUndoOnly, "pelmo: %s is only for --undo"},
    {Text::CliListAndForce, "pelmo: --list and --force cannot be given together"},
    {Text::CliUndoForceHint,
     "pelmo: --undo --force takes the upgrade back all the same, keeping the changed files in PELMOBAK"},
    {Text::CliHistoryLine, "%s  %s  %s added, %s replaced, %s removed  %s"},
    {Text::CliHistoryCanUndo, "can be taken back"},
    {Text::CliHistoryChanged, "cannot be taken back: files changed since"},
    {Text::CliHistoryForced, "taken back with --force"},
    {Text::CliNeedsTarget,
     "pelmo: %s needs the installed system's folder and no package is at hand: give it as --target, e.g. "
     "--target 'C:\\KORIMU'"},
    {Text::CliNoSuchFolder, "pelmo: no such folder: %s"},
    {Text::CliNotAFolder, "pelmo: %s is not a folder"},
    {Text::CliFolderNameNotCp932,
     "pelmo: the program cannot use the folder name %s: the character %s has no code page 932 form"},
    {Text::CliNotAMachine, "pelmo: %s is no machine folder: it has no dosdevices/"},
    {Text::CliBadDisk, "pelmo: --disk needs N=DIR, with a disk number from 2: %s"},
    {Text::CliVersion, "pelmo %s"},
    {Text::CaptionUpdate, "ｱｯﾌﾟﾃﾞｲﾄ"},
    {Text::ButtonOk, "OK"},
    {Text::ButtonCancel, "キャンセル"},
    {Text::FrameTitle, "Pelmo"},
    {Text::NotesName, "注意事項"},
    {Text::PictureName, "ｲﾒｰｼﾞ"},
    {Text::AllFilesPattern, "*.*"},
};
static_assert(std::size(kCatalogue) == static_cast<std::size_t>(Text::Count));

const std::array<std::string, static_cast<std::size_t>(Text::Count)>& Converted()
{
    static const auto table = [] {
        std::array<std::string, static_cast<std::size_t>(Text::Count)> result;
        for (std::size_t i = 0; i < std::size(kCatalogue); ++i) {
            auto cp932 = Utf8ToCp932(kCatalogue[i].utf8);
            if (!cp932 || kCatalogue[i].id != static_cast<Text>(i)) {
                // A catalogue that cannot be written in code page 932 is a build fault.
                std::fprintf(stderr, "pelmo: catalogue entry %zu is broken\n", i);
                std::abort();
            }
            result[i] = *cp932;
        }
        return result;
    }();
    return table;
}

}  // namespace

const std::string& GetText(Text id)
{
    return Converted()[static_cast<std::size_t>(id)];
}

const char* GetTextUtf8(Text id)
{
    return kCatalogue[static_cast<std::size_t>(id)].utf8;
}

std::string FormatText(Text id, const std::string& argument)
{
    const std::string& format = GetText(id);
    std::size_t at = format.find('%');
    if (at == std::string::npos || at + 1 >= format.size())
        return format;
    return format.substr(0, at) + argument + format.substr(at + 2);
}

std::string FormatTextUtf8(Text id, const std::string& argument)
{
    std::string text = GetTextUtf8(id);
    std::size_t at = text.find('%');
    if (at == std::string::npos || at + 1 >= text.size())
        return text;
    return text.replace(at, 2, argument);
}

std::string FormatTextUtf8(Text id, std::initializer_list<std::string> arguments)
{
    std::string text = GetTextUtf8(id);
    std::size_t from = 0;
    for (const std::string& argument : arguments) {
        const std::size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, argument);
        from = at + argument.size();
    }
    return text;
}

}  // namespace pelmo
