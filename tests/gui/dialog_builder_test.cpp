// The dialog builder: dialog units, the dialog font, and every template's controls.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>

#include "res/dialog_templates.h"
#include "tests/gui/gui_support.h"
#include "wizard/dialog_builder.h"
#include "wizard/template_dialog.h"

namespace pelmo {
namespace {

struct UnitRow {
    const char* name;
    DialogBaseUnits units;
    int x, y, width, height;
    QRect expected;
};

TEST(DialogUnitsTest, ScaleEachValueOnItsOwnAndRoundHalfUp)
{
    const UnitRow rows[] = {
        {"origin", {6, 15}, 0, 0, 4, 8, QRect(0, 0, 6, 15)},
        {"quarter of a character rounds up at one half", {6, 15}, 2, 4, 2, 4, QRect(3, 8, 3, 8)},
        {"start button of the start dialog", {6, 15}, 158, 108, 50, 14, QRect(237, 203, 75, 26)},
        {"odd base width", {7, 13}, 7, 61, 48, 71, QRect(12, 99, 84, 115)},
        {"nothing stays nothing", {9, 18}, 0, 0, 0, 0, QRect(0, 0, 0, 0)},
    };
    for (const UnitRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DialogUnitsToPixels(row.units, row.x, row.y, row.width, row.height), row.expected);
    }
}

struct FontRow {
    int templateId;
    int dotsPerInch;
    int pixelSize;
};

TEST(DialogFontTest, IsIpaPGothicAtThePixelHeightOfItsPointSize)
{
    const FontRow rows[] = {
        {IDD_START, 96, 15},      // 11 points: 14.67 rounds to 15
        {IDD_ABOUTBOX, 96, 12},   // 9 points
        {IDD_DESTINATION, 120, 18},  // 11 points at 120 dpi: 18.33
        {IDD_CONFIRM, 144, 22},   // 11 points at 144 dpi
    };
    for (const FontRow& row : rows) {
        SCOPED_TRACE(row.templateId);
        QFont font = DialogFont(*FindDialogTemplate(row.templateId), row.dotsPerInch);
        EXPECT_EQ(font.pixelSize(), row.pixelSize);
        EXPECT_EQ(QFontInfo(font).family(), QStringLiteral("IPAPGothic"));
    }
}

TEST(DialogFontTest, BaseUnitsAreTheAverageLetterWidthAndTheFontHeight)
{
    QFont font = DialogFont(*FindDialogTemplate(IDD_START), 96);
    QFontMetrics metrics(font);
    int letters = 0;
    for (char c = 'A'; c <= 'Z'; ++c)
        letters += metrics.horizontalAdvance(QChar(c)) + metrics.horizontalAdvance(QChar(c + 32));
    DialogBaseUnits units = MeasureBaseUnits(font);
    EXPECT_EQ(units.width, (letters + 26) / 52);
    EXPECT_EQ(units.height, metrics.height());
    EXPECT_GT(units.width, 3);
}

class BuiltTemplateTest : public ::testing::TestWithParam<int> {};

TEST_P(BuiltTemplateTest, PlacesEveryControlAsTheTemplateSays)
{
    const DialogTemplate& templ = *FindDialogTemplate(GetParam());
    QDialog dialog;
    DialogControls controls = BuildDialog(dialog, templ);
    const DialogBaseUnits units = MeasureBaseUnits(DialogFont(templ, dialog.logicalDpiY()));

    EXPECT_EQ(dialog.size(), DialogUnitsToPixels(units, 0, 0, templ.width, templ.height).size());
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "a dialog cannot be resized";
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(templ.caption));
    for (const ControlTemplate& control : templ.controls) {
        if (control.id == IDC_STATIC || control.kind == ControlKind::Icon)
            continue;
        SCOPED_TRACE(control.id);
        QWidget* widget = controls.Find(control.id);
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->geometry(),
                  DialogUnitsToPixels(units, control.x, control.y, control.width, control.height));
        EXPECT_EQ(widget->isHidden(), (control.style & kHidden) != 0);
        EXPECT_EQ(widget->isEnabled(), (control.style & kDisabled) == 0);
        if (auto* button = qobject_cast<QPushButton*>(widget)) {
            EXPECT_EQ(button->text(), QString::fromUtf8(control.text));
            EXPECT_EQ(button->isDefault(), (control.style & kDefaultButton) != 0);
        }
    }
}

TEST_P(BuiltTemplateTest, TabsThroughTheTabStopsInTemplateOrder)
{
    const DialogTemplate& templ = *FindDialogTemplate(GetParam());
    QDialog dialog;
    DialogControls controls = BuildDialog(dialog, templ);
    std::vector<QWidget*> expected;
    for (const ControlTemplate& control : templ.controls) {
        if (control.style & kTabStop)
            expected.push_back(controls.Find(control.id));
    }
    ASSERT_FALSE(expected.empty());
    std::vector<QWidget*> chain;
    QWidget* widget = expected.front();
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != expected.front() && chain.size() < 50);
    EXPECT_EQ(chain, expected);
}

INSTANTIATE_TEST_SUITE_P(Templates, BuiltTemplateTest,
                         ::testing::Values(IDD_ABOUTBOX, IDD_DESTINATION, IDD_START, IDD_CONFIRM));

TEST(DialogTemplateTest, UnknownIdHasNoTemplate)
{
    EXPECT_EQ(FindDialogTemplate(131), nullptr);
    EXPECT_NE(FindDialogTemplate(IDD_CONFIRM), nullptr);
}

// A dialog whose template the program does not hold.
class MissingTemplateDialog : public TemplateDialog {
public:
    MissingTemplateDialog() : TemplateDialog(131, nullptr) {}
};

TEST(DialogTemplateTest, ADialogWithoutItsTemplateCannotBeShown)
{
    MissingTemplateDialog dialog;
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(DialogTemplateTest, RestoreCheckBoxIsHiddenAndDisabled)
{
    QDialog dialog;
    DialogControls controls = BuildDialog(dialog, *FindDialogTemplate(IDD_DESTINATION));
    dialog.show();
    QWidget* check = controls.Find(IDC_RESTORE_CHECK);
    ASSERT_NE(check, nullptr);
    EXPECT_FALSE(check->isVisible());
    EXPECT_FALSE(check->isEnabled());
    dialog.hide();
}

TEST(DialogTemplateTest, DriveLabelKeepsItsLineBreakAndBlanks)
{
    QDialog dialog;
    BuildDialog(dialog, *FindDialogTemplate(IDD_DESTINATION));
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("ｲﾝｽﾄｰﾙ先\n          ﾄﾞﾗｲﾌﾞ"))) << texts.join(u'|').toStdString();
    EXPECT_TRUE(texts.contains(QStringLiteral("ｲﾝｽﾄｰﾙ先ﾎﾙﾀﾞ")));
}

}  // namespace
}  // namespace pelmo
