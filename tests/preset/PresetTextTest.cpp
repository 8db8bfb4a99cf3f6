// Preset text as Equalizer APO, Room EQ Wizard and AutoEQ write it, read band by band against
// values worked out by hand, the notes on what is skipped, and our own export read back.
#include "preset/PresetText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "eq/design/FilterChain.h"

namespace {

void ExpectBand(const EqBand& band, EqBandType type, std::uint32_t enable, double freq, double gain,
                double qual) {
  EXPECT_EQ(band.type, ToCode(type));
  EXPECT_EQ(band.enable, enable);
  EXPECT_NEAR(IsPassType(band.type) ? band.cutoffFreq : band.centFreq, freq, freq * 1e-5);
  EXPECT_NEAR(band.gain, gain, 1e-5);
  EXPECT_NEAR(band.qual, qual, 1e-5);
}

TEST(PresetTextTest, EqualizerApoFiltersChannelSectionsAndOtherLines) {
  const PresetImport got = ReadPresetText(
      "# a comment\r\n"
      "Preamp: -6 dB\r\n"
      "Filter 1: ON PK Fc 100 Hz Gain -3 dB Q 1.41\r\n"
      "Filter 2: OFF LS 6dB Fc 80 Hz Gain 4 dB\r\n"
      "Filter 3: ON HP Fc 60 Hz\r\n"
      "Filter 4: ON NO Fc 50 Hz\r\n"
      "GraphicEQ: 25 0; 40 -1\r\n"
      "Channel: L\r\n"
      "Filter 5: ON PK Fc 1000 Hz Gain 2 dB Q 1\r\n"
      "Channel: all\r\n"
      "Filter: ON HS Fc 8000 Hz Gain -2 dB\r\n"
      "Filter 7: ON PK Fc 300 Hz Gain 1 dB BW Oct 1\r\n");
  EXPECT_EQ(got.table.preampDb, -6.0);
  ASSERT_EQ(got.table.size(), 6U);
  // Q 1.41 x 10^(3/40) = 1.41 x 1.1885022 = 1.6757881.
  ExpectBand(got.table[0], EqBandType::Bell, 1, 100, -3, 1.6757881);
  // Slope 6 dB = S 0.5; A = 10^(4/40); Q = 1 / sqrt((A + 1/A)(1/S - 1) + 2) = 0.4967063;
  // centre 80 x 10^(4 / (80 x 0.5)) = 100.71404.
  ExpectBand(got.table[1], EqBandType::LowShelf, 0, 100.71404, 4, 0.4967063);
  // Order 2: stop round(60 / 1.25) = 48, attenuation 1.5 x 20 log10(1.25) = 2.907 -> 2.91.
  ExpectBand(got.table[2], EqBandType::HighPass, 1, 60, 2.91, 0.7071068);
  EXPECT_EQ(got.table[2].stopFreq, 48.0);
  ExpectBand(got.table[3], EqBandType::Notch, 1, 50, 0, 30);
  // S 0.9: Q = 1 / sqrt((A + 1/A)(1/0.9 - 1) + 2) = 0.6705974 with A = 10^(-2/40); centre
  // 8000 / 10^(2 / 72) = 7504.338.
  ExpectBand(got.table[4], EqBandType::HighShelf, 1, 7504.338, -2, 0.6705974);
  // One octave: Q = sqrt(2) / (2 - 1) = 1.4142136, x 10^(1/40) = 1.4980110.
  ExpectBand(got.table[5], EqBandType::Bell, 1, 300, 1, 1.4980110);
  for (std::size_t i = 0; i < got.table.size(); ++i) {
    EXPECT_EQ(got.table[i].index, i);
  }
  ASSERT_EQ(got.notes.size(), 2U);
  EXPECT_EQ(got.notes[0], "Line 7 is skipped: a graphic equalizer's curve is not read.");
  EXPECT_EQ(got.notes[1], "Line 9 is skipped: it belongs to a section for some channels only.");
}

TEST(PresetTextTest, RoomEqWizardHeadersThousandsSeparatorsAndUnusedFilters) {
  const PresetImport got = ReadPresetText(
      "Filter Settings file\n"
      "\n"
      "Room EQ V5.20.13\n"
      "Dated: 07-Dec-2026 10:00:00\n"
      "\n"
      "Equaliser: Generic\n"
      "Filter  1: ON  PK       Fc   63,80 Hz  Gain  -5,00 dB  Q  4,000\n"
      "Filter  2: ON  PK       Fc   1,234 Hz  Gain  -3,00 dB  Q  2,000\n"
      "Filter  3: ON  PK       Fc   1.000,5 Hz  Gain  1,00 dB  Q  1,000\n"
      "Filter  4: ON  PK       Fc   12.345 Hz  Gain  0,50 dB  Q  1,000\n"
      "Filter  5: ON  None\n");
  ASSERT_EQ(got.table.size(), 3U);
  EXPECT_EQ(got.table[0].centFreq, 63.8);
  EXPECT_EQ(got.table[1].centFreq, 1234.0);
  EXPECT_NEAR(got.table[1].qual, 2.0 * std::pow(10.0, 3.0 / 40), 1e-12);
  EXPECT_EQ(got.table[2].centFreq, 12345.0);
  EXPECT_EQ(got.table[0].gain, -5.0);
  // "1.000,5" reads as 1.000.5: not a number, so the line is named rather than guessed at.
  ASSERT_EQ(got.notes.size(), 6U);
  EXPECT_EQ(got.notes[0], "Line 1 is skipped: it is not a filter or preamp line.");
  EXPECT_EQ(got.notes[4], "Line 9 is skipped: \"1.000.5\" is not a number.");
  EXPECT_EQ(got.notes[5], "Line 11 is skipped: it is an unused filter.");
}

TEST(PresetTextTest, ButterworthRunsBecomeOneBandAndOtherPassQsAreSkipped) {
  // Order 6 in the export's order, order 4 shuffled, a lone 0.7071, and a Q of no Butterworth.
  const PresetImport got = ReadPresetText(
      "Filter 1: ON HPQ Fc 80 Hz Q 1.9319\n"
      "Filter 2: ON HPQ Fc 80 Hz Q 0.7071\n"
      "Filter 3: ON HPQ Fc 80 Hz Q 0.5176\n"
      "Filter 4: ON LPQ Fc 7000 Hz Q 0.5412\n"
      "Filter 5: ON LPQ Fc 7000 Hz Q 1.3066\n"
      "Filter 6: ON LPQ Fc 3000 Hz Q 0.7071\n"
      "Filter 7: ON LP Fc 5000 Hz Q 2.5\n");
  ASSERT_EQ(got.table.size(), 3U);
  const auto order = [](const EqBand& band) {
    const bool high = band.type == ToCode(EqBandType::HighPass);
    return EstimateHighLowOrder(
        band.gain, high ? band.cutoffFreq / band.stopFreq : band.stopFreq / band.cutoffFreq);
  };
  EXPECT_EQ(order(got.table[0]), 6);
  EXPECT_EQ(got.table[0].type, ToCode(EqBandType::HighPass));
  EXPECT_EQ(order(got.table[1]), 4);
  EXPECT_EQ(got.table[1].cutoffFreq, 7000.0);
  EXPECT_EQ(got.table[1].stopFreq, 8750.0);
  EXPECT_EQ(order(got.table[2]), 2);
  ASSERT_EQ(got.notes.size(), 1U);
  EXPECT_EQ(got.notes[0],
            "Line 7 is skipped: its Q 2.5 is not a Butterworth filter's (0.7071), the only pass "
            "filter stored.");
}

// A Butterworth band's stored values read back its order at any cut-off, also after the
// window's fields round them to whole hertz and hundredths of a dB.
TEST(PresetTextTest, StoredPassBandsReadBackTheirOrder) {
  for (unsigned order = 2; order <= 40; order += 2) {
    for (const double fc : {20.0, 33.3, 80.0, 999.5, 7000.0, 15999.0}) {
      std::string text;
      for (const double q : ButterworthSectionQuals(order)) {
        text += "Filter: ON LPQ Fc " + std::to_string(fc) + " Hz Q " + std::to_string(q) + "\n";
      }
      const PresetImport got = ReadPresetText(text);
      ASSERT_EQ(got.table.size(), 1U) << order << " " << fc;
      const EqBand& band = got.table[0];
      EXPECT_EQ(band.gain, std::round(band.gain * 100) / 100);
      EXPECT_EQ(EstimateHighLowOrder(band.gain, band.stopFreq / band.cutoffFreq), order) << fc;
    }
  }
}

// Windows editors save "Unicode" text as UTF-16 with a byte order mark, in either byte order: it
// reads as the same preset as its UTF-8 text, marks, accents and characters beyond 16 bits
// included (the bytes written out by hand here, two per unit).
TEST(PresetTextTest, Utf16TextWithAByteOrderMarkReadsAsItsUtf8Text) {
  // "# Kopfhörer 🎧" keeps a non-ASCII comment in the text: ö is U+00F6, 🎧 U+1F3A7 (the
  // surrogates D83C DFA7).
  const std::u16string units =
      u"# Kopfh\u00F6rer \U0001F3A7\r\nPreamp: -3 dB\r\nFilter 1: ON PK Fc 1000 Hz Gain 2 dB Q "
      u"1\r\n"
      u"Filter 2: ON HSC Fc 8000 Hz Gain -1 dB Q 0.7\r\n";
  const PresetImport utf8 = ReadPresetText(
      "# Kopfh\xC3\xB6rer \xF0\x9F\x8E\xA7\r\nPreamp: -3 dB\r\nFilter 1: ON PK Fc 1000 Hz "
      "Gain 2 dB Q 1\r\nFilter 2: ON HSC Fc 8000 Hz Gain -1 dB Q 0.7\r\n");
  ASSERT_EQ(utf8.table.size(), 2U);
  ASSERT_TRUE(utf8.notes.empty());
  for (const bool little : {true, false}) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : units) {
      const char low = static_cast<char>(unit & 0xFF);
      const char high = static_cast<char>(unit >> 8);
      bytes += little ? std::string{low, high} : std::string{high, low};
    }
    const PresetImport got = ReadPresetText(bytes);
    EXPECT_TRUE(got.notes.empty()) << little << ": " << got.notes[0];
    EXPECT_EQ(got.table, utf8.table) << little;
  }
}

// A Q that makes no filter is named as such, not taken for a shelf's slope; so is one that the
// settings file's six decimals would keep as 0. Just above that, a Q is kept.
TEST(PresetTextTest, AQThatMakesNoFilterOrWouldBeStoredAsZeroIsNamed) {
  const PresetImport got = ReadPresetText(
      "Filter 1: ON PK Fc 100 Hz Gain 3 dB Q 0\n"
      "Filter 2: ON PK Fc 100 Hz Gain 3 dB Q -1.5\n"
      "Filter 3: ON PK Fc 100 Hz Gain 3 dB BW Oct 0\n"
      "Filter 4: ON LSC Fc 100 Hz Gain 3 dB Q 0\n"
      "Filter 5: ON NO Fc 50 Hz Q -2\n"
      "Filter 6: ON PK Fc 100 Hz Gain 0 dB Q 1e-9\n"
      "Filter 7: ON NO Fc 50 Hz Q 0.0000004\n"
      "Filter 8: ON PK Fc 100 Hz Gain 0 dB Q 0.0000006\n"
      "Filter 9: ON LS 1000dB Fc 100 Hz Gain 3 dB\n");
  ASSERT_EQ(got.table.size(), 1U);
  EXPECT_EQ(got.table[0].qual, 0.0000006);
  const std::string storedAsZero = " would be stored as 0 (the settings file keeps six decimals).";
  const std::vector<std::string> expected = {
      "Line 1 is skipped: its Q 0 makes no filter (it must be above 0).",
      "Line 2 is skipped: its Q -1.5 makes no filter (it must be above 0).",
      "Line 3 is skipped: its bandwidth 0 octaves makes no filter (it and its Q must be above 0).",
      "Line 4 is skipped: its Q 0 makes no filter (it must be above 0).",
      "Line 5 is skipped: its Q -2 makes no filter (it must be above 0).",
      "Line 6 is skipped: its Q 1e-09" + storedAsZero,
      "Line 7 is skipped: its Q 4e-07" + storedAsZero,
      "Line 9 is skipped: its slope is too steep for its gain.",
  };
  EXPECT_EQ(got.notes, expected);
}

TEST(PresetTextTest, ExportReadsBackAsTheSameTable) {
  EqBandTable table;
  table.preampDb = -2.5;
  table.push_back(
      {.type = 1, .index = 0, .enable = 1, .gain = -4.5, .qual = 2.2, .centFreq = 1.234});
  table.push_back({.type = 4, .index = 1, .enable = 0, .gain = 5, .qual = 0.71, .centFreq = 120});
  table.push_back({.type = 5, .index = 2, .enable = 1, .gain = -3, .qual = 0.6, .centFreq = 9000});
  table.push_back({.type = 6, .index = 3, .enable = 1, .gain = 0, .qual = 25, .centFreq = 150});
  // Order 5, written as 6; order 4.
  table.push_back(
      {.type = 2, .index = 4, .enable = 1, .gain = 27, .cutoffFreq = 100, .stopFreq = 50});
  table.push_back(
      {.type = 3, .index = 5, .enable = 1, .gain = 24, .cutoffFreq = 3000, .stopFreq = 6000});
  table.push_back({.type = 9, .index = 6, .enable = 1});
  std::vector<std::string> notes;
  const std::string text = WritePresetText(table, &notes);
  ASSERT_EQ(notes.size(), 2U);
  EXPECT_EQ(notes[0],
            "Band04 (high-pass) of order 5 is written as order 6: this format has no first-order "
            "section.");
  const PresetImport back = ReadPresetText(text);
  EXPECT_TRUE(back.notes.empty()) << back.notes[0];
  EXPECT_EQ(back.table.preampDb, -2.5);
  ASSERT_EQ(back.table.size(), 6U);
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.table[i].type, table[i].type);
    EXPECT_EQ(back.table[i].enable, table[i].enable);
    EXPECT_EQ(back.table[i].centFreq, table[i].centFreq);
    EXPECT_EQ(back.table[i].gain, table[i].gain);
    EXPECT_NEAR(back.table[i].qual, table[i].qual, table[i].qual * 1e-5);
  }
  EXPECT_EQ(back.table[4].type, 2U);
  EXPECT_EQ(
      EstimateHighLowOrder(back.table[4].gain, back.table[4].cutoffFreq / back.table[4].stopFreq),
      6);
  EXPECT_EQ(back.table[5].cutoffFreq, 3000.0);
  EXPECT_EQ(
      EstimateHighLowOrder(back.table[5].gain, back.table[5].stopFreq / back.table[5].cutoffFreq),
      4);
}

}  // namespace
