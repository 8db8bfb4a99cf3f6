#include "platform/fs/TempFileSweep.h"

#include "platform/fs/TempFileNames.h"

namespace platform {

void TempFileSweep::Sweep(const std::string& folder, std::string_view prefix) {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_swept.emplace(folder, std::string(prefix)).second) {
      return;
    }
  }
  // Outside the lock: another folder's sweep need not wait for this one.
  (void)RemoveStaleTempFiles(folder, prefix);
}

}  // namespace platform
