// Prints the second-order sections Tonvale runs for a stored band set, as arguments for sox's
// "biquad" effect or an ffmpeg "biquad" filter chain, so that the same filtering can be timed
// in those programs.
//
//   print_biquads shipped FILE            writes the shipped 10-band set (16000 Hz) with every
//                                         band enabled as EQ index 0 of the settings file FILE
//   print_biquads sox|ffmpeg FILE INDEX RATE
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ShippedSet.h"
#include "eq/design/FilterChain.h"
#include "settings/UserSettings.h"

namespace {

void PrintSections(const FilterChain& chain, void (*print)(const BiquadCoefs&, bool first)) {
  bool first = true;
  ForEachSection(chain, [&](const BiquadCoefs& c, const BiquadState&) {
    print(c, first);
    first = false;
  });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "shipped" && argc == 3) {
    return SaveUserSettings(argv[2], 0, ShippedAppConfig(), ShippedSetAllEnabled()) == 1 ? 0 : 1;
  }
  if ((mode != "sox" && mode != "ffmpeg") || argc != 5) {
    std::fprintf(stderr,
                 "usage: print_biquads shipped FILE | print_biquads sox|ffmpeg FILE INDEX RATE\n");
    return 2;
  }
  AppConfig config;
  EqBandTable table;
  LoadUserSettings(argv[2], std::atoi(argv[3]), config, table);
  FilterChain chain;
  DesignBandFilters(table, chain, std::atof(argv[4]));
  if (mode == "sox") {
    PrintSections(chain, [](const BiquadCoefs& c, bool) {
      std::printf(" biquad %.17g %.17g %.17g %.17g %.17g %.17g", c.b0, c.b1, c.b2, c.a0, c.a1,
                  c.a2);
    });
  } else {
    PrintSections(chain, [](const BiquadCoefs& c, bool first) {
      std::printf("%sbiquad=b0=%.17g:b1=%.17g:b2=%.17g:a0=%.17g:a1=%.17g:a2=%.17g",
                  first ? "" : ",", c.b0, c.b1, c.b2, c.a0, c.a1, c.a2);
    });
  }
  std::printf("\n");
  return 0;
}
