#include "ui/ConversionRunner.h"

#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <atomic>
#include <functional>
#include <string>

#include "convert/BatchRun.h"
#include "platform/process/FanOut.h"

namespace {

ConversionOutcome OutcomeOf(const BatchFileResult& file) {
  return ConversionOutcome{file.job.sourcePath, file.job.outputPath, file.conversion};
}

// The "Error:" lines of a file's transcript, one per line.
QString ErrorLines(const ConversionResult& conversion) {
  QStringList errors;
  for (const std::string& line : conversion.ErrorLines()) {
    errors << QString::fromStdString(line);
  }
  return errors.join(QLatin1Char('\n'));
}

}  // namespace

bool AskToContinueAfterFailure(QWidget* owner, const ConversionOutcome& failed) {
  QMessageBox box(
      QMessageBox::Warning, QStringLiteral("Convert File"),
      QStringLiteral("%1 could not be converted:\n%2\n\nGo on with the other files?")
          .arg(QString::fromStdString(failed.sourcePath), ErrorLines(failed.conversion)),
      QMessageBox::NoButton, owner);
  QPushButton* goOn = box.addButton(QStringLiteral("Continue"), QMessageBox::AcceptRole);
  QPushButton* stop = box.addButton(QStringLiteral("Stop"), QMessageBox::RejectRole);
  box.setDefaultButton(stop);
  box.setEscapeButton(stop);
  box.exec();
  return box.clickedButton() == goOn;
}

namespace {

// The batch's progress as the window shows it, posted to the window's thread: the worker never
// touches a widget.
std::function<void(const BatchProgress&)> PostProgress(QEventLoop& loop,
                                                       const QPointer<QProgressDialog>& progress) {
  return [&loop, progress](const BatchProgress& state) {
    const int done = static_cast<int>(state.done);
    const int all = static_cast<int>(state.total);
    QMetaObject::invokeMethod(
        &loop,
        [progress, done, all] {
          if (progress) {
            progress->setLabelText(QStringLiteral("Converted %1 of %2 files").arg(done).arg(all));
            progress->setValue(done);
          }
        },
        Qt::QueuedConnection);
  };
}

// A failure put to the person on the window's thread, the worker waiting for the answer; the
// window's loop runs until the worker has ended, so the answer always comes.
std::function<bool(const BatchFileResult&)> AskOnWindowThread(
    QEventLoop& loop, std::atomic<bool>& cancel, const FailurePrompt& askContinue,
    const QPointer<QProgressDialog>& progress) {
  return [&loop, &cancel, &askContinue, progress](const BatchFileResult& failed) {
    if (cancel || !askContinue) {
      return false;
    }
    bool goOn = false;
    const ConversionOutcome outcome = OutcomeOf(failed);
    QMetaObject::invokeMethod(
        &loop,
        [&goOn, &outcome, &askContinue, &cancel, progress] {
          goOn = !cancel && askContinue(progress.data(), outcome) && !cancel;
        },
        Qt::BlockingQueuedConnection);
    return goOn;
  };
}

}  // namespace

std::vector<ConversionOutcome> RunConversions(QWidget* owner, std::vector<ConversionJob> jobs,
                                              const EqBandTable& bandTable,
                                              std::atomic<bool>& cancel,
                                              const FailurePrompt& askContinue) {
  if (jobs.empty()) {
    return {};
  }
  const EqBandTable snapshot = bandTable;
  const int total = static_cast<int>(jobs.size());

  QProgressDialog progress(owner);
  progress.setWindowTitle(QStringLiteral("Convert File"));
  progress.setLabelText(QStringLiteral("Converted 0 of %1 files").arg(total));
  progress.setRange(0, total);
  progress.setMinimumDuration(0);
  progress.setWindowModality(Qt::WindowModal);
  QEventLoop loop;
  QPointer<QProgressDialog> progressHandle(&progress);
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&cancel] { cancel = true; });

  BatchSettings settings;
  settings.cancel = &cancel;
  settings.progress = PostProgress(loop, progressHandle);
  settings.continueAfterFailure = AskOnWindowThread(loop, cancel, askContinue, progressHandle);

  std::vector<BatchFileResult> results;
  const auto run = [&] {
    results = RunBatch(std::move(jobs), snapshot, settings);
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  };
  platform::FanOut worker;
  if (worker.Start(run)) {
    progress.show();
    loop.exec();
  } else {
    run();  // no thread to be had: the run takes the window's thread and stops at a failure
  }
  worker.Join();
  progress.reset();

  std::vector<ConversionOutcome> outcomes;
  outcomes.reserve(results.size());
  for (const BatchFileResult& file : results) {
    outcomes.push_back(OutcomeOf(file));
  }
  return outcomes;
}
