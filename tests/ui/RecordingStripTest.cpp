// The opened recording in time: the strip under the graph with its envelope, the play position
// and the selection that loops, chosen with the mouse through the window system's event path;
// the spectrum of the selection; recordings of one sample and of an hour; the example clip with
// a selection.
#define QTEST_QPA_MOUSE_HANDLING  // mouse events enter through the window, as a platform's do
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <vector>

#include "analysis/RecordingEnvelope.h"
#include "tests/support/RiffBuilder.h"
#include "tests/ui/UiFixture.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/RecordingPlayer.h"
#include "ui/RecordingStrip.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Two seconds at 16 kHz: a loud 1 kHz tone for the first, then quiet 50 Hz hum alone.
std::vector<std::int16_t> ToneThenHum() {
  std::vector<std::int16_t> samples(32000);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double t = static_cast<double>(i) / 16000.0;
    const double hum = 600 * std::sin(2 * kPi * 50 * t);
    const double tone = i < 16000 ? 12000 * std::sin(2 * kPi * 1000 * t) : 0.0;
    samples[i] = static_cast<std::int16_t>(hum + tone);
  }
  return samples;
}

}  // namespace

class RecordingStripTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  // Without a recording the window is as it always was; a recording grows it by the strip and
  // the loudness line under it; the strip's envelope per device pixel column is the lowest and
  // highest sample of the frames whose time falls in the column.
  void theStripGrowsTheWindowAndDrawsTheEnvelope() {
    auto plain = MakeDialog();
    QVERIFY(!plain->Strip()->isVisible());
    const int height = plain->height();
    plain.reset();

    const std::vector<std::int16_t> samples = ToneThenHum();
    auto dialog = OpenOn(WriteWave("tone.wav", samples, 16000));
    CRecordingStrip* strip = dialog->Strip();
    QVERIFY(strip->isVisible());
    QCOMPARE(dialog->height(), height + CRecordingStrip::kHeight + CTonvaleDlg::kLoudnessRowHeight);
    QCOMPARE(dialog->minimumSize(), dialog->size());
    QCOMPARE(strip->geometry(), QRect(0, dialog->Painter()->geometry().bottom() + 1,
                                      dialog->width(), CRecordingStrip::kHeight));
    QTRY_VERIFY_WITH_TIMEOUT(
        strip->Envelope() != nullptr && strip->Envelope()->FramesAdded() == samples.size(), 10000);
    strip->repaint();
    const std::vector<EnvelopeRange>& drawn = strip->DrawnColumns();
    const auto columns =
        static_cast<std::uint64_t>(std::lround(strip->width() * strip->devicePixelRatioF()));
    QCOMPARE(static_cast<std::uint64_t>(drawn.size()), columns);
    std::vector<float> low(columns, 2.0F);
    std::vector<float> high(columns, -2.0F);
    for (std::uint64_t i = 0; i < samples.size(); ++i) {
      const std::uint64_t c = i * columns / samples.size();
      const float v = static_cast<float>(samples[i]) / 32768.0F;
      low[c] = std::min(low[c], v);
      high[c] = std::max(high[c], v);
    }
    for (std::uint64_t c = 0; c < columns; ++c) {
      QCOMPARE(drawn[c].low, low[c]);
      QCOMPARE(drawn[c].high, high[c]);
    }
  }

  // A click places the play position and the playhead follows what plays; a drag selects a
  // range, which then plays exactly its converted samples round after round; Escape clears the
  // selection (and the window stays open).
  void aClickPlacesThePositionAndADragSelectsALoop() {
    m_table[5].enable = 1;  // a bell through which the loop plays
    const std::vector<std::int16_t> samples = ToneThenHum();
    auto dialog = OpenOn(WriteWave("tone.wav", samples, 16000));
    CRecordingStrip* strip = dialog->Strip();
    RecordingPlayer* player = dialog->Player();
    const double frames = static_cast<double>(samples.size());
    const int width = strip->width();

    const QPoint click(width / 4, 20);
    QTest::mouseClick(strip, Qt::LeftButton, {}, click);
    const double at = click.x() * frames / width;
    QVERIFY2(std::fabs(static_cast<double>(player->Position()) - at) < 1.0,
             qPrintable(QString::number(player->Position())));
    const std::uint64_t start = player->Position();
    (void)player->Next(1000);
    QTRY_COMPARE(strip->Playhead(), start + 1000);

    const QPoint from(width / 2, 20);
    const QPoint to(width * 3 / 4, 30);
    Drag(strip, from, to);
    const std::size_t first = player->LoopFirst();
    const std::size_t end = player->LoopEnd();
    QVERIFY(std::fabs(static_cast<double>(first) - from.x() * frames / width) < 1.0);
    QVERIFY(std::fabs(static_cast<double>(end) - to.x() * frames / width) < 1.0);
    QCOMPARE(strip->SelectionFirst(), static_cast<std::uint64_t>(first));
    QCOMPARE(strip->SelectionEnd(), static_cast<std::uint64_t>(end));
    ExpectPlays(*player,
                ConvertedPart({samples.begin() + static_cast<std::ptrdiff_t>(first),
                               samples.begin() + static_cast<std::ptrdiff_t>(end)},
                              16000),
                (end - first) * 2 + 100);
    QVERIFY(dialog->PlayButton()->toolTip().contains(QStringLiteral(" s in a loop")));

    QVERIFY(strip->hasFocus());
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);
    QVERIFY(dialog->isVisible());
    QCOMPARE(strip->SelectionEnd(), strip->SelectionFirst());
    QCOMPARE(player->LoopFirst(), std::size_t{0});
    QCOMPARE(player->LoopEnd(), samples.size());
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Escape);  // nothing selected: it closes
    QVERIFY(!dialog->isVisible());
  }

  // With the check box the spectrum is the selection's, read from the file: the hum of the
  // pause is then the highest peak, where the whole recording's is the tone's.
  void theSpectrumCanBeLimitedToTheSelection() {
    auto dialog = OpenOn(WriteWave("tone.wav", ToneThenHum(), 16000));
    CRecordingStrip* strip = dialog->Strip();
    CDlgEQPainter* graph = dialog->Painter();
    auto peakHz = [this, graph] {
      const std::vector<std::int32_t>& rows = graph->SpectrumBefore();
      const auto top = std::min_element(rows.begin(), rows.end()) - rows.begin();
      return XToFreq(m_graph, static_cast<double>(top));
    };
    QVERIFY2(std::fabs(peakHz() - 1000) < 10, qPrintable(QString::number(peakHz())));
    QTest::mouseClick(strip->SelectionSpectrumBox(), Qt::LeftButton);
    QVERIFY(strip->SelectionSpectrumBox()->isChecked());
    const int width = strip->width();
    Drag(strip, QPoint(width * 5 / 8, 20), QPoint(width * 7 / 8, 20));
    QTRY_COMPARE_WITH_TIMEOUT(dialog->SelectionAnalyses(), 1, 10000);
    QVERIFY2(std::fabs(peakHz() - 50) < 5, qPrintable(QString::number(peakHz())));
    QTest::mouseClick(strip->SelectionSpectrumBox(), Qt::LeftButton);
    QVERIFY2(std::fabs(peakHz() - 1000) < 10, qPrintable(QString::number(peakHz())));
  }

  // A recording of a single sample: a strip, an envelope of one frame across it, clicks and
  // drags and listening that do no harm.
  void theWindowSurvivesARecordingOfOneSample() {
    auto dialog = OpenOn(WriteWave("one.wav", {12000}, 16000));
    CRecordingStrip* strip = dialog->Strip();
    QTRY_VERIFY_WITH_TIMEOUT(strip->Envelope() != nullptr && strip->Envelope()->FramesAdded() == 1,
                             10000);
    strip->repaint();
    for (const EnvelopeRange& column : strip->DrawnColumns()) {
      QCOMPARE(column.high, 12000.0F / 32768.0F);
    }
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 1, 10));
    Drag(strip, QPoint(3, 10), QPoint(strip->width() - 1, 10));
    RecordingPlayer* player = dialog->Player();
    QCOMPARE(player->LoopEnd(), std::size_t{1});
    const std::vector<float> played = player->Next(5);
    QCOMPARE(played.size(), std::size_t{5});
    QCOMPARE(played[3], 12000.0F / 32768.0F);
  }

  // An hour at 8 kHz (a sparse file of silence with three bursts): the envelope covers the whole
  // hour in bounded memory and shows the bursts where they are; a click past the first ten
  // minutes and a selection around the middle burst are held and played; closing while the
  // hour is being read does not wait for the reading.
  void theWindowSurvivesAnHourLongRecording() {
    const std::uint64_t frames = 8000ULL * 3600;
    const std::string path = m_dir.File("hour.wav");
    WriteSparseHour(path, frames);
    {
      auto dialog = OpenOn(path);
      QTest::qWait(1);
      dialog.reset();  // the envelope's reading is asked to stop and ends at its next block
    }
    m_table[5].enable = 1;
    auto dialog = OpenOn(path);
    CRecordingStrip* strip = dialog->Strip();
    QCOMPARE(strip->Frames(), frames);
    QTRY_VERIFY_WITH_TIMEOUT(
        strip->Envelope() != nullptr && strip->Envelope()->FramesAdded() == frames, 60000);
    const RecordingEnvelope* envelope = strip->Envelope();
    QVERIFY(envelope->Buckets().size() <= RecordingEnvelope::kMaxBuckets);
    const std::vector<EnvelopeRange> columns = envelope->Columns(720);  // 5 s a column
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const bool burst = c == 0 || c == 360 || c == 719;
      QCOMPARE(columns[c].high > 0.2F, burst);
      QCOMPARE(columns[c].low, burst ? -kBurst / 32768.0F : 0.0F);
    }

    RecordingPlayer* before = dialog->Player();
    QCOMPARE(before->Pcm().Frames(), std::size_t{8000 * 600});
    // Minute 45: beyond what is held; another ten minutes are read from there.
    const int width = strip->width();
    const int x45 = width * 3 / 4;
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(x45, 20));
    QTRY_VERIFY_WITH_TIMEOUT(dialog->HeldFirst() > 0, 30000);
    const double minute45 = x45 * static_cast<double>(frames) / width;
    QVERIFY(std::fabs(static_cast<double>(dialog->HeldFirst()) - minute45) < 1.0);
    QCOMPARE(dialog->Player()->Position(), std::size_t{0});
    QTRY_COMPARE(strip->Playhead(), dialog->HeldFirst());

    // A second around the middle burst (at 30:02): played exactly as converted, in a loop.
    QVERIFY(dialog->SetLoop(1801.5, 1802.5));
    QTRY_COMPARE_WITH_TIMEOUT(dialog->HeldFirst(), std::uint64_t{8000 * 1801 + 4000}, 30000);
    RecordingPlayer* player = dialog->Player();
    QCOMPARE(player->LoopEnd(), std::size_t{8000});
    std::vector<std::int16_t> second(8000, 0);
    for (std::size_t i = 0; i < kBurstFrames; ++i) {
      second[4000 + i] = Burst(i);
    }
    ExpectPlays(*player, ConvertedPart(second, 8000), 8000 * 2);
  }

  // The example clip with its settings and a selection in the time line, as `tonvale
  // /access_setting:speech-eq.cfg /eq_index:0 /open_recording:speech.wav` shows it: the whole
  // window grabs at the screen's ratio, the grid and the pictures have its pixels (twice as many
  // at a ratio of 2), and the envelope shows through the selection's shade.
  void theEnvelopeShowsThroughASelectionOfTheExampleClip() {
    QVERIFY(LoadUserSettings(EXAMPLE_SETTINGS, 0, m_config, m_table) == 1);
    auto dialog = MakeDialog(true, nullptr, EXAMPLE_SPEECH);
    QTRY_VERIFY_WITH_TIMEOUT(dialog->HasSpectrum(), 10000);
    CRecordingStrip* strip = dialog->Strip();
    QTRY_VERIFY_WITH_TIMEOUT(
        strip->Envelope() != nullptr && strip->Envelope()->FramesAdded() == strip->Frames(), 10000);
    QVERIFY(dialog->SetLoop(2.2, 3.6));
    (void)dialog->Player()->Next(6000);
    QTRY_COMPARE(strip->Playhead(), static_cast<std::uint64_t>(16000 * 2.2 + 6000));
    dialog->repaint();
    const QPixmap shot = dialog->grab();
    const qreal ratio = shot.devicePixelRatio();
    QCOMPARE(shot.size(), dialog->size() * ratio);
    QCOMPARE(dialog->Painter()->GridPicture().devicePixelRatio(), ratio);
    QCOMPARE(dialog->Editors()[1]->Picture()->pixmap().devicePixelRatio(), ratio >= 2 ? 2.0 : 1.0);
    // The envelope's colour inside the selection's shade, over the middle of the strip.
    const QImage image = strip->grab().toImage();
    const int middle =
        static_cast<int>((CRecordingStrip::kHeight - CRecordingStrip::kAxisHeight) * 0.5 * ratio);
    const int x = static_cast<int>(strip->XOf(16000 * 3) * ratio);
    QVERIFY(image.pixelColor(x, middle).blue() > 150);
  }

 private:
  static constexpr std::size_t kBurstFrames = 800;
  // Where the bursts of the hour start, frames: at 0:01, 30:02 and 59:57, inside the columns
  // of 5 s the test looks at (not on a bucket that crosses into the column before).
  static constexpr std::uint64_t kBurstsAt[] = {8000, 8000ULL * 1802, 8000ULL * 3597};
  static constexpr float kBurst = 16000.0F;

  static std::int16_t Burst(std::size_t i) {
    return static_cast<std::int16_t>(
        kBurst * std::sin(2 * kPi * 440 * static_cast<double>(i) / 8000) >= 0 ? kBurst : -kBurst);
  }

  // A mono 16-bit WAVE file of `frames` frames at 8 kHz: a header, then a data chunk left
  // sparse (silence, no disk) but for the bursts.
  static void WriteSparseHour(const std::string& path, std::uint64_t frames) {
    std::vector<std::uint8_t> header;
    testsupport::PutText(header, "RIFF");
    testsupport::Put32(header, static_cast<std::uint32_t>(36 + frames * 2));
    testsupport::PutText(header, "WAVE");
    testsupport::PutText(header, "fmt ");
    const std::vector<std::uint8_t> fmt = testsupport::FmtBody(1, 1, 8000, 16);
    testsupport::Put32(header, static_cast<std::uint32_t>(fmt.size()));
    header.insert(header.end(), fmt.begin(), fmt.end());
    testsupport::PutText(header, "data");
    testsupport::Put32(header, static_cast<std::uint32_t>(frames * 2));
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()),
              static_cast<std::streamsize>(header.size()));
    std::vector<std::int16_t> burst(kBurstFrames);
    for (std::size_t i = 0; i < kBurstFrames; ++i) {
      burst[i] = Burst(i);
    }
    const std::vector<std::uint8_t> bytes = testsupport::Pcm16Bytes(burst);
    for (const std::uint64_t at : kBurstsAt) {
      out.seekp(static_cast<std::streamoff>(header.size() + at * 2));
      out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
    }
    // The rest of the data chunk: a hole up to its last byte.
    out.seekp(static_cast<std::streamoff>(header.size() + frames * 2 - 1));
    out.put('\0');
  }

  std::unique_ptr<CTonvaleDlg> OpenOn(const std::string& path) {
    auto dialog = MakeDialog(false, nullptr, path);
    dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog.get()) ||
        !QTest::qWaitFor([&dialog] { return dialog->HasSpectrum(); }, 20000)) {
      qWarning("no window or no spectrum");
    }
    return dialog;
  }
};

QObject* MakeRecordingStripTest() { return new RecordingStripTest; }

#include "RecordingStripTest.moc"
