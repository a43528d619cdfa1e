// The run's message boxes, laid out as the system lays out a box without an icon.
#include "wizard/message_box.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

#include "wizard/button_style.h"

namespace pelmo {
namespace {

// Pixels at 96 dots per inch, as the system spaces a box.
constexpr int kMargin = 12;         // around the text, and below the buttons
constexpr int kButtonGap = 6;       // between two buttons
constexpr int kTextToButtons = 16;  // between the text and the buttons
constexpr int kButtonPadding = 16;  // a caption's room inside a wider button

QStringList Wrap(const QFont& font, const QString& text, int width)
{
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            // A line ends without the blanks at which it broke.
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            lines << QString();
    }
    return lines;
}

}  // namespace

int MessageTextLimit(int screenWidth)
{
    return std::max(1, screenWidth * 4 / 5 - 2 * kMargin);
}

MessageBoxLayout LayOutMessageBox(const QFont& font, const QString& text, const QStringList& buttons, int maxTextWidth)
{
    const QFontMetrics metrics(font);
    MessageBoxLayout layout;
    layout.lines = Wrap(font, text, maxTextWidth);
    int textWidth = 1;
    for (const QString& line : layout.lines)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    const int textHeight = std::max(1, int(layout.lines.size()) * metrics.lineSpacing());

    // 50 × 14 dialog units in the box's font (height and average letter as the
    // dialogs measure them).
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int unitWidth = (letters / 26 + 1) / 2;
    QSize button((50 * unitWidth + 2) / 4, (14 * metrics.height() + 4) / 8);
    for (const QString& caption : buttons)
        button.setWidth(std::max(button.width(), metrics.horizontalAdvance(caption) + kButtonPadding));
    const int count = int(buttons.size());
    const int row = count * button.width() + std::max(0, count - 1) * kButtonGap;

    const int inner = std::max(textWidth, row);
    layout.client = QSize(inner + 2 * kMargin, kMargin + textHeight + kTextToButtons + button.height() + kMargin);
    // A text narrower than the buttons stays at the left margin, as the system's does.
    layout.text = QRect(kMargin, kMargin, textWidth, textHeight);
    int x = (layout.client.width() - row) / 2;
    const int y = kMargin + textHeight + kTextToButtons;
    for (int i = 0; i < count; ++i, x += button.width() + kButtonGap)
        layout.buttons.emplace_back(x, y, button.width(), button.height());
    return layout;
}

MessageText::MessageText(const QString& text, QStringList lines, QWidget* parent)
    : QLabel(text, parent),
      lines_(std::move(lines))
{
    setTextFormat(Qt::PlainText);
}

void MessageText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    int y = metrics.ascent();
    for (const QString& line : lines_) {
        painter.drawText(0, y, line);
        y += metrics.lineSpacing();
    }
}

MessageBoxDialog::MessageBoxDialog(QWidget* owner, const QFont& font, const QString& caption, const QString& text,
                                   const QStringList& buttons, int escape, int screenWidth)
    : QDialog(owner),
      escape_(escape)
{
    // A title bar with a close box (the escape answer), nothing more.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFont(font);
    setWindowTitle(caption);
    const MessageBoxLayout layout = LayOutMessageBox(font, text, buttons, MessageTextLimit(screenWidth));
    text_ = new MessageText(text, layout.lines, this);
    text_->setGeometry(layout.text);
    for (int i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(buttons[i], this);
        button->setGeometry(layout.buttons[size_t(i)]);
        button->setAutoDefault(true);
        button->setDefault(i == 0);
        UseButtonStyle(*button);
        connect(button, &QPushButton::clicked, this, [this, i] {
            answer_ = i;
            accept();
        });
        buttons_ << button;
    }
    setFixedSize(layout.client);
    if (!buttons_.isEmpty())
        buttons_.front()->setFocus();
}

void MessageBoxDialog::reject()
{
    answer_ = escape_;
    QDialog::reject();
}

}  // namespace pelmo
