#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

/// The removal of what killed writers left in a folder (RemoveStaleTempFiles), once per folder
/// for one run of many writes: a batch of thousands of files into one folder would otherwise
/// list that folder after every file, a cost that grows with the square of the files.
class TempFileSweep {
 public:
  /// Removes the stale temporary files of `prefix` in `folder` the first time it is asked for
  /// that folder and prefix; later calls do nothing. Safe to call from several threads.
  void Sweep(const std::string& folder, std::string_view prefix);

 private:
  std::mutex m_mutex;
  std::set<std::pair<std::string, std::string>> m_swept;  // (folder, prefix), under m_mutex
};

}  // namespace platform
