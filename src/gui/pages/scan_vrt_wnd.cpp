#include "gui/pages/scan_vrt_wnd.h"

#include <QWidget>

#include "gui/skin/window_texts.h"

namespace scrivel::gui {

CScanVrtWnd::CScanVrtWnd(CMainWnd& mainWnd, CPreviewVrtWnd& previewPane)
    : m_mainWnd(mainWnd), m_previewPane(previewPane) {}

void CScanVrtWnd::Init(QWidget* page) {
  m_page = page;
  ApplyTexts();
}

void CScanVrtWnd::ApplyTexts() { ApplyWindowTexts(m_page, "PageScan"); }

int CScanVrtWnd::ConfirmLeave() { return kMayLeave; }

void CScanVrtWnd::StartScan(int sourceKind) { m_sourceKind = sourceKind; }

void CScanVrtWnd::OnScanSourceOpened() {}

void CScanVrtWnd::OnSelectFirstResult() {}

void CScanVrtWnd::OnScanFinished() {}

}  // namespace scrivel::gui
