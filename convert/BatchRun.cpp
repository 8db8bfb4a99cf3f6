#include "convert/BatchRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

#include "platform/fs/FileSystem.h"
#include "platform/process/FanOut.h"
#include "platform/text/FormatText.h"
#include "platform/text/PrintableText.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The shared state of one batch run. Files are handed out in order; their transcripts are
// passed on in order as the prefix of ended files grows.
class Batch {
 public:
  Batch(std::vector<ConversionJob> jobs, const EqBandTable& bandTable,
        const BatchSettings& settings)
      : m_bandTable(bandTable), m_designs(bandTable), m_settings(settings), m_start(Clock::now()) {
    m_results.resize(jobs.size());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
      m_results[i].job = std::move(jobs[i]);
    }
    m_started.assign(m_results.size(), false);
    m_ended.assign(m_results.size(), false);
    m_running = std::make_unique<ConversionProgress[]>(m_results.size());
  }

  std::vector<BatchFileResult> Run() {
    const std::size_t total = m_results.size();
    const unsigned threads = ResolveThreadCount(m_settings.threads);
    const unsigned workers = static_cast<unsigned>(std::min<std::size_t>(threads, total));
    if (workers == 0) {
      return std::move(m_results);
    }
    m_filterThreads = std::max(1U, threads / workers);
    platform::FanOut ticker;
    if (m_settings.progress && m_settings.progressInterval > 0.0) {
      // Without a thread there are no ticks: progress still comes as each file ends.
      (void)ticker.Start([this] { Tick(); });
    }
    std::exception_ptr failure;
    try {
      // A worker whose file or callback throws stops the others at their next file (the fan's
      // stop token); the exception is passed on once every worker has ended.
      platform::FanOut pool;
      const std::stop_token stop = pool.StopToken();
      for (unsigned w = 1; w < workers; ++w) {
        if (!pool.Start([this, stop] { Work(stop); })) {
          break;  // fewer workers; this thread still runs every file left
        }
      }
      Work(stop);
      pool.Join();
    } catch (...) {
      failure = std::current_exception();
    }
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_finished = true;
    }
    m_tick.notify_all();
    try {
      ticker.Join();
    } catch (...) {
      if (!failure) {
        failure = std::current_exception();
      }
    }
    if (failure) {
      std::rethrow_exception(failure);
    }
    return std::move(m_results);
  }

 private:
  // Takes the next file while the batch goes on, and runs it.
  void Work(const std::stop_token& stop) {
    for (;;) {
      std::size_t index = 0;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        // No file starts while a failure waits for its answer.
        m_resumed.wait(lock, [this] { return m_asking == 0; });
        if (m_stopped || stop.stop_requested() || m_next >= m_results.size() ||
            (m_settings.cancel != nullptr && m_settings.cancel->load())) {
          return;
        }
        index = m_next++;
        m_started[index] = true;
      }
      BatchFileResult& file = m_results[index];
      const Clock::time_point start = Clock::now();
      file.conversion = Convert(file.job, index);
      file.seconds = SecondsSince(start);
      bool goOn = file.conversion.Converted() || m_settings.keepGoing;
      if (!goOn && m_settings.continueAfterFailure) {
        {
          const std::lock_guard<std::mutex> lock(m_mutex);
          ++m_asking;
        }
        try {
          goOn = m_settings.continueAfterFailure(file);
        } catch (...) {
          goOn = false;
        }
        {
          const std::lock_guard<std::mutex> lock(m_mutex);
          --m_asking;
          m_stopped = m_stopped || !goOn;
        }
        m_resumed.notify_all();
      }
      End(index, goOn);
    }
  }

  // Converts the job of file `index`; a job without an output path fails with a line saying so.
  ConversionResult Convert(ConversionJob& job, std::size_t index) {
    if (job.outputPath.empty()) {
      // Writing to a made-up name would surprise the caller more than a clear refusal.
      const std::string source = platform::PrintableText(job.sourcePath);
      ConversionResult refused;
      refused.outcome = ConversionStatus::Failed;
      refused.Error(m_settings.adviseConvertOutput
                        ? platform::FormatText("Can't form the output path from the source "
                                               "path(%s). Please use /convert_output to name the "
                                               "output file.",
                                               source.c_str())
                        : platform::FormatText("Can't form the output path from the source "
                                               "path(%s): the output's name or path would be too "
                                               "long.",
                                               source.c_str()));
      return refused;
    }
    // An output folder's mirrored subfolders are made as their first file needs them.
    const std::string folder = platform::ParentFolder(job.outputPath);
    if (!platform::DirectoryExists(folder)) {
      (void)platform::CreateDirectoryTree(folder);
    }
    return ConvertFile(job, m_bandTable, m_settings.cancel, m_filterThreads, &m_designs,
                       &m_running[index], &m_sweep);
  }

  // Reports progress every interval until the batch has finished, the running files' audio
  // counted as far as it has been filtered.
  void Tick() {
    const std::chrono::duration<double> interval(m_settings.progressInterval);
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_tick.wait_for(lock, interval, [this] { return m_finished; })) {
      BatchProgress now = m_progress;
      now.total = m_results.size();
      for (std::size_t i = 0; i < m_results.size(); ++i) {
        if (m_started[i] && !m_ended[i]) {
          now.audioSeconds += m_running[i].AudioSeconds();
        }
      }
      now.elapsedSeconds = SecondsSince(m_start);
      m_notes.push_back(Note{.file = kNoFile, .progress = now});
      Pass(lock);
    }
  }

  // Records file `index` as ended and queues the transcripts now in order and the progress;
  // then passes them on.
  void End(std::size_t index, bool goOn) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_ended[index] = true;
    if (!goOn) {
      m_stopped = true;
    }
    const BatchFileResult& file = m_results[index];
    ++m_progress.done;
    if (!file.conversion.Converted()) {
      ++m_progress.failed;
    }
    m_progress.total = m_results.size();
    m_progress.audioSeconds += static_cast<double>(file.job.durationMs) / 1000.0;
    m_progress.elapsedSeconds = SecondsSince(m_start);
    while (m_emitted < m_results.size() && m_ended[m_emitted]) {
      if (m_settings.log) {
        m_notes.push_back(Note{.file = m_emitted, .progress = {}});
      }
      ++m_emitted;
    }
    if (m_settings.progress) {
      m_notes.push_back(Note{.file = kNoFile, .progress = m_progress});
    }
    Pass(lock);
  }

  // Passes the queued notes to the callbacks, in order, outside the lock (held on entry and on
  // return), so that a slow console stalls no other file. One thread passes at a time: a thread
  // that finds another one passing leaves its notes to it, and that one goes on until the
  // queue is empty. A file's transcript is complete and unchanged once queued, so it is read
  // without the lock.
  void Pass(std::unique_lock<std::mutex>& lock) {
    if (m_passing) {
      return;
    }
    m_passing = true;
    while (!m_notes.empty()) {
      std::deque<Note> notes;
      notes.swap(m_notes);
      lock.unlock();
      try {
        for (const Note& note : notes) {
          if (note.file != kNoFile) {
            m_settings.log(RenderTranscript(m_results[note.file].conversion.lines));
          } else {
            m_settings.progress(note.progress);
          }
        }
      } catch (...) {
        lock.lock();
        m_passing = false;
        m_stopped = true;
        throw;
      }
      lock.lock();
    }
    m_passing = false;
  }

  // A transcript or a progress report waiting to be passed on.
  static constexpr std::size_t kNoFile = static_cast<std::size_t>(-1);
  struct Note {
    std::size_t file = kNoFile;  // the file whose transcript it is; kNoFile: a progress report
    BatchProgress progress;
  };

  const EqBandTable& m_bandTable;
  DesignCache m_designs;            // each rate's design, made by the first file at that rate
  platform::TempFileSweep m_sweep;  // each output folder swept once, after its first file
  const BatchSettings& m_settings;
  const Clock::time_point m_start;
  std::vector<BatchFileResult> m_results;
  std::vector<bool> m_started;  // under m_mutex: the file has been handed to a worker
  std::vector<bool> m_ended;
  std::mutex m_mutex;
  std::condition_variable m_resumed;
  std::condition_variable m_tick;  // wakes the ticker when the batch has finished
  bool m_finished = false;
  std::unique_ptr<ConversionProgress[]> m_running;  // how far each file has come
  int m_asking = 0;
  std::size_t m_next = 0;
  std::size_t m_emitted = 0;
  bool m_stopped = false;
  std::deque<Note> m_notes;  // queued under m_mutex, passed on by Pass
  bool m_passing = false;    // a thread is passing notes on
  unsigned m_filterThreads = 1;
  BatchProgress m_progress;
};

}  // namespace

unsigned ResolveThreadCount(unsigned threads) {
  return threads > 0 ? threads : std::max(1U, std::thread::hardware_concurrency());
}

std::vector<BatchFileResult> RunBatch(std::vector<ConversionJob> jobs, const EqBandTable& bandTable,
                                      const BatchSettings& settings) {
  Batch batch(std::move(jobs), bandTable, settings);
  return batch.Run();
}
