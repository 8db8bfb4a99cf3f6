// The shipped example does what the README says it does: the figures there are measured here on
// the program's own output, read back by the independent reader.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/AppFixture.h"
#include "tests/support/BandPower.h"

#if TONVALE_HAVE_SNDFILE
namespace {

constexpr double kPi = 3.141592653589793;

std::vector<double> Samples(const std::string& path) {
  const std::vector<short> read = apptest::ReadSamples(path);
  return std::vector<double>(read.begin(), read.end());
}

// The power of the whole signal at frequency f (Goertzel).
double TonePower(const std::vector<double>& x, double fs, double f) {
  const double c = 2.0 * std::cos(2.0 * kPi * f / fs);
  double s1 = 0.0;
  double s2 = 0.0;
  for (const double v : x) {
    const double s = v + c * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

double BandPower(const std::vector<double>& x, double fs, double f1, double f2) {
  return testsupport::BandPower(x, 1, fs, f1, f2, 1024);
}

double Db(double after, double before) { return 10.0 * std::log10(after / before); }

using ShippedExampleTest = apptest::AppFixture;

TEST_F(ShippedExampleTest, FiltersTheClipAsTheReadmeSays) {
  std::filesystem::copy_file(EXAMPLE_SPEECH, m_dir.File("speech.wav"));
  std::filesystem::copy_file(EXAMPLE_SETTINGS, m_dir.File("speech-eq.cfg"));
  const testsupport::ProcessResult r =
      Run({"/command", "/access_setting:speech-eq.cfg", "/eq_index:0", "/convert_source:speech.wav",
           "/convert_output:out/speech_filter.wav"});
  ASSERT_EQ(r.exitCode, 0) << r.out;
  const std::vector<double> before = Samples(m_dir.File("speech.wav"));
  const std::vector<double> after = Samples(m_dir.File("out/speech_filter.wav"));
  ASSERT_EQ(before.size(), after.size());
  constexpr double fs = 16000.0;

  // The README's figures: the hum 68 dB lower at 50 Hz, 50 dB at 100 Hz and 53 dB at 150 Hz
  // (each at least 20 dB), the hiss above the voice (6.5 to 8 kHz) 14 dB lower, the presence
  // range (3 to 4 kHz) 4 dB louder, the voice between 300 Hz and 3 kHz within 1 dB.
  const std::pair<double, double> hum[] = {{50.0, -68.0}, {100.0, -50.0}, {150.0, -53.0}};
  for (const auto& [f, expected] : hum) {
    const double change = Db(TonePower(after, fs, f), TonePower(before, fs, f));
    EXPECT_NEAR(change, expected, 1.0) << f << " Hz";
    EXPECT_LE(change, -20.0) << f << " Hz";
  }
  EXPECT_NEAR(Db(BandPower(after, fs, 6500, 8000), BandPower(before, fs, 6500, 8000)), -14.0, 0.5);
  EXPECT_NEAR(Db(BandPower(after, fs, 3000, 4000), BandPower(before, fs, 3000, 4000)), 4.0, 0.5);
  EXPECT_NEAR(Db(BandPower(after, fs, 300, 3000), BandPower(before, fs, 300, 3000)), 0.0, 1.0);
}

}  // namespace
#endif  // TONVALE_HAVE_SNDFILE
