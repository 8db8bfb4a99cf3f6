#include "settings/LiveFlag.h"

#include <gtest/gtest.h>

#include "tests/support/TestSupport.h"

namespace {

TEST(LiveFlagTest, WrittenAsDecimalAndReadBackFresh) {
  testsupport::TempDir dir;
  const std::string path = dir.File("tonvale.ini");
  EXPECT_FALSE(ReadLiveFlag(path).present);
  WriteLiveFlag(path, 1);
  EXPECT_EQ(testsupport::ReadFile(path), "[App_Status]\r\nIs_Live=1\r\n");
  EXPECT_EQ(ReadLiveFlag(path).value, 1);
  testsupport::WriteFile(path, "[App_Status]\r\nIs_Live = 2 \r\n");
  EXPECT_EQ(ReadLiveFlag(path).value, 2);
  testsupport::WriteFile(path, "[App_Status]\r\nIs_Live = no\r\n");
  EXPECT_TRUE(ReadLiveFlag(path).present);
  EXPECT_EQ(ReadLiveFlag(path).value, 0);
  WriteLiveFlag(dir.File("missing/tonvale.ini"), 1);  // ignored, no crash
}

}  // namespace
