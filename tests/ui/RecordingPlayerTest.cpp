// The player's blocks pulled on a thread of their own, as an audio system pulls them, while the
// window's thread edits the bands, the loop and the play position: no block is rendered through
// chains that an edit is rebuilding, and once the edits stop the player plays the conversion's
// samples again. A seek is carried out once, however many edits follow it before the next block.
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

namespace {

constexpr std::size_t kFrames = 16000;

// A second of noise at 16 kHz as 32-bit floats, within +-0.37.
std::vector<float> NoiseFloats() {
  const std::vector<std::int16_t> noise = testsupport::NoiseSamples(kFrames, 7);
  std::vector<float> samples(kFrames);
  for (std::size_t i = 0; i < kFrames; ++i) {
    samples[i] = static_cast<float>(noise[i]) / 32768.0F;
  }
  return samples;
}

// `samples` as a recording of one channel at 16 kHz.
RecordingPcm MonoPcm(const std::vector<float>& samples) {
  RecordingPcm pcm;
  pcm.format = {SampleEncoding::Float32, 0};
  pcm.channels = 1;
  pcm.sampleRate = 16000;
  pcm.totalSeconds = static_cast<double>(samples.size()) / 16000;
  pcm.bytes.resize(samples.size() * sizeof(float));
  std::memcpy(pcm.bytes.data(), samples.data(), pcm.bytes.size());
  return pcm;
}

// `samples` through `table` from silence, as a conversion writes them.
std::vector<float> Converted(std::vector<float> samples, const EqBandTable& table) {
  FilterChain chain;
  DesignBandFilters(table, chain, 16000);
  FilterSamples(FilterKernel::Plain, {SampleEncoding::Float32, 0}, samples.data(),
                static_cast<std::uint32_t>(samples.size()), chain, 1);
  FreeFilterChain(chain);
  return samples;
}

}  // namespace

class RecordingPlayerTest : public QObject {
  Q_OBJECT

 private slots:
  void editsWhileTheAudioThreadPullsBlocks() {
    const std::vector<float> samples = NoiseFloats();
    const RecordingPcm pcm = MonoPcm(samples);
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
      if (edit % 5 == 0) {
        player.SetPosition(static_cast<std::size_t>(edit) % kFrames);
        const std::size_t at = player.Position();
        if (at < player.LoopFirst() || at >= player.LoopEnd()) {
          ++wild;  // a position outside the loop last set
        }
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
    const std::vector<float> played = player.Next(kFrames);
    QCOMPARE(played, Converted(samples, speech));
  }

  // A seek is heard from the next block on, from silence, also when band edits replace the setup
  // that carried it before the audio thread saw it; it is carried out once, so that the edits
  // after it do not send the playing back. Until then the position is the one asked for.
  void aSeekSurvivesTheEditsThatFollowIt() {
    const std::vector<float> samples = NoiseFloats();
    const EqBandTable speech = testsupport::SpeechBands();
    EqBandTable louder = speech;
    louder[1].gain += 3;  // the same sections, other values
    RecordingPlayer player(MonoPcm(samples));
    player.SetBands(speech);
    (void)player.Next(1000);
    QCOMPARE(player.Position(), std::size_t{1000});

    player.SetPosition(6000);
    QCOMPARE(player.Position(), std::size_t{6000});
    player.SetLoop(0, 0);
    player.SetBands(louder);  // replaces the setups with the seek, not yet seen
    QCOMPARE(player.Position(), std::size_t{6000});
    std::vector<float> played = player.Next(500);
    const std::vector<float> from6000 =
        Converted(std::vector<float>(samples.begin() + 6000, samples.begin() + 7000), louder);
    QCOMPARE(played, std::vector<float>(from6000.begin(), from6000.begin() + 500));
    QCOMPARE(player.Position(), std::size_t{6500});
    player.SetBands(louder);  // the seek again in the setup: not carried out twice
    played = player.Next(500);
    QCOMPARE(played, std::vector<float>(from6000.begin() + 500, from6000.end()));
    QCOMPARE(player.Position(), std::size_t{7000});

    // Held within the loop: a position outside it is the loop's first frame.
    player.SetLoop(2000, 3000);
    QCOMPARE(player.Position(), std::size_t{2000});
    player.SetPosition(2500);
    player.SetPosition(9000);
    QCOMPARE(player.Position(), std::size_t{2000});
    (void)player.Next(1000);  // a whole round: the next frame is the loop's first again
    QCOMPARE(player.Position(), std::size_t{2000});
  }
};

QObject* MakeRecordingPlayerTest() { return new RecordingPlayerTest; }

#include "RecordingPlayerTest.moc"
