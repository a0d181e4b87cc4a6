// The bookkeeping every writer and every file copy of an export reports to:
// the processed, failed and total counts, the result row of each finished
// file, the cancel request, and the lock through which a window pauses the
// worker. Reports come from the export worker; Cancel, Hold and the getters
// may be called from any thread.
#pragma once

#include <system_error>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace scrivel {

struct ExportCounters {
  int processed = 0;  // files finished, successfully or not
  int failed = 0;     // files finished with an error
  int total = 0;      // items selected for the export
};

// One line of the result list.
struct ExportResultRow {
  std::string path;    // the file written
  std::string status;  // "Success" or the error's text
  bool succeeded = false;
};

// Told about every report; called on the worker thread with the progress
// lock held, so it must not call back into ExportProgress.
class IExportObserver {
 public:
  virtual ~IExportObserver() = default;
  // After every accepted report: the file's percent, the file and the counts.
  virtual void OnProgress(int percent, const std::string& path, const ExportCounters& counters) = 0;
  // When a file is finished (before the OnProgress of the same report).
  virtual void OnResultRow(const ExportResultRow& row) = 0;
};

class ExportProgress {
 public:
  explicit ExportProgress(IExportObserver* observer = nullptr);
  ExportProgress(const ExportProgress&) = delete;
  ExportProgress& operator=(const ExportProgress&) = delete;

  // Starts a run: counts and rows are cleared, `total` items are expected.
  // The cancel request stays as it is.
  void Start(int total);

  // One report: `percent` of the file at `path` is done; at 100 the file is
  // finished, successfully when `error` is empty. Returns success to go on, or
  // kCancelled once the export is cancelled (the report is then ignored).
  [[nodiscard]] std::error_code Report(int percent, std::error_code error, const std::string& path);

  // Lists what the scan could not read (`what`, e.g. a category, and why)
  // among the failed rows. It is no file of this export: the counts stay.
  void ReportNotRecovered(const std::string& what, const std::string& why);

  // A CopyProgressCallback that reports to the ExportProgress in `userData`.
  [[nodiscard]] static std::error_code ReportCallback(void* userData, int percent, std::error_code error, const std::string& path);

  // Asks the export to stop: every later report returns kCancelled.
  void Cancel() { m_cancelled = true; }
  bool Cancelled() const { return m_cancelled; }

  // Holds the progress lock: the worker waits at its next report until the
  // returned lock is released (how a window pauses while it asks whether to
  // cancel). Cancel may be called while holding it.
  std::unique_lock<std::mutex> Hold() { return std::unique_lock<std::mutex>(m_lock); }

  ExportCounters Counters() const;
  // The result list: failures first (newest on top), then successes in
  // order.
  std::vector<ExportResultRow> Rows() const;

 private:
  IExportObserver* m_observer;
  mutable std::mutex m_lock;
  std::atomic<bool> m_cancelled{false};
  ExportCounters m_counters;
  std::vector<ExportResultRow> m_failures;   // newest last; shown newest first
  std::vector<ExportResultRow> m_successes;  // in order
};

}  // namespace scrivel
