// The stored files to decrypt, in the order the manifest reader
// (stored_file_list.h) finds them. The reader adds jobs on one thread while
// the workers (decrypt_workers.h) already take them on others, so the
// decryption starts with the first listed file instead of after the whole
// manifest was read. Every member is safe to call from several threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>

#include "core/crypto/class_keys.h"

namespace scrivel::decrypt_tool {

struct StoredFileJob {
  std::string fileId;       // 40 hexadecimal digits (checked), the output file's name
  std::string source;       // where the encrypted stored file is looked for first
  std::string flatSource;   // where it is looked for next (flat in the backup folder); empty: nowhere
  std::uint64_t manifestSize = 0;             // the plain length the manifest gives
  std::optional<crypto::WrappedFileKey> key;  // absent for zero-length files
};

class JobList {
 public:
  // Appends `job` unless a job of the same identifier was added before (a
  // repeated record would otherwise be written by two threads at once).
  void Add(StoredFileJob job);
  // Counts a manifest record that could not become a job (the reader has
  // said why on the console).
  void Reject();
  // Ends the list: nothing is added afterwards, and waiting workers wake.
  void Finish();

  // The job at `index`, waiting while the list is shorter and not yet
  // finished. nullptr when the list finished without a job at `index`. The
  // job stays valid as long as the list.
  const StoredFileJob* WaitFor(std::size_t index);

  std::size_t Size() const;
  std::uint64_t RejectedRecords() const;

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_grown;        // signalled by Add and Finish
  std::deque<StoredFileJob> m_jobs;       // a deque: appending leaves earlier jobs in place
  std::unordered_set<std::string> m_ids;  // identifiers of m_jobs
  std::uint64_t m_rejected = 0;
  bool m_finished = false;
};

}  // namespace scrivel::decrypt_tool
