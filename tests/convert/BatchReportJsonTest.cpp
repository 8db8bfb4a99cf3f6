#include "convert/BatchReportJson.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace {

// What the schema validator says of `json` (empty: valid).
std::string SchemaProblems(const std::string& json) {
  testsupport::TempDir dir;
  testsupport::WriteFile(dir.File("report.json"), json);
  return testsupport::JsonSchemaProblems(SCHEMA_FILE, dir.File("report.json"));
}

TEST(BatchReportJsonTest, EveryTextIsEscapedAndEveryStateValidates) {
  BatchFileResult converted;
  converted.conversion.outcome = ConversionStatus::Converted;
  converted.seconds = 0.25;
  converted.job.sourcePath = "odd \"name\"\\ with\ttab \x01 and \xff bad byte \xc3\xa9.wav";
  converted.job.outputPath = "out.wav";
  converted.job.sampleRate = 48000;
  converted.job.channels = 2;
  converted.job.durationMs = 1500;
  converted.job.formatName = "WAV";
  converted.job.encoding = "pcm24";
  converted.conversion.counts = ClipCounts{144000, 3, 0.5, true};
  converted.job.bands = {BandUse{0, 2, 4, true, {}}, BandUse{3, 1, 0, false, "above Nyquist"},
                         BandUse{7, 9, 0, false, "type 9"}};
  converted.conversion.loudness = OutputLoudness{.measured = true,
                                                 .integratedLufs = -18.4449,
                                                 .rangeLu = 6.1,
                                                 .truePeakDbtp = -2.3,
                                                 .samplePeakDbfs = -2.875};
  converted.job.endsEarly = true;
  converted.job.framesRead = 72000;
  converted.job.statedFrames = 144000;
  converted.conversion.delivery = DeliveryApplied{.asked = true,
                                                  .gainDb = -3.456,
                                                  .sampleRate = 44100,
                                                  .channels = 1,
                                                  .encoding = "pcm16",
                                                  .dithered = true,
                                                  .clippedSamples = 2};
  BatchFileResult cutOgg = converted;
  cutOgg.conversion.delivery =
      DeliveryApplied{.asked = true, .sampleRate = 48000, .channels = 2, .encoding = "float32"};
  cutOgg.job.statedFrames = 0;
  // Below the gate, and a peak that is not a finite number.
  cutOgg.conversion.loudness = OutputLoudness{.measured = true, .truePeakDbtp = HUGE_VAL};
  BatchFileResult failed;
  failed.conversion.outcome = ConversionStatus::Failed;
  failed.job.sourcePath = "broken.wav";
  failed.job.outputPath = "broken_filter.wav";
  failed.conversion.Information("Open the file.(broken.wav).");
  failed.conversion.Error("Can't open the file.(broken.wav).");
  failed.conversion.Error("A second line.");
  BatchFileResult notAttempted;
  notAttempted.job.sourcePath = "later.wav";

  const std::string json = FormatBatchReportJson({converted, cutOgg, failed, notAttempted},
                                                 BatchReportContext{"", 0, 2, false, 1.5, 0});
  EXPECT_NE(json.find(R"("source_ends_early": {"frames_read": 72000, "frames_stated": 144000})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("source_ends_early": {"frames_read": 72000, "frames_stated": null})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("source_ends_early": null)"), std::string::npos);
  EXPECT_NE(json.find(R"("loudness": {"integrated_lufs": -18.44, "range_lu": 6.10, )"
                      R"("true_peak_dbtp": -2.30, "sample_peak_dbfs": -2.88})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("loudness": {"integrated_lufs": null, "range_lu": null, )"
                      R"("true_peak_dbtp": null, "sample_peak_dbfs": null})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("loudness": null)"), std::string::npos);
  EXPECT_NE(json.find(R"("delivery": {"gain_db": -3.46, "sample_rate": 44100, "channels": 1, )"
                      R"("bits": 16, "encoding": "pcm16", "dither": true, "clipped_samples": 2})"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("delivery": {"gain_db": null, "sample_rate": 48000, "channels": 2, )"
                      R"("bits": 32, "encoding": "float32", "dither": false, )"),
            std::string::npos);
  EXPECT_NE(json.find(R"("delivery": null)"), std::string::npos);
  EXPECT_NE(json.find(R"("source": "odd \"name\"\\ with\ttab \u0001 and \ufffd bad byte )"
                      "\xc3\xa9"
                      R"(.wav")"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find(R"("error": "Can't open the file.(broken.wav).\nA second line.")"),
            std::string::npos);
  EXPECT_NE(json.find(R"("result": "not_attempted")"), std::string::npos);
  EXPECT_NE(json.find(R"({"index": 0, "type": "high-pass", "applied": true, "order": 4})"),
            std::string::npos);
  EXPECT_NE(json.find(R"("settings_file": null)"), std::string::npos);
  EXPECT_EQ(SchemaProblems(json), "");
  EXPECT_EQ(
      SchemaProblems(FormatBatchReportJson({}, BatchReportContext{"s.cfg", 3, 1, true, 0, 1})), "");
}

}  // namespace
