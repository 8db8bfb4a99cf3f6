#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "analysis/RecordingEnvelope.h"

class QCheckBox;

/// The opened recording in time, under the response graph: its envelope (the lowest and
/// highest sample per column, scaled so that the loudest reaches the edge) over its whole
/// length, a time axis, the selection and the play position. A click reports a play position, a
/// drag a selection, Escape clears the selection. It draws what it is given; the main window
/// decides what the gestures do. The envelope is drawn once per device pixel column into a cached
/// picture, redrawn when the envelope or the size changes.
class CRecordingStrip : public QWidget {
  Q_OBJECT

 public:
  /// Height, device-independent pixels: the envelope over a row of time labels.
  static constexpr int kHeight = 66;
  /// The row of time labels at the bottom.
  static constexpr int kAxisHeight = 18;

  explicit CRecordingStrip(QWidget* parent = nullptr);

  /// A new recording of `frames` frames at `sampleRate` Hz: no envelope yet, nothing selected,
  /// the play position at its start.
  void SetRecording(std::uint64_t frames, double sampleRate);
  /// The envelope read so far (it grows as the recording is read).
  void SetEnvelope(std::shared_ptr<const RecordingEnvelope> envelope);
  const RecordingEnvelope* Envelope() const { return m_envelope.get(); }
  /// Frames [first, end) shown selected; first == end: nothing.
  void SetSelection(std::uint64_t first, std::uint64_t end);
  std::uint64_t SelectionFirst() const { return m_selFirst; }
  std::uint64_t SelectionEnd() const { return m_selEnd; }
  /// The frame playing (or next to play).
  void SetPlayhead(std::uint64_t frame);
  std::uint64_t Playhead() const { return m_playhead; }
  std::uint64_t Frames() const { return m_frames; }

  /// The frame at `x` device-independent pixels (x at the right edge: the end).
  std::uint64_t FrameAt(double x) const;
  /// Where frame `frame` lies, device-independent pixels.
  double XOf(std::uint64_t frame) const;
  /// The envelope as last drawn: one range per device pixel column.
  const std::vector<EnvelopeRange>& DrawnColumns() const { return m_columns; }
  /// "Spectrum of selection": the graph shows the spectrum of the selection instead of the
  /// recording's.
  QCheckBox* SelectionSpectrumBox() const { return m_selectionSpectrum; }

 signals:
  /// A click at `frame`.
  void PositionChosen(std::uint64_t frame);
  /// A drag over frames [first, end).
  void SelectionChosen(std::uint64_t first, std::uint64_t end);
  /// Escape with a selection.
  void SelectionCleared();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  /// Draws the envelope into m_picture, one line per device pixel column.
  void DrawEnvelope();
  int EnvelopeHeight() const { return height() - kAxisHeight; }

  QCheckBox* m_selectionSpectrum;
  std::shared_ptr<const RecordingEnvelope> m_envelope;
  std::uint64_t m_frames = 0;
  double m_sampleRate = 0.0;
  std::uint64_t m_selFirst = 0;
  std::uint64_t m_selEnd = 0;
  std::uint64_t m_playhead = 0;
  QImage m_picture;  // the envelope, device pixels
  bool m_pictureDirty = true;
  QSize m_pictureFor;  // the size and pixel ratio the picture was drawn for
  qreal m_pictureRatio = 0.0;
  std::vector<EnvelopeRange> m_columns;
  double m_pressX = -1.0;  // where a press went down; -1: none
  bool m_selecting = false;
};
