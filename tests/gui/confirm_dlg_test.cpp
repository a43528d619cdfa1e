// The confirmation dialog: the folder exactly as handed to it, and its end codes.
#include <gtest/gtest.h>

#include <QLabel>

#include "tests/gui/gui_support.h"
#include "tests/support/test_machine.h"
#include "wizard/confirm_dlg.h"

namespace pelmo {
namespace {

using test::Click;
using test::Control;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

class ConfirmDlgTest : public test::GuiTest {
protected:
    int Show(const std::string& folder, ScriptedUser::Step step)
    {
        CConfirmDlg dialog(Context(), nullptr);
        dialog.installFolder = folder;
        ScriptedUser user;
        user.Then(std::move(step));
        const int code = dialog.DoModal();
        EXPECT_FALSE(user.sawUnexpectedWindow());
        return code;
    }
};

TEST_F(ConfirmDlgTest, ShowsTheFolderExactlyAsHandedToIt)
{
    // Written in UTF-8 here, handed over in code page 932.
    const std::string rows[] = {"D:\\APP", "D:\\APP\\", "", "  spaced ", "C:\\ソフト表\\",
                                "D:\\" + std::string(150, 'x') + "\\長いフォルダ"};
    for (const std::string& folder : rows) {
        SCOPED_TRACE(folder);
        QString shown;
        QString tip;
        Show(test::Sjis(folder), Inspect(
                                     [&](QWidget* dialog) {
                                         shown = Control<QLabel>(dialog, 1006)->text();
                                         tip = Control<QLabel>(dialog, 1006)->toolTip();
                                     },
                                     Click(2)));
        EXPECT_EQ(shown, QString::fromStdString(folder));
        EXPECT_EQ(tip, shown);
    }
}

struct EndRow {
    const char* action;
    ScriptedUser::Step step;
    int code;
};

TEST_F(ConfirmDlgTest, EndsWithOneFromUpdateOrEnterAndTwoFromBackOrEscape)
{
    const EndRow rows[] = {
        {"更新", Click(1), 1},
        {"Enter", Key(Qt::Key_Return), 1},
        {"戻る", Click(2), 2},
        {"Escape", Key(Qt::Key_Escape), 2},
    };
    for (const EndRow& row : rows) {
        SCOPED_TRACE(row.action);
        EXPECT_EQ(Show("D:\\APP", row.step), row.code);
    }
}

TEST_F(ConfirmDlgTest, UpdateButtonHasTheFocusAndTheCaptionIsEmpty)
{
    QString focused;
    QString caption = QStringLiteral("unset");
    Show("D:\\APP", Inspect(
                        [&](QWidget* dialog) {
                            focused = dialog->focusWidget() ? dialog->focusWidget()->objectName() : QString();
                            caption = dialog->windowTitle();
                        },
                        Click(2)));
    EXPECT_EQ(focused, QStringLiteral("control1"));
    EXPECT_EQ(caption, QString());
}

}  // namespace
}  // namespace pelmo
