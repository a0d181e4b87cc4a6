#include "gui/pages/ios_device_vrt_wnd.h"

#include <QWidget>

#include "core/common/language_strings.h"
#include "gui/app/main_wnd.h"
#include "gui/dialogs/message_box.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

namespace {

constexpr int kFailureBoxWidth = 600;
constexpr int kFailureBoxHeight = 200;

}  // namespace

CIosDeviceVrtWnd::CIosDeviceVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage)
    : m_mainWnd(mainWnd), m_scanPage(scanPage) {}

void CIosDeviceVrtWnd::Init(QWidget* page) {
  m_page = page;
  ApplyTexts();
}

void CIosDeviceVrtWnd::ApplyTexts() { ApplyWindowTexts(m_page, "PageIosDevice"); }

void CIosDeviceVrtWnd::OnScanStarted() { m_mainWnd.ShowScanPage(); }

void CIosDeviceVrtWnd::ShowOpenFailure() {
  QString text = QString::fromStdString(CLanguageStrings::Instance().Message("MSG0201"));
  text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
  ShowMessageBox(&m_mainWnd, kMessageError, std::nullopt, text, kFailureBoxWidth, kFailureBoxHeight);
}

}  // namespace scrivel::gui
