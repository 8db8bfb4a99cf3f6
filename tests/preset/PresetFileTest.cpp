// The preset file service below the console and the window: what each kind of failure says,
// and why an export was not written.
#include "preset/PresetFile.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestSupport.h"

namespace {

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

TEST(PresetFileTest, AnImportSaysWhetherTheFileWasUnreadableRefusedOrTaken) {
  const TempDir dir;
  const PresetFileImport missing = ImportPresetFile(dir.File("missing.txt"), 48000.0);
  EXPECT_EQ(missing.outcome, PresetFileImport::Outcome::Unreadable);
  EXPECT_EQ(missing.error, "it does not exist");

  WriteFile(dir.File("graphic.txt"), "GraphicEQ: 20 0\n");
  const PresetFileImport refused = ImportPresetFile(dir.File("graphic.txt"), 48000.0);
  EXPECT_EQ(refused.outcome, PresetFileImport::Outcome::Refused);
  EXPECT_EQ(refused.error, "The preset file holds no filter that can be imported");
  ASSERT_EQ(refused.notes.size(), 1U);
  EXPECT_TRUE(refused.table.empty());

  // At 16 kHz a bell at 9 kHz lies above the highest frequency the rate holds (8 kHz).
  WriteFile(dir.File("two.txt"),
            "Filter: ON PK Fc 9000 Hz Gain 3 dB Q 1\n"
            "Filter: ON PK Fc 1000 Hz Gain 3 dB Q 1\n");
  const PresetFileImport taken = ImportPresetFile(dir.File("two.txt"), 16000.0);
  EXPECT_EQ(taken.outcome, PresetFileImport::Outcome::Imported);
  EXPECT_TRUE(taken.error.empty());
  EXPECT_EQ(taken.table.size(), 2U);
  ASSERT_EQ(taken.bandNotes.size(), 1U);
  EXPECT_EQ(taken.bandNotes[0],
            "Band00 (bell) is left out at 16000 Hz: its centre frequency 9000 Hz is above half "
            "the sample rate (8000 Hz).");
}

TEST(PresetFileTest, AnExportSaysWhyItCouldNotWrite) {
  const TempDir dir;
  EqBandTable table;
  table.resize(1);
  const PresetFileExport failed = ExportPresetFile(dir.File("missing/out.txt"), table);
  EXPECT_FALSE(failed.written);
  EXPECT_EQ(failed.error, "it does not exist");

  const PresetFileExport written = ExportPresetFile(dir.File("out.txt"), table);
  EXPECT_TRUE(written.written);
  EXPECT_TRUE(written.error.empty());
  EXPECT_EQ(ReadFile(dir.File("out.txt")).rfind("Preamp: ", 0), 0U);
}

}  // namespace
