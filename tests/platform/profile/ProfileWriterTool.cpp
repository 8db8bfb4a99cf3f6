// Test helper: writes key KEY of section "Writers" in FILE with the values 1 .. COUNT, one
// profile write each. Exits with 1 when a write fails.
#include <cstdlib>
#include <string>

#include "platform/profile/Profile.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    return 2;
  }
  const int count = std::atoi(argv[3]);
  for (int i = 1; i <= count; ++i) {
    if (!platform::ProfileWriteString(argv[1], "Writers", argv[2], std::to_string(i))) {
      return 1;
    }
  }
  return 0;
}
