#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "eq/band/EqBand.h"

/// A band table read from parametric-EQ preset text, and what was not taken from it.
struct PresetImport {
  EqBandTable table;               ///< the filters in file order (indices from 0), the preamp
  std::vector<std::string> notes;  ///< one sentence per line skipped and why ("Line 4 ...")
};

/// Reads the preset text that Equalizer APO, Room EQ Wizard and AutoEQ write (and EasyEffects,
/// JamesDSP and PipeWire read): "Preamp: X dB" lines (added up) and "Filter[ n]: ON|OFF TYPE
/// [N dB] Fc F Hz [Gain G dB] [Q q | BW Oct b]" lines, TYPE one of PK, PEQ or Modal (bell),
/// LS, HS, LSC or HSC (shelves), NO (notch), LP, HP, LPQ or HPQ (Butterworth passes), read as
/// those tools read them:
/// - commas are points; a frequency like "1.234" (five characters or more, a point fourth from
///   the end, no exponent) is Room EQ Wizard's thousands separator and reads as 1234;
/// - a bell's cookbook Q (or the analogue Q of its bandwidth in octaves) becomes ours by
///   x 10^(|gain| / 40): the same filter;
/// - a shelf's Q is kept and Fc is its centre; without Q its slope (N dB per octave, S = N / 12,
///   0.9 when not given) gives the Q, and Fc of LS and HS is then the corner frequency;
/// - a notch without Q gets Q 30;
/// - LP and HP without Q, and any with Q 0.7071, are Butterworth bands of order 2, and a run of
///   LPQ (or HPQ) lines at one Fc whose Qs are those of a Butterworth filter's sections is one
///   band of that order, stored so that the order reads back exactly.
/// The text is UTF-8, with or without a byte order mark, or UTF-16 with one (either byte order).
/// A Q that makes no filter (0 or below, from a bandwidth of 0 octaves or below) or that the
/// settings file's six decimals would store as 0 skips its line, naming the Q.
/// OFF filters become disabled bands. Everything else (other Qs of a pass filter, GraphicEQ,
/// Convolution, Include, sections for some channels only, unknown lines) is skipped with a
/// note naming its line; blank and comment ("#") lines are passed over silently.
PresetImport ReadPresetText(std::string_view text);

/// Why `preset` cannot replace a setup, as a sentence without its final point ("The preset file
/// holds no filter that can be imported", or one naming its band count above kMaxBandCount);
/// empty when it can.
std::string DescribeImportRefusal(const PresetImport& preset);

/// Writes `table` as Equalizer APO text that ReadPresetText reads back: a "Preamp:" line, then
/// one "Filter n:" line per band (bells as PK with the cookbook Q, shelves as LSC or HSC with
/// their Q, notches as NO, Butterworth passes as one LPQ or HPQ line per section). A pass band of
/// odd order is written one order higher (the format has no first-order section), with a
/// comment line saying so and a sentence in `notes`; bands of unknown type are left out the same
/// way.
std::string WritePresetText(const EqBandTable& table, std::vector<std::string>* notes = nullptr);

/// The Q of each second-order section of a Butterworth filter of even order `order`, in the
/// order of the design's sections (damping 2 sin((2m - 1) pi / 2N), m = 1, 2, ...: the highest
/// Q first).
std::vector<double> ButterworthSectionQuals(unsigned order);
