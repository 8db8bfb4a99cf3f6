#include "convert/ConversionReport.h"

#include "platform/fs/PathUtil.h"
#include "platform/text/BoundedText.h"

std::string DefaultOutputPath(const std::string& sourcePath) {
  std::string directory;
  std::string name;
  std::string extension;
  if (platform::SplitPath(sourcePath, directory, name, extension) == 0) {
    return {};
  }
  std::string output = platform::JoinPath({directory, name + "_filter" + extension, ""});
#if !defined(_WIN32)
  // "_filter" can take a name past what the system takes: no name is clearer than one that
  // every write refuses.
  if (!platform::PathFitsLimit(output)) {
    return {};
  }
#endif
  return output;
}

ConversionReport FormatConversionReport(const std::vector<ConversionOutcome>& outcomes) {
  ConversionReport report;
  std::vector<std::string> lines;
  std::vector<std::string> skipped;
  for (const ConversionOutcome& outcome : outcomes) {
    if (outcome.outputPath.empty()) {
      report.failed = true;
      skipped.push_back("Skipped (no output name can be formed from its path): " +
                        outcome.sourcePath);
    } else if (outcome.conversion.outcome == ConversionStatus::NotAttempted) {
      report.failed = true;
      lines.push_back("Not attempted: " + outcome.sourcePath);
    } else if (outcome.conversion.Converted()) {
      lines.push_back("Converted " + outcome.sourcePath + " to " + outcome.outputPath);
      // A converted file that clipped says so, as the transcript does, and so does a gain
      // that could not do what was asked.
      if (const std::string clipped = ClippingText(outcome.conversion.counts); !clipped.empty()) {
        lines.push_back("    Information:" + clipped);
      }
      if (const std::string& note = outcome.conversion.delivery.gainNote; !note.empty()) {
        lines.push_back("    Information:" + note);
      }
    } else {
      report.failed = true;
      lines.push_back("Failed: " + outcome.sourcePath);
      for (const std::string& error : outcome.conversion.ErrorLines()) {
        lines.push_back("    " + error);
      }
    }
  }
  lines.insert(lines.end(), skipped.begin(), skipped.end());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    report.text += (i > 0 ? "\n" : "") + lines[i];
  }
  report.title = report.failed ? "Convert File: not all files converted" : "Convert File: done";
  return report;
}
