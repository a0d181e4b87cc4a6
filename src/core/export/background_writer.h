// Writes files on a thread of its own while the export's thread goes on
// with the next item. The raw row files decode a database once more, and
// the text and CSV files of a conversation need nothing the export's thread
// changes: on a machine with more than one core they cost the export no
// time of its own. Files are written in the order they were queued.
//
// Results come back to the export's thread, which makes every report: the
// writer keeps the failed files until TakeFailures hands them over.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace scrivel {

// A file the writer could not write, with the error code of its writer.
struct FailedWrite {
  std::string path;
  std::error_code error;
};

class BackgroundWriter {
 public:
  // Writes the file at `path`; returns success or an error code.
  using WriteFile = std::function<std::error_code(const std::string& path)>;

  BackgroundWriter() = default;
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // Writes whatever is still queued, then stops the thread.
  ~BackgroundWriter();

  // Queues `write` for `path`. The thread starts with the first file; when
  // no thread can be started, the file is written at once by the caller.
  void Queue(std::string path, WriteFile write);

  // Waits until every queued file is written.
  void Wait();

  // The files that failed since the last call, in the order written.
  std::vector<FailedWrite> TakeFailures();

 private:
  struct Job {
    std::string path;
    WriteFile write;
  };

  void WriteQueuedFiles();  // the thread's loop
  void Write(const Job& job);

  std::mutex m_lock;
  std::condition_variable m_changed;  // a job was queued or finished, or the writer stops
  std::deque<Job> m_queue;
  bool m_writing = false;   // the thread is writing a job it took off the queue
  bool m_stopping = false;  // the destructor runs: write what is queued, then end
  std::vector<FailedWrite> m_failures;
  std::thread m_thread;
};

}  // namespace scrivel
