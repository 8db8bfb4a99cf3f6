#include "convert/ConversionReport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

// One file's outcome: `status`, with `errors` as its Error lines.
ConversionOutcome Outcome(const char* source, const char* output, ConversionStatus status,
                          std::vector<std::string> errors = {}) {
  ConversionOutcome outcome{source, output, {}};
  outcome.conversion.outcome = status;
  outcome.conversion.Information(std::string("Open the file.(") + source + ").");
  for (std::string& error : errors) {
    outcome.conversion.Error(std::move(error));
  }
  return outcome;
}

TEST(ConversionReportTest, ReportListsEachFileWithTheErrorsOfFailedOnes) {
  const std::vector<ConversionOutcome> outcomes = {
      Outcome("/a/one.wav", "/a/one_filter.wav", ConversionStatus::Converted),
      Outcome("/a/x.recording1", "", ConversionStatus::NotAttempted),
      Outcome("/a/two.wav", "/a/two_filter.wav", ConversionStatus::Failed,
              {"Can't open the file.(/a/two.wav).", "Write to output file(/a/two_filter.wav)."}),
      Outcome("/a/three.wav", "/a/three_filter.wav", ConversionStatus::NotAttempted),
  };
  const ConversionReport report = FormatConversionReport(outcomes);
  EXPECT_TRUE(report.failed);
  EXPECT_EQ(report.title, "Convert File: not all files converted");
  EXPECT_EQ(report.text,
            "Converted /a/one.wav to /a/one_filter.wav\n"
            "Failed: /a/two.wav\n"
            "    Error:Can't open the file.(/a/two.wav).\n"
            "    Error:Write to output file(/a/two_filter.wav).\n"
            "Not attempted: /a/three.wav\n"
            "Skipped (no output name can be formed from its path): /a/x.recording1");

  const ConversionReport done = FormatConversionReport({outcomes[0]});
  EXPECT_FALSE(done.failed);
  EXPECT_EQ(done.title, "Convert File: done");
  EXPECT_EQ(done.text, "Converted /a/one.wav to /a/one_filter.wav");

  // The clipping line as the transcript has it, rendered from the counts.
  ConversionOutcome loud =
      Outcome("/a/loud.wav", "/a/loud_filter.wav", ConversionStatus::Converted);
  loud.conversion.counts = ClipCounts{9600, 12, 1.25, true};
  const ConversionReport clipped = FormatConversionReport({loud});
  EXPECT_FALSE(clipped.failed);
  EXPECT_EQ(clipped.text,
            "Converted /a/loud.wav to /a/loud_filter.wav\n"
            "    Information:Clipped 12 of 9600 samples, peak 1.25 dBFS.");

  // A normalising gain that fell short says so beneath, after the clipping line.
  loud.conversion.delivery.gainNote = "The loudness target -16.0 LUFS is not reached.";
  EXPECT_EQ(FormatConversionReport({loud}).text,
            "Converted /a/loud.wav to /a/loud_filter.wav\n"
            "    Information:Clipped 12 of 9600 samples, peak 1.25 dBFS.\n"
            "    Information:The loudness target -16.0 LUFS is not reached.");
}

}  // namespace
