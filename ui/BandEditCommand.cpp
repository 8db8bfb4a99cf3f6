#include "ui/BandEditCommand.h"

#include <utility>

BandEditCommand::BandEditCommand(EqBandTable before, EqBandTable after, int mergeKey, qint64 when,
                                 std::function<void(const EqBandTable&)> apply)
    : m_before(std::move(before)),
      m_after(std::move(after)),
      m_mergeKey(mergeKey),
      m_when(when),
      m_apply(std::move(apply)) {}

void BandEditCommand::undo() { m_apply(m_before); }

void BandEditCommand::redo() {
  if (m_done) {
    m_done = false;  // pushed after the edit was made
    return;
  }
  m_apply(m_after);
}

bool BandEditCommand::mergeWith(const QUndoCommand* other) {
  const auto* next = static_cast<const BandEditCommand*>(other);
  if (next->m_mergeKey != m_mergeKey || next->m_when - m_when > kMergeMs) {
    return false;
  }
  m_after = next->m_after;
  m_when = next->m_when;
  return true;
}
