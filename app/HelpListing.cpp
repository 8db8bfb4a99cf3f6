#include "app/HelpListing.h"

#include "app/CommandParser.h"
#include "platform/text/FormatText.h"

void PrintHelpListing(const std::string& exeName, const platform::LogSink& log) {
  using platform::FormatText;
  for (const OptionRow& row : g_optionTable) {
    log(FormatText("@ %s %s", row.description, "\r\n"));
    log(FormatText("Ex. %s %s %s%s", exeName.c_str(), row.example, "\r\n", "\r\n"));
  }
  log("@ Loading user setting to apply the equalizer parameter and convert the source file to "
      "output file on command mode\r\n");
  log(
      FormatText("Ex. %s /command /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0 "
                 "/convert_source:\"C:\\source_file.wav\" "
                 "/convert_output:\"C:\\output_file.wav\" \r\n\r\n",
                 exeName.c_str()));
  log("@ Converting every audio file of a folder and its subfolders into an output folder, two "
      "files at a time, going on past failures and writing a summary\r\n");
  log(
      FormatText("Ex. %s /command /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0 "
                 "/convert_source:\"C:\\interviews\" /recursive /output_folder:\"C:\\filtered\" "
                 "/jobs:2 /keep_going /report:\"C:\\report.json\" \r\n\r\n",
                 exeName.c_str()));
  log("@ Converting a recording for a podcast feed (-16 LUFS, true peak at most -1 dBTP, "
      "44.1 kHz, 16 bits) and printing its loudness\r\n");
  log(
      FormatText("Ex. %s /command /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0 "
                 "/convert_source:\"C:\\interview.wav\" /deliver:podcast /loudness \r\n\r\n",
                 exeName.c_str()));
  log("@ Loading user setting to apply the equalizer parameter on application mode\r\n");
  log(FormatText("Ex. %s /access_setting:\"C:\\UserSettings.cfg\" /eq_index:0\r\n\r\n",
                 exeName.c_str()));
}
