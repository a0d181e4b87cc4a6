#include "gui/app/main_wnd_skin.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "gui/controls/source_option_ui.h"
#include "gui/controls/text_ui.h"

namespace scrivel::gui {

namespace {

QWidget* NamedWidget(const char* name, QWidget* parent) {
  auto* widget = new QWidget(parent);
  widget->setObjectName(QLatin1String(name));
  widget->setAttribute(Qt::WA_StyledBackground);  // lets the style sheet paint its background
  return widget;
}

QPushButton* TitleButton(const char* name, const char* icon, const QString& toolTip, QWidget* parent) {
  auto* button = new QPushButton(parent);
  button->setObjectName(QLatin1String(name));
  button->setProperty("role", QStringLiteral("titleButton"));
  button->setIcon(QIcon(QLatin1String(icon)));
  button->setIconSize(QSize(14, 14));
  button->setToolTip(toolTip);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

void BuildTitleBar(MainWndSkin& skin, QWidget* titleBar) {
  titleBar->setFixedHeight(kTitleBarHeight);
  auto* logo = new QLabel(titleBar);
  logo->setObjectName(QStringLiteral("ImgLogo"));
  logo->setPixmap(QIcon(QStringLiteral(":/skins/icons/app.svg")).pixmap(QSize(18, 18), titleBar->devicePixelRatioF()));
  skin.productName = new QLabel(QStringLiteral("Vantoric Scrivel for iOS"), titleBar);
  skin.productName->setObjectName(QStringLiteral("LblProductName"));

  skin.assistButton = TitleButton("BtnAssist", ":/skins/icons/assist.svg", QStringLiteral("Menu"), titleBar);
  skin.minButton = TitleButton("minbtn", ":/skins/icons/minimize.svg", QStringLiteral("Minimise"), titleBar);
  skin.maxButton = TitleButton("maxbtn", ":/skins/icons/maximize.svg", QStringLiteral("Maximise"), titleBar);
  skin.restoreButton = TitleButton("restorebtn", ":/skins/icons/restore.svg", QStringLiteral("Restore"), titleBar);
  skin.closeButton = TitleButton("closebtn", ":/skins/icons/close.svg", QStringLiteral("Close"), titleBar);
  skin.restoreButton->hide();

  auto* layout = new QHBoxLayout(titleBar);
  layout->setContentsMargins(12, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(logo);
  layout->addSpacing(8);
  layout->addWidget(skin.productName);
  layout->addStretch(1);
  for (QPushButton* button :
       {skin.assistButton, skin.minButton, skin.maxButton, skin.restoreButton, skin.closeButton}) {
    layout->addWidget(button);
  }
}

void BuildSourceBar(MainWndSkin& skin, QWidget* sourceBar) {
  sourceBar->setFixedHeight(kSourceBarHeight);
  skin.optIosDevice = new CSourceOptionUI(QStringLiteral("OptIosDevice"), QStringLiteral(":/skins/icons/device.svg"),
                                          QStringLiteral("TxtIosDevice1"), QStringLiteral("TxtIosDevice2"), sourceBar);
  skin.optBackupFile =
      new CSourceOptionUI(QStringLiteral("OptBackupFile"), QStringLiteral(":/skins/icons/backup.svg"),
                          QStringLiteral("TxtBackupFile1"), QStringLiteral("TxtBackupFile2"), sourceBar);
  skin.txtIosDevice1 = skin.optIosDevice->firstLine();
  skin.txtIosDevice2 = skin.optIosDevice->secondLine();
  skin.txtBackupFile1 = skin.optBackupFile->firstLine();
  skin.txtBackupFile2 = skin.optBackupFile->secondLine();
  skin.txtIosDevice1->setText(QStringLiteral("Recover from iOS Device"));
  skin.txtIosDevice2->setText(QStringLiteral("Scan a connected iPhone or iPad"));
  skin.txtBackupFile1->setText(QStringLiteral("Recover from Backup"));
  skin.txtBackupFile2->setText(QStringLiteral("Read a backup on this computer"));

  skin.actionGroup = new QButtonGroup(sourceBar);
  skin.actionGroup->setObjectName(QStringLiteral("GrpAction"));
  skin.actionGroup->addButton(skin.optIosDevice);
  skin.actionGroup->addButton(skin.optBackupFile);
  skin.optIosDevice->setChecked(true);

  auto* layout = new QHBoxLayout(sourceBar);
  layout->setContentsMargins(24, 12, 24, 13);
  layout->setSpacing(16);
  layout->addWidget(skin.optIosDevice, 1);
  layout->addWidget(skin.optBackupFile, 1);
}

QWidget* BuildFooter(QWidget* parent) {
  QWidget* footer = NamedWidget("FooterBar", parent);
  auto* caption = new QLabel(QStringLiteral("Version"), footer);
  caption->setObjectName(QStringLiteral("LblVersionCaption"));
  auto* number = new QLabel(QStringLiteral(SCRIVEL_VERSION), footer);
  number->setObjectName(QStringLiteral("LblVersionNumber"));
  auto* layout = new QHBoxLayout(footer);
  layout->setContentsMargins(16, 0, 16, 0);
  layout->setSpacing(4);
  layout->addStretch(1);
  layout->addWidget(caption);
  layout->addWidget(number);
  footer->setFixedHeight(26);
  return footer;
}

QWidget* BuildSourceSelection(MainWndSkin& skin, QWidget* parent) {
  QWidget* selection = NamedWidget("SourceSelection", parent);
  QWidget* sourceBar = NamedWidget("SourceBar", selection);
  BuildSourceBar(skin, sourceBar);

  skin.tabPage = new QStackedWidget(selection);
  skin.tabPage->setObjectName(QStringLiteral("TabPage"));
  skin.pageIosDevice = NamedWidget("PageIosDevice", skin.tabPage);
  skin.pageItunesBackup = NamedWidget("PageItunesBackup", skin.tabPage);
  skin.tabPage->addWidget(skin.pageIosDevice);
  skin.tabPage->addWidget(skin.pageItunesBackup);

  auto* layout = new QVBoxLayout(selection);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(sourceBar);
  layout->addWidget(skin.tabPage, 1);
  layout->addWidget(BuildFooter(selection));
  return selection;
}

QWidget* BuildScanPage(MainWndSkin& skin, QWidget* parent) {
  skin.pageScan = NamedWidget("PageScan", parent);
  skin.previewArea = NamedWidget("PreviewVtrWnd", skin.pageScan);
  auto* layout = new QHBoxLayout(skin.pageScan);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addStretch(2);
  layout->addWidget(skin.previewArea, 1);
  return skin.pageScan;
}

}  // namespace

MainWndSkin BuildMainWndSkin(QWidget* frame) {
  MainWndSkin skin;
  skin.frame = frame;
  frame->setObjectName(QStringLiteral("SkinRoot"));
  frame->setAttribute(Qt::WA_StyledBackground);
  frame->setMinimumSize(kMainFrameWidth, kMainFrameHeight);

  QWidget* titleBar = NamedWidget("TitleBar", frame);
  BuildTitleBar(skin, titleBar);

  skin.mainTabPage = new QStackedWidget(frame);
  skin.mainTabPage->setObjectName(QStringLiteral("MainTabPage"));
  skin.mainTabPage->addWidget(BuildSourceSelection(skin, skin.mainTabPage));
  skin.mainTabPage->addWidget(BuildScanPage(skin, skin.mainTabPage));

  auto* layout = new QVBoxLayout(frame);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(titleBar);
  layout->addWidget(skin.mainTabPage, 1);
  return skin;
}

}  // namespace scrivel::gui
