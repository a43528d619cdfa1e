// What a front end shows of a run's progress, and how often.
#include "upgrade/progress_display.h"

#include <algorithm>

#include "res/strings.h"

namespace pelmo {
namespace {

Text ActionOf(RunProgress::Step step)
{
    switch (step) {
    case RunProgress::Step::Installing:
        return Text::ProgressInstalling;
    case RunProgress::Step::VoiceData:
        return Text::ProgressVoiceData;
    case RunProgress::Step::Converting:
        return Text::ProgressConverting;
    case RunProgress::Step::TakingBack:
        return Text::ProgressTakingBack;
    case RunProgress::Step::Committing:
        break;
    }
    return Text::ProgressCommitting;
}

}  // namespace

ProgressLines DescribeProgress(const RunProgress& progress)
{
    ProgressLines lines;
    lines.action = FormatText(ActionOf(progress.step), progress.item);
    // The conversions count themselves, not files; the user needs no count there.
    if (progress.total > 0 && progress.step != RunProgress::Step::Converting)
        lines.count =
            FormatText(Text::ProgressCount, std::to_string(progress.done) + " / " + std::to_string(progress.total));
    if (progress.total > 0) {
        const double whole = (progress.done + std::clamp(progress.part, 0.0, 1.0)) / progress.total;
        lines.permille = static_cast<int>(std::clamp(whole, 0.0, 1.0) * 1000);
    }
    return lines;
}

bool ProgressPace::Due()
{
    const auto now = clock_();
    if (!started_) {
        started_ = true;
        start_ = last_ = now;
        return false;
    }
    if (now - last_ < kInterval)
        return false;
    last_ = now;
    showing_ = showing_ || now - start_ >= kDelay;
    return true;
}

void ProgressPace::Restart()
{
    started_ = false;
    showing_ = false;
}

}  // namespace pelmo
