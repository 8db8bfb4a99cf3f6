// The time line's ticks and labels.
#include <gtest/gtest.h>

#include <vector>

#include "eq/response/TimeAxis.h"

namespace {

// Ticks at least the asked spacing apart, on round steps, labelled for the recording's length.
TEST(TimeAxisTest, RoundStepsLabelledForTheLength) {
  // 8.47 s over 1300 pixels: 153 pixels a second, so half seconds (77 px) for 60 px apart.
  const std::vector<TimeTick> clip = TimeAxisTicks(8.472, 1300, 60);
  ASSERT_EQ(clip.size(), 17U);
  EXPECT_EQ(clip[1].seconds, 0.5);
  EXPECT_EQ(clip[1].label, "0.5 s");
  EXPECT_EQ(clip[16].label, "8.0 s");
  // 45 s: whole seconds; 10 min: minutes and seconds; an hour: hours too.
  EXPECT_EQ(TimeAxisTicks(45, 1300, 60)[1].label, "5 s");
  const std::vector<TimeTick> talk = TimeAxisTicks(600, 1300, 60);
  EXPECT_EQ(talk[1].label, "0:30");
  EXPECT_EQ(talk.back().label, "10:00");
  const std::vector<TimeTick> hour = TimeAxisTicks(3600, 1300, 60);
  EXPECT_EQ(hour[1].label, "0:05:00");
  EXPECT_EQ(hour.size(), 13U);
  // One sample: the start alone; nothing without a length.
  EXPECT_EQ(TimeAxisTicks(1.0 / 16000, 1300, 60).size(), 1U);
  EXPECT_TRUE(TimeAxisTicks(0, 1300, 60).empty());
}

}  // namespace
