#include "ui/TonvaleDlg.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSvgGenerator>
#include <QUndoStack>
#include <QUrl>
#include <chrono>

#include "eq/ConversionJob.h"
#include "eq/ConversionReport.h"
#include "eq/FilterChain.h"
#include "eq/PresetText.h"
#include "eq/RecordingReader.h"
#include "platform/AtomicFile.h"
#include "platform/FileError.h"
#include "platform/FileOpen.h"
#include "platform/NumberText.h"
#include "settings/LiveFlag.h"
#include "ui/BandEditCommand.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/ButtonST.h"
#include "ui/ConversionRunner.h"
#include "ui/DialogUnits.h"
#include "ui/DlgBellSet.h"
#include "ui/DlgEQPainter.h"
#include "ui/DlgHighLowSet.h"
#include "ui/EqEvents.h"
#include "ui/RecordingPlayer.h"

namespace {

constexpr auto kLivePollPeriod = std::chrono::milliseconds(1000);

QStringList ChooseWithFileDialog(QWidget* owner) {
  return QFileDialog::getOpenFileNames(owner, QStringLiteral("Convert File"), QString(),
                                       SpeechFileFilter());
}

void ShowReport(QWidget* owner, const QString& title, const QString& text, bool failed) {
  if (failed) {
    QMessageBox::warning(owner, title, text);
  } else {
    QMessageBox::information(owner, title, text);
  }
}

}  // namespace

QString SpeechFileFilter() {
  QStringList patterns;
  for (const std::string& extension : ConvertibleFileExtensions()) {
    patterns << QStringLiteral("*") + QString::fromStdString(extension);
  }
  return QStringLiteral("Speech Files (") + patterns.join(QLatin1Char(' ')) +
         QStringLiteral(");;All Files (*)");
}

CTonvaleDlg::CTonvaleDlg(InteractiveContext context, QWidget* parent)
    : QDialog(parent),
      m_context(std::move(context)),
      m_ok(new CButtonST(QStringLiteral("OK"), this)),
      m_cancel(new CButtonST(QStringLiteral("Cancel"), this)),
      m_convert(new CButtonST(QStringLiteral("Convert File"), this)),
      m_painter(new CDlgEQPainter(m_context.graphParams, this)),
      m_rateList(new QComboBox(this)),
      m_rateLabel(new QLabel(QStringLiteral("Sample Rate: "), this)),
      m_unitLabel(new QLabel(QStringLiteral("Hz"), this)),
      m_preampLabel(new QLabel(QStringLiteral("Preamp"), this)),
      m_preamp(new CBandFloatNumEdit(this)),
      m_undo(new QUndoStack(this)),
      m_openRecording(new CButtonST(QStringLiteral("Open Recording..."), this)),
      m_playButton(new QPushButton(QStringLiteral("Play"), m_painter)),
      m_abButton(new QPushButton(QStringLiteral("EQ on"), m_painter)) {
  // Start-up: the template's controls, then the editors, controls, layout, values, the first
  // rate set-up and curve, and the liveness watcher.
  selfWindow = this;
  InitUiResources();
  setWindowTitle(QStringLiteral("Tonvale"));
  setFont(DialogFont());
  setWindowIcon(QIcon(IconResource(128)));
  const DialogUnits du(font());
  m_ok->setGeometry(du.Rect(309, 1, 50, 14));
  m_ok->setDefault(true);
  m_rateLabel->setGeometry(du.Rect(4, 3, 44, 8));
  m_rateList->setGeometry(du.X(51), du.Y(1), du.X(64), du.Y(14));
  m_unitLabel->setGeometry(du.Rect(121, 3, 9, 8));
  m_convert->setGeometry(du.Rect(143, 1, 74, 14));
  m_cancel->setGeometry(du.Rect(360, 1, 50, 14));
  m_preampLabel->setGeometry(du.Rect(222, 3, 24, 8));
  m_preamp->setGeometry(du.Rect(247, 1, 32, 14));
  m_preamp->setToolTip(QStringLiteral("Preamp (dB), applied before the bands"));
  m_openRecording->setGeometry(du.Rect(283, 1, 64, 14));
  m_openRecording->setToolTip(
      QStringLiteral("Show a recording's spectrum under the curve (or drop the file here)"));
  connect(m_openRecording, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Recording"),
                                                      QString(), SpeechFileFilter());
    if (!path.isEmpty()) {
      OpenRecording(path);
    }
  });
  setAcceptDrops(true);
  // Listening: over the graph's top-left corner, enabled once a recording is open.
  m_playButton->setGeometry(4, 4, 64, 22);
  m_abButton->setGeometry(72, 4, 64, 22);
  m_abButton->setCheckable(true);
  m_abButton->setToolTip(QStringLiteral("A/B: hear the recording with the EQ or without it"));
  for (QPushButton* button : {m_playButton, m_abButton}) {
    button->setEnabled(false);
  }
  connect(m_playButton, &QPushButton::clicked, this, &CTonvaleDlg::OnPlay);
  connect(m_abButton, &QPushButton::toggled, this, [this](bool bypass) {
    m_abButton->setText(bypass ? QStringLiteral("EQ off") : QStringLiteral("EQ on"));
    if (m_player != nullptr) {
      m_player->SetBypass(bypass);
    }
  });
  m_painter->setContextMenuPolicy(Qt::CustomContextMenu);
  m_painter->setFocusPolicy(Qt::TabFocus);  // the menu key opens its menu too
  connect(m_painter, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    QMenu* menu = CreateGraphMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(m_painter->mapToGlobal(at));
  });
  connect(m_ok, &QPushButton::clicked, this, &CTonvaleDlg::accept);
  connect(m_cancel, &QPushButton::clicked, this, &CTonvaleDlg::reject);
  connect(m_convert, &QPushButton::clicked, this, &CTonvaleDlg::OnConvertFile);
  connect(m_rateList, &QComboBox::currentIndexChanged, this, [this] { OnSampleRateChange(); });

  CreateBandEditors();
  InitControls();
  LayoutWindow();
  SetTabOrder();
  LoadEditorsFromTable();
  OnSampleRateChange();
  m_recorded = m_context.bandTable;
  // Window-wide: they go before a field's own text undo (see eventFilter).
  auto* undo = new QShortcut(QKeySequence::Undo, this);
  connect(undo, &QShortcut::activated, this, [this] {
    CommitFocusedField();
    m_undo->undo();
  });
  for (const QKeySequence& keys :
       {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)}) {
    auto* redo = new QShortcut(keys, this);
    connect(redo, &QShortcut::activated, this, [this] {
      CommitFocusedField();
      m_undo->redo();
    });
  }
  m_preamp->installEventFilter(this);
  StartLiveCheck();
  if (!m_context.openRecording.empty()) {
    OpenRecording(QString::fromStdString(m_context.openRecording));
  }
}

void CTonvaleDlg::OpenRecording(const QString& path) {
  if (m_spectrumThread.joinable()) {
    m_spectrumThread.join();
  }
  // The reading and the transform run beside the window; the result comes back as a queued
  // call, which Qt drops if the window has gone by then.
  const std::string file = path.toStdString();
  m_spectrumThread = std::thread([this, path, file] {
    std::string error;
    LongTermSpectrum spectrum;
    std::shared_ptr<RecordingPcm> pcm;
    if (auto read = ReadRecordingPcm(file, 600.0, error)) {
      pcm = std::make_shared<RecordingPcm>(std::move(*read));
      spectrum = WelchSpectrum(MonoFloats(*pcm), pcm->sampleRate);
    }
    const bool ok = pcm != nullptr;
    QMetaObject::invokeMethod(
        this,
        [this, path, ok, spectrum, pcm, error] {
          OnSpectrumReady(path, ok, spectrum, pcm, QString::fromStdString(error));
        },
        Qt::QueuedConnection);
  });
}

void CTonvaleDlg::OnSpectrumReady(const QString& path, bool ok, const LongTermSpectrum& spectrum,
                                  const std::shared_ptr<RecordingPcm>& pcm, const QString& error) {
  if (!ok) {
    Report(QStringLiteral("Open Recording"),
           QStringLiteral("The recording cannot be read (") + path + QStringLiteral("): ") + error,
           true);
    return;
  }
  m_spectrum = spectrum;
  m_hasSpectrum = true;
  if (m_sink != nullptr) {
    m_sink->stop();
  }
  delete m_player;
  m_player = new RecordingPlayer(std::move(*pcm), this);
  m_player->SetBands(m_context.bandTable);
  m_player->SetBypass(m_abButton->isChecked());
  m_playButton->setText(QStringLiteral("Play"));
  for (QPushButton* button : {m_playButton, m_abButton}) {
    button->setEnabled(true);
  }
  // The graph and the limits for the file the user will convert: its own rate.
  const QString rate = QString::number(static_cast<qint64>(spectrum.sampleRate));
  int index = m_rateList->findText(rate);
  if (index < 0) {
    m_rateList->addItem(rate);
    index = m_rateList->count() - 1;
  }
  if (index != m_rateList->currentIndex()) {
    m_rateList->setCurrentIndex(index);  // redraws through OnSampleRateChange
  } else {
    RefreshCurve();
  }
}

void CTonvaleDlg::OnPlay() {
  if (m_player == nullptr) {
    return;
  }
  if (m_sink != nullptr && m_sink->state() == QAudio::ActiveState) {
    m_sink->stop();
    m_playButton->setText(QStringLiteral("Play"));
    return;
  }
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  QAudioFormat format;
  format.setSampleRate(static_cast<int>(m_player->Pcm().sampleRate));
  format.setChannelCount(m_player->Pcm().channels);
  format.setSampleFormat(QAudioFormat::Float);
  if (device.isNull() || !device.isFormatSupported(format)) {
    // The rest of the window works on; only listening is not possible here.
    m_playButton->setText(device.isNull() ? QStringLiteral("No audio device")
                                          : QStringLiteral("Rate not playable"));
    m_playButton->setEnabled(false);
    return;
  }
  delete m_sink;
  m_sink = new QAudioSink(device, format, this);
  // About 50 ms in the device: a band edit is heard within 100 ms.
  m_sink->setBufferSize(static_cast<qsizetype>(format.bytesForDuration(50000)));
  if (!m_player->isOpen()) {
    m_player->open(QIODevice::ReadOnly);
  }
  m_sink->start(m_player);
  m_playButton->setText(QStringLiteral("Stop"));
}

void CTonvaleDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && event->mimeData()->urls().front().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void CTonvaleDlg::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!urls.isEmpty() && urls.front().isLocalFile()) {
    OpenRecording(urls.front().toLocalFile());
    event->acceptProposedAction();
  }
}

void CTonvaleDlg::CommitFocusedField() {
  if (auto* field = qobject_cast<CBandFloatNumEdit*>(focusWidget())) {
    if (field->isModified()) {
      field->Commit();
    }
  }
}

bool CTonvaleDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && qobject_cast<CBandFloatNumEdit*>(watched)) {
    // A field would take Ctrl+Z for its own text; the window's undo of band edits goes first.
    auto* key = static_cast<QKeyEvent*>(event);
    const QKeySequence pressed(key->keyCombination());
    if (pressed == QKeySequence(QKeySequence::Undo) ||
        pressed == QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z) ||
        pressed == QKeySequence(Qt::CTRL | Qt::Key_Y)) {
      event->ignore();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CTonvaleDlg::RecordEdit(int mergeKey) {
  if (m_context.bandTable == m_recorded) {
    return;
  }
  m_undo->push(new BandEditCommand(m_recorded, m_context.bandTable, mergeKey,
                                   QDateTime::currentMSecsSinceEpoch(),
                                   [this](const EqBandTable& table) { ApplyTable(table); }));
  m_recorded = m_context.bandTable;
}

void CTonvaleDlg::ApplyTable(const EqBandTable& table) {
  bool sameEditors = table.size() == m_editors.size();
  for (std::size_t i = 0; sameEditors && i < table.size(); ++i) {
    sameEditors =
        m_editors[i]->bandType == table[i].type && m_editors[i]->bandIndex == table[i].index;
  }
  m_context.bandTable = table;
  m_context.config.bandNum = static_cast<std::int32_t>(table.size());
  if (sameEditors) {
    LoadEditorsFromTable();
    m_preamp->SetValue(table.preampDb);
    RefreshCurve();
  } else {
    RebuildEditors();
  }
  m_recorded = m_context.bandTable;
}

void CTonvaleDlg::SetTabOrder() {
  std::vector<QWidget*> order = {m_rateList, m_convert, m_preamp, m_ok, m_cancel};
  for (CDlgEQController* editor : m_editors) {
    for (int row = 0; row < 3; ++row) {
      order.push_back(editor->Field(row));
    }
    order.push_back(editor->EnableBox());
  }
  order.push_back(m_painter);
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void CTonvaleDlg::Report(const QString& title, const QString& text, bool failed) {
  if (m_report) {
    m_report(title, text, failed);
  } else {
    ShowReport(this, title, text, failed);
  }
}

CTonvaleDlg::~CTonvaleDlg() {
  StopLiveCheck();
  if (m_sink != nullptr) {
    m_sink->stop();
  }
  if (m_spectrumThread.joinable()) {
    m_spectrumThread.join();
  }
}

void CTonvaleDlg::CreateBandEditors() {
  // Later, not now: the editor whose type menu asked for the rebuild is still on the stack.
  for (auto it = m_editors.rbegin(); it != m_editors.rend(); ++it) {
    (*it)->hide();
    (*it)->deleteLater();
  }
  m_editors.clear();
  for (const EqBand& band : m_context.bandTable) {
    CDlgEQController* editor = nullptr;
    if (IsSingleSectionType(band.type)) {
      editor = new CDlgBellSet(m_context.config, this, band.type, band.index);
    } else if (band.type == ToCode(EqBandType::HighPass) ||
               band.type == ToCode(EqBandType::LowPass)) {
      // Every editor takes its record's index, so that loading and reading back always match,
      // also when a record of an unknown type comes first.
      editor = new CDlgHighLowSet(m_context.config, this, band.type, band.index);
    } else {
      continue;
    }
    editor->InitEditor(this);
    for (int row = 0; row < 3; ++row) {
      editor->Field(row)->installEventFilter(this);
    }
    m_editors.push_back(editor);
  }
}

void CTonvaleDlg::RebuildEditors() {
  CreateBandEditors();
  LayoutWindow();
  SetTabOrder();
  LoadEditorsFromTable();
  m_preamp->SetValue(m_context.bandTable.preampDb);
  OnSampleRateChange();
}

void CTonvaleDlg::OnBandType(int bandIndex, std::uint32_t type) {
  int changed = 0;
  (void)SyncBandFromEditor(static_cast<std::uint32_t>(bandIndex), &changed);
  const AppConfig& config = m_context.config;
  const double half = static_cast<double>(config.defaultSampleRate / 2);  // NOLINT
  for (EqBand& band : m_context.bandTable) {
    if (band.index != static_cast<std::uint32_t>(bandIndex) || band.type == type) {
      continue;
    }
    const bool fromPass = IsPassType(band.type);
    if (IsPassType(type)) {
      // A pass band's corner where the band was centred, its stop an octave into the stop side
      // (within half the rate), its attenuation the configured default.
      if (!fromPass) {
        band.cutoffFreq = band.centFreq;
        band.gain = config.defaultGain;
      }
      const bool highPass = type == ToCode(EqBandType::HighPass);
      band.stopFreq = highPass ? band.cutoffFreq / 2 : std::min(band.cutoffFreq * 2, half);
      if (!highPass && !(band.stopFreq > band.cutoffFreq)) {
        band.cutoffFreq = half * kStopMargin;
        band.stopFreq = half;
      }
    } else if (fromPass) {
      // Centred where the corner was, flat until the user sets a gain.
      band.centFreq = band.cutoffFreq;
      band.gain = 0.0;
      if (!(band.qual > 0.0)) {
        band.qual = config.defaultQual;
      }
    }
    band.type = type;
  }
  RebuildEditors();
  RecordEdit(-1);
}

QMenu* CTonvaleDlg::CreateGraphMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
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
  connect(menu->addAction(QStringLiteral("Open recording...")), &QAction::triggered, this,
          [this] { m_openRecording->click(); });
  // Listening, as the buttons over the graph offer it.
  QAction* play =
      menu->addAction(m_playButton->text() == QStringLiteral("Stop") ? QStringLiteral("Stop")
                                                                     : QStringLiteral("Play"));
  play->setEnabled(m_playButton->isEnabled());
  connect(play, &QAction::triggered, this, [this] { m_playButton->click(); });
  QAction* bypass = menu->addAction(QStringLiteral("A/B: EQ off"));
  bypass->setCheckable(true);
  bypass->setChecked(m_abButton->isChecked());
  bypass->setEnabled(m_abButton->isEnabled());
  connect(bypass, &QAction::triggered, this, [this] { m_abButton->click(); });
  menu->addSeparator();
  connect(menu->addAction(QStringLiteral("Import preset...")), &QAction::triggered, this,
          [this, choose] {
            const QString path = choose(false);
            if (!path.isEmpty()) {
              (void)ImportPreset(path);
            }
          });
  connect(menu->addAction(QStringLiteral("Export preset...")), &QAction::triggered, this,
          [this, choose] {
            const QString path = choose(true);
            if (!path.isEmpty()) {
              (void)ExportPreset(path);
            }
          });
  menu->addSeparator();
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
    connect(menu->addAction(QString::fromLatin1(item.text)), &QAction::triggered, this,
            [this, filter, scale] {
              const QString path = QFileDialog::getSaveFileName(
                  this, QStringLiteral("Export graph"), QString(), filter);
              if (!path.isEmpty()) {
                (void)ExportGraph(path, scale);
              }
            });
  }
  menu->addSeparator();
  connect(menu->addAction(QStringLiteral("Preamp...")), &QAction::triggered, this, [this] {
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
  });
  return menu;
}

bool CTonvaleDlg::ImportPreset(const QString& path) {
  const QString title = QStringLiteral("Import preset");
  int error = 0;
  const auto text = platform::ReadFileBytes(path.toStdString(), &error);
  if (!text) {
    Report(title,
           QStringLiteral("The preset file cannot be read: ") +
               QString::fromStdString(platform::DescribeFileError(error)) + QStringLiteral("."),
           true);
    return false;
  }
  const PresetImport preset = ReadPresetText(*text);
  QString notes;
  for (const std::string& note : preset.notes) {
    notes += QString::fromStdString(note) + QLatin1Char('\n');
  }
  if (preset.table.empty()) {
    Report(title,
           QStringLiteral("The preset file holds no filter that can be imported.\n\n") + notes,
           true);
    return false;
  }
  m_context.bandTable = preset.table;
  m_context.config.bandNum = static_cast<std::int32_t>(preset.table.size());
  RebuildEditors();
  RecordEdit(-1);
  // What the bands do at the graph's rate: a band that does nothing there is named.
  FilterChain chain;
  std::vector<BandSkip> skipped;
  const double rate = static_cast<double>(m_context.config.defaultSampleRate);
  DesignBandFilters(m_context.bandTable, chain, rate, &skipped);
  for (const BandSkip& skip : skipped) {
    notes += QString::fromStdString(DescribeBandSkip(skip, rate)) + QLatin1Char('\n');
  }
  Report(title,
         QStringLiteral("Imported %1 filters.").arg(preset.table.size()) +
             (notes.isEmpty() ? QString() : QStringLiteral("\n\n") + notes),
         false);
  return true;
}

bool CTonvaleDlg::ExportGraph(const QString& path, double scale) {
  bool written = false;
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    QSvgGenerator drawing;
    drawing.setFileName(path);
    drawing.setSize(m_painter->size());
    drawing.setViewBox(QRect(QPoint(0, 0), m_painter->size()));
    drawing.setTitle(QStringLiteral("Tonvale response"));
    QPainter painter;
    if (painter.begin(&drawing)) {
      m_painter->Render(painter, 1.0);
      written = painter.end();
    }
  } else {
    QImage image(m_painter->size() * scale, QImage::Format_RGB32);
    QPainter painter(&image);
    m_painter->Render(painter, scale);
    painter.end();
    written = image.save(path, "PNG");
  }
  if (!written) {
    Report(QStringLiteral("Export graph"), QStringLiteral("The graph cannot be written to ") + path,
           true);
  }
  return written;
}

bool CTonvaleDlg::ExportPreset(const QString& path) {
  const QString title = QStringLiteral("Export preset");
  std::vector<std::string> notes;
  const std::string text = WritePresetText(m_context.bandTable, &notes);
  int error = 0;
  auto file = platform::AtomicFile::Create(path.toStdString(), &error);
  if (!file || !file->Write(text.data(), text.size()) || !file->Commit()) {
    Report(title,
           QStringLiteral("The preset file cannot be written: ") +
               QString::fromStdString(
                   platform::DescribeFileError(file ? file->ErrorNumber() : error)) +
               QStringLiteral("."),
           true);
    return false;
  }
  if (!notes.empty()) {
    QString list;
    for (const std::string& note : notes) {
      list += QString::fromStdString(note) + QLatin1Char('\n');
    }
    Report(title, list, false);
  }
  return true;
}

void CTonvaleDlg::InitControls() {
  m_convert->SetIcon(138);
  m_ok->SetIcon(140);
  m_cancel->SetIcon(139);
  for (CButtonST* button : {m_convert, m_ok, m_cancel}) {
    button->SetFlat(0, true);
  }
  AppConfig& config = m_context.config;
  // Without a rate list in the configuration the built-in rates are offered.
  std::vector<std::uint32_t> rates = config.sampleRateList;
  if (rates.empty()) {
    rates.assign(kBuiltInSampleRates.begin(), kBuiltInSampleRates.end());
  }
  const QSignalBlocker blocker(m_rateList);
  m_rateList->clear();
  int selected = -1;
  for (std::size_t i = 0; i < rates.size(); ++i) {
    m_rateList->addItem(QString::number(rates[i]));
    if (static_cast<std::int64_t>(rates[i]) == config.defaultSampleRate) {
      selected = static_cast<int>(i);
    }
  }
  if (selected < 0) {
    config.defaultSampleRate = static_cast<std::int32_t>(rates.front());
    selected = 0;
  }
  m_rateList->setCurrentIndex(selected);
  m_preamp->isFloat = 1;
  m_preamp->allowNegative = 1;
  m_preamp->fieldCode = kFieldPreamp;
  m_preamp->bandIndex = -2;  // no band: reported all the same (-1 reports nothing)
  m_preamp->notifyWnd = this;
  m_preamp->minValue = config.minDbValue;
  m_preamp->maxValue = config.maxDbValue;
  m_preamp->step = config.controlDBStep;
  m_preamp->format = "%.2f";
  m_preamp->SetMaxLength(static_cast<int>(std::min<std::uint32_t>(config.bandEditMaxLen, 32767)));
  m_preamp->SetValue(m_context.bandTable.preampDb);
  const bool settingsMode = m_context.hasAccessSetting;
  m_ok->setVisible(settingsMode);
  m_cancel->setVisible(settingsMode);
  m_convert->setVisible(!settingsMode);
}

void CTonvaleDlg::LayoutWindow() {
  const int hList = m_rateList->height();
  const int hConv = m_convert->height();
  const int y0 = hConv + 2;
  int x = 0;
  int hStrip = 0;
  for (CDlgEQController* editor : m_editors) {
    if (editor == nullptr) {
      continue;
    }
    const int w = editor->width();
    const int h = editor->height();
    editor->setGeometry(x, y0, w, h);
    editor->show();
    x += w;
    hStrip = h + hList;
  }
  const int height = hStrip + static_cast<int>(m_context.config.eqPainterHeight);
  setFixedSize(x, height);
  m_painter->setGeometry(0, hStrip, x, static_cast<int>(m_context.config.eqPainterHeight));
  m_painter->show();
  m_cancel->move(x - m_cancel->width(), 0);
  m_ok->setGeometry(x - m_cancel->width() - m_ok->width(), 0, m_ok->width(), m_cancel->height());
  // The preamp takes the top row's free space; a window of few bands has none (the graph's
  // menu sets it there).
  const bool room = m_preamp->geometry().right() < m_ok->x();
  m_preampLabel->setVisible(room);
  m_preamp->setVisible(room);
  m_openRecording->setVisible(m_openRecording->geometry().right() < m_ok->x());
}

void CTonvaleDlg::LoadEditorsFromTable() {
  for (const EqBand& band : m_context.bandTable) {
    for (CDlgEQController* editor : m_editors) {
      if (editor->bandType == band.type && editor->bandIndex == band.index) {
        editor->SetBandEnabled(static_cast<int>(band.enable));
        editor->SetCentFreq(band.centFreq);
        editor->SetCutoffFreq(band.cutoffFreq);
        editor->SetStopFreq(band.stopFreq);
        editor->SetGain(band.gain);
        editor->SetQual(band.qual);
        break;
      }
    }
  }
}

void CTonvaleDlg::OnSampleRateChange() {
  const QString text = m_rateList->currentText();
  if (text.isEmpty()) {
    return;
  }
  AppConfig& config = m_context.config;
  if (const auto rate = platform::ParseUnsigned32(text.toStdString())) {
    config.defaultSampleRate = static_cast<std::int32_t>(*rate);
  }
  for (CDlgEQController* editor : m_editors) {
    editor->UpdateLimits();
  }
  EqGraphParams& p = m_context.graphParams;
  p.sampleRate = static_cast<double>(config.defaultSampleRate);
  p.width = static_cast<std::uint32_t>(m_painter->width());
  p.height = static_cast<std::uint32_t>(m_painter->height());
  p.freqAxisMode = 0;
  p.minFreq = config.minFreqValue;
  // Half the rate in whole hertz, as the grid and the editors' limits have always used it.
  p.maxFreq =
      static_cast<double>(config.defaultSampleRate / 2);  // NOLINT(bugprone-integer-division)
  p.topDb = config.maxDbValue;
  p.bottomDb = config.minDbValue;
  m_painter->m_gridDirty = 1;
  m_painter->update();
  int changed = 0;
  for (std::int32_t i = 0; i < config.bandNum; ++i) {
    (void)SyncBandFromEditor(static_cast<std::uint32_t>(i), &changed);
  }
  RefreshCurve();
}

void CTonvaleDlg::RefreshCurve() {
  ++m_curveRefreshes;
  std::vector<std::int32_t> curve;
  std::vector<BandMarker> markers;
  std::vector<std::vector<std::int32_t>> bandCurves;
  m_context.calculator.ComputeResponse(m_context.graphParams, m_context.bandTable, curve, markers,
                                       &bandCurves);
  m_painter->SetCurve(curve);
  m_painter->SetMarkers(markers);
  m_painter->SetBandCurves(std::move(bandCurves));
  if (m_player != nullptr) {
    m_player->SetBands(m_context.bandTable);  // heard from the next block
  }
  m_painter->SetResponseDb(m_context.calculator.ResponseDb());
  if (m_hasSpectrum) {
    // 1:1 on the dB axis, the spectrum's maximum on the top line; after the EQ, the response
    // added (no new transform).
    const EqGraphParams& p = m_context.graphParams;
    const std::vector<double>& response = m_context.calculator.ResponseDb();
    const double h = static_cast<double>(p.height);
    auto toRow = [&p, h](double db) {
      const double y = ((p.topDb - db) * h) / (p.topDb - p.bottomDb);
      return static_cast<std::int32_t>(std::clamp(y, -1.0e6, 1.0e6));
    };
    std::vector<std::int32_t> before(response.size());
    std::vector<std::int32_t> after(response.size());
    for (std::size_t x = 0; x < response.size(); ++x) {
      const double db =
          SpectrumDbAt(m_spectrum, XToFreq(p, static_cast<double>(x))) - m_spectrum.maxDb + p.topDb;
      before[x] = toRow(db);
      after[x] = toRow(db + response[x]);
    }
    m_painter->SetSpectrum(std::move(before), std::move(after));
  }
  m_painter->update();
}

int CTonvaleDlg::SyncBandFromEditor(std::uint32_t bandIndex, int* changed) {
  *changed = 0;
  for (EqBand& band : m_context.bandTable) {
    if (band.index != bandIndex) {
      continue;
    }
    for (CDlgEQController* editor : m_editors) {
      if (editor->bandIndex != bandIndex) {
        continue;
      }
      int enable = 0;
      double first = 0.0;
      double second = 0.0;
      double gain = 0.0;
      if (editor->GetHighLowValues(&enable, &first, &second, &gain) == 1) {
        if (band.enable != static_cast<std::uint32_t>(enable) || enable == 1) {
          *changed = 1;
        }
        band.cutoffFreq = first;
        band.stopFreq = second;
        band.enable = static_cast<std::uint32_t>(enable);
        band.gain = gain;
        return 1;
      }
      if (editor->GetBellValues(&enable, &first, &second, &gain) == 1) {
        if (band.enable != static_cast<std::uint32_t>(enable) || enable == 1) {
          *changed = 1;
        }
        band.centFreq = first;
        band.qual = second;
        band.enable = static_cast<std::uint32_t>(enable);
        band.gain = gain;
        return 1;
      }
    }
  }
  return 0;
}

int CTonvaleDlg::OnBandChanged(int fieldCode, int bandIndex) {
  if (fieldCode == kFieldPreamp) {
    m_context.bandTable.preampDb = m_preamp->ReadValue();
    RefreshCurve();
    RecordEdit(kFieldPreamp * 128);
    return 0;
  }
  if (fieldCode == kFieldNone || bandIndex == -1) {
    return 0;
  }
  const auto index = static_cast<std::uint32_t>(bandIndex);
  int changed = 0;
  if (SyncBandFromEditor(index, &changed) == 1 && changed == 1) {
    RefreshCurve();
  }
  if (fieldCode == kFieldCutoffFreq || fieldCode == kFieldStopFreq) {
    for (CDlgEQController* editor : m_editors) {
      if (editor->bandIndex == index) {
        editor->UpdateLimits();
        break;
      }
    }
  }
  RecordEdit(fieldCode * 128 + bandIndex % 128);
  return 0;
}

void CTonvaleDlg::customEvent(QEvent* event) {
  if (event->type() == BandChangedEvent::kType) {
    const auto* changed = static_cast<BandChangedEvent*>(event);
    OnBandChanged(changed->FieldCode(), changed->BandIndex());
  } else if (event->type() == BandTypeEvent::kType) {
    const auto* chosen = static_cast<BandTypeEvent*>(event);
    OnBandType(chosen->BandIndex(), chosen->Type());
  } else if (event->type() == LiveStatusEvent::kType) {
    OnLiveStatus(static_cast<LiveStatusEvent*>(event)->Value());
  } else {
    QDialog::customEvent(event);
  }
}

void CTonvaleDlg::accept() {
  // A value typed into a field and not yet committed is taken before the window closes.
  CommitFocusedField();
  if (m_context.hasAccessSetting && m_context.saveOnOk && !m_context.saveOnOk()) {
    Report(QStringLiteral("Save settings"),
           QStringLiteral("The bands could not be saved to the settings file. Check that its "
                          "folder exists and that the file can be written, or press Cancel to "
                          "close without saving."),
           true);
    return;
  }
  QDialog::accept();
}

void CTonvaleDlg::StartLiveCheck() {
  if (m_context.config.checkLive != 1) {
    return;
  }
  const LiveFlagReading flag = ReadLiveFlag(m_context.configPath);
  if (!flag.present || flag.value != 1) {
    return;
  }
  StopLiveCheck();
  liveCheckRunning.store(1);
  try {
    liveCheckThread = std::thread(&CTonvaleDlg::LiveCheckThreadProc, this);
  } catch (const std::system_error&) {
    liveCheckRunning.store(0);  // no watcher; the window runs without one
  }
}

void CTonvaleDlg::LiveCheckThreadProc() {
  if (liveCheckRunning.load() == 0) {
    return;
  }
  while (true) {
    const LiveFlagReading flag = ReadLiveFlag(m_context.configPath);
    if (selfWindow != nullptr) {
      QCoreApplication::postEvent(selfWindow, new LiveStatusEvent(flag.value));
    }
    std::unique_lock<std::mutex> lock(m_liveMutex);
    m_liveWake.wait_for(lock, kLivePollPeriod, [this] { return liveCheckRunning.load() == 0; });
    if (liveCheckRunning.load() == 0) {
      return;
    }
  }
}

void CTonvaleDlg::StopLiveCheck() {
  {
    const std::lock_guard<std::mutex> lock(m_liveMutex);
    liveCheckRunning.store(0);
  }
  m_liveWake.notify_all();
  if (liveCheckThread.joinable()) {
    liveCheckThread.join();
  }
}

int CTonvaleDlg::OnLiveStatus(int value) {
  ++m_liveStatusCount;
  if (value != 0 || m_closingOnFlag) {
    return 0;
  }
  StopLiveCheck();
  // A controlling program must not wait on a person: every box goes with the window, and a
  // running conversion stops before its next step (nothing half-written stays behind).
  m_closingOnFlag = true;
  m_cancelConversion = true;
  CloseOpenBoxes();
  reject();
  return 0;
}

void CTonvaleDlg::CloseOpenBoxes() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QDialog*>(window);
    if (box == nullptr || box == this || !box->isVisible()) {
      continue;
    }
    // Only a box this window opened: one whose owner chain leads here.
    for (QWidget* owner = box->parentWidget(); owner != nullptr; owner = owner->parentWidget()) {
      if (owner == this) {
        box->reject();
        break;
      }
    }
  }
}

void CTonvaleDlg::OnConvertFile() {
  const QStringList chosen = m_chooser ? m_chooser(this) : ChooseWithFileDialog(this);
  if (chosen.isEmpty() || m_closingOnFlag) {
    return;
  }
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
