// Controller of the backup page ("PageItunesBackup", tab 1 of "TabPage").
// Its place and its answers to the scan's source events are fixed here; the
// backup list and its controls arrive with the backup feature.
#pragma once

class QWidget;

namespace scrivel::gui {

class CMainWnd;
class CScanVrtWnd;

class CItunesBackupVrtWnd {
 public:
  CItunesBackupVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage);

  void Init(QWidget* page);
  void ApplyTexts();

  // A backup scan reported its first progress: the page's controls come
  // back and the scan page comes up.
  void OnScanStarted();
  // Opening the backup failed with the wrong password: ask again.
  void OnWrongPassword();

  QWidget* page() const { return m_page; }

 private:
  CMainWnd& m_mainWnd;          // requests to the main window (page flow, queued calls)
  CScanVrtWnd& m_scanPage;      // receives the scan this page asks for
  QWidget* m_page = nullptr;
};

}  // namespace scrivel::gui
