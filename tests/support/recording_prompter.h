// Test support: a prompter that records every message box and answers from a queue.
#pragma once

#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "upgrade/prompter.h"

namespace pelmo::test {

// One message box as the user would have seen it; texts in UTF-8 so that
// assertions read like the screen.
struct ShownMessage {
    std::string text;
    std::string caption;
    unsigned buttons = MB_OK;
    bool operator==(const ShownMessage&) const = default;
};
void PrintTo(const ShownMessage& message, std::ostream* out);

class RecordingPrompter : public Prompter {
public:
    // Answers given to the next message boxes, in order; IDOK once they run out.
    void QueueAnswer(int answer) { answers_.push_back(answer); }

    int MessageBox(const std::string& text, const std::string& caption, unsigned buttons) override;
    void BeginBusy() override;
    void EndBusy() override;

    const std::vector<ShownMessage>& messages() const { return messages_; }
    // The texts exactly as the engine passed them, in code page 932.
    const std::vector<std::string>& rawTexts() const { return rawTexts_; }
    // How many busy scopes were open when each message box was shown.
    const std::vector<int>& busyDepthAtMessages() const { return busyDepthAtMessages_; }

    int busyDepth() const { return busyDepth_; }
    int maxBusyDepth() const { return maxBusyDepth_; }
    int busyBegins() const { return busyBegins_; }
    // EndBusy called with no scope open.
    bool busyUnderflow() const { return busyUnderflow_; }

private:
    std::deque<int> answers_;
    std::vector<ShownMessage> messages_;
    std::vector<std::string> rawTexts_;
    std::vector<int> busyDepthAtMessages_;
    int busyDepth_ = 0;
    int maxBusyDepth_ = 0;
    int busyBegins_ = 0;
    bool busyUnderflow_ = false;
};

}  // namespace pelmo::test
