// The interactive window on Qt's offscreen platform.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "eq/PcmFilter.h"
#include "settings/AppConfig.h"
#include "settings/LiveFlag.h"
#include "settings/UserSettings.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/DialogUnits.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"
#include "ui/EqEvents.h"
#include "ui/SpinArrows.h"
#include "ui/TonvaleDlg.h"

namespace {

// Counts the band-changed messages reaching the main window.
class MessageCounter : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == BandChangedEvent::kType;
    return false;
  }
};

}  // namespace

class TonvaleDlgTest : public QObject {
  Q_OBJECT

 private:
  // The shipped configuration, read from the built-in default file.
  void LoadShippedConfig() {
    m_config = AppConfig{};
    QVERIFY(LoadAppConfig(m_dir.File("tonvale.ini"), m_config) == 1);
  }

  std::unique_ptr<CTonvaleDlg> MakeDialog(bool hasAccessSetting = false,
                                          std::function<bool()> save = nullptr) {
    InteractiveContext context{m_config, m_table, m_graph, m_calculator, hasAccessSetting,
                               m_dir.File("tonvale.ini"), std::move(save)};
    auto dialog = std::make_unique<CTonvaleDlg>(context);
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get())) {
      qWarning("window not exposed");
    }
    return dialog;
  }

  testsupport::TempDir m_dir;
  AppConfig m_config;
  EqBandTable m_table;
  EqGraphParams m_graph;
  CBQCalculator m_calculator;

 private slots:
  void init() {
    m_dir.~TempDir();
    new (&m_dir) testsupport::TempDir();
    LoadShippedConfig();
    m_table.clear();
    ApplyDefaultSettings(m_config, m_table);
    m_graph = EqGraphParams{};
  }

  void layoutFollowsTheEditorsAndThePainterHeight() {
    auto dialog = MakeDialog(false);
    const auto& editors = dialog->Editors();
    QCOMPARE(editors.size(), std::size_t{10});
    const int w = editors[0]->width();
    const int h = editors[0]->height();
    QCOMPARE(dialog->width(), 10 * w);
    QCOMPARE(dialog->height(), h + dialog->RateList()->height() + 320);
    QCOMPARE(dialog->CancelButton()->geometry().right() + 1, dialog->width());
    QCOMPARE(dialog->CancelButton()->y(), 0);
    QCOMPARE(dialog->OkButton()->geometry().right() + 1, dialog->CancelButton()->x());
    QVERIFY(dialog->ConvertButton()->isVisible());
    QVERIFY(!dialog->OkButton()->isVisible());
    QVERIFY(!dialog->CancelButton()->isVisible());
    QCOMPARE(editors[9]->x(), 9 * w);
    QCOMPARE(dialog->Painter()->geometry(), QRect(0, h + dialog->RateList()->height(), 10 * w, 320));
    QCOMPARE(m_graph.width, static_cast<std::uint32_t>(10 * w));
    QCOMPARE(m_graph.height, 320U);
    QCOMPARE(editors[2]->Title()->text(), QStringLiteral("Band03"));

    auto settings = MakeDialog(true);
    QVERIFY(settings->OkButton()->isVisible());
    QVERIFY(settings->CancelButton()->isVisible());
    QVERIFY(!settings->ConvertButton()->isVisible());
    QCOMPARE(settings->windowTitle(), QStringLiteral("Tonvale"));
  }

  void startUpReadsEveryBandBackThroughItsFields() {
    m_table[1].qual = 0.707;
    m_table[1].centFreq = 250.7;
    m_table[1].gain = -3.456;
    auto dialog = MakeDialog();
    QCOMPARE(dialog->Editors()[1]->Field(0)->text(), QStringLiteral("250"));
    QCOMPARE(dialog->Editors()[1]->Field(1)->text(), QStringLiteral("0.71"));
    QCOMPARE(m_table[1].qual, 0.71);
    QCOMPARE(m_table[1].centFreq, 250.0);
    QCOMPARE(m_table[1].gain, -3.46);
    QCOMPARE(m_table[0].cutoffFreq, 11.0);  // 11.204082 shown as a whole number
  }

  void sampleRateChangeUpdatesLimitsButKeepsShownValues() {
    m_config.defaultSampleRate = 48000;
    m_table[3].centFreq = 10000;
    auto dialog = MakeDialog();
    QCOMPARE(dialog->RateList()->currentText(), QStringLiteral("48000"));
    dialog->RateList()->setCurrentIndex(0);  // 8000
    QCOMPARE(m_config.defaultSampleRate, 8000);
    CBandFloatNumEdit* centre = dialog->Editors()[3]->Field(0);
    QCOMPARE(centre->text(), QStringLiteral("10000"));
    QCOMPARE(m_table[3].centFreq, 10000.0);
    QCOMPARE(centre->maxValue, 4000.0);
    QCOMPARE(m_graph.maxFreq, 4000.0);
    centre->StepValue(-1);
    QCOMPARE(centre->text(), QStringLiteral("4000"));
  }

  void missingRateFallsBackToTheFirstOfTheList() {
    m_config.defaultSampleRate = 22050;
    auto dialog = MakeDialog();
    QCOMPARE(m_config.defaultSampleRate, 8000);
    QCOMPARE(dialog->RateList()->currentIndex(), 0);
    QCOMPARE(m_graph.sampleRate, 8000.0);
  }

  void steppingClampsAndAlwaysReports() {
    auto dialog = MakeDialog();
    MessageCounter counter;
    dialog->installEventFilter(&counter);
    CDlgEQController* bell = dialog->Editors()[1];
    CBandFloatNumEdit* gain = bell->Field(2);
    gain->SetValue(29.9);
    emit bell->Spin(2)->DeltaPos(-1);  // up
    QCOMPARE(gain->text(), QStringLiteral("30.00"));
    emit bell->Spin(2)->DeltaPos(-1);
    QCOMPARE(gain->text(), QStringLiteral("30.00"));
    QCOMPARE(counter.count, 2);

    CBandFloatNumEdit* qual = bell->Field(1);
    qual->SetValue(0.01);
    qual->StepValue(1);  // down
    QCOMPARE(qual->text(), QStringLiteral("0.01"));

    CBandFloatNumEdit* centre = bell->Field(0);
    centre->minValue = 0;  // shown unclamped, as at start-up
    centre->SetValue(250.7);
    QCOMPARE(centre->text(), QStringLiteral("250"));
    dialog->Editors()[1]->UpdateLimits();
    centre->StepValue(-1);
    QCOMPARE(centre->text(), QStringLiteral("260"));
  }

  void highPassLimitsFollowTheOtherFrequency() {
    m_table[0].cutoffFreq = 1000;
    m_table[0].stopFreq = 500;
    auto dialog = MakeDialog();
    CDlgEQController* highPass = dialog->Editors()[0];
    QCOMPARE(highPass->Field(1)->maxValue, 980.0);
    QVERIFY(qAbs(highPass->Field(0)->minValue - 510.204) < 0.001);

    // A cutoff of 10 with minFreqValue 10: the stop field's maximum 9.8 wins over its minimum.
    highPass->Field(0)->setText(QStringLiteral("10"));
    highPass->UpdateLimits();
    highPass->Field(1)->StepValue(-1);
    QCOMPARE(highPass->Field(1)->text(), QStringLiteral("9"));
  }

  void characterFilterPassesOnlyWhatANumberNeeds() {
    auto dialog = MakeDialog();
    CDlgEQController* bell = dialog->Editors()[1];
    CBandFloatNumEdit* qual = bell->Field(1);
    CBandFloatNumEdit* centre = bell->Field(0);
    CBandFloatNumEdit* gain = bell->Field(2);
    qual->setText(QString());
    QTest::keyClicks(qual, QStringLiteral("-1.5.x "));
    QCOMPARE(qual->text(), QStringLiteral("1.5"));
    centre->setText(QString());
    QTest::keyClicks(centre, QStringLiteral("12.5"));
    QCOMPARE(centre->text(), QStringLiteral("125"));
    gain->setText(QString());
    QTest::keyClicks(gain, QStringLiteral("-3..5--"));
    QCOMPARE(gain->text(), QStringLiteral("-3.5"));
    QTest::keyClick(gain, Qt::Key_Backspace);
    QCOMPARE(gain->text(), QStringLiteral("-3."));
    QTest::keyClicks(gain, QStringLiteral("x"), Qt::ShiftModifier);  // Shift lets anything through
    QCOMPARE(gain->text(), QStringLiteral("-3.x"));
  }

  void enterCommitsAndOkSavesWhatIsShown() {
    auto dialog = MakeDialog(true);
    CDlgEQController* bell = dialog->Editors()[2];
    CBandFloatNumEdit* gain = bell->Field(2);
    gain->setFocus();
    gain->selectAll();
    QTest::keyClicks(gain, QStringLiteral("7.5"));
    QCOMPARE(m_table[2].gain, 10.0);  // typed, not committed yet
    QTest::keyClick(gain, Qt::Key_Return);
    QCOMPARE(m_table[2].gain, 7.5);
    QCOMPARE(gain->text(), QStringLiteral("7.5"));

    // Typed and then OK: the value is committed before the window closes.
    gain->selectAll();
    QTest::keyClicks(gain, QStringLiteral("-4"));
    dialog->accept();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(m_table[2].gain, -4.0);
  }

  // OK saves the bands; when the save fails the user is told and the window stays open, so
  // that the edits are not lost without a word.
  void okSavesAndAFailedSaveKeepsTheWindowOpen() {
    bool saveWorks = false;
    int saves = 0;
    auto dialog = MakeDialog(true, [&] {
      ++saves;
      return saveWorks;
    });
    QString message;
    dialog->SetReportSink([&](const QString&, const QString& text, bool) { message = text; });
    dialog->accept();
    QCOMPARE(saves, 1);
    QVERIFY(dialog->isVisible());
    QVERIFY(message.contains(QStringLiteral("could not be saved")));
    saveWorks = true;
    dialog->accept();
    QCOMPARE(saves, 2);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Accepted));

    auto conversion = MakeDialog(false, [&] { return ++saves > 0; });
    conversion->accept();
    QCOMPARE(saves, 2);  // without a settings file nothing is saved
  }

  void disabledBandChangesUpdateTheTableWithoutRedrawing() {
    auto dialog = MakeDialog();
    CDlgEQController* bell = dialog->Editors()[4];
    const int before = dialog->CurveRefreshCount();
    bell->Field(2)->StepValue(-1);
    QCOMPARE(m_table[4].gain, 10.2);
    QCOMPARE(dialog->CurveRefreshCount(), before);
    bell->EnableBox()->click();
    QCOMPARE(m_table[4].enable, 1U);
    QCOMPARE(dialog->CurveRefreshCount(), before + 1);
    bell->EnableBox()->click();
    QCOMPARE(m_table[4].enable, 0U);
    QCOMPARE(dialog->CurveRefreshCount(), before + 2);
  }

  void tooltipsShowTheFieldTextAndTheFilterKind() {
    auto dialog = MakeDialog();
    CDlgEQController* bell = dialog->Editors()[2];
    QCOMPARE(bell->ToolTipFor(bell->Picture()), QStringLiteral("Bell filter (Band03)"));
    QCOMPARE(dialog->Editors()[0]->ToolTipFor(dialog->Editors()[0]->Picture()),
             QStringLiteral("High Pass filter (Band01)"));
    QCOMPARE(dialog->Editors()[9]->ToolTipFor(dialog->Editors()[9]->Picture()),
             QStringLiteral("Low Pass filter (Band10)"));
    QCOMPARE(bell->ToolTipFor(bell->Field(2)), QStringLiteral("10.00"));
    bell->Field(2)->setText(QString());
    QCOMPARE(bell->ToolTipFor(bell->Field(2)), QString());
  }

  void gridMatchesTheWorkedExample() {
    EqGraphParams p;
    p.sampleRate = 16000;
    p.width = 800;
    p.height = 320;
    p.minFreq = 10;
    p.maxFreq = 8000;
    p.topDb = 30;
    p.bottomDb = -30;
    std::vector<GridLine> freq;
    std::vector<GridLine> db;
    CDlgEQPainter::ComputeGrid(p, freq, db);
    std::vector<int> majors;
    std::vector<int> labels;
    for (const GridLine& line : freq) {
      if (line.kind == 0) {
        majors.push_back(static_cast<int>(line.position));
        labels.push_back(static_cast<int>(line.value));
      }
    }
    QCOMPARE(majors, (std::vector<int>{0, 160, 320, 480, 640, 800}));
    QCOMPARE(labels, (std::vector<int>{10, 38, 145, 554, 2115, 8000}));
    std::vector<int> minors;
    for (std::size_t i = 1; i <= 8; ++i) minors.push_back(static_cast<int>(freq[i].position));
    QCOMPARE(minors, (std::vector<int>{48, 76, 96, 111, 124, 135, 144, 152}));
    std::vector<int> dbMajors;
    std::vector<int> dbLabels;
    for (const GridLine& line : db) {
      if (line.kind == 0) {
        dbMajors.push_back(static_cast<int>(line.position));
        dbLabels.push_back(static_cast<int>(line.value));
      }
    }
    QCOMPARE(dbMajors, (std::vector<int>{0, 80, 160, 240, 320}));
    QCOMPARE(dbLabels, (std::vector<int>{30, 15, 0, -15, -30}));
    QCOMPARE(static_cast<int>(db[1].position), 16);
    p.width = 4;
    CDlgEQPainter::ComputeGrid(p, freq, db);
    QVERIFY(freq.empty());
  }

  void gridIsRedrawnOnRateChangesOnlyAndTheFlatCurveIsTheMiddleRow() {
    auto dialog = MakeDialog();
    CDlgEQPainter* painter = dialog->Painter();
    QTRY_VERIFY(painter->GridDrawCount() >= 1);
    const int draws = painter->GridDrawCount();
    dialog->Editors()[1]->EnableBox()->click();
    painter->repaint();
    QCOMPARE(painter->GridDrawCount(), draws);
    dialog->RateList()->setCurrentIndex(4);
    painter->repaint();
    QCOMPARE(painter->GridDrawCount(), draws + 1);

    dialog->Editors()[1]->EnableBox()->click();  // off again: no band enabled
    painter->repaint();
    const QImage image = painter->grab().toImage();
    for (int x = 5; x < painter->width() - 5; x += 37) {
      QCOMPARE(image.pixelColor(x, 160), QColor(Qt::white));
    }
    QVERIFY(image.pixelColor(400, 100) != QColor(Qt::white));
  }

  void watcherClosesTheWindowWhenTheFlagTurnsZero() {
    m_config.checkLive = 1;
    WriteLiveFlag(m_dir.File("tonvale.ini"), 1);
    auto dialog = MakeDialog(true);
    QVERIFY(dialog->LiveCheckRunning());
    WriteLiveFlag(m_dir.File("tonvale.ini"), 2);
    QTest::qWait(1300);
    QVERIFY(dialog->isVisible());
    WriteLiveFlag(m_dir.File("tonvale.ini"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 2500);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!dialog->LiveCheckRunning());

    m_config.checkLive = 0;
    WriteLiveFlag(m_dir.File("tonvale.ini"), 1);
    auto unwatched = MakeDialog();
    QVERIFY(!unwatched->LiveCheckRunning());
    WriteLiveFlag(m_dir.File("tonvale.ini"), 0);
    QTest::qWait(1200);
    QVERIFY(unwatched->isVisible());
  }

  void convertFileConvertsEachChosenFileBesideItsSource() {
    using namespace testsupport;
    QStringList paths;
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
      const auto bytes = PcmWave(1, 16000, 16, Pcm16Bytes({1, 2, 3, 4, 5, 6}));
      WriteFile(m_dir.File(name), std::string(bytes.begin(), bytes.end()));
      paths << QString::fromStdString(m_dir.File(name));
    }
    auto dialog = MakeDialog();
    QString report;
    bool failed = true;
    dialog->SetFileChooser([&paths](QWidget*) { return paths; });
    dialog->SetReportSink([&](const QString&, const QString& text, bool bad) {
      report = text;
      failed = bad;
    });
    dialog->OnConvertFile();
    QVERIFY(!failed);
    QCOMPARE(report.count(QStringLiteral("Converted ")), 3);
    for (const char* name : {"one_filter.wav", "two_filter.wav", "three_filter.wav"}) {
      QVERIFY(QFile::exists(QString::fromStdString(m_dir.File(name))));
    }

    paths.insert(1, QString::fromStdString(m_dir.File("missing.wav")));
    dialog->OnConvertFile();
    QVERIFY(failed);
    QVERIFY(report.contains(QStringLiteral("Failed: ") + QString::fromStdString(m_dir.File("missing.wav"))));
    QVERIFY(report.contains(QStringLiteral("Error:Can't open the file.")));
    QCOMPARE(report.count(QStringLiteral("Not attempted: ")), 2);
  }

  // The typing limit bounds what a person types or pastes, never what the program shows: a
  // stored value longer than the limit is shown whole and read back whole.
  void typingLimitNeverCutsAShownValue() {
    m_config.bandEditMaxLen = 4;
    m_config.defaultSampleRate = 48000;
    m_table[3].centFreq = 10000;
    auto dialog = MakeDialog();
    CBandFloatNumEdit* centre = dialog->Editors()[3]->Field(0);
    QCOMPARE(centre->text(), QStringLiteral("10000"));
    QCOMPARE(m_table[3].centFreq, 10000.0);
    centre->setFocus();
    centre->end(false);
    QTest::keyClicks(centre, QStringLiteral("5"));
    QCOMPARE(centre->text(), QStringLiteral("10000"));  // no longer than before
    QTest::keyClick(centre, Qt::Key_Backspace);
    QCOMPARE(centre->text(), QStringLiteral("1000"));
    centre->selectAll();
    QTest::keyClicks(centre, QStringLiteral("123456"));
    QCOMPARE(centre->text(), QStringLiteral("1234"));
    centre->selectAll();
    centre->insert(QStringLiteral("987654"));  // as a paste inserts
    QCOMPARE(centre->text(), QStringLiteral("1234"));
    centre->StepValue(-1);  // stepping shows what it must
    QCOMPARE(centre->text(), QStringLiteral("1244"));
  }

  // Tab follows the layout: the top row left to right, then each editor top to bottom; the
  // arrows are no tab stops, the Up and Down keys step the field that has the focus.
  void tabOrderFollowsTheLayoutAndArrowKeysStepTheField() {
    for (const bool settingsMode : {false, true}) {
      auto dialog = MakeDialog(settingsMode);
      dialog->activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
      std::vector<QWidget*> expected = {dialog->RateList()};
      if (settingsMode) {
        expected.push_back(dialog->OkButton());
        expected.push_back(dialog->CancelButton());
      } else {
        expected.push_back(dialog->ConvertButton());
      }
      for (CDlgEQController* editor : dialog->Editors()) {
        for (int row = 0; row < 3; ++row) {
          expected.push_back(editor->Field(row));
        }
        expected.push_back(editor->EnableBox());
      }
      dialog->RateList()->setFocus();
      std::vector<QWidget*> visited = {QApplication::focusWidget()};
      for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
      }
      QVERIFY(visited == expected);
    }
    auto dialog = MakeDialog();
    CBandFloatNumEdit* gain = dialog->Editors()[4]->Field(2);
    gain->setFocus();
    QTest::keyClick(gain, Qt::Key_Up);
    QCOMPARE(gain->text(), QStringLiteral("10.20"));
    QCOMPARE(m_table[4].gain, 10.2);
    QTest::keyClick(gain, Qt::Key_Down);
    QTest::keyClick(gain, Qt::Key_Down);
    QCOMPARE(gain->text(), QStringLiteral("9.80"));
  }

  // When a controlling program clears the flag, no box the window opened may keep the program
  // waiting on a person: each case must close box and window within two seconds.
  void theFlagClosesEveryOpenBoxWithTheWindow() {
    using namespace testsupport;
    m_config.checkLive = 0;  // the flag's message is posted by hand here
    auto clearFlagSoon = [](CTonvaleDlg* dialog, int afterMs) {
      QTimer::singleShot(afterMs, dialog, [dialog] {
        QCoreApplication::postEvent(dialog, new LiveStatusEvent(0));
      });
    };
    auto expectClosedWithin = [](CTonvaleDlg* dialog, QElapsedTimer& clock) {
      QVERIFY(!dialog->isVisible());
      QCOMPARE(dialog->result(), int(QDialog::Rejected));
      QVERIFY(clock.elapsed() < 2000);
      QVERIFY(QApplication::activeModalWidget() == nullptr);
    };

    {  // the message box of a failed save
      auto dialog = MakeDialog(true, [] { return false; });
      QElapsedTimer clock;
      clock.start();
      clearFlagSoon(dialog.get(), 100);
      dialog->accept();
      expectClosedWithin(dialog.get(), clock);
    }
    {  // a file chooser
      auto dialog = MakeDialog();
      dialog->SetFileChooser([](QWidget* owner) {
        QDialog chooser(owner);
        chooser.exec();
        return QStringList{QStringLiteral("never.wav")};
      });
      QElapsedTimer clock;
      clock.start();
      clearFlagSoon(dialog.get(), 100);
      dialog->OnConvertFile();
      expectClosedWithin(dialog.get(), clock);
    }
    {  // the report after a conversion
      const auto bytes = PcmWave(1, 16000, 16, Pcm16Bytes({1, 2, 3, 4}));
      WriteFile(m_dir.File("r.wav"), std::string(bytes.begin(), bytes.end()));
      auto dialog = MakeDialog();
      dialog->SetFileChooser([this](QWidget*) { return QStringList{QString::fromStdString(m_dir.File("r.wav"))}; });
      QElapsedTimer clock;
      clock.start();
      clearFlagSoon(dialog.get(), 300);
      dialog->OnConvertFile();
      expectClosedWithin(dialog.get(), clock);
    }
    {  // the progress dialog of a long run: the run stops, nothing half-written stays
      QStringList paths;
      std::vector<std::int16_t> samples(16000 * 20);
      for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 7);
      const auto bytes = PcmWave(1, 16000, 16, Pcm16Bytes(samples));
      QDir().mkpath(QString::fromStdString(m_dir.File("long")));
      for (int i = 0; i < 40; ++i) {
        const std::string path = m_dir.File("long/f" + std::to_string(100 + i) + ".wav");
        WriteFile(path, std::string(bytes.begin(), bytes.end()));
        paths << QString::fromStdString(path);
      }
      for (EqBand& band : m_table) band.enable = 1;
      auto dialog = MakeDialog();
      dialog->SetFileChooser([&paths](QWidget*) { return paths; });
      bool reported = false;
      dialog->SetReportSink([&reported](const QString&, const QString&, bool) { reported = true; });
      QElapsedTimer clock;
      clock.start();
      clearFlagSoon(dialog.get(), 200);
      dialog->OnConvertFile();
      expectClosedWithin(dialog.get(), clock);
      QVERIFY(!reported);
      int outputs = 0;
      for (const QString& name : QDir(QString::fromStdString(m_dir.File("long"))).entryList(QDir::Files | QDir::Hidden)) {
        QVERIFY2(name.startsWith(QLatin1Char('f')), qPrintable(name));  // no temporary file
        if (name.endsWith(QStringLiteral("_filter.wav"))) {
          ++outputs;
          QCOMPARE(QFileInfo(QDir(QString::fromStdString(m_dir.File("long"))), name).size(),
                   static_cast<qint64>(bytes.size()));  // complete, never partial
        }
      }
      QVERIFY(outputs < 40);
    }
  }

  void screenshotsOfTheWindow() {
    const QFontInfo info(DialogFont());
    QVERIFY2(!info.family().isEmpty() && QFontDatabase::families().contains(info.family()),
             "the dialog font does not resolve to an installed family");
    QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
    {
      auto dialog = MakeDialog();
      QVERIFY(dialog->grab().save(QStringLiteral(SCREENSHOT_DIR "/main-window-default.png")));
    }
    for (EqBand& band : m_table) {
      band.enable = 1;
    }
    m_table[3].gain = -8;
    m_table[6].gain = 6;
    auto dialog = MakeDialog(true);
    QVERIFY(dialog->grab().save(QStringLiteral(SCREENSHOT_DIR "/main-window-all-bands.png")));
  }
};

QTEST_MAIN(TonvaleDlgTest)
#include "TonvaleDlgTest.moc"
