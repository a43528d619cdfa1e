// Renders the README's pictures of the wizard on the demo (examples/) under Qt's
// offscreen platform, as PNG files in the folder given (default docs/screenshots).
// scripts/screenshots.sh builds and runs it.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <cstdio>
#include <deque>
#include <functional>

#include "app/about_dlg.h"
#include "app/main_frame.h"
#include "app/pelmo_app.h"
#include "wizard/display_text.h"
#include "wizard/qt_prompter.h"

namespace pelmo {
namespace {

using Step = std::function<void(QWidget* window)>;

// Plays the user: each modal window that comes up gets the next step, run from
// the window's own loop.
class User : public QObject {
public:
    explicit User(std::deque<Step> steps) : steps_(std::move(steps))
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == current_ || steps_.empty())
                return;
            current_ = modal;
            QTimer::singleShot(0, this, [target = QPointer<QWidget>(modal), step = steps_.front()] {
                if (target)
                    step(target);
            });
            steps_.pop_front();
        });
        timer_.start(5);
    }
    bool done() const { return steps_.empty(); }

private:
    QTimer timer_;
    std::deque<Step> steps_;
    QPointer<QWidget> current_;
};

Step Click(int id)
{
    return [id](QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("control%1").arg(id)), Qt::LeftButton);
    };
}

void ClickEntry(QWidget* dialog, int listId, const QString& text)
{
    auto* list = dialog->findChild<QListWidget*>(QStringLiteral("control%1").arg(listId));
    for (QListWidgetItem* item : list->findItems(text, Qt::MatchExactly))
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

}  // namespace
}  // namespace pelmo

int main(int argc, char** argv)
{
    using namespace pelmo;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screenshots");
    std::optional<Machine> machine = Machine::Load(PELMO_EXAMPLES "/machine");
    if (!QDir().mkpath(folder) || !machine) {
        std::fprintf(stderr, "screenshots: no folder %s or no demo machine\n", qPrintable(folder));
        return 1;
    }
    bool saved = true;
    auto save = [&](const QPixmap& picture, const char* name) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
        saved = picture.save(path) && saved;
        std::printf("%s\n", qPrintable(path));
    };

    // The wizard on the demo package (drive A:), cancelled at the confirmation.
    CPelmoApp app(*machine, "A:");
    // A dialog over the main window, as the screen shows it.
    auto screen = [&](QWidget* dialog, const char* name) {
        QPixmap shot = app.mainFrame()->grab();
        QPainter painter(&shot);
        painter.drawPixmap(dialog->geometry().topLeft() - app.mainFrame()->geometry().topLeft(), dialog->grab());
        painter.end();
        save(shot, name);
    };
    User wizard({
        [&](QWidget* start) {
            save(app.mainFrame()->grab(), "main");
            save(start->grab(), "start");
            screen(start, "screen-start");
            Click(1)(start);
        },
        [&](QWidget* destination) {
            save(destination->grab(), "destination");
            ClickEntry(destination, 1002, "[-c-]");
            ClickEntry(destination, 1003, "[KORIMU]");
            save(destination->grab(), "destination-browsing");
            screen(destination, "screen-destination");
            Click(1)(destination);
        },
        [&](QWidget* confirm) {
            save(confirm->grab(), "confirm");
            screen(confirm, "screen-confirm");
            Click(2)(confirm);
        },
        Click(1008),
        Click(2),
    });
    if (!app.InitInstance())
        return 1;
    for (QDeadlineTimer deadline(30000); app.mainFrame()->isVisible() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    // The About box and a disk prompt.
    User boxes({
        [&](QWidget* about) { save(about->grab(), "about"); QTest::keyClick(about, Qt::Key_Return); },
        [&](QWidget* box) { save(box->grab(), "message-disk"); QTest::keyClick(box, Qt::Key_Escape); },
    });
    CAboutDlg(nullptr).DoModal();
    QtPrompter(nullptr).MessageBox(FromDisplay(QStringLiteral("2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。")),
                                   FromDisplay(QStringLiteral("確認")), MB_OKCANCEL);
    if (!saved || !wizard.done() || !boxes.done() || app.mainFrame()->isVisible()) {
        std::fprintf(stderr, "screenshots: the wizard did not go as planned\n");
        return 1;
    }
    return 0;
}
