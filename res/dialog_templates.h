// Dialog templates 100, 130, 132, 133 and the progress window's 134 as data:
// controls in tab order, dialog units.
#pragma once

#include <cstdint>
#include <span>

namespace pelmo {

constexpr int IDC_STATIC = 65535;  // a control the program never addresses

// The font of every template, and of the system's message boxes.
inline constexpr const char* kDialogFontName = "ＭＳ Ｐゴシック";

enum class ControlKind {
    PushButton,
    ListBox,
    StaticText,
    CheckBox,
    EditBox,
    BlackFrame,  // the picture frame
    Icon,        // icon 128
    ProgressBar,
};

// Window styles as the templates state them; each kind reads the flags it knows.
enum ControlStyle : std::uint32_t {
    kDefaultButton = 1u << 0,
    kTabStop = 1u << 1,
    kGroup = 1u << 2,
    kHidden = 1u << 3,
    kDisabled = 1u << 4,
    kBorder = 1u << 5,
    kVScroll = 1u << 6,
    kDisableNoScroll = 1u << 7,  // scroll bar always shown, disabled when not needed
    kSort = 1u << 8,
    kNotify = 1u << 9,
    kNoIntegralHeight = 1u << 10,
    kAutoHScroll = 1u << 11,
    kAutoVScroll = 1u << 12,
    kMultiline = 1u << 13,
    kReadOnly = 1u << 14,
    kSunken = 1u << 15,
    kCenter = 1u << 16,          // text centred horizontally
    kCenterVertical = 1u << 17,  // text centred vertically
    kAutoCheck = 1u << 18,
};

enum DialogStyle : std::uint32_t {
    kModalFrame = 1u << 0,
    kSystemMenu = 1u << 1,  // a close box in the caption bar
    kCenterOnScreen = 1u << 2,
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // UTF-8
    int x, y, width, height;
    std::uint32_t style;
};

struct DialogTemplate {
    int id;
    const char* caption;   // UTF-8
    int width, height;     // client area, dialog units
    const char* fontName;  // UTF-8
    int pointSize;
    std::uint32_t style;
    std::span<const ControlTemplate> controls;  // in tab order
};

// The template of a dialog resource, or null for an unknown id.
const DialogTemplate* FindDialogTemplate(int id);

// Template ids.
constexpr int IDD_ABOUTBOX = 100;
constexpr int IDD_DESTINATION = 130;
constexpr int IDD_START = 132;
constexpr int IDD_CONFIRM = 133;
constexpr int IDD_PROGRESS = 134;

// Control ids the program addresses.
constexpr int IDC_DRIVE_LIST = 1002;
constexpr int IDC_FOLDER_LIST = 1003;
constexpr int IDC_RESTORE_CHECK = 1004;
constexpr int IDC_FOLDER_EDIT = 1005;
constexpr int IDC_NOTES = 1006;  // the notes box, and the folder text of template 133
constexpr int IDC_PICTURE = 1007;
constexpr int IDC_BACK = 1008;
constexpr int IDC_PROGRESS_ACTION = 1010;
constexpr int IDC_PROGRESS_COUNT = 1011;
constexpr int IDC_PROGRESS_BAR = 1012;

}  // namespace pelmo
