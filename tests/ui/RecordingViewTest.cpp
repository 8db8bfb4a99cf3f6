// A recording in the window: its spectrum under the curve, listening through the bands with a
// loop, and where the controls sit for each window width.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "analysis/LongTermPower.h"
#include "tests/ui/UiFixture.h"
#include "ui/ButtonST.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/RecordingPlayer.h"

class RecordingViewTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  // A 1 kHz tone with 50 Hz hum 12 dB below it: the spectrum comes from the worker, the rate
  // switches to the recording's own (added to the list), the peaks sit on the grid's columns
  // for 1 kHz and 50 Hz, and an edit moves the line after the EQ by the response without a new
  // analysis.
  void theSpectrumPeaksWhereTheToneAndTheHumAre() {
    std::vector<std::int16_t> samples = Recording();
    auto dialog = OpenOn(samples);
    QCOMPARE(dialog->RateList()->currentText(), QStringLiteral("22050"));
    QCOMPARE(m_config.defaultSampleRate, 22050);
    CDlgEQPainter* graph = dialog->Painter();
    const std::vector<std::int32_t> before = graph->SpectrumBefore();
    QCOMPARE(static_cast<std::uint32_t>(before.size()), m_graph.width);
    auto column = [this](double freq) {
      return static_cast<std::size_t>(std::lround(FreqToX(m_graph, freq)));
    };
    auto peak = [&before](std::size_t from, std::size_t to) {
      return static_cast<std::size_t>(std::min_element(before.begin() + from, before.begin() + to) -
                                      before.begin());
    };
    // The tone is the maximum, on the top line; the hum the highest point around 50 Hz, about
    // 12 dB lower (a Hann window's bins read a sine up to 1.4 dB low between them). Each peak
    // lies within one bin of the transform (5.4 Hz here) of its frequency.
    const double bin = 22050.0 / SpectrumFftSize(22050);
    const std::size_t tone = peak(0, before.size());
    QVERIFY2(std::abs(XToFreq(m_graph, static_cast<double>(tone)) - 1000) <= bin,
             qPrintable(QString::number(tone)));
    QVERIFY(std::abs(before[tone]) <= 1);
    const std::size_t hum = peak(column(35), column(70));
    QVERIFY2(std::abs(XToFreq(m_graph, static_cast<double>(hum)) - 50) <= bin,
             qPrintable(QString::number(hum)));
    const double rowsPerDb = m_graph.height / (m_graph.topDb - m_graph.bottomDb);
    QVERIFY2(std::abs(before[hum] - 12.04 * rowsPerDb) <= 2 * rowsPerDb,
             qPrintable(QString::number(before[hum])));

    dialog->Editors()[6]->EnableBox()->click();  // the bell nearest 1 kHz, +10 dB
    QCOMPARE(dialog->SpectrumAnalyses(), 1);
    QCOMPARE(graph->SpectrumBefore(), before);
    const std::vector<double>& response = m_calculator.ResponseDb();
    for (std::size_t x = 0; x < before.size(); ++x) {
      const std::int32_t moved = graph->SpectrumAfter()[x] - before[x];
      QVERIFY2(std::abs(moved + response[x] * rowsPerDb) <= 1.0, qPrintable(QString::number(x)));
    }
  }

  // What plays is what the conversion writes for the same samples, as floats; a loop plays
  // what a conversion of the selection alone writes, round after round; A/B bypasses.
  void thePlayerLoopsTheConversionsSamples() {
    std::vector<std::int16_t> samples = Recording();
    auto dialog = OpenOn(samples);
    RecordingPlayer* player = dialog->Player();
    QVERIFY(player != nullptr);
    QVERIFY(dialog->PlayButton()->isEnabled());
    dialog->Editors()[3]->EnableBox()->click();  // a bell more, set through the window
    QCOMPARE(m_table[3].enable, 1);
    ExpectPlays(*player, ConvertedPart(samples, 22050), 5000);

    QVERIFY(dialog->SetLoop(0.5, 1.0));  // frames 11025 to 22050
    QCOMPARE(player->LoopFirst(), std::size_t{11025});
    QCOMPARE(player->LoopEnd(), std::size_t{22050});
    QVERIFY(dialog->PlayButton()->toolTip().contains(QStringLiteral("0.50 s to 1.00 s")));
    ExpectPlays(*player, ConvertedPart({samples.begin() + 11025, samples.begin() + 22050}, 22050),
                11025 + 300);
    QVERIFY(dialog->SetLoop(3.0, 3.0));  // nothing selected: the whole recording again
    QCOMPARE(player->LoopEnd(), samples.size());

    dialog->AbButton()->click();
    QCOMPARE(dialog->AbButton()->text(), QStringLiteral("EQ off"));
    QCOMPARE(player->Next(10)[0], static_cast<float>(samples[300]) / 32768.0F);
    // Without a device the button says so; with one it plays and stops.
    dialog->PlayButton()->click();
    const QString state = dialog->PlayButton()->text();
    QVERIFY2(state == QStringLiteral("No audio device") || state == QStringLiteral("Stop") ||
                 state == QStringLiteral("Rate not playable"),
             qPrintable(state));
    if (state == QStringLiteral("Stop")) {
      dialog->PlayButton()->click();
    }

    CaptureReports(*dialog);
    dialog->OpenRecording(QString::fromStdString(m_dir.File("missing.wav")));
    QTRY_VERIFY_WITH_TIMEOUT(m_report.count > 0, 10000);
    QVERIFY(m_report.text.startsWith(QStringLiteral("The recording cannot be read")));
  }

  // A second recording opened while the first, ten minutes long, is still being read: the
  // window does not wait for the first read, which stops unseen, and shows the second.
  void openingARecordingStopsTheReadOfTheOneBefore() {
    std::vector<std::int16_t> talk(16000 * 600);
    std::uint32_t state = 1;
    for (auto& sample : talk) {
      state = state * 1664525U + 1013904223U;
      sample = static_cast<std::int16_t>(state >> 20);
    }
    const std::string longer = WriteWave("talk.wav", talk, 16000);
    talk = {};
    const std::string tone = WriteWave("tone.wav", Recording(), 22050);
    auto dialog = MakeDialog();
    dialog->OpenRecording(QString::fromStdString(longer));
    dialog->OpenRecording(QString::fromStdString(tone));
    QTRY_VERIFY_WITH_TIMEOUT(dialog->HasSpectrum(), 60000);
    QCOMPARE(dialog->SpectrumAnalyses(), 1);
    QCOMPARE(dialog->RateList()->currentText(), QStringLiteral("22050"));
    QCOMPARE(dialog->Player()->Pcm().sampleRate, 22050.0);
  }

  // The controls take the top row where it has room and otherwise a strip over the graph's
  // top-right corner; the window's size follows the editors alone either way.
  void theControlsSitInTheTopRowOrOverTheGraphsCorner() {
    for (const int bands : {2, 3, 10, 16}) {
      Reset(bands);
      auto dialog = MakeDialog();
      const int editor = dialog->Editors()[0]->width();
      QCOMPARE(dialog->width(), bands * editor);
      const QWidget* open = dialog->OpenRecordingButton();
      const QWidget* play = dialog->PlayButton();
      const QWidget* ab = dialog->AbButton();
      const QWidget* graph = dialog->Painter();
      const bool openOver = open->parentWidget() == graph;
      const bool playOver = play->parentWidget() == graph;
      QCOMPARE(openOver, bands <= 3);
      QCOMPARE(playOver, bands <= 10);
      QCOMPARE(ab->parentWidget() == graph, bands <= 10);
      if (playOver) {
        QCOMPARE(ab->geometry().right(), graph->width() - 5);
        QCOMPARE(ab->y(), 4);
        QVERIFY(play->geometry().right() < ab->x());
      } else {
        QCOMPARE(play->y(), dialog->ConvertButton()->y());
        QVERIFY(ab->geometry().right() < dialog->OkButton()->x());
      }
      if (openOver) {
        QVERIFY(open->geometry().right() < play->x());
        QVERIFY(open->x() >= 0);
      }
      QVERIFY(open->isVisible() && play->isVisible() && ab->isVisible());
    }
  }

 private:
  // Two seconds at 22050 Hz: a 1 kHz tone and 50 Hz hum a quarter of its amplitude.
  static std::vector<std::int16_t> Recording() {
    std::vector<std::int16_t> samples(22050 * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double t = static_cast<double>(i) / 22050.0;
      samples[i] = static_cast<std::int16_t>(8000 * std::sin(2 * 3.141592653589793 * 1000 * t) +
                                             2000 * std::sin(2 * 3.141592653589793 * 50 * t));
    }
    return samples;
  }

  std::unique_ptr<CTonvaleDlg> OpenOn(const std::vector<std::int16_t>& samples) {
    auto dialog = MakeDialog(false, nullptr, WriteWave("tone.wav", samples, 22050));
    if (!QTest::qWaitFor([&dialog] { return dialog->HasSpectrum(); }, 10000)) {
      qWarning("no spectrum");
    }
    return dialog;
  }
};

QObject* MakeRecordingViewTest() { return new RecordingViewTest; }

#include "RecordingViewTest.moc"
