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

std::vector<std::string> LinesStartingWith(const std::string& log, std::string_view prefix) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < log.size()) {
    std::size_t end = log.find('\n', start);
    if (end == std::string::npos) {
      end = log.size();
    }
    std::string line = log.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.rfind(prefix, 0) == 0) {
      lines.push_back(std::move(line));
    }
    start = end + 1;
  }
  return lines;
}

namespace {

// The lines of a job's transcript that begin with `prefix`, indented under the job's own line.
void AppendLinesStartingWith(const std::string& log, const char* prefix,
                             std::vector<std::string>& lines) {
  for (const std::string& line : LinesStartingWith(log, prefix)) {
    lines.push_back("    " + line);
  }
}

}  // namespace

ConversionReport FormatConversionReport(const std::vector<ConversionOutcome>& outcomes) {
  ConversionReport report;
  std::vector<std::string> lines;
  std::vector<std::string> skipped;
  for (const ConversionOutcome& outcome : outcomes) {
    if (outcome.outputPath.empty()) {
      report.failed = true;
      skipped.push_back("Skipped (no output name can be formed from its path): " +
                        outcome.sourcePath);
    } else if (!outcome.attempted) {
      report.failed = true;
      lines.push_back("Not attempted: " + outcome.sourcePath);
    } else if (outcome.result == 1) {
      lines.push_back("Converted " + outcome.sourcePath + " to " + outcome.outputPath);
      // A converted file that clipped says so, as the transcript does.
      AppendLinesStartingWith(outcome.log, "Information:Clipped ", lines);
    } else {
      report.failed = true;
      lines.push_back("Failed: " + outcome.sourcePath);
      AppendLinesStartingWith(outcome.log, "Error:", lines);
    }
  }
  lines.insert(lines.end(), skipped.begin(), skipped.end());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    report.text += (i > 0 ? "\n" : "") + lines[i];
  }
  report.title = report.failed ? "Convert File: not all files converted" : "Convert File: done";
  return report;
}
