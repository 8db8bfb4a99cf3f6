// Parametric-EQ preset text out: the band table as Equalizer APO text that the reader takes
// back.
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "eq/design/FilterChain.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"
#include "preset/PresetText.h"

namespace {

using platform::FormatShortest;
using platform::FormatText;

// A frequency as text that reads back as itself: one that would look like a thousands
// separator ("1.234") gets a trailing zero.
std::string FrequencyText(double value) {
  std::string text = FormatShortest(value);
  if (text.size() >= 5 && text[text.size() - 4] == '.' &&
      text.find_first_of("eE") == std::string::npos) {
    text += '0';
  }
  return text;
}

// A Q as text: six significant digits, as much as the settings file keeps (a Q read back from
// it as 1.19999964 is written 1.2).
std::string QualText(double value) {
  char text[32];
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
  double rounded = value;
  (void)std::from_chars(text, written.ptr, rounded);
  return FormatShortest(rounded);
}

}  // namespace

std::string WritePresetText(const EqBandTable& table, std::vector<std::string>* notes) {
  std::string out = "Preamp: " + FormatShortest(table.preampDb) + " dB\n";
  int filter = 0;
  auto note = [&](const std::string& sentence) {
    out += "# " + sentence + "\n";
    if (notes != nullptr) {
      notes->push_back(sentence);
    }
  };
  for (const EqBand& band : table) {
    const char* state = band.enable == 1 ? "ON" : "OFF";
    const std::string fc = FrequencyText(IsPassType(band.type) ? band.cutoffFreq : band.centFreq);
    const std::string gain = FormatShortest(band.gain);
    if (band.type == ToCode(EqBandType::Bell)) {
      const double cookbook = band.qual / std::pow(10.0, std::fabs(band.gain) / 40.0);
      out += FormatText("Filter %d: %s PK Fc %s Hz Gain %s dB Q %s\n", ++filter, state, fc.c_str(),
                        gain.c_str(), QualText(cookbook).c_str());
    } else if (band.type == ToCode(EqBandType::LowShelf) ||
               band.type == ToCode(EqBandType::HighShelf)) {
      out += FormatText("Filter %d: %s %s Fc %s Hz Gain %s dB Q %s\n", ++filter, state,
                        band.type == ToCode(EqBandType::LowShelf) ? "LSC" : "HSC", fc.c_str(),
                        gain.c_str(), QualText(band.qual).c_str());
    } else if (band.type == ToCode(EqBandType::Notch)) {
      out += FormatText("Filter %d: %s NO Fc %s Hz Q %s\n", ++filter, state, fc.c_str(),
                        QualText(band.qual).c_str());
    } else if (IsPassType(band.type)) {
      const bool highPass = band.type == ToCode(EqBandType::HighPass);
      const double ratio =
          highPass ? band.cutoffFreq / band.stopFreq : band.stopFreq / band.cutoffFreq;
      const auto order = EstimateHighLowOrder(band.gain, ratio);
      if (!order || *order == 0) {
        note(FormatText("Band%.2d (%s) is not written: its values make no filter.",
                        static_cast<int>(band.index), BandTypeName(band.type)));
        continue;
      }
      unsigned written = *order;
      if (written % 2 == 1) {
        ++written;
        note(
            FormatText("Band%.2d (%s) of order %u is written as order %u: this format has no "
                       "first-order section.",
                       static_cast<int>(band.index), BandTypeName(band.type),
                       static_cast<unsigned>(*order), written));
      }
      for (const double q : ButterworthSectionQuals(written)) {
        out += FormatText("Filter %d: %s %s Fc %s Hz Q %s\n", ++filter, state,
                          highPass ? "HPQ" : "LPQ", fc.c_str(), QualText(q).c_str());
      }
    } else {
      note(FormatText("Band%.2d of type %u is not written: the type names no filter.",
                      static_cast<int>(band.index), static_cast<unsigned>(band.type)));
    }
  }
  return out;
}
