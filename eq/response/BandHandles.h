#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "eq/band/EqBand.h"
#include "eq/response/EqGraphParams.h"

// The bands as handles on the response graph: where each one sits, which one a point picks,
// and what a drag, a wheel step or an arrow key makes of a band. Pure functions of the graph's
// parameters and the band values, so that the widget only draws and reports the gestures.

/// Where a band's handle sits on the graph.
struct BandHandle {
  std::size_t band = 0;     ///< the band's position in the table
  std::uint32_t index = 0;  ///< the band's `index`
  double x = 0.0;           ///< pixels, not rounded
  double y = 0.0;           ///< pixels, not rounded
  bool enabled = false;
  bool passBand = false;  ///< a high- or low-pass band: its corner frequency
};

/// The range each value of a band is held in while the graph moves it: the fields' limits.
struct BandLimits {
  double minFreq = 10.0;   ///< Hz
  double maxFreq = 8000;   ///< Hz
  double minGain = -30.0;  ///< dB
  double maxGain = 30.0;   ///< dB
  double minQual = 0.01;
  double maxQual = 30.0;
};

/// The level, dB, at which a pass band's handle sits: its -3 dB corner (20 log10 sqrt(1/2)).
inline constexpr double kPassHandleDb = -3.010299956639812;

/// The handle of every band of a type the graph can move, in band order: a bell at (centre,
/// gain), a shelf at (centre, half its gain), a notch on the bottom line, a pass band at
/// (cut-off, kPassHandleDb); the rows as the markers' ((dB - topDb) / (bottomDb - topDb) x
/// (height - 1)). Disabled bands too. None for a graph narrower than 2 pixels.
std::vector<BandHandle> BandHandles(const EqGraphParams& p, const EqBandTable& table);

/// The handle that a press at (x, y) picks: of those within `radius` pixels, the nearest, and of
/// equally near ones the first in band order. -1 when none is within reach.
int PickHandle(const std::vector<BandHandle>& handles, double x, double y, double radius);

/// `start` moved by (dx, dy) pixels on the graph from where it was grabbed: a bell's or shelf's
/// centre along the frequency axis (XToFreq at its handle's x + dx) and its gain along the dB
/// axis, a notch's centre only, a pass band's cut-off with its stop frequency by the same ratio
/// (its Butterworth order kept). Frequencies come out in whole hertz, gains in hundredths of a
/// dB, held within `limits`.
EqBand DragBand(const EqBand& start, const EqGraphParams& p, double dx, double dy,
                const BandLimits& limits);

/// `band` moved by `freqSteps` frequency steps of `freqStep` Hz and `gainSteps` gain steps of
/// `gainStep` dB (the arrow keys; a pass band and a notch take no gain steps), rounded and held
/// as DragBand does.
EqBand NudgeBand(const EqBand& band, int freqSteps, int gainSteps, double freqStep, double gainStep,
                 const BandLimits& limits);

/// `band` after `steps` wheel notches (positive: up): a bell's, shelf's or notch's Q narrowed
/// by 1/12 octave of bandwidth per notch (1/48 when `fine`), in hundredths; a pass band's
/// attenuation raised by 1 dB per notch (0.1 when `fine`), not below 1 dB. Held within
/// `limits`; a step that the rounding would swallow moves the value by one hundredth.
EqBand StepBandWidth(const EqBand& band, int steps, bool fine, const BandLimits& limits);

/// The bandwidth, octaves, of a section of quality `q`: 2 / ln 2 x asinh(1 / (2q)).
double QToOctaves(double q);
/// The quality of a section `octaves` wide: 1 / (2 sinh(ln 2 / 2 x octaves)).
double OctavesToQ(double octaves);

/// What a band is and holds, in words, for a screen reader and the graph's readout, numbered
/// as the editors' titles (index + 1) and in the C locale: "Band 3, bell, 1000 Hz, +4.0 dB,
/// Q 1.2", "Band 1, high-pass, 80 Hz, 24.0 dB at 40 Hz", "Band 5, notch, 50 Hz, Q 30.0";
/// ", off" after a disabled band.
std::string DescribeBand(const EqBand& band);
