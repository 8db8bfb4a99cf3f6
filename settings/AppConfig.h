#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

/// The six sample rates offered when the configuration file is missing, in Hz.
inline constexpr std::array<std::uint32_t, 6> kBuiltInSampleRates = {8000,  16000, 32000,
                                                                     44100, 48000, 96000};

/// The application configuration. Every field starts with its built-in value, which stays when
/// the configuration file lacks the key.
struct AppConfig {
  std::int32_t defaultSampleRate = 8000;      ///< working sample rate, Hz
  double defaultQual = 0.5;                   ///< Q of a new bell band
  double defaultGain = 0.0;                   ///< gain of a new band, dB
  std::int32_t bandNum = 12;                  ///< number of equalizer bands
  std::uint32_t bandEditMaxLen = 6;           ///< longest text of a band editor's number field
  std::uint32_t eqPainterHeight = 320;        ///< height of the response graph, pixels
  double minDbValue = -20.0;                  ///< lowest gain, dB
  double maxDbValue = 20.0;                   ///< highest gain, dB
  double minFreqValue = 10.0;                 ///< lowest frequency, Hz
  double minQualValue = 0.1;                  ///< lowest Q
  double maxQualValue = 10.0;                 ///< highest Q
  double controlFreqStep = 100.0;             ///< frequency step of the up-down controls, Hz
  double controlDBStep = 0.2;                 ///< gain step of the up-down controls, dB
  double controlQualStep = 0.1;               ///< Q step of the up-down controls
  std::uint8_t checkLive = 0;                 ///< 1: watch the liveness flag (set by /checklive:1)
  std::vector<std::uint32_t> sampleRateList;  ///< offered sample rates, Hz, in file order
};

/// Reads the configuration file at `configPath` into `config`. When the file is missing, the
/// built-in default file is written there first and then read. Returns 1 when a file was read,
/// 0 when it was missing and could not be written (or appeared meanwhile from another
/// instance); the built-in values and the six built-in rates stay then.
///
/// Values the unsigned or single-precision rules cannot convert keep the field's value; such an
/// entry of SampleRateList is skipped.
int LoadAppConfig(const std::string& configPath, AppConfig& config);

/// The configuration the built-in default file gives (16000 Hz, 10 bands, ...), read from the
/// copy inside the program.
AppConfig ShippedAppConfig();
