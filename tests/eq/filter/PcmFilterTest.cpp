#include "eq/filter/PcmFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "tests/support/NaiveEqualizer.h"

namespace {

using namespace testsupport::naive;

EqBandTable RandomTable(std::mt19937& rng, double fs) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  EqBandTable table;
  const int bells = 1 + static_cast<int>(unit(rng) * 8);
  EqBand hp{.type = 2, .enable = 1, .gain = 5 + unit(rng) * 40, .cutoffFreq = 30 + unit(rng) * 300};
  hp.stopFreq = hp.cutoffFreq * (0.3 + unit(rng) * 0.6);
  table.push_back(hp);
  for (int i = 0; i < bells; ++i) {
    table.push_back(EqBand{.type = 1,
                           .enable = 1,
                           .gain = -20 + unit(rng) * 40,
                           .qual = 0.1 + unit(rng) * 8,
                           .centFreq = 20 + unit(rng) * (fs * 0.5 - 20)});
  }
  EqBand lp{.type = 3,
            .enable = 1,
            .gain = 5 + unit(rng) * 40,
            .cutoffFreq = fs * (0.1 + unit(rng) * 0.3)};
  lp.stopFreq = std::min(fs * 0.5, lp.cutoffFreq * (1.2 + unit(rng)));
  table.push_back(lp);
  return table;
}

TEST(PcmFilterTest, MatchesTheNaiveReferenceBitForBit) {
  std::mt19937 rng(20261206);
  for (double fs : {8000.0, 16000.0, 44100.0, 48000.0}) {
    for (std::uint32_t length : {0U, 1U, 1023U, 1024U, 1025U, 4099U}) {
      for (int channels : {1, 2}) {
        const EqBandTable table = RandomTable(rng, fs);
        std::uniform_int_distribution<int> sample(-32768, 32767);
        std::vector<std::int16_t> pcm16(length);
        std::vector<std::uint8_t> pcm8(length);
        for (std::uint32_t i = 0; i < length; ++i) {
          pcm16[i] = static_cast<std::int16_t>(sample(rng) / ((i / 512) % 3 + 1));
          pcm8[i] = static_cast<std::uint8_t>(sample(rng) & 0xFF);
        }
        std::vector<double> in16(pcm16.begin(), pcm16.end());
        std::vector<double> in8(length);
        for (std::uint32_t i = 0; i < length; ++i) in8[i] = (pcm8[i] - 128) * 256.0;
        const std::vector<double> ref16 = RefRun(table, fs, in16, channels);
        const std::vector<double> ref8 = RefRun(table, fs, in8, channels);

        FilterChain chain;
        DesignBandFilters(table, chain, fs);
        ASSERT_EQ(FilterPcm16(pcm16.data(), length, chain, static_cast<std::uint16_t>(channels)),
                  1);
        ASSERT_EQ(FilterPcm8(pcm8.data(), length, chain, static_cast<std::uint16_t>(channels)), 1);
        for (std::uint32_t i = 0; i < length; ++i) {
          ASSERT_EQ(pcm16[i], RefTo16(ref16[i]))
              << fs << " Hz, " << length << " x" << channels << ", sample " << i;
          ASSERT_EQ(pcm8[i], RefTo8(ref8[i]))
              << fs << " Hz, " << length << " x" << channels << ", sample " << i;
        }
      }
    }
  }
}

TEST(PcmFilterTest, EmptyChainLeavesSamplesBitIdentical) {
  std::vector<std::int16_t> pcm16(70000);
  std::vector<std::uint8_t> pcm8(256 * 10);
  for (std::size_t i = 0; i < pcm16.size(); ++i) pcm16[i] = static_cast<std::int16_t>(i - 35000);
  for (std::size_t i = 0; i < pcm8.size(); ++i) pcm8[i] = static_cast<std::uint8_t>(i);
  const auto original16 = pcm16;
  const auto original8 = pcm8;
  FilterChain empty;
  FilterPcm16(pcm16.data(), static_cast<std::uint32_t>(pcm16.size()), empty);
  FilterPcm8(pcm8.data(), static_cast<std::uint32_t>(pcm8.size()), empty, 2);
  EXPECT_EQ(pcm16, original16);
  EXPECT_EQ(pcm8, original8);
}

// A bell of gain 0 is flat in exact arithmetic, but the recursion's rounding leaves results a
// hair beside the integer input, and truncation toward zero then moves some samples one step.
// The arithmetic is kept exactly as designed; the change stays within one step.
TEST(PcmFilterTest, ZeroGainBellChangesNoSampleByMoreThanOneStep) {
  std::vector<std::int16_t> pcm16(70000);
  for (std::size_t i = 0; i < pcm16.size(); ++i) pcm16[i] = static_cast<std::int16_t>(i - 35000);
  const auto original16 = pcm16;
  FilterChain flat;
  DesignBandFilters({EqBand{.type = 1, .enable = 1, .gain = 0, .qual = 0.707, .centFreq = 1000}},
                    flat, 16000);
  FilterPcm16(pcm16.data(), static_cast<std::uint32_t>(pcm16.size()), flat);
  for (std::size_t i = 0; i < pcm16.size(); ++i) {
    ASSERT_LE(std::abs(pcm16[i] - original16[i]), 1) << i;
  }
}

// 16-bit and wider integers truncate toward zero and saturate at their own limits; 8-bit
// samples round with their offset of 128 and saturate. Not a number is the middle value.
TEST(PcmFilterTest, StoredIntegersTruncateOrRoundAndSaturate) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, int> pcm16[] = {
      {32767.0, 32767}, {-32768.0, -32768}, {32767.9, 32767}, {-32768.5, -32768},
      {-0.7, 0},        {1e300, 32767},     {-inf, -32768},   {nan, 0}};
  for (const auto& [in, out] : pcm16) EXPECT_EQ(ToPcm16(in), out) << in;
  // Beyond the 32-bit range an 8-bit value is limited before it is converted.
  const std::pair<double, int> pcm8[] = {{127.6, 128}, {-0.6, 128},    {-1.0, 128},   {-1.6, 127},
                                         {255.6, 129}, {40000.0, 255}, {-40000.0, 0}, {1e300, 255},
                                         {-1e300, 0},  {nan, 128}};
  for (const auto& [in, out] : pcm8) EXPECT_EQ(ToPcm8(in), out) << in;
  for (int s = 0; s < 256; ++s) {
    EXPECT_EQ(ToPcm8(FromPcm8(static_cast<std::uint8_t>(s))), s);
  }
  const std::pair<double, std::int32_t> int24[] = {{8388607.0, 8388607},   {8388607.9, 8388607},
                                                   {8388608.0, 8388607},   {-8388608.5, -8388608},
                                                   {-8388609.0, -8388608}, {-0.7, 0},
                                                   {-1234.9, -1234},       {nan, 0}};
  for (const auto& [in, out] : int24) EXPECT_EQ(ToSignedInteger(in, 24), out) << in;
  const std::pair<double, std::int32_t> int32[] = {
      {2147483647.5, 2147483647}, {-2147483649.0, -2147483647 - 1}, {inf, 2147483647}};
  for (const auto& [in, out] : int32) EXPECT_EQ(ToSignedInteger(in, 32), out) << in;
}

// The chunked store of the integer formats against one Out() per value: the limits and their
// neighbours, infinities, not-a-number, negative zero, then random values far beyond the limits,
// at every count up to a few hundred (odd counts leave a single value at the end) and a stride.
template <typename Io>
void ExpectChunkedStoreMatchesOut(Io io, double limit) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> values = {limit - 1.0,  limit - 0.5, limit, -limit, -limit - 0.5,
                                -limit - 1.0, inf,         -inf,  nan,    -0.0,
                                0.99,         -0.99,       1e300, -1e300, limit * 3.0};
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> wide(-2.5 * limit, 2.5 * limit);
  while (values.size() < 700) values.push_back(wide(rng));
  for (const std::size_t count :
       {std::size_t{1}, std::size_t{2}, std::size_t{15}, std::size_t{300}, values.size()}) {
    Io one = io;
    Io chunked = io;
    std::vector<typename Io::Sample> expected(count * 2);
    std::vector<typename Io::Sample> got(count * 2);
    for (std::size_t i = 0; i < count; ++i) expected[i * 2] = one.Out(values[i]);
    StoreOutputs(chunked, values.data(), got.data(), count, 2);
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(std::memcmp(&expected[i * 2], &got[i * 2], sizeof(typename Io::Sample)), 0)
          << "value " << values[i] << " of " << count;
    }
    EXPECT_EQ(chunked.stats.clipped, one.stats.clipped) << count;
    EXPECT_EQ(chunked.stats.peak, one.stats.peak) << count;
  }
}

TEST(PcmFilterTest, ChunkedIntegerStoresGiveTheBitsAndCountsOfOneValueAtATime) {
  ExpectChunkedStoreMatchesOut(Pcm16Io{}, 32768.0);
  ExpectChunkedStoreMatchesOut(Pcm16Io{-16}, 32768.0);  // a 12-bit valid width
  ExpectChunkedStoreMatchesOut(Pcm24Io{}, 8388608.0);
  ExpectChunkedStoreMatchesOut(Pcm24Io{-256}, 8388608.0);
  ExpectChunkedStoreMatchesOut(Pcm32Io{}, 2147483648.0);
}

// With no band to run, stored samples still pass through the store rules: integers are kept,
// a float that is not finite becomes 0, and floats beyond full scale are counted but kept.
TEST(PcmFilterTest, StoreRulesHoldWithoutBands) {
  FilterChain empty;
  std::vector<float> floats = {0.5F, std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(), -1.5F, 2.0F};
  ClipStats stats;
  ASSERT_EQ(FilterSamples(BestFilterKernel(), {SampleEncoding::Float32, 0}, floats.data(), 5, empty,
                          1, &stats),
            1);
  EXPECT_EQ(floats, (std::vector<float>{0.5F, 0.0F, 0.0F, -1.5F, 2.0F}));
  EXPECT_EQ(stats.clipped, 2U);
  EXPECT_EQ(stats.PeakDbfs(), 20.0 * std::log10(2.0));

  // 24-bit samples with 20 valid bits: the four unused low bits are cleared.
  std::vector<std::uint8_t> packed = {0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80, 0x1F, 0x00, 0x00};
  ClipStats intStats;
  FilterSamples(BestFilterKernel(), {SampleEncoding::Pcm24, 20}, packed.data(), 3, empty, 1,
                &intStats);
  EXPECT_EQ(packed,
            (std::vector<std::uint8_t>{0xF0, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0x10, 0x00, 0x00}));
  EXPECT_EQ(intStats.clipped, 0U);
  EXPECT_EQ(intStats.fullScale, 8388608.0);
}

// A result that is not a finite number has left the range as surely as a loud one: it is
// counted, and the peak is infinite, for every sample type, one value at a time or a chunk at
// a time, in every kernel. The chain is what a preamp of 1e308 dB made: one section whose only
// coefficient is infinite, so that every sample of 0 comes out as 0 x inf, not a number.
TEST(PcmFilterTest, ResultsThatAreNotFiniteCountAsClippedAndMakeThePeakInfinite) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  auto expectCounted = [nan](auto io) {
    auto chunked = io;
    (void)io.Out(0.5);
    (void)io.Out(nan);
    EXPECT_EQ(io.stats.clipped, 1U);
    EXPECT_EQ(io.stats.peak, HUGE_VAL);
    const std::vector<double> values = {0.5, nan, 0.25, nan, 0.125};
    std::vector<typename decltype(io)::Sample> stored(values.size());
    StoreOutputs(chunked, values.data(), stored.data(), values.size(), 1);
    EXPECT_EQ(chunked.stats.clipped, 2U);
    EXPECT_EQ(chunked.stats.peak, HUGE_VAL);
  };
  expectCounted(Pcm8Io{});
  expectCounted(Pcm16Io{});
  expectCounted(Pcm24Io{});
  expectCounted(Pcm32Io{});
  expectCounted(Float32Io{});
  expectCounted(Float64Io{});

  FilterChain chain;
  FilterEntry entry;
  entry.kind = kPreampKind;
  entry.bell = std::make_unique<BellFilter>();
  entry.bell->coefs =
      BiquadCoefs{.b0 = HUGE_VAL, .b1 = 0.0, .b2 = 0.0, .a0 = 1.0, .a1 = 0.0, .a2 = 0.0};
  chain.entries.push_back(std::move(entry));
  constexpr std::uint32_t kCount = 5000;
  for (const FilterKernel kernel : {FilterKernel::Plain, BestFilterKernel()}) {
    for (const SampleEncoding encoding :
         {SampleEncoding::Pcm16, SampleEncoding::Pcm24, SampleEncoding::Float32}) {
      std::vector<std::uint8_t> silence(kCount * SampleBytes(encoding));
      ClipStats stats;
      ASSERT_EQ(FilterSamples(kernel, {encoding, 0}, silence.data(), kCount, chain, 1, &stats), 1);
      EXPECT_EQ(stats.clipped, kCount) << static_cast<int>(encoding);
      EXPECT_EQ(stats.PeakDbfs(), HUGE_VAL) << static_cast<int>(encoding);
      EXPECT_EQ(silence, std::vector<std::uint8_t>(silence.size()));  // stored as 0
    }
  }
}

TEST(PcmFilterTest, ZeroCountLeavesTheBufferAlone) {
  std::int16_t sample = 1234;
  FilterChain chain;
  DesignBandFilters({EqBand{.type = 1, .enable = 1, .gain = 12, .qual = 1, .centFreq = 100}}, chain,
                    8000);
  EXPECT_EQ(FilterPcm16(&sample, 0, chain), 1);
  EXPECT_EQ(sample, 1234);
}

}  // namespace
