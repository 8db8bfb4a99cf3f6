#include "convert/ConversionReport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ConversionReportTest, DefaultOutputGoesBesideTheSourceWithFilterBeforeTheExtension) {
  EXPECT_EQ(DefaultOutputPath("/a/voice.wav"), "/a/voice_filter.wav");
  EXPECT_EQ(DefaultOutputPath("voice.wav"), "voice_filter.wav");
  EXPECT_EQ(DefaultOutputPath("/a/take.two.wio"), "/a/take.two_filter.wio");
  EXPECT_EQ(DefaultOutputPath("/a/noext"), "/a/noext_filter");
#if defined(_WIN32)
  EXPECT_EQ(DefaultOutputPath("/a/voice.recording1"), "");  // an extension beyond 9 characters
#else
  // Only the system's limits count: a deep folder and a long extension are none, a name that
  // "_filter" takes beyond 255 bytes is.
  EXPECT_EQ(DefaultOutputPath("/a/voice.recording1"), "/a/voice_filter.recording1");
  std::string deep = "/";
  for (int i = 0; i < 3; ++i) deep += std::string(200, 'd') + "/";
  EXPECT_EQ(DefaultOutputPath(deep + "v.wav"), deep + "v_filter.wav");
  const std::string longest(244, 'n');  // 244 + "_filter" + ".wav": 255 bytes
  EXPECT_EQ(DefaultOutputPath("/a/" + longest + ".wav"), "/a/" + longest + "_filter.wav");
  EXPECT_EQ(DefaultOutputPath("/a/" + longest + "n.wav"), "");
#endif
}

TEST(ConversionReportTest, ReportListsEachFileWithTheErrorsOfFailedOnes) {
  const std::vector<ConversionOutcome> outcomes = {
      {"/a/one.wav", "/a/one_filter.wav", true, 1, "Information:Open the file.(/a/one.wav).\r\n"},
      {"/a/x.recording1", "", false, 0, ""},
      {"/a/two.wav", "/a/two_filter.wav", true, 0,
       "Information:Open the file.(/a/two.wav).\r\nError:Can't open the file.(/a/two.wav).\r\n"},
      {"/a/three.wav", "/a/three_filter.wav", false, 0, ""},
  };
  const ConversionReport report = FormatConversionReport(outcomes);
  EXPECT_TRUE(report.failed);
  EXPECT_EQ(report.title, "Convert File: not all files converted");
  EXPECT_EQ(report.text,
            "Converted /a/one.wav to /a/one_filter.wav\n"
            "Failed: /a/two.wav\n"
            "    Error:Can't open the file.(/a/two.wav).\n"
            "Not attempted: /a/three.wav\n"
            "Skipped (no output name can be formed from its path): /a/x.recording1");

  const ConversionReport done = FormatConversionReport({outcomes[0]});
  EXPECT_FALSE(done.failed);
  EXPECT_EQ(done.title, "Convert File: done");
  EXPECT_EQ(done.text, "Converted /a/one.wav to /a/one_filter.wav");

  const ConversionReport clipped =
      FormatConversionReport({{"/a/loud.wav", "/a/loud_filter.wav", true, 1,
                               "Information:Apply the equalizer filter parameter.\r\n"
                               "Information:Clipped 12 of 9600 samples, peak 1.25 dBFS.\r\n"
                               "Information:Write to output file(/a/loud_filter.wav).\r\n"}});
  EXPECT_FALSE(clipped.failed);
  EXPECT_EQ(clipped.text,
            "Converted /a/loud.wav to /a/loud_filter.wav\n"
            "    Information:Clipped 12 of 9600 samples, peak 1.25 dBFS.");
}

}  // namespace
