#include "app/BatchPlan.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "convert/ConversionReport.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FolderListing.h"
#include "platform/fs/NativePath.h"
#include "platform/fs/PathUtil.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

using platform::FormatText;
using platform::PrintableText;

// One source file: its path, and its path below the folder or pattern it came from (empty for
// a file named on its own), which an output folder mirrors.
struct SourceFile {
  std::string path;
  std::string relative;
};

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool IsAudioFile(const std::string& path, const std::vector<std::string>& extensions) {
  const std::string name = Lower(platform::FileNamePart(path));
  for (const std::string& extension : extensions) {
    if (name.size() > extension.size() &&
        name.compare(name.size() - extension.size(), extension.size(), extension) == 0) {
      return true;
    }
  }
  return false;
}

// A key that is the same for two spellings of one path ("a//b", "./a/b").
std::string PathKey(const std::string& path) {
  std::string key = platform::Utf8Path(platform::NativePath(path).lexically_normal());
#if defined(_WIN32)
  key = Lower(key);
  std::replace(key.begin(), key.end(), '\\', '/');
#endif
  return key;
}

// `relative` (parts separated by "/") below `folder`, written with the system's separator. The
// path is never cut or emptied, however long: one the system cannot take fails where it is
// used, under its own name.
std::string JoinFolderFile(const std::string& folder, const std::string& relative) {
#if defined(_WIN32)
  std::string native = relative;
  std::replace(native.begin(), native.end(), '/', '\\');
  const std::string_view separators = "\\/";
  const char separator = '\\';
#else
  const std::string& native = relative;
  const std::string_view separators = "/";
  const char separator = '/';
#endif
  if (folder.empty()) {
    return native;
  }
  const bool separated = separators.find(folder.back()) != std::string_view::npos;
  return separated ? folder + native : folder + separator + native;
}

// The files one /convert_source value stands for; false when a folder or pattern holds none.
bool ExpandSource(const std::string& value, bool recursive,
                  const std::vector<std::string>& extensions, std::vector<SourceFile>& files,
                  bool& expanded) {
  if (platform::DirectoryExists(value)) {
    expanded = true;
    const auto listing = platform::ListFolderFiles(value, recursive);
    std::size_t found = 0;
    for (const std::string& relative : listing.value_or(std::vector<std::string>{})) {
      if (IsAudioFile(relative, extensions)) {
        files.push_back({JoinFolderFile(value, relative), relative});
        ++found;
      }
    }
    return found > 0;
  }
  const std::string name = platform::FileNamePart(value);
  if (platform::PathExists(value) || !platform::HasWildcard(name)) {
    files.push_back({value, {}});
    return true;
  }
  expanded = true;
  const std::string folder = value.size() > name.size() ? platform::ParentFolder(value) : ".";
  const auto listing = platform::ListFolderFiles(folder, recursive);
  std::size_t found = 0;
  for (const std::string& relative : listing.value_or(std::vector<std::string>{})) {
    if (platform::MatchesWildcard(name, platform::FileNamePart(relative)) &&
        IsAudioFile(relative, extensions)) {
      files.push_back(
          {value.size() > name.size() ? JoinFolderFile(folder, relative) : relative, relative});
      ++found;
    }
  }
  return found > 0;
}

// Each file once, in the order first named.
std::vector<SourceFile> WithoutRepeats(std::vector<SourceFile> files) {
  std::set<std::string> seen;
  std::vector<SourceFile> unique;
  for (SourceFile& file : files) {
    if (seen.insert(PathKey(file.path)).second) {
      unique.push_back(std::move(file));
    }
  }
  return unique;
}

// Where the output of `file` goes: the one named, the same place in the output folder, or
// beside the source.
std::string OutputPathOf(const CommandOptions& options, const SourceFile& file) {
  if (options.hasConvertOutput) {
    return options.convertOutputPath;
  }
  if (options.hasOutputFolder) {
    const std::string relative =
        file.relative.empty() ? platform::FileNamePart(file.path) : file.relative;
    const std::string inFolder = JoinFolderFile(options.outputFolder, relative);
    return inFolder.empty() ? std::string() : DefaultOutputPath(inFolder);
  }
  return DefaultOutputPath(file.path);
}

// Takes the jobs into `plan`: two that would write one output end the plan with an error; a
// source that another source writes is that file's output, not a recording of its own
// (converting it would read a file while it is being replaced), and is left out of a batch.
void TakeJobs(const std::vector<ConversionJob>& jobs, BatchPlan& plan) {
  std::map<std::string, std::size_t> outputs;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (jobs[i].outputPath.empty()) {
      continue;
    }
    const auto [place, inserted] = outputs.emplace(PathKey(jobs[i].outputPath), i);
    if (!inserted) {
      plan.error = FormatText("%sTwo sources would write the same output file(%s): %s and %s.%s",
                              "Error:", PrintableText(jobs[i].outputPath).c_str(),
                              PrintableText(jobs[place->second].sourcePath).c_str(),
                              PrintableText(jobs[i].sourcePath).c_str(), "\r\n");
      return;
    }
  }
  for (const ConversionJob& job : jobs) {
    const auto writer = outputs.find(PathKey(job.sourcePath));
    if (writer != outputs.end() && plan.several) {
      plan.notes += FormatText("%sLeft out %s: it is the output of %s.%s",
                               "Information:", PrintableText(job.sourcePath).c_str(),
                               PrintableText(jobs[writer->second].sourcePath).c_str(), "\r\n");
      continue;
    }
    plan.jobs.push_back(job);
  }
}

}  // namespace

BatchPlan PlanBatch(const CommandOptions& options, const std::vector<std::string>& extensions) {
  BatchPlan plan;
  std::vector<SourceFile> files;
  bool expanded = false;
  for (const std::string& value : options.convertSources) {
    if (!ExpandSource(value, options.recursive, extensions, files, expanded)) {
      plan.notes += FormatText("%sNo audio file found(%s).%s",
                               "Error:", PrintableText(value).c_str(), "\r\n");
      plan.sourceMissing = true;
    }
  }
  plan.several = options.convertSources.size() > 1 || expanded;
  if (options.hasConvertOutput && (plan.several || options.hasOutputFolder)) {
    plan.error = FormatText(
        "%s/convert_output names the output of a single source; use /output_folder to place "
        "the outputs of several sources.%s",
        "Error:", "\r\n");
    return plan;
  }
  std::vector<ConversionJob> jobs;
  for (const SourceFile& file : WithoutRepeats(std::move(files))) {
    ConversionJob job;
    job.sourcePath = file.path;
    job.outputPath = OutputPathOf(options, file);
    jobs.push_back(std::move(job));
  }
  TakeJobs(jobs, plan);
  return plan;
}
