#include "convert/ConversionResult.h"

#include <utility>

#include "platform/text/FormatText.h"
#include "platform/text/NumberText.h"

void ConversionResult::Information(std::string text) {
  lines.push_back(TranscriptLine{TranscriptLine::Kind::Information, std::move(text)});
}

void ConversionResult::Error(std::string text) {
  lines.push_back(TranscriptLine{TranscriptLine::Kind::Error, std::move(text)});
}

std::string ConversionResult::ErrorText() const {
  std::string errors;
  for (const TranscriptLine& line : lines) {
    if (line.kind == TranscriptLine::Kind::Error) {
      errors += (errors.empty() ? "" : "\n") + line.text;
    }
  }
  return errors;
}

std::vector<std::string> ConversionResult::ErrorLines() const {
  std::vector<std::string> errors;
  for (const TranscriptLine& line : lines) {
    if (line.kind == TranscriptLine::Kind::Error) {
      errors.push_back("Error:" + line.text);
    }
  }
  return errors;
}

std::string RenderLine(const TranscriptLine& line) {
  return platform::FormatText("%s%s%s",
                              line.kind == TranscriptLine::Kind::Error ? "Error:" : "Information:",
                              line.text.c_str(), "\r\n");
}

std::string RenderTranscript(const std::vector<TranscriptLine>& lines) {
  std::string text;
  for (const TranscriptLine& line : lines) {
    text += RenderLine(line);
  }
  return text;
}

std::string ClippingText(const ClipCounts& counts) {
  if (counts.clippedSamples == 0) {
    return {};
  }
  return platform::FormatText("Clipped %llu of %llu samples, peak %s dBFS.",
                              static_cast<unsigned long long>(counts.clippedSamples),
                              static_cast<unsigned long long>(counts.filteredSamples),
                              platform::FormatFixed(counts.peakDbfs, 2).c_str());
}

std::string LoudnessText(const OutputLoudness& loudness) {
  using platform::FormatFixed;
  if (loudness.integratedLufs) {
    return platform::FormatText(
        "Loudness %s LUFS, range %s LU, true peak %s dBTP.",
        FormatFixed(*loudness.integratedLufs, 1).c_str(),
        FormatFixed(loudness.rangeLu.value_or(0.0), 1).c_str(),
        loudness.truePeakDbtp ? FormatFixed(*loudness.truePeakDbtp, 1).c_str() : "-inf");
  }
  if (loudness.truePeakDbtp) {
    return platform::FormatText("Loudness below the gate of -70 LUFS, true peak %s dBTP.",
                                FormatFixed(*loudness.truePeakDbtp, 1).c_str());
  }
  return "Loudness below the gate of -70 LUFS: the output is silent.";
}
