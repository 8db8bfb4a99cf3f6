#include "ui/InteractiveMode.h"

#include <QApplication>
#include <QLocale>
#include <clocale>
#include <cstdlib>

#include "platform/Console.h"

#include "ui/TonvaleDlg.h"

DialogResult RunInteractiveMode(int& argc, char** argv, const InteractiveContext& context) {
#if defined(__linux__)
  // Without a display Qt would end the process with a fatal error: say what is wrong instead.
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr &&
      std::getenv("QT_QPA_PLATFORM") == nullptr) {
    platform::WriteStandardError(
        "tonvale: there is no display to open the window on (DISPLAY is not set).\n"
        "Use /command to convert a file or /h to list the options.\n");
    return DialogResult::NoWindow;
  }
#endif
  QApplication application(argc, argv);
  // Qt takes the C library's locale from the environment; numbers in settings and fields must
  // not follow it.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  CTonvaleDlg dialog(context);
  const int result = dialog.exec();
  return result == QDialog::Accepted ? DialogResult::Ok : DialogResult::Cancel;
}
