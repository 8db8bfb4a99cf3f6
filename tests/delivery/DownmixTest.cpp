// Mixing down to mono by the average of the channels, against sums worked out by hand.
#include <gtest/gtest.h>

#include <vector>

#include "delivery/Downmix.h"

namespace {

using delivery::DownmixToMono;

TEST(DownmixTest, EachFrameBecomesTheAverageOfItsChannels) {
  const std::vector<double> stereo = {1.0, 0.5, -0.25, 0.25, 0.75, -0.25, 1.0, 1.0};
  std::vector<double> mono(4);
  DownmixToMono(stereo, 2, mono);
  EXPECT_EQ(mono, (std::vector<double>{0.75, 0.0, 0.25, 1.0}));

  // Three channels, and the result written over the input it is read from.
  std::vector<double> three = {0.3, 0.6, 0.9, -3.0, 1.5, 0.0};
  DownmixToMono(three, 3, three);
  EXPECT_DOUBLE_EQ(three[0], 0.6);
  EXPECT_DOUBLE_EQ(three[1], -0.5);

  // Channels in opposite phase cancel; one channel is copied.
  const std::vector<double> opposite = {0.5, -0.5, -0.125, 0.125};
  DownmixToMono(opposite, 2, mono);
  EXPECT_EQ(mono[0], 0.0);
  EXPECT_EQ(mono[1], 0.0);
  const std::vector<double> one = {0.1, 0.2, 0.3};
  std::vector<double> copy(3);
  DownmixToMono(one, 1, copy);
  EXPECT_EQ(copy, one);
}

}  // namespace
