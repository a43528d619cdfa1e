// The run's progress in the wizard: the window, and what a report lets through.
#include <QProgressBar>

#include "res/dialog_templates.h"
#include "tests/gui/gui_support.h"
#include "wizard/progress_window.h"
#include "wizard/qt_prompter.h"

namespace pelmo::test {

using namespace std::chrono_literals;

class ProgressTest : public ::testing::Test {
protected:
    ProgressTest()
    {
        owner.setGeometry(40, 30, 800, 600);
        owner.show();
    }
    // A report of `item` at `ms` milliseconds into the run.
    void ReportAt(int ms, const char* item, int done = 2)
    {
        now = start + std::chrono::milliseconds(ms);
        prompter.Progress({RunProgress::Step::Installing, Sjis(item), done, 6, 0.5});
    }
    QString Line(int id) const { return Control<QLabel>(prompter.progressWindow(), id)->text(); }

    QWidget owner;
    const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::time_point{} + 1h;
    std::chrono::steady_clock::time_point now = start;
    QtPrompter prompter{&owner, [this] { return now; }};
};

// Once the pace shows the run, the window over the owner, whole texts and the
// bar; hidden under a message box, back with the next report, gone with the run.
TEST_F(ProgressTest, ShowsALongRunOverTheOwnerUntilItEnds)
{
    prompter.BeginBusy();
    ReportAt(0, "MASTER21.DAT");
    EXPECT_EQ(prompter.progressWindow(), nullptr);
    ReportAt(500, "MASTER21.DAT");
    ProgressWindow* window = prompter.progressWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "ｱｯﾌﾟﾃﾞｲﾄ");
    EXPECT_EQ(window->parentWidget(), &owner);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(Line(IDC_PROGRESS_ACTION), "MASTER21.DAT をｲﾝｽﾄｰﾙしています。") << "whole, not cut";
    EXPECT_EQ(Line(IDC_PROGRESS_COUNT), "2 / 6 ﾌｧｲﾙ");
    EXPECT_EQ(Control<QProgressBar>(window, IDC_PROGRESS_BAR)->value(), 416);
    EXPECT_LE((window->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(), 1);

    auto hidden = [&](QWidget*) { EXPECT_FALSE(window->isVisible()); };
    ScriptedUser user({Inspect(hidden, Key(Qt::Key_Return))});
    prompter.MessageBox(Sjis("2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。"), Sjis("確認"), MB_OKCANCEL);
    EXPECT_FALSE(window->isVisible());
    ReportAt(600, "KORIMU.EXE", 3);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(Line(IDC_PROGRESS_COUNT), "3 / 6 ﾌｧｲﾙ");

    prompter.BeginBusy();  // a nested scope does not end the run
    prompter.EndBusy();
    EXPECT_EQ(prompter.progressWindow(), window);
    prompter.EndBusy();
    EXPECT_EQ(prompter.progressWindow(), nullptr);
    // The next run starts its own pace.
    prompter.BeginBusy();
    ReportAt(5000, "A");
    EXPECT_EQ(prompter.progressWindow(), nullptr);
    prompter.EndBusy();
}

// A report that updates lets pending timers and paints through; one that comes
// too soon returns at once.
TEST_F(ProgressTest, AnUpdateLetsPendingEventsThroughAndOnlyAnUpdate)
{
    prompter.BeginBusy();
    ReportAt(0, "A");
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    ReportAt(40, "A");
    EXPECT_FALSE(fired);
    ReportAt(50, "A");
    EXPECT_TRUE(fired);
    prompter.EndBusy();
}

}  // namespace pelmo::test
