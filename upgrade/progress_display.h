// What a front end shows of a run's progress, and how often: the texts of a
// report and the pace of a display's updates.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "upgrade/prompter.h"

namespace pelmo {

// A report as the user reads it (code page 932): what is being done, how many
// of how many (empty where no count is told), and how far, in thousandths.
struct ProgressLines {
    std::string action;
    std::string count;
    int permille = 0;
};
ProgressLines DescribeProgress(const RunProgress& progress);

// A run reports thousands of times a second while it extracts; a display is
// updated at most every 50 ms, so the run keeps its speed, and shows itself only
// once the run has lasted half a second, so a quick run shows nothing at all.
class ProgressPace {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    static constexpr std::chrono::milliseconds kInterval{50};
    static constexpr std::chrono::milliseconds kDelay{500};

    explicit ProgressPace(Clock clock = &std::chrono::steady_clock::now) : clock_(std::move(clock)) {}

    // For each report: whether to update the display now. The first report of a
    // run starts its time.
    bool Due();
    // Whether the run has lasted long enough to be shown, as of the last update.
    bool showing() const { return showing_; }
    // The next report starts a new run.
    void Restart();

private:
    Clock clock_;
    bool started_ = false;
    bool showing_ = false;
    std::chrono::steady_clock::time_point start_{};
    std::chrono::steady_clock::time_point last_{};
};

}  // namespace pelmo
