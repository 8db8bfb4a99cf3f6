// The delivery steps' throughput on 10 minutes of 48 kHz stereo: the loudness meter (integrated
// loudness, range, true and sample peak, whole and in its two parts, on steady noise and on noise
// shaped like speech), the resampler to 44.1 and 16 kHz, and the output depth with dither. Each
// iteration is one whole pass over the 10 minutes, fed in blocks of 4096 frames as a conversion
// streams them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "delivery/LoudnessMeter.h"
#include "delivery/Quantizer.h"
#include "delivery/Resampler.h"

namespace {

constexpr std::uint32_t kRate = 48000;
constexpr unsigned kChannels = 2;
constexpr std::size_t kFrames = std::size_t{kRate} * 600;
constexpr std::size_t kBlockFrames = 4096;

const std::vector<double>& Programme() {
  static const std::vector<double> samples = [] {
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 0.1);
    std::vector<double> values(kFrames * kChannels);
    for (double& v : values) v = noise(rng);
    return values;
  }();
  return samples;
}

// Noise in syllables of 200 ms at levels spread over 24 dB, a third of them pauses, as the level
// of speech comes and goes: most of it lies well below its peaks.
const std::vector<double>& SpeechLikeProgramme() {
  static const std::vector<double> samples = [] {
    std::mt19937 rng(2);
    std::uniform_real_distribution<double> levelDb(-24.0, 0.0);
    std::uniform_int_distribution<int> pause(0, 2);
    std::vector<double> values = Programme();
    const std::size_t syllable = kRate / 5;
    for (std::size_t first = 0; first < kFrames; first += syllable) {
      const double gain = pause(rng) == 0 ? 0.01 : std::pow(10.0, levelDb(rng) / 20.0);
      const std::size_t end = std::min(kFrames, first + syllable) * kChannels;
      for (std::size_t i = first * kChannels; i < end; ++i) values[i] *= gain;
    }
    return values;
  }();
  return samples;
}

template <typename Step>
void ForEachBlock(Step step, const std::vector<double>& samples = Programme()) {
  for (std::size_t first = 0; first < samples.size(); first += kBlockFrames * kChannels) {
    const std::size_t count = std::min(kBlockFrames * kChannels, samples.size() - first);
    step(std::span<const double>(samples).subspan(first, count));
  }
}

void SetRate(benchmark::State& state) {
  // Items are frames: items_per_second / 48000 is the speed as a multiple of real time.
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kFrames));
}

void BM_LoudnessMeterTenMinutes(benchmark::State& state) {
  Programme();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    auto meter = delivery::LoudnessMeter::Create(kChannels, kRate);
    ForEachBlock([&](std::span<const double> block) { meter->Add(block); });
    benchmark::DoNotOptimize(meter->Result());
  }
  SetRate(state);
}
BENCHMARK(BM_LoudnessMeterTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime();

// One part of the meter on its own: range(0) 0 = loudness, 1 = true peak; range(1) 0 = steady
// noise, 1 = speech-like. A conversion runs the loudness on one thread and the true peak of each
// channel on another.
void BM_LoudnessMeterPartTenMinutes(benchmark::State& state) {
  const auto part = state.range(0) == 0 ? delivery::LoudnessMeter::Parts::Loudness
                                        : delivery::LoudnessMeter::Parts::TruePeak;
  const std::vector<double>& samples = state.range(1) == 0 ? Programme() : SpeechLikeProgramme();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    auto meter = delivery::LoudnessMeter::Create(kChannels, kRate, 1.0, part);
    ForEachBlock([&](std::span<const double> block) { meter->Add(block); }, samples);
    benchmark::DoNotOptimize(meter->Result());
  }
  SetRate(state);
}
BENCHMARK(BM_LoudnessMeterPartTenMinutes)
    ->ArgsProduct({{0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ResampleTenMinutes(benchmark::State& state) {
  Programme();
  const auto outputRate = static_cast<std::uint32_t>(state.range(0));
  std::vector<double> out;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    auto resampler = delivery::Resampler::Create(kChannels, kRate, outputRate);
    std::size_t frames = 0;
    ForEachBlock([&](std::span<const double> block) {
      out.clear();
      resampler->Process(block, out);
      frames += out.size() / kChannels;
    });
    out.clear();
    resampler->Flush(out);
    benchmark::DoNotOptimize(frames += out.size() / kChannels);
  }
  SetRate(state);
}
BENCHMARK(BM_ResampleTenMinutes)
    ->Arg(44100)
    ->Arg(16000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DitherTo16BitsTenMinutes(benchmark::State& state) {
  Programme();
  std::vector<std::int32_t> codes(kBlockFrames * kChannels);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    delivery::Quantizer quantizer(delivery::SampleDepth::Int16, true);
    ForEachBlock([&](std::span<const double> block) { quantizer.ToInteger(block, codes); });
    benchmark::DoNotOptimize(codes.data());
  }
  SetRate(state);
}
BENCHMARK(BM_DitherTo16BitsTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
