// The application's single top-level window: a frameless, resizable window
// with a soft shadow, the title bar, the two source options and the page
// tabs. It owns the four page controllers and relays the requests that pages
// and worker threads send each other.
//
// Requests (the Post* functions) may come from any thread. Each becomes a
// queued call that runs on the user-interface thread; calls run in the order
// they were posted.
#pragma once

#include <QWidget>
#include <memory>

#include "core/backup/backup_engine.h"

#include "gui/app/main_wnd_skin.h"
#include "gui/dialogs/wnd_shadow.h"
#include "gui/pages/ios_device_vrt_wnd.h"
#include "gui/pages/itunes_backup_vrt_wnd.h"
#include "gui/pages/preview_vrt_wnd.h"
#include "gui/pages/scan_vrt_wnd.h"

class QAbstractButton;

namespace scrivel::gui {

class CAssistMenu;
class CCaptionDragger;
class CResizeGrips;

inline constexpr char kMainWindowTitle[] = "Vantoric Scrivel for iOS";

class CMainWnd : public QWidget {
  Q_OBJECT

 public:
  // Source event codes of PostSourceEvent.
  static constexpr int kSourceOpened = 0;         // the scan reported its first percent
  static constexpr int kSourceWrongPassword = 1;  // the backup password was wrong
  static constexpr int kSourceFailed = 3;         // opening the source failed otherwise

  explicit CMainWnd(QWidget* parent = nullptr);
  ~CMainWnd() override;

  // Requests of the pages and workers, run later on the UI thread in order.
  void PostPreviewReady();
  void PostLanguageChanged();
  void PostStartScan(int sourceKind);
  void PostScanSourceOpened();
  void PostSelectFirstResult();
  void PostScanFinished();
  void PostSourceEvent(int code);

  // Page flow: tab 1 (scan page) or tab 0 (source selection) of "MainTabPage".
  void ShowScanPage();
  void ShowSourcePage();

  // Moves the window to the centre of the primary screen.
  void CentreOnScreen();

  // Shows the backup page with the backup in folder (from the command line
  // or a drop); scan starts its scan at once.
  void OpenBackupFolder(const QString& folder, bool scan);

  const MainWndSkin& skin() const { return m_skin; }
  CWndShadow& shadow() { return m_shadow; }
  CAssistMenu& assistMenu() { return *m_assistMenu; }
  CCaptionDragger& captionDragger() { return *m_captionDragger; }
  CScanVrtWnd& scanPage() { return m_scanPage; }
  CItunesBackupVrtWnd& backupPage() { return m_backupPage; }
  CIosDeviceVrtWnd& devicePage() { return m_devicePage; }
  CPreviewVrtWnd& previewPane() { return m_previewPane; }
  // The one engine of the run: the backup list, the selected backup and
  // the work folder.
  BackupEngine& engine() { return *m_engine; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void ApplyMainTexts();
  void OnLanguageChanged();
  void OnSourceEvent(int code);
  void OnSourceSelected(QAbstractButton* option);
  void OpenAssistMenu();
  void SyncWindowState();

  // Members in the order the pages are wired: each page receives the ones
  // it needs. Destroyed in reverse order, the engine last.
  std::unique_ptr<BackupEngine> m_engine;
  CPreviewVrtWnd m_previewPane;
  CScanVrtWnd m_scanPage;
  CIosDeviceVrtWnd m_devicePage;
  CItunesBackupVrtWnd m_backupPage;
  CWndShadow m_shadow;
  MainWndSkin m_skin;
  CAssistMenu* m_assistMenu = nullptr;         // child of this window
  CCaptionDragger* m_captionDragger = nullptr; // child of the frame
  CResizeGrips* m_resizeGrips = nullptr;       // child of the frame
};

}  // namespace scrivel::gui
