// The engine's Prompter in the wizard: message boxes owned by the view, the
// hourglass, the progress window.
#pragma once

#include <memory>

#include "upgrade/progress_display.h"
#include "upgrade/prompter.h"

class QWidget;

namespace pelmo {

class ProgressWindow;

// Message boxes have no icon and the buttons "OK" or "OK" and "キャンセル", centred
// under the text in the dialog font; the box is centred on its owner. Texts
// arrive in code page 932.
//
// The run stays on this thread. Its progress reports let pending paints and
// timers through, at the pace of a ProgressPace, never the user's input: the
// windows stay painted and take nothing while the run works. A run that lasts
// shows the progress window over the owner, hidden while a message box is up and
// gone when the run's last busy scope ends.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner, ProgressPace::Clock clock = &std::chrono::steady_clock::now);
    ~QtPrompter() override;

    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override;
    void BeginBusy() override;
    void EndBusy() override;
    void Progress(const RunProgress& progress) override;

    // The progress window while it stands, for those who look at it.
    ProgressWindow* progressWindow() const { return progressWindow_.get(); }

private:
    QWidget* owner_;
    int busyDepth_ = 0;
    ProgressPace pace_;
    std::unique_ptr<ProgressWindow> progressWindow_;
};

}  // namespace pelmo
