// GUI test support: packages and installed systems on a test machine, and a scripted user
// that answers each modal window as it comes up.
#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/machine.h"
#include "tests/support/package_writer.h"
#include "tests/support/test_machine.h"
#include "wizard/wizard_context.h"

namespace pelmo::test {

// The control of a built dialog by its template id.
template <class Widget>
Widget* Control(QWidget* dialog, int id)
{
    return dialog ? dialog->findChild<Widget*>(QStringLiteral("control%1").arg(id)) : nullptr;
}

// The dialog class or "[caption] text" of a message box, as a transcript line.
std::string Describe(QWidget* modal);

// Plays the user: each modal window that comes up gets the next step, run from the
// event loop once the window's own loop is running. A window that finds no step
// left is recorded as unexpected and dismissed, so that a test never hangs.
class ScriptedUser : public QObject {
public:
    using Step = std::function<void(QWidget* modal)>;

    ScriptedUser();
    ScriptedUser& Then(Step step);
    // Processes events until `finished` holds or the time is up. False on time-out.
    bool RunUntil(const std::function<bool()>& finished, int timeoutMs = 20000);

    // Adds a line of the test's own to the transcript.
    void Note(std::string line) { transcript_.push_back(std::move(line)); }
    // One line per window answered, in order (see Describe).
    const std::vector<std::string>& transcript() const { return transcript_; }
    bool sawUnexpectedWindow() const { return unexpected_; }

private:
    void Poll();

    QTimer timer_;
    QElapsedTimer openFor_;  // since the current window was answered
    std::deque<Step> steps_;
    std::vector<std::string> transcript_;
    QPointer<QWidget> current_;
    bool unexpected_ = false;
};

// Steps.
ScriptedUser::Step Click(int buttonId);
ScriptedUser::Step Key(int key);  // to the widget that has the focus
ScriptedUser::Step ClickMessageButton(const QString& text);
// Runs `check` on the window, then `then`.
ScriptedUser::Step Inspect(std::function<void(QWidget*)> check, ScriptedUser::Step then);

// A test machine with drive C: and a package folder C:\PKG\ on it.
class GuiTest : public ::testing::Test {
protected:
    GuiTest();
    // Loads the machine as it then stands; call once the drives are laid out.
    WizardContext& Context();
    // Maps a drive to a link that leads nowhere: a floppy drive without a disk.
    void AddEmptyFloppy(char letter);

    TestMachine machineFolder;
    std::filesystem::path packageFolder;
    std::string sourceFolder = "C:\\PKG\\";
    std::optional<Machine> machine;
    std::unique_ptr<WizardContext> context;
};

}  // namespace pelmo::test
