// GUI test support: packages, installed systems and the scripted user.
#include "tests/gui/gui_support.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "tests/support/test_machine.h"

namespace fs = std::filesystem;

namespace pelmo::test {
namespace {

constexpr int kPollMs = 5;
constexpr qint64 kStuckMs = 15000;

void Dismiss(QWidget* modal)
{
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

}  // namespace

std::string Describe(QWidget* modal)
{
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        std::string buttons;
        for (QAbstractButton* button : box->buttons())
            buttons += (buttons.empty() ? "" : "/") + button->text().toStdString();
        return "[" + box->windowTitle().toStdString() + "] " + box->text().toStdString() + " (" + buttons + ")";
    }
    QString name = QString::fromLatin1(modal->metaObject()->className());
    return name.mid(name.lastIndexOf(QLatin1Char(':')) + 1).toStdString();
}

ScriptedUser::ScriptedUser()
{
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &ScriptedUser::Poll);
    timer_.start();
}

ScriptedUser& ScriptedUser::Then(Step step)
{
    steps_.push_back(std::move(step));
    return *this;
}

void ScriptedUser::Poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return;
    if (modal->property("pelmoAnswered").toBool()) {
        // A window that outlives its step would hold the test for ever.
        if (modal == current_ && openFor_.elapsed() > kStuckMs) {
            ADD_FAILURE() << "window still open after its step: " << Describe(modal);
            Dismiss(modal);
        }
        return;
    }
    modal->setProperty("pelmoAnswered", true);
    current_ = modal;
    openFor_.start();
    transcript_.push_back(Describe(modal));
    Step step;
    if (steps_.empty()) {
        unexpected_ = true;
        step = Dismiss;
    } else {
        step = std::move(steps_.front());
        steps_.pop_front();
    }
    // The step runs from the window's own loop, after this poll has returned, so
    // that a window it opens in turn is answered too.
    QPointer<QWidget> target = modal;
    QTimer::singleShot(0, this, [target, step] {
        if (target)
            step(target);
    });
}

bool ScriptedUser::RunUntil(const std::function<bool()>& finished, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!finished()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

GuiTest::GuiTest() : packageFolder(machineFolder.driveC() / "PKG")
{
    fs::create_directories(packageFolder);
}

WizardContext& GuiTest::Context()
{
    if (!context) {
        machine.emplace(machineFolder.Load());
        context = std::make_unique<WizardContext>(WizardContext{*machine, sourceFolder});
    }
    return *context;
}

void GuiTest::AddEmptyFloppy(char letter)
{
    fs::create_directories(machineFolder.folder() / "dosdevices");
    fs::create_symlink(machineFolder.folder() / "no-disk", machineFolder.folder() / "dosdevices" / std::string{letter, ':'});
}

ScriptedUser::Step Click(int buttonId)
{
    return [buttonId](QWidget* modal) {
        auto* button = Control<QPushButton>(modal, buttonId);
        ASSERT_NE(button, nullptr) << "no button " << buttonId << " in " << Describe(modal);
        QTest::mouseClick(button, Qt::LeftButton);
    };
}

ScriptedUser::Step Key(int key)
{
    return [key](QWidget* modal) {
        QWidget* target = modal->focusWidget() ? modal->focusWidget() : modal;
        QTest::keyClick(target, static_cast<Qt::Key>(key));
    };
}

ScriptedUser::Step ClickMessageButton(const QString& text)
{
    return [text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr) << "not a message box: " << Describe(modal);
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == text) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        ADD_FAILURE() << "no button " << text.toStdString() << " in " << Describe(modal);
        Dismiss(modal);
    };
}

ScriptedUser::Step Inspect(std::function<void(QWidget*)> check, ScriptedUser::Step then)
{
    return [check = std::move(check), then = std::move(then)](QWidget* modal) {
        check(modal);
        then(modal);
    };
}

}  // namespace pelmo::test
