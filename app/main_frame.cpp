// CMainFrame: the main window and its caption.
#include "app/main_frame.h"

#include <QGuiApplication>
#include <QImage>
#include <QLayout>
#include <QScreen>

#include "platform/streams.h"
#include "res/strings.h"
#include "wizard/display_text.h"
#include "wizard/pelmo_view.h"
#include "wizard/window_kind.h"
#include "wizard/window_placement.h"

namespace pelmo {

const CommandEntry<CMainFrame> CMainFrame::kCommands[] = {
    {ID_PACKAGE_TITLE, &CMainFrame::OnPackageTitle},
};

std::span<const CommandEntry<CMainFrame>> CMainFrame::Commands()
{
    return kCommands;
}

CMainFrame::CMainFrame(WizardContext& context) : QMainWindow(nullptr), context_(context)
{
    // A title bar and nothing else: no system menu, so no close, minimise or
    // maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowTitle(ToDisplay(GetText(Text::FrameTitle)));
    KeepEmptyCaptions(*this);
    // Without a sizing border or buttons, the window stays maximised.
    KeepWindowState(*this, Qt::WindowMaximized);
}

int CMainFrame::OnCreate()
{
    view_ = new CPelmoView(context_, this);
    setCentralWidget(view_);
    if (view_->OnCreate() == -1)
        return -1;
    setMenuBar(nullptr);
    // Fill the screen from its top-left corner also where no window manager
    // acts on the maximised state; one that does keeps the caption bar on the
    // screen.
    if (QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    setWindowState(Qt::WindowMaximized);
    FollowScreen(*this, [this](const QRect& area) { OnScreenChange(area); });
    // The window's first frame on the screen is its picture, not black: the
    // window system has it before the window is shown.
    if (QLayout* frameLayout = layout())
        frameLayout->activate();
    const qreal ratio = devicePixelRatioF();
    QImage first(view_->size() * ratio, QImage::Format_RGB32);
    first.setDevicePixelRatio(ratio);
    first.fill(view_->palette().color(view_->backgroundRole()));
    view_->render(&first, QPoint(), QRegion(), QWidget::DrawChildren);
    ClearTo(*this, first);
    PostCommand(this, ID_PACKAGE_TITLE);
    return 0;
}

void CMainFrame::OnScreenChange(const QRect& area)
{
    Fill(*this, area);
    setWindowState(Qt::WindowMaximized);
}

bool CMainFrame::event(QEvent* event)
{
    if (DispatchCommand(*this, Commands(), event))
        return true;
    if (event->type() == CloseMessageEvent::Type()) {
        close();
        return true;
    }
    return QMainWindow::event(event);
}

void CMainFrame::OnPackageTitle()
{
    // Read here on its own, apart from the package reader.
    std::string line;
    if (auto file = InputFile::Open(DiskView(context_.machine), context_.sourceFolder + GetText(Text::InfoTxt))) {
        TextReader reader(std::move(*file));
        if (!reader.ReadLine(line))
            line.clear();
    }
    setWindowTitle(ToDisplay(line));
}

}  // namespace pelmo
