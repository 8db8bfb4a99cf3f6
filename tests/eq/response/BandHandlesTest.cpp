// The bands as handles on the graph: where they sit, which one a press picks, and what a drag,
// a wheel notch and an arrow key make of a band.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <vector>

#include "eq/design/FilterChain.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/BandHandles.h"
#include "tests/support/SpeechGraph.h"

namespace {

EqGraphParams Graph(std::uint32_t width) { return testsupport::SpeechGraph(width); }

EqBand Band(EqBandType type, std::uint32_t index, double freq, double gain, double qual) {
  EqBand band{.type = ToCode(type), .index = index, .enable = 1, .gain = gain, .qual = qual};
  band.centFreq = band.cutoffFreq = freq;
  return band;
}

const BandLimits kLimits{
    .minFreq = 10, .maxFreq = 8000, .minGain = -30, .maxGain = 30, .minQual = 0.01, .maxQual = 30};

// Enabled bells, shelves and notches sit where their markers do; a pass band at its -3 dB
// corner; a disabled band has a handle too.
TEST(BandHandlesTest, HandlesSitWhereTheMarkersAre) {
  EqBandTable table;
  table.push_back(Band(EqBandType::HighPass, 0, 100, 24, 0));
  table[0].stopFreq = 50;
  table.push_back(Band(EqBandType::Bell, 1, 1000, 6, 1.41));
  table.push_back(Band(EqBandType::LowShelf, 2, 200, -8, 0.71));
  table.push_back(Band(EqBandType::Notch, 3, 50, 0, 30));
  table.push_back(Band(EqBandType::Bell, 4, 3000, 3, 1));
  table[4].enable = 0;
  const EqGraphParams p = Graph(1300);
  CBQCalculator calculator;
  std::vector<std::int32_t> curve;
  std::vector<BandMarker> markers;
  calculator.ComputeResponse(p, table, curve, markers);
  const std::vector<BandHandle> handles = BandHandles(p, table);
  ASSERT_EQ(handles.size(), 5U);
  ASSERT_EQ(markers.size(), 3U);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(handles[i + 1].x, markers[i].x);
    EXPECT_EQ(handles[i + 1].y, markers[i].y);
  }
  EXPECT_TRUE(handles[0].passBand);
  EXPECT_EQ(handles[0].x, FreqToX(p, 100));
  // -3.01 dB of 60 dB over 319 rows, below the 0 dB row 159.5.
  EXPECT_NEAR(handles[0].y, 159.5 + 3.0103 / 60 * 319, 1e-3);
  EXPECT_FALSE(handles[4].enabled);
  EXPECT_TRUE(BandHandles(Graph(1), table).empty());
}

// Of the handles within reach the nearest; of equally near ones the first in band order.
TEST(BandHandlesTest, APressPicksTheNearestThenTheFirst) {
  const std::vector<BandHandle> handles = {{.band = 0, .x = 100, .y = 100},
                                           {.band = 1, .x = 104, .y = 100},
                                           {.band = 2, .x = 104, .y = 100}};
  EXPECT_EQ(PickHandle(handles, 101, 100, 6), 0);
  EXPECT_EQ(PickHandle(handles, 103, 100, 6), 1);  // bands 1 and 2 alike: the first
  EXPECT_EQ(PickHandle(handles, 102, 100, 6), 0);  // as near as band 1: band order
  EXPECT_EQ(PickHandle(handles, 111, 100, 6), -1);
  EXPECT_EQ(PickHandle(handles, 110, 100, 6), 1);
}

// A drag of N pixels moves a bell's centre by the axis's own mapping and its gain along the dB
// axis; a shelf's handle stands at half its gain, so its gain moves twice as far; a notch moves
// along x only; everything within the limits.
TEST(BandHandlesTest, ADragMovesAlongTheAxes) {
  const EqGraphParams p = Graph(1300);
  const EqBand bell = Band(EqBandType::Bell, 2, 1000, 4, 1.2);
  for (const double dx : {-200.0, -17.0, 0.0, 1.0, 33.0, 250.0}) {
    const EqBand moved = DragBand(bell, p, dx, 0, kLimits);
    EXPECT_EQ(moved.centFreq, std::round(XToFreq(p, FreqToX(p, 1000) + dx))) << dx;
    EXPECT_EQ(moved.gain, 4.0);
  }
  // 60 dB over 319 rows: 31.9 rows down is 6 dB less.
  EXPECT_EQ(DragBand(bell, p, 0, 31.9, kLimits).gain, -2.0);
  EXPECT_EQ(DragBand(bell, p, 0, 10.0, kLimits).gain, 2.12);  // 1.8809 dB: hundredths
  EXPECT_EQ(DragBand(bell, p, 0, -1000, kLimits).gain, 30.0);
  EXPECT_EQ(DragBand(bell, p, 2000, 0, kLimits).centFreq, 8000.0);
  EqBand shelf = bell;
  shelf.type = ToCode(EqBandType::HighShelf);
  EXPECT_EQ(DragBand(shelf, p, 0, 31.9, kLimits).gain, -8.0);
  EqBand notch = bell;
  notch.type = ToCode(EqBandType::Notch);
  const EqBand notchMoved = DragBand(notch, p, 40, 50, kLimits);
  EXPECT_EQ(notchMoved.gain, 4.0);
  EXPECT_EQ(notchMoved.centFreq, std::round(XToFreq(p, FreqToX(p, 1000) + 40)));
}

// A pass band's stop frequency follows its cut-off by the same ratio, so that its Butterworth
// order stays, over the whole sweep; at the limits both stop together.
TEST(BandHandlesTest, APassBandKeepsItsOrder) {
  const EqGraphParams p = Graph(1300);
  for (const EqBandType type : {EqBandType::HighPass, EqBandType::LowPass}) {
    EqBand pass = Band(type, 0, 300, 36, 0);
    pass.stopFreq = type == EqBandType::HighPass ? 150 : 600;
    const bool highPass = type == EqBandType::HighPass;
    const auto order = EstimateHighLowOrder(36, 2.0);
    ASSERT_TRUE(order);
    for (double dx = -600; dx <= 600; dx += 7) {
      const EqBand moved = DragBand(pass, p, dx, 0, kLimits);
      const double ratio =
          highPass ? moved.cutoffFreq / moved.stopFreq : moved.stopFreq / moved.cutoffFreq;
      EXPECT_EQ(EstimateHighLowOrder(36, ratio), order) << dx;
      EXPECT_EQ(moved.cutoffFreq, std::round(moved.cutoffFreq));
      EXPECT_GE(std::min(moved.cutoffFreq, moved.stopFreq), 10.0);
      EXPECT_LE(std::max(moved.cutoffFreq, moved.stopFreq), 8000.0);
    }
    // Far left: the lower of the two frequencies rests on 10 Hz.
    const EqBand left = DragBand(pass, p, -5000, 0, kLimits);
    EXPECT_EQ(std::min(left.cutoffFreq, left.stopFreq), 10.0);
  }
}

// A wheel notch narrows a bell by 1/12 octave: Q 1.41 is 1.0029 octaves wide (2 / ln 2 x
// asinh(1 / 2.82)), 0.9196 octaves is Q 1.5427; a fine notch 1/48 octave: Q 1.4411. A pass
// band's attenuation moves by 1 dB (0.1 fine), not below 1 dB.
TEST(BandHandlesTest, AWheelNotchIsATwelfthOfAnOctave) {
  EXPECT_NEAR(QToOctaves(std::sqrt(2.0)), 1.0, 1e-12);
  EXPECT_NEAR(OctavesToQ(0.5), 2.8710, 1e-4);
  const EqBand bell = Band(EqBandType::Bell, 0, 1000, 0, 1.41);
  EXPECT_EQ(StepBandWidth(bell, 1, false, kLimits).qual, 1.54);
  EXPECT_EQ(StepBandWidth(bell, 1, true, kLimits).qual, 1.44);
  EXPECT_EQ(StepBandWidth(bell, -1, false, kLimits).qual, 1.30);
  EXPECT_EQ(StepBandWidth(bell, 40, false, kLimits).qual, 30.0);
  // At Q 30 a fine notch down is less than a hundredth of... it still moves a hundredth.
  EqBand narrow = bell;
  narrow.qual = 0.02;
  EXPECT_EQ(StepBandWidth(narrow, -1, true, kLimits).qual, 0.01);
  EqBand pass = Band(EqBandType::LowPass, 9, 7000, 24, 0);
  EXPECT_EQ(StepBandWidth(pass, 2, false, kLimits).gain, 26.0);
  EXPECT_EQ(StepBandWidth(pass, -1, true, kLimits).gain, 23.9);
  pass.gain = 1.5;
  EXPECT_EQ(StepBandWidth(pass, -3, false, kLimits).gain, 1.0);
}

// The arrow keys move a band by the fields' steps.
TEST(BandHandlesTest, ArrowsMoveByTheFieldSteps) {
  const EqBand bell = Band(EqBandType::Bell, 0, 1000, 4, 1.2);
  const EqBand moved = NudgeBand(bell, 1, -1, 10, 0.2, kLimits);
  EXPECT_EQ(moved.centFreq, 1010.0);
  EXPECT_EQ(moved.gain, 3.8);
  EqBand pass = Band(EqBandType::HighPass, 0, 100, 24, 0);
  pass.stopFreq = 50;
  const EqBand passMoved = NudgeBand(pass, 2, 1, 10, 0.2, kLimits);
  EXPECT_EQ(passMoved.cutoffFreq, 120.0);
  EXPECT_EQ(passMoved.stopFreq, 60.0);
  EXPECT_EQ(passMoved.gain, 24.0);
}

// The words a screen reader says for a band, in the C locale's numbers whatever the process's.
TEST(BandHandlesTest, EachBandIsDescribedInWords) {
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      comma = name;
      break;
    }
  }
  EXPECT_EQ(DescribeBand(Band(EqBandType::Bell, 2, 1000, 4, 1.2)),
            "Band 3, bell, 1000 Hz, +4.0 dB, Q 1.2");
  EXPECT_EQ(DescribeBand(Band(EqBandType::LowShelf, 1, 200, -3.46, 0.71)),
            "Band 2, low shelf, 200 Hz, -3.5 dB, Q 0.71");
  EXPECT_EQ(DescribeBand(Band(EqBandType::Notch, 4, 50, 0, 30)), "Band 5, notch, 50 Hz, Q 30.0");
  EqBand pass = Band(EqBandType::HighPass, 0, 80, 24, 0);
  pass.stopFreq = 40;
  pass.enable = 0;
  EXPECT_EQ(DescribeBand(pass), "Band 1, high-pass, 80 Hz, 24.0 dB at 40 Hz, off");
  EXPECT_EQ(DescribeBand(Band(EqBandType::HighShelf, 9, 4000, -0.01, 1)),
            "Band 10, high shelf, 4000 Hz, 0.0 dB, Q 1.0");
  std::setlocale(LC_NUMERIC, "C");
  if (comma == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma to show the numbers ignore it";
  }
}

}  // namespace
