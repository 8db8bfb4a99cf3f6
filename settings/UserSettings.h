#pragma once

#include <string>

#include "eq/band/EqBand.h"
#include "settings/AppConfig.h"

/// Key of the index map entry for an EQ index: "MusicEQ_Index%.2d" (0 gives MusicEQ_Index00,
/// -1 gives MusicEQ_Index-01, 100 gives MusicEQ_Index100).
std::string IndexMapKey(int eqIndex);

/// Name of the band section a save writes for an EQ index: "MusicEQBand%.2d".
std::string BandSectionName(int eqIndex);

/// How a load of user settings went.
enum class SettingsLoadStatus {
  Loaded,      ///< the stored setup of the EQ index is in the band table
  Missing,     ///< no file at the path; the default bands were built
  Unreadable,  ///< the path is not a readable regular file; the default bands were built
  NoSetup,     ///< the file holds no usable setup at the EQ index; the default bands were built
  /// the setup's BandNum is above kMaxBandCount: only its first kMaxBandCount bands were read,
  /// so it cannot be used as it is stored
  TooManyBands,
};

/// What LoadUserSettings found, for a caller that must not go on with the default bands.
struct SettingsLoadReport {
  SettingsLoadStatus status = SettingsLoadStatus::Loaded;
  std::string reason;  ///< why nothing was loaded ("the file does not exist"); empty when loaded
};

/// Fills `bandTable` from EQ index `eqIndex` of the user settings file at `path`, taking the
/// stored band count and sample rate into `config`. Bands with a missing or empty key are left
/// out and the later ones move up. Falls back to ApplyDefaultSettings when the file is missing
/// or unreadable (a folder, a device or FIFO, which is never opened, or no permission), the
/// index or its BandNum is missing, or no band is complete; `report`, when given, says which.
/// A BandNum above kMaxBandCount loads the first kMaxBandCount bands and reports TooManyBands.
/// A Preamp value is kept as it reads (text without a number as not-a-number), so that the design
/// names one that is not usable instead of taking it as 0 dB.
/// Afterwards `config.bandNum` equals the table's size. Always returns 1.
int LoadUserSettings(const std::string& path, int eqIndex, AppConfig& config,
                     EqBandTable& bandTable, SettingsLoadReport* report = nullptr);

/// Writes `bandTable` and the working sample rate under EQ index `eqIndex` into the user
/// settings file at `path`, as one atomic update. Returns 1 when written, 0 when the file could
/// not be written (for example its folder does not exist) or the table holds more than
/// kMaxBandCount bands, which no load would read back; nothing is written then.
[[nodiscard]] int SaveUserSettings(const std::string& path, int eqIndex, const AppConfig& config,
                                   const EqBandTable& bandTable);

/// Builds the default band set from `config`: a high-pass band first, bells between and a
/// low-pass band last, all disabled, their frequencies spaced logarithmically from
/// minFreqValue to half the working sample rate.
///
/// A band count of 1 gives one high-pass band at minFreqValue; 0 or a negative count gives an
/// empty table; a count above kMaxBandCount gives kMaxBandCount bands. Afterwards
/// `config.bandNum` equals the table's size. Always returns 1.
int ApplyDefaultSettings(AppConfig& config, EqBandTable& bandTable);
