// Test support: a prompter that records what the run shows, and answers OK.
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

void RecordingPrompter::Progress(const RunProgress& progress)
{
    const char* steps[] = {"installing", "voice data", "converting", "committing", "taking back"};
    std::string line = steps[static_cast<int>(progress.step)];
    if (!progress.item.empty())
        line += " " + Cp932ToUtf8Lossy(progress.item);
    line += " " + std::to_string(progress.done) + "/" + std::to_string(progress.total);
    if (!(progress.part >= 0 && progress.part <= 1))
        line += " beyond the part";
    else if (progress.part > 0)
        line += " " + std::to_string(static_cast<int>(progress.part * 100 + 0.5)) + "%";
    if (busy_ == 0)
        line += " (idle)";
    progress_.push_back(std::move(line));
}

}  // namespace pelmo::test
