// The main window's skin: the frame (1000 x 650 at least) with, top to
// bottom, the 29-pixel title bar, the tab layout "MainTabPage" (tab 0: the
// 95-pixel source bar with its two options, the tab layout "TabPage" with
// the device and backup pages, the footer; tab 1: the scan page).
#pragma once

#include <QString>

class QButtonGroup;
class QLabel;
class QPushButton;
class QStackedWidget;
class QWidget;

namespace scrivel::gui {

class CSourceOptionUI;
class CTextUI;

inline constexpr int kMainFrameWidth = 1000;
inline constexpr int kMainFrameHeight = 650;
inline constexpr int kMainCaptionHeight = 90;  // top band that drags the window
inline constexpr int kMainResizeBorder = 4;
inline constexpr int kMainCornerSize = 5;      // rounding of the frame's corners
inline constexpr int kTitleBarHeight = 29;
inline constexpr int kSourceBarHeight = 95;

// The controls the main window addresses, by their skin names.
struct MainWndSkin {
  QWidget* frame = nullptr;
  QLabel* productName = nullptr;       // "LblProductName"
  QPushButton* assistButton = nullptr; // "BtnAssist"
  QPushButton* minButton = nullptr;    // "minbtn"
  QPushButton* maxButton = nullptr;    // "maxbtn"
  QPushButton* restoreButton = nullptr;// "restorebtn", hidden at start
  QPushButton* closeButton = nullptr;  // "closebtn"
  QStackedWidget* mainTabPage = nullptr;  // "MainTabPage": 0 source selection, 1 scan page
  QStackedWidget* tabPage = nullptr;      // "TabPage": 0 device page, 1 backup page
  QButtonGroup* actionGroup = nullptr;    // "GrpAction"
  CSourceOptionUI* optIosDevice = nullptr;
  CSourceOptionUI* optBackupFile = nullptr;
  CTextUI* txtIosDevice1 = nullptr;
  CTextUI* txtIosDevice2 = nullptr;
  CTextUI* txtBackupFile1 = nullptr;
  CTextUI* txtBackupFile2 = nullptr;
  QWidget* pageIosDevice = nullptr;    // "PageIosDevice"
  QWidget* pageItunesBackup = nullptr; // "PageItunesBackup"
  QWidget* pageScan = nullptr;         // "PageScan"
  QWidget* previewArea = nullptr;      // "PreviewVtrWnd", inside the scan page
};

// Builds the skin into frame (which gets the object name "SkinRoot").
MainWndSkin BuildMainWndSkin(QWidget* frame);

}  // namespace scrivel::gui
