#pragma once

// What every window test starts from: the shipped configuration, the default band set, a
// fresh folder, and a way to open the main window (on Qt's offscreen platform or a real X
// server).
#include <QTest>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "eq/band/EqBand.h"
#include "eq/design/FilterChain.h"
#include "eq/filter/PcmFilter.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"
#include "settings/UserSettings.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"
#include "ui/EqEvents.h"
#include "ui/RecordingPlayer.h"
#include "ui/TonvaleDlg.h"

class UiFixture : public QObject {
 protected:
  // The shipped configuration, read from the built-in default file, and its default bands (of
  // `bands` bands instead of the configuration's number when that is given).
  void Reset(int bands = 0) {
    m_dir.~TempDir();
    new (&m_dir) testsupport::TempDir();
    m_config = AppConfig{};
    QVERIFY(LoadAppConfig(m_dir.File("tonvale.ini"), m_config) == 1);
    if (bands > 0) {
      m_config.bandNum = bands;
    }
    m_table.clear();
    ApplyDefaultSettings(m_config, m_table);
    m_graph = EqGraphParams{};
    m_report = Report{};
  }

  std::unique_ptr<CTonvaleDlg> MakeDialog(bool hasAccessSetting = false,
                                          std::function<bool()> save = nullptr,
                                          std::string openRecording = std::string()) {
    InteractiveContext context{m_config,         m_table,
                               m_graph,          m_calculator,
                               hasAccessSetting, m_dir.File("tonvale.ini"),
                               std::move(save),  std::move(openRecording),
                               std::string()};
    auto dialog = std::make_unique<CTonvaleDlg>(context);
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get())) {
      qWarning("window not exposed");
    }
    return dialog;
  }

  // A mono 16-bit wave file `name` of `samples` at `rate` Hz in the test's folder; its path.
  std::string WriteWave(const std::string& name, const std::vector<std::int16_t>& samples,
                        std::uint32_t rate = 16000) {
    testsupport::WriteFile(m_dir.File(name),
                           testsupport::PcmWave(1, rate, 16, testsupport::Pcm16Bytes(samples)));
    return m_dir.File(name);
  }

  // `part`, mono 16-bit samples at `rate` Hz, through the bands from silence: what a conversion
  // of them alone writes, as the player's floats.
  std::vector<float> ConvertedPart(std::vector<std::int16_t> part, double rate) const {
    FilterChain chain;
    DesignBandFilters(m_table, chain, rate);
    FilterSamples(FilterKernel::Plain, {SampleEncoding::Pcm16, 0}, part.data(),
                  static_cast<std::uint32_t>(part.size()), chain, 1);
    std::vector<float> floats(part.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
      floats[i] = static_cast<float>(part[i]) / 32768.0F;
    }
    return floats;
  }

  // Presses on `widget` at `from`, moves to `to` in four steps and releases there.
  static void Drag(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    for (int i = 1; i <= 4; ++i) {
      QTest::mouseMove(widget, from + (to - from) * i / 4);
    }
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
  }

  // The player's next `count` frames are `loop`, round after round.
  static void ExpectPlays(RecordingPlayer& player, const std::vector<float>& loop,
                          std::size_t count) {
    const std::vector<float> played = player.Next(count);
    for (std::size_t i = 0; i < played.size(); ++i) {
      QCOMPARE(played[i], loop[i % loop.size()]);
    }
  }

  // What the window last reported, taken in place of its message box by CaptureReports.
  struct Report {
    QString title;
    QString text;
    bool failed = false;
    int count = 0;
  };
  void CaptureReports(CTonvaleDlg& dialog) {
    dialog.SetReportSink([this](const QString& title, const QString& text, bool failed) {
      m_report = {title, text, failed, m_report.count + 1};
    });
  }

  testsupport::TempDir m_dir;
  Report m_report;
  AppConfig m_config;
  EqBandTable m_table;
  EqGraphParams m_graph;
  CBQCalculator m_calculator;
};

// Counts the band-changed messages reaching the main window.
class MessageCounter : public QObject {
 public:
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    count += event->type() == BandChangedEvent::kType;
    return false;
  }
};
