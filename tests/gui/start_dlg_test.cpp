// The start dialog: its caption rule, its notes and its end codes.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "tests/gui/gui_support.h"
#include "tests/support/test_machine.h"
#include "wizard/start_dlg.h"

namespace pelmo {
namespace {

using test::Click;
using test::Control;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

class StartDlgTest : public test::GuiTest {
protected:
    // Shows the dialog, lets `step` act on it and returns the end code.
    int Show(const std::string& masterAdjustFlag, ScriptedUser::Step step)
    {
        CStartDlg dialog(Context(), nullptr);
        dialog.masterAdjustFlag = masterAdjustFlag;
        dialog.startNotes = notes;
        ScriptedUser user;
        user.Then(std::move(step));
        const int code = dialog.DoModal();
        EXPECT_FALSE(user.sawUnexpectedWindow());
        return code;
    }

    std::string notes;
};

struct CaptionRow {
    const char* flag;
    const char* caption;
};

TEST_F(StartDlgTest, CaptionNamesTheMasterAdjustmentOnlyForANonZeroFlag)
{
    const CaptionRow rows[] = {
        {"1", "マスタ調整機能付"},
        {"2", "マスタ調整機能付"},
        {" 1", "マスタ調整機能付"},
        {"-3", "マスタ調整機能付"},
        {"0", "ｱｯﾌﾟﾃﾞｲﾄ"},
        {"", "ｱｯﾌﾟﾃﾞｲﾄ"},
        {"NULL", "ｱｯﾌﾟﾃﾞｲﾄ"},
        {"x1", "ｱｯﾌﾟﾃﾞｲﾄ"},
    };
    for (const CaptionRow& row : rows) {
        SCOPED_TRACE(std::string("flag \"") + row.flag + "\"");
        QString shown;
        Show(row.flag, Inspect([&](QWidget* dialog) { shown = dialog->windowTitle(); }, Key(Qt::Key_Escape)));
        EXPECT_EQ(shown.toStdString(), row.caption);
    }
}

struct EndRow {
    const char* action;
    ScriptedUser::Step step;
    int code;
};

TEST_F(StartDlgTest, EndsWithOneFromStartOrEnterAndTwoFromCancelOrEscape)
{
    const EndRow rows[] = {
        {"開始 clicked", Click(1), 1},
        {"Enter", Key(Qt::Key_Return), 1},
        {"取消 clicked", Click(2), 2},
        {"Escape", Key(Qt::Key_Escape), 2},
    };
    for (const EndRow& row : rows) {
        SCOPED_TRACE(row.action);
        EXPECT_EQ(Show("1", row.step), row.code);
    }
}

TEST_F(StartDlgTest, StartButtonHasTheFocusAndNoCloseBoxIsOffered)
{
    QString focused;
    Qt::WindowFlags flags;
    Show("1", Inspect(
                  [&](QWidget* dialog) {
                      if (QWidget* widget = dialog->focusWidget())
                          focused = widget->objectName();
                      flags = dialog->windowFlags();
                  },
                  Key(Qt::Key_Escape)));
    EXPECT_EQ(focused, QStringLiteral("control1"));
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
}

TEST_F(StartDlgTest, NotesShowTheirLineBreaksReadOnly)
{
    notes = test::Sjis("注意1\r\n注意2\r\n\r\nEnd");
    QString shown;
    bool readOnly = false;
    Show("1", Inspect(
                  [&](QWidget* dialog) {
                      auto* box = Control<QPlainTextEdit>(dialog, 1006);
                      ASSERT_NE(box, nullptr);
                      shown = box->toPlainText();
                      readOnly = box->isReadOnly();
                      // Typing changes nothing.
                      box->setFocus();
                      QTest::keyClicks(box, QStringLiteral("xyz"));
                      EXPECT_EQ(box->toPlainText(), shown);
                  },
                  Click(2)));
    EXPECT_EQ(shown, QStringLiteral("注意1\n注意2\n\nEnd"));
    EXPECT_TRUE(readOnly);
}

}  // namespace
}  // namespace pelmo
