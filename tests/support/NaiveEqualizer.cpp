#include "tests/support/NaiveEqualizer.h"

#include <algorithm>
#include <cmath>

namespace testsupport::naive {

double RefSection::Run(double x) {
  double w = x - w1 * a1;
  w = w - w2 * a2;
  double y = w * b0 + w1 * b1;
  y = y + w2 * b2;
  w2 = w1;
  w1 = w;
  return y;
}

std::vector<RefSection> RefDesign(const EqBandTable& table, double fs) {
  std::vector<RefSection> sections;
  for (const EqBand& band : table) {
    if (band.enable != 1) continue;
    if (band.type == 1) {
      if (!(fs * 0.5 >= band.centFreq)) continue;
      double K = std::tan(band.centFreq * 3.1415926536 / fs);
      double V = std::pow(10.0, std::fabs(band.gain / 20.0));
      double Q = band.qual;
      double lift = (band.gain >= 0) ? V : 1.0;
      double sink = (band.gain >= 0) ? 1.0 : V;
      double r = 1.0 / ((sink * K / Q + 1.0) + K * K);
      double b0 = ((lift * K / Q + 1.0) + K * K) * r;
      double b1 = ((K * K - 1.0) + (K * K - 1.0)) * r;
      double b2 = ((1.0 - lift * K / Q) + K * K) * r;
      double a2 = ((1.0 - sink * K / Q) + K * K) * r;
      sections.push_back({b0, b1, b2, b1, a2});
    } else if (band.type == 2 || band.type == 3) {
      if (!(fs * 0.5 >= band.cutoffFreq) || !(fs * 0.5 >= band.stopFreq)) continue;
      bool hp = band.type == 2;
      double ratio = hp ? band.cutoffFreq / band.stopFreq : band.stopFreq / band.cutoffFreq;
      int n = static_cast<int>(band.gain / std::log10(ratio) / 20.0 + 0.98);
      double u = band.cutoffFreq / static_cast<float>(fs);
      double K = std::tan(u * 6.2831852 * 0.5);
      double delta = 3.1415926 / n;
      double theta = delta * 0.5;
      for (int k = 0; k < (n + 1) / 2; ++k) {
        double c1 = 1.0, c2 = 0.0;
        if (!(k == 0 && n % 2 == 1)) {
          c1 = std::sin(theta) + std::sin(theta);
          c2 = 1.0;
          theta += delta;
        }
        if (hp) {
          double d = ((K * c2) * K + K * c1) + 1.0;
          sections.push_back({1.0 / d, -2.0 / d, 1.0 / d, (((c2 + c2) * K) * K - 2.0) / d,
                              (((K * c2) * K - K * c1) + 1.0) / d});
        } else {
          double d = (K * c1 + c2) + K * K;
          sections.push_back({(K * K) / d, ((K + K) * K) / d, (K * K) / d,
                              ((K + K) * K - (c2 + c2)) / d, ((c2 - K * c1) + K * K) / d});
        }
      }
    }
  }
  return sections;
}

std::vector<double> RefRun(const EqBandTable& table, double fs, std::vector<double> x,
                           int channels) {
  for (int c = 0; c < channels; ++c) {
    std::vector<RefSection> sections = RefDesign(table, fs);
    for (std::size_t i = static_cast<std::size_t>(c); i < x.size(); i += channels) {
      for (RefSection& s : sections) x[i] = s.Run(x[i]);
    }
  }
  return x;
}

std::int16_t RefTo16(double y) {
  if (y > 32767.0) return 32767;
  if (y < -32768.0) return -32768;
  return static_cast<std::int16_t>(std::trunc(y));
}

std::uint8_t RefTo8(double y) {
  double t = std::trunc(y + 0.49);
  t = std::min(32767.0, std::max(-32768.0, t));
  return static_cast<std::uint8_t>(std::floor(t / 256.0) + 128.0);
}

std::int64_t RefToInteger(double y, int bits, int validBits) {
  if (std::isnan(y)) {
    return 0;
  }
  const double top = std::pow(2.0, bits - 1);
  std::int64_t v = 0;
  if (y > top - 1) {
    v = static_cast<std::int64_t>(top - 1);
  } else if (y < -top) {
    v = static_cast<std::int64_t>(-top);
  } else {
    v = static_cast<std::int64_t>(std::trunc(y));
  }
  if (validBits > 0 && validBits < bits) {
    const std::int64_t step = std::int64_t{1} << (bits - validBits);
    v = v - (((v % step) + step) % step);  // the low bits of the two's complement cleared
  }
  return v;
}

}  // namespace testsupport::naive
