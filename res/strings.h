// The string catalogue: every fixed text of the program, in code page 932.
#pragma once

#include <initializer_list>
#include <string>

namespace pelmo {

enum class Text {
    // Settings files, sections, keys and fixed file names.
    KorimuIni,        // "korimu1.ini"
    TivonelIni,       // "tivonel1.ini"
    KorimuIniUpper,   // "KORIMU1.INI"
    TivonelIniUpper,  // "TIVONEL1.INI"
    NullName,         // "NULL"
    InfoTxt,          // "info.txt"
    SectionSystem,    // "SYSTEM"
    SectionDir,       // "DIR"
    KeyVersion,       // "VERSION"
    KeyMaker,         // "MAKER"
    KeyTitle,         // "TITLE"
    KeyMaster,        // "MASTER"
    KeyWav,           // "WAV"
    KeyDigitizer,     // "ﾃﾞｼﾞﾀｲｻﾞ"
    KeyDigitizerMst,  // "ﾃﾞｼﾞﾀｲｻﾞMST"
    DigitizerName,    // "ﾍﾟﾙﾓﾝﾄ"
    DigitizerSuffix,  // " with ﾍﾟﾙﾓﾝﾄ"
    VoiceArchive,     // "音声\wave"
    // Captions.
    CaptionError,        // "ｴﾗｰ"
    CaptionUpdateError,  // "更新ｴﾗｰ"
    CaptionConfirm,      // "確認"
    // Messages of the upgrade run.
    WrongInstallFolder,     // "ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞが正しくないと思われます。"
    CannotUpgradeVersion,   // "このﾊﾞｰｼﾞｮﾝのｱｯﾌﾟﾃﾞｲﾄはできません。"
    InsertDisk,             // "%d 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。"
    UpgradeCancelled,       // "ｱｯﾌﾟﾃﾞｲﾄを取消しました。"
    SystemNameUnknown,      // "ｼｽﾃﾑ名称が取得できませんでした。"
    UpdateFailed,           // "%sの更新に失敗しました。"
    AttributeUpdateFailed,  // "%sの属性更新に失敗しました。"
    MaterialSizeFailed,     // "材料ｻｲｽﾞ変換が正常に更新されませんでした。"
    MaterialTypeFailed,     // "材料ﾀｲﾌﾟ変換が正常に更新されませんでした。"
    UpgradeSucceeded,       // "システムは正常に更新されました。"
    // Messages of staged runs.
    RunBusy,       // "他のｱｯﾌﾟﾃﾞｲﾄが実行中です。"
    CommitFailed,  // "ｱｯﾌﾟﾃﾞｲﾄを完了できませんでした。元の状態に戻しました。"
    RunDiscarded,  // "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しました。"
    PreviousCompleted,  // "前回のｱｯﾌﾟﾃﾞｲﾄを完了しました。"
    PreviousRolledBack,  // "前回のｱｯﾌﾟﾃﾞｲﾄが中断されていたため、元の状態に戻しました。"
    DryRunUnfinished,  // "前回のｱｯﾌﾟﾃﾞｲﾄが完了していないため、確認できません。"
    // The progress of a run.
    ProgressInstalling,  // "%s をｲﾝｽﾄｰﾙしています。"
    ProgressVoiceData,   // "音声ﾃﾞｰﾀをｲﾝｽﾄｰﾙしています。"
    ProgressConverting,  // "材料ﾏｽﾀを変換しています。"
    ProgressCommitting,  // "ｼｽﾃﾑを更新しています。"
    ProgressTakingBack,  // "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しています。"
    ProgressCount,       // "%s ﾌｧｲﾙ"
    // Words of the plan (--dry-run) and of the install log.
    PlanAdded,                // "added"
    PlanReplaced,             // "replaced"
    PlanUnchanged,            // "unchanged"
    PlanSettings,             // "settings"
    PlanConverted,            // "converted"
    PlanArrow,                // " → "
    PlanRecords,              // "records"
    LogBytes,                 // "bytes, CRC-32"
    LogPackage,               // "package"
    LogTarget,                // "target"
    LogCheck,                 // "check"
    LogPassed,                // "ok"
    LogFailed,                // "failed"
    LogCheckFolder,           // "settings file"
    LogCheckFiles,            // "system files"
    LogCheckVersion,          // "version"
    LogSystemKind,            // "system kind"
    LogMessage,               // "message"
    LogOutcome,               // "outcome"
    LogUpgraded,              // "upgraded"
    LogUpgradedWithFailures,  // "upgraded, a step failed"
    LogStopped,               // "stopped"
    LogFolderRejected,        // "folder rejected"
    LogCommitted,             // "committed"
    LogDiscarded,             // "discarded"
    LogNothingChanged,        // "nothing changed"
    LogDryRun,                // "dry run, nothing changed"
    LogCommitFailed,          // "commit failed, nothing changed"
    UndoRefused,  // "ｱｯﾌﾟﾃﾞｲﾄ後に変更されたﾌｧｲﾙがあるため、元に戻せません。"
    NothingToUndo,  // "元に戻すｱｯﾌﾟﾃﾞｲﾄがありません。"
    UndoFailed,     // "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻せませんでした。"
    UndoForced,  // "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しました。変更されていたﾌｧｲﾙは次のﾌｫﾙﾀﾞに残しました。"
    LogNote,     // "note"
    LogVersion,  // "version"
    LogFrontEnd,         // "front end"
    LogTakenBack,        // "taken back"
    LogTakenBackForced,  // "taken back with --force"
    LogUndoRefused,      // "refused: files changed since"
    LogUndoFailed,       // "failed"
    LogRecovered,        // "recovered"
    // Messages of the archive component.
    // The reason comes first, so that a small output buffer cuts the path rather than the reason.
    ArchiveNotFound,      // "書庫が見つかりません: %s"
    ArchiveDamaged,       // "書庫が壊れています: %s"
    ArchiveCannotWrite,   // "展開先に書き込めません: %s"
    ArchiveUnusableName,  // "書庫内のファイル名が使えません: %s"
    ArchiveBadCommand,    // "コマンドが正しくありません: %s"
    // Material master files.
    MasterPattern,      // "zai???-3.mst"
    MasterSubfolder1,   // "1\"
    MasterSubfolder21,  // "21\"
    // Files of the installed system and settings defaults of the checks.
    Ko2MenuIni,      // "ko2menu.ini"
    Ko1MenuIni,      // "ko1menu.ini"
    FormatterExe,    // "formater.exe"
    DefaultVersion,  // "9999"
    DefaultMaker,    // "1"
    // Package names the upgrade run recognises.
    StartArchive,      // "START"
    Master21Prefix,    // "MASTER21"
    ArchiveExtension,  // ".lzh"
    // The product's Uninstall entry in the registry.
    UninstallKey,           // "SOFTWARE\Microsoft\Windows\..."
    UninstallValue,         // "UninstallString"
    UninstallFolderSwitch,  // " -f"
    UninstallSwitch,        // " -"
    // The command line of the pelmo executable (UTF-8 on the terminal).
    CliUsage,                  // "usage: pelmo [--package DIR] [..."
    CliUnknownOption,          // "pelmo: unknown option %s"
    CliMissingValue,           // "pelmo: %s needs a value"
    CliRepeatedOption,         // "pelmo: %s given more than once"
    CliNoDisplay,              // "pelmo: no display for the wizard..."
    CliMachineFailed,          // "pelmo: cannot use the machine: %s"
    CliNotOnMachine,           // "pelmo: %s lies on no drive of ..."
    CliOwnFolderNotOnMachine,  // "pelmo: without --package the pa..."
    CliNoPackage,              // "pelmo: no info.txt in %s"
    CliBadTarget,              // "pelmo: the target folder canno..."
    CliTargetNeedsUnattended,  // "pelmo: --target is only for ..."
    CliDryRunNeedsUnattended,  // "pelmo: --dry-run is only for --unattended"
    CliLogFailed,              // "pelmo: cannot write the log %s"
    CliUndoAndRecover,         // "pelmo: --undo and --recover ..."
    CliUndoOnly,               // "pelmo: %s is only for --undo"
    CliListAndForce,           // "pelmo: --list and --force cannot be given together"
    CliUndoForceHint,          // "pelmo: --undo --force takes the upgrade back all the same ..."
    CliHistoryLine,            // "%s  %s  %s added, %s replaced, %s removed  %s"
    CliHistoryCanUndo,         // "can be taken back"
    CliHistoryChanged,         // "cannot be taken back: files changed since"
    CliHistoryForced,          // "taken back with --force"
    CliNeedsTarget,            // "pelmo: %s needs the installed system's folder ..."
    CliNoSuchFolder,           // "pelmo: no such folder: %s"
    CliNotAFolder,             // "pelmo: %s is not a folder"
    CliFolderNameNotCp932,     // "pelmo: the program cannot use the folder name %s..."
    CliNotAMachine,            // "pelmo: %s is no machine folder..."
    CliBadDisk,                // "pelmo: --disk needs N=DIR..."
    CliVersion,                // "pelmo %s"
    // Texts of the wizard's windows.
    CaptionUpdate,    // "ｱｯﾌﾟﾃﾞｲﾄ"
    ButtonOk,         // "OK"
    ButtonCancel,     // "キャンセル"
    FrameTitle,       // "Pelmo"
    NotesName,        // "注意事項": what a screen reader calls a notes box without a label
    PictureName,      // "ｲﾒｰｼﾞ": what it calls a picture
    AllFilesPattern,  // "*.*"
    Count
};

// The text in code page 932.
const std::string& GetText(Text id);
// The same text in UTF-8, as written in the catalogue.
const char* GetTextUtf8(Text id);

// Replaces the first "%s" or "%d" of a catalogue format with `argument`. The
// result is as long as it needs to be: no fixed buffer cuts it.
std::string FormatText(Text id, const std::string& argument);
// The same on the UTF-8 form, for texts shown outside the program's code page.
std::string FormatTextUtf8(Text id, const std::string& argument);
// The same with each "%s" in turn replaced by the next argument.
std::string FormatTextUtf8(Text id, std::initializer_list<std::string> arguments);

}  // namespace pelmo
