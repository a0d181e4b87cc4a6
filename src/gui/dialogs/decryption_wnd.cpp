#include "gui/dialogs/decryption_wnd.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "core/common/language_strings.h"
#include "core/common/scan_progress.h"
#include "gui/app/main_wnd.h"
#include "gui/dialogs/message_box.h"
#include "gui/pages/scan_vrt_wnd.h"

namespace scrivel::gui {

namespace {

constexpr int kPasswordLimit = 256;

QString Message(const char* id) {
  QString text = QString::fromStdString(CLanguageStrings::Instance().Message(id));
  return text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

// The stored files of a backup: the files of its folder and of the folders
// one level below (the two-character folders of newer backups).
std::uint64_t CountStoredFiles(const std::string& folder) {
  std::uint64_t count = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file(error)) {
      ++count;
    } else if (entry.is_directory(error)) {
      for (const auto& inner : std::filesystem::directory_iterator(entry.path(), error)) {
        if (inner.is_regular_file(error)) ++count;
      }
    }
  }
  return count;
}

}  // namespace

std::uint64_t CDecryptionWnd::DecryptedFiles(int percent, int step, std::uint64_t fileCount) {
  if (percent <= 1 || step <= 0) return 0;
  const auto done = static_cast<std::uint64_t>(percent - 1) * fileCount / static_cast<std::uint64_t>(step);
  return std::min(done, fileCount);
}

CDecryptionWnd::CDecryptionWnd(CScanVrtWnd& scanPage, const BackupInfo& info)
    : CPopUpWnd(QStringLiteral("DecryptionWnd")), m_scanPage(scanPage), m_info(info) {
  titleLabel()->setText(QStringLiteral("Vantoric Scrivel for iOS"));
  m_description = new QLabel(Message("MSG0601"), body());
  m_description->setObjectName(QStringLiteral("Description"));
  m_description->setWordWrap(true);
  auto* label = new QLabel(tr("Password:"), body());
  label->setObjectName(QStringLiteral("LblPassword"));
  m_edit = new QLineEdit(body());
  m_edit->setObjectName(QStringLiteral("EditPassword"));
  m_edit->setEchoMode(QLineEdit::Password);
  m_edit->setMaxLength(kPasswordLimit);
  label->setBuddy(m_edit);
  m_status = new QLabel(body());
  m_status->setObjectName(QStringLiteral("LblStatus"));
  m_status->setProperty("role", QStringLiteral("muted"));
  m_progress = new QProgressBar(body());
  m_progress->setObjectName(QStringLiteral("Progress"));
  m_progress->setTextVisible(false);
  m_okButton = new QPushButton(tr("OK"), body());
  m_okButton->setObjectName(QStringLiteral("BtnOK"));
  m_okButton->setProperty("accent", true);
  m_cancelButton = new QPushButton(tr("Cancel"), body());
  m_cancelButton->setObjectName(QStringLiteral("BtnCancel"));

  auto* field = new QHBoxLayout;
  field->addWidget(label);
  field->addWidget(m_edit, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_okButton);
  buttons->addWidget(m_cancelButton);
  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(20, 14, 20, 14);
  layout->addWidget(m_description);
  layout->addSpacing(6);
  layout->addLayout(field);
  layout->addWidget(m_status);
  layout->addWidget(m_progress);
  layout->addStretch(1);
  layout->addLayout(buttons);
  SetDecrypting(false);

  connect(m_okButton, &QPushButton::clicked, this, &CDecryptionWnd::OnOk);
  connect(m_edit, &QLineEdit::returnPressed, this, &CDecryptionWnd::OnOk);
  connect(m_cancelButton, &QPushButton::clicked, this, [this] { done(kResultCancel); });
  connect(&m_scanPage, &CScanVrtWnd::progressChanged, this, &CDecryptionWnd::OnProgress);
  connect(&m_scanPage, &CScanVrtWnd::sourceEvent, this, &CDecryptionWnd::OnSourceEvent);
  connect(&m_scanPage, &CScanVrtWnd::scanEnded, this, &CDecryptionWnd::OnScanEnded);
}

CDecryptionWnd::CDecryptionWnd(CScanVrtWnd& scanPage, const device::DeviceInfo& device)
    : CDecryptionWnd(scanPage, BackupInfo{}) {
  m_device = device;
  const std::string& name = device.deviceName.empty() ? device.udid : device.deviceName;
  m_description->setText(tr("%1 encrypts its backups. Enter the backup password that was set for it; the "
                            "device's setting stays as it is.")
                             .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
}

void CDecryptionWnd::OnInit() {
  const QString deviceText = m_description->text();
  ApplyTexts("DecryptionWnd");
  if (m_device) m_description->setText(deviceText);
  m_edit->setFocus();
}

void CDecryptionWnd::SetDecrypting(bool decrypting) {
  m_decrypting = decrypting;
  m_edit->setEnabled(!decrypting);
  m_okButton->setEnabled(!decrypting);
  m_progress->setVisible(decrypting);
  m_status->setVisible(decrypting);
  if (decrypting) {
    m_progress->setRange(0, 0);  // busy until the first count arrives
    m_status->setText(m_device ? tr("Backing up the device, then checking the password…")
                               : tr("Checking the password…"));
  }
}

void CDecryptionWnd::OnOk() {
  if (m_decrypting) return;
  QString entered = m_edit->text();
  m_edit->clear();
  if (entered.isEmpty()) {
    // The first answer asks again; any other goes on with no password.
    if (ShowMessageBox(this, kMessageWarning, std::nullopt, Message("MSG0301"), 550, 200) == kResultOk) {
      m_edit->setFocus();
      return;
    }
  }
  std::string password = entered.toStdString();
  entered.fill(QChar(u'\0'));
  SetDecrypting(true);
  if (m_device) {
    m_scanPage.SetDevice(*m_device, std::move(password));
    m_scanPage.StartScan(CScanVrtWnd::kSourceDevice);
    return;
  }
  if (m_fileCount == 0) m_fileCount = CountStoredFiles(m_info.folderPath);
  m_scanPage.SetBackup(m_info, std::move(password));
  m_scanPage.StartScan(CScanVrtWnd::kSourceLocalBackup);
}

void CDecryptionWnd::OnProgress(int percent) {
  // A device's scan passes through its backup first; the window stays busy.
  if (!m_decrypting || m_device) return;
  if (percent > 1 + kEncryptedBackupStep) {
    m_progress->setRange(0, 0);
    m_status->setText(tr("Reading the backup's file list…"));
    return;
  }
  const std::uint64_t done = DecryptedFiles(percent, kEncryptedBackupStep, m_fileCount);
  m_progress->setRange(0, 1000);
  m_progress->setValue(m_fileCount > 0 ? static_cast<int>(done * 1000 / m_fileCount) : 0);
  m_status->setText(tr("Decrypting the backup: %1 of about %2 files").arg(done).arg(m_fileCount));
}

void CDecryptionWnd::OnSourceEvent(int code) {
  if (!m_decrypting) return;
  if (code == CMainWnd::kSourceOpened) {
    m_decrypting = false;
    done(kResultOk);
  } else if (code == CMainWnd::kSourceWrongPassword) {
    SetDecrypting(false);
    ShowMessageBox(this, kMessageInformation, std::nullopt, Message("MSG0302"), 550, 180);
    m_edit->setFocus();
  }
}

void CDecryptionWnd::OnScanEnded(std::error_code /*result*/) {
  // A wrong password was answered above; any other end while decrypting
  // (a failure the scan page reported, or a stop) closes the window.
  if (!m_decrypting) return;
  m_decrypting = false;
  done(kResultCancel);
}

void CDecryptionWnd::done(int result) {
  if (m_decrypting) {
    m_decrypting = false;
    m_scanPage.StopScan();
  }
  CPopUpWnd::done(result);
}

}  // namespace scrivel::gui
