// The renderer a player pulls blocks from, against the conversion's pass: the same bits block
// by block, states carried across an edit that keeps the sections, reset across one that does
// not, and A/B.
#include "analysis/PlaybackRenderer.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support/BandFixtures.h"

namespace {

std::vector<std::int16_t> Noise(std::size_t count, unsigned seed) {
  return testsupport::NoiseSamples(count, seed, 30000);
}

// Renders `samples` (stereo) in blocks of random sizes.
void RenderInBlocks(PlaybackRenderer& renderer, std::vector<std::int16_t>& samples,
                    std::size_t fromFrame, std::size_t toFrame, unsigned seed) {
  std::mt19937 rng(seed);
  for (std::size_t f = fromFrame; f < toFrame;) {
    const std::size_t n = std::min<std::size_t>(1 + rng() % 3000, toFrame - f);
    renderer.Render(samples.data() + 2 * f, n);
    f += n;
  }
}

TEST(PlaybackRendererTest, BlocksGiveTheConversionsBits) {
  const EqBandTable table = testsupport::SpeechBands();
  std::vector<std::int16_t> converted = Noise(2 * 20000, 1);
  std::vector<std::int16_t> played = converted;
  FilterChain chain;
  DesignBandFilters(table, chain, 16000);
  FilterSamples(BestFilterKernel(), {SampleEncoding::Pcm16, 0}, converted.data(),
                static_cast<std::uint32_t>(converted.size()), chain, 2);
  PlaybackRenderer renderer({SampleEncoding::Pcm16, 0}, 2, 16000);
  renderer.SetBands(table);
  RenderInBlocks(renderer, played, 0, 20000, 2);
  EXPECT_EQ(played, converted);
}

TEST(PlaybackRendererTest, EditsCarryTheStatesWhenTheSectionsStayAndBypassPassesTheSamples) {
  EqBandTable table = testsupport::SpeechBands();
  const std::vector<std::int16_t> source = Noise(2 * 10000, 3);
  std::vector<std::int16_t> straight = source;
  PlaybackRenderer one({SampleEncoding::Pcm16, 0}, 2, 16000);
  one.SetBands(table);
  one.Render(straight.data(), 10000);

  // The same bands set again half-way: nothing changes.
  std::vector<std::int16_t> edited = source;
  PlaybackRenderer two({SampleEncoding::Pcm16, 0}, 2, 16000);
  two.SetBands(table);
  two.Render(edited.data(), 5000);
  two.SetBands(table);
  two.Render(edited.data() + 10000, 5000);
  EXPECT_EQ(edited, straight);

  // A band more: the rest starts from silence, as a fresh renderer would.
  table.push_back(
      EqBand{.type = 6, .index = 9, .enable = 1, .gain = 0, .qual = 10, .centFreq = 50});
  std::vector<std::int16_t> grown = source;
  two.SetBands(table);
  two.Render(grown.data() + 10000, 5000);
  std::vector<std::int16_t> fresh = source;
  PlaybackRenderer three({SampleEncoding::Pcm16, 0}, 2, 16000);
  three.SetBands(table);
  three.Render(fresh.data() + 10000, 5000);
  EXPECT_TRUE(std::equal(grown.begin() + 10000, grown.end(), fresh.begin() + 10000));

  std::vector<std::int16_t> bypassed = source;
  two.SetBypass(true);
  two.Render(bypassed.data(), 10000);
  EXPECT_EQ(bypassed, source);
}

}  // namespace
