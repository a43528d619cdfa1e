// Turns a dialog template into widgets.
#include "wizard/dialog_builder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <span>
#include <string_view>
#include <vector>

#include "res/strings.h"
#include "wizard/button_style.h"
#include "wizard/display_text.h"
#include "wizard/list_box.h"
#include "wizard/picture_frame.h"

namespace pelmo {
namespace {

// MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c)
{
    long long product = static_cast<long long>(a) * b;
    long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

// ＭＳ Ｐゴシック's line at `pixels` to the em: an em of 256 units, 220 above the
// base line and 36 below, each rounded to pixels as GDI rounds them.
int WindowsLineHeight(int pixels)
{
    return MulDiv(220, pixels, 256) + MulDiv(36, pixels, 256);
}

void RegisterFontSubstitute()
{
    static const bool once = [] {
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
        return true;
    }();
    (void)once;
}

Qt::Alignment TextAlignment(std::uint32_t style)
{
    Qt::Alignment horizontal = (style & kCenter) ? Qt::AlignHCenter : Qt::AlignLeft;
    Qt::Alignment vertical = (style & kCenterVertical) ? Qt::AlignVCenter : Qt::AlignTop;
    return horizontal | vertical;
}

QWidget* MakeStaticText(const ControlTemplate& control, QWidget* parent)
{
    auto* label = new QLabel(QString::fromUtf8(control.text), parent);
    label->setAlignment(TextAlignment(control.style));
    // A left-aligned static text wraps its words; a vertically centred one is one line.
    label->setWordWrap(!(control.style & kCenterVertical));
    label->setTextFormat(Qt::PlainText);
    if (control.style & kSunken)
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // A static text starts right inside its border. QLabel would indent a framed
    // text by half an "x" from the top as well, and a box sized for two lines
    // would then cut off the second.
    label->setIndent(0);
    return label;
}

// An edit box reached with Tab selects all of its text, as the system's dialogs
// do; QLineEdit does so itself.
class SelectAllOnTab : public QObject {
public:
    explicit SelectAllOnTab(QPlainTextEdit* edit) : QObject(edit), edit_(edit) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason)
                edit_->selectAll();
        }
        return false;
    }

private:
    QPlainTextEdit* edit_;
};

QWidget* MakeEditBox(const ControlTemplate& control, QWidget* parent)
{
    if (!(control.style & kMultiline)) {
        auto* edit = new QLineEdit(QString::fromUtf8(control.text), parent);
        edit->setReadOnly(control.style & kReadOnly);
        return edit;
    }
    auto* edit = new QPlainTextEdit(QString::fromUtf8(control.text), parent);
    edit->setReadOnly(control.style & kReadOnly);
    if (control.style & kReadOnly)
        edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // An edit box with a vertical scroll bar always shows it.
    edit->setVerticalScrollBarPolicy((control.style & kVScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    edit->setTabChangesFocus(true);
    edit->installEventFilter(new SelectAllOnTab(edit));
    return edit;
}

QWidget* MakeListBox(const ControlTemplate& control, QWidget* parent)
{
    auto* list = new ListBox(control.style & kSort, parent);
    list->setVerticalScrollBarPolicy((control.style & kDisableNoScroll) ? Qt::ScrollBarAlwaysOn
                                                                        : Qt::ScrollBarAsNeeded);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return list;
}

QWidget* MakeIcon(QWidget* parent)
{
    auto* icon = new QLabel(parent);
    QIcon image = QApplication::windowIcon();
    if (image.isNull())
        image = parent->style()->standardIcon(QStyle::SP_ComputerIcon);
    icon->setPixmap(image.pixmap(32, 32));
    return icon;
}

QWidget* MakeControl(const ControlTemplate& control, QWidget* parent)
{
    switch (control.kind) {
    case ControlKind::PushButton: {
        auto* button = new QPushButton(QString::fromUtf8(control.text), parent);
        button->setAutoDefault(true);
        button->setDefault(control.style & kDefaultButton);
        UseButtonStyle(*button);
        return button;
    }
    case ControlKind::ListBox:
        return MakeListBox(control, parent);
    case ControlKind::StaticText:
        return MakeStaticText(control, parent);
    case ControlKind::CheckBox:
        return new QCheckBox(QString::fromUtf8(control.text), parent);
    case ControlKind::EditBox:
        return MakeEditBox(control, parent);
    case ControlKind::BlackFrame:
        return new PictureFrame(parent);
    case ControlKind::Icon:
        return MakeIcon(parent);
    case ControlKind::ProgressBar: {
        // Thousandths, and no text: the system's bar is a bar alone.
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 1000);
        bar->setTextVisible(false);
        return bar;
    }
    }
    return nullptr;
}

QRect ControlRect(const ControlTemplate& control, const DialogBaseUnits& units)
{
    QRect rect = DialogUnitsToPixels(units, control.x, control.y, control.width, control.height);
    // An icon control takes the icon's own size, whatever the template says.
    if (control.kind == ControlKind::Icon)
        rect.setSize(QSize(32, 32));
    return rect;
}

// A static text's words as one line, for a screen reader.
QString Spoken(const char* text)
{
    return QString::fromUtf8(text).simplified();
}

bool Labels(const ControlTemplate& control)
{
    return control.kind == ControlKind::StaticText && *control.text;
}

// The static text that labels `control`: the nearest above it that shares its
// columns, else the nearest at its left that shares its rows.
const ControlTemplate* LabelOf(const ControlTemplate& control, std::span<const ControlTemplate> controls)
{
    const ControlTemplate* best = nullptr;
    int bestDistance = 0;
    for (const ControlTemplate& label : controls) {
        if (!Labels(label))
            continue;
        const bool columns = label.x < control.x + control.width && control.x < label.x + label.width;
        const bool rows = label.y < control.y + control.height && control.y < label.y + label.height;
        int distance = -1;
        if (columns && label.y + label.height <= control.y)
            distance = control.y - (label.y + label.height);
        else if (rows && label.x + label.width <= control.x)
            distance = control.x - (label.x + label.width);
        if (distance >= 0 && (!best || distance < bestDistance)) {
            best = &label;
            bestDistance = distance;
        }
    }
    return best;
}

// What a screen reader says for each control: buttons, check boxes and static
// texts their own text, an edit box or list its label, else what it is.
void NameControls(QDialog& dialog, const DialogTemplate& templ, const std::vector<QWidget*>& widgets)
{
    QString announced = Spoken(templ.caption);
    for (size_t i = 0; i < templ.controls.size(); ++i) {
        const ControlTemplate& control = templ.controls[i];
        if (announced.isEmpty() && Labels(control))
            announced = Spoken(control.text);
        switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::CheckBox:
        case ControlKind::StaticText:
            continue;  // named by their text
        case ControlKind::BlackFrame:
        case ControlKind::Icon:
            widgets[i]->setAccessibleName(ToDisplay(GetText(Text::PictureName)));
            continue;
        case ControlKind::EditBox:
        case ControlKind::ListBox:
        case ControlKind::ProgressBar:
            break;
        }
        if (const ControlTemplate* label = LabelOf(control, templ.controls))
            widgets[i]->setAccessibleName(Spoken(label->text));
        else if (control.kind == ControlKind::EditBox && (control.style & kMultiline))
            widgets[i]->setAccessibleName(ToDisplay(GetText(Text::NotesName)));
        else
            widgets[i]->setAccessibleName(Spoken(templ.caption));
    }
    // A dialog without a caption announces its first text.
    dialog.setAccessibleName(announced);
}

}  // namespace

QFont DialogFont(const DialogTemplate& dialog, int dotsPerInch)
{
    return DialogFont(dialog.fontName, dialog.pointSize, dotsPerInch);
}

QFont DialogFont(const char* fontName, int pointSize, int dotsPerInch)
{
    RegisterFontSubstitute();
    QFont font(QString::fromUtf8(fontName));
    int pixels = MulDiv(pointSize, dotsPerInch, 72);
    font.setPixelSize(pixels);
    // IPAPGothic's lines are taller than ＭＳ Ｐゴシック's, which are one em: drawn
    // a pixel or so smaller, its lines fit the controls made for the original.
    if (std::string_view(fontName) == kDialogFontName) {
        const int height = WindowsLineHeight(pixels);
        while (pixels > 1 && QFontMetrics(font).height() > height)
            font.setPixelSize(--pixels);
    }
    // Windows measures and draws dialog text without kerning.
    font.setKerning(false);
    return font;
}

DialogBaseUnits MeasureBaseUnits(const QFont& font)
{
    QFontMetrics metrics(font);
    int letters = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

DialogBaseUnits BaseUnits(const DialogTemplate& dialog, int dotsPerInch)
{
    if (std::string_view(dialog.fontName) != kDialogFontName)
        return MeasureBaseUnits(DialogFont(dialog, dotsPerInch));
    // Its Latin letters average just over half an em: half the pixel size,
    // rounded up.
    const int pixels = MulDiv(dialog.pointSize, dotsPerInch, 72);
    return {(pixels + 1) / 2, WindowsLineHeight(pixels)};
}

QRect DialogUnitsToPixels(const DialogBaseUnits& units, int x, int y, int width, int height)
{
    return QRect(MulDiv(x, units.width, 4), MulDiv(y, units.height, 8), MulDiv(width, units.width, 4),
                 MulDiv(height, units.height, 8));
}

QWidget* DialogControls::Find(int id) const
{
    auto found = byId_.find(id);
    return found == byId_.end() ? nullptr : found->second;
}

void DialogControls::Add(int id, QWidget* widget)
{
    if (id != IDC_STATIC)
        byId_[id] = widget;
}

DialogControls BuildDialog(QDialog& dialog, const DialogTemplate& templ)
{
    QFont font = DialogFont(templ, dialog.logicalDpiY());
    dialog.setFont(font);
    dialog.setWindowTitle(QString::fromUtf8(templ.caption));
    const DialogBaseUnits units = BaseUnits(templ, dialog.logicalDpiY());

    DialogControls controls;
    std::vector<QWidget*> widgets;
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : templ.controls) {
        QWidget* widget = MakeControl(control, &dialog);
        widgets.push_back(widget);
        widget->setObjectName(QStringLiteral("control%1").arg(control.id));
        widget->setGeometry(ControlRect(control, units));
        if (control.style & kHidden)
            widget->hide();
        widget->setEnabled(!(control.style & kDisabled));
        if (control.style & kTabStop) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop)
                QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        controls.Add(control.id, widget);
    }
    NameControls(dialog, templ, widgets);
    const QRect client = DialogUnitsToPixels(units, 0, 0, templ.width, templ.height);
    dialog.setFixedSize(client.size());
    return controls;
}

}  // namespace pelmo
