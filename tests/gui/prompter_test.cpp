// The wizard's prompter: message boxes without icon, their buttons and answers, the hourglass.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>

#include "tests/gui/gui_support.h"
#include "tests/support/test_machine.h"
#include "wizard/qt_prompter.h"

namespace pelmo {
namespace {

using test::ClickMessageButton;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

struct AnswerRow {
    const char* name;
    unsigned buttons;
    ScriptedUser::Step answer;
    int result;
    const char* shownButtons;
};

TEST(QtPrompterTest, ShowsTextAndCaptionWithTheAskedButtonsAndGivesTheAnswer)
{
    const AnswerRow rows[] = {
        {"OK box answered OK", MB_OK, ClickMessageButton("OK"), IDOK, "OK"},
        {"OK box answered with Escape", MB_OK, Key(Qt::Key_Escape), IDOK, "OK"},
        {"OK box answered with Enter", MB_OK, Key(Qt::Key_Return), IDOK, "OK"},
        {"OK/Cancel answered OK", MB_OKCANCEL, ClickMessageButton("OK"), IDOK, "OK/キャンセル"},
        {"OK/Cancel answered キャンセル", MB_OKCANCEL, ClickMessageButton("キャンセル"), IDCANCEL, "OK/キャンセル"},
        {"OK/Cancel answered with Escape", MB_OKCANCEL, Key(Qt::Key_Escape), IDCANCEL, "OK/キャンセル"},
        {"OK/Cancel answered with Enter", MB_OKCANCEL, Key(Qt::Key_Return), IDOK, "OK/キャンセル"},
    };
    QWidget owner;
    QtPrompter prompter(&owner);
    for (const AnswerRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedUser user;
        QMessageBox::Icon icon = QMessageBox::Warning;
        QWidget* parent = nullptr;
        user.Then(Inspect(
            [&](QWidget* box) {
                icon = static_cast<QMessageBox*>(box)->icon();
                parent = box->parentWidget();
            },
            row.answer));
        const int result = prompter.MessageBox(test::Sjis("2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。"), test::Sjis("確認"),
                                               row.buttons);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(user.transcript(),
                  std::vector<std::string>{std::string("[確認] 2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。 (") +
                                           row.shownButtons + ")"});
        EXPECT_EQ(icon, QMessageBox::NoIcon);
        EXPECT_EQ(parent, &owner);
    }
}

Qt::CursorShape CurrentOverride()
{
    return QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor;
}

TEST(QtPrompterTest, HourglassNestsAndStepsAsideForAMessageBox)
{
    QWidget owner;
    QtPrompter prompter(&owner);
    {
        BusyScope outer(prompter);
        EXPECT_EQ(CurrentOverride(), Qt::WaitCursor);
        {
            BusyScope inner(prompter);
            ScriptedUser user;
            Qt::CursorShape duringBox = Qt::WaitCursor;
            user.Then(Inspect([&](QWidget*) { duringBox = CurrentOverride(); }, Key(Qt::Key_Return)));
            prompter.MessageBox("text", "caption", MB_OK);
            EXPECT_EQ(duringBox, Qt::ArrowCursor);
            EXPECT_EQ(CurrentOverride(), Qt::WaitCursor);
        }
        EXPECT_EQ(CurrentOverride(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    prompter.EndBusy();  // one too many changes nothing
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtPrompterTest, TextsThatCodePage932CannotHoldShowAsQuestionMarks)
{
    QWidget owner;
    QtPrompter prompter(&owner);
    ScriptedUser user;
    user.Then(Key(Qt::Key_Return));
    // 0x81 alone at the end and 0x85 0x40 (an unassigned code) cannot be converted.
    prompter.MessageBox(std::string("A\x85\x40" "B\x81", 5), "C", MB_OK);
    ASSERT_EQ(user.transcript().size(), 1u);
    EXPECT_EQ(user.transcript()[0].substr(0, 4), "[C] ");
    EXPECT_NE(user.transcript()[0].find('A'), std::string::npos);
    EXPECT_NE(user.transcript()[0].find('?'), std::string::npos);
}

}  // namespace
}  // namespace pelmo
