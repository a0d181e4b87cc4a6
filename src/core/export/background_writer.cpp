#include "core/export/background_writer.h"

#include <system_error>

#include "core/common/result_codes.h"

namespace scrivel {

BackgroundWriter::~BackgroundWriter() {
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_stopping = true;
  }
  m_changed.notify_all();
  if (m_thread.joinable()) m_thread.join();
}

void BackgroundWriter::Queue(std::string path, WriteFile write) {
  if (!m_thread.joinable()) {
    try {
      m_thread = std::thread(&BackgroundWriter::WriteQueuedFiles, this);
    } catch (const std::system_error&) {
      Write(Job{std::move(path), std::move(write)});
      return;
    }
  }
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_queue.push_back(Job{std::move(path), std::move(write)});
  }
  m_changed.notify_all();
}

void BackgroundWriter::Wait() {
  std::unique_lock<std::mutex> hold(m_lock);
  m_changed.wait(hold, [this] { return m_queue.empty() && !m_writing; });
}

std::vector<FailedWrite> BackgroundWriter::TakeFailures() {
  std::lock_guard<std::mutex> hold(m_lock);
  std::vector<FailedWrite> failures;
  failures.swap(m_failures);
  return failures;
}

void BackgroundWriter::Write(const Job& job) {
  const std::error_code result = job.write(job.path);
  if (!result) return;
  std::lock_guard<std::mutex> hold(m_lock);
  m_failures.push_back({job.path, result});
}

void BackgroundWriter::WriteQueuedFiles() {
  std::unique_lock<std::mutex> hold(m_lock);
  for (;;) {
    m_changed.wait(hold, [this] { return !m_queue.empty() || m_stopping; });
    if (m_queue.empty()) return;  // stopping, and nothing left to write
    const Job job = std::move(m_queue.front());
    m_queue.pop_front();
    m_writing = true;
    hold.unlock();
    Write(job);
    hold.lock();
    m_writing = false;
    m_changed.notify_all();
  }
}

}  // namespace scrivel
