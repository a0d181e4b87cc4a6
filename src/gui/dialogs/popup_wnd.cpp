#include "gui/dialogs/popup_wnd.h"

#include "gui/skin/window_texts.h"

namespace scrivel::gui {

CPopUpWnd::CPopUpWnd(const QString& skinName) : CSkinDialog(nullptr, skinName) {}

void CPopUpWnd::Create(QWidget* owner, int width, int height) {
  setParent(owner, windowFlags());
  resize(width, height);
  CentreOverOwner();
}

int CPopUpWnd::ShowModal() { return exec(); }

void CPopUpWnd::ApplyTexts(const std::string& sectionName) { gui::ApplyTexts(this, sectionName); }

void CPopUpWnd::showEvent(QShowEvent* event) {
  if (!m_initialised) {
    m_initialised = true;
    OnInit();
  }
  CSkinDialog::showEvent(event);
}

}  // namespace scrivel::gui
