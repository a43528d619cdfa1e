// Test support: a prompter that records every message box and answers from a queue.
#include "tests/support/recording_prompter.h"

#include <algorithm>

#include "platform/cp932.h"

namespace pelmo::test {

void PrintTo(const ShownMessage& message, std::ostream* out)
{
    *out << "[" << message.caption << "] " << message.text << " (buttons " << message.buttons << ")";
}

int RecordingPrompter::MessageBox(const std::string& text, const std::string& caption, unsigned buttons)
{
    messages_.push_back({Cp932ToUtf8Lossy(text), Cp932ToUtf8Lossy(caption), buttons});
    rawTexts_.push_back(text);
    busyDepthAtMessages_.push_back(busyDepth_);
    if (answers_.empty())
        return IDOK;
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

void RecordingPrompter::BeginBusy()
{
    ++busyBegins_;
    ++busyDepth_;
    maxBusyDepth_ = std::max(maxBusyDepth_, busyDepth_);
}

void RecordingPrompter::EndBusy()
{
    if (busyDepth_ == 0) {
        busyUnderflow_ = true;
        return;
    }
    --busyDepth_;
}

}  // namespace pelmo::test
