// Controller of the device page ("PageIosDevice", tab 0 of "TabPage"). Its
// place and its answers to the scan's source events are fixed here; device
// detection and the page's controls arrive with the device feature.
#pragma once

class QWidget;

namespace scrivel::gui {

class CMainWnd;
class CScanVrtWnd;

class CIosDeviceVrtWnd {
 public:
  CIosDeviceVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage);

  void Init(QWidget* page);
  void ApplyTexts();

  // A device scan reported its first progress: the scan page comes up.
  void OnScanStarted();
  // Opening a source failed (not a stop, not a wrong password): the error
  // box with "MSG0201", each "\n" in the text a line break.
  void ShowOpenFailure();

  QWidget* page() const { return m_page; }

 private:
  CMainWnd& m_mainWnd;          // requests to the main window (page flow, queued calls)
  CScanVrtWnd& m_scanPage;      // receives the scan this page asks for
  QWidget* m_page = nullptr;
};

}  // namespace scrivel::gui
