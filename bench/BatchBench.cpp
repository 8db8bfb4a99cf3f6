// A batch of 5,000 short files converted into one output folder on one thread: the time each
// file takes, averaged over each thousand files. A cost that grows with the files already in the
// folder (a listing of it after every file) shows as a last thousand slower than the first.
// Each output is flushed to the disk, so on a disk that other programs keep busy the flushes'
// wait varies far more than the conversion's work: TMPDIR=/dev/shm (a memory file system)
// measures the program's own cost.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/ShippedSet.h"
#include "convert/BatchRun.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFiles = 5000;
constexpr std::size_t kFrames = 1600;  // 0.1 s at 16 kHz, mono 16-bit

void Put32(std::string& out, std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) {
    out.push_back(static_cast<char>((v >> shift) & 0xFF));
  }
}

// A 16 kHz mono 16-bit WAVE file of noise.
std::string NoiseWave(std::mt19937& rng) {
  std::uniform_int_distribution<int> dist(-8000, 8000);
  std::string bytes = "RIFF";
  Put32(bytes, static_cast<std::uint32_t>(36 + 2 * kFrames));
  bytes += "WAVEfmt ";
  Put32(bytes, 16);
  const char format[16] = {1, 0, 1,  0, static_cast<char>(0x80), 0x3E, 0, 0, 0, 0x7D, 0, 0,
                           2, 0, 16, 0};
  bytes.append(format, sizeof format);
  bytes += "data";
  Put32(bytes, static_cast<std::uint32_t>(2 * kFrames));
  for (std::size_t i = 0; i < kFrames; ++i) {
    const auto sample = static_cast<std::uint16_t>(dist(rng));
    bytes.push_back(static_cast<char>(sample & 0xFF));
    bytes.push_back(static_cast<char>(sample >> 8));
  }
  return bytes;
}

// Microseconds a file took, averaged over files [first, end) of `results`.
double MeanMicroseconds(const std::vector<BatchFileResult>& results, std::size_t first,
                        std::size_t end) {
  double sum = 0.0;
  for (std::size_t i = first; i < end; ++i) {
    sum += results[i].seconds;
  }
  return sum / static_cast<double>(end - first) * 1e6;
}

void BM_BatchIntoOneFolder(benchmark::State& state) {
  const fs::path root = fs::temp_directory_path() / "tonvale-bench-batch";
  fs::remove_all(root);
  fs::create_directories(root / "sources");
  std::mt19937 rng(1);
  std::vector<ConversionJob> jobs;
  for (std::size_t i = 0; i < kFiles; ++i) {
    const std::string name = "talk" + std::to_string(i) + ".wav";
    const fs::path source = root / "sources" / name;
    std::FILE* file = std::fopen(source.string().c_str(), "wb");
    const std::string bytes = NoiseWave(rng);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    jobs.push_back(ConversionJob{.sourcePath = source.string(),
                                 .outputPath = (root / "outputs" / name).string()});
  }
  const EqBandTable table = ShippedSetAllEnabled();
  BatchSettings settings;
  settings.threads = 1;
  settings.keepGoing = true;
  std::vector<BatchFileResult> results;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    state.PauseTiming();
    fs::remove_all(root / "outputs");
    fs::create_directories(root / "outputs");
    state.ResumeTiming();
    results = RunBatch(jobs, table, settings);
  }
  std::size_t converted = 0;
  for (const BatchFileResult& result : results) {
    converted += result.conversion.Converted() ? 1 : 0;
  }
  if (converted != kFiles) {
    state.SkipWithError("a file failed");
  }
  // Microseconds per file of each thousand, in order, and the last thousand's to the first's.
  for (std::size_t k = 0; k < kFiles / 1000; ++k) {
    state.counters["us_per_file_" + std::to_string(k + 1) + "k"] =
        MeanMicroseconds(results, k * 1000, (k + 1) * 1000);
  }
  state.counters["last_to_first"] =
      MeanMicroseconds(results, kFiles - 1000, kFiles) / MeanMicroseconds(results, 0, 1000);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kFiles));
  fs::remove_all(root);
}
BENCHMARK(BM_BatchIntoOneFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
