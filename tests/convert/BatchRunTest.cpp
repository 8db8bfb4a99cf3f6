#include "convert/BatchRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/fs/TempFileNames.h"
#include "tests/support/BandFixtures.h"
#include "tests/support/RiffBuilder.h"
#include "tests/support/TestSupport.h"

namespace {

using namespace testsupport;

std::vector<std::uint8_t> NoiseWave(std::size_t frames, unsigned seed) {
  return PcmWave(1, 16000, 16, Pcm16Bytes(NoiseSamples(frames, seed)));
}

class BatchRunTest : public ::testing::Test {
 protected:
  // Files f0 ... f<count-1>, the one at `broken` (when in range) not a wave file, the first
  // longest so that later files end first when several run at once.
  std::vector<ConversionJob> MakeJobs(std::size_t count, std::size_t broken) {
    std::vector<ConversionJob> jobs;
    for (std::size_t i = 0; i < count; ++i) {
      const std::string source = m_dir.File("f" + std::to_string(i) + ".wav");
      if (i == broken) {
        WriteFile(source, "RIFF, but nothing more");
      } else {
        WriteFile(source, NoiseWave(i == 0 ? 400000 : 4000 + 100 * i, static_cast<unsigned>(i)));
      }
      jobs.push_back(ConversionJob{.sourcePath = source,
                                   .outputPath = m_dir.File("f" + std::to_string(i) + "_out.wav")});
    }
    return jobs;
  }

  TempDir m_dir;
};

TEST_F(BatchRunTest, TranscriptsComeInFileOrderAndOutputsMatchOneFileAtATime) {
  auto jobs = MakeJobs(6, 99);
  // The reference: the same files through the one-at-a-time conversion, outputs renamed away.
  std::string expectedLog;
  std::vector<std::string> expectedBytes;
  for (const ConversionJob& job : jobs) {
    std::vector<ConversionJob> one{job};
    ASSERT_EQ(ConvertFiles(one, SpeechBands(), [&](std::string_view t) { expectedLog.append(t); }),
              1);
    expectedBytes.push_back(ReadFile(job.outputPath));
  }
  std::string log;
  int progressCalls = 0;
  BatchSettings settings;
  settings.threads = 4;
  settings.log = [&log](std::string_view text) { log.append(text); };
  settings.progress = [&progressCalls](const BatchProgress& p) {
    ++progressCalls;
    EXPECT_EQ(p.total, 6U);
    EXPECT_EQ(p.done, static_cast<std::size_t>(progressCalls));
  };
  const auto results = RunBatch(jobs, SpeechBands(), settings);
  ASSERT_EQ(results.size(), 6U);
  EXPECT_EQ(log, expectedLog);
  EXPECT_EQ(progressCalls, 6);
  for (std::size_t i = 0; i < results.size(); ++i) {
    EXPECT_EQ(results[i].conversion.outcome, ConversionStatus::Converted);
    EXPECT_EQ(ReadFile(jobs[i].outputPath), expectedBytes[i]) << "file " << i;
    EXPECT_EQ(results[i].job.sampleRate, 16000U);
    EXPECT_EQ(results[i].job.encoding, "pcm16");
    ASSERT_EQ(results[i].job.bands.size(), 2U);
    // 24 dB an octave below 120 Hz: log10(10^2.4 - 1) / (2 log10 2) = 3.98, order 4.
    EXPECT_EQ(results[i].job.bands[0].order, 4);
    EXPECT_TRUE(results[i].job.bands[1].applied);
  }
}

TEST_F(BatchRunTest, NoFileStartsWhileAFailureWaitsForItsAnswer) {
  for (const bool goOn : {false, true}) {
    auto jobs = MakeJobs(8, 0);
    jobs[0].sourcePath = m_dir.File("missing.wav");  // fails at once
    BatchSettings settings;
    settings.threads = 2;
    int asked = 0;
    std::mutex mutex;
    std::condition_variable changed;
    bool questionOut = false;
    std::size_t done = 0;
    // The other thread's file, if it ran one, ends only once the question is out, however the
    // two threads are scheduled: whatever it does next, it does while the answer waits.
    settings.progress = [&](const BatchProgress& progress) {
      std::unique_lock<std::mutex> lock(mutex);
      done = progress.done;
      changed.notify_all();
      changed.wait_for(lock, std::chrono::seconds(30), [&] { return questionOut; });
    };
    // A batch that let the other thread go on would end another file before the answer; the
    // answer waits half a second for that to show.
    settings.continueAfterFailure = [&](const BatchFileResult& failed) {
      ++asked;
      EXPECT_EQ(failed.conversion.outcome, ConversionStatus::Failed);
      std::unique_lock<std::mutex> lock(mutex);
      questionOut = true;
      changed.notify_all();
      EXPECT_FALSE(
          changed.wait_for(lock, std::chrono::milliseconds(500), [&] { return done >= 2; }));
      return goOn;
    };
    const auto results = RunBatch(jobs, SpeechBands(), settings);
    EXPECT_EQ(asked, 1);
    std::size_t attempted = 0;
    for (const auto& r : results) {
      attempted += r.conversion.outcome != ConversionStatus::NotAttempted ? 1 : 0;
    }
    // Stopped: at most the file the other thread had already started ran besides the failure.
    if (goOn) {
      EXPECT_EQ(attempted, 8U);
    } else {
      EXPECT_LE(attempted, 2U);
    }
  }
}

// Only the one source of a command line can be given its output's name; a batch's file is told
// why its name cannot be formed.
TEST_F(BatchRunTest, AJobWithoutAnOutputNameFailsAlone) {
  auto jobs = MakeJobs(2, 99);
  jobs[0].outputPath.clear();
  BatchSettings settings;
  settings.keepGoing = true;
  auto results = RunBatch(jobs, SpeechBands(), settings);
  EXPECT_EQ(results[0].conversion.outcome, ConversionStatus::Failed);
  EXPECT_EQ(RenderTranscript(results[0].conversion.lines),
            "Error:Can't form the output path from the source path(" + jobs[0].sourcePath +
                "): the output's name or path would be too long.\r\n");
  EXPECT_EQ(results[1].conversion.outcome, ConversionStatus::Converted);
  settings.adviseConvertOutput = true;
  results = RunBatch({jobs[0]}, SpeechBands(), settings);
  EXPECT_EQ(RenderTranscript(results[0].conversion.lines),
            "Error:Can't form the output path from the source path(" + jobs[0].sourcePath +
                "). Please use /convert_output to name the output file.\r\n");
}

// A running file's filtered frames are counted block by block, and with an interval set the
// batch reports them between file ends: the audio never runs backwards or past the file, and the
// last report is the whole file.
TEST_F(BatchRunTest, ProgressCountsTheFramesOfRunningFiles) {
  const std::size_t frames = 1600000;  // 100 s at 16 kHz: four streamed blocks
  WriteFile(m_dir.File("long.wav"), NoiseWave(frames, 3));
  ConversionJob job{.sourcePath = m_dir.File("long.wav"), .outputPath = m_dir.File("a.wav")};
  ConversionProgress progress;
  ASSERT_TRUE(ConvertFile(job, SpeechBands(), nullptr, 1, nullptr, &progress).Converted());
  EXPECT_EQ(progress.frames.load(), frames);
  EXPECT_EQ(progress.sampleRate.load(), 16000U);
  EXPECT_DOUBLE_EQ(progress.AudioSeconds(), 100.0);

  std::vector<BatchProgress> seen;
  BatchSettings settings;
  settings.threads = 1;
  settings.progressInterval = 0.001;
  settings.progress = [&seen](const BatchProgress& p) { seen.push_back(p); };
  job.outputPath = m_dir.File("b.wav");
  const auto results = RunBatch({job}, SpeechBands(), settings);
  ASSERT_EQ(results.size(), 1U);
  ASSERT_FALSE(seen.empty());
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i].total, 1U);
    EXPECT_LE(seen[i].audioSeconds, 100.0);
    if (i > 0) {
      EXPECT_GE(seen[i].audioSeconds, seen[i - 1].audioSeconds);
    }
  }
  EXPECT_EQ(seen.back().done, 1U);
  EXPECT_DOUBLE_EQ(seen.back().audioSeconds, 100.0);
  EXPECT_EQ(ReadFile(m_dir.File("a.wav")), ReadFile(m_dir.File("b.wav")));
}

// A callback that throws while other files run ends the batch with that exception once every
// thread has ended; the program goes on.
TEST_F(BatchRunTest, AnExceptionFromACallbackEndsTheBatchAndNotTheProgram) {
  auto jobs = MakeJobs(8, 99);
  BatchSettings settings;
  settings.threads = 3;
  settings.log = [](std::string_view) { throw std::runtime_error("the console is gone"); };
  try {
    (void)RunBatch(jobs, SpeechBands(), settings);
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "the console is gone");
  }
}

// The transcript of the first file is held up by a console that does not take it until two
// more files have been written: the other thread goes on converting meanwhile.
TEST_F(BatchRunTest, ASlowConsoleHoldsUpNoOtherFile) {
  std::vector<ConversionJob> jobs;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::string source = m_dir.File("s" + std::to_string(i) + ".wav");
    WriteFile(source, NoiseWave(i == 0 ? 1000 : 200000, static_cast<unsigned>(i)));
    jobs.push_back(ConversionJob{.sourcePath = source,
                                 .outputPath = m_dir.File("s" + std::to_string(i) + "_out.wav")});
  }
  auto written = [&jobs] {
    std::size_t count = 0;
    for (const ConversionJob& job : jobs) {
      count += std::filesystem::exists(job.outputPath) ? 1 : 0;
    }
    return count;
  };
  BatchSettings settings;
  settings.threads = 2;
  bool first = true;
  bool othersWentOn = false;
  std::string log;
  settings.log = [&](std::string_view text) {
    if (first) {
      first = false;
      const std::size_t wanted = std::min(written() + 2, jobs.size());
      othersWentOn =
          testsupport::WaitUntil([&] { return written() >= wanted; }, std::chrono::seconds(30));
    }
    log.append(text);
  };
  const auto results = RunBatch(jobs, SpeechBands(), settings);
  EXPECT_TRUE(othersWentOn);
  std::string expected;
  for (const BatchFileResult& result : results) {
    EXPECT_TRUE(result.conversion.Converted());
    expected += RenderTranscript(result.conversion.lines);
  }
  EXPECT_EQ(log, expected);
}

// What a killed conversion left in an output folder goes once the first output lands there;
// what appears later in the same run stays for the next run: each folder is listed once per run,
// not once per file.
TEST_F(BatchRunTest, EachOutputFolderIsSweptOncePerRun) {
  const std::string litter = std::string(platform::kAtomicTempPrefix) + platform::HostName() + "." +
                             std::to_string(DeadProcessId()) + ".";
  std::vector<ConversionJob> jobs = MakeJobs(6, 99);
  for (const char* folder : {"a", "b"}) {
    std::filesystem::create_directory(m_dir.File(folder));
    WriteFile(m_dir.File(std::string(folder) + "/" + litter + "1.a"), "x");
  }
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    jobs[i].outputPath =
        m_dir.File(std::string(i % 2 == 0 ? "a" : "b") + "/" + std::to_string(i) + ".wav");
  }
  BatchSettings settings;
  settings.threads = 1;
  int files = 0;
  settings.log = [&](std::string_view) {
    if (++files == 2) {  // both folders have their first output
      for (const char* folder : {"a", "b"}) {
        WriteFile(m_dir.File(std::string(folder) + "/" + litter + "2.b"), "x");
      }
    }
  };
  const auto results = RunBatch(jobs, SpeechBands(), settings);
  for (const BatchFileResult& result : results) {
    EXPECT_TRUE(result.conversion.Converted());
  }
  for (const char* folder : {"a", "b"}) {
    EXPECT_FALSE(std::filesystem::exists(m_dir.File(std::string(folder) + "/" + litter + "1.a")));
    EXPECT_TRUE(std::filesystem::exists(m_dir.File(std::string(folder) + "/" + litter + "2.b")));
  }
}

}  // namespace
