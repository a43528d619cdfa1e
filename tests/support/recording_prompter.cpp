// Test support: a prompter that records every message box and the hourglass, and answers OK.
#include "tests/support/recording_prompter.h"

#include "platform/text.h"

namespace pelmo::test {

void PrintTo(const ShownMessage& message, std::ostream* out)
{
    *out << "[" << message.caption << "] " << message.text << " (buttons " << message.buttons << ")";
}

int RecordingPrompter::MessageBox(const std::string& text, const std::string& caption, unsigned buttons)
{
    busyAtMessages_.push_back(busy_);
    messages_.push_back({Cp932ToUtf8Lossy(text), Cp932ToUtf8Lossy(caption), buttons});
    return IDOK;
}

}  // namespace pelmo::test
