#include "ui/ConversionRunner.h"

#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <string>
#include <thread>

std::vector<ConversionOutcome> RunConversions(QWidget* owner, std::vector<ConversionJob> jobs,
                                              const EqBandTable& bandTable,
                                              std::atomic<bool>& cancel) {
  std::vector<ConversionOutcome> outcomes(jobs.size());
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    outcomes[i].sourcePath = jobs[i].sourcePath;
    outcomes[i].outputPath = jobs[i].outputPath;
  }
  if (jobs.empty()) {
    return outcomes;
  }
  const EqBandTable snapshot = bandTable;
  const int total = static_cast<int>(jobs.size());

  QProgressDialog progress(owner);
  progress.setWindowTitle(QStringLiteral("Convert File"));
  progress.setRange(0, total);
  progress.setMinimumDuration(0);
  progress.setWindowModality(Qt::WindowModal);
  QEventLoop loop;
  QPointer<QProgressDialog> progressHandle(&progress);
  QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&cancel] { cancel = true; });

  // The worker reports progress by posting to the loop and hands its results over when it has
  // ended; the outcomes are read only after the join.
  std::thread worker([&] {
    for (int i = 0; i < total && !cancel; ++i) {
      ConversionJob& job = jobs[static_cast<std::size_t>(i)];
      const QString label = QStringLiteral("Converting file %1 of %2\n%3")
                                .arg(i + 1)
                                .arg(total)
                                .arg(QString::fromStdString(job.sourcePath));
      QMetaObject::invokeMethod(
          &loop,
          [progressHandle, label, i] {
            if (progressHandle) {
              progressHandle->setLabelText(label);
              progressHandle->setValue(i);
            }
          },
          Qt::QueuedConnection);
      std::vector<ConversionJob> one{job};
      ConversionOutcome& outcome = outcomes[static_cast<std::size_t>(i)];
      outcome.attempted = true;
      outcome.result = ConvertFiles(
          one, snapshot, [&outcome](std::string_view text) { outcome.log.append(text); }, &cancel);
      if (outcome.result == 0) {
        break;
      }
    }
    QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
  });
  progress.show();
  loop.exec();
  worker.join();
  progress.reset();
  return outcomes;
}
