#pragma once

#include "eq/band/EqBand.h"
#include "settings/UserSettings.h"

/// The shipped configuration's default band set (16000 Hz, 10 bands) with every band enabled,
/// its frequencies as a settings file stores them ("%f"): a high-pass of order 11, eight bells
/// and a low-pass of order 57, 43 second-order sections in all.
inline EqBandTable ShippedSetAllEnabled() {
  AppConfig config = ShippedAppConfig();
  EqBandTable table;
  ApplyDefaultSettings(config, table);
  table.back().cutoffFreq = 7840.0;
  table.back().stopFreq = 8000.0;
  for (EqBand& band : table) {
    band.enable = 1;
  }
  return table;
}
