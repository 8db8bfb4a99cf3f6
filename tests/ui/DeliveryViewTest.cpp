// The window's delivery: the opened recording's loudness and true peak before and after the
// bands, measured on a worker thread and again after an edit, against levels worked out by
// hand; and Convert File's delivery choice, "As the source" by default, converting as the
// command line's /deliver does.
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <cmath>
#include <memory>
#include <vector>

#include "convert/ConversionJob.h"
#include "delivery/DeliverySettings.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiFixture.h"
#include "ui/BandFloatNumEdit.h"

namespace {

// Four seconds of a 1 kHz sine at -20 dBFS, mono at 48 kHz: -23.0 LUFS (a mono channel counts
// half the power of the stereo reference, -3 dB) and a true peak of -20.0 dBTP.
std::vector<std::int16_t> Sine() {
  std::vector<std::int16_t> samples(4 * 48000);
  const double amplitude = 32768.0 * std::pow(10.0, -20.0 / 20.0);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(
        std::lround(amplitude * std::sin(2.0 * 3.141592653589793 * 1000.0 * i / 48000.0)));
  }
  return samples;
}

// The four numbers of the loudness line: before LUFS, true peak, after LUFS, true peak.
std::vector<double> Numbers(const QString& line) {
  static const QRegularExpression number(QStringLiteral("(-?\\d+\\.\\d)"));
  std::vector<double> numbers;
  for (auto it = number.globalMatch(line); it.hasNext();) {
    numbers.push_back(it.next().captured(1).toDouble());
  }
  return numbers;
}

}  // namespace

class DeliveryViewTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  void theLoudnessBeforeAndAfterTheBandsFollowsAnEdit() {
    auto dialog = MakeDialog(false, nullptr, WriteWave("sine.wav", Sine(), 48000));
    QLabel* line = dialog->LoudnessLabel();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->LoudnessMeasurements() >= 1 && line->isVisible(), 20000);
    // The default bands are all off: the same before and after.
    std::vector<double> n = Numbers(line->text());
    QCOMPARE(n.size(), std::size_t{4});
    QVERIFY2(std::fabs(n[0] + 23.0) <= 0.15 && std::fabs(n[1] + 20.0) <= 0.15,
             qPrintable(line->text()));
    QCOMPARE(n[2], n[0]);
    QCOMPARE(n[3], n[1]);

    // A preamp of +6 dB: 6 LU louder after the bands, 6 dB more true peak; before, the same.
    const int measured = dialog->LoudnessMeasurements();
    dialog->PreampField()->setText(QStringLiteral("6"));
    dialog->PreampField()->Commit();
    QVERIFY2(line->text().endsWith(QStringLiteral("After the EQ: measuring...")),
             qPrintable(line->text()));
    QTRY_VERIFY_WITH_TIMEOUT(dialog->LoudnessMeasurements() > measured, 20000);
    const std::vector<double> raised = Numbers(line->text());
    QCOMPARE(raised.size(), std::size_t{4});
    QCOMPARE(raised[0], n[0]);
    QCOMPARE(raised[1], n[1]);
    QVERIFY2(
        std::fabs(raised[2] - (n[0] + 6.0)) <= 0.15 && std::fabs(raised[3] - (n[1] + 6.0)) <= 0.15,
        qPrintable(line->text()));
  }

  void convertFileOffersTheDeliveriesAsTheSourceFirstAndConvertsAsTheCommandLine() {
    QComboBox choice;
    FillDeliveryChoice(choice, QString());
    QCOMPARE(choice.count(), 5);
    QCOMPARE(choice.itemText(0), QStringLiteral("As the source"));
    QCOMPARE(choice.currentIndex(), 0);
    QCOMPARE(choice.currentData().toString(), QString());
    for (int i = 1; i < choice.count(); ++i) {
      QVERIFY(delivery::FindNamedDelivery(choice.itemData(i).toString().toStdString()));
    }
    FillDeliveryChoice(choice, QStringLiteral("archive"));
    QCOMPARE(choice.currentData().toString(), QStringLiteral("archive"));

    auto dialog = MakeDialog();
    QCOMPARE(dialog->DeliveryName(), QString());
    const QString source = QString::fromStdString(WriteWave("take.wav", Sine(), 48000));
    dialog->SetFileChooser([source](QWidget*) { return QStringList{source}; });
    CaptureReports(*dialog);
    dialog->SetDeliveryName(QStringLiteral("speech-recognition"));
    dialog->OnConvertFile();
    QVERIFY(m_report.count == 1 && !m_report.failed);
    // The conversion the command line runs for /deliver:speech-recognition, byte for byte.
    ConversionJob job{.sourcePath = m_dir.File("take.wav"), .outputPath = m_dir.File("cli.wav")};
    job.delivery = *delivery::FindNamedDelivery("speech-recognition");
    QVERIFY(ConvertFile(job, m_table, nullptr, 0).Converted());
    const std::string window = testsupport::ReadFile(m_dir.File("take_filter.wav"));
    QVERIFY(window == testsupport::ReadFile(m_dir.File("cli.wav")));
    // 16 kHz, mono, 16-bit: the format chunk's rate.
    const std::size_t fmt = testsupport::ChunkBodyAt(window, "fmt ");
    QVERIFY(fmt != std::string::npos);
    QCOMPARE(testsupport::Le32At(window, fmt + 4), 16000U);
  }
};

QObject* MakeDeliveryViewTest() { return new DeliveryViewTest; }

#include "DeliveryViewTest.moc"
