#pragma once

#include "eq/design/BellFilter.h"

/// Designs a low shelf (`highShelf` false) or high shelf of one second-order section at
/// `sampleRate` Hz, as the audio-EQ cookbook does: `gain` dB on the shelf, half of it at
/// `centFreq`, 0 dB on the other side, `qual` the Q of its slope (0.7071 is the steepest without
/// overshoot). The coefficients are divided by a0, which is stored as 1.
BellFilter DesignShelfFilter(bool highShelf, double centFreq, double gain, double qual,
                             double sampleRate);

/// Designs the cookbook notch: a zero of the response at `centFreq`, 0 dB far from it, `qual`
/// the centre frequency over the -3 dB bandwidth. `gain` is not used.
BellFilter DesignNotchFilter(double centFreq, double qual, double sampleRate);

/// The cookbook Q of a shelf given by its slope S (1 is the steepest without overshoot) and its
/// gain: alpha = sin(w0) / 2 x sqrt((A + 1/A)(1/S - 1) + 2) written as sin(w0) / (2 Q).
/// Not a number when the slope is too steep for the gain.
double ShelfQualFromSlope(double gain, double slope);
