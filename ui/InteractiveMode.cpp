#include "ui/InteractiveMode.h"

#include <QApplication>
#include <QDialog>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/process/Console.h"
#include "platform/text/ExceptionText.h"
#include "platform/text/FormatText.h"
#include "ui/TonvaleDlg.h"

namespace {

// The application object of the window. An exception that reaches the event loop would end the
// program unexplained (Qt cannot carry it through its own frames): it closes every window
// instead, and the reason is shown once the loop has ended.
class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;

  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (...) {
      Stop(platform::CurrentExceptionReason());
    }
    return false;
  }

  const std::string& Error() const { return m_error; }

  void Stop(const std::string& reason) {
    if (m_error.empty()) {
      m_error = reason;
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible()) {
        dialog->reject();
      }
    }
  }

 private:
  std::string m_error;
};

// Says why the window stopped: in a message box and on standard error.
DialogResult ReportFailure(const std::string& reason) {
  const std::string text = platform::FormatText("The program stopped: %s.", reason.c_str());
  platform::WriteStandardError(platform::FormatText("%s%s%s", "Error:", text.c_str(), "\r\n"));
  QMessageBox::critical(nullptr, QStringLiteral("Tonvale"), QString::fromStdString(text));
  return DialogResult::Failed;
}

}  // namespace

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
  GuardedApplication application(argc, argv);
  // The desktop matches the window to the installed menu entry and its icon by this name.
  QGuiApplication::setDesktopFileName(QStringLiteral("tonvale"));
  // Qt takes the C library's locale from the environment; numbers in settings and fields must
  // not follow it.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
  int result = QDialog::Rejected;
  try {
    CTonvaleDlg dialog(context);
    if (!context.startupWarning.empty()) {
      platform::WriteStandardError(
          platform::FormatText("%s%s%s", "Information:", context.startupWarning.c_str(), "\r\n"));
      // Once the window is up, so that the warning stands in front of what it speaks of; shown
      // without a loop of its own, so that a window closed meanwhile (by the liveness flag)
      // still ends.
      QTimer::singleShot(0, &dialog, [&dialog, &context] {
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Tonvale"),
                                    QString::fromStdString(context.startupWarning), QMessageBox::Ok,
                                    &dialog);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
      });
    }
    result = dialog.exec();
  } catch (...) {
    application.Stop(platform::CurrentExceptionReason());
  }
  if (!application.Error().empty()) {
    return ReportFailure(application.Error());
  }
  return result == QDialog::Accepted ? DialogResult::Ok : DialogResult::Cancel;
}
