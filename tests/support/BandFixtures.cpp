#include "tests/support/BandFixtures.h"

#include <algorithm>

#include "platform/text/FormatText.h"

namespace testsupport {

EqBandTable RandomBandTable(std::mt19937& rng, double fs) {
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  EqBandTable table;
  const int bands = static_cast<int>(unit(rng) * 12);
  for (int i = 0; i < bands; ++i) {
    const double kind = unit(rng);
    EqBand band;
    band.enable = unit(rng) < 0.85 ? 1 : 0;
    band.index = static_cast<std::uint32_t>(i);
    if (kind < 0.6) {
      // Bells mostly; shelves and notches too.
      constexpr std::uint32_t kSingle[] = {1, 1, 1, 4, 5, 6};
      band.type = kSingle[static_cast<int>(unit(rng) * 5.999)];
      band.gain = -24 + unit(rng) * 48;
      band.qual = 0.1 + unit(rng) * 10;
      band.centFreq = 10 + unit(rng) * (fs * 0.5 - 10);
    } else {
      band.type = kind < 0.8 ? 2 : 3;
      band.gain = unit(rng) * 60;
      band.cutoffFreq = 20 + unit(rng) * (fs * 0.45);
      const double ratio = 1.05 + unit(rng) * 3;
      band.stopFreq =
          band.type == 2 ? band.cutoffFreq / ratio : std::min(fs * 0.5, band.cutoffFreq * ratio);
    }
    table.push_back(band);
  }
  if (unit(rng) < 0.3) {
    table.preampDb = -12 + unit(rng) * 18;
  }
  return table;
}

EqBandTable SpeechBands() {
  return {
      EqBand{.type = 2, .enable = 1, .gain = 24, .qual = 0.7, .cutoffFreq = 120, .stopFreq = 60},
      EqBand{.type = 1, .index = 1, .enable = 1, .gain = 6, .qual = 1.2, .centFreq = 3000}};
}

std::string ManyBellsSettings(int count) {
  std::string settings =
      "[MusicEQ]\r\nMusicEQ_Index00=MusicEQBand00\r\n\r\n[MusicEQBand00]\r\nBandNum=" +
      std::to_string(count) + "\r\nSampleRate=16000\r\n";
  for (int n = 0; n < count; ++n) {
    const std::string key = platform::FormatText("Band%.2d_", n);
    settings += key + "Type=1\r\n" + key + "Enable=1\r\n" + key + "Gain=1.000000\r\n" + key +
                "Qual=1.000000\r\n" + key + "CentFreq=" + std::to_string(100 + n) + ".000000\r\n" +
                key + "CutoffFreq=0.000000\r\n" + key + "StopFreq=0.000000\r\n";
  }
  return settings;
}

std::vector<std::int16_t> NoiseSamples(std::size_t count, unsigned seed, int limit) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> dist(-limit, limit);
  std::vector<std::int16_t> samples(count);
  for (auto& s : samples) s = static_cast<std::int16_t>(dist(rng));
  return samples;
}

}  // namespace testsupport
