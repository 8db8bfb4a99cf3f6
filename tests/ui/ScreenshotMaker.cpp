// Writes the window's screenshots for the README and for people into the folder it is given:
// the window as it opens, with every band on, and with the example clip and its settings. The
// test command runs it as a fixture on Qt's offscreen platform, once at a device-pixel ratio of
// 1 and once at 2 (the "@2x" files). It checks nothing: the window tests do. The drag and the
// time line are taken by their tests on the X server, where the gestures are real.
//
// Usage: ui_screenshots FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/RecordingEnvelope.h"
#include "eq/band/EqBand.h"
#include "eq/response/BQCalculator.h"
#include "eq/response/EqGraphParams.h"
#include "settings/AppConfig.h"
#include "settings/UserSettings.h"
#include "ui/DlgEQPainter.h"
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
  {
    Setup setup;
    (void)LoadAppConfig(configPath, setup.config);
    ApplyDefaultSettings(setup.config, setup.table);
    auto dialog = Open(setup, configPath, false);
    written = Save(*dialog, folder, "main-window-default") && written;
    for (EqBand& band : setup.table) {
      band.enable = 1;
    }
    setup.table[3].gain = -8;
    setup.table[6].gain = 6;
    auto all = Open(setup, configPath, true);
    written = Save(*all, folder, "main-window-all-bands") && written;
  }
  {
    Setup setup;
    (void)LoadAppConfig(configPath, setup.config);
    if (LoadUserSettings(EXAMPLE_SETTINGS, 0, setup.config, setup.table) != 1) {
      std::fprintf(stderr, "cannot read %s\n", EXAMPLE_SETTINGS);
      return 1;
    }
    auto dialog = Open(setup, configPath, true, EXAMPLE_SPEECH);
    const CRecordingStrip* strip = dialog->Strip();
    (void)QTest::qWaitFor(
        [&dialog, strip] {
          return dialog->HasSpectrum() && strip->Envelope() != nullptr &&
                 strip->Envelope()->FramesAdded() == strip->Frames();
        },
        60000);
    written = Save(*dialog, folder, "main-window-recording") && written;
  }
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return written ? 0 : 1;
}
