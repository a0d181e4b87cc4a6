#include "core/export/export_progress.h"

#include "core/common/result_codes.h"
#include "core/export/export_error_text.h"

namespace scrivel {

namespace {
constexpr int kFinishedPercent = 100;
}  // namespace

ExportProgress::ExportProgress(IExportObserver* observer) : m_observer(observer) {}

void ExportProgress::Start(int total) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_counters = ExportCounters{};
  m_counters.total = total;
  m_failures.clear();
  m_successes.clear();
}

std::error_code ExportProgress::Report(int percent, std::error_code error, const std::string& path) {
  std::lock_guard<std::mutex> hold(m_lock);
  if (m_cancelled) return kCancelled;
  if (percent >= kFinishedPercent) {
    ExportResultRow row;
    row.path = path;
    row.succeeded = !error;
    row.status = row.succeeded ? "Success" : ExportErrorText(error);
    if (row.succeeded) {
      m_successes.push_back(row);
    } else {
      m_failures.push_back(row);
      ++m_counters.failed;
    }
    ++m_counters.processed;
    if (m_observer != nullptr) m_observer->OnResultRow(row);
  }
  if (m_observer != nullptr) m_observer->OnProgress(percent, path, m_counters);
  return {};
}

void ExportProgress::ReportNotRecovered(const std::string& what, const std::string& why) {
  std::lock_guard<std::mutex> hold(m_lock);
  ExportResultRow row;
  row.path = what;
  row.status = "Not recovered: " + why;
  m_failures.push_back(row);
  if (m_observer != nullptr) m_observer->OnResultRow(row);
}

std::error_code ExportProgress::ReportCallback(void* userData, int percent, std::error_code error, const std::string& path) {
  return static_cast<ExportProgress*>(userData)->Report(percent, error, path);
}

ExportCounters ExportProgress::Counters() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_counters;
}

std::vector<ExportResultRow> ExportProgress::Rows() const {
  std::lock_guard<std::mutex> hold(m_lock);
  std::vector<ExportResultRow> rows(m_failures.rbegin(), m_failures.rend());
  rows.insert(rows.end(), m_successes.begin(), m_successes.end());
  return rows;
}

}  // namespace scrivel
