// Filtering and response-curve speed. Reports samples per second and the time per
// section-sample (the time one second-order section takes for one sample).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "bench/ShippedSet.h"
#include "eq/filter/PcmFilter.h"
#include "eq/filter/WavefrontFilter.h"
#include "eq/response/BQCalculator.h"

namespace {

EqBandTable BenchSet(bool bellsOnly) {
  EqBandTable table = ::ShippedSetAllEnabled();
  if (bellsOnly) {
    table.front().enable = 0;
    table.back().enable = 0;
  }
  return table;
}

template <typename Sample>
std::vector<Sample> Noise(std::size_t count) {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> dist(-8000, 8000);
  std::vector<Sample> samples(count);
  for (Sample& s : samples) {
    s = static_cast<Sample>(sizeof(Sample) == 1 ? (dist(rng) & 0xFF) : dist(rng));
  }
  return samples;
}

// args: sample rate, channels, bells only (0/1), 8-bit (0/1)
void BM_Filter(benchmark::State& state) {
  const double rate = static_cast<double>(state.range(0));
  const auto channels = static_cast<std::uint16_t>(state.range(1));
  const bool bellsOnly = state.range(2) != 0;
  const bool eightBit = state.range(3) != 0;
  const std::size_t count = static_cast<std::size_t>(rate) * 60 * channels;  // 60 s
  FilterChain chain;
  DesignBandFilters(BenchSet(bellsOnly), chain, rate);
  const std::size_t sections = CountSections(chain);
  auto pcm16 = Noise<std::int16_t>(eightBit ? 0 : count);
  auto pcm8 = Noise<std::uint8_t>(eightBit ? count : 0);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    if (eightBit) {
      FilterPcm8(pcm8.data(), static_cast<std::uint32_t>(count), chain, channels);
    } else {
      FilterPcm16(pcm16.data(), static_cast<std::uint32_t>(count), chain, channels);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
  state.counters["sections"] = static_cast<double>(sections);
  // Seconds per section-sample, printed with an SI prefix ("2.5n" is 2.5 ns).
  state.counters["per_section_sample"] =
      benchmark::Counter(static_cast<double>(state.iterations() * count * sections),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Filter)
    ->ArgNames({"rate", "channels", "bells_only", "8bit"})
    ->Args({16000, 1, 0, 0})
    ->Args({16000, 1, 1, 0})
    ->Args({48000, 2, 0, 0})
    ->Args({48000, 2, 1, 0})
    ->Args({16000, 1, 0, 1})
    ->Unit(benchmark::kMillisecond);

// 8 bells with a second-order high-pass and low-pass: 10 sections.
EqBandTable TenSections() {
  EqBandTable table = BenchSet(false);
  table.front().gain = 20.0;  // 20 / log10(4) / 20 + 0.98 = 2.64: order 2
  table.front().cutoffFreq = 200.0;
  table.front().stopFreq = 50.0;
  table.back().gain = 12.0;  // 12 / log10(2.63) / 20 + 0.98 = 2.41: order 2
  table.back().cutoffFreq = 3000.0;
  table.back().stopFreq = 7900.0;
  return table;
}

// Noise as stored samples of `encoding`: integers at about a quarter of full scale, floats the
// same fraction of 1.0.
std::vector<std::uint8_t> NoiseBytes(SampleEncoding encoding, std::size_t count) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> dist(-0.25, 0.25);
  const std::size_t width = SampleBytes(encoding);
  std::vector<std::uint8_t> bytes(count * width);
  for (std::size_t i = 0; i < count; ++i) {
    const double v = dist(rng);
    std::uint8_t* at = &bytes[i * width];
    if (encoding == SampleEncoding::Float32) {
      const auto f = static_cast<float>(v);
      std::memcpy(at, &f, 4);
    } else {
      const auto integer = static_cast<std::int32_t>(v * std::ldexp(1.0, 8 * width - 1));
      std::memcpy(at, &integer, width);  // little-endian: the low bytes
    }
  }
  return bytes;
}

// The plain pass against each fast kernel. args: kernel, 43 or 10 sections, rate, channels,
// encoding (16: 16-bit, 24: 24-bit, 32: 32-bit float).
void BM_Kernel(benchmark::State& state) {
  const auto kernel = static_cast<FilterKernel>(state.range(0));
  if (!FilterKernelAvailable(kernel)) {
    state.SkipWithError("kernel not available on this processor");
    return;
  }
  const bool full = state.range(1) == 43;
  const double rate = static_cast<double>(state.range(2));
  const auto channels = static_cast<std::uint16_t>(state.range(3));
  const SampleEncoding encoding = state.range(4) == 16   ? SampleEncoding::Pcm16
                                  : state.range(4) == 24 ? SampleEncoding::Pcm24
                                                         : SampleEncoding::Float32;
  const std::size_t count = static_cast<std::size_t>(rate) * 20 * channels;  // 20 s
  FilterChain chain;
  DesignBandFilters(full ? BenchSet(false) : TenSections(), chain, rate);
  const std::size_t sections = CountSections(chain);
  if (sections != static_cast<std::size_t>(state.range(1))) {
    state.SkipWithError("unexpected section count");
    return;
  }
  auto samples = NoiseBytes(encoding, count);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    FilterSamples(kernel, SampleFormat{encoding, 0}, samples.data(),
                  static_cast<std::uint32_t>(count), chain, channels);
    benchmark::ClobberMemory();
  }
  state.SetLabel(FilterKernelName(kernel));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
  state.counters["per_section_sample"] =
      benchmark::Counter(static_cast<double>(state.iterations() * count * sections),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Kernel)
    ->ArgNames({"kernel", "sections", "rate", "channels", "encoding"})
    ->ArgsProduct({{0, 1, 2, 3}, {43, 10}, {16000}, {1}, {16}})
    ->ArgsProduct({{0, 1, 2, 3}, {43, 10}, {44100}, {2}, {16}})
    ->ArgsProduct({{0, 1, 2, 3}, {43}, {48000}, {2}, {16, 24, 32}})
    ->Unit(benchmark::kMillisecond);

void BM_ComputeResponse(benchmark::State& state) {
  EqGraphParams params;
  params.sampleRate = 16000;
  params.width = 800;
  params.height = 320;
  params.minFreq = 10;
  params.maxFreq = 8000;
  params.topDb = 30;
  params.bottomDb = -30;
  const EqBandTable table = BenchSet(false);
  CBQCalculator calculator;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    std::vector<std::int32_t> curve;
    std::vector<BandMarker> markers;
    calculator.ComputeResponse(params, table, curve, markers);
    benchmark::DoNotOptimize(curve.data());
  }
}
BENCHMARK(BM_ComputeResponse)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
