// The main window's graph menu: the recording, presets in and out, the graph as an image or a
// drawing, and the preamp.
#include <QAction>
#include <QBuffer>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSvgGenerator>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/fs/AtomicFile.h"
#include "preset/PresetFile.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/DlgEQPainter.h"
#include "ui/TonvaleDlg.h"

QMenu* CTonvaleDlg::CreateGraphMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  connect(menu->addAction(QStringLiteral("Open recording...")), &QAction::triggered, this,
          [this] { m_openRecording->click(); });
  AddListeningActions(*menu);
  menu->addSeparator();
  AddPresetActions(*menu);
  menu->addSeparator();
  AddGraphExportActions(*menu);
  menu->addSeparator();
  connect(menu->addAction(QStringLiteral("Preamp...")), &QAction::triggered, this,
          &CTonvaleDlg::AskPreamp);
  return menu;
}

void CTonvaleDlg::AddListeningActions(QMenu& menu) {
  // Listening, as the buttons over the graph offer it.
  QAction* play =
      menu.addAction(m_playButton->text() == QStringLiteral("Stop") ? QStringLiteral("Stop")
                                                                    : QStringLiteral("Play"));
  play->setEnabled(m_playButton->isEnabled());
  connect(play, &QAction::triggered, this, [this] { m_playButton->click(); });
  QAction* bypass = menu.addAction(QStringLiteral("A/B: EQ off"));
  bypass->setCheckable(true);
  bypass->setChecked(m_abButton->isChecked());
  bypass->setEnabled(m_abButton->isEnabled());
  connect(bypass, &QAction::triggered, this, [this] { m_abButton->click(); });
  QAction* loop = menu.addAction(QStringLiteral("Loop selection..."));
  loop->setEnabled(m_player != nullptr);
  connect(loop, &QAction::triggered, this, &CTonvaleDlg::ChooseLoop);
}

void CTonvaleDlg::AddPresetActions(QMenu& menu) {
  auto choose = [this](bool save) {
    if (m_presetChooser) {
      return m_presetChooser(this, save);
    }
    const QString filter = QStringLiteral("Preset text (*.txt);;All Files (*)");
    return save ? QFileDialog::getSaveFileName(this, QStringLiteral("Export preset"), QString(),
                                               filter)
                : QFileDialog::getOpenFileName(this, QStringLiteral("Import preset"), QString(),
                                               filter);
  };
  connect(menu.addAction(QStringLiteral("Import preset...")), &QAction::triggered, this,
          [this, choose] {
            const QString path = choose(false);
            if (!path.isEmpty()) {
              (void)ImportPreset(path);
            }
          });
  connect(menu.addAction(QStringLiteral("Export preset...")), &QAction::triggered, this,
          [this, choose] {
            const QString path = choose(true);
            if (!path.isEmpty()) {
              (void)ExportPreset(path);
            }
          });
}

void CTonvaleDlg::AddGraphExportActions(QMenu& menu) {
  const struct {
    const char* text;
    const char* filter;
    double scale;
  } kGraphExports[] = {
      {"Export graph as PNG...", "PNG image (*.png)", 1.0},
      {"Export graph as PNG (2x)...", "PNG image (*.png)", 2.0},
      {"Export graph as SVG...", "SVG drawing (*.svg)", 1.0},
  };
  for (const auto& item : kGraphExports) {
    const QString filter = QString::fromLatin1(item.filter);
    const double scale = item.scale;
    connect(menu.addAction(QString::fromLatin1(item.text)), &QAction::triggered, this,
            [this, filter, scale] {
              const QString path = QFileDialog::getSaveFileName(
                  this, QStringLiteral("Export graph"), QString(), filter);
              if (!path.isEmpty()) {
                (void)ExportGraph(path, scale);
              }
            });
  }
}

void CTonvaleDlg::AskPreamp() {
  bool ok = false;
  const AppConfig& config = m_context.config;
  const double value = QInputDialog::getDouble(
      this, QStringLiteral("Preamp"), QStringLiteral("Preamp (dB), applied before the bands:"),
      m_context.bandTable.preampDb, config.minDbValue, config.maxDbValue, 2, &ok);
  if (ok) {
    m_context.bandTable.preampDb = value;
    m_preamp->SetValue(value);
    RefreshCurve();
    RecordEdit(-1);
  }
}

bool CTonvaleDlg::ImportPreset(const QString& path) {
  const QString title = QStringLiteral("Import preset");
  // What the bands do at the graph's rate: a band that does nothing there is named.
  const PresetFileImport preset =
      ImportPresetFile(path.toStdString(), static_cast<double>(m_context.config.defaultSampleRate));
  if (preset.outcome == PresetFileImport::Outcome::Unreadable) {
    Report(title,
           QStringLiteral("The preset file cannot be read: ") +
               QString::fromStdString(preset.error) + QStringLiteral("."),
           true);
    return false;
  }
  QString notes;
  for (const std::string& note : preset.notes) {
    notes += QString::fromStdString(note) + QLatin1Char('\n');
  }
  if (preset.outcome == PresetFileImport::Outcome::Refused) {
    // The bands stay as they were: nothing of the preset is taken.
    Report(title, QString::fromStdString(preset.error) + QStringLiteral(".\n\n") + notes, true);
    return false;
  }
  m_context.bandTable = preset.table;
  m_context.config.bandNum = static_cast<std::int32_t>(preset.table.size());
  RebuildEditors();
  RecordEdit(-1);
  for (const std::string& note : preset.bandNotes) {
    notes += QString::fromStdString(note) + QLatin1Char('\n');
  }
  Report(title,
         QStringLiteral("Imported %1 filters.").arg(preset.table.size()) +
             (notes.isEmpty() ? QString() : QStringLiteral("\n\n") + notes),
         false);
  return true;
}

bool CTonvaleDlg::ExportGraph(const QString& path, double scale) {
  // The drawing is made in memory and written as a whole, so that a failed export leaves an
  // existing file as it was.
  QBuffer bytes;
  bool drawn = false;
  if (bytes.open(QIODevice::WriteOnly)) {
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
      QSvgGenerator drawing;
      drawing.setOutputDevice(&bytes);
      drawing.setSize(m_painter->size());
      drawing.setViewBox(QRect(QPoint(0, 0), m_painter->size()));
      drawing.setTitle(QStringLiteral("Tonvale response"));
      QPainter painter;
      if (painter.begin(&drawing)) {
        m_painter->Render(painter, 1.0);
        drawn = painter.end();
      }
    } else {
      QImage image(m_painter->size() * scale, QImage::Format_RGB32);
      QPainter painter(&image);
      m_painter->Render(painter, scale);
      painter.end();
      drawn = image.save(&bytes, "PNG");
    }
  }
  const QByteArray& data = bytes.data();
  if (!drawn || !platform::ReplaceFileAtomically(
                    path.toStdString(),
                    std::string_view(data.constData(), static_cast<std::size_t>(data.size())))) {
    Report(QStringLiteral("Export graph"), QStringLiteral("The graph cannot be written to ") + path,
           true);
    return false;
  }
  return true;
}

bool CTonvaleDlg::ExportPreset(const QString& path) {
  const QString title = QStringLiteral("Export preset");
  const PresetFileExport exported = ExportPresetFile(path.toStdString(), m_context.bandTable);
  if (!exported.written) {
    Report(title,
           QStringLiteral("The preset file cannot be written: ") +
               QString::fromStdString(exported.error) + QStringLiteral("."),
           true);
    return false;
  }
  if (!exported.notes.empty()) {
    QString list;
    for (const std::string& note : exported.notes) {
      list += QString::fromStdString(note) + QLatin1Char('\n');
    }
    Report(title, list, false);
  }
  return true;
}
