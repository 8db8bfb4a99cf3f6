#pragma once

#include <QUndoCommand>
#include <functional>

#include "eq/band/EqBand.h"

/// One undoable edit of the band table: the table before and after it. Edits of one field of
/// one band that follow each other within kMergeMs (the steps of a held arrow) merge into one.
class BandEditCommand final : public QUndoCommand {
 public:
  /// Steps of one field closer than this, in ms, are one edit.
  static constexpr qint64 kMergeMs = 500;

  /// `apply` makes a table the window's; `mergeKey` names the field (-1: never merged); `when`
  /// is the edit's time in ms. The edit is already made: the first redo does nothing.
  BandEditCommand(EqBandTable before, EqBandTable after, int mergeKey, qint64 when,
                  std::function<void(const EqBandTable&)> apply);

  void undo() override;
  void redo() override;
  int id() const override { return m_mergeKey; }
  bool mergeWith(const QUndoCommand* other) override;

 private:
  EqBandTable m_before;
  EqBandTable m_after;
  int m_mergeKey;
  qint64 m_when;
  std::function<void(const EqBandTable&)> m_apply;
  bool m_done = true;
};
