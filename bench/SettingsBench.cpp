// Settings files and presets at sizes people reach: saving and loading one EQ index of a file
// that holds many (about 1 MB at 60 indexes of 100 bands), and reading preset text of 10,000
// filter lines. Each of these once grew with the square of its size (every key written or read
// anew from the start of the text); the times here should grow with the size itself.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "bench/ShippedSet.h"
#include "platform/text/FormatText.h"
#include "preset/PresetText.h"
#include "settings/UserSettings.h"

namespace {

// A fresh folder for one benchmark's files, removed afterwards.
class BenchFolder {
 public:
  explicit BenchFolder(const char* name)
      : m_path(std::filesystem::temp_directory_path() /
               platform::FormatText("tonvale-bench-%s-%u", name, std::random_device()())) {
    std::filesystem::create_directories(m_path);
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;
  std::string File(const char* name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

// A band table of kMaxBandCount enabled bells.
EqBandTable FullTable() {
  EqBandTable table;
  for (int n = 0; n < kMaxBandCount; ++n) {
    table.push_back({.type = 1,
                     .index = static_cast<std::uint32_t>(n),
                     .enable = 1,
                     .gain = -3.0 + 0.05 * n,
                     .qual = 1.5,
                     .centFreq = 40.0 + 70.0 * n});
  }
  return table;
}

// Writes `indexes` full EQ indexes into a settings file at `path`; returns its size in bytes.
std::uintmax_t WriteLargeSettings(const std::string& path, int indexes) {
  const AppConfig config = ShippedAppConfig();
  const EqBandTable table = FullTable();
  for (int index = 0; index < indexes; ++index) {
    if (SaveUserSettings(path, index, config, table) != 1) {
      return 0;
    }
  }
  return std::filesystem::file_size(path);
}

// arg: EQ indexes in the file. Saves the middle index again with changed values.
void BM_SaveIndexOfLargeSettingsFile(benchmark::State& state) {
  const BenchFolder folder("save");
  const std::string path = folder.File("large.cfg");
  const auto indexes = static_cast<int>(state.range(0));
  const std::uintmax_t bytes = WriteLargeSettings(path, indexes);
  const AppConfig config = ShippedAppConfig();
  EqBandTable table = FullTable();
  int round = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    table[0].gain = ++round % 2 == 0 ? 1.0 : 2.0;  // so that every save writes the file
    if (SaveUserSettings(path, indexes / 2, config, table) != 1) {
      state.SkipWithError("the save failed");
      break;
    }
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SaveIndexOfLargeSettingsFile)->Arg(6)->Arg(60)->Unit(benchmark::kMillisecond);

// arg: EQ indexes in the file. Loads the last index.
void BM_LoadIndexOfLargeSettingsFile(benchmark::State& state) {
  const BenchFolder folder("load");
  const std::string path = folder.File("large.cfg");
  const auto indexes = static_cast<int>(state.range(0));
  const std::uintmax_t bytes = WriteLargeSettings(path, indexes);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    AppConfig config = ShippedAppConfig();
    EqBandTable table;
    SettingsLoadReport report;
    (void)LoadUserSettings(path, indexes - 1, config, table, &report);
    if (report.status != SettingsLoadStatus::Loaded) {
      state.SkipWithError("the load failed");
      break;
    }
    benchmark::DoNotOptimize(table.data());
  }
  state.counters["file_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_LoadIndexOfLargeSettingsFile)->Arg(6)->Arg(60)->Unit(benchmark::kMillisecond);

// args: filter lines, 0 for bells or 1 for one long run of LPQ lines at one frequency (each
// line tried as the start of a Butterworth filter).
void BM_ReadPresetText(benchmark::State& state) {
  const auto lines = static_cast<int>(state.range(0));
  const bool run = state.range(1) != 0;
  std::string text;
  for (int n = 0; n < lines; ++n) {
    text += run ? platform::FormatText("Filter %d: ON LPQ Fc 5000 Hz Q %.4f\n", n + 1,
                                       0.6 + 0.001 * (n % 100))
                : platform::FormatText("Filter %d: ON PK Fc %d Hz Gain -1.5 dB Q 1.2\n", n + 1,
                                       20 + n % 20000);
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop
    const PresetImport preset = ReadPresetText(text);
    benchmark::DoNotOptimize(preset.table.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * lines);
}
BENCHMARK(BM_ReadPresetText)
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
