// Test support: a prompter that records every message box, the hourglass and the
// progress reports, and answers OK.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "upgrade/prompter.h"

namespace pelmo::test {

// One message box as the user would have seen it, in UTF-8.
struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned buttons = MB_OK;
    bool operator==(const ShownMessage&) const = default;
};
void PrintTo(const ShownMessage& message, std::ostream* out);

class RecordingPrompter : public Prompter {
public:
    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override;
    void BeginBusy() override { ++busy_; }
    void EndBusy() override { --busy_; }
    const std::vector<ShownMessage>& messages() const { return messages_; }
    // How many busy scopes were open: now, and when each message box was shown.
    int busy() const { return busy_; }
    const std::vector<int>& busyAtMessages() const { return busyAtMessages_; }
    // Each report as "step item done/total", with " part%" when the current one
    // has got somewhere, and " (idle)" when no busy scope was open.
    void Progress(const RunProgress& progress) override;
    const std::vector<std::string>& progress() const { return progress_; }

private:
    std::vector<ShownMessage> messages_;
    std::vector<int> busyAtMessages_;
    std::vector<std::string> progress_;
    int busy_ = 0;
};

}  // namespace pelmo::test
