// The streamed pass against the whole-buffer plain pass: every kernel, every encoding, one to
// three channels, blocks of random sizes (also shorter than the wavefront's lag), one channel
// on one thread and with its sections split over two.
#include "eq/filter/SampleStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "tests/support/BandFixtures.h"
#include "tests/support/RandomSampleBytes.h"

namespace {

// `input` through a stream in blocks of random sizes, the results gathered where they belong.
std::vector<std::uint8_t> Streamed(SampleStream& stream, const std::vector<std::uint8_t>& input,
                                   std::size_t frameBytes, std::mt19937& rng) {
  const std::size_t frames = input.size() / frameBytes;
  const std::size_t lag = stream.LagFrames();
  std::uniform_int_distribution<std::size_t> blockSize(1, 3000);
  std::vector<std::uint8_t> output(input.size(), 0xEE);
  std::size_t done = 0;
  std::vector<std::uint8_t> buffer;
  do {
    const std::size_t n = std::min(blockSize(rng), frames - done);
    const bool final = done + n == frames;
    buffer.assign((lag + n) * frameBytes, 0xCC);  // the room in front holds garbage
    std::memcpy(buffer.data() + lag * frameBytes, input.data() + done * frameBytes, n * frameBytes);
    const auto [first, end] = stream.Filter(buffer.data() + lag * frameBytes, n, final);
    EXPECT_GE(first, -static_cast<std::ptrdiff_t>(lag));
    EXPECT_LE(first, end);
    for (std::ptrdiff_t f = first; f < end; ++f) {
      std::memcpy(output.data() + (static_cast<std::ptrdiff_t>(done) + f) * frameBytes,
                  buffer.data() + (static_cast<std::ptrdiff_t>(lag) + f) * frameBytes, frameBytes);
    }
    done += n;
  } while (done < frames);
  return output;
}

class SampleStreamTest : public ::testing::TestWithParam<FilterKernel> {};

TEST_P(SampleStreamTest, BlockByBlockGivesTheWholeBufferBits) {
  const FilterKernel kernel = GetParam();
  if (!FilterKernelAvailable(kernel)) {
    GTEST_SKIP() << FilterKernelName(kernel) << " is not available on this processor";
  }
  std::mt19937 rng(20261207);
  int splitRuns = 0;
  for (int round = 0; round < 12; ++round) {
    const double fs = round % 2 ? 48000.0 : 16000.0;
    EqBandTable table = testsupport::RandomBandTable(rng, fs);
    if (round % 3 == 0) {
      // One channel: a low-pass of 12 sections makes the chain long enough for every kernel's
      // split.
      table.push_back(EqBand{.type = 3,
                             .index = 99,
                             .enable = 1,
                             .gain = 80,
                             .cutoffFreq = fs * 0.3,
                             .stopFreq = fs * 0.45});
    }
    FilterChain chain;
    DesignBandFilters(table, chain, fs);
    const auto channels = static_cast<std::uint16_t>(1 + round % 3);
    for (const SampleEncoding encoding :
         {SampleEncoding::Pcm8, SampleEncoding::Pcm16, SampleEncoding::Pcm24, SampleEncoding::Pcm32,
          SampleEncoding::Float32, SampleEncoding::Float64}) {
      // One channel on two threads splits the chain: long enough to wrap the hand-over ring.
      const unsigned threads = 1 + (round / 3) % 2;
      const std::size_t frames = 1 + rng() % (channels == 1 && threads == 2 ? 40000 : 9000);
      const auto input = testsupport::RandomSampleBytes(encoding, frames * channels, rng);
      const SampleFormat format{encoding,
                                round % 4 == 3 && encoding == SampleEncoding::Pcm24 ? 20U : 0U};
      auto whole = input;
      ClipStats wholeStats;
      FilterSamples(FilterKernel::Plain, format, whole.data(),
                    static_cast<std::uint32_t>(whole.size() / SampleBytes(encoding)), chain,
                    channels, &wholeStats);
      const auto stream = SampleStream::Create(kernel, format, chain, channels, threads);
      const std::size_t sections = CountSections(chain);
      if (kernel != FilterKernel::Plain && threads == 2 && channels == 1 &&
          sections > FilterKernelLanes(kernel)) {
        ++splitRuns;  // the split's two segments trail by one step pair less than one chain
        EXPECT_EQ(stream->LagFrames(), 2 * (sections - 2));
      }
      const auto streamed = Streamed(*stream, input, SampleBytes(encoding) * channels, rng);
      ASSERT_EQ(streamed, whole) << "round " << round << ", " << SampleBytes(encoding)
                                 << "-byte samples, " << channels << " channels, "
                                 << CountSections(chain) << " sections, " << threads << " threads";
      EXPECT_EQ(stream->Stats().clipped, wholeStats.clipped);
      EXPECT_EQ(stream->Stats().peak, wholeStats.peak);
    }
    FreeFilterChain(chain);
  }
  if (kernel != FilterKernel::Plain) {
    EXPECT_GT(splitRuns, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, SampleStreamTest,
                         ::testing::Values(FilterKernel::Plain, FilterKernel::Portable,
                                           FilterKernel::Avx2, FilterKernel::Avx512),
                         [](const auto& info) {
                           return std::string(FilterKernelName(info.param));
                         });

}  // namespace
