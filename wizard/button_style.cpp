// Push buttons with a default ring and a focus rectangle.
#include "wizard/button_style.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionButton>

namespace pelmo {
namespace {

constexpr int kFocusInset = 4;  // pixels between the button's edge and its focus rectangle

class ButtonStyle : public QProxyStyle {
public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (element != CE_PushButton || !button)
            return;
        const QBrush ink = option->palette.windowText();
        painter->save();
        if (button->features & QStyleOptionButton::DefaultButton) {
            painter->setPen(QPen(ink, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
        }
        if (option->state & State_HasFocus) {
            // Every other pixel, as the system draws a focus rectangle.
            const QRect focus = option->rect.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
            const QBrush dots(ink.color(), Qt::Dense4Pattern);
            painter->setBrushOrigin(focus.topLeft());
            painter->fillRect(QRect(focus.left(), focus.top(), focus.width(), 1), dots);
            painter->fillRect(QRect(focus.left(), focus.bottom(), focus.width(), 1), dots);
            painter->fillRect(QRect(focus.left(), focus.top(), 1, focus.height()), dots);
            painter->fillRect(QRect(focus.right(), focus.top(), 1, focus.height()), dots);
        }
        painter->restore();
    }
};

QStyle* SharedButtonStyle()
{
    // Owned by the application; every button of every dialog shares it.
    static QStyle* style = [] {
        auto* created = new ButtonStyle;
        created->setParent(qApp);
        return created;
    }();
    return style;
}

}  // namespace

void UseButtonStyle(QPushButton& button)
{
    button.setStyle(SharedButtonStyle());
}

}  // namespace pelmo
