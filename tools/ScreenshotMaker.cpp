// Writes the window's screenshots for the README and for people into the folder it is given:
// the window as it opens, with every band on, with a bell being dragged, and with the example
// clip and its settings, also with a selection in its time line. The test command runs it as a
// fixture on Qt's offscreen platform, once at a device-pixel ratio of 1 and once at 2 (the "@2x"
// files). It checks nothing: the window tests do.
//
// Usage: ui_screenshots FOLDER
#define QTEST_QPA_MOUSE_HANDLING  // mouse events enter through the window, as a platform's do
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/RecordingEnvelope.h"
#include "eq/band/EqBand.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/BandHandles.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"
#include "settings/UserSettings.h"
#include "ui/DlgEQPainter.h"
#include "ui/RecordingPlayer.h"
#include "ui/RecordingStrip.h"
#include "ui/TonvaleDlg.h"

namespace {

struct Setup {
  AppConfig config;
  EqBandTable table;
  EqGraphParams graph;
  CBQCalculator calculator;
};

std::unique_ptr<CTonvaleDlg> Open(Setup& setup, const std::string& configPath, bool settings,
                                  const std::string& recording = std::string()) {
  InteractiveContext context{setup.config, setup.table, setup.graph, setup.calculator, settings,
                             configPath,   nullptr,     recording,   std::string()};
  auto dialog = std::make_unique<CTonvaleDlg>(context);
  dialog->show();
  (void)QTest::qWaitForWindowExposed(dialog.get());
  return dialog;
}

// Saves the window as `name` (with "@2x" at a ratio of 2) in `folder`; false when it cannot.
bool Save(CTonvaleDlg& dialog, const QString& folder, const char* name) {
  dialog.Painter()->repaint();
  const QPixmap shot = dialog.grab();
  const QString suffix = shot.devicePixelRatio() >= 2 ? QStringLiteral("@2x") : QString();
  const QString path =
      folder + QLatin1Char('/') + QLatin1String(name) + suffix + QStringLiteral(".png");
  if (!shot.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  return true;
}

void EnableBell(EqBand& band, double freq, double gain, double qual) {
  band.type = ToCode(EqBandType::Bell);
  band.enable = 1;
  band.centFreq = freq;
  band.gain = gain;
  band.qual = qual;
}

// Where the handle of the band at table position `band` is drawn; the origin when it has none.
QPoint HandlePoint(const CDlgEQPainter& graph, std::size_t band) {
  for (const BandHandle& handle : graph.Handles()) {
    if (handle.band == band) {
      return {static_cast<int>(std::lround(handle.x)), static_cast<int>(std::lround(handle.y))};
    }
  }
  return {};
}

// A high-pass band and three bells, the fifth band's bell held by the mouse in the middle of a
// drag up and to the right: its own curve drawn strong, the readout showing its values.
bool SaveDrag(Setup& setup, const std::string& configPath, const QString& folder) {
  setup.table[0].enable = 1;
  setup.table[0].cutoffFreq = 80;
  setup.table[0].stopFreq = 40;
  setup.table[0].gain = 24;
  EnableBell(setup.table[3], 160, -6, 1.4);
  EnableBell(setup.table[5], 1200, 3, 1);
  EnableBell(setup.table[6], 3000, 5, 1.8);
  auto dialog = Open(setup, configPath, false);
  dialog->activateWindow();
  (void)QTest::qWaitForWindowActive(dialog.get());
  CDlgEQPainter* graph = dialog->Painter();
  const QPoint from = HandlePoint(*graph, 5);
  QTest::mousePress(graph, Qt::LeftButton, {}, from);
  for (int i = 1; i <= 5; ++i) {
    QTest::mouseMove(graph, from + QPoint(8 * i, -9 * i));
  }
  const bool written = graph->DraggedHandle() == 5 && Save(*dialog, folder, "main-window-drag");
  if (graph->DraggedHandle() != 5) {
    std::fprintf(stderr, "the drag did not take the band's handle\n");
  }
  QTest::mouseRelease(graph, Qt::LeftButton, {}, from + QPoint(40, -45));
  return written;
}

// The window as it opens with the default bands, and with every band on.
bool SaveDefaults(Setup& setup, const std::string& configPath, const QString& folder) {
  auto dialog = Open(setup, configPath, false);
  bool written = Save(*dialog, folder, "main-window-default");
  for (EqBand& band : setup.table) {
    band.enable = 1;
  }
  setup.table[3].gain = -8;
  setup.table[6].gain = 6;
  auto all = Open(setup, configPath, true);
  return Save(*all, folder, "main-window-all-bands") && written;
}

// The example clip with its settings once its spectrum and envelope are in; then a selection
// from 2.2 s to 3.6 s, played for a moment: its shade and the play position in the time line.
bool SaveRecording(Setup& setup, const std::string& configPath, const QString& folder) {
  if (LoadUserSettings(EXAMPLE_SETTINGS, 0, setup.config, setup.table) != 1) {
    std::fprintf(stderr, "cannot read %s\n", EXAMPLE_SETTINGS);
    return false;
  }
  auto dialog = Open(setup, configPath, true, EXAMPLE_SPEECH);
  const CRecordingStrip* strip = dialog->Strip();
  (void)QTest::qWaitFor(
      [&dialog, strip] {
        return dialog->HasSpectrum() && strip->Envelope() != nullptr &&
               strip->Envelope()->FramesAdded() == strip->Frames();
      },
      60000);
  const bool written = Save(*dialog, folder, "main-window-recording");
  RecordingPlayer* player = dialog->Player();
  const bool looped = player != nullptr && dialog->SetLoop(2.2, 3.6);
  if (looped) {
    (void)player->Next(6000);
  }
  const auto playhead = static_cast<std::uint64_t>(16000 * 2.2 + 6000);
  (void)QTest::qWaitFor([strip, playhead] { return strip->Playhead() == playhead; }, 10000);
  if (!looped || strip->Playhead() != playhead) {
    std::fprintf(stderr, "the selection did not take in the time line\n");
    return false;
  }
  dialog->repaint();
  return Save(*dialog, folder, "main-window-timeline") && written;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: ui_screenshots FOLDER\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  const std::filesystem::path scratch =
      std::filesystem::temp_directory_path() /
      ("tonvale-screenshots-" + std::to_string(QCoreApplication::applicationPid()));
  std::filesystem::create_directories(scratch);
  const std::string configPath = (scratch / "tonvale.ini").string();
  bool written = true;
  // Each picture from a setup of its own, the shipped configuration and default bands first.
  for (const auto save : {SaveDefaults, SaveDrag}) {
    Setup setup;
    (void)LoadAppConfig(configPath, setup.config);
    ApplyDefaultSettings(setup.config, setup.table);
    written = save(setup, configPath, folder) && written;
  }
  {
    Setup setup;
    (void)LoadAppConfig(configPath, setup.config);
    written = SaveRecording(setup, configPath, folder) && written;
  }
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return written ? 0 : 1;
}
