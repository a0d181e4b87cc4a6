// Controller of the device page ("PageIosDevice", tab 0 of "TabPage"). While
// the page is shown, a DeviceWatch lists the connected devices once a second
// on its own thread, and the page says what it finds: device support missing
// (with how to install it), waiting for a device, "trust this computer" or
// "unlock the device" when pairing or the passcode blocks the device, or the
// device's name, class and version with Start Scan. Start Scan backs the
// device up and scans that backup on the scan page; a device that encrypts
// its backups asks for its backup password first. The watch pauses while a
// scan runs, so the backup has the device to itself.
#pragma once

#include <QObject>
#include <memory>
#include <string>

#include "core/device/device_watch.h"

class QComboBox;
class QLabel;
class QPushButton;
class QWidget;

namespace scrivel::gui {

class CMainWnd;
class CScanVrtWnd;

class CIosDeviceVrtWnd : public QObject {
  Q_OBJECT

 public:
  // What the page shows.
  enum class State {
    kSupportMissing,  // the USB multiplexing daemon cannot be reached
    kWaiting,         // no device is connected
    kTrustNeeded,     // the device asks whether to trust this computer
    kUnlockNeeded,    // the device is locked with its passcode
    kTrustRefused,    // the person declined to trust this computer
    kUnreadable,      // the device answered, but not as expected
    kConnected,       // the device can be scanned
  };

  CIosDeviceVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage);
  ~CIosDeviceVrtWnd() override;

  void Init(QWidget* page);
  void ApplyTexts();

  // Shows a listing of the watch (on the user-interface thread).
  void ShowListing(const device::DeviceListing& listing);
  // Start Scan: the shown device's backup and scan; its password first when
  // the device encrypts its backups.
  void StartScan();

  // A device scan reported its first progress: the scan page comes up.
  void OnScanStarted();
  // Opening a source failed (not a stop, not a wrong password): the error
  // box with "MSG0201", each "\n" in the text a line break.
  void ShowOpenFailure();

  QWidget* page() const { return m_page; }
  State state() const { return m_state; }
  bool watching() const { return m_watch != nullptr && m_watch->active(); }
  QLabel* headingLabel() const { return m_heading; }
  QLabel* detailLabel() const { return m_detail; }
  QPushButton* scanButton() const { return m_btnScan; }
  QComboBox* deviceChoice() const { return m_deviceChoice; }

 signals:
  // A listing of the watch was shown.
  void listingShown();

 protected:
  // Follows the page being shown and hidden: the watch runs only while the
  // page is visible and no scan runs.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildPage();
  void ShowState();
  void FillDeviceChoice();
  void UpdateWatch();
  // The device the page shows: the chosen one, else the first listed; null
  // when none is listed.
  const device::ListedDevice* shownDevice() const;

  CMainWnd& m_mainWnd;          // requests to the main window (page flow, queued calls)
  CScanVrtWnd& m_scanPage;      // receives the scan this page asks for
  QWidget* m_page = nullptr;
  QLabel* m_icon = nullptr;
  QLabel* m_heading = nullptr;
  QLabel* m_detail = nullptr;
  QLabel* m_note = nullptr;
  QWidget* m_help = nullptr;    // the connection hints of the waiting state
  QComboBox* m_deviceChoice = nullptr;  // shown when more than one device is connected
  QPushButton* m_btnScan = nullptr;
  State m_state = State::kWaiting;
  device::DeviceListing m_listing;  // the listing shown
  std::string m_chosenUdid;         // the device picked in m_deviceChoice; empty: the first
  bool m_askingPassword = false;    // the password window is open
  // Last: destroyed (and its thread joined) before anything its listener reaches.
  std::unique_ptr<device::DeviceWatch> m_watch;
};

}  // namespace scrivel::gui
