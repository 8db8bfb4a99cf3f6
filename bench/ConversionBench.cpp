// The whole conversion of a 10-minute 16 kHz mono 16-bit file (open, filter, write) through the
// shipped band set with every band enabled, beside the filtering alone on the same samples; and
// what the window does before it shows such a file's spectrum (read, mix to mono, Welch).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "analysis/RecordingReader.h"
#include "bench/ShippedSet.h"
#include "convert/ConversionJob.h"
#include "eq/filter/PcmFilter.h"
#ifdef TONVALE_WITH_SPECTRUM
#include "analysis/LongTermPower.h"
#endif

namespace {

constexpr std::uint32_t kRate = 16000;
constexpr std::size_t kSamples = kRate * 600;

std::vector<std::int16_t> Noise() {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> dist(-8000, 8000);
  std::vector<std::int16_t> samples(kSamples);
  for (auto& s : samples) s = static_cast<std::int16_t>(dist(rng));
  return samples;
}

void Put32(std::FILE* f, std::uint32_t v) {
  const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                              static_cast<unsigned char>(v >> 16),
                              static_cast<unsigned char>(v >> 24)};
  std::fwrite(b, 1, 4, f);
}

std::string WriteSource(const std::vector<std::int16_t>& samples) {
  std::string path = (std::filesystem::temp_directory_path() / "tonvale-bench-source.wav").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  const std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * 2);
  std::fwrite("RIFF", 1, 4, f);
  Put32(f, 36 + bytes);
  std::fwrite("WAVEfmt ", 1, 8, f);
  Put32(f, 16);
  const unsigned char format[16] = {1, 0, 1, 0, 0x80, 0x3E, 0, 0, 0, 0x7D, 0, 0, 2, 0, 16, 0};
  std::fwrite(format, 1, 16, f);
  std::fwrite("data", 1, 4, f);
  Put32(f, bytes);
  std::fwrite(samples.data(), 2, samples.size(), f);
  std::fclose(f);
  return path;
}

void BM_ConvertTenMinutes(benchmark::State& state) {
  const std::string source = WriteSource(Noise());
  const std::string output = source + ".out.wav";
  const EqBandTable table = ShippedSetAllEnabled();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    std::vector<ConversionJob> jobs(1);
    jobs[0].sourcePath = source;
    jobs[0].outputPath = output;
    if (ConvertFiles(jobs, table, [](std::string_view) {}) != 1) {
      state.SkipWithError("conversion failed");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
  std::filesystem::remove(source);
  std::filesystem::remove(output);
}
BENCHMARK(BM_ConvertTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FilterTenMinutes(benchmark::State& state) {
  auto samples = Noise();
  FilterChain chain;
  DesignBandFilters(ShippedSetAllEnabled(), chain, kRate);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    FilterPcm16(samples.data(), static_cast<std::uint32_t>(samples.size()), chain);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
}
BENCHMARK(BM_FilterTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef TONVALE_WITH_SPECTRUM
void BM_SpectrumTenMinutes(benchmark::State& state) {
  const std::string source = WriteSource(Noise());
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    std::string error;
    const auto pcm = ReadRecordingPcm(source, 600.0, error);
    if (!pcm) {
      state.SkipWithError("the recording cannot be read");
      break;
    }
    const LongTermPower spectrum = WelchSpectrum(MonoFloats(*pcm), pcm->sampleRate);
    benchmark::DoNotOptimize(spectrum.maxDb);
  }
  std::filesystem::remove(source);
}
BENCHMARK(BM_SpectrumTenMinutes)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

}  // namespace

BENCHMARK_MAIN();
