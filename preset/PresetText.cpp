// Parametric-EQ preset text in: the reader of the text other equalizers write.
#include "preset/PresetText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>

#include "eq/design/CookbookFilter.h"
#include "eq/design/FilterChain.h"
#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"
#include "preset/PresetTokens.h"

namespace {

using platform::FormatShortest;
using platform::FormatText;
using preset_detail::Frequency;
using preset_detail::Number;
using preset_detail::Tokens;
using preset_detail::Upper;
using preset_detail::Utf16AsUtf8;

// Two Qs within this are the same (the tools write three or four decimals).
constexpr double kQualTolerance = 0.001;
constexpr double kButterworthQual = 0.70710678118654752;
constexpr double kDefaultNotchQual = 30.0;
constexpr double kDefaultShelfSlope = 0.9;
// A Butterworth band's stop frequency lies this factor beyond its cut-off.
constexpr double kStopFactor = 1.25;
// The most LPQ or HPQ lines taken as one band: the sections of the highest order a pass band is
// designed with.
constexpr std::size_t kMaxRunSections = kMaxHighLowOrder / 2;

// The analogue Q of a bandwidth of `octaves`.
double QualFromOctaves(double octaves) {
  const double ratio = std::pow(2.0, octaves);
  return std::sqrt(ratio) / (ratio - 1.0);
}

// One "Filter" line taken apart.
struct FilterLine {
  int line = 0;
  bool on = true;
  std::string type;  // upper case
  std::optional<double> slopeDb, fc, gain, qual, octaves;
};

// Reads a slope after a shelf's type, "6dB" or "6 dB", from tokens[i] on; `i` moves past it.
void ReadShelfSlope(const std::vector<std::string>& tokens, std::size_t& i, FilterLine& f) {
  if (i < tokens.size() && f.type.size() >= 2 && (f.type[0] == 'L' || f.type[0] == 'H') &&
      f.type[1] == 'S') {
    std::string token = tokens[i];
    const bool unitAttached = Upper(token).ends_with("DB");
    if (unitAttached) {
      token.resize(token.size() - 2);
    }
    if (const auto slope = Number(token)) {
      f.slopeDb = slope;
      ++i;
      if (!unitAttached && i < tokens.size() && Upper(tokens[i]) == "DB") {
        ++i;
      }
    }
  }
}

// Reads the "KEY value [unit]" pairs from tokens[i] to the end; false, with `why`, at the first
// that is not a filter value.
bool ReadFilterValues(const std::vector<std::string>& tokens, std::size_t i, FilterLine& f,
                      std::string& why) {
  while (i < tokens.size()) {
    const std::string key = Upper(tokens[i++]);
    if (key == "HZ" || key == "DB") {
      continue;  // the unit of the value before
    }
    if (key == "BW" && i < tokens.size() && Upper(tokens[i]) == "OCT") {
      ++i;
    }
    if (i >= tokens.size()) {
      why = "\"" + key + "\" has no value";
      return false;
    }
    const std::string& value = tokens[i++];
    std::optional<double> number = key == "FC" ? Frequency(value) : Number(value);
    if (!number) {
      why = "\"" + value + "\" is not a number";
      return false;
    }
    if (key == "FC") {
      f.fc = number;
    } else if (key == "GAIN") {
      f.gain = number;
    } else if (key == "Q") {
      f.qual = number;
    } else if (key == "BW") {
      f.octaves = number;
    } else {
      why = "\"" + key + "\" is not a filter value this program reads";
      return false;
    }
  }
  return true;
}

// Reads the tokens after "Filter n:"; empty, with `why`, when they are not a filter.
std::optional<FilterLine> ParseFilter(const std::vector<std::string>& tokens, std::string& why) {
  FilterLine f;
  std::size_t i = 0;
  if (i < tokens.size() && (Upper(tokens[i]) == "ON" || Upper(tokens[i]) == "OFF")) {
    f.on = Upper(tokens[i++]) == "ON";
  } else {
    why = "it says neither ON nor OFF";
    return std::nullopt;
  }
  if (i >= tokens.size()) {
    why = "it names no filter type";
    return std::nullopt;
  }
  f.type = Upper(tokens[i++]);
  if (f.type == "NONE") {
    why = "it is an unused filter";
    return std::nullopt;
  }
  ReadShelfSlope(tokens, i, f);
  if (!ReadFilterValues(tokens, i, f, why)) {
    return std::nullopt;
  }
  if (!f.fc || !(*f.fc > 0.0)) {
    why = "it gives no frequency above 0 Hz";
    return std::nullopt;
  }
  return f;
}

// True when `quals` are the section Qs of a Butterworth filter of order 2 x their count.
bool AreButterworthQuals(std::vector<double> quals) {
  std::vector<double> expected = ButterworthSectionQuals(static_cast<unsigned>(2 * quals.size()));
  std::sort(quals.begin(), quals.end());
  std::sort(expected.begin(), expected.end());
  for (std::size_t k = 0; k < quals.size(); ++k) {
    if (!(std::fabs(quals[k] - expected[k]) <= kQualTolerance)) {
      return false;
    }
  }
  return true;
}

// A Butterworth band of `order` at `fc` Hz, stored in whole hertz and hundredths of a dB so that
// its order reads back exactly, also after the window's fields have rounded it.
std::optional<EqBand> PassBand(bool highPass, double fc, unsigned order) {
  EqBand band;
  band.type = ToCode(highPass ? EqBandType::HighPass : EqBandType::LowPass);
  band.qual = kButterworthQual;
  band.cutoffFreq = std::round(fc);
  band.stopFreq =
      std::round(highPass ? band.cutoffFreq / kStopFactor : band.cutoffFreq * kStopFactor);
  const double ratio = highPass ? band.cutoffFreq / band.stopFreq : band.stopFreq / band.cutoffFreq;
  if (!(band.stopFreq >= 1.0) || !(ratio > 1.0)) {
    return std::nullopt;
  }
  band.gain = std::round((order - 0.5) * 20.0 * std::log10(ratio) * 100.0) / 100.0;
  if (EstimateHighLowOrder(band.gain, ratio) != order) {
    return std::nullopt;
  }
  return band;
}

// Reads the filters of the preset into `out`, in order, with notes on what was not taken.
class PresetReader {
 public:
  explicit PresetReader(PresetImport& out) : m_out(out) {}

  void Line(int number, std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    const std::size_t colon = text.find(':');
    const std::vector<std::string> head = Tokens(text.substr(0, colon));
    const std::string keyword = head.empty() ? std::string() : Upper(head[0]);
    const std::vector<std::string> rest = Tokens(
        colon == std::string::npos ? std::string_view() : std::string_view(text).substr(colon + 1));
    if (keyword == "CHANNEL" && colon != std::string::npos) {
      FlushRun();
      m_skipChannels = !NamesAllChannels(rest);
      return;
    }
    if (m_skipChannels) {
      Skip(number, "it belongs to a section for some channels only");
      return;
    }
    if (keyword == "PREAMP" && colon != std::string::npos && !rest.empty()) {
      std::string value = rest[0];
      if (Upper(value).ends_with("DB")) {
        value.resize(value.size() - 2);
      }
      if (const auto db = Number(value)) {
        m_out.table.preampDb += *db;
        return;
      }
      Skip(number, "its preamp \"" + rest[0] + "\" is not a number");
      return;
    }
    if (keyword.starts_with("FILTER") && colon != std::string::npos &&
        (keyword.size() == 6 || std::all_of(keyword.begin() + 6, keyword.end(),
                                            [](char c) { return c >= '0' && c <= '9'; })) &&
        (head.size() == 1 || (head.size() == 2 && Number(head[1])))) {
      std::string why;
      auto filter = ParseFilter(rest, why);
      if (!filter) {
        Skip(number, why);
        return;
      }
      filter->line = number;
      Filter(*filter);
      return;
    }
    if (keyword == "GRAPHICEQ" || keyword == "CONVOLUTION" || keyword == "INCLUDE") {
      Skip(number, Upper(keyword) == "GRAPHICEQ"     ? "a graphic equalizer's curve is not read"
                   : Upper(keyword) == "CONVOLUTION" ? "a convolution is not read"
                                                     : "included files are not read");
      return;
    }
    Skip(number, "it is not a filter or preamp line");
  }

  void Finish() { FlushRun(); }

 private:
  static bool NamesAllChannels(const std::vector<std::string>& names) {
    bool left = false;
    bool right = false;
    for (const std::string& name : names) {
      const std::string upper = Upper(name);
      if (upper == "ALL") {
        return true;
      }
      left = left || upper == "L" || upper == "1";
      right = right || upper == "R" || upper == "2";
    }
    return left && right;
  }

  void Skip(int number, const std::string& why) {
    FlushRun();
    m_out.notes.push_back(FormatText("Line %d is skipped: %s.", number, why.c_str()));
  }

  void Add(EqBand band, bool on) {
    band.index = static_cast<std::uint32_t>(m_out.table.size());
    band.enable = on ? 1 : 0;
    m_out.table.push_back(band);
  }

  void Filter(const FilterLine& f) {
    const std::string& t = f.type;
    if (t == "LPQ" || t == "HPQ") {
      if (!m_run.empty() &&
          (m_run.front().type != t || m_run.front().fc != f.fc || m_run.front().on != f.on)) {
        FlushRun();
      }
      if (!f.qual) {
        Skip(f.line, "an " + t + " filter needs a Q");
        return;
      }
      m_run.push_back(f);
      return;
    }
    FlushRun();
    const double gain = f.gain.value_or(0.0);
    EqBand band;
    band.centFreq = *f.fc;
    if (t == "PK" || t == "PEQ" || t == "MODAL") {
      if (!f.qual && !f.octaves) {
        Skip(f.line, "a peaking filter needs a Q or a bandwidth");
        return;
      }
      const double cookbook = f.qual ? *f.qual : QualFromOctaves(*f.octaves);
      band.type = ToCode(EqBandType::Bell);
      band.gain = gain;
      band.qual = cookbook * std::pow(10.0, std::fabs(gain) / 40.0);
    } else if (t == "LS" || t == "HS" || t == "LSC" || t == "HSC") {
      band = ShelfBand(f, gain);
    } else if (t == "NO") {
      band.type = ToCode(EqBandType::Notch);
      band.qual = f.qual ? *f.qual : f.octaves ? QualFromOctaves(*f.octaves) : kDefaultNotchQual;
    } else if (t == "LP" || t == "HP") {
      if (f.qual && !(std::fabs(*f.qual - kButterworthQual) <= kQualTolerance)) {
        Skip(f.line, "its Q " + FormatShortest(*f.qual) +
                         " is not a Butterworth filter's (0.7071), the only pass filter stored");
        return;
      }
      AddPass(f, 2);
      return;
    } else {
      Skip(f.line, "the filter type \"" + f.type + "\" is not read");
      return;
    }
    const bool shelf =
        band.type == ToCode(EqBandType::LowShelf) || band.type == ToCode(EqBandType::HighShelf);
    if (const std::string fault = QualFault(f, !shelf && f.octaves.has_value(), band.qual);
        !fault.empty()) {
      Skip(f.line, fault);
      return;
    }
    Add(band, f.on);
  }

  // The shelf of an LS, HS, LSC or HSC line. Without a Q its slope (S = N / 12, 0.9 when not
  // given) gives the Q, and the Fc of LS and HS is then the corner frequency.
  static EqBand ShelfBand(const FilterLine& f, double gain) {
    const std::string& t = f.type;
    const bool low = t[0] == 'L';
    EqBand band;
    band.centFreq = *f.fc;
    band.type = ToCode(low ? EqBandType::LowShelf : EqBandType::HighShelf);
    band.gain = gain;
    if (f.qual) {
      band.qual = *f.qual;
    } else {
      const double slope = f.slopeDb ? *f.slopeDb / 12.0 : kDefaultShelfSlope;
      band.qual = ShelfQualFromSlope(gain, slope);
      if (t.size() == 2) {
        // LS and HS name the corner frequency; the shelf's centre lies towards the shelf.
        const double factor = std::pow(10.0, std::fabs(gain) / (80.0 * slope));
        band.centFreq = low ? *f.fc * factor : *f.fc / factor;
      }
    }
    return band;
  }

  // Why the Q a line gives (or its bandwidth, when `fromOctaves`, or its slope gives) cannot be
  // stored as `stored`, the Q the band gets; empty when it can. The settings file keeps six
  // decimals: a Q that they would store as 0 is refused here, where the line can be named.
  static std::string QualFault(const FilterLine& f, bool fromOctaves, double stored) {
    double given = stored;
    if (f.qual) {
      given = *f.qual;
      if (!(given > 0.0)) {
        return "its Q " + FormatShortest(given) + " makes no filter (it must be above 0)";
      }
    } else if (fromOctaves) {
      if (!(*f.octaves > 0.0)) {
        return "its bandwidth " + FormatShortest(*f.octaves) +
               " octaves makes no filter (it and its Q must be above 0)";
      }
      given = QualFromOctaves(*f.octaves);
    } else if (!(stored > 0.0) || !std::isfinite(stored)) {
      return "its slope is too steep for its gain";
    }
    if (!std::isfinite(stored)) {
      return "its Q " + FormatShortest(given) + " is too large to store";
    }
    if (platform::FormatFixed6(stored) == "0.000000") {
      return "its Q " + FormatShortest(given) +
             " would be stored as 0 (the settings file keeps six decimals)";
    }
    return {};
  }

  void AddPass(const FilterLine& f, unsigned order) {
    const bool highPass = f.type[0] == 'H';
    const auto band = PassBand(highPass, *f.fc, order);
    if (!band) {
      m_out.notes.push_back(
          FormatText("Line %d is skipped: its frequency %s Hz is too low to "
                     "store as a Butterworth band.",
                     f.line, FormatShortest(*f.fc).c_str()));
      return;
    }
    Add(*band, f.on);
  }

  // The pending LPQ or HPQ lines: the longest leading run whose Qs are a Butterworth filter's
  // becomes one band, again and again; a line that starts no such run is skipped.
  void FlushRun() {
    std::vector<FilterLine> run;
    run.swap(m_run);
    std::size_t at = 0;
    while (at < run.size()) {
      // The highest Q among the first n lines, for each n: a Butterworth filter of order 2n has
      // one section of Q 1 / (2 sin(pi / 4n)), so only an n whose highest Q is that one needs
      // the whole comparison: the time grows with the run's length, not with its cube.
      const std::size_t longest = std::min(run.size() - at, kMaxRunSections);
      std::vector<double> highest(longest);
      for (std::size_t k = 0; k < longest; ++k) {
        highest[k] = k == 0 ? *run[at].qual : std::max(highest[k - 1], *run[at + k].qual);
      }
      std::size_t taken = 0;
      for (std::size_t n = longest; n >= 1 && taken == 0; --n) {
        const double top =
            1.0 / (2.0 * std::sin(std::numbers::pi / (4.0 * static_cast<double>(n))));
        if (!(std::fabs(highest[n - 1] - top) <= kQualTolerance)) {
          continue;
        }
        std::vector<double> quals;
        for (std::size_t k = 0; k < n; ++k) quals.push_back(*run[at + k].qual);
        if (AreButterworthQuals(quals)) {
          taken = n;
        }
      }
      if (taken == 0) {
        m_out.notes.push_back(FormatText(
            "Line %d is skipped: its Q %s is not that of a Butterworth filter's section, the "
            "only pass filter stored.",
            run[at].line, FormatShortest(*run[at].qual).c_str()));
        ++at;
        continue;
      }
      AddPass(run[at], static_cast<unsigned>(2 * taken));
      at += taken;
    }
  }

  PresetImport& m_out;
  std::vector<FilterLine> m_run;
  bool m_skipChannels = false;
};

}  // namespace

std::vector<double> ButterworthSectionQuals(unsigned order) {
  std::vector<double> quals;
  for (unsigned m = 1; m <= order / 2; ++m) {
    quals.push_back(1.0 / (2.0 * std::sin((2.0 * m - 1.0) * std::numbers::pi / (2.0 * order))));
  }
  return quals;
}

std::string DescribeImportRefusal(const PresetImport& preset) {
  if (preset.table.empty()) {
    return "The preset file holds no filter that can be imported";
  }
  if (preset.table.size() > static_cast<std::size_t>(kMaxBandCount)) {
    return FormatText("The preset file holds %llu filters, more than the limit of %d bands",
                      static_cast<unsigned long long>(preset.table.size()), kMaxBandCount);
  }
  return {};
}

PresetImport ReadPresetText(std::string_view text) {
  if (const auto utf8 = Utf16AsUtf8(text)) {
    return ReadPresetText(*utf8);
  }
  PresetImport result;
  PresetReader reader(result);
  int number = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    std::string line(text.substr(at, end - at));
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (number == 1 && line.starts_with("\xEF\xBB\xBF")) {
      line.erase(0, 3);  // a UTF-8 byte order mark
    }
    const std::vector<std::string> tokens = Tokens(line);
    if (tokens.empty() || tokens[0].starts_with("#")) {
      continue;
    }
    reader.Line(number, line);
  }
  reader.Finish();
  return result;
}
