#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

#include "eq/response/BandHandles.h"
#include "eq/response/EqGraphParams.h"

/// One line of the response graph's grid: its position in pixels (from the left for frequency
/// lines, from the top for dB lines), its kind and, for a major line, the value it is labelled
/// with (Hz or dB).
struct GridLine {
  std::uint32_t position = 0;
  std::uint32_t kind = 0;  ///< 0 = major, 1 = minor
  double value = 0.0;
};

/// The response graph: a black picture with a logarithmic frequency grid and a dB grid, the
/// combined response curve in white and a red square for every enabled bell. The grid is drawn
/// once into a cached picture and redrawn only when m_gridDirty is set (on a sample-rate
/// change); the curve and markers are drawn over it at every paint.
///
/// The bands' handles are its controls: it picks the handle under a press and reports the
/// gestures on it (a drag, the wheel, a double click, the keys while it has the focus) by the
/// band's position in the table, and the main window works out what they make of the band.
/// The handles of pass bands and of disabled bands show only while the mouse is over the graph
/// or it has the focus, so that a graph nobody touches looks as it always has.
class CDlgEQPainter : public QWidget {
  Q_OBJECT

 public:
  /// `params` are the graph parameters the main dialog keeps current.
  explicit CDlgEQPainter(const EqGraphParams& params, QWidget* parent = nullptr);

  void SetCurve(const std::vector<std::int32_t>& curve) { m_curve = curve; }
  /// The handle of every band the graph can move, in band order, and each one's description
  /// (DescribeBand), its accessible name and the readout while it is dragged or selected.
  void SetHandles(std::vector<BandHandle> handles, std::vector<QString> names);
  const std::vector<BandHandle>& Handles() const { return m_handles; }
  QString HandleName(int handle) const;
  /// The band `index` of each band curve, in SetBandCurves's order.
  void SetCurveBands(std::vector<std::uint32_t> bands) { m_curveBands = std::move(bands); }
  /// The handle the keys act on (-1: none), and the one being dragged.
  int SelectedHandle() const { return m_selected; }
  void SelectHandle(int handle);
  int DraggedHandle() const { return m_dragged; }
  /// The distance, device-independent pixels, within which a press picks a handle: 6 at a
  /// pixel ratio of 1, more on denser screens (8 at 2), where the finger or the pointer is
  /// less exact for the same look.
  double HitRadius() const;
  /// True while the handles of pass bands and disabled bands show.
  bool HandlesRevealed() const;
  void SetMarkers(const std::vector<BandMarker>& markers) { m_markers = markers; }
  /// Each band's own curve, drawn faintly under the combined one.
  void SetBandCurves(std::vector<std::vector<std::int32_t>> curves) {
    m_bandCurves = std::move(curves);
  }
  /// The recording's spectrum as rows per column, before and after the EQ (empty: none); drawn
  /// behind the grid's lines, the one before as an area, the one after as a lighter line.
  void SetSpectrum(std::vector<std::int32_t> before, std::vector<std::int32_t> after) {
    m_spectrumBefore = std::move(before);
    m_spectrumAfter = std::move(after);
  }
  const std::vector<std::int32_t>& SpectrumBefore() const { return m_spectrumBefore; }
  const std::vector<std::int32_t>& SpectrumAfter() const { return m_spectrumAfter; }
  /// The cached grid picture (its pixel ratio follows the screen's).
  const QPixmap& GridPicture() const { return m_grid; }
  /// The combined response in dB per column, for the readout at the mouse.
  void SetResponseDb(const std::vector<double>& db) { m_responseDb = db; }
  const std::vector<std::vector<std::int32_t>>& BandCurves() const { return m_bandCurves; }
  /// The readout for the mouse at column `x`: "1234 Hz  -3.2 dB"; empty outside the curve.
  QString ReadoutAt(int x) const;
  /// Where the readout's line starts, below any buttons over the graph's top-right corner.
  void SetReadoutTop(int y) { m_readoutTop = y; }
  /// The graph without the readout, drawn into `painter` at `scale` times its size (for
  /// export as an image or a drawing).
  void Render(QPainter& painter, double scale) const;
  const std::vector<std::int32_t>& Curve() const { return m_curve; }
  const std::vector<BandMarker>& Markers() const { return m_markers; }

  /// The grid lines for graph parameters `p`: frequency lines every width / 5 pixels with the
  /// pattern of a logarithmic decade between them, dB lines every height / 4 pixels with four
  /// minor lines between. A graph narrower than 5 or lower than 4 pixels gets no lines on that
  /// axis.
  static void ComputeGrid(const EqGraphParams& p, std::vector<GridLine>& freqLines,
                          std::vector<GridLine>& dbLines);
  /// The frequency, Hz, the grid puts at `position` pixels from the left (not limited to half
  /// the rate): what its lines are labelled with.
  static double GridFreqAt(const EqGraphParams& p, double position);

  /// The grid picture is redrawn at the next paint (after a change of the graph parameters).
  void MarkGridDirty() { m_gridDirty = 1; }
  /// How many times the grid picture has been drawn (for tests and diagnostics).
  int GridDrawCount() const { return m_gridDraws; }

 signals:
  /// A press on the handle of the band at table position `band` starts a drag.
  void HandlePressed(int band);
  /// The drag has moved the handle by (dx, dy) device-independent pixels since the press (each
  /// move with Shift held counts a tenth).
  void HandleDragged(int band, double dx, double dy);
  /// The drag has ended (the button released, or the graph hidden).
  void HandleReleased(int band);
  /// Escape during the drag: the band goes back to what it was at the press.
  void HandleDragCancelled(int band);
  /// The wheel over a handle, or Page Up/Down: `steps` notches up (negative: down).
  void HandleWidthStepped(int band, int steps, bool fine);
  /// The arrow keys: frequency steps (right positive) and gain steps (up positive).
  void HandleNudged(int band, int freqSteps, int gainSteps, bool fine);
  /// A double click on a handle, or Space: the band switched on or off.
  void HandleToggled(int band);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void DrawGrid(QPainter& painter, int width, int height) const;
  void DrawCurves(QPainter& painter) const;
  void DrawSpectrum(QPainter& painter, int height) const;
  void DrawHandles(QPainter& painter) const;
  /// The handle under `at`, -1 for none.
  int HandleAt(QPointF at) const;
  /// The handle whose band curve is drawn strong and whose values the readout shows.
  int ShownHandle() const;
  /// Ends a drag in progress as released.
  void EndDrag();
  /// Tells a screen reader that the selected handle has the focus.
  void AnnounceSelection();

  const EqGraphParams& m_params;
  QPixmap m_grid;
  int m_gridDirty = 1;  // 1: m_grid is redrawn at the next paint
  std::vector<std::int32_t> m_curve;
  std::vector<BandMarker> m_markers;
  std::vector<std::vector<std::int32_t>> m_bandCurves;
  std::vector<double> m_responseDb;
  std::vector<std::int32_t> m_spectrumBefore;
  std::vector<std::int32_t> m_spectrumAfter;
  int m_mouseX = -1;
  int m_readoutTop = 2;
  int m_gridDraws = 0;
  std::vector<BandHandle> m_handles;
  std::vector<QString> m_handleNames;
  std::vector<std::uint32_t> m_curveBands;
  int m_selected = -1;  // a handle's place in m_handles
  int m_dragged = -1;
  int m_hovered = -1;
  bool m_mouseInside = false;
  QPointF m_lastDragPos;
  QPointF m_dragOffset;  // the drag's movement so far, Shift's moves scaled
  int m_wheelAngle = 0;  // eighths of a degree not yet a whole notch
};
