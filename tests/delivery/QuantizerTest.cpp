// The output depth: rounding and limits worked out by hand, the dither generator against the
// published reference sequence of PCG32, and the dither's statistics against theory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <vector>

#include "delivery/Quantizer.h"

namespace {

using delivery::DepthIsReduced;
using delivery::Pcg32;
using delivery::Quantizer;
using delivery::SampleDepth;
using delivery::TpdfDither;

// The first outputs of pcg32_srandom_r(42, 54) as the generator's reference demo prints them.
constexpr std::array<std::uint32_t, 6> kReference = {0xa15c02b7, 0x7b47f409, 0xba1d3330,
                                                     0x83d2f293, 0xbfa4784b, 0xcbed606e};

TEST(QuantizerTest, DitherComesFromTheReferenceSequenceOfPcg32) {
  Pcg32 random(42, 54);
  for (const std::uint32_t expected : kReference) EXPECT_EQ(random.Next(), expected);

  // The dither's fixed seed is the reference's: its values follow from the numbers above.
  const auto uniform = [](std::uint32_t k) { return (k + 0.5) / 4294967296.0 - 0.5; };
  TpdfDither dither;
  for (std::size_t i = 0; i < kReference.size(); i += 2) {
    EXPECT_EQ(dither.Next(), uniform(kReference[i]) + uniform(kReference[i + 1]));
  }
}

// TPDF dither of +-1 LSB: density 1 - |x| on (-1, 1), mean 0, RMS 1/sqrt(6) LSB. Quantized,
// silence becomes -1, 0 and +1 with probabilities 1/8, 3/4 and 1/8: RMS 0.5 LSB, three times
// the power of plain rounding's error (1/12 LSB^2), at every depth.
TEST(QuantizerTest, DitherOnSilenceIsTriangularWithZeroMean) {
  constexpr std::size_t kCount = 1 << 20;
  TpdfDither dither;
  std::array<std::size_t, 20> bins{};
  double sum = 0.0;
  double squares = 0.0;
  for (std::size_t i = 0; i < kCount; ++i) {
    const double d = dither.Next();
    ASSERT_LT(std::fabs(d), 1.0);
    sum += d;
    squares += d * d;
    ++bins[static_cast<std::size_t>((d + 1.0) * 10.0)];
  }
  EXPECT_NEAR(sum / kCount, 0.0, 0.002);
  EXPECT_NEAR(std::sqrt(squares / kCount), 1.0 / std::sqrt(6.0), 0.002);
  for (std::size_t b = 0; b < bins.size(); ++b) {
    // The triangle's area over the bin [x0, x0 + 0.1): 0.1 (1 - |centre|).
    const double centre = -0.95 + 0.1 * static_cast<double>(b);
    const double expected = 0.1 * (1.0 - std::fabs(centre)) * kCount;
    EXPECT_NEAR(static_cast<double>(bins[b]), expected, 0.03 * expected) << b;
  }

  for (const SampleDepth depth : {SampleDepth::Int16, SampleDepth::Int24, SampleDepth::Int32}) {
    SCOPED_TRACE(delivery::DepthBits(depth));
    Quantizer quantizer(depth, true);
    const std::vector<double> silence(kCount, 0.0);
    std::vector<std::int32_t> codes(kCount);
    quantizer.ToInteger(silence, codes);
    std::map<std::int32_t, std::size_t> counts;
    double power = 0.0;
    for (const std::int32_t c : codes) {
      ++counts[c];
      power += static_cast<double>(c) * c;
    }
    ASSERT_EQ(counts.size(), 3U);
    EXPECT_NEAR(static_cast<double>(counts[-1]) / kCount, 0.125, 0.003);
    EXPECT_NEAR(static_cast<double>(counts[0]) / kCount, 0.75, 0.003);
    EXPECT_NEAR(static_cast<double>(counts[1]) / kCount, 0.125, 0.003);
    EXPECT_NEAR(std::sqrt(power / kCount), 0.5, 0.5 * 0.05);
    EXPECT_EQ(quantizer.Clipped(), 0U);
  }
}

// With dither the output's mean is the input, even between two steps; rounded plainly, a
// value 0.3 LSB off a step always lands on it.
TEST(QuantizerTest, DitherKeepsTheMeanOfValuesBetweenSteps) {
  constexpr std::size_t kCount = 1 << 18;
  const std::vector<double> level(kCount, 0.3 / 32768.0);
  std::vector<std::int32_t> codes(kCount);
  Quantizer dithered(SampleDepth::Int16, true);
  dithered.ToInteger(level, codes);
  double sum = 0.0;
  for (const std::int32_t c : codes) sum += c;
  EXPECT_NEAR(sum / kCount, 0.3, 0.005);

  Quantizer plain(SampleDepth::Int16, false);
  plain.ToInteger(level, codes);
  for (const std::int32_t c : codes) ASSERT_EQ(c, 0);
}

// The same input gives the same samples on every run, however the stream is cut into blocks.
TEST(QuantizerTest, SameInputGivesTheSameSamplesInAnyBlocks) {
  std::vector<double> input(10007);
  for (std::size_t i = 0; i < input.size(); ++i) input[i] = std::sin(0.01 * i) * 0.5;
  std::vector<std::int32_t> whole(input.size());
  Quantizer(SampleDepth::Int24, true).ToInteger(input, whole);
  std::vector<std::int32_t> again(input.size());
  Quantizer(SampleDepth::Int24, true).ToInteger(input, again);
  EXPECT_EQ(whole, again);

  std::vector<std::int32_t> pieces(input.size());
  Quantizer pieceByPiece(SampleDepth::Int24, true);
  for (std::size_t first = 0; first < input.size(); first += 997) {
    const std::size_t count = std::min<std::size_t>(997, input.size() - first);
    pieceByPiece.ToInteger(std::span<const double>(input).subspan(first, count),
                           std::span<std::int32_t>(pieces).subspan(first, count));
  }
  EXPECT_EQ(whole, pieces);
}

// Rounding to nearest with halves away from zero, the limits of each depth, and what counts as
// clipped. Without dither a value on a step comes out exactly.
TEST(QuantizerTest, RoundsToNearestAndLimitsEachDepth) {
  const double lsb16 = 1.0 / 32768.0;
  const std::vector<double> in = {0.49 * lsb16,
                                  0.5 * lsb16,
                                  -0.5 * lsb16,
                                  1.5 * lsb16,
                                  -1.49 * lsb16,
                                  1234.0 * lsb16,
                                  1.0,
                                  -1.0,
                                  2.0,
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::quiet_NaN()};
  std::vector<std::int32_t> out(in.size());
  Quantizer q16(SampleDepth::Int16, false);
  q16.ToInteger(in, out);
  EXPECT_EQ(out,
            (std::vector<std::int32_t>{0, 1, -1, 2, -1, 1234, 32767, -32768, 32767, -32768, 0}));
  EXPECT_EQ(q16.Clipped(), 3U);  // 1.0, 2.0 and -inf; -1.0 is the lowest step itself

  const std::vector<double> ends = {1.0, -1.0, 0.5};
  std::vector<std::int32_t> codes(ends.size());
  Quantizer q24(SampleDepth::Int24, false);
  q24.ToInteger(ends, codes);
  EXPECT_EQ(codes, (std::vector<std::int32_t>{8388607, -8388608, 4194304}));
  // With the fixed seed the first three dither values are +0.11, +0.24 and +0.55 LSB (from
  // the reference numbers above): 1.0 still clips, -1.0 stays on the lowest step, and 2^30
  // rounds up by one.
  Quantizer q32(SampleDepth::Int32, true);
  q32.ToInteger(ends, codes);
  EXPECT_EQ(codes,
            (std::vector<std::int32_t>{std::numeric_limits<std::int32_t>::max(),
                                       std::numeric_limits<std::int32_t>::min(), (1 << 30) + 1}));
  EXPECT_EQ(q32.Clipped(), 1U);

  // Floats are rounded to their width and kept above full scale, where they count as clipped.
  const std::vector<double> floats = {0.1, 1.5, std::numeric_limits<double>::quiet_NaN()};
  std::vector<float> out32(floats.size());
  Quantizer f(SampleDepth::Float32, true);
  EXPECT_FALSE(f.Dithered());
  f.ToFloat(floats, out32);
  EXPECT_EQ(out32, (std::vector<float>{0.1F, 1.5F, 0.0F}));
  EXPECT_EQ(f.Clipped(), 1U);
}

// Dither belongs where the depth is reduced: a narrower integer, or floating point to integer.
TEST(QuantizerTest, DepthIsReducedOnlyTowardsFewerIntegerBits) {
  EXPECT_TRUE(DepthIsReduced(24, false, SampleDepth::Int16));
  EXPECT_TRUE(DepthIsReduced(32, false, SampleDepth::Int24));
  EXPECT_TRUE(DepthIsReduced(32, true, SampleDepth::Int32));
  EXPECT_TRUE(DepthIsReduced(64, true, SampleDepth::Int24));
  EXPECT_FALSE(DepthIsReduced(16, false, SampleDepth::Int16));
  EXPECT_FALSE(DepthIsReduced(16, false, SampleDepth::Int24));
  EXPECT_FALSE(DepthIsReduced(8, false, SampleDepth::Int16));
  EXPECT_FALSE(DepthIsReduced(64, true, SampleDepth::Float32));
  EXPECT_FALSE(DepthIsReduced(32, false, SampleDepth::Float32));
}

}  // namespace
