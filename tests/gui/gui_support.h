// GUI test support: a test machine with the package folder C:\PKG\, and a scripted
// user who answers each modal window as it comes up.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <deque>
#include <functional>
#include <optional>

#include <gtest/gtest.h>

#include "tests/support/package_writer.h"
#include "tests/support/test_machine.h"
#include "wizard/message_box.h"
#include "wizard/wizard_context.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace pelmo::test {

template <class Widget>
Widget* Control(QWidget* dialog, int id)
{
    return dialog->findChild<Widget*>(QStringLiteral("control%1").arg(id));
}

// A message box as "[caption] text (buttons)"; a dialog as its class, its caption
// when it has one, and the folder it shows.
inline std::string Describe(QWidget* modal)
{
    const QString title = modal->windowTitle();
    if (auto* box = qobject_cast<MessageBoxDialog*>(modal)) {
        QStringList buttons;
        for (QPushButton* button : box->buttons())
            buttons << button->text();
        return ("[" + title + "] " + box->text() + " (" + buttons.join('/') + ")").toStdString();
    }
    QString line = QString(modal->metaObject()->className()).section(':', -1) + (title.isEmpty() ? "" : " [" + title + "]");
    if (auto* edit = Control<QLineEdit>(modal, 1005))
        line += " " + edit->text();
    if (auto* label = Control<QLabel>(modal, 1006))
        line += " " + label->text();
    return line.toStdString();
}

using Step = std::function<void(QWidget* modal)>;
inline Step Click(int id) { return [id](QWidget* modal) { QTest::mouseClick(Control<QPushButton>(modal, id), Qt::LeftButton); }; }
inline Step Key(int key)  // to the focus widget
{
    return [key](QWidget* modal) { QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, Qt::Key(key)); };
}
inline Step Inspect(Step check, Step then) { return [=](QWidget* modal) { check(modal), then(modal); }; }

// Each modal window that comes up (again) gets the next step, run from its own
// loop. A window with no step left, or still open long after its step, fails the
// test and is dismissed: a test never hangs.
class ScriptedUser : public QObject {
public:
    explicit ScriptedUser(std::vector<Step> steps = {}) : steps_(steps.begin(), steps.end())
    {
        connect(&timer_, &QTimer::timeout, this, &ScriptedUser::Poll);
        timer_.start(5);
    }
    bool RunUntil(const std::function<bool()>& finished)
    {
        for (QDeadlineTimer deadline(20000); !finished() && !deadline.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return finished();
    }
    std::vector<std::string> transcript;

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || (modal == current_ && ++polls_ < 3000))
            return;
        const bool stuck = modal == current_;
        if (!stuck)
            transcript.push_back(Describe(modal));
        Step step = [](QWidget* window) { static_cast<QDialog*>(window)->reject(); };
        if (stuck || steps_.empty())
            ADD_FAILURE() << (stuck ? "still open after its step: " : "no step left for ") << Describe(modal);
        else
            step = steps_.front(), steps_.pop_front();
        current_ = modal;
        polls_ = 0;
        QTimer::singleShot(0, this, [target = QPointer<QWidget>(modal), step] { target ? step(target) : void(); });
    }
    QTimer timer_;
    std::deque<Step> steps_;
    QPointer<QWidget> current_;
    int polls_ = 0;
};

class GuiTest : public ::testing::Test {
protected:
    GuiTest() { std::filesystem::create_directories(packageFolder); }
    WizardContext& Context()  // on the machine as it then stands
    {
        if (!context)
            machine.emplace(machineFolder.Load()), context.emplace(*machine, sourceFolder);
        return *context;
    }
    TestMachine machineFolder;
    std::filesystem::path packageFolder = machineFolder.driveC() / "PKG";
    std::string sourceFolder = "C:\\PKG\\";
    std::optional<Machine> machine;
    std::optional<WizardContext> context;
};

// How a push button looks: ringed in the text colour (the default button), with
// a dotted rectangle inside (the focus).
struct ButtonLook {
    bool ringed = false;
    bool dotted = false;
    bool operator==(const ButtonLook&) const = default;
};
inline void PrintTo(const ButtonLook& look, std::ostream* out)
{
    *out << "ringed " << look.ringed << " dotted " << look.dotted;
}

inline ButtonLook LookOf(QPushButton* button)
{
    const QImage image = button->grab().toImage();
    const QColor ink = button->palette().color(QPalette::WindowText);
    auto inked = [&](int x, int y) { return image.pixelColor(x, y) == ink; };
    const int right = image.width() - 1, bottom = image.height() - 1;
    ButtonLook look{true, true};
    for (int x = 0; x <= right; ++x)
        look.ringed &= inked(x, 0) && inked(x, bottom);
    for (int y = 0; y <= bottom; ++y)
        look.ringed &= inked(0, y) && inked(right, y);
    for (int x = 5; x < right - 5; ++x)
        look.dotted &= inked(x, 4) != inked(x + 1, 4);
    return look;
}

}  // namespace pelmo::test
