// The main window's conversion of files: the files and the delivery chosen, the conversions
// run, and their report.
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <algorithm>
#include <vector>

#include "convert/ConversionJob.h"
#include "convert/ConversionReport.h"
#include "delivery/DeliverySettings.h"
#include "ui/ConversionRunner.h"
#include "ui/TonvaleDlg.h"

namespace {

// The files to convert and, below them, the delivery to convert for ("As the source" first,
// then the named deliveries), which `deliveryName` holds before and after.
QStringList ChooseWithFileDialog(QWidget* owner, QString& deliveryName) {
  QFileDialog dialog(owner, QStringLiteral("Convert File"), QString(), SpeechFileFilter());
  dialog.setFileMode(QFileDialog::ExistingFiles);
  // Qt's own dialog, which takes a row of ours; a platform's dialog would not.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  auto* choice = new QComboBox(&dialog);
  FillDeliveryChoice(*choice, deliveryName);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(QStringLiteral("Deliver as:"), &dialog), row, 0);
    grid->addWidget(choice, row, 1);
  }
  if (dialog.exec() != QDialog::Accepted) {
    return {};
  }
  deliveryName = choice->currentData().toString();
  return dialog.selectedFiles();
}

}  // namespace

void FillDeliveryChoice(QComboBox& choice, const QString& selected) {
  choice.addItem(QStringLiteral("As the source"), QString());
  for (const delivery::NamedDelivery& named : delivery::NamedDeliveries()) {
    const QString name = QString::fromUtf8(named.name.data(), static_cast<int>(named.name.size()));
    choice.addItem(name, name);
    choice.setItemData(choice.count() - 1,
                       QString::fromUtf8(named.basis.data(), static_cast<int>(named.basis.size())),
                       Qt::ToolTipRole);
  }
  choice.setCurrentIndex(std::max(0, choice.findData(selected)));
}

QString SpeechFileFilter() {
  QStringList patterns;
  for (const std::string& extension : ConvertibleFileExtensions()) {
    patterns << QStringLiteral("*") + QString::fromStdString(extension);
  }
  return QStringLiteral("Speech Files (") + patterns.join(QLatin1Char(' ')) +
         QStringLiteral(");;All Files (*)");
}

void CTonvaleDlg::OnConvertFile() {
  const QStringList chosen =
      m_chooser ? m_chooser(this) : ChooseWithFileDialog(this, m_deliveryName);
  if (chosen.isEmpty() || m_closingOnFlag) {
    return;
  }
  // The same delivery as /deliver names: the command line's sets, the same conversion.
  const delivery::DeliverySettings delivery =
      delivery::FindNamedDelivery(m_deliveryName.toStdString())
          .value_or(delivery::DeliverySettings{});
  // Each file goes beside its source under the default output name; a file whose name cannot
  // be formed is reported, not converted.
  std::vector<ConversionOutcome> outcomes;
  std::vector<ConversionJob> jobs;
  for (const QString& path : chosen) {
    ConversionOutcome outcome;
    outcome.sourcePath = path.toStdString();
    outcome.outputPath = DefaultOutputPath(outcome.sourcePath);
    if (!outcome.outputPath.empty()) {
      ConversionJob job;
      job.sourcePath = outcome.sourcePath;
      job.outputPath = outcome.outputPath;
      job.delivery = delivery;
      jobs.push_back(job);
    }
    outcomes.push_back(outcome);
  }
  m_cancelConversion = false;
  const std::vector<ConversionOutcome> ran =
      RunConversions(this, jobs, m_context.bandTable, m_cancelConversion, m_failurePrompt);
  auto next = ran.begin();
  for (ConversionOutcome& outcome : outcomes) {
    if (!outcome.outputPath.empty()) {
      outcome = *next++;
    }
  }
  if (m_closingOnFlag) {
    return;  // the window is closing: no report to wait on
  }
  const ConversionReport report = FormatConversionReport(outcomes);
  Report(QString::fromStdString(report.title), QString::fromStdString(report.text), report.failed);
}
