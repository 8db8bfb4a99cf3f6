// The main window's undo history of band edits, and the window-wide undo keys.
#include <QDateTime>
#include <QKeyEvent>
#include <QKeySequence>
#include <QUndoStack>

#include "ui/BandEditCommand.h"
#include "ui/BandFloatNumEdit.h"
#include "ui/DlgEQController.h"
#include "ui/TonvaleDlg.h"

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
