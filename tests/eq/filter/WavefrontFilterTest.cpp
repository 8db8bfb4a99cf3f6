// Every fast kernel against the plain pass, bit for bit.
#include "eq/filter/WavefrontFilter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "eq/filter/PcmFilter.h"
#include "tests/support/BandFixtures.h"
#include "tests/support/RandomSampleBytes.h"

namespace {

// The wider encodings through `kernel` and the plain pass: the same bytes and the same
// clipping statistics. Integers are random over their whole range (with a narrower valid width
// now and then); floats run past full scale and hold a NaN and infinities.
void ExpectWiderEncodingsMatch(FilterKernel kernel, FilterChain& chain, std::uint32_t count,
                               std::uint16_t channels, std::mt19937& rng, int round) {
  for (const SampleEncoding encoding : {SampleEncoding::Pcm24, SampleEncoding::Pcm32,
                                        SampleEncoding::Float32, SampleEncoding::Float64}) {
    const std::size_t width = SampleBytes(encoding);
    const std::vector<std::uint8_t> bytes = testsupport::RandomSampleBytes(encoding, count, rng);
    const SampleFormat format{encoding, round % 3 == 1 ? (width == 3 ? 20U : 24U) : 0U};
    auto plain = bytes;
    auto fast = bytes;
    ClipStats plainStats;
    ClipStats fastStats;
    FilterSamples(FilterKernel::Plain, format, plain.data(), count, chain, channels, &plainStats);
    ASSERT_EQ(FilterSamples(kernel, format, fast.data(), count, chain, channels, &fastStats), 1);
    ASSERT_EQ(fast, plain) << "round " << round << ", " << width << "-byte samples";
    EXPECT_EQ(fastStats.clipped, plainStats.clipped) << "round " << round;
    EXPECT_EQ(fastStats.peak, plainStats.peak) << "round " << round;
  }
}

// One test per kernel, so that a kernel this processor lacks shows as skipped, not as passed.
class WavefrontKernelTest : public ::testing::TestWithParam<FilterKernel> {};

TEST_P(WavefrontKernelTest, MatchesThePlainPassOnRandomTables) {
  const FilterKernel kernel = GetParam();
  if (!FilterKernelAvailable(kernel)) {
    GTEST_SKIP() << "this processor cannot run the " << FilterKernelName(kernel) << " kernel";
  }
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::size_t checked = 0;
  for (int round = 0; round < 120; ++round) {
    const double fs =
        std::vector<double>{8000, 16000, 22050, 44100, 48000}[static_cast<std::size_t>(round % 5)];
    const EqBandTable table = testsupport::RandomBandTable(rng, fs);
    const auto channels = static_cast<std::uint16_t>(1 + round % 8);
    const std::uint32_t lengths[] = {0, 1, 2, 7, 8, 9, 1023, 1024, 1025, 2049, 3001};
    const std::uint32_t count =
        lengths[static_cast<std::size_t>(round) % 11] + static_cast<std::uint32_t>(round % 3);
    std::vector<std::int16_t> pcm16(count);
    std::vector<std::uint8_t> pcm8(count);
    const int mode = round % 4;  // noise, silence, full scale, quiet
    for (std::uint32_t i = 0; i < count; ++i) {
      const int v = mode == 1   ? 0
                    : mode == 2 ? ((i / 3) % 2 ? 32767 : -32768)
                                : sample(rng) / (mode == 3 ? 200 : 1);
      pcm16[i] = static_cast<std::int16_t>(v);
      pcm8[i] = static_cast<std::uint8_t>((v >> 8) + 128);
    }
    FilterChain chain;
    DesignBandFilters(table, chain, fs);
    auto plain16 = pcm16;
    auto plain8 = pcm8;
    FilterPcm16Plain(plain16.data(), count, chain, channels);
    FilterPcm8Plain(plain8.data(), count, chain, channels);
    auto fast16 = pcm16;
    auto fast8 = pcm8;
    ASSERT_EQ(FilterPcm16With(kernel, fast16.data(), count, chain, channels), 1);
    ASSERT_EQ(FilterPcm8With(kernel, fast8.data(), count, chain, channels), 1);
    ASSERT_EQ(fast16, plain16) << "round " << round << ", " << CountSections(chain) << " sections, "
                               << count << " x" << channels;
    ASSERT_EQ(fast8, plain8) << "round " << round;
    ExpectWiderEncodingsMatch(kernel, chain, count, channels, rng, round);
    ++checked;
  }
  EXPECT_EQ(checked, 120U);
}

INSTANTIATE_TEST_SUITE_P(EveryFastKernel, WavefrontKernelTest,
                         ::testing::Values(FilterKernel::Portable, FilterKernel::Avx2,
                                           FilterKernel::Avx512),
                         [](const ::testing::TestParamInfo<FilterKernel>& info) {
                           return std::string(FilterKernelName(info.param));
                         });

// Long multi-channel buffers run their channels on several cores: the same bytes and clipping
// statistics as the plain pass, for channel counts that do and do not divide among the cores.
TEST(WavefrontFilterTest, ChannelsSpreadOverCoresMatchThePlainPass) {
  std::mt19937 rng(11);
  FilterChain chain;
  DesignBandFilters(
      {EqBand{.type = 1, .enable = 1, .gain = 9, .qual = 2, .centFreq = 1000},
       EqBand{.type = 2, .index = 1, .enable = 1, .gain = 30, .cutoffFreq = 100, .stopFreq = 40}},
      chain, 48000);
  ASSERT_GT(CountSections(chain), 2U);
  for (const std::uint16_t channels : {2, 3, 7}) {
    const std::uint32_t count = 70001U * channels;  // above the threading threshold
    ExpectWiderEncodingsMatch(BestFilterKernel(), chain, count, channels, rng, channels);
    std::vector<std::int16_t> pcm16(count);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    for (auto& v : pcm16) v = static_cast<std::int16_t>(sample(rng));
    auto plain = pcm16;
    FilterPcm16Plain(plain.data(), count, chain, channels);
    FilterPcm16(pcm16.data(), count, chain, channels);
    ASSERT_EQ(pcm16, plain) << channels << " channels";
  }
}

TEST(WavefrontFilterTest, LongChainsAndTheDefaultIsTheBestKernel) {
  // Three 57th-order low-passes: 87 sections in one wavefront.
  FilterChain chain;
  const EqBand lowPass{.type = 3, .enable = 1, .gain = 24, .cutoffFreq = 7840, .stopFreq = 8000};
  DesignBandFilters({lowPass, lowPass, lowPass}, chain, 16000);
  ASSERT_GT(CountSections(chain), 80U);
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<std::int16_t> input(5000);
  for (auto& s : input) s = static_cast<std::int16_t>(sample(rng));
  auto plain = input;
  FilterPcm16Plain(plain.data(), 5000, chain, 1);
  auto best = input;
  FilterPcm16(best.data(), 5000, chain, 1);
  EXPECT_EQ(best, plain);
  EXPECT_TRUE(FilterKernelAvailable(BestFilterKernel()));
  EXPECT_TRUE(FilterKernelAvailable(FilterKernel::Plain));
}

}  // namespace
