#include "tools/decrypt/job_list.h"

namespace scrivel::decrypt_tool {

void JobList::Add(StoredFileJob job) {
  {
    std::lock_guard lock(m_mutex);
    if (m_finished || !m_ids.insert(job.fileId).second) return;
    m_jobs.push_back(std::move(job));
  }
  m_grown.notify_one();
}

void JobList::Reject() {
  std::lock_guard lock(m_mutex);
  ++m_rejected;
}

void JobList::Finish() {
  {
    std::lock_guard lock(m_mutex);
    m_finished = true;
  }
  m_grown.notify_all();
}

const StoredFileJob* JobList::WaitFor(std::size_t index) {
  std::unique_lock lock(m_mutex);
  m_grown.wait(lock, [&] { return index < m_jobs.size() || m_finished; });
  return index < m_jobs.size() ? &m_jobs[index] : nullptr;
}

std::size_t JobList::Size() const {
  std::lock_guard lock(m_mutex);
  return m_jobs.size();
}

std::uint64_t JobList::RejectedRecords() const {
  std::lock_guard lock(m_mutex);
  return m_rejected;
}

}  // namespace scrivel::decrypt_tool
