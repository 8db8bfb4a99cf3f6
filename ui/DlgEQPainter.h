#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <utility>
#include <vector>

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
class CDlgEQPainter : public QWidget {
  Q_OBJECT

 public:
  /// `params` are the graph parameters the main dialog keeps current.
  explicit CDlgEQPainter(const EqGraphParams& params, QWidget* parent = nullptr);

  void SetCurve(const std::vector<std::int32_t>& curve) { m_curve = curve; }
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

  /// 1: the grid picture is redrawn at the next paint.
  int m_gridDirty = 1;
  /// How many times the grid picture has been drawn (for tests and diagnostics).
  int GridDrawCount() const { return m_gridDraws; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void DrawGrid(QPainter& painter, int width, int height) const;
  void DrawCurves(QPainter& painter) const;
  void DrawSpectrum(QPainter& painter, int height) const;

  const EqGraphParams& m_params;
  QPixmap m_grid;
  std::vector<std::int32_t> m_curve;
  std::vector<BandMarker> m_markers;
  std::vector<std::vector<std::int32_t>> m_bandCurves;
  std::vector<double> m_responseDb;
  std::vector<std::int32_t> m_spectrumBefore;
  std::vector<std::int32_t> m_spectrumAfter;
  int m_mouseX = -1;
  int m_readoutTop = 2;
  int m_gridDraws = 0;
};
