// The password window of an encrypted backup ("DecryptionWnd"). It asks
// for the password, starts the scan with it and stays open while the
// backup is decrypted, showing how many of its files are done. For a
// connected device that encrypts its backups it starts the device's scan,
// and stays open while the device is backed up and its backup opened. A wrong
// password gets a message box and another try; Cancel (also while
// decrypting) stops the scan. The window closes with 1 once the decrypted
// backup has opened, with 2 otherwise.
//
// The entered text is taken out of the field and handed to the scan at
// once; the scan wipes its copy when the source has used it.
#pragma once

#include <cstdint>
#include <optional>

#include "core/backup/backup_info.h"
#include "core/device/device_info.h"
#include "gui/dialogs/popup_wnd.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace scrivel::gui {

class CScanVrtWnd;

class CDecryptionWnd : public CPopUpWnd {
  Q_OBJECT

 public:
  CDecryptionWnd(CScanVrtWnd& scanPage, const BackupInfo& info);
  CDecryptionWnd(CScanVrtWnd& scanPage, const device::DeviceInfo& device);

  QLineEdit* passwordEdit() const { return m_edit; }
  QPushButton* okButton() const { return m_okButton; }
  QLabel* statusLabel() const { return m_status; }
  bool decrypting() const { return m_decrypting; }

  // The count of files decrypted so far, from the scan's percent: the
  // decryption moves the percent from 1 to 1 + step while the tool works
  // through `fileCount` files.
  static std::uint64_t DecryptedFiles(int percent, int step, std::uint64_t fileCount);

 protected:
  void OnInit() override;
  void done(int result) override;

 private:
  void OnOk();
  void SetDecrypting(bool decrypting);
  void OnProgress(int percent);
  void OnSourceEvent(int code);
  void OnScanEnded(std::error_code result);

  CScanVrtWnd& m_scanPage;
  BackupInfo m_info;
  std::optional<device::DeviceInfo> m_device;  // set: the scan is a device's
  std::uint64_t m_fileCount = 0;  // stored files of the backup, counted once
  bool m_decrypting = false;
  QLabel* m_description = nullptr;
  QLineEdit* m_edit = nullptr;
  QLabel* m_status = nullptr;
  QProgressBar* m_progress = nullptr;
  QPushButton* m_okButton = nullptr;
  QPushButton* m_cancelButton = nullptr;
};

}  // namespace scrivel::gui
