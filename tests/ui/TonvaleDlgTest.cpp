// The main window (on Qt's offscreen platform, and on a real X server).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>
#include <functional>

#include "convert/ConversionReport.h"
#include "settings/LiveFlag.h"
#include "tests/support/RiffBuilder.h"
#include "tests/ui/UiFixture.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/DialogUnits.h"
#include "ui/DlgEQController.h"
#include "ui/DlgEQPainter.h"

class TonvaleDlgTest : public UiFixture {
  Q_OBJECT

 private slots:
  void init() { Reset(); }

  // Without a settings file the window converts; with one it saves (OK) or leaves (Cancel).
  // The response is computed for the painter's own size in pixels.
  void theButtonsFollowTheModeAndTheCurveIsComputedForThePaintersSize() {
    auto dialog = MakeDialog(false);
    QVERIFY(dialog->ConvertButton()->isVisible());
    QVERIFY(!dialog->OkButton()->isVisible());
    QVERIFY(!dialog->CancelButton()->isVisible());
    QCOMPARE(m_graph.width, static_cast<std::uint32_t>(dialog->Painter()->width()));
    QCOMPARE(m_graph.height, static_cast<std::uint32_t>(dialog->Painter()->height()));
    QCOMPARE(dialog->Painter()->Curve().size(), std::size_t{m_graph.width});

    auto settings = MakeDialog(true);
    QVERIFY(settings->OkButton()->isVisible());
    QVERIFY(settings->CancelButton()->isVisible());
    QVERIFY(!settings->ConvertButton()->isVisible());
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
    CaptureReports(*dialog);
    dialog->accept();
    QCOMPARE(saves, 1);
    QVERIFY(dialog->isVisible());
    QVERIFY(m_report.text.contains(QStringLiteral("could not be saved")));
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

  // Waits are on what the watcher has delivered, never on the clock: a window without a
  // watcher has to stay open for as long as a watched one takes to see the flag change.
  void watcherClosesTheWindowWhenTheFlagTurnsZero() {
    WriteLiveFlag(m_dir.File("tonvale.ini"), 1);
    m_config.checkLive = 0;
    auto unwatched = MakeDialog();
    QVERIFY(!unwatched->LiveCheckRunning());
    m_config.checkLive = 1;
    auto dialog = MakeDialog(true);
    QVERIFY(dialog->LiveCheckRunning());

    // A value other than 0 keeps the window open.
    WriteLiveFlag(m_dir.File("tonvale.ini"), 2);
    const int seen = dialog->LiveStatusCount();
    QTRY_VERIFY_WITH_TIMEOUT(dialog->LiveStatusCount() >= seen + 2, 10000);
    QVERIFY(dialog->isVisible());

    WriteLiveFlag(m_dir.File("tonvale.ini"), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->isVisible(), 10000);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!dialog->LiveCheckRunning());
    QVERIFY(unwatched->isVisible());
    QCOMPARE(unwatched->LiveStatusCount(), 0);
  }

  void convertFileConvertsEachChosenFileBesideItsSource() {
    QStringList paths;
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
      paths << QString::fromStdString(WriteWave(name, {1, 2, 3, 4, 5, 6}));
    }
    auto dialog = MakeDialog();
    dialog->SetFileChooser([&paths](QWidget*) { return paths; });
    CaptureReports(*dialog);
    dialog->OnConvertFile();
    const QString& report = m_report.text;
    QVERIFY(!m_report.failed);
    QCOMPARE(report.count(QStringLiteral("Converted ")), 3);
    for (const char* name : {"one_filter.wav", "two_filter.wav", "three_filter.wav"}) {
      QVERIFY(QFile::exists(QString::fromStdString(m_dir.File(name))));
    }

    // A failed file first: the person is asked, and Stop leaves the files not yet started
    // unattempted (files another thread converts before the failure is known still finish;
    // with twenty behind the failure, some are always left).
    for (int i = 0; i < 20; ++i) {
      paths << QString::fromStdString(
          WriteWave("more" + std::to_string(i) + ".wav", {1, 2, 3, 4, 5, 6}));
    }
    paths.insert(0, QString::fromStdString(m_dir.File("missing.wav")));
    int asked = 0;
    bool answer = false;
    QString askedAbout;
    bool overProgress = false;
    dialog->SetFailurePrompt([&](QWidget* owner, const ConversionOutcome& outcome) {
      ++asked;
      askedAbout = QString::fromStdString(outcome.sourcePath);
      overProgress = qobject_cast<QProgressDialog*>(owner) != nullptr && owner->isVisible();
      return answer;
    });
    dialog->OnConvertFile();
    QVERIFY(m_report.failed);
    QCOMPARE(asked, 1);
    QVERIFY(overProgress);
    QCOMPARE(askedAbout, QString::fromStdString(m_dir.File("missing.wav")));
    QVERIFY(report.contains(QStringLiteral("Failed: ") +
                            QString::fromStdString(m_dir.File("missing.wav"))));
    QVERIFY(report.contains(QStringLiteral("Error:Can't open the file.")));
    QCOMPARE(report.count(QStringLiteral("Not attempted: ")) +
                 report.count(QStringLiteral("Converted ")),
             23);
    QVERIFY(report.count(QStringLiteral("Not attempted: ")) >= 1);

    // Continue converts every other file.
    answer = true;
    asked = 0;
    dialog->OnConvertFile();
    QVERIFY(m_report.failed);
    QCOMPARE(asked, 1);
    QCOMPARE(report.count(QStringLiteral("Converted ")), 23);
    QCOMPARE(report.count(QStringLiteral("Not attempted: ")), 0);
  }

  // The chooser offers every kind this build reads, and a chosen FLAC file converts beside its
  // source as FLAC.
  void convertFileTakesEveryReadableKind() {
    const QString filter = SpeechFileFilter();
    QVERIFY(filter.startsWith(QStringLiteral("Speech Files (*.wav *.wio")));
    QVERIFY(filter.endsWith(QStringLiteral(");;All Files (*)")));
    if (ConvertibleFileExtensions().size() <= 2) {
      QSKIP("this build reads WAVE only");
    }
    for (const char* pattern : {"*.flac", "*.ogg", "*.opus", "*.mp3", "*.aiff", "*.caf", "*.w64"}) {
      QVERIFY2(filter.contains(QLatin1String(pattern)), pattern);
    }
    const std::string source = m_dir.File("take.flac");
    QVERIFY(QFile::copy(QStringLiteral(TEST_DATA_DIR "/format-flac16-sox.flac"),
                        QString::fromStdString(source)));
    auto dialog = MakeDialog();
    dialog->SetFileChooser(
        [&source](QWidget*) { return QStringList{QString::fromStdString(source)}; });
    CaptureReports(*dialog);
    dialog->OnConvertFile();
    QCOMPARE(m_report.text, QStringLiteral("Converted ") + QString::fromStdString(source) +
                                QStringLiteral(" to ") +
                                QString::fromStdString(m_dir.File("take_filter.flac")));
    QCOMPARE(testsupport::ReadFile(m_dir.File("take_filter.flac")).substr(0, 4),
             std::string("fLaC"));
  }

  // When a controlling program clears the flag, no box the window opened may keep the program
  // waiting on a person: each case must close box and window. The flag's message is posted as
  // soon as the box shows, however fast the machine (a fixed delay let a fast machine finish a
  // whole run first). A box the flag does not close is closed by a watchdog after a generous
  // minute, which fails the case instead of leaving the test waiting for ever.
  void theFlagClosesEveryOpenBoxWithTheWindow() {
    m_config.checkLive = 0;  // the flag's message is posted by hand here
    const auto messageBoxShown = [] {
      const auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      return box != nullptr && box->isVisible();
    };

    {  // the message box of a failed save
      auto dialog = MakeDialog(true, [] { return false; });
      ExpectClosedOnceShown(dialog.get(), messageBoxShown, [&dialog] { dialog->accept(); });
    }
    {  // a file chooser
      auto dialog = MakeDialog();
      dialog->SetFileChooser([](QWidget* owner) {
        QDialog chooser(owner);
        chooser.exec();
        return QStringList{QStringLiteral("never.wav")};
      });
      ExpectClosedOnceShown(
          dialog.get(), [] { return QApplication::activeModalWidget() != nullptr; },
          [&dialog] { dialog->OnConvertFile(); });
    }
    {  // the report after a conversion
      const QString path = QString::fromStdString(WriteWave("r.wav", {1, 2, 3, 4}));
      auto dialog = MakeDialog();
      dialog->SetFileChooser([path](QWidget*) { return QStringList{path}; });
      ExpectClosedOnceShown(dialog.get(), messageBoxShown, [&dialog] { dialog->OnConvertFile(); });
    }
    {  // the Continue/Stop box of a failed file
      QStringList paths = {QString::fromStdString(m_dir.File("absent.wav")),
                           QString::fromStdString(WriteWave("after.wav", {1, 2, 3, 4}))};
      auto dialog = MakeDialog();
      dialog->SetFileChooser([&paths](QWidget*) { return paths; });
      CaptureReports(*dialog);
      ExpectClosedOnceShown(dialog.get(), messageBoxShown, [&dialog] { dialog->OnConvertFile(); });
      QCOMPARE(m_report.count, 0);
    }
    {  // the progress dialog of a long run: the run stops, nothing half-written stays
      QStringList paths;
      std::vector<std::int16_t> samples(16000 * 60);
      for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(i * 7);
      const auto bytes = testsupport::PcmWave(1, 16000, 16, testsupport::Pcm16Bytes(samples));
      const QDir folder(QString::fromStdString(m_dir.File("long")));
      QDir().mkpath(folder.path());
      for (int i = 0; i < 40; ++i) {
        const std::string path = m_dir.File("long/f" + std::to_string(100 + i) + ".wav");
        testsupport::WriteFile(path, bytes);
        paths << QString::fromStdString(path);
      }
      for (EqBand& band : m_table) band.enable = 1;
      auto dialog = MakeDialog();
      dialog->SetFileChooser([&paths](QWidget*) { return paths; });
      CaptureReports(*dialog);
      CTonvaleDlg* d = dialog.get();
      ExpectClosedOnceShown(
          d,
          [d] {
            const auto* progress = d->findChild<QProgressDialog*>();
            return progress != nullptr && progress->isVisible();
          },
          [d] { d->OnConvertFile(); });
      // The run was stopped while it ran: it reported nothing (a run that had ended would have).
      QCOMPARE(m_report.count, 0);
      for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
        QVERIFY2(name.startsWith(QLatin1Char('f')), qPrintable(name));  // no temporary file
        if (name.endsWith(QStringLiteral("_filter.wav"))) {
          QCOMPARE(QFileInfo(folder, name).size(),
                   static_cast<qint64>(bytes.size()));  // complete, never partial
        }
      }
    }
  }

  // The curve's pixels lie where the response says, and the dialog's font is one the system
  // has. (The screenshots of the README are made by the ui_screenshots tool.)
  void theCurvesPixelsLieWhereTheResponseSays() {
    const QFontInfo info(DialogFont());
    QVERIFY2(!info.family().isEmpty() && QFontDatabase::families().contains(info.family()),
             "the dialog font does not resolve to an installed family");
    for (EqBand& band : m_table) {
      band.enable = 1;
    }
    m_table[3].gain = -8;
    m_table[6].gain = 6;
    auto dialog = MakeDialog(true);
    const QImage graph = dialog->Painter()->grab().toImage();
    const std::vector<std::int32_t>& curve = dialog->Painter()->Curve();
    QCOMPARE(static_cast<int>(curve.size()), graph.width());
    int checked = 0;
    for (int x = 3; x < graph.width() - 3; x += 23) {
      const int y = curve[static_cast<std::size_t>(x)];
      if (y < 2 || y > graph.height() - 3) {
        continue;  // beyond the graph's edge
      }
      bool white = false;
      for (int dy = -1; dy <= 1; ++dy) {
        const QColor c = graph.pixelColor(x, y + dy);
        white = white || (c.red() > 200 && c.green() > 200 && c.blue() > 200);
      }
      QVERIFY2(white,
               qPrintable(QStringLiteral("no curve pixel at column %1, row %2").arg(x).arg(y)));
      ++checked;
    }
    QVERIFY(checked > 20);
  }

 private:
  // Opens a box with `open` and, once `shown` says it shows, posts the flag's 0: the box and the
  // window must close.
  static void ExpectClosedOnceShown(CTonvaleDlg* dialog, const std::function<bool()>& shown,
                                    const std::function<void()>& open) {
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, dialog, [&poll, &shown, dialog] {
      if (shown()) {
        poll.stop();
        QCoreApplication::postEvent(dialog, new LiveStatusEvent(0));
      }
    });
    bool stuck = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    watchdog.setInterval(60000);
    QObject::connect(&watchdog, &QTimer::timeout, dialog, [&stuck] {
      stuck = true;
      while (QWidget* box = QApplication::activeModalWidget()) {
        box->close();
        if (QApplication::activeModalWidget() == box) {
          break;
        }
      }
    });
    poll.start();
    watchdog.start();
    open();
    watchdog.stop();
    QVERIFY2(!stuck, "a box stayed open after the flag turned 0");
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }
};

#include "TonvaleDlgTest.moc"

QObject* MakeTonvaleDlgTest() { return new TonvaleDlgTest; }
