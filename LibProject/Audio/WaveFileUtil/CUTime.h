#pragma once

#include <cstdint>

/// A file time: seconds since 1970-01-01 UTC. 0 when unknown.
struct C_CUTime {
  std::int64_t seconds = 0;
};
