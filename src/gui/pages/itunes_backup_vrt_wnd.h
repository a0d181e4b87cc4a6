// Controller of the backup page ("PageItunesBackup", tab 1 of "TabPage"):
// the list of the backups found on this computer, newest first (device
// name, last backup date, serial number, a lock for encrypted ones), a
// button that picks a backup folder elsewhere, and Start Scan. A folder
// can also come from the command line or be dropped onto the window. An
// encrypted backup asks for its password before its scan starts.
#pragma once

#include <QObject>
#include <QString>
#include <vector>

#include "core/backup/backup_info.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QWidget;

namespace scrivel::gui {

class CMainWnd;
class CScanVrtWnd;

class CItunesBackupVrtWnd : public QObject {
  Q_OBJECT

 public:
  CItunesBackupVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage);

  void Init(QWidget* page);
  void ApplyTexts();

  // Reads the backups root again and fills the list, newest first.
  void Refresh();
  // Adds the backup in folder to the list and selects it; with scan, its
  // scan starts. A folder that holds no backup gets an error box.
  void OpenFolder(const QString& folder, bool scan);
  // Scans the selected backup (Start Scan).
  void ScanSelected();
  // Scans `info`, asking for the password first when it is encrypted.
  void StartScanOf(const BackupInfo& info);

  // A backup scan's source opened: the page's controls come back and the
  // scan page comes up.
  void OnScanStarted();
  // Opening the backup failed with the wrong password: ask again.
  void OnWrongPassword();

  QWidget* page() const { return m_page; }
  QTreeWidget* list() const { return m_list; }
  const std::vector<BackupInfo>& backups() const { return m_backups; }
  QPushButton* scanButton() const { return m_btnScan; }
  QLabel* emptyLabel() const { return m_emptyLabel; }

 private:
  void BuildPage();
  void FillList();
  void SelectFolder();
  void EnableControls(bool enable);

  CMainWnd& m_mainWnd;      // requests to the main window (page flow, queued calls)
  CScanVrtWnd& m_scanPage;  // receives the scan this page asks for
  QWidget* m_page = nullptr;
  QTreeWidget* m_list = nullptr;
  QLabel* m_emptyLabel = nullptr;
  QPushButton* m_btnSelDir = nullptr;
  QPushButton* m_btnScan = nullptr;
  std::vector<BackupInfo> m_backups;  // the list's rows, in order
  bool m_askingPassword = false;      // the password window is open
};

// The backups of a list in the order the page shows them: newest last
// backup first; backups without a date at the end, in their order.
void SortBackupsNewestFirst(std::vector<BackupInfo>& backups);

}  // namespace scrivel::gui
