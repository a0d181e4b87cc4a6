// Controller of the preview pane inside the scan page ("PreviewVtrWnd").
// The main window hands it the pane's area; the pane's contents and the
// preview copy arrive with the preview feature.
#pragma once

class QWidget;

namespace scrivel::gui {

class CMainWnd;

class CPreviewVrtWnd {
 public:
  explicit CPreviewVrtWnd(CMainWnd& mainWnd);

  // Takes the pane's area and applies its texts.
  void Init(QWidget* area);
  // Applies the "PreviewProcessWnd" section again (after a language change).
  void ApplyTexts();
  // A preview file was extracted: show the extracted item (WM_PREVIEW_READY).
  void OnPreviewReady();

  QWidget* area() const { return m_area; }

 private:
  CMainWnd& m_mainWnd;          // requests to the main window (page flow, queued calls)
  QWidget* m_area = nullptr;
};

}  // namespace scrivel::gui
