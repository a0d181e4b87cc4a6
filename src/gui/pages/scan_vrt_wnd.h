// Controller of the scan page ("PageScan", tab 1 of "MainTabPage"). Its
// place and its interface to the main window are fixed here; the scan
// itself (thread, progress, results) arrives with the scan feature.
#pragma once

class QWidget;

namespace scrivel::gui {

class CMainWnd;
class CPreviewVrtWnd;

class CScanVrtWnd {
 public:
  // Answers of ConfirmLeave.
  static constexpr int kMayLeave = 1;
  static constexpr int kStay = 2;
  // Source kinds of StartScan.
  static constexpr int kSourceDevice = 0;
  static constexpr int kSourceLocalBackup = 1;

  CScanVrtWnd(CMainWnd& mainWnd, CPreviewVrtWnd& previewPane);

  void Init(QWidget* page);
  void ApplyTexts();

  // Asked before the main window closes: kStay refuses the close. Without a
  // scan or results there is nothing to lose, so the answer is kMayLeave.
  int ConfirmLeave();

  // WM_START_SCAN: a source page asks for a scan of sourceKind.
  void StartScan(int sourceKind);
  // WM_SCAN_SOURCE_OPENED, WM_SELECT_FIRST_RESULT, WM_SCAN_FINISHED.
  void OnScanSourceOpened();
  void OnSelectFirstResult();
  void OnScanFinished();

  // The kind of the scan last started (kSourceDevice until one starts).
  int sourceKind() const { return m_sourceKind; }
  QWidget* page() const { return m_page; }

 private:
  CMainWnd& m_mainWnd;          // requests to the main window (page flow, queued calls)
  CPreviewVrtWnd& m_previewPane;  // shows the item selected in the results
  QWidget* m_page = nullptr;
  int m_sourceKind = kSourceDevice;
};

}  // namespace scrivel::gui
