#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "eq/band/EqBand.h"
#include "eq/design/FilterChain.h"
#include "eq/filter/PcmFilter.h"

/// Filters a recording for listening, a block at a time as a player asks for it: the samples in
/// the file's own encoding, each channel through the band table's chain with its states carried
/// from block to block, by the plain pass's arithmetic, which every kernel of a conversion
/// matches bit for bit. What plays is therefore what the conversion writes for the same samples.
///
/// A player whose blocks are rendered on an audio thread prepares a band edit elsewhere
/// (Prepare, which designs and allocates) and hands it over; the audio thread then adopts it
/// (Adopt, which neither allocates nor frees) and hands back the chains it replaced.
class PlaybackRenderer {
 public:
  /// Chains designed for one renderer, states zeroed, with room to carry the states over.
  struct Bands {
    std::vector<FilterChain> chains;   ///< one per channel
    std::vector<BiquadState> carried;  ///< room for one chain's states
  };

  PlaybackRenderer(SampleFormat format, std::uint16_t channels, double sampleRate);

  /// Designs `table` for the next block on. The states carry over when the chain keeps its
  /// section count (an edited value); otherwise they start from zero.
  void SetBands(const EqBandTable& table);
  /// `table` designed for this renderer's rate and channels, for Adopt; reads only what never
  /// changes, so any thread may call it while another renders.
  Bands Prepare(const EqBandTable& table) const;
  /// Renders with `bands` (made by Prepare) from the next block on, as SetBands does, and leaves
  /// the chains it replaced in `bands`. Allocates and frees nothing.
  void Adopt(Bands& bands);
  /// A/B: with `bypass` the blocks pass unchanged (the states stay as they were).
  void SetBypass(bool bypass) { m_bypass = bypass; }
  /// Starts over from silence, as at the start of the recording (a seek, a loop).
  void Reset();
  /// Filters `frames` interleaved frames at `samples` in place.
  void Render(void* samples, std::size_t frames);

 private:
  SampleFormat m_format;
  std::uint16_t m_channels;
  double m_sampleRate;
  std::vector<FilterChain> m_chains;  // one per channel
  bool m_bypass = false;
};
