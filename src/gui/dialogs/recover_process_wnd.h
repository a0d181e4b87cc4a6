// The export window ("RecoverProcessWnd"): writes the checked items of a
// scan into the chosen folder on its worker thread, with the overall
// progress and counts, the file being written, a cancel that asks first,
// the result list (failures first, in red), and a button that opens the
// folder. The worker is joined before the window goes away.
#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/export/export_progress.h"
#include "gui/dialogs/popup_wnd.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace scrivel {
class IPhoneRecoveryParse;
class IExportSource;
class CExportWorker;
}  // namespace scrivel

namespace scrivel::gui {

struct ScanData;

class CRecoverProcessWnd : public CPopUpWnd {
  Q_OBJECT

 public:
  CRecoverProcessWnd(const ScanData& data, IPhoneRecoveryParse& source, const std::string& deviceName,
                     const QString& exportRoot);
  ~CRecoverProcessWnd() override;

  bool finished() const { return m_done; }
  [[nodiscard]] std::error_code exportResult() const { return m_result; }
  ExportCounters counters() const { return m_progress.Counters(); }
  QTreeWidget* resultList() const { return m_detailList; }
  QPushButton* finishButton() const { return m_finishButton; }
  QPushButton* cancelButton() const { return m_cancelButton; }

 protected:
  void OnInit() override;
  // Closing while the worker runs (close button, Cancel, Escape) asks first.
  void done(int result) override;

 private:
  // Collects the worker's reports for the user-interface thread's timer.
  class Observer : public IExportObserver {
   public:
    void OnProgress(int percent, const std::string& path, const ExportCounters& counters) override;
    void OnResultRow(const ExportResultRow& row) override;
    // Takes what arrived since the last call.
    void Take(std::vector<ExportResultRow>& rows, std::string& path, ExportCounters& counters);

   private:
    std::mutex m_lock;
    std::vector<ExportResultRow> m_rows;
    std::string m_path;
    ExportCounters m_counters;
  };

  void ConfirmCancel();
  void OnTick();
  void OnWorkerDone();
  void AddRows(const std::vector<ExportResultRow>& rows);
  void ShowCounts(const ExportCounters& counters);

  const ScanData& m_data;
  IPhoneRecoveryParse& m_source;
  std::string m_deviceName;
  QString m_exportRoot;
  Observer m_observer;
  ExportProgress m_progress;
  std::unique_ptr<IExportSource> m_exportSource;
  std::unique_ptr<CExportWorker> m_worker;
  std::thread m_thread;
  std::atomic<bool> m_workerDone{false};
  bool m_done = false;
  std::error_code m_result;

  QLabel* m_current = nullptr;
  QLabel* m_recovered = nullptr;
  QLabel* m_percent = nullptr;
  QProgressBar* m_bar = nullptr;
  QPushButton* m_openButton = nullptr;
  QPushButton* m_finishButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
  QPushButton* m_detailButton = nullptr;
  QTreeWidget* m_detailList = nullptr;
  QTimer* m_timer = nullptr;
};

}  // namespace scrivel::gui
