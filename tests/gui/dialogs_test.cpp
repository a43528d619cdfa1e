// Dialogs built from the templates in res/, and what the start and confirmation
// dialogs show.
#include <QAccessible>
#include <QCheckBox>
#include <QFontInfo>
#include <QStyleOptionButton>
#include <QWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <map>

#include "res/dialog_templates.h"
#include "tests/gui/gui_support.h"
#include "tests/support/bmp_writer.h"
#include "wizard/confirm_dlg.h"
#include "wizard/dialog_builder.h"
#include "wizard/picture_frame.h"
#include "wizard/start_dlg.h"

namespace pelmo::test {

// A dialog with nothing but what its template builds.
class BareDialog : public TemplateDialog {
public:
    explicit BareDialog(int templateId) : TemplateDialog(templateId, nullptr) {}
    using TemplateDialog::GetDlgItem;
};

TEST(DialogBuilderTest, ScalesDialogUnitsEachOnItsOwnRoundingHalfUpInItsFont)
{
    EXPECT_EQ(DialogUnitsToPixels({6, 15}, 0, 0, 4, 8), QRect(0, 0, 6, 15));
    EXPECT_EQ(DialogUnitsToPixels({6, 15}, 2, 4, 2, 4), QRect(3, 8, 3, 8));
    EXPECT_EQ(DialogUnitsToPixels({6, 15}, 158, 108, 50, 14), QRect(237, 203, 75, 26));
    EXPECT_EQ(DialogUnitsToPixels({7, 13}, 7, 61, 48, 71), QRect(12, 99, 84, 115));
    const int fonts[][3] = {{IDD_START, 96, 15}, {IDD_ABOUTBOX, 96, 12}, {IDD_DESTINATION, 120, 18}, {IDD_CONFIRM, 144, 22}};
    for (const auto& [id, dotsPerInch, pixels] : fonts) {
        const QFont font = DialogFont(*FindDialogTemplate(id), dotsPerInch);
        EXPECT_EQ(QFontMetrics(font).height(), pixels) << id << ": a line as tall as the original's";
        EXPECT_EQ(QFontInfo(font).family(), "IPAPGothic");
    }
    // A template in another font takes its letters' average and its line height:
    // in the substitute 7 and 12 pixels at 9 points, 8 and 15 at 11.
    for (const auto& [points, width, height] : {std::tuple{9, 7, 12}, {11, 8, 15}}) {
        const DialogBaseUnits units = MeasureBaseUnits(DialogFont(kDialogFontName, points, 96));
        EXPECT_EQ(std::pair(units.width, units.height), std::pair(width, height)) << points;
    }
}

// The pixel sizes Windows gives each template at 96 dots per inch: ＭＳ Ｐゴシック's
// base units are 6 × 12 at 9 points and 8 × 15 at 11, where its substitute
// measures 7 × 13 and 9 × 16.
TEST(DialogBuilderTest, EveryTemplateHasWindowsPixelSizes)
{
    const std::pair<int, QSize> rows[] = {
        {IDD_ABOUTBOX, {326, 83}}, {IDD_DESTINATION, {346, 298}}, {IDD_START, {430, 242}},
        {IDD_CONFIRM, {394, 131}}, {IDD_PROGRESS, {279, 72}},
    };
    for (const auto& [id, size] : rows) {
        SCOPED_TRACE(id);
        BareDialog dialog(id);
        ASSERT_EQ(dialog.logicalDpiY(), 96);
        EXPECT_EQ(dialog.size(), size);
    }
}

// What a screen reader finds: every control named, each dialog announcing its
// caption or else its first text.
TEST(DialogBuilderTest, AScreenReaderFindsEveryControlNamed)
{
    const std::tuple<int, QString, std::map<int, QString>> rows[] = {
        {IDD_ABOUTBOX, "ﾊﾞｰｼﾞｮﾝ情報(Pelmo)", {}},
        {IDD_DESTINATION,
         "ｲﾝｽﾄｰﾙ先 ﾄﾞﾗｲﾌﾞ",
         {{IDC_DRIVE_LIST, "ｲﾝｽﾄｰﾙ先 ﾄﾞﾗｲﾌﾞ"},
          {IDC_FOLDER_LIST, "ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞ"},
          {IDC_FOLDER_EDIT, "ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞ"},
          {IDC_NOTES, "注意事項"},
          {IDC_PICTURE, "ｲﾒｰｼﾞ"}}},
        {IDD_START, "マスタ調整機能付", {{IDC_NOTES, "ｲﾝｽﾄｰﾙを開始します。 下記の注意項目を確認して下さい。"}}},
        {IDD_CONFIRM, "更新先：", {}},
        {IDD_PROGRESS, "ｱｯﾌﾟﾃﾞｲﾄ", {{IDC_PROGRESS_BAR, "ｱｯﾌﾟﾃﾞｲﾄ"}}},
    };
    for (const auto& [id, announced, names] : rows) {
        SCOPED_TRACE(id);
        BareDialog dialog(id);
        QAccessibleInterface* window = QAccessible::queryAccessibleInterface(&dialog);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->text(QAccessible::Name), announced);
        int walked = 0;
        for (int i = 0; i < window->childCount(); ++i) {
            QAccessibleInterface* control = window->child(i);
            const QString name = control->text(QAccessible::Name);
            // A text the dialog fills in later says nothing until then.
            auto* label = qobject_cast<QLabel*>(control->object());
            if (label && label->text().isEmpty() && label->pixmap().isNull())
                continue;
            EXPECT_FALSE(name.isEmpty()) << control->object()->objectName().toStdString();
            const int controlId = control->object()->objectName().mid(7).toInt();
            if (auto expected = names.find(controlId); expected != names.end()) {
                EXPECT_EQ(name, expected->second) << controlId;
            }
            ++walked;
        }
        EXPECT_GT(walked, 0);
    }
}

TEST(DialogBuilderTest, BuildsEveryControlOfEveryTemplateInTabOrder)
{
    for (int id : {IDD_ABOUTBOX, IDD_DESTINATION, IDD_START, IDD_CONFIRM, IDD_PROGRESS}) {
        SCOPED_TRACE(id);
        const DialogTemplate& templ = *FindDialogTemplate(id);
        BareDialog dialog(id);
        const QFont font = DialogFont(templ, dialog.logicalDpiY());
        const DialogBaseUnits units = BaseUnits(templ, dialog.logicalDpiY());
        EXPECT_EQ(dialog.font(), font);
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
        EXPECT_EQ(dialog.windowTitle(), templ.caption);
        EXPECT_EQ(bool(dialog.windowFlags() & Qt::WindowCloseButtonHint), bool(templ.style & kSystemMenu));
        EXPECT_EQ(dialog.GetDlgItem(IDC_STATIC), nullptr);
        const QList<QWidget*> widgets = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        ASSERT_EQ(widgets.size(), templ.controls.size());
        QList<QWidget*> tabStops;
        for (size_t i = 0; i < templ.controls.size(); ++i) {
            const ControlTemplate& control = templ.controls[i];
            const std::uint32_t style = control.style;
            QWidget* widget = widgets[i];
            SCOPED_TRACE(control.text);
            EXPECT_EQ(dialog.GetDlgItem(control.id), control.id == IDC_STATIC ? nullptr : widget);
            QRect place = DialogUnitsToPixels(units, control.x, control.y, control.width, control.height);
            EXPECT_EQ(widget->geometry(), control.kind == ControlKind::Icon ? QRect(place.topLeft(), QSize(32, 32)) : place);
            EXPECT_EQ(widget->isHidden(), bool(style & kHidden));
            EXPECT_EQ(widget->isEnabled(), !(style & kDisabled));
            if (style & kTabStop)
                tabStops << widget;
            if (auto* button = qobject_cast<QPushButton*>(widget)) {
                EXPECT_EQ(button->text(), control.text);
                EXPECT_EQ(button->isDefault(), bool(style & kDefaultButton));
            } else if (auto* label = qobject_cast<QLabel*>(widget); label && *control.text) {
                EXPECT_EQ(label->text(), control.text);
                EXPECT_EQ(label->alignment(), ((style & kCenter) ? Qt::AlignHCenter : Qt::AlignLeft) |
                                                  ((style & kCenterVertical) ? Qt::AlignVCenter : Qt::AlignTop));
                EXPECT_EQ(label->wordWrap(), !(style & kCenterVertical)) << "a one-line text does not wrap";
                EXPECT_EQ(label->frameShadow() == QFrame::Sunken, bool(style & kSunken));
            } else if (auto* notes = qobject_cast<QPlainTextEdit*>(widget)) {
                EXPECT_TRUE(notes->isReadOnly());
                EXPECT_EQ(notes->textInteractionFlags(), Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                EXPECT_FALSE(edit->isReadOnly());
            } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
                EXPECT_EQ(bar->maximum(), 1000);
                EXPECT_FALSE(bar->isTextVisible());
            }
        }
        if (tabStops.empty())
            continue;  // the progress window takes no input
        QList<QWidget*> chain{tabStops.front()};
        for (QWidget* next = chain[0]->nextInFocusChain(); next != chain[0] && chain.size() < 50; next = next->nextInFocusChain())
            (next->focusPolicy() & Qt::TabFocus) ? chain.push_back(next) : void();
        EXPECT_EQ(chain, tabStops);
    }
    BareDialog destination(IDD_DESTINATION);
    destination.show();
    QWidget* restore = destination.GetDlgItem(IDC_RESTORE_CHECK);
    EXPECT_FALSE(restore->isVisible() || restore->isEnabled()) << "the restore check box is never offered";
    EXPECT_EQ(FindDialogTemplate(131), nullptr);
    EXPECT_EQ(BareDialog(131).DoModal(), -1) << "a dialog without its template";
}

// Where a control draws its text, and how it lays it out.
struct TextRoom {
    QRect rect;
    int flags = 0;
};

TextRoom RoomFor(QWidget* widget)
{
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        // A negative indent means half an "x" whenever the label has a frame.
        const int indent = label->indent() >= 0 ? label->indent()
                           : label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2
                                                     : 0;
        const Qt::Alignment align = label->alignment();
        QRect rect = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(), -label->margin());
        rect.adjust(align & Qt::AlignLeft ? indent : 0, align & Qt::AlignTop ? indent : 0,
                    align & Qt::AlignRight ? -indent : 0, align & Qt::AlignBottom ? -indent : 0);
        return {rect, int(align) | (label->wordWrap() ? Qt::TextWordWrap : 0)};
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        return {button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button), Qt::AlignCenter};
    }
    auto* check = qobject_cast<QCheckBox*>(widget);
    QStyleOptionButton option;
    option.initFrom(check);
    return {check->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check), Qt::AlignVCenter};
}

TEST(DialogBuilderTest, EveryTextOfEveryTemplateFitsItsControlLineByLine)
{
    for (int id : {IDD_ABOUTBOX, IDD_DESTINATION, IDD_START, IDD_CONFIRM}) {
        BareDialog dialog(id);
        const QList<QWidget*> widgets = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (size_t i = 0; i < FindDialogTemplate(id)->controls.size(); ++i) {
            const ControlTemplate& control = FindDialogTemplate(id)->controls[i];
            if (!*control.text)
                continue;
            SCOPED_TRACE(testing::Message() << id << " " << control.text);
            const TextRoom room = RoomFor(widgets[i]);
            // Wrapped as the control wraps it; each line takes the font's line
            // spacing, which may exceed its pixel size.
            const QFontMetrics metrics(widgets[i]->font());
            const QRect laidOut = metrics.boundingRect(QRect(QPoint(), QSize(room.rect.width(), 1000)), room.flags,
                                                       QString::fromUtf8(control.text));
            const int lines = qRound(laidOut.height() / QFontMetricsF(widgets[i]->font()).lineSpacing());
            EXPECT_EQ(lines, QString::fromUtf8(control.text).count('\n') + 1) << "no line wraps";
            EXPECT_LE(lines * metrics.lineSpacing(), room.rect.height());
            EXPECT_LE(laidOut.width(), room.rect.width());
        }
    }
}

TEST(DialogBuilderTest, PictureFrameIsAOnePixelBlackFrameAtAnyScale)
{
    BareDialog dialog(IDD_START);
    auto* frame = Control<PictureFrame>(&dialog, 1007);
    QImage image(frame->size() * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2);
    frame->render(&image);
    auto black = [&image](int x, int y) { return image.pixel(x, y) == 0xFF000000; };
    const int right = image.width() - 2, bottom = image.height() - 2;  // device pixels
    EXPECT_TRUE(black(0, 0) && black(right, bottom));
    EXPECT_FALSE(black(1, 1) || black(right - 1, bottom - 1));
}

// Shows the dialog, checks that button 1 has the focus and the caption it gives
// the window manager, then takes `step`; the end code.
int Show(TemplateDialog& dialog, Step step)
{
    auto focus = [](QWidget* shown) {
        EXPECT_EQ(shown->focusWidget() ? shown->focusWidget()->objectName() : "", "control1");
        // What the window manager shows: an empty caption as a blank, never the program's name.
        EXPECT_EQ(shown->windowHandle()->title(), shown->windowTitle().isEmpty() ? " " : shown->windowTitle());
    };
    ScriptedUser user({Inspect(focus, step)});
    return dialog.DoModal();
}

using DialogTest = GuiTest;

TEST_F(DialogTest, StartShowsItsCaptionForTheFlagItsNotesAndPictureAndEndsWithOneOrTwo)
{
    BmpFile bmp;
    bmp.pixels = PackPixels(1, 24, {0x00FF00});
    WriteHostFile(packageFolder / "start.bmp", WriteBmp(bmp));
    const std::tuple<const char*, const char*, Step, int> rows[] = {
        {"1", "マスタ調整機能付", Click(1), 1}, {"-3", "マスタ調整機能付", Key(Qt::Key_Return), 1},
        {" 2", "マスタ調整機能付", Click(2), 2}, {"0", "ｱｯﾌﾟﾃﾞｲﾄ", Key(Qt::Key_Escape), 2},
        {"", "ｱｯﾌﾟﾃﾞｲﾄ", Click(2), 2},           {"x1", "ｱｯﾌﾟﾃﾞｲﾄ", Click(2), 2}};
    for (const auto& [flag, caption, step, code] : rows) {
        CStartDlg dialog(Context(), nullptr);
        dialog.masterAdjustFlag = flag;
        dialog.startNotes = Sjis("注意1\r\n注意2\r\n\r\nEnd");
        dialog.startPicture = "start.bmp";
        auto check = [&](QWidget* shown) {
            EXPECT_EQ(shown->windowTitle().toStdString(), caption) << flag;
            EXPECT_EQ(Control<QPlainTextEdit>(shown, 1006)->toPlainText(), "注意1\n注意2\n\nEnd");
            EXPECT_EQ(Control<PictureFrame>(shown, 1007)->grab().toImage().pixel(9, 9), 0xFF00FF00);
        };
        EXPECT_EQ(Show(dialog, Inspect(check, step)), code);
    }
}

TEST_F(DialogTest, ConfirmationShowsTheFolderAsHandedToItAlsoAsItsTipAndEndsWithOneOrTwo)
{
    const std::tuple<std::string, Step, int> rows[] = {
        {"D:\\APP\\", Click(1), 1}, {"", Key(Qt::Key_Return), 1}, {"  spaced ", Click(2), 2},
        {"C:\\ソフト表\\", Key(Qt::Key_Escape), 2}, {"D:\\" + std::string(150, 'x') + "\\長い", Click(2), 2}};
    for (const auto& [folder, step, code] : rows) {
        CConfirmDlg dialog(Context(), nullptr);
        dialog.installFolder = Sjis(folder);
        auto check = [&](QWidget* shown) {
            EXPECT_EQ(Control<QLabel>(shown, 1006)->text().toStdString(), folder);
            EXPECT_EQ(Control<QLabel>(shown, 1006)->toolTip().toStdString(), folder);
        };
        EXPECT_EQ(Show(dialog, Inspect(check, step)), code);
    }
}

TEST_F(DialogTest, FocusAndDefaultLookDistinctAndTabbingIntoTheNotesSelectsThem)
{
    const ButtonLook plain, ringed{true, false}, focused{true, true};
    // Pressing the keys from the first tab stop, 開始; a focused button is the default.
    const std::tuple<const char*, std::vector<Qt::Key>, ButtonLook, ButtonLook, bool> rows[] = {
        {"開始 focused", {}, focused, plain, false},
        {"取消 focused", {Qt::Key_Tab}, plain, focused, false},
        {"the notes focused", {Qt::Key_Tab, Qt::Key_Tab}, ringed, plain, true},
        {"back from the notes, which keep their selection", {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Backtab}, plain,
         focused, true},
    };
    for (const auto& [name, keys, start, cancel, notesSelected] : rows) {
        SCOPED_TRACE(name);
        CStartDlg dialog(Context(), nullptr);
        dialog.startNotes = Sjis("注意1\r\n注意2");
        auto check = [&](QWidget* shown) {
            for (Qt::Key key : keys)
                QTest::keyClick(shown->focusWidget(), key);
            EXPECT_EQ(LookOf(Control<QPushButton>(shown, 1)), start);
            EXPECT_EQ(LookOf(Control<QPushButton>(shown, 2)), cancel);
            const QTextCursor notes = Control<QPlainTextEdit>(shown, 1006)->textCursor();
            EXPECT_EQ(notes.selectedText(), notesSelected ? QString::fromUtf8("注意1\u2029注意2") : "");
        };
        ScriptedUser user({Inspect(check, Key(Qt::Key_Escape))});
        EXPECT_EQ(dialog.DoModal(), 2);
    }
}

}  // namespace pelmo::test
