// The player's blocks pulled on a thread of their own, as an audio system pulls them, while the
// window's thread edits the bands and the loop: no block is rendered through chains that an edit
// is rebuilding, and once the edits stop the player plays the conversion's samples again.
#include <QTest>
#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "eq/design/FilterChain.h"
#include "eq/filter/PcmFilter.h"
#include "tests/support/BandFixtures.h"
#include "ui/RecordingPlayer.h"

class RecordingPlayerTest : public QObject {
  Q_OBJECT

 private slots:
  void editsWhileTheAudioThreadPullsBlocks() {
    constexpr std::size_t kFrames = 16000;
    RecordingPcm pcm;
    pcm.format = {SampleEncoding::Float32, 0};
    pcm.channels = 1;
    pcm.sampleRate = 16000;
    pcm.totalSeconds = 1;
    const std::vector<std::int16_t> noise = testsupport::NoiseSamples(kFrames, 7);
    std::vector<float> samples(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
      samples[i] = static_cast<float>(noise[i]) / 32768.0F;  // within +-0.37
    }
    pcm.bytes.resize(kFrames * sizeof(float));
    std::memcpy(pcm.bytes.data(), samples.data(), pcm.bytes.size());
    // Two band sets of different section counts: each edit replaces every chain.
    const EqBandTable speech = testsupport::SpeechBands();
    EqBandTable steep = speech;
    steep.push_back(EqBand{
        .type = 3, .index = 5, .enable = 1, .gain = 80, .cutoffFreq = 4800, .stopFreq = 7200});

    RecordingPlayer player(pcm);
    player.SetBands(speech);
    QVERIFY(player.open(QIODevice::ReadOnly));
    std::atomic<bool> stop{false};
    std::atomic<std::size_t> blocks{0};
    std::atomic<std::size_t> wild{0};  // samples no band set of these can give
    std::thread audio([&] {
      std::vector<float> block(441);
      const qint64 bytes = sizeof(float) * 441;
      while (!stop.load()) {
        if (player.read(reinterpret_cast<char*>(block.data()), bytes) != bytes) {
          ++wild;
        }
        for (const float value : block) {
          wild += std::isfinite(value) && std::abs(value) < 4.0F ? 0 : 1;
        }
        ++blocks;
      }
    });
    // At least 3,000 edits and 1,000 blocks (a bound keeps a stalled thread from hanging it).
    for (int edit = 0; edit < 1000000 && (edit < 3000 || blocks.load() < 1000); ++edit) {
      player.SetBands(edit % 2 == 0 ? steep : speech);
      if (edit % 7 == 0) {
        const auto first = static_cast<std::size_t>(edit) % 8000;
        player.SetLoop(first, first + 8000);
      }
    }
    stop = true;
    audio.join();
    QCOMPARE(wild.load(), std::size_t{0});
    QVERIFY(blocks.load() >= 1000);

    // Edits over: the whole recording from silence plays what the conversion writes.
    player.SetBands(steep);
    player.SetLoop(kFrames - 1, kFrames);
    (void)player.Next(1);  // the last frame: the next block starts over
    player.SetLoop(0, 0);
    player.SetBands(speech);  // fewer sections: from silence
    std::vector<float> converted = samples;
    FilterChain chain;
    DesignBandFilters(speech, chain, 16000);
    FilterSamples(FilterKernel::Plain, pcm.format, converted.data(),
                  static_cast<std::uint32_t>(converted.size()), chain, 1);
    FreeFilterChain(chain);
    const std::vector<float> played = player.Next(kFrames);
    QCOMPARE(played, converted);
  }
};

QObject* MakeRecordingPlayerTest() { return new RecordingPlayerTest; }

#include "RecordingPlayerTest.moc"
