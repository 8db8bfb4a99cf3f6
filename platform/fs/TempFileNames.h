#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Temporary files of ours carry the host name and the process id of their maker, so that a
// later run can tell the litter of a killed process (its maker is gone) from the work in
// progress of a running one, also in a folder that several hosts share.

/// Prefix of the temporary file an atomic write fills before renaming it over the target.
inline constexpr std::string_view kAtomicTempPrefix = ".tonvale-tmp.";
/// Prefix of the private file an exclusive create writes before linking it into place.
inline constexpr std::string_view kExclusiveTempPrefix = ".tonvale-new.";
/// Prefix of scratch files in the system temporary folder (a protected file's plain copy).
inline constexpr std::string_view kScratchTempPrefix = "xxx-tonvale.";

/// This machine's host name, reduced to the characters a file name may safely hold.
const std::string& HostName();

/// `prefix` followed by host name, process id, a counter and random bits, separated by dots:
/// a name that no other process, host or thread picks at the same moment.
std::string UniqueTempName(std::string_view prefix);

/// The maker of a temporary file, as its name tells it.
struct TempNameOwner {
  std::string host;
  long long pid = 0;
};

/// The maker named in `name`, when it has the form UniqueTempName gives with `prefix`.
std::optional<TempNameOwner> ParseTempName(std::string_view name, std::string_view prefix);

/// Removes the regular files in `folder` whose names UniqueTempName made with `prefix` on this
/// host, by a process other than this one that no longer runs, whatever their age. Files of
/// other hosts, of running processes and of other programs stay. Returns how many were removed.
int RemoveStaleTempFiles(const std::string& folder, std::string_view prefix);

}  // namespace platform
