// The engine's Prompter in the wizard: message boxes owned by the view, the hourglass.
#pragma once

#include "upgrade/prompter.h"

class QWidget;

namespace pelmo {

// Message boxes have no icon and the buttons "OK" or "OK" and "キャンセル", centred
// under the text in the dialog font; the box is centred on its owner. Texts
// arrive in code page 932.
class QtPrompter : public Prompter {
public:
    explicit QtPrompter(QWidget* owner) : owner_(owner) {}

    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override;
    void BeginBusy() override;
    void EndBusy() override;

private:
    QWidget* owner_;
    int busyDepth_ = 0;
};

}  // namespace pelmo
