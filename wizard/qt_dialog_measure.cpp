// The dialog measurements of the package check, taken with Qt's font metrics.
#include "wizard/qt_dialog_measure.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QString>
#include <QTextLayout>
#include <algorithm>
#include <cstdio>

#include "res/dialog_templates.h"
#include "wizard/dialog_builder.h"

namespace pelmo {
namespace {

constexpr int kDotsPerInch = 96;
// A notes box's text area: inside a sunken border, beside the vertical scroll bar
// (17 pixels at 96 dots per inch on Windows), within the box's own margin.
constexpr int kBoxBorder = 2;
constexpr int kScrollBar = 17;
constexpr int kMargin = 4;

// The application object lives as long as the process; its arguments too.
int gArgc = 3;
char gProgram[] = "pelmo";
char gPlatformOption[] = "-platform";
char gPlatform[] = "offscreen";
char* gArgv[] = {gProgram, gPlatformOption, gPlatform, nullptr};

const ControlTemplate* FindControl(const DialogTemplate& dialog, int controlId)
{
    auto found = std::find_if(dialog.controls.begin(), dialog.controls.end(),
                              [controlId](const ControlTemplate& control) { return control.id == controlId; });
    return found == dialog.controls.end() ? nullptr : &*found;
}

struct Measured {
    QFont font;
    QSize size;
};

// The control's font and its size in pixels; an empty size for a control the
// template does not have.
Measured MeasureControl(int dialogId, int controlId)
{
    const DialogTemplate* dialog = FindDialogTemplate(dialogId);
    if (!dialog)
        return {};
    QFont font = DialogFont(*dialog, kDotsPerInch);
    const ControlTemplate* control = FindControl(*dialog, controlId);
    if (!control)
        return {font, {}};
    const DialogBaseUnits units = BaseUnits(*dialog, kDotsPerInch);
    return {font, DialogUnitsToPixels(units, control->x, control->y, control->width, control->height).size()};
}

// Lines of one paragraph wrapped as an edit box wraps it: at word boundaries, or
// anywhere in a word too long for a line.
int WrappedLines(const QString& paragraph, const QFont& font, int width)
{
    QTextLayout layout(paragraph, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    int lines = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++lines;
    }
    layout.endLayout();
    return std::max(lines, 1);
}

// The check's output is its findings; Qt's remarks about the offscreen platform
// (no XDG_RUNTIME_DIR and the like) would only bury them.
void KeepSevereMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

}  // namespace

QtDialogMeasure::QtDialogMeasure()
{
    if (QGuiApplication::instance())
        return;
    previousHandler_ = qInstallMessageHandler(KeepSevereMessages);
    application_ = std::make_unique<QGuiApplication>(gArgc, gArgv);
}

QtDialogMeasure::~QtDialogMeasure()
{
    if (!application_)
        return;
    application_.reset();
    qInstallMessageHandler(previousHandler_);
}

PixelSize QtDialogMeasure::ControlSize(int dialogId, int controlId) const
{
    const QSize size = MeasureControl(dialogId, controlId).size;
    return {size.width(), size.height()};
}

Fit QtDialogMeasure::NotesLines(int dialogId, std::string_view utf8) const
{
    const Measured box = MeasureControl(dialogId, IDC_NOTES);
    const int width = std::max(1, box.size.width() - 2 * kBoxBorder - kScrollBar - 2 * kMargin);
    const int height = box.size.height() - 2 * kBoxBorder - 2 * kMargin;
    const int lineSpacing = std::max(1, QFontMetrics(box.font).lineSpacing());
    Fit fit{0, std::max(1, height / lineSpacing)};
    if (utf8.empty())
        return fit;
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    for (const QString& paragraph : text.split(QLatin1Char('\n')))
        fit.needed += WrappedLines(paragraph, box.font, width);
    return fit;
}

Fit QtDialogMeasure::LineWidth(int dialogId, int controlId, std::string_view utf8) const
{
    const Measured control = MeasureControl(dialogId, controlId);
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    return {QFontMetrics(control.font).horizontalAdvance(text), control.size.width() - 2 * kBoxBorder};
}

}  // namespace pelmo
