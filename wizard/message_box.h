// The run's message boxes, laid out as the system lays out a box without an icon.
#pragma once

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QList>
#include <QRect>
#include <QStringList>
#include <vector>

class QPushButton;

namespace pelmo {

// Where everything of a box goes, in its client area.
struct MessageBoxLayout {
    QSize client;
    QRect text;
    std::vector<QRect> buttons;  // left to right
    QStringList lines;           // the text as wrapped
};

// The text takes its own width up to `maxTextWidth` and wraps beyond it, at
// spaces, else anywhere (a long path breaks where it must); the box is the text
// with equal margins all round (widened for the buttons when they are wider),
// with the row of buttons centred below it. Each button is 50 × 14 dialog units of the box's font, wider for a
// longer caption.
MessageBoxLayout LayOutMessageBox(const QFont& font, const QString& text, const QStringList& buttons, int maxTextWidth);

// The widest text a box shows on a screen `screenWidth` pixels wide.
int MessageTextLimit(int screenWidth);

// The text as laid out, drawn line by line.
class MessageText : public QLabel {
public:
    MessageText(const QString& text, QStringList lines, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList lines_;
};

// A modal box with a text and one to three buttons, the first the default.
// Escape answers with `escape`.
class MessageBoxDialog : public QDialog {
    Q_OBJECT
public:
    MessageBoxDialog(QWidget* owner, const QFont& font, const QString& caption, const QString& text,
                     const QStringList& buttons, int escape, int screenWidth);

    QString text() const { return text_->text(); }
    const QList<QPushButton*>& buttons() const { return buttons_; }
    // The button that ended the box, by position.
    int answer() const { return answer_; }

    void reject() override;

private:
    MessageText* text_ = nullptr;
    QList<QPushButton*> buttons_;
    int escape_ = 0;
    int answer_ = -1;
};

}  // namespace pelmo
