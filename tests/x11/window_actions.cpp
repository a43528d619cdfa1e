// The title-bar actions a window manager offers on each kind of the wizard's
// windows, read back from the window manager (_NET_WM_ALLOWED_ACTIONS, with
// xprop). Run on a real display by window_actions.sh; exits 1 when a window
// offers an action it would not answer.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QProcess>
#include <QTimer>
#include <cstdio>

#include "res/dialog_templates.h"
#include "upgrade/prompter.h"
#include "wizard/progress_window.h"
#include "wizard/qt_prompter.h"
#include "wizard/template_dialog.h"

namespace {

class AnyDialog : public pelmo::TemplateDialog {
public:
    AnyDialog(int id, QWidget* owner) : TemplateDialog(id, owner) {}
};

// The window manager's list, once it has one (it writes it when it frames the
// window); empty when it never does.
QString AllowedActions(QWidget& window)
{
    for (QDeadlineTimer limit(5000); !limit.hasExpired();) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()),
                                              QStringLiteral("_NET_WM_ALLOWED_ACTIONS")});
        xprop.waitForFinished();
        const QString out = QString::fromLatin1(xprop.readAllStandardOutput());
        if (out.contains(QLatin1String("_NET_WM_ACTION_")))
            return out.section(QLatin1Char('='), 1).trimmed();
    }
    return {};
}

int failures = 0;

void Check(const char* kind, QWidget& window, QStringList forbidden)
{
    const QString actions = AllowedActions(window);
    std::printf("%s: %s\n", kind, actions.isEmpty() ? "(none set)" : qPrintable(actions));
    if (actions.isEmpty()) {
        std::printf("  FAIL: the window manager set no allowed actions\n");
        ++failures;
    }
    for (const QString& action : forbidden) {
        if (actions.split(QStringLiteral(", ")).contains(action)) {
            std::printf("  FAIL: offers %s\n", qPrintable(action));
            ++failures;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    using namespace pelmo;
    const QStringList sizing = {
        QStringLiteral("_NET_WM_ACTION_MINIMIZE"), QStringLiteral("_NET_WM_ACTION_MAXIMIZE_HORZ"),
        QStringLiteral("_NET_WM_ACTION_MAXIMIZE_VERT"), QStringLiteral("_NET_WM_ACTION_FULLSCREEN")};

    QWidget owner;
    owner.setGeometry(0, 0, 800, 600);
    owner.show();
    for (int id : {IDD_ABOUTBOX, IDD_START, IDD_DESTINATION, IDD_CONFIRM}) {
        AnyDialog dialog(id, &owner);
        dialog.show();
        Check(qPrintable(QStringLiteral("dialog %1").arg(id)), dialog, sizing);
    }

    QtPrompter prompter(&owner);
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!box) {
            std::printf("message box: not shown\n");
            ++failures;
            return;
        }
        Check("message box", *box, sizing);
        box->reject();
    });
    prompter.MessageBox("text", "caption", MB_OKCANCEL);

    ProgressWindow progress(&owner);
    progress.Show({"action", "1 / 2", 500});
    Check("progress window", progress, sizing + QStringList{QStringLiteral("_NET_WM_ACTION_CLOSE")});
    return failures ? 1 : 0;
}
