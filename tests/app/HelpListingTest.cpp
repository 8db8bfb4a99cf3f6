#include "app/HelpListing.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(HelpListingTest, ListsEveryOptionAndBothUsageExamplesByteForByte) {
  std::string out;
  PrintHelpListing("tonvale", [&out](std::string_view text) { out.append(text); });
  const std::string expected =
      "@ Open help information \r\n"
      "Ex. tonvale /h \r\n\r\n"
      "@ Run application using command mode \r\n"
      "Ex. tonvale /command \r\n\r\n"
      "@ load user setting and set equalizer parameter \r\n"
      "Ex. tonvale /access_setting:\"C:\\UserSettings.cfg\" \r\n\r\n"
      "@ Access configure to load every band parameter from equalizer index \r\n"
      "Ex. tonvale /eq_index:0 \r\n\r\n"
      "@ Convert the source file according the specified Equalizer parameter \r\n"
      "Ex. tonvale /convert_source:\"C:\\source_file.wav\" \r\n\r\n"
      "@ Set the convert output path \r\n"
      "Ex. tonvale /convert_output:\"C:\\output_file.wav\" \r\n\r\n"
      "@ Check live setting and close program if live valie is 0 \r\n"
      "Ex. tonvale /checklive:1 \r\n\r\n"
      "@ Put the output files into this folder (the source folders' structure mirrored) \r\n"
      "Ex. tonvale /output_folder:\"C:\\filtered\" \r\n\r\n"
      "@ Convert the audio files of source folders' subfolders too \r\n"
      "Ex. tonvale /recursive \r\n\r\n"
      "@ Use at most this many threads in all (default: the processor count) \r\n"
      "Ex. tonvale /jobs:2 \r\n\r\n"
      "@ Go on with the other files when a file fails to convert \r\n"
      "Ex. tonvale /keep_going \r\n\r\n"
      "@ Write a JSON summary of the conversions to this file \r\n"
      "Ex. tonvale /report:\"C:\\report.json\" \r\n\r\n"
      "@ Import Equalizer APO, Room EQ Wizard or AutoEQ preset text into the equalizer index \r\n"
      "Ex. tonvale /import_preset:\"C:\\preset.txt\" \r\n\r\n"
      "@ Export the equalizer index as Equalizer APO preset text \r\n"
      "Ex. tonvale /export_preset:\"C:\\preset.txt\" \r\n\r\n"
      "@ Open the window with the spectrum of a recording under the response curve \r\n"
      "Ex. tonvale /open_recording:\"C:\\interview.wav\" \r\n\r\n"
      "@ Open help information, as /h does \r\n"
      "Ex. tonvale --help \r\n\r\n"
      "@ Print the program's version and the commit it was built from \r\n"
      "Ex. tonvale /version \r\n\r\n"
      "@ Print each output's loudness, loudness range and true peak in a line \r\n"
      "Ex. tonvale /loudness \r\n\r\n"
      "@ Bring each output to this integrated loudness in LUFS, -70 to 0 (true peak kept at most "
      "-1 dBTP unless /true_peak says otherwise) \r\n"
      "Ex. tonvale /normalize:-16 \r\n\r\n"
      "@ Keep each output's true peak at or below this many dBTP, -60 to 0, by a lower gain \r\n"
      "Ex. tonvale /true_peak:-1 \r\n\r\n"
      "@ Write the outputs at this sample rate, 8000 to 384000 Hz \r\n"
      "Ex. tonvale /output_rate:44100 \r\n\r\n"
      "@ Mix the outputs down to one channel, the average of the channels \r\n"
      "Ex. tonvale /output_channels:1 \r\n\r\n"
      "@ Write the outputs as 16-, 24- or 32-bit integers or 32-bit floats: 16, 24, 32 or float "
      "\r\n"
      "Ex. tonvale /output_bits:16 \r\n\r\n"
      "@ Dither where the depth is reduced (on, the default) or not (off) \r\n"
      "Ex. tonvale /dither:off \r\n\r\n"
      "@ Deliver as a destination asks: podcast, broadcast, speech-recognition or archive (the "
      "options above override its values) \r\n"
      "Ex. tonvale /deliver:podcast \r\n\r\n"
      "@ Loading user setting to apply the equalizer parameter and convert the source file to "
      "output file on command mode\r\n"
      "Ex. tonvale /command /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0 "
      "/convert_source:\"C:\\source_file.wav\" /convert_output:\"C:\\output_file.wav\" \r\n\r\n"
      "@ Converting every audio file of a folder and its subfolders into an output folder, two "
      "files at a time, going on past failures and writing a summary\r\n"
      "Ex. tonvale /command /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0 "
      "/convert_source:\"C:\\interviews\" /recursive /output_folder:\"C:\\filtered\" /jobs:2 "
      "/keep_going /report:\"C:\\report.json\" \r\n\r\n"
      "@ Converting a recording for a podcast feed (-16 LUFS, true peak at most -1 dBTP, "
      "44.1 kHz, 16 bits) and printing its loudness\r\n"
      "Ex. tonvale /command /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0 "
      "/convert_source:\"C:\\interview.wav\" /deliver:podcast /loudness \r\n\r\n"
      "@ Loading user setting to apply the equalizer parameter on application mode\r\n"
      "Ex. tonvale /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0\r\n\r\n";
  EXPECT_EQ(out, expected);
}

}  // namespace
