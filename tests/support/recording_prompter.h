// Test support: a prompter that records every message box and the hourglass, and answers OK.
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

private:
    std::vector<ShownMessage> messages_;
    std::vector<int> busyAtMessages_;
    int busy_ = 0;
};

}  // namespace pelmo::test
