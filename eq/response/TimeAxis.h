#pragma once

#include <string>
#include <vector>

/// One labelled tick of a time line.
struct TimeTick {
  double seconds = 0.0;  ///< where it stands
  std::string label;     ///< "0.5 s", "10 s", "1:30" or "1:02:30"
};

/// The ticks of a time line `width` pixels wide over `totalSeconds`, from 0 to the end: every
/// step of the series 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15,
/// 30 min, 1, 2, 5, 10 h, the smallest whose ticks stand at least `minSpacing` pixels apart (the
/// largest when none does). Labels: seconds with the step's decimals under a second's step
/// ("2.5 s"), whole seconds for a recording under a minute ("10 s"), minutes and seconds under
/// an hour ("1:30"), hours, minutes and seconds beyond ("1:02:30"). No ticks without a length
/// or a width.
std::vector<TimeTick> TimeAxisTicks(double totalSeconds, double width, double minSpacing);
