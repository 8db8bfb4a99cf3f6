// The ticks and labels of the window's time line, worked out apart from the drawing.
#include "eq/response/TimeAxis.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "platform/text/NumberText.h"

namespace {

constexpr std::array<double, 22> kSteps = {0.01, 0.02, 0.05, 0.1,  0.2,   0.5,  1,   2,
                                           5,    10,   15,   30,   60,    120,  300, 600,
                                           900,  1800, 3600, 7200, 18000, 36000};

std::string Label(double seconds, double step, double totalSeconds) {
  if (step < 1.0) {
    return platform::FormatFixed(seconds, step < 0.1 ? 2 : 1) + " s";
  }
  const auto whole = static_cast<std::int64_t>(std::llround(seconds));
  auto twoDigits = [](std::int64_t value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
  };
  if (totalSeconds < 60.0) {
    return std::to_string(whole) + " s";
  }
  if (totalSeconds < 3600.0) {
    return std::to_string(whole / 60) + ":" + twoDigits(whole % 60);
  }
  return std::to_string(whole / 3600) + ":" + twoDigits(whole / 60 % 60) + ":" +
         twoDigits(whole % 60);
}

}  // namespace

std::vector<TimeTick> TimeAxisTicks(double totalSeconds, double width, double minSpacing) {
  std::vector<TimeTick> ticks;
  if (!(totalSeconds > 0.0) || !(width > 0.0) || !std::isfinite(totalSeconds)) {
    return ticks;
  }
  const double pixelsPerSecond = width / totalSeconds;
  double step = kSteps.back();
  for (const double candidate : kSteps) {
    if (candidate * pixelsPerSecond >= minSpacing) {
      step = candidate;
      break;
    }
  }
  // Each tick from its own index, so that the steps do not add up rounding errors.
  for (long long i = 0;; ++i) {
    const double at = static_cast<double>(i) * step;
    if (at > totalSeconds + step * 1e-9) {
      break;
    }
    ticks.push_back(TimeTick{at, Label(at, step, totalSeconds)});
  }
  return ticks;
}
