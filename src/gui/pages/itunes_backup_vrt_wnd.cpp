#include "gui/pages/itunes_backup_vrt_wnd.h"

#include <QWidget>

#include "gui/app/main_wnd.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

CItunesBackupVrtWnd::CItunesBackupVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage)
    : m_mainWnd(mainWnd), m_scanPage(scanPage) {}

void CItunesBackupVrtWnd::Init(QWidget* page) {
  m_page = page;
  ApplyTexts();
}

void CItunesBackupVrtWnd::ApplyTexts() { ApplyWindowTexts(m_page, "PageItunesBackup"); }

void CItunesBackupVrtWnd::OnScanStarted() {
  m_page->setEnabled(true);
  m_mainWnd.ShowScanPage();
}

void CItunesBackupVrtWnd::OnWrongPassword() {
  // The password window arrives with encrypted backups; it asks again here.
}

}  // namespace scrivel::gui
