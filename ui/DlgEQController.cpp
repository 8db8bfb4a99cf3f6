#include "ui/DlgEQController.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QToolTip>

#include "eq/band/EqBand.h"
#include "platform/text/BoundedText.h"
#include "platform/text/FormatText.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/DialogUnits.h"
#include "ui/EqEvents.h"
#include "ui/SpinArrows.h"

namespace {

// Rows of fields in the editor template: caption, edit and up-down control, in dialog units.
struct RowLayout {
  QRect caption;
  QRect edit;
  QRect spin;
};

}  // namespace

CDlgEQController::CDlgEQController(const AppConfig& config, QWidget* parent, std::uint32_t type,
                                   std::uint32_t index)
    : QFrame(parent),
      bandType(type),
      bandIndex(index),
      m_config(config),
      m_title(new QLabel(this)),
      m_enable(new QCheckBox(this)),
      m_picture(new QLabel(this)) {
  setFont(DialogFont());
  setFrameStyle(QFrame::Box | QFrame::Plain);
  const DialogUnits du(font());
  setFixedSize(du.X(kWidthUnits), du.Y(kHeightUnits));
  m_title->setGeometry(du.Rect(5, 3, 38, 11));
  m_title->setAlignment(Qt::AlignCenter);
  const RowLayout rows[3] = {
      {du.Rect(4, 14, 42, 8), du.Rect(4, 25, 32, 14), du.Rect(36, 25, 10, 14)},
      {du.Rect(4, 42, 42, 8), du.Rect(4, 53, 32, 14), du.Rect(36, 53, 10, 14)},
      {du.Rect(4, 69, 42, 8), du.Rect(4, 79, 32, 14), du.Rect(36, 79, 10, 14)},
  };
  for (std::size_t row = 0; row < 3; ++row) {
    m_captions[row] = new QLabel(this);
    m_captions[row]->setGeometry(rows[row].caption);
    m_captions[row]->setAlignment(Qt::AlignCenter);
    m_fields[row] = new CBandFloatNumEdit(this);
    m_fields[row]->setGeometry(rows[row].edit);
    m_fields[row]->installEventFilter(this);
    m_spins[row] = new SpinArrows(this);
    m_spins[row]->setGeometry(rows[row].spin);
    CBandFloatNumEdit* field = m_fields[row];
    connect(m_spins[row], &SpinArrows::DeltaPos, field,
            [field](int delta) { field->StepValue(delta); });
  }
  m_enable->setGeometry(du.Rect(19, 95, 16, 10));
  m_picture->setGeometry(du.Rect(10, 107, 28, 8));
  m_picture->setAlignment(Qt::AlignCenter);
  m_picture->installEventFilter(this);
  connect(m_enable, &QCheckBox::clicked, this, [this] {
    // The box has toggled itself; report the new state to the main dialog.
    SetBandEnabled(IsBandEnabled());
    if (m_notify != nullptr) {
      BandChangedEvent event(kFieldEnable, static_cast<int>(bandIndex));
      QCoreApplication::sendEvent(m_notify, &event);
    }
  });
}

void CDlgEQController::InitEditor(QObject* notifyWnd) {
  m_notify = notifyWnd;
  m_title->setText(
      QString::fromStdString(platform::FormatText("Band%.2d", static_cast<int>(bandIndex) + 1)));
}

void CDlgEQController::SetUpField(int row, int fieldCode, bool isFloat, bool allowNegative) {
  CBandFloatNumEdit* field = Field(row);
  field->bandIndex = static_cast<int>(bandIndex);
  field->SetMaxLength(static_cast<int>(std::min<std::uint32_t>(m_config.bandEditMaxLen, 32767)));
  field->notifyWnd = m_notify;
  field->fieldCode = fieldCode;
  field->isFloat = isFloat ? 1 : 0;
  field->allowNegative = allowNegative ? 1 : 0;
}

int CDlgEQController::IsBandEnabled() const { return m_enable->isChecked() ? 1 : 0; }

void CDlgEQController::SetBandEnabled(int enable) { m_enable->setChecked(enable == 1); }

int CDlgEQController::GetGain(double* value) {
  *value = Field(2)->ReadValue();
  return 1;
}

int CDlgEQController::SetGain(double value) {
  Field(2)->SetValue(value);
  return 1;
}

double CDlgEQController::HalfRate() const {
  // Whole hertz: the limits of the fields are fs / 2 in integer arithmetic.
  return static_cast<double>(m_config.defaultSampleRate / 2);  // NOLINT(bugprone-integer-division)
}

void CDlgEQController::SetLimits(int row, double minValue, double maxValue, double step) {
  CBandFloatNumEdit* field = Field(row);
  field->minValue = minValue;
  field->maxValue = maxValue;
  field->step = step;
  field->format = "%.2f";
}

QString CDlgEQController::ToolTipFor(QObject* child) {
  tipText.clear();
  if (auto* field = qobject_cast<CBandFloatNumEdit*>(child)) {
    tipText = platform::BoundedCopy(field->text().toStdString());
  } else if (child == m_picture) {
    const char* kind = bandType == 1   ? "Bell filter (Band%.2d)"
                       : bandType == 2 ? "High Pass filter (Band%.2d)"
                       : bandType == 3 ? "Low Pass filter (Band%.2d)"
                       : bandType == 4 ? "Low Shelf filter (Band%.2d)"
                       : bandType == 5 ? "High Shelf filter (Band%.2d)"
                       : bandType == 6 ? "Notch filter (Band%.2d)"
                                       : nullptr;
    if (kind != nullptr) {
      tipText = platform::BoundedCopy(platform::FormatText(kind, static_cast<int>(bandIndex) + 1));
    }
  }
  return QString::fromStdString(tipText);
}

QMenu* CDlgEQController::CreateTypeMenu(QWidget* parent) {
  static constexpr std::pair<const char*, EqBandType> kTypes[] = {
      {"Bell", EqBandType::Bell},
      {"Low shelf", EqBandType::LowShelf},
      {"High shelf", EqBandType::HighShelf},
      {"Notch", EqBandType::Notch},
      {"High-pass", EqBandType::HighPass},
      {"Low-pass", EqBandType::LowPass},
  };
  auto* menu = new QMenu(parent);
  for (const auto& [name, type] : kTypes) {
    QAction* action = menu->addAction(QString::fromLatin1(name));
    action->setCheckable(true);
    action->setChecked(ToCode(type) == bandType);
    const std::uint32_t code = ToCode(type);
    connect(action, &QAction::triggered, this, [this, code] { ChooseType(code); });
  }
  return menu;
}

void CDlgEQController::ChooseType(std::uint32_t type) {
  if (m_notify != nullptr && type != bandType) {
    BandTypeEvent event(static_cast<int>(bandIndex), type);
    QCoreApplication::sendEvent(m_notify, &event);
  }
}

void CDlgEQController::contextMenuEvent(QContextMenuEvent* event) {
  // A right click on the editor's free space, or the menu key while the check box has the
  // focus: the type menu. The menu rebuilds the editors, so it is deleted later, not here.
  QMenu* menu = CreateTypeMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

bool CDlgEQController::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ContextMenu) {
    // Over the picture any context menu is the type menu; over a field the menu key or
    // Shift+F10 opens it (a right click keeps the field's own edit menu).
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    if (watched == m_picture || menuEvent->reason() == QContextMenuEvent::Keyboard) {
      contextMenuEvent(menuEvent);
      return true;
    }
  }
  if (event->type() == QEvent::ToolTip) {
    const QString text = ToolTipFor(watched);
    auto* help = static_cast<QHelpEvent*>(event);
    if (text.isEmpty()) {
      QToolTip::hideText();
    } else {
      QToolTip::showText(help->globalPos(), text, qobject_cast<QWidget*>(watched));
    }
    return true;
  }
  return QFrame::eventFilter(watched, event);
}
