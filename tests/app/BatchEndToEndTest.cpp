// Batches through the built program: folders, patterns and several sources, an output folder
// that mirrors the sources' structure, a failing file in the middle with and without
// /keep_going, the JSON summary checked against the schema, and the progress line only on a
// terminal.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/NativePath.h"
#include "platform/text/FormatText.h"
#include "tests/app/AppFixture.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using testsupport::ReadFile;

// `path` as the program writes it: with the system's separator.
std::string P(std::string path) {
#if defined(_WIN32)
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return path;
}

class BatchEndToEndTest : public apptest::AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    fs::copy_file(EXAMPLE_SETTINGS, m_dir.File("speech.cfg"));
  }

  // A second of a 16 kHz ramp.
  void Wave(const std::string& name) { RampWave(name, 16000, 16000); }
  void Broken(const std::string& name) { testsupport::WriteFile(m_dir.File(name), "RIFF...."); }
  bool Exists(const std::string& name) const {
    return fs::exists(platform::NativePath(m_dir.File(name)));
  }

  struct Refusal {
    std::vector<std::string> args;  // after /command and speech.cfg, unless they name their own
    std::string line;               // after "Error:The ", before ": they are the same file."
  };
  // Each run ends with its refusal, and none of the files `inputs` changes.
  void ExpectRefused(const std::vector<Refusal>& refusals, const std::vector<std::string>& inputs) {
    const auto bytes = [&] {
      std::string all;
      for (const std::string& name : inputs) all += ReadFile(m_dir.File(name)) + "|";
      return all;
    };
    const std::string before = bytes();
    for (const Refusal& c : refusals) {
      std::vector<std::string> args = {"/command", "/access_setting:speech.cfg"};
      if (c.args.front().rfind("/access_setting:", 0) == 0) args.pop_back();
      args.insert(args.end(), c.args.begin(), c.args.end());
      const ProcessResult r = Run(args);
      EXPECT_EQ(r.exitCode, 1) << c.line;
      EXPECT_EQ(r.out, "Error:The " + c.line + ": they are the same file.\r\n");
    }
    EXPECT_TRUE(bytes() == before);
  }

  static std::string Unopened(const std::string& source) {
    return "Information:Open the file.(" + source + ").\r\nError:Can't open the file.(" + source +
           ").\r\n";
  }
};

TEST_F(BatchEndToEndTest, AFolderStopsAtItsFirstFailureUnlessToldToGoOn) {
  Wave("in/a.wav");
  Wave("in/b.wav");
  Broken("in/c.wav");
  Wave("in/d.wav");
  Wave("in/sub/e.wav");
  testsupport::WriteFile(m_dir.File("in/notes.txt"), "not audio");
  const std::vector<std::string> common = {"/command", "/access_setting:speech.cfg",
                                           "/convert_source:in", "/recursive", "/jobs:1"};

  auto args = common;
  args.insert(args.end(), {"/output_folder:out", "/report:stop.json"});
  const ProcessResult stopped = Run(args);
  EXPECT_EQ(stopped.exitCode, 2);
  EXPECT_EQ(stopped.out,
            Converted(P("in/a.wav"), P("out/a_filter.wav")) +
                Converted(P("in/b.wav"), P("out/b_filter.wav")) + Unopened(P("in/c.wav")) +
                "Information:Not attempted, the run stopped at a failed file(" + P("in/d.wav") +
                ").\r\nInformation:Not attempted, the run stopped at a failed file(" +
                P("in/sub/e.wav") + ").\r\nTerminated:ConvertFile:Result:0\r\n");
  EXPECT_EQ(stopped.err, "");  // no progress line: standard error is a file
  EXPECT_TRUE(Exists("out/a_filter.wav") && Exists("out/b_filter.wav"));
  EXPECT_FALSE(Exists("out/d_filter.wav") || Exists("out/sub"));
  const std::string report = ReadFile(m_dir.File("stop.json"));
  EXPECT_EQ(SchemaProblems("stop.json"), "");
  EXPECT_NE(report.find("\"files_converted\": 2,\n  \"files_failed\": 1,\n"
                        "  \"files_not_attempted\": 2,\n  \"result\": 0,"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("\"error\": \"Can't open the file.(in"), std::string::npos);
  // Each output written is measured; a file that failed or never ran has none.
  const auto count = [&report](const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = report.find(text); at != std::string::npos;
         at = report.find(text, at + 1)) {
      ++n;
    }
    return n;
  };
#if !defined(_WIN32)
  EXPECT_EQ(count("\"loudness\": {\"integrated_lufs\": -"), 2U) << report;
  EXPECT_EQ(count("\"loudness\": null"), 3U);
#else
  EXPECT_EQ(count("\"loudness\": null"), 5U);  // no meter in this build
#endif

  args = common;
  args.insert(args.end(), {"/output_folder:out2", "/keep_going", "/report:go.json"});
  const ProcessResult going = Run(args);
  EXPECT_EQ(going.exitCode, 2);
  EXPECT_EQ(going.out, Converted(P("in/a.wav"), P("out2/a_filter.wav")) +
                           Converted(P("in/b.wav"), P("out2/b_filter.wav")) +
                           Unopened(P("in/c.wav")) +
                           Converted(P("in/d.wav"), P("out2/d_filter.wav")) +
                           Converted(P("in/sub/e.wav"), P("out2/sub/e_filter.wav")) +
                           "Terminated:ConvertFile:Result:0\r\n");
  // The mirrored output is the same file the single-file command writes.
  const ProcessResult single = Run({"/command", "/access_setting:speech.cfg",
                                    "/convert_source:in/sub/e.wav", "/convert_output:e1.wav"});
  EXPECT_EQ(single.exitCode, 0);
  EXPECT_EQ(ReadFile(m_dir.File("out2/sub/e_filter.wav")), ReadFile(m_dir.File("e1.wav")));
  EXPECT_EQ(SchemaProblems("go.json"), "");
  const std::string goReport = ReadFile(m_dir.File("go.json"));
  EXPECT_NE(goReport.find("\"files_converted\": 4,"), std::string::npos);
  EXPECT_NE(goReport.find("\"settings_file\": \"speech.cfg\""), std::string::npos);
  EXPECT_NE(goReport.find("{\"index\": 0, \"type\": \"high-pass\", \"applied\": true, \"order\": "),
            std::string::npos);
}

TEST_F(BatchEndToEndTest, PatternsAndSeveralSourcesRunInParallelInTheirOrder) {
  for (int i = 0; i < 6; ++i) Wave("take" + std::to_string(i) + ".wav");
  Wave("other.wav");
  Wave("take0_filter.wav");  // an earlier run's output: left out, then replaced
  const ProcessResult r =
      Run({"/command", "/access_setting:speech.cfg", "/convert_source:take*.wav",
           "/convert_source:other.wav", "/convert_source:take1.wav", "/jobs:3"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  std::string expected =
      "Information:Left out take0_filter.wav: it is the output of take0.wav.\r\n";
  for (int i = 0; i < 6; ++i) {
    const std::string name = "take" + std::to_string(i);
    expected += Converted(name + ".wav", name + "_filter.wav");
  }
  expected += Converted("other.wav", "other_filter.wav") + "Terminated:ConvertFile:Result:1\r\n";
  EXPECT_EQ(r.out, expected);
  EXPECT_FALSE(Exists("take0_filter_filter.wav"));
}

TEST_F(BatchEndToEndTest, CommandLinesThatCannotWorkEndWithOne) {
  Wave("a.wav");
  Wave("b.wav");
  Wave("x/a.wav");
  struct Case {
    std::vector<std::string> args;
    std::string out;
  };
  const std::vector<Case> cases = {
      {{"/convert_source:a.wav", "/convert_source:b.wav", "/convert_output:o.wav"},
       "Error:/convert_output names the output of a single source; use /output_folder to place "
       "the outputs of several sources.\r\n"},
      {{"/convert_source:a.wav", "/convert_source:x/a.wav", "/output_folder:out"},
       "Error:Two sources would write the same output file(" + P("out/a_filter.wav") +
           "): a.wav and x/a.wav.\r\n"},
      {{"/convert_source:*.flac"}, "Error:File not exist(*.flac).\r\n"},
      {{"/convert_source:a.wav", "/jobs:0"},
       "Error:The number of jobs must be a whole number from 1 to 1024(0).\r\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"/command"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProcessResult r = Run(args);
    EXPECT_EQ(r.exitCode, 1) << c.out;
    EXPECT_EQ(r.out, c.out);
  }
  EXPECT_FALSE(Exists("o.wav") || Exists("out/a_filter.wav"));
  fs::create_directory(platform::NativePath(m_dir.File("empty")));
  const ProcessResult empty = Run({"/command", "/convert_source:empty"});
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_EQ(empty.out, "Error:No audio file found(empty).\r\nTerminated:ConvertFile:Result:0\r\n");
}

// A report never lands on a file of the run: the same file under any name (another spelling,
// a link, a hard link, a file a folder or pattern stands for, an output not written yet) is
// refused before anything is read or written. A report of its own replaces its file whole.
TEST_F(BatchEndToEndTest, AReportThatIsAFileOfTheRunIsRefused) {
  Wave("a.wav");
  Wave("in/b.wav");
  Wave("t1.wav");
  testsupport::WriteFile(m_dir.File("p.txt"), "Filter 1: ON PK Fc 1000 Hz Gain 3 dB Q 1\n");
  struct Case {
    std::vector<std::string> args;
    std::string report;
    std::string what;  // what the report would overwrite, as the line names it
  };
  const std::vector<std::string> single = {"/convert_source:a.wav", "/convert_output:out.wav"};
  std::vector<Case> cases = {
      {single, "a.wav", "source(a.wav)"},
      {single, "./a.wav", "source(a.wav)"},
      {single, "out.wav", "output(out.wav)"},
      {single, "in/../out.wav", "output(out.wav)"},
      {{"/convert_source:a.wav"}, "a_filter.wav", "output(a_filter.wav)"},
      {{"/convert_source:in", "/recursive"}, P("in/b.wav"), "source(" + P("in/b.wav") + ")"},
      {{"/convert_source:in", "/output_folder:o"},
       "o/b_filter.wav",
       "output(" + P("o/b_filter.wav") + ")"},
      {{"/convert_source:t*.wav"}, "t1.wav", "source(t1.wav)"},
      {single, "speech.cfg", "settings file(speech.cfg)"},
      {{"/convert_source:a.wav", "/import_preset:p.txt"}, "p.txt", "imported preset(p.txt)"},
      {{"/convert_source:a.wav", "/export_preset:e.txt"}, "./e.txt", "exported preset(e.txt)"},
  };
#if defined(_WIN32)
  cases.push_back({single, "A.WAV", "source(a.wav)"});
#else
  fs::create_symlink("a.wav", m_dir.File("soft.wav"));
  fs::create_hard_link(m_dir.File("a.wav"), m_dir.File("hard.wav"));
  cases.push_back({single, "soft.wav", "source(a.wav)"});
  cases.push_back({single, "hard.wav", "source(a.wav)"});
#endif
  std::vector<Refusal> refusals;
  for (Case& c : cases) {
    c.args.push_back("/report:" + c.report);
    refusals.push_back({c.args, "report(" + c.report + ") would overwrite the " + c.what});
  }
  ExpectRefused(refusals, {"a.wav", "in/b.wav", "t1.wav", "p.txt", "speech.cfg"});
  for (const char* name : {"out.wav", "a_filter.wav", "t1_filter.wav", "e.txt"}) {
    EXPECT_FALSE(Exists(name)) << name;
  }

  testsupport::WriteFile(m_dir.File("r.json"), "earlier report");
#if !defined(_WIN32)
  // Another name of the earlier report keeps it: the new one is a new file renamed into place.
  fs::create_hard_link(m_dir.File("r.json"), m_dir.File("earlier.json"));
#endif
  const ProcessResult r = Run({"/command", "/access_setting:speech.cfg", "/convert_source:a.wav",
                               "/convert_output:out.wav", "/report:r.json"});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(SchemaProblems("r.json"), "");
#if !defined(_WIN32)
  EXPECT_EQ(ReadFile(m_dir.File("earlier.json")), "earlier report");
#endif
}

// Nothing the run writes (an output, an exported preset, the settings file an import saves into)
// may land on a file the run reads or writes besides: the run is refused before anything is read
// or written, whatever name the file goes by.
TEST_F(BatchEndToEndTest, NoFileTheRunWritesLandsOnAnotherFileOfTheRun) {
  Wave("a.wav");
  testsupport::WriteFile(m_dir.File("p.txt"), "Filter 1: ON PK Fc 1000 Hz Gain 3 dB Q 1\n");
  const std::vector<std::string> inputs = {"a.wav", "p.txt", "speech.cfg"};
  std::vector<Refusal> cases = {
      {{"/convert_source:a.wav", "/convert_output:a.wav"},
       "output(a.wav) would overwrite the source(a.wav)"},
      {{"/convert_source:a.wav", "/convert_output:./speech.cfg"},
       "output(./speech.cfg) would overwrite the settings file(speech.cfg)"},
      {{"/convert_source:a.wav", "/convert_output:p.txt", "/import_preset:p.txt"},
       "output(p.txt) would overwrite the imported preset(p.txt)"},
      {{"/convert_source:a.wav", "/export_preset:a.wav"},
       "exported preset(a.wav) would overwrite the source(a.wav)"},
      {{"/export_preset:speech.cfg"},
       "exported preset(speech.cfg) would overwrite the settings file(speech.cfg)"},
      {{"/import_preset:speech.cfg"},
       "settings file(speech.cfg) would overwrite the imported preset(speech.cfg)"},
  };
#if !defined(_WIN32)
  fs::create_hard_link(m_dir.File("a.wav"), m_dir.File("hard.wav"));
  cases.push_back({{"/convert_source:a.wav", "/convert_output:hard.wav"},
                   "output(hard.wav) would overwrite the source(a.wav)"});
#endif
  // A settings file that is a source of the run is not written by an import.
  cases.push_back({{"/access_setting:a.wav", "/import_preset:p.txt", "/convert_source:a.wav",
                    "/convert_output:out.wav"},
                   "settings file(a.wav) would overwrite the source(a.wav)"});
  ExpectRefused(cases, inputs);
  EXPECT_FALSE(Exists("out.wav"));
}

#if !defined(_WIN32)
// Linux paths are bounded by the system only: a batch finds and converts files far deeper than
// the 259 characters of Windows, names every file in full in its lines and its report, and a
// file whose output name the system would refuse is told so without advice a batch cannot take.
TEST_F(BatchEndToEndTest, DeepFoldersConvertAndEveryFileIsNamedInFull) {
  std::string folder = "deep";
  for (int i = 0; i < 3; ++i) folder += "/" + std::string(200, static_cast<char>('a' + i));
  const std::string take = folder + "/take.wav";
  const std::string longName = folder + "/" + std::string(245, 'n') + ".wav";
  Wave(take);
  Wave(longName);
  const ProcessResult r = Run({"/command", "/access_setting:speech.cfg", "/convert_source:deep",
                               "/recursive", "/keep_going", "/jobs:1", "/report:deep.json"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_EQ(r.out, "Error:Can't form the output path from the source path(" + longName +
                       "): the output's name or path would be too long.\r\n" +
                       Converted(take, folder + "/take_filter.wav") +
                       "Terminated:ConvertFile:Result:0\r\n");
  EXPECT_TRUE(Exists(folder + "/take_filter.wav"));
  EXPECT_EQ(SchemaProblems("deep.json"), "");
  const std::string report = ReadFile(m_dir.File("deep.json"));
  EXPECT_NE(report.find("\"source\": \"" + take + "\""), std::string::npos);
  EXPECT_NE(report.find("\"source\": \"" + longName + "\",\n      \"output\": null"),
            std::string::npos);
}

// Any byte but "/" and NUL may stand in a Linux file name. Control characters are escaped
// wherever a name is printed, so that every line still starts with its prefix; the report keeps
// each name exact. Names in other scripts print as they are.
TEST_F(BatchEndToEndTest, ControlCharactersInNamesAreEscapedOnEveryLine) {
  Wave("names/a\nb.wav");
  Wave("names/a\nb_filter.wav");  // an earlier output: left out, with a note naming both
  Wave("names/b\r\\c\t.wav");
  Broken("names/c\x1b[31m.wav");
  Wave("names/d\xC2\x85\xC3\xBC.wav");  // U+0085 (a C1 control) and "ü"
  const auto everyLineHasItsPrefix = [](const std::string& out) {
    std::size_t start = 0;
    while (start < out.size()) {
      const std::size_t end = out.find("\r\n", start);
      if (end == std::string::npos) return false;
      const std::string line = out.substr(start, end - start);
      const bool prefixed = line.rfind("Information:", 0) == 0 || line.rfind("Error:", 0) == 0 ||
                            line.rfind("Terminated:", 0) == 0;
      if (!prefixed || line.find_first_of("\r\n") != std::string::npos) return false;
      start = end + 2;
    }
    return true;
  };

  const ProcessResult r = Run({"/command", "/access_setting:speech.cfg", "/convert_source:names",
                               "/jobs:1", "/report:names.json"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_TRUE(everyLineHasItsPrefix(r.out)) << r.out;
  EXPECT_EQ(
      r.out,
      "Information:Left out names/a\\nb_filter.wav: it is the output of names/a\\nb.wav.\r\n" +
          Converted("names/a\\nb.wav", "names/a\\nb_filter.wav") +
          Converted("names/b\\r\\c\\t.wav", "names/b\\r\\c\\t_filter.wav") +
          Unopened("names/c\\x1b[31m.wav") +
          "Information:Not attempted, the run stopped at a failed file(names/d\\u0085\xC3\xBC"
          ".wav).\r\nTerminated:ConvertFile:Result:0\r\n");
  // The report's names, as Python's JSON reader decodes them, in hexadecimal.
  const ProcessResult sources = testsupport::RunProcess(
      "/usr/bin/python3", {"-c",
                           "import json, sys\n"
                           "for f in json.load(open(sys.argv[1], encoding='utf-8'))['files']:\n"
                           "    print(f['source'].encode('utf-8').hex())\n",
                           m_dir.File("names.json")});
  std::string expected;
  for (const std::string name : {"names/a\nb.wav", "names/b\r\\c\t.wav", "names/c\x1b[31m.wav",
                                 "names/d\xC2\x85\xC3\xBC.wav"}) {
    for (const unsigned char c : name) expected += platform::FormatText("%02x", c);
    expected += "\n";
  }
  EXPECT_EQ(sources.out, expected);

  // Command-line errors and the lines of a preset import escape the names they print too. (An
  // option's value ends at a line break, so a name holding one is not an option at all.)
  const ProcessResult missing = Run({"/command", "/convert_source:no\tsuch.wav"});
  EXPECT_EQ(missing.out, "Error:File not exist(no\\tsuch.wav).\r\n");
  const ProcessResult unknown = Run({"/command", "/convert_source:no\nsuch.wav"});
  EXPECT_EQ(unknown.out,
            "Error:Can't support the param: /convert_source:no\\nsuch.wav. Please use /h to show "
            "how to use it.\r\n");
  testsupport::WriteFile(m_dir.File("pre\x1bset.txt"),
                         "Filter 1: ON PK Fc 1000 Hz Gain 3 dB Q 1\n");
  const ProcessResult preset =
      Run({"/command", "/access_setting:new\tsettings.cfg", "/import_preset:pre\x1bset.txt"});
  EXPECT_EQ(preset.exitCode, 0) << preset.out;
  EXPECT_TRUE(everyLineHasItsPrefix(preset.out)) << preset.out;
  EXPECT_EQ(preset.out.rfind("Information:Import the preset(pre\\x1bset.txt).\r\n", 0), 0U);
  EXPECT_NE(preset.out.find("of the settings file(new\\tsettings.cfg).\r\n"), std::string::npos);
}
#endif

#if defined(__linux__)
// Standard error a pseudo-terminal: the progress line is drawn there, redrawn in place, and
// cleared before each transcript line and at the end; standard output keeps the transcript.
TEST_F(BatchEndToEndTest, TheProgressLineIsDrawnOnATerminalOnly) {
  for (int i = 0; i < 4; ++i) Wave("p" + std::to_string(i) + ".wav");
  int master = -1;
  int slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const std::string outPath = m_dir.File("stdout.txt");
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::close(master);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, STDOUT_FILENO);
    ::dup2(slave, STDERR_FILENO);
    if (::chdir(m_dir.Path().c_str()) != 0) _exit(127);
    ::unsetenv("DISPLAY");
    ::execl(m_exe.c_str(), m_exe.c_str(), "/command", "/convert_source:.", "/jobs:1",
            static_cast<char*>(nullptr));
    _exit(127);
  }
  ::close(slave);
  std::string terminal;
  char buffer[4096];
  for (;;) {
    pollfd fd{master, POLLIN, 0};
    if (::poll(&fd, 1, 10000) <= 0) break;
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // EIO once the child has closed its side
    terminal.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_NE(terminal.find("\r1/4 files, 0.00 h of audio, "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("\r4/4 files, 0.00 h of audio, "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("x real time, 0:00:00 left"), std::string::npos) << terminal;
  EXPECT_EQ(terminal.back(), '\r');  // cleared at the end
  const std::string out = ReadFile(outPath);
  EXPECT_EQ(out.find('\r' + std::string("1/4")), std::string::npos);
  EXPECT_NE(out.find("Terminated:ConvertFile:Result:1\r\n"), std::string::npos);
}
#endif

}  // namespace
