// Renders pictures of the wizard on the demo (examples/) as PNG files in the folder
// given (default docs/screenshots): under Qt's offscreen platform, or with
// --screen in real windows on the display. scripts/screenshots.sh builds and runs it.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest/QTest>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>

#include "app/main_frame.h"
#include "app/pelmo_app.h"
#include "wizard/command_event.h"
#include "wizard/pelmo_view.h"
#include "wizard/display_text.h"
#include "wizard/progress_window.h"
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
    // --screen: real windows on the display as it stands (a window manager
    // included); each picture is the whole screen. Otherwise the offscreen
    // platform, with a dialog drawn over a grab of the main window.
    const bool wholeScreen = argc > 1 && QByteArray(argv[1]) == "--screen";
    if (wholeScreen)
        --argc, ++argv;
    else if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
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
    // A window as the user sees it: alone, or over the main window.
    auto shoot = [&](QWidget* window, const char* name, const char* overMain) {
        if (wholeScreen) {
            // Let the window manager frame and place the window first.
            for (QDeadlineTimer settle(400); !settle.hasExpired();)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            save(QGuiApplication::primaryScreen()->grabWindow(0), name);
            const qreal ratio = window->devicePixelRatioF();
            std::printf("  %s: %d x %d device pixels (device pixel ratio %g)\n", name,
                        qRound(window->width() * ratio), qRound(window->height() * ratio), ratio);
            return;
        }
        save(window->grab(), name);
        if (!overMain)
            return;
        QPixmap shot = app.mainFrame()->grab();
        QPainter painter(&shot);
        painter.drawPixmap(window->geometry().topLeft() - app.mainFrame()->geometry().topLeft(), window->grab());
        painter.end();
        save(shot, overMain);
    };
    User wizard({
        [&](QWidget* start) {
            if (!wholeScreen)
                save(app.mainFrame()->grab(), "main");
            shoot(start, "start", "screen-start");
            PostCommand(&app, ID_APP_ABOUT);
        },
        [&](QWidget* about) {
            shoot(about, "about", nullptr);
            QTest::keyClick(about, Qt::Key_Return);
        },
        Click(1),
        [&](QWidget* destination) {
            shoot(destination, "destination", nullptr);
            ClickEntry(destination, 1002, "[-c-]");
            ClickEntry(destination, 1003, "[KORIMU]");
            shoot(destination, "destination-browsing", "screen-destination");
            Click(1)(destination);
        },
        [&](QWidget* confirm) {
            shoot(confirm, "confirm", "screen-confirm");
            // A disk prompt of the run, owned by the view as the run's are.
            QtPrompter(app.mainFrame()->view())
                .MessageBox(FromDisplay(QStringLiteral("2 枚目のｱｯﾌﾟﾃﾞｲﾄFDをｾｯﾄしてください。")),
                            FromDisplay(QStringLiteral("確認")), MB_OKCANCEL);
            // The progress window of a run that has lasted, as the view's prompter
            // shows it; the confirmation dialog, gone by then, is moved aside.
            const QPoint at = confirm->pos();
            confirm->move(-4 * confirm->width(), -4 * confirm->height());
            auto now = std::chrono::steady_clock::now();
            QtPrompter run(app.mainFrame()->view(), [&now] { return now; });
            run.BeginBusy();
            const RunProgress report{RunProgress::Step::Installing, "ZUMEN.lzh", 2, 7, 0.4};
            for (int i = 0; i <= 12; ++i, now += std::chrono::milliseconds(50))
                run.Progress(report);
            shoot(run.progressWindow(), "progress", "screen-progress");
            run.EndBusy();
            confirm->move(at);
        },
        [&](QWidget* box) {
            shoot(box, "message-disk", nullptr);
            QTest::keyClick(box, Qt::Key_Escape);
        },
        Click(2),
        Click(1008),
        Click(2),
    });
    if (!app.InitInstance())
        return 1;
    for (QDeadlineTimer deadline(60000); app.mainFrame()->isVisible() && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (!saved || !wizard.done() || app.mainFrame()->isVisible()) {
        std::fprintf(stderr, "screenshots: the wizard did not go as planned\n");
        return 1;
    }
    return 0;
}
