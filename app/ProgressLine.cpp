#include "app/ProgressLine.h"

#include <cmath>

#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"

namespace {

std::string Clock(double seconds) {
  const long long whole = std::llround(seconds < 0 ? 0.0 : seconds);
  return platform::FormatText("%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
}

}  // namespace

std::string ProgressLine::Text(const BatchProgress& progress) {
  std::string text =
      std::to_string(progress.done) + "/" + std::to_string(progress.total) + " files";
  if (progress.failed > 0) {
    text += " (" + std::to_string(progress.failed) + " failed)";
  }
  text += ", " + platform::FormatFixed(progress.audioSeconds / 3600.0, 2) + " h of audio";
  if (progress.elapsedSeconds > 0.0) {
    text += ", " + platform::FormatFixed(progress.audioSeconds / progress.elapsedSeconds, 0) +
            "x real time";
  }
  if (progress.done > 0 && progress.done < progress.total) {
    const double left = progress.elapsedSeconds / static_cast<double>(progress.done) *
                        static_cast<double>(progress.total - progress.done);
    text += ", " + Clock(left) + " left";
  }
  return text;
}

void ProgressLine::Update(const BatchProgress& progress) {
  if (!m_enabled) {
    return;
  }
  std::string text = Text(progress);
  m_width = std::max(m_width, text.size());
  text.resize(m_width, ' ');
  m_write("\r" + text);
}

void ProgressLine::Clear() {
  if (!m_enabled || m_width == 0) {
    return;
  }
  m_write("\r" + std::string(m_width, ' ') + "\r");
  m_width = 0;
}
