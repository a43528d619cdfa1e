// Posted commands and the close message.
#include "wizard/command_event.h"

#include <QCoreApplication>

namespace pelmo {

QEvent::Type CommandEvent::Type()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type CloseMessageEvent::Type()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PostCommand(QObject* target, int command)
{
    QCoreApplication::postEvent(target, new CommandEvent(command));
}

void PostCloseMessage(QObject* frame)
{
    QCoreApplication::postEvent(frame, new CloseMessageEvent());
}

}  // namespace pelmo
