// The bands as handles on the response graph.
#include "eq/response/BandHandles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "eq/design/FilterChain.h"
#include "eq/response/BQCalculator.h"
#include "platform/text/NumberText.h"

namespace {

// The dB a band's handle stands for on the graph.
double HandleDb(const EqBand& band, const EqGraphParams& p) {
  switch (static_cast<EqBandType>(band.type)) {
    case EqBandType::Bell: return band.gain;
    case EqBandType::LowShelf:
    case EqBandType::HighShelf: return band.gain * 0.5;
    case EqBandType::Notch: return p.bottomDb;
    case EqBandType::HighPass:
    case EqBandType::LowPass: return kPassHandleDb;
  }
  return 0.0;
}

// The row of `db` as the markers place it.
double RowOf(const EqGraphParams& p, double db) {
  const double rows = static_cast<double>(p.height - 1U);
  return ((db - p.topDb) / (p.bottomDb - p.topDb)) * rows;
}

// The dB at row `y`: RowOf's inverse.
double DbAt(const EqGraphParams& p, double y) {
  const double rows = static_cast<double>(p.height - 1U);
  return p.topDb + y / rows * (p.bottomDb - p.topDb);
}

double WholeHz(double freq, const BandLimits& limits) {
  return std::clamp(std::round(freq), limits.minFreq, limits.maxFreq);
}

double Hundredths(double value, double low, double high) {
  return std::clamp(std::round(value * 100.0) / 100.0, low, high);
}

std::optional<std::uint16_t> PassOrder(const EqBand& band, double cutoff, double stop) {
  const bool highPass = band.type == ToCode(EqBandType::HighPass);
  return EstimateHighLowOrder(band.gain, highPass ? cutoff / stop : stop / cutoff);
}

// A pass band with both frequencies moved by `ratio` (held so that both stay within the
// limits), in whole hertz; the stop frequency then nudged by a hertz or two where the rounding
// would change the Butterworth order.
EqBand MovePassBand(const EqBand& start, double ratio, const BandLimits& limits) {
  EqBand band = start;
  if (!(start.cutoffFreq > 0.0) || !(start.stopFreq > 0.0) || !(ratio > 0.0)) {
    return band;
  }
  const double low = std::max(limits.minFreq / start.cutoffFreq, limits.minFreq / start.stopFreq);
  const double high = std::min(limits.maxFreq / start.cutoffFreq, limits.maxFreq / start.stopFreq);
  const double r = low <= high ? std::clamp(ratio, low, high) : 1.0;
  band.cutoffFreq = WholeHz(start.cutoffFreq * r, limits);
  band.stopFreq = WholeHz(start.stopFreq * r, limits);
  const auto order = PassOrder(start, start.cutoffFreq, start.stopFreq);
  if (!order) {
    return band;
  }
  // A higher order needs the frequencies further apart, a lower one closer together.
  const double away = band.type == ToCode(EqBandType::HighPass) ? -1.0 : 1.0;
  for (int tries = 0; tries < 4; ++tries) {
    const auto now = PassOrder(start, band.cutoffFreq, band.stopFreq);
    if (!now || *now == *order) {
      break;
    }
    const double stop = band.stopFreq + (*now > *order ? away : -away);
    if (stop < limits.minFreq || stop > limits.maxFreq || stop == band.cutoffFreq) {
      break;
    }
    band.stopFreq = stop;
  }
  return band;
}

}  // namespace

std::vector<BandHandle> BandHandles(const EqGraphParams& p, const EqBandTable& table) {
  std::vector<BandHandle> handles;
  if (p.width < 2) {
    return handles;
  }
  for (std::size_t i = 0; i < table.size(); ++i) {
    const EqBand& band = table[i];
    const bool pass = IsPassType(band.type);
    if (!pass && !IsSingleSectionType(band.type)) {
      continue;
    }
    handles.push_back(BandHandle{.band = i,
                                 .index = band.index,
                                 .x = FreqToX(p, pass ? band.cutoffFreq : band.centFreq),
                                 .y = RowOf(p, HandleDb(band, p)),
                                 .enabled = band.enable == 1,
                                 .passBand = pass});
  }
  return handles;
}

int PickHandle(const std::vector<BandHandle>& handles, double x, double y, double radius) {
  int picked = -1;
  double nearest = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < handles.size(); ++i) {
    const double distance = std::hypot(handles[i].x - x, handles[i].y - y);
    // Strictly nearer only: of equally near handles the first in band order stays.
    if (distance <= radius && distance < nearest) {
      nearest = distance;
      picked = static_cast<int>(i);
    }
  }
  return picked;
}

EqBand DragBand(const EqBand& start, const EqGraphParams& p, double dx, double dy,
                const BandLimits& limits) {
  if (p.width < 2 || p.height < 2) {
    return start;
  }
  if (IsPassType(start.type)) {
    const double cutoff = XToFreq(p, FreqToX(p, start.cutoffFreq) + dx);
    return MovePassBand(start, cutoff / start.cutoffFreq, limits);
  }
  EqBand band = start;
  band.centFreq = WholeHz(XToFreq(p, FreqToX(p, start.centFreq) + dx), limits);
  if (start.type == ToCode(EqBandType::Notch)) {
    return band;
  }
  const double db = DbAt(p, RowOf(p, HandleDb(start, p)) + dy);
  const bool shelf = start.type != ToCode(EqBandType::Bell);
  band.gain = Hundredths(shelf ? db * 2.0 : db, limits.minGain, limits.maxGain);
  return band;
}

EqBand NudgeBand(const EqBand& band, int freqSteps, int gainSteps, double freqStep, double gainStep,
                 const BandLimits& limits) {
  if (IsPassType(band.type)) {
    const double cutoff = band.cutoffFreq + freqSteps * freqStep;
    return MovePassBand(band, cutoff / band.cutoffFreq, limits);
  }
  EqBand moved = band;
  moved.centFreq = WholeHz(band.centFreq + freqSteps * freqStep, limits);
  if (band.type != ToCode(EqBandType::Notch)) {
    moved.gain = Hundredths(band.gain + gainSteps * gainStep, limits.minGain, limits.maxGain);
  }
  return moved;
}

double QToOctaves(double q) { return 2.0 / std::log(2.0) * std::asinh(1.0 / (2.0 * q)); }

double OctavesToQ(double octaves) { return 1.0 / (2.0 * std::sinh(std::log(2.0) / 2.0 * octaves)); }

EqBand StepBandWidth(const EqBand& band, int steps, bool fine, const BandLimits& limits) {
  EqBand stepped = band;
  if (steps == 0) {
    return stepped;
  }
  const double direction = steps > 0 ? 1.0 : -1.0;
  if (IsPassType(band.type)) {
    const double low = std::min(1.0, band.gain);
    stepped.gain = Hundredths(band.gain + steps * (fine ? 0.1 : 1.0), std::max(low, limits.minGain),
                              limits.maxGain);
    return stepped;
  }
  if (!(band.qual > 0.0)) {
    return stepped;
  }
  // Narrower is a higher Q; beyond no width at all is the highest Q there is.
  const double octaves = QToOctaves(band.qual) - steps * (fine ? 1.0 / 48.0 : 1.0 / 12.0);
  double q = octaves > 0.0 ? OctavesToQ(octaves) : limits.maxQual;
  q = Hundredths(q, limits.minQual, limits.maxQual);
  if (q == Hundredths(band.qual, limits.minQual, limits.maxQual)) {
    q = Hundredths(band.qual + direction * 0.01, limits.minQual, limits.maxQual);
  }
  stepped.qual = q;
  return stepped;
}

std::string DescribeBand(const EqBand& band) {
  auto hz = [](double freq) { return platform::FormatFixed(freq, 0) + " Hz"; };
  auto db = [](double gain, bool sign) {
    std::string text = platform::FormatFixed(gain, 1);
    if (text == "-0.0") {
      text = "0.0";
    }
    return (sign && text[0] != '-' && text != "0.0" ? "+" : "") + text + " dB";
  };
  auto q = [](double qual) {
    std::string text = platform::FormatFixed(qual, 2);
    if (text.size() > 3 && text.back() == '0') {
      text.pop_back();  // "1.20" reads "1.2"; one decimal stays
    }
    return "Q " + text;
  };
  const char* kind = "band";
  switch (static_cast<EqBandType>(band.type)) {
    case EqBandType::Bell: kind = "bell"; break;
    case EqBandType::HighPass: kind = "high-pass"; break;
    case EqBandType::LowPass: kind = "low-pass"; break;
    case EqBandType::LowShelf: kind = "low shelf"; break;
    case EqBandType::HighShelf: kind = "high shelf"; break;
    case EqBandType::Notch: kind = "notch"; break;
  }
  std::string text = "Band " + std::to_string(band.index + 1) + ", " + kind + ", ";
  if (IsPassType(band.type)) {
    text += hz(band.cutoffFreq) + ", " + db(band.gain, false) + " at " + hz(band.stopFreq);
  } else if (band.type == ToCode(EqBandType::Notch)) {
    text += hz(band.centFreq) + ", " + q(band.qual);
  } else {
    text += hz(band.centFreq) + ", " + db(band.gain, true) + ", " + q(band.qual);
  }
  if (band.enable != 1) {
    text += ", off";
  }
  return text;
}
