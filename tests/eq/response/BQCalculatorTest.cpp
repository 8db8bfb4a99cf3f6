#include "eq/response/BQCalculator.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "eq/design/FilterChain.h"
#include "tests/support/SpeechGraph.h"

namespace {

EqGraphParams Graph() { return testsupport::SpeechGraph(); }

EqBand Bell(double centFreq, double gain, std::uint32_t enable = 1) {
  return EqBand{.type = 1, .enable = enable, .gain = gain, .qual = 1.0, .centFreq = centFreq};
}

// A calculator and the curve and markers it fills, kept across the calls of a test.
class BQCalculatorTest : public ::testing::Test {
 protected:
  CBQCalculator m_calculator;
  std::vector<std::int32_t> m_curve;
  std::vector<BandMarker> m_markers;
};

TEST_F(BQCalculatorTest, FlatResponseIsTheMiddleRow) {
  m_calculator.ComputeResponse(Graph(), {Bell(1000, 12, 0)}, m_curve, m_markers);
  ASSERT_EQ(m_curve.size(), 800U);
  for (std::int32_t y : m_curve) {
    EXPECT_EQ(y, 160);  // trunc(30 * 320 / 60)
  }
  EXPECT_TRUE(m_markers.empty());
}

TEST_F(BQCalculatorTest, TenDecibelsAtAColumnIsRow106) {
  // A bell centred exactly on column 400's frequency (built as the evaluation builds it).
  EqGraphParams params = Graph();
  const double ratio = std::exp(std::log(8000.0 / 10.0) / 799.0);
  double freq = 10.0;
  for (int i = 0; i < 400; ++i) freq *= ratio;
  m_calculator.ComputeResponse(params, {Bell(freq, 10)}, m_curve, m_markers);
  EXPECT_EQ(m_curve[400], 106);  // trunc(20 * 320 / 60)
  ASSERT_EQ(m_markers.size(), 1U);
  EXPECT_NEAR(m_markers[0].x, 400.0, 1e-6);
  EXPECT_DOUBLE_EQ(m_markers[0].y, (10.0 - 30.0) / (-60.0) * 319.0);
}

TEST_F(BQCalculatorTest, MarkersForEnabledBellsOnlyAlsoAboveNyquist) {
  const EqBand highPass{.type = 2, .enable = 1, .gain = 20, .cutoffFreq = 100, .stopFreq = 50};
  m_calculator.ComputeResponse(Graph(), {highPass, Bell(500, -30), Bell(900, 6, 0), Bell(12000, 6)},
                               m_curve, m_markers);
  ASSERT_EQ(m_markers.size(), 2U);
  EXPECT_EQ(m_markers[0].centFreq, 500.0);
  EXPECT_EQ(m_markers[0].y, 319.0);  // gain at bottomDb: height - 1
  EXPECT_EQ(m_markers[1].centFreq, 12000.0);
  EXPECT_GT(m_markers[1].x, 799.0);  // right of the last column
  // The bell above half the rate adds nothing: the top column is the high-pass alone, 0 dB.
  EXPECT_EQ(m_curve[799], 160);
}

TEST_F(BQCalculatorTest, NarrowOrDegenerateGraphsStayDefined) {
  EqGraphParams params = Graph();
  for (std::uint32_t width : {0U, 1U}) {
    params.width = width;
    m_calculator.ComputeResponse(params, {Bell(1000, 6)}, m_curve, m_markers);
    EXPECT_TRUE(m_curve.empty());
    EXPECT_TRUE(m_markers.empty());
  }
  params = Graph();
  params.topDb = params.bottomDb = 0;  // an empty dB range divides by zero
  m_calculator.ComputeResponse(params, {Bell(1000, 6)}, m_curve, m_markers);
  ASSERT_EQ(m_curve.size(), 800U);
  for (std::int32_t y : m_curve) {
    EXPECT_TRUE(y == 0 || y == INT32_MAX || y == INT32_MIN) << y;  // limited, not undefined
  }
}

}  // namespace
