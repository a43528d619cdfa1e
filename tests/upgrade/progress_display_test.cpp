// What a progress display shows of a report, and how often it is updated.
#include "upgrade/progress_display.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "tests/support/test_machine.h"

namespace pelmo::test {
namespace {

using Step = RunProgress::Step;
using namespace std::chrono_literals;

TEST(ProgressDisplay, SaysWhatIsDoneHowManyOfHowManyAndHowFar)
{
    struct Row {
        RunProgress progress;
        const char* action;
        const char* count;
        int permille;
    };
    const Row rows[] = {
        {{Step::Installing, Sjis("START1.lzh"), 0, 4, 0}, "START1.lzh をｲﾝｽﾄｰﾙしています。", "0 / 4 ﾌｧｲﾙ", 0},
        {{Step::Installing, "HELP.lzh", 1, 4, 0.5}, "HELP.lzh をｲﾝｽﾄｰﾙしています。", "1 / 4 ﾌｧｲﾙ", 375},
        {{Step::Installing, "README.TXT", 4, 4, 0}, "README.TXT をｲﾝｽﾄｰﾙしています。", "4 / 4 ﾌｧｲﾙ", 1000},
        {{Step::VoiceData, {}, 0, 1, 0.25}, "音声ﾃﾞｰﾀをｲﾝｽﾄｰﾙしています。", "0 / 1 ﾌｧｲﾙ", 250},
        {{Step::Converting, {}, 1, 2, 0}, "材料ﾏｽﾀを変換しています。", "", 500},
        {{Step::Committing, {}, 120, 300, 0}, "ｼｽﾃﾑを更新しています。", "120 / 300 ﾌｧｲﾙ", 400},
        // Nothing to count, and parts out of range, never move the bar off its scale.
        {{Step::Committing, {}, 0, 0, 0}, "ｼｽﾃﾑを更新しています。", "", 0},
        {{Step::Installing, "A", 3, 4, 7.0}, "A をｲﾝｽﾄｰﾙしています。", "3 / 4 ﾌｧｲﾙ", 1000},
        {{Step::Installing, "A", 0, 4, -1.0}, "A をｲﾝｽﾄｰﾙしています。", "0 / 4 ﾌｧｲﾙ", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action);
        const ProgressLines lines = DescribeProgress(row.progress);
        EXPECT_EQ(Cp932ToUtf8Lossy(lines.action), row.action);
        EXPECT_EQ(Cp932ToUtf8Lossy(lines.count), row.count);
        EXPECT_EQ(lines.permille, row.permille);
    }
}

// Reports every millisecond for two seconds: the display is updated every 50 ms
// and shows itself from half a second on; a new run starts over.
TEST(ProgressDisplay, UpdatesAtMostTwentyTimesASecondAndShowsOnlyALongRun)
{
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    ProgressPace pace([&] { return now; });
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const auto start = now;
        std::vector<std::chrono::milliseconds> updates, shown;
        for (int ms = 0; ms < 2000; ++ms, now += 1ms) {
            if (!pace.Due())
                continue;
            updates.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(now - start));
            if (pace.showing())
                shown.push_back(updates.back());
        }
        ASSERT_EQ(updates.size(), 39u);
        for (std::size_t i = 0; i < updates.size(); ++i)
            EXPECT_EQ(updates[i], 50ms * static_cast<int>(i + 1));
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.front(), 500ms);
        EXPECT_EQ(shown.size(), 30u) << "from 500 ms to 1950 ms";
        pace.Restart();
        EXPECT_FALSE(pace.showing());
    }
    // Reports far apart are each shown at once, after the first.
    pace.Restart();
    EXPECT_FALSE(pace.Due());
    now += 10s;
    EXPECT_TRUE(pace.Due());
    EXPECT_TRUE(pace.showing());
}

}  // namespace
}  // namespace pelmo::test
