#include "gui/pages/ios_device_vrt_wnd.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
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
  // Until device support arrives the page says how a device is connected
  // and that the scan of a backup works meanwhile; its scan button stays off.
  auto* icon = new QLabel(page);
  icon->setPixmap(QIcon(QStringLiteral(":/skins/icons/device.svg")).pixmap(QSize(64, 64), page->devicePixelRatioF()));
  icon->setAlignment(Qt::AlignCenter);
  auto* waiting = new QLabel(QStringLiteral("Waiting for a device…"), page);
  waiting->setObjectName(QStringLiteral("TxtDesc1"));
  waiting->setAlignment(Qt::AlignCenter);
  QFont font = waiting->font();
  font.setPointSizeF(font.pointSizeF() * 1.3);
  font.setBold(true);
  waiting->setFont(font);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(48, 24, 48, 24);
  layout->addStretch(1);
  layout->addWidget(icon);
  layout->addWidget(waiting);
  layout->addSpacing(8);
  for (const char* name : {"LblDesc1", "LblDesc2", "LblDesc3", "LblDesc4"}) {
    auto* line = new QLabel(page);
    line->setObjectName(QLatin1String(name));
    line->setAlignment(Qt::AlignCenter);
    line->setWordWrap(true);
    line->setProperty("role", QStringLiteral("muted"));
    layout->addWidget(line);
  }
  auto* note = new QLabel(QStringLiteral("Scanning a connected device is not available in this version. "
                                         "Choose \"Recover from Backup\" above to scan a backup of the device."),
                          page);
  note->setObjectName(QStringLiteral("LblDeviceNote"));
  note->setAlignment(Qt::AlignCenter);
  note->setWordWrap(true);
  layout->addSpacing(8);
  layout->addWidget(note);
  auto* scan = new QPushButton(QStringLiteral("Start Scan"), page);
  scan->setObjectName(QStringLiteral("BtnDeviceScan"));
  scan->setEnabled(false);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  buttonRow->addWidget(scan);
  buttonRow->addStretch(1);
  layout->addSpacing(8);
  layout->addLayout(buttonRow);
  layout->addStretch(2);
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
