#include "gui/pages/preview_vrt_wnd.h"

#include <QWidget>

#include "gui/skin/window_texts.h"

namespace scrivel::gui {

CPreviewVrtWnd::CPreviewVrtWnd(CMainWnd& mainWnd) : m_mainWnd(mainWnd) {}

void CPreviewVrtWnd::Init(QWidget* area) {
  m_area = area;
  ApplyTexts();
}

void CPreviewVrtWnd::ApplyTexts() { ApplyWindowTexts(m_area, "PreviewProcessWnd"); }

void CPreviewVrtWnd::OnPreviewReady() {
  // The pane has no preview views yet; the preview feature shows the item here.
}

}  // namespace scrivel::gui
