// How the engine talks to the user: message boxes, the busy cursor and how far a run has got.
#pragma once

#include <string>

namespace pelmo {

constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_OKCANCEL = 0x1;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Where an upgrade run stands: the step, the file being installed, how many of
// how many are done, and how far the current one has got.
struct RunProgress {
    enum class Step { Installing, VoiceData, Converting, Committing, TakingBack };
    Step step = Step::Installing;
    std::string item;  // Installing: the file the entry reads (code page 932)
    int done = 0;      // Installing: entries; Converting: conversions; Committing, TakingBack: files
    int total = 0;
    double part = 0;  // of the current one, 0 to 1
};

class Prompter {
public:
    virtual ~Prompter() = default;
    // A modal message box: text and caption in code page 932; buttons MB_OK or
    // MB_OKCANCEL; returns IDOK or IDCANCEL.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) = 0;
    // The hourglass: shown while a BusyScope lives; scopes nest.
    virtual void BeginBusy() = 0;
    virtual void EndBusy() = 0;
    // Called often while the run works, also within one file, always inside a
    // busy scope. A front end that shows nothing needs nothing here.
    virtual void Progress(const RunProgress& progress) { (void)progress; }
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
