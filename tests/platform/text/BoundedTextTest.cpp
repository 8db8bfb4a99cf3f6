#include "platform/text/BoundedText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::PathFitsLimit;

// A path's limits, at their edges: on Windows 259 characters (MAX_PATH less its terminator);
// elsewhere those of the system, 4095 bytes (PATH_MAX less its terminator) and 255 bytes a name
// (NAME_MAX), so that a deep folder stays reachable.
TEST(BoundedTextTest, APathFitsTheLimitsOfItsSystem) {
#if defined(_WIN32)
  EXPECT_TRUE(PathFitsLimit(std::string(259, 'a')));
  EXPECT_FALSE(PathFitsLimit(std::string(260, 'a')));
  EXPECT_EQ(platform::PathLimitText(), "a path may have at most 259 characters");
#else
  // 16 names of 255 bytes and their separators: 4095 bytes; one byte more is too long.
  std::string path;
  for (int i = 0; i < 16; ++i) {
    path += (i > 0 ? "/" : "") + std::string(255, static_cast<char>('a' + i));
  }
  ASSERT_EQ(path.size(), 4095U);
  EXPECT_TRUE(PathFitsLimit(path));
  EXPECT_FALSE(PathFitsLimit(path + "x"));
  EXPECT_FALSE(PathFitsLimit("/" + std::string(256, 'n')));
  EXPECT_FALSE(PathFitsLimit(std::string(256, 'n') + "/x.wav"));
  EXPECT_TRUE(PathFitsLimit("/" + std::string(255, 'n') + "/" + std::string(255, 'm')));
  EXPECT_TRUE(PathFitsLimit(std::string(600, '/')));  // separators are no name
  EXPECT_EQ(platform::PathLimitText(),
            "a path may have at most 4095 bytes, and a name in it at most 255");
  // The program's own paths are kept whole, not in the Windows 780-byte buffers.
  EXPECT_EQ(platform::BoundedPath(std::string(1000, 'p')).size(), 1000U);
#endif
}

}  // namespace
