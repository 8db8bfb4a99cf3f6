#include "app/RunFileClash.h"

#include <set>

#include "platform/fs/FileSystem.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

using platform::FormatText;
using platform::PrintableText;

// One file of the run named on the command line, with what it is to the run.
struct NamedFile {
  const char* role;
  const std::string* path;
};

std::string Clash(const char* writer, const std::string& written, const char* role,
                  const std::string& path) {
  return FormatText("%sThe %s(%s) would overwrite the %s(%s): they are the same file.%s",
                    "Error:", writer, PrintableText(written).c_str(), role,
                    PrintableText(path).c_str(), "\r\n");
}

// The first of `files` that `written` is, then the first source or output of `jobs`; `written`
// itself (the same entry of the list) is skipped.
std::string ClashWith(const char* writer, const std::string& written,
                      const std::vector<NamedFile>& files, const std::vector<ConversionJob>& jobs) {
  for (const NamedFile& file : files) {
    if (file.path != &written && platform::SameFile(written, *file.path)) {
      return Clash(writer, written, file.role, *file.path);
    }
  }
  for (const ConversionJob& job : jobs) {
    if (platform::SameFile(written, job.sourcePath)) {
      return Clash(writer, written, "source", job.sourcePath);
    }
    if (platform::SameFile(written, job.outputPath)) {
      return Clash(writer, written, "output", job.outputPath);
    }
  }
  return {};
}

}  // namespace

std::string FindRunFileClash(const CommandOptions& options,
                             const std::vector<ConversionJob>& jobs) {
  std::vector<NamedFile> named;
  if (options.hasAccessSetting == 1) {
    named.push_back({"settings file", &options.accessSettingPath});
  }
  if (options.hasImportPreset) {
    named.push_back({"imported preset", &options.importPresetPath});
  }
  if (options.hasExportPreset) {
    named.push_back({"exported preset", &options.exportPresetPath});
  }

  if (options.hasReport) {
    if (std::string line = ClashWith("report", options.reportPath, named, jobs); !line.empty()) {
      return line;
    }
  }
  if (options.hasExportPreset) {
    if (std::string line = ClashWith("exported preset", options.exportPresetPath, named, jobs);
        !line.empty()) {
      return line;
    }
  }
  if (options.hasImportPreset && options.hasAccessSetting == 1) {
    if (std::string line = ClashWith("settings file", options.accessSettingPath, named, jobs);
        !line.empty()) {
      return line;
    }
  }

  // An output over a file named on the command line, then over a source. Sources exist, so an
  // output can be one only when it exists too: their identities are looked up once each.
  for (const ConversionJob& job : jobs) {
    for (const NamedFile& file : named) {
      if (platform::SameFile(job.outputPath, *file.path)) {
        return Clash("output", job.outputPath, file.role, *file.path);
      }
    }
  }
  std::set<platform::FileIdentity> sources;
  for (const ConversionJob& job : jobs) {
    if (const auto identity = platform::IdentityOf(job.sourcePath)) {
      sources.insert(*identity);
    }
  }
  for (const ConversionJob& job : jobs) {
    const auto identity = platform::IdentityOf(job.outputPath);
    if (!identity || sources.count(*identity) == 0) {
      continue;
    }
    for (const ConversionJob& source : jobs) {
      if (platform::IdentityOf(source.sourcePath) == identity) {
        return Clash("output", job.outputPath, "source", source.sourcePath);
      }
    }
  }
  return {};
}
