// Posted commands: a Qt event carrying a command number, dispatched through a table.
#pragma once

#include <QEvent>
#include <span>

class QObject;

namespace pelmo {

// Command numbers keep their values.
constexpr int ID_WIZARD_START = 101;
constexpr int ID_WIZARD_DESTINATION = 102;
constexpr int ID_WIZARD_CONFIRM = 103;
constexpr int ID_PACKAGE_TITLE = 104;
constexpr int ID_APP_ABOUT = 57664;

// The command message: its number travels with it.
class CommandEvent : public QEvent {
public:
    explicit CommandEvent(int command) : QEvent(Type()), command_(command) {}
    static QEvent::Type Type();
    int command() const { return command_; }

private:
    int command_;
};

// The close message posted to a frame.
class CloseMessageEvent : public QEvent {
public:
    CloseMessageEvent() : QEvent(Type()) {}
    static QEvent::Type Type();
};

// Posted, never sent: the handler that posts has returned before the command runs,
// and posted events are delivered in the order they were posted.
void PostCommand(QObject* target, int command);
void PostCloseMessage(QObject* frame);

// One entry of a window's command table.
template <class Window>
struct CommandEntry {
    int command;
    void (Window::*handler)();
};

// Runs the handler of a command event from `table`; false for any other event or
// a command the table does not hold.
template <class Window>
bool DispatchCommand(Window& window, std::span<const CommandEntry<Window>> table, const QEvent* event)
{
    if (event->type() != CommandEvent::Type())
        return false;
    const int command = static_cast<const CommandEvent*>(event)->command();
    for (const CommandEntry<Window>& entry : table) {
        if (entry.command == command) {
            (window.*entry.handler)();
            return true;
        }
    }
    return false;
}

}  // namespace pelmo
