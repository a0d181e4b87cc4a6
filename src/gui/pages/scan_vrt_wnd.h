// Controller of the scan page ("PageScan", tab 1 of "MainTabPage"): runs
// the scan of the chosen source on its worker, shows its progress with pause
// and stop, and then the results: the category tree with counts, the data
// list of the chosen category with checks, the deleted-only filter and a
// search box, the statistics of what is checked, and the commands that
// recover (export) and print the checked items.
//
// The page owns the scan: its source, its worker thread and its results.
// The worker is joined on every way out (stop, home, close, destruction),
// and the results are replaced only when no worker runs.
#pragma once

#include <QAbstractItemModel>
#include <QObject>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/backup/backup_info.h"
#include "core/device/device_info.h"
#include "core/recovery/iphone_recovery_parse.h"
#include "core/recovery/scan_results.h"
#include "core/recovery/category_kind.h"
#include "core/results/scan_categories.h"
#include "core/results/statistics_obj.h"
#include "gui/pages/scan_worker.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTimer;
class QTreeWidgetItem;
class QWidget;

namespace scrivel {
class BackupEngine;
}

namespace scrivel::gui {

class CButtonGifUI;
class CFileTreeUI;
class CMainWnd;
class CPreviewVrtWnd;
class CResultFilterProxy;
class CResultListModel;
class CResultListView;

// Everything one scan produced; replaced as a whole when a scan starts.
struct ScanData {
  ScanResults results;
  ConversationRows rows;
  CStatisticsObj statistics;
  std::vector<CategoryKind> done;  // categories registered so far, in scan order

  // The container a category is registered under in the statistics.
  const void* CategoryKey(CategoryKind kind) const;
};

class CScanVrtWnd : public QObject {
  Q_OBJECT

 public:
  // Answers of ConfirmLeave.
  static constexpr int kMayLeave = 1;
  static constexpr int kStay = 2;
  // Source kinds of StartScan.
  static constexpr int kSourceDevice = 0;
  static constexpr int kSourceLocalBackup = 1;

  CScanVrtWnd(CMainWnd& mainWnd, CPreviewVrtWnd& previewPane);
  ~CScanVrtWnd() override;

  void Init(QWidget* page);
  void ApplyTexts();

  // The backup and password of the next local-backup scan. The password is
  // kept only until the scan has handed it to the source.
  void SetBackup(const BackupInfo& info, std::string password);
  const BackupInfo& backup() const { return m_backup; }
  // The connected device and backup password of the next device scan; the
  // password is kept as SetBackup keeps it.
  void SetDevice(const device::DeviceInfo& info, std::string password);

  // Asked before the main window closes: kStay refuses the close. Without a
  // scan or results there is nothing to lose, so the answer is kMayLeave.
  int ConfirmLeave();

  // WM_START_SCAN: a source page asks for a scan of sourceKind.
  void StartScan(int sourceKind);
  // Stops a running scan without asking and waits for its thread.
  void StopScan();
  // WM_SCAN_SOURCE_OPENED, WM_SELECT_FIRST_RESULT, WM_SCAN_FINISHED.
  void OnScanSourceOpened();
  void OnSelectFirstResult();
  void OnScanFinished();

  // Opens the export window for the checked items, writing into folder.
  void StartExport(const QString& folder);
  // Opens the print window for the checked records of the shown category.
  void StartPrint();
  // Shows a category in the data list, as selecting its node does.
  void ShowCategory(CategoryKind kind);

  // The kind of the scan last started (kSourceDevice until one starts).
  int sourceKind() const { return m_sourceKind; }
  QWidget* page() const { return m_page; }
  bool scanRunning() const { return m_worker.running(); }
  bool scanFinished() const { return m_finished; }
  [[nodiscard]] std::error_code lastResult() const { return m_lastResult; }
  const ScanData& data() const { return *m_data; }
  IPhoneRecoveryParse* source() const { return m_source.get(); }
  CategoryKind shownCategory() const;
  CResultListModel& listModel() const { return *m_model; }
  CResultFilterProxy& listProxy() const { return *m_proxy; }
  CResultListView& listView() const { return *m_list; }
  CFileTreeUI& tree() const { return *m_tree; }
  QTreeWidgetItem* categoryNode(CategoryKind kind) const;
  QLineEdit& searchBox() const { return *m_search; }
  QCheckBox& filterOption() const { return *m_optFilter; }
  QLabel& statisticsLabel() const { return *m_lblStatistics; }
  QPushButton& recoveryButton() const { return *m_btnRecovery; }
  QProgressBar& progressBar() const { return *m_progress; }
  QLabel& operationLabel() const { return *m_lblScanType; }

 signals:
  // The source's own events, as the main window routes them (kSourceOpened,
  // kSourceWrongPassword, kSourceFailed of CMainWnd).
  void sourceEvent(int code);
  // The overall percent of the running scan rose.
  void progressChanged(int percent);
  // The scan's thread ended with this core result and was joined.
  void scanEnded(std::error_code result);

 private:
  void BuildPage();
  void BuildTree();
  void ResetPage();
  void SetScanningLayout(bool scanning);
  void OnProgress(int percent);
  void OnOperation(const QString& operation);
  void OnCategoriesDone(const std::vector<CategoryKind>& kinds);
  void OnWorkerFinished(std::error_code result);
  void OnPauseClicked();
  void OnStopClicked();
  void OnHomeClicked();
  void OnRecoveryClicked();
  void OnNodeSelected();
  void OnNodeChecked(QTreeWidgetItem* node);
  void OnListChecksChanged();
  void OnRowActivated(const QModelIndex& index);
  void OnCurrentRowChanged(const QModelIndex& current);
  void OnToggleChecks(const QModelIndexList& rows);
  void OnFilterToggled(bool on);
  void OnBackAppDir();
  void OpenAppFolder(int sourceRow);
  void ApplyColumnWidths();
  void PreviewRow(int sourceRow);
  void UpdateNodeText(CategoryKind kind);
  void UpdateNodeCheck(CategoryKind kind);
  void UpdateStatistics();
  void UpdateFilterCount();
  // Pauses for a question unless paused already; returns whether it paused.
  bool PauseForQuestion();
  void ResumeAfterQuestion(bool pausedForQuestion);
  int Ask(const char* messageId);

  CMainWnd& m_mainWnd;            // requests to the main window (page flow, queued calls)
  CPreviewVrtWnd& m_previewPane;  // shows the item selected in the results
  QWidget* m_page = nullptr;
  int m_sourceKind = kSourceDevice;

  BackupInfo m_backup;       // the backup of the next scan; for a device, only its name
  std::string m_deviceUdid;  // the device of the next device scan
  std::string m_sourceUdid;  // the device of m_source, when it is a device's
  std::string m_password;    // wiped when handed to the worker
  std::unique_ptr<IPhoneRecoveryParse> m_source;  // the source of the last scan
  std::unique_ptr<ScanData> m_data;
  CScanWorker m_worker;      // declared after what it uses: destroyed (joined) first
  bool m_sourceOpened = false;
  bool m_finished = false;   // the last scan ran to its end (or was stopped) and its thread was joined
  std::error_code m_lastResult;
  std::map<CategoryKind, bool> m_deletedOnly;  // the filter per category
  std::string m_openApp;     // the app whose files the list shows (App Photos or App Videos)

  // Controls, children of m_page.
  QStackedWidget* m_toolBars = nullptr;
  QLabel* m_lblScanType = nullptr;
  QLabel* m_lblRemark = nullptr;
  QProgressBar* m_progress = nullptr;
  QLabel* m_lblPercent = nullptr;
  CButtonGifUI* m_gif = nullptr;
  QPushButton* m_btnPause = nullptr;
  QPushButton* m_btnStop = nullptr;
  QPushButton* m_btnHome = nullptr;
  QPushButton* m_btnRecovery = nullptr;
  QPushButton* m_btnPrint = nullptr;
  QPushButton* m_btnBackAppDir = nullptr;
  QLabel* m_lblStatistics = nullptr;
  QLabel* m_lblDone = nullptr;
  CFileTreeUI* m_tree = nullptr;
  std::map<CategoryKind, QTreeWidgetItem*> m_nodes;
  QLineEdit* m_search = nullptr;
  QTimer* m_searchTimer = nullptr;
  QWidget* m_filterBar = nullptr;
  QCheckBox* m_optFilter = nullptr;
  QLabel* m_lblFilterCount = nullptr;
  CResultListView* m_list = nullptr;
  CResultListModel* m_model = nullptr;
  CResultFilterProxy* m_proxy = nullptr;
  QLabel* m_emptyHint = nullptr;
};

}  // namespace scrivel::gui
