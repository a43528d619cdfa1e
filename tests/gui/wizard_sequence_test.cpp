// The wizard's steps: every row of its state table, driven through the real dialogs.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <set>

#include "tests/gui/gui_support.h"
#include "wizard/command_event.h"
#include "wizard/pelmo_view.h"
#include "wizard/template_dialog.h"

namespace pelmo {
namespace {

using test::Click;
using test::Control;
using test::Inspect;
using test::Key;
using test::ScriptedUser;

// Stands in for the main frame: it only takes note of the close message.
class TestFrame : public QWidget {
public:
    bool closed = false;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == CloseMessageEvent::Type()) {
            closed = true;
            return true;
        }
        return QWidget::event(event);
    }
};

// The view with the run answered from a list, and dialogs that can be refused.
class ScriptedView : public CPelmoView {
public:
    ScriptedView(WizardContext& context, QWidget* frame, ScriptedUser& user)
        : CPelmoView(context, frame), user_(user)
    {
    }

    std::deque<int> runResults;
    std::set<std::string> refused;  // dialog classes that cannot be shown

protected:
    int ShowDialog(TemplateDialog& dialog) override
    {
        const std::string name = test::Describe(&dialog);
        if (refused.count(name)) {
            user_.Note(name + " cannot be shown");
            return -1;
        }
        return CPelmoView::ShowDialog(dialog);
    }

    int RunUpgrade() override
    {
        const int result = runResults.empty() ? 1 : runResults.front();
        if (!runResults.empty())
            runResults.pop_front();
        user_.Note("run on " + packageInfo().installFolder + " gives " + std::to_string(result));
        return result;
    }

private:
    ScriptedUser& user_;
};

ScriptedUser::Step TypeFolderAndGoOn(const char* folder)
{
    return Inspect([folder](QWidget* dialog) { Control<QLineEdit>(dialog, 1005)->setText(folder); }, Click(1));
}

struct SequenceRow {
    const char* name;
    std::vector<ScriptedUser::Step> steps;
    std::deque<int> runResults;
    std::set<std::string> refused;
    std::vector<std::string> transcript;
};

class WizardSequenceTest : public test::GuiTest {
protected:
    // Creates the view, lets the user play `row` and returns the transcript; the
    // wizard must end by closing the frame.
    std::vector<std::string> Play(const SequenceRow& row)
    {
        test::PackageText package;
        package.productKeys = {"NULL", "", "", "", ""};
        test::WritePackage(packageFolder, package);
        ScriptedUser user;
        for (const ScriptedUser::Step& step : row.steps)
            user.Then(step);
        TestFrame frame;
        ScriptedView view(Context(), &frame, user);
        view.runResults = row.runResults;
        view.refused = row.refused;
        frame.show();
        EXPECT_EQ(view.OnCreate(), 0);
        EXPECT_TRUE(user.RunUntil([&] { return frame.closed; })) << "the wizard did not close";
        EXPECT_FALSE(user.sawUnexpectedWindow());
        frame.hide();
        return user.transcript();
    }
};

TEST_F(WizardSequenceTest, FollowsTheStateTable)
{
    const std::vector<SequenceRow> rows = {
        {"start: 取消 closes", {Click(2)}, {}, {}, {"CStartDlg"}},
        {"start: Escape closes", {Key(Qt::Key_Escape)}, {}, {}, {"CStartDlg"}},
        {"destination: 戻る shows the start dialog again",
         {Click(1), Click(1008), Click(2)},
         {},
         {},
         {"CStartDlg", "CDestinationDlg", "CStartDlg"}},
        {"destination: Escape goes back like 戻る",
         {Click(1), Key(Qt::Key_Escape), Click(2)},
         {},
         {},
         {"CStartDlg", "CDestinationDlg", "CStartDlg"}},
        {"confirmation: 戻る shows the destination dialog again",
         {Click(1), TypeFolderAndGoOn("D:\\SYS"), Click(2), Click(1008), Click(2)},
         {},
         {},
         {"CStartDlg", "CDestinationDlg", "CConfirmDlg", "CDestinationDlg", "CStartDlg"}},
        {"confirmation: Escape shows the destination dialog again",
         {Click(1), Click(1), Key(Qt::Key_Escape), Click(1008), Key(Qt::Key_Escape)},
         {},
         {},
         {"CStartDlg", "CDestinationDlg", "CConfirmDlg", "CDestinationDlg", "CStartDlg"}},
        {"run: result 1 closes",
         {Click(1), TypeFolderAndGoOn("D:\\SYS"), Click(1)},
         {1},
         {},
         {"CStartDlg", "CDestinationDlg", "CConfirmDlg", "run on D:\\SYS gives 1"}},
        {"run: result 0 chooses a folder again",
         {Click(1), TypeFolderAndGoOn("D:\\BAD"), Click(1), TypeFolderAndGoOn("D:\\SYS"), Key(Qt::Key_Return)},
         {0, 1},
         {},
         {"CStartDlg", "CDestinationDlg", "CConfirmDlg", "run on D:\\BAD gives 0", "CDestinationDlg", "CConfirmDlg",
          "run on D:\\SYS gives 1"}},
        {"start cannot be shown: closes", {}, {}, {"CStartDlg"}, {"CStartDlg cannot be shown"}},
        {"destination cannot be shown: closes",
         {Click(1)},
         {},
         {"CDestinationDlg"},
         {"CStartDlg", "CDestinationDlg cannot be shown"}},
        {"confirmation cannot be shown: closes",
         {Click(1), Click(1)},
         {},
         {"CConfirmDlg"},
         {"CStartDlg", "CDestinationDlg", "CConfirmDlg cannot be shown"}},
    };
    for (const SequenceRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Play(row), row.transcript);
    }
}

TEST_F(WizardSequenceTest, DialogsAreGivenTheFolderLastAcceptedAndTheRejectedOne)
{
    std::vector<QString> shownInDestination;
    std::vector<QString> shownInConfirmation;
    auto destination = [&](const char* typed) {
        return Inspect(
            [&shownInDestination](QWidget* dialog) {
                shownInDestination.push_back(Control<QLineEdit>(dialog, 1005)->text());
            },
            TypeFolderAndGoOn(typed));
    };
    auto confirmation = [&](ScriptedUser::Step then) {
        return Inspect(
            [&shownInConfirmation](QWidget* dialog) {
                shownInConfirmation.push_back(Control<QLabel>(dialog, 1006)->text());
            },
            then);
    };
    SequenceRow row{"", {Click(1), destination("D:\\ONE\\"), confirmation(Click(2)), destination("D:\\TWO"),
                         confirmation(Click(1)), destination("D:\\THREE"), confirmation(Click(1))},
                    {0, 1}, {}, {}};
    Play(row);
    EXPECT_EQ(shownInDestination, (std::vector<QString>{"C:\\KORIMU", "D:\\ONE\\", "D:\\TWO"}));
    EXPECT_EQ(shownInConfirmation, (std::vector<QString>{"D:\\ONE\\", "D:\\TWO", "D:\\THREE"}));
}

}  // namespace
}  // namespace pelmo
