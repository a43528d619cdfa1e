// Dialog templates 100, 130, 132, 133 and 134, control by control in template order.
#include "res/dialog_templates.h"

namespace pelmo {
namespace {

constexpr std::uint32_t kListBoxStyle =
    kBorder | kVScroll | kDisableNoScroll | kSort | kNotify | kNoIntegralHeight | kTabStop;
constexpr std::uint32_t kNotesStyle = kBorder | kVScroll | kAutoVScroll | kMultiline | kReadOnly | kTabStop;

// Template 100: the About box.
constexpr ControlTemplate kAbout[] = {
    {IDC_STATIC, ControlKind::Icon, "", 11, 17, 20, 20, 0},
    {IDC_STATIC, ControlKind::StaticText, "Pelmo Version 1.0", 40, 10, 119, 8, 0},
    {IDC_STATIC, ControlKind::StaticText, "アップデート ウィザード", 40, 25, 119, 8, 0},
    {1, ControlKind::PushButton, "OK", 178, 7, 32, 14, kDefaultButton | kTabStop | kGroup},
};

// Template 130: the destination dialog.
constexpr ControlTemplate kDestination[] = {
    {1, ControlKind::PushButton, "次へ", 116, 138, 50, 14, kDefaultButton | kTabStop},
    {IDC_DRIVE_LIST, ControlKind::ListBox, "", 7, 61, 48, 71, kListBoxStyle},
    {IDC_STATIC, ControlKind::StaticText, "ｲﾝｽﾄｰﾙ先\n          ﾄﾞﾗｲﾌﾞ", 7, 41, 49, 17, kSunken | kGroup},
    {IDC_STATIC, ControlKind::StaticText, "ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞ", 64, 41, 102, 17,
     kCenter | kCenterVertical | kSunken | kGroup},
    {IDC_FOLDER_LIST, ControlKind::ListBox, "", 63, 77, 102, 56, kListBoxStyle},
    {IDC_RESTORE_CHECK, ControlKind::CheckBox, "更新前に戻す", 64, 142, 102, 10,
     kAutoCheck | kHidden | kDisabled | kTabStop},
    {IDC_FOLDER_EDIT, ControlKind::EditBox, "", 64, 61, 102, 14, kBorder | kAutoHScroll | kTabStop},
    {IDC_BACK, ControlKind::PushButton, "戻る", 7, 138, 50, 14, kTabStop},
    {IDC_NOTES, ControlKind::EditBox, "", 41, 7, 125, 31, kNotesStyle},
    {IDC_PICTURE, ControlKind::BlackFrame, "", 12, 11, 20, 20, 0},
};

// Template 132: the start dialog.
constexpr ControlTemplate kStart[] = {
    {1, ControlKind::PushButton, "開始", 158, 108, 50, 14, kDefaultButton | kTabStop},
    {2, ControlKind::PushButton, "取消", 7, 108, 50, 14, kTabStop},
    {IDC_NOTES, ControlKind::EditBox, "", 7, 36, 201, 64, kNotesStyle},
    {IDC_STATIC, ControlKind::StaticText, "ｲﾝｽﾄｰﾙを開始します。\n下記の注意項目を確認して下さい。", 50, 10, 121, 19,
     kGroup},
    {IDC_PICTURE, ControlKind::BlackFrame, "", 12, 7, 20, 20, 0},
};

// Template 133: the confirmation dialog.
constexpr ControlTemplate kConfirm[] = {
    {1, ControlKind::PushButton, "更新", 140, 49, 50, 14, kDefaultButton | kTabStop},
    {2, ControlKind::PushButton, "戻る", 55, 49, 50, 14, kTabStop},
    {IDC_STATIC, ControlKind::StaticText, "更新先：", 7, 32, 25, 8, kGroup},
    {IDC_NOTES, ControlKind::StaticText, "", 41, 30, 149, 11, kCenterVertical | kSunken | kGroup},
    {IDC_PICTURE, ControlKind::BlackFrame, "", 13, 3, 20, 20, 0},
};

// Template 134: the progress window of a run, which the run fills in. One-line
// texts; it takes no input, so nothing is a tab stop.
constexpr ControlTemplate kProgress[] = {
    {IDC_PROGRESS_ACTION, ControlKind::StaticText, "", 7, 7, 172, 9, kCenterVertical},
    {IDC_PROGRESS_COUNT, ControlKind::StaticText, "", 7, 18, 172, 9, kCenterVertical},
    {IDC_PROGRESS_BAR, ControlKind::ProgressBar, "", 7, 31, 172, 10, kBorder},
};

// Keep sorted by id.
constexpr DialogTemplate kTemplates[] = {
    {IDD_ABOUTBOX, "ﾊﾞｰｼﾞｮﾝ情報(Pelmo)", 217, 55, kDialogFontName, 9, kModalFrame | kSystemMenu, kAbout},
    {IDD_DESTINATION, "", 173, 159, kDialogFontName, 11, kModalFrame | kCenterOnScreen, kDestination},
    {IDD_START, "マスタ調整機能付", 215, 129, kDialogFontName, 11, kModalFrame | kCenterOnScreen, kStart},
    {IDD_CONFIRM, "", 197, 70, kDialogFontName, 11, kModalFrame | kCenterOnScreen, kConfirm},
    {IDD_PROGRESS, "ｱｯﾌﾟﾃﾞｲﾄ", 186, 48, kDialogFontName, 9, kModalFrame, kProgress},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& dialog : kTemplates) {
        if (dialog.id == id)
            return &dialog;
    }
    return nullptr;
}

}  // namespace pelmo
