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
#include "eq/response/BQCalculator.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"
#include "settings/UserSettings.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"
#include "ui/EqEvents.h"
#include "ui/TonvaleDlg.h"

class UiFixture : public QObject {
 protected:
  // The shipped configuration, read from the built-in default file, and its default bands.
  void Reset() {
    m_dir.~TempDir();
    new (&m_dir) testsupport::TempDir();
    m_config = AppConfig{};
    QVERIFY(LoadAppConfig(m_dir.File("tonvale.ini"), m_config) == 1);
    m_table.clear();
    ApplyDefaultSettings(m_config, m_table);
    m_graph = EqGraphParams{};
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

  testsupport::TempDir m_dir;
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
