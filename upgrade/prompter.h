// How the engine talks to the user: message boxes and the busy cursor.
#pragma once

#include <string>

namespace pelmo {

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal message box: text and caption in code page 932; buttons MB_OK or
    // MB_OKCANCEL; returns IDOK or IDCANCEL.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) = 0;
    // The hourglass: shown while a BusyScope lives; scopes nest.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
};

// Shows the busy cursor for its lifetime.
class BusyScope {
public:
    explicit BusyScope(Prompter& prompter) : prompter_(prompter) { prompter_.BeginBusy(); }
    ~BusyScope() { prompter_.EndBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    Prompter& prompter_;
};

}  // namespace pelmo
