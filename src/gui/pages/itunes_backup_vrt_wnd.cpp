#include "gui/pages/itunes_backup_vrt_wnd.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/backup/backup_engine.h"
#include "core/backup/info_plist.h"
#include "gui/app/core_result.h"
#include "gui/app/main_wnd.h"
#include "gui/dialogs/decryption_wnd.h"
#include "gui/dialogs/message_box.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

namespace {

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void SortBackupsNewestFirst(std::vector<BackupInfo>& backups) {
  // "YYYY-MM-DD hh:mm:ss" texts order as the dates do.
  std::stable_sort(backups.begin(), backups.end(), [](const BackupInfo& a, const BackupInfo& b) {
    if (a.lastBackupDate.empty() != b.lastBackupDate.empty()) return b.lastBackupDate.empty();
    return a.lastBackupDate > b.lastBackupDate;
  });
}

CItunesBackupVrtWnd::CItunesBackupVrtWnd(CMainWnd& mainWnd, CScanVrtWnd& scanPage)
    : m_mainWnd(mainWnd), m_scanPage(scanPage) {}

void CItunesBackupVrtWnd::Init(QWidget* page) {
  m_page = page;
  BuildPage();
  ApplyTexts();
  Refresh();
}

void CItunesBackupVrtWnd::ApplyTexts() { ApplyWindowTexts(m_page, "PageItunesBackup"); }

void CItunesBackupVrtWnd::BuildPage() {
  auto* desc1 = new QLabel(tr("Select a backup of your iOS device below to scan."), m_page);
  desc1->setObjectName(QStringLiteral("ItunesBackupDesc1"));
  QFont bold = desc1->font();
  bold.setBold(true);
  desc1->setFont(bold);
  auto* desc2 = new QLabel(tr("If your device is not listed, it has not been backed up to this computer yet."), m_page);
  desc2->setObjectName(QStringLiteral("ItunesBackupDesc2"));
  desc2->setProperty("role", QStringLiteral("muted"));
  auto* desc3 = new QLabel(tr("A backup kept elsewhere can be chosen with \"Select Folder…\" or dropped onto this window."), m_page);
  desc3->setObjectName(QStringLiteral("ItunesBackupDesc3"));
  desc3->setProperty("role", QStringLiteral("muted"));

  m_list = new QTreeWidget(m_page);
  m_list->setObjectName(QStringLiteral("BackupFileList"));
  m_list->setColumnCount(3);
  m_list->setHeaderLabels({tr("Name"), tr("Last Backup Date"), tr("Serial Number")});
  m_list->setRootIsDecorated(false);
  m_list->setUniformRowHeights(true);
  m_list->setSelectionMode(QAbstractItemView::SingleSelection);
  m_list->setIconSize(QSize(18, 18));
  m_list->header()->resizeSection(0, 300);
  m_list->header()->resizeSection(1, 220);
  m_list->setProperty("takesEnter", true);

  m_emptyLabel = new QLabel(m_page);
  m_emptyLabel->setObjectName(QStringLiteral("LblNoBackup"));
  m_emptyLabel->setWordWrap(true);
  m_emptyLabel->setAlignment(Qt::AlignCenter);
  m_emptyLabel->setProperty("role", QStringLiteral("muted"));
  m_emptyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

  m_btnSelDir = new QPushButton(tr("Select Folder…"), m_page);
  m_btnSelDir->setObjectName(QStringLiteral("BtnSelDir"));
  m_btnScan = new QPushButton(tr("Start Scan"), m_page);
  m_btnScan->setObjectName(QStringLiteral("BtnScan"));
  m_btnScan->setProperty("accent", true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_btnSelDir);
  buttons->addStretch(1);
  buttons->addWidget(m_btnScan);
  auto* layout = new QVBoxLayout(m_page);
  layout->setContentsMargins(24, 16, 24, 16);
  layout->setSpacing(6);
  layout->addWidget(desc1);
  layout->addWidget(desc2);
  layout->addWidget(desc3);
  layout->addSpacing(6);
  layout->addWidget(m_list, 1);
  layout->addWidget(m_emptyLabel, 1);
  layout->addLayout(buttons);

  QWidget::setTabOrder(m_list, m_btnSelDir);
  QWidget::setTabOrder(m_btnSelDir, m_btnScan);
  connect(m_btnScan, &QPushButton::clicked, this, &CItunesBackupVrtWnd::ScanSelected);
  connect(m_btnSelDir, &QPushButton::clicked, this, &CItunesBackupVrtWnd::SelectFolder);
  connect(m_list, &QTreeWidget::itemActivated, this, [this] { ScanSelected(); });
  connect(m_list, &QTreeWidget::itemSelectionChanged, this,
          [this] { m_btnScan->setEnabled(!m_list->selectedItems().isEmpty()); });
}

void CItunesBackupVrtWnd::Refresh() {
  BackupEngine& engine = m_mainWnd.engine();
  engine.ListBackupFolders(engine.BackupsRoot());
  m_backups.clear();
  (void)engine.ReadAllBackupInfo(m_backups);
  SortBackupsNewestFirst(m_backups);
  FillList();
}

void CItunesBackupVrtWnd::FillList() {
  m_list->clear();
  const QIcon lock(QStringLiteral(":/skins/icons/lock.svg"));
  const QIcon phone(QStringLiteral(":/skins/icons/device.svg"));
  for (std::size_t i = 0; i < m_backups.size(); ++i) {
    const BackupInfo& info = m_backups[i];
    QString name = Utf8(info.displayName);
    if (name.isEmpty()) name = QFileInfo(Utf8(info.folderPath)).fileName();
    auto* row = new QTreeWidgetItem(m_list, {name, Utf8(info.lastBackupDate), Utf8(info.serialNumber)});
    row->setIcon(0, info.encrypted ? lock : phone);
    row->setToolTip(0, (info.encrypted ? tr("Encrypted backup in %1") : tr("Backup in %1")).arg(Utf8(info.folderPath)));
    row->setData(0, Qt::UserRole, static_cast<int>(i));
  }
  const bool empty = m_backups.empty();
  m_list->setVisible(!empty);
  m_emptyLabel->setVisible(empty);
  m_emptyLabel->setText(
      tr("No backups were found in\n%1\n\nMake a backup of the device with the desktop sync software, or press "
         "\"Select Folder…\" to pick a backup folder, or drop a backup folder onto this window.")
          .arg(QString::fromStdString(m_mainWnd.engine().BackupsRoot().string())));
  if (!empty) m_list->setCurrentItem(m_list->topLevelItem(0));
  m_btnScan->setEnabled(!empty);
}

void CItunesBackupVrtWnd::EnableControls(bool enable) {
  m_btnSelDir->setEnabled(enable);
  m_list->setEnabled(enable);
  m_btnScan->setEnabled(enable && !m_list->selectedItems().isEmpty());
  m_mainWnd.skin().mainTabPage->setEnabled(true);
}

void CItunesBackupVrtWnd::ScanSelected() {
  const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
  if (selected.isEmpty()) return;
  const int index = selected.front()->data(0, Qt::UserRole).toInt();
  if (index < 0 || index >= static_cast<int>(m_backups.size())) return;
  StartScanOf(m_backups[static_cast<std::size_t>(index)]);
}

void CItunesBackupVrtWnd::StartScanOf(const BackupInfo& info) {
  if (m_askingPassword) return;
  EnableControls(false);
  if (info.encrypted) {
    m_askingPassword = true;
    CDecryptionWnd window(m_scanPage, info);
    window.Create(&m_mainWnd, 560, 270);
    const int answer = window.ShowModal();
    m_askingPassword = false;
    EnableControls(true);
    if (answer == CSkinDialog::kResultOk) m_mainWnd.ShowScanPage();
    return;
  }
  m_scanPage.SetBackup(info, {});
  m_scanPage.StartScan(CScanVrtWnd::kSourceLocalBackup);
  EnableControls(true);
  if (m_scanPage.scanRunning()) m_mainWnd.ShowScanPage();
}

void CItunesBackupVrtWnd::OpenFolder(const QString& folder, bool scan) {
  BackupInfo info;
  const std::error_code read = ReadBackupInfo(folder.toStdString(), info);
  if (!CoreSucceeded(read)) {
    ShowMessageBox(&m_mainWnd, kMessageError, std::nullopt,
                   tr("%1 holds no backup: it has no readable Info.plist.\nChoose the folder of one backup (the "
                      "folder named after the device's identifier).")
                       .arg(folder),
                   550, 200);
    return;
  }
  auto known = std::find_if(m_backups.begin(), m_backups.end(),
                            [&info](const BackupInfo& b) { return b.folderPath == info.folderPath; });
  if (known == m_backups.end()) {
    m_backups.insert(m_backups.begin(), info);
    FillList();
    m_list->setCurrentItem(m_list->topLevelItem(0));
  } else {
    const int index = static_cast<int>(known - m_backups.begin());
    for (int i = 0; i < m_list->topLevelItemCount(); ++i) {
      if (m_list->topLevelItem(i)->data(0, Qt::UserRole).toInt() == index) m_list->setCurrentItem(m_list->topLevelItem(i));
    }
  }
  if (scan) StartScanOf(info);
}

void CItunesBackupVrtWnd::SelectFolder() {
  for (;;) {
    const QString folder = QFileDialog::getExistingDirectory(
        &m_mainWnd, tr("Select the backup folder to recover your data from"), QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty()) return;
    BackupInfo info;
    if (CoreSucceeded(ReadBackupInfo(folder.toStdString(), info))) {
      OpenFolder(folder, true);
      return;
    }
    const int answer = ShowMessageBox(&m_mainWnd, kMessageQuestion, tr("Question"),
                                      tr("No backup was found in this folder. Do you want to try again?"), 550, 200);
    if (answer != CSkinDialog::kResultOk) return;
  }
}

void CItunesBackupVrtWnd::OnScanStarted() {
  m_page->setEnabled(true);
  EnableControls(true);
  m_mainWnd.ShowScanPage();
}

void CItunesBackupVrtWnd::OnWrongPassword() {
  // The password window answers a wrong password itself while it is open.
  if (m_askingPassword) return;
  StartScanOf(m_scanPage.backup());
}

}  // namespace scrivel::gui
