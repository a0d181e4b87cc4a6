#include "gui/pages/scan_vrt_wnd.h"

#include <openssl/crypto.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QRegularExpression>
#include <algorithm>

#include "core/backup/backup_engine.h"
#include "core/common/format.h"
#include "core/common/language_strings.h"
#include "core/recovery/scan_sequence.h"
#include "gui/app/core_result.h"
#include "gui/app/main_wnd.h"
#include "gui/controls/button_gif_ui.h"
#include "gui/controls/file_tree_ui.h"
#include "gui/controls/result_list_view.h"
#include "gui/dialogs/message_box.h"
#include "gui/dialogs/print_wnd.h"
#include "gui/dialogs/recover_process_wnd.h"
#include "gui/models/result_filter_proxy.h"
#include "gui/models/result_item_delegate.h"
#include "gui/models/result_list_model.h"
#include "gui/pages/preview_vrt_wnd.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

namespace {

constexpr int kQuestionWidth = 550;
constexpr int kQuestionHeight = 200;
constexpr int kSearchDelayMs = 200;
constexpr int kCategoryRole = Qt::UserRole + 1;

QString Message(const char* id) {
  QString text = QString::fromStdString(CLanguageStrings::Instance().Message(id));
  return text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

// Fills a printf-style message ("%s", "%d") with the given texts in order.
QString FormatMessage(QString format, const QStringList& values) {
  for (const QString& value : values) {
    const qsizetype at = format.indexOf(QRegularExpression(QStringLiteral("%[sd]")));
    if (at < 0) break;
    format.replace(at, 2, value);
  }
  return format;
}

QPushButton* Button(const char* name, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  return button;
}

QLabel* Label(const char* name, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  return label;
}

QWidget* Band(const char* name, QWidget* parent) {
  auto* band = new QWidget(parent);
  band->setObjectName(QLatin1String(name));
  band->setAttribute(Qt::WA_StyledBackground);
  return band;
}

// The tree's groups and their categories, top to bottom.
struct TreeGroup {
  const char* name;
  std::vector<CategoryKind> kinds;
};
const std::vector<TreeGroup>& TreeGroups() {
  static const std::vector<TreeGroup> groups{
      {"Photos & Videos",
       {CategoryKind::kCameraRoll, CategoryKind::kPhotoStream, CategoryKind::kAppPhotos, CategoryKind::kAppVideos}},
      {"Messages & Call logs",
       {CategoryKind::kMessages, CategoryKind::kMessageAttachments, CategoryKind::kContacts,
        CategoryKind::kCallHistory, CategoryKind::kNotes, CategoryKind::kWhatsApp,
        CategoryKind::kWhatsAppAttachments}},
  };
  return groups;
}

template <typename Item>
std::pair<std::size_t, std::size_t> CountRecords(const std::vector<Item>& items) {
  const auto deleted =
      static_cast<std::size_t>(std::count_if(items.begin(), items.end(), [](const Item& i) { return i.deleted != 0; }));
  return {items.size(), deleted};
}

std::size_t CountApps(const FilesByApp& apps) {
  std::size_t files = 0;
  for (const auto& entry : apps) files += entry.second.size();
  return files;
}

// Items and deleted items of a category.
std::pair<std::size_t, std::size_t> CategoryCounts(const ScanData& data, CategoryKind kind) {
  const ScanResults& r = data.results;
  switch (kind) {
    case CategoryKind::kCameraRoll: return CountRecords(r.cameraRoll);  // pictures in Recently Deleted
    case CategoryKind::kPhotoStream: return {r.photoStream.size(), 0};
    case CategoryKind::kAppPhotos: return {CountApps(r.appPhotos), 0};
    case CategoryKind::kAppVideos: return {CountApps(r.appVideos), 0};
    case CategoryKind::kMessages: return CountRecords(data.rows.conversations);
    case CategoryKind::kMessageAttachments: return {r.messageAttachments.size(), 0};
    case CategoryKind::kContacts: return CountRecords(r.contacts);
    case CategoryKind::kCallHistory: return CountRecords(r.calls);
    case CategoryKind::kNotes: return CountRecords(r.notes);
    case CategoryKind::kWhatsApp: return CountRecords(data.rows.chats);
    case CategoryKind::kWhatsAppAttachments: return {r.whatsAppFiles.size(), 0};
    case CategoryKind::kNone: break;
  }
  return {0, 0};
}

}  // namespace

const void* ScanData::CategoryKey(CategoryKind kind) const {
  switch (kind) {
    case CategoryKind::kCameraRoll: return &results.cameraRoll;
    case CategoryKind::kPhotoStream: return &results.photoStream;
    case CategoryKind::kAppPhotos: return &results.appPhotos;
    case CategoryKind::kAppVideos: return &results.appVideos;
    case CategoryKind::kMessages: return &rows.conversations;
    case CategoryKind::kMessageAttachments: return &results.messageAttachments;
    case CategoryKind::kContacts: return &results.contacts;
    case CategoryKind::kCallHistory: return &results.calls;
    case CategoryKind::kNotes: return &results.notes;
    case CategoryKind::kWhatsApp: return &rows.chats;
    case CategoryKind::kWhatsAppAttachments: return &results.whatsAppFiles;
    case CategoryKind::kNone: break;
  }
  return nullptr;
}

CScanVrtWnd::CScanVrtWnd(CMainWnd& mainWnd, CPreviewVrtWnd& previewPane)
    : m_mainWnd(mainWnd),
      m_previewPane(previewPane),
      m_data(std::make_unique<ScanData>()),
      m_worker(this, CScanWorker::Events{
                         [this](int percent) { OnProgress(percent); },
                         [this](const QString& operation) { OnOperation(operation); },
                         [this] { OnScanSourceOpened(); },
                         [this](const std::vector<CategoryKind>& kinds) { OnCategoriesDone(kinds); },
                         [this](std::error_code result) { OnWorkerFinished(result); },
                     }) {}

CScanVrtWnd::~CScanVrtWnd() {
  m_worker.Stop();
  OPENSSL_cleanse(m_password.data(), m_password.size());
}

void CScanVrtWnd::Init(QWidget* page) {
  m_page = page;
  BuildPage();
  ApplyTexts();
  ResetPage();
  SetScanningLayout(false);
}

void CScanVrtWnd::ApplyTexts() {
  ApplyWindowTexts(m_page, "PageScan");
  m_btnPause->setText(Message(m_worker.paused() ? "MSG0506" : "MSG0507"));
  UpdateStatistics();
  UpdateFilterCount();
}

void CScanVrtWnd::BuildPage() {
  QWidget* previewArea = m_page->findChild<QWidget*>(QStringLiteral("PreviewVtrWnd"));
  delete m_page->layout();  // the frame's placeholder layout; this page lays itself out

  // The band at the top: the scan's progress while it runs, then the
  // recovery commands.
  m_toolBars = new QStackedWidget(m_page);
  m_toolBars->setObjectName(QStringLiteral("ToolBars"));

  QWidget* scanBar = Band("ScanToolBar", m_toolBars);
  m_gif = new CButtonGifUI(scanBar);
  m_gif->setObjectName(QStringLiteral("BtnGifScanning"));
  m_gif->setNormalGifFile(QStringLiteral(":/skins/anim/scanning.gif"));
  m_gif->setFixedSize(40, 40);
  m_gif->setFocusPolicy(Qt::NoFocus);
  m_lblScanType = Label("LblScanType", QStringLiteral("Scanning"), scanBar);
  m_lblRemark = Label("LblRemark", QString(), scanBar);
  m_lblRemark->setProperty("role", QStringLiteral("muted"));
  m_progress = new QProgressBar(scanBar);
  m_progress->setObjectName(QStringLiteral("ProgressScan"));
  m_progress->setRange(0, 100);
  m_progress->setTextVisible(false);
  m_lblPercent = Label("LblPercent", QStringLiteral("0%"), scanBar);
  m_lblPercent->setMinimumWidth(40);
  m_btnPause = Button("BtnScanPause", QStringLiteral("Pause"), scanBar);
  m_btnStop = Button("BtnScanStop", QStringLiteral("Stop"), scanBar);
  auto* scanTexts = new QVBoxLayout;
  scanTexts->setSpacing(2);
  scanTexts->addWidget(m_lblScanType);
  scanTexts->addWidget(m_lblRemark);
  auto* scanLayout = new QHBoxLayout(scanBar);
  scanLayout->setContentsMargins(16, 8, 16, 8);
  scanLayout->addWidget(m_gif);
  scanLayout->addLayout(scanTexts, 2);
  scanLayout->addWidget(m_progress, 3);
  scanLayout->addWidget(m_lblPercent);
  scanLayout->addWidget(m_btnPause);
  scanLayout->addWidget(m_btnStop);

  QWidget* recoveryBar = Band("ReocveryToolBar", m_toolBars);
  m_btnHome = Button("BtnHome", QStringLiteral("Home"), recoveryBar);
  m_btnRecovery = Button("BtnRecovery", QStringLiteral("Recover"), recoveryBar);
  m_btnRecovery->setProperty("accent", true);
  m_lblDone = Label("LblScanDone", QString(), recoveryBar);
  QLabel* doneLabel = m_lblDone;
  auto* recoveryLayout = new QHBoxLayout(recoveryBar);
  recoveryLayout->setContentsMargins(16, 8, 16, 8);
  recoveryLayout->addWidget(m_btnHome);
  recoveryLayout->addSpacing(12);
  recoveryLayout->addWidget(doneLabel, 1);
  recoveryLayout->addWidget(m_btnRecovery);

  m_toolBars->addWidget(scanBar);
  m_toolBars->addWidget(recoveryBar);
  m_toolBars->setFixedHeight(56);

  // Tree | list with its tool bar | preview.
  auto* splitter = new QSplitter(Qt::Horizontal, m_page);
  splitter->setObjectName(QStringLiteral("ResultSplitter"));
  splitter->setChildrenCollapsible(false);
  m_tree = new CFileTreeUI(splitter);
  m_tree->setObjectName(QStringLiteral("NodeTree"));
  m_tree->setMinimumWidth(250);
  BuildTree();

  QWidget* listArea = new QWidget(splitter);
  listArea->setObjectName(QStringLiteral("DataListLayout"));
  QWidget* listBar = Band("DataListToolBar", listArea);
  m_btnBackAppDir = Button("BtnBackAppDir", QStringLiteral("Back"), listBar);
  m_search = new QLineEdit(listBar);
  m_search->setObjectName(QStringLiteral("TxtSearch"));
  m_search->setPlaceholderText(tr("Search this list (Ctrl+F)"));
  m_search->setClearButtonEnabled(true);
  m_search->setProperty("takesEnter", true);
  m_filterBar = new QWidget(listBar);
  m_filterBar->setObjectName(QStringLiteral("FilterToolBar"));
  m_optFilter = new QCheckBox(QStringLiteral("Only deleted items"), m_filterBar);
  m_optFilter->setObjectName(QStringLiteral("OptOnOffFilter"));
  m_lblFilterCount = Label("LblFilterCount", QString(), m_filterBar);
  m_lblFilterCount->setProperty("role", QStringLiteral("muted"));
  auto* filterLayout = new QHBoxLayout(m_filterBar);
  filterLayout->setContentsMargins(0, 0, 0, 0);
  filterLayout->addWidget(m_optFilter);
  filterLayout->addWidget(m_lblFilterCount);
  m_btnPrint = Button("BtnPrint", QStringLiteral("Print"), listBar);
  auto* barLayout = new QHBoxLayout(listBar);
  barLayout->setContentsMargins(8, 6, 8, 6);
  barLayout->addWidget(m_btnBackAppDir);
  barLayout->addWidget(m_search, 1);
  barLayout->addWidget(m_filterBar);
  barLayout->addWidget(m_btnPrint);

  m_model = new CResultListModel(this);
  m_proxy = new CResultFilterProxy(this);
  m_proxy->setSourceModel(m_model);
  m_list = new CResultListView(listArea);
  m_list->setModel(m_proxy);
  m_list->setItemDelegate(new CResultItemDelegate(m_list));
  m_emptyHint = Label("LblEmptyList", QString(), listArea);
  m_emptyHint->setAlignment(Qt::AlignCenter);
  m_emptyHint->setProperty("role", QStringLiteral("muted"));
  m_emptyHint->setWordWrap(true);
  auto* listLayout = new QVBoxLayout(listArea);
  listLayout->setContentsMargins(0, 0, 0, 0);
  listLayout->setSpacing(0);
  listLayout->addWidget(listBar);
  listLayout->addWidget(m_list, 1);
  listLayout->addWidget(m_emptyHint);

  splitter->addWidget(m_tree);
  splitter->addWidget(listArea);
  if (previewArea != nullptr) {
    previewArea->setParent(splitter);
    previewArea->setMinimumWidth(260);
    splitter->addWidget(previewArea);
  }
  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 3);
  splitter->setStretchFactor(2, 2);
  splitter->setSizes({260, 440, 300});

  QWidget* statusBand = Band("StatusBand", m_page);
  m_lblStatistics = Label("LblStatistics", QString(), statusBand);
  auto* statusLayout = new QHBoxLayout(statusBand);
  statusLayout->setContentsMargins(16, 4, 16, 4);
  statusLayout->addWidget(m_lblStatistics, 1);

  auto* layout = new QVBoxLayout(m_page);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(m_toolBars);
  layout->addWidget(splitter, 1);
  layout->addWidget(statusBand);

  // Keyboard: Tab goes tree, search, filter, list, then the commands.
  QWidget::setTabOrder(m_tree, m_search);
  QWidget::setTabOrder(m_search, m_optFilter);
  QWidget::setTabOrder(m_optFilter, m_list);
  QWidget::setTabOrder(m_list, m_btnPrint);
  QWidget::setTabOrder(m_btnPrint, m_btnRecovery);
  auto* findShortcut = new QShortcut(QKeySequence::Find, m_page);
  findShortcut->setContext(Qt::WidgetWithChildrenShortcut);
  connect(findShortcut, &QShortcut::activated, this, [this] {
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
  });

  m_searchTimer = new QTimer(this);
  m_searchTimer->setSingleShot(true);
  m_searchTimer->setInterval(kSearchDelayMs);
  connect(m_searchTimer, &QTimer::timeout, this, [this] { m_proxy->SetSearchText(m_search->text()); UpdateFilterCount(); });
  connect(m_search, &QLineEdit::textChanged, m_searchTimer, qOverload<>(&QTimer::start));
  connect(m_search, &QLineEdit::returnPressed, this, [this] {
    m_searchTimer->stop();
    m_proxy->SetSearchText(m_search->text());
    UpdateFilterCount();
  });

  connect(m_btnPause, &QPushButton::clicked, this, &CScanVrtWnd::OnPauseClicked);
  connect(m_btnStop, &QPushButton::clicked, this, &CScanVrtWnd::OnStopClicked);
  connect(m_btnHome, &QPushButton::clicked, this, &CScanVrtWnd::OnHomeClicked);
  connect(m_btnRecovery, &QPushButton::clicked, this, &CScanVrtWnd::OnRecoveryClicked);
  connect(m_btnPrint, &QPushButton::clicked, this, &CScanVrtWnd::StartPrint);
  connect(m_btnBackAppDir, &QPushButton::clicked, this, &CScanVrtWnd::OnBackAppDir);
  connect(m_optFilter, &QCheckBox::toggled, this, &CScanVrtWnd::OnFilterToggled);
  connect(m_tree, &QTreeWidget::itemSelectionChanged, this, &CScanVrtWnd::OnNodeSelected);
  connect(m_tree, &CFileTreeUI::checkBoxSelectChanged, this, &CScanVrtWnd::OnNodeChecked);
  connect(m_model, &CResultListModel::checksChanged, this, &CScanVrtWnd::OnListChecksChanged);
  connect(m_list, &QAbstractItemView::activated, this, &CScanVrtWnd::OnRowActivated);
  connect(m_list, &QAbstractItemView::doubleClicked, this, &CScanVrtWnd::OnRowActivated);
  connect(m_list, &CResultListView::toggleChecks, this, &CScanVrtWnd::OnToggleChecks);
  connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) { OnCurrentRowChanged(current); });
}

void CScanVrtWnd::BuildTree() {
  for (const TreeGroup& group : TreeGroups()) {
    QTreeWidgetItem* groupNode = m_tree->AddNode(nullptr, QString::fromUtf8(group.name));
    groupNode->setFlags(groupNode->flags() & ~Qt::ItemIsSelectable);
    QFont font = groupNode->font(0);
    font.setBold(true);
    groupNode->setFont(0, font);
    for (CategoryKind kind : group.kinds) {
      QTreeWidgetItem* node = m_tree->AddNode(groupNode, QString());
      node->setData(0, kCategoryRole, static_cast<int>(kind));
      m_nodes[kind] = node;
    }
    groupNode->setExpanded(true);
  }
}

QTreeWidgetItem* CScanVrtWnd::categoryNode(CategoryKind kind) const {
  const auto found = m_nodes.find(kind);
  return found != m_nodes.end() ? found->second : nullptr;
}

CategoryKind CScanVrtWnd::shownCategory() const { return m_model->kind(); }

void CScanVrtWnd::SetBackup(const BackupInfo& info, std::string password) {
  OPENSSL_cleanse(m_password.data(), m_password.size());
  m_backup = info;
  m_password = std::move(password);
}

void CScanVrtWnd::ResetPage() {
  m_model->Clear();
  m_proxy->SetDeletedOnly(false);
  m_search->clear();
  m_proxy->SetSearchText(QString());
  m_deletedOnly.clear();
  m_openApp.clear();
  m_previewPane.ResetPreview();
  m_data = std::make_unique<ScanData>();
  m_model->SetStatistics(&m_data->statistics);
  m_sourceOpened = false;
  m_finished = false;
  m_progress->setValue(0);
  m_lblPercent->setText(QStringLiteral("0%"));
  {
    const QSignalBlocker blockTree(m_tree);
    m_tree->clearSelection();
    for (const auto& [kind, node] : m_nodes) {
      node->setDisabled(true);
      m_tree->ShowNodeState(node, Qt::Unchecked);
      UpdateNodeText(kind);
    }
  }
  {
    const QSignalBlocker blockFilter(m_optFilter);
    m_optFilter->setChecked(false);
  }
  m_filterBar->setVisible(false);
  m_btnBackAppDir->setVisible(false);
  m_btnPrint->setEnabled(false);
  m_emptyHint->setVisible(false);
  UpdateStatistics();
}

void CScanVrtWnd::SetScanningLayout(bool scanning) {
  m_toolBars->setCurrentIndex(scanning ? 0 : 1);
  m_btnHome->setEnabled(!scanning);
  if (scanning) {
    m_gif->Play();
  } else {
    m_gif->Stop();
  }
  m_btnPause->setText(Message("MSG0507"));
  UpdateStatistics();
}

int CScanVrtWnd::Ask(const char* messageId) {
  return ShowMessageBox(&m_mainWnd, kMessageQuestion, std::nullopt, Message(messageId), kQuestionWidth,
                        kQuestionHeight);
}

void CScanVrtWnd::StartScan(int sourceKind) {
  const bool device = sourceKind == kSourceDevice;
  // Another password for the same device reads the backup its source made.
  const bool retryDevice = device && m_sourceKind == kSourceDevice && m_source != nullptr &&
                           CoreWrongPassword(m_lastResult) && m_sourceUdid == m_deviceUdid;
  m_sourceKind = sourceKind;
  // A backup scan needs its backup, a device scan its device.
  if (device ? m_deviceUdid.empty() : m_backup.folderPath.empty()) return;
  m_worker.Stop();
  if (!retryDevice) m_source.reset();
  ResetPage();

  BackupEngine& engine = m_mainWnd.engine();
  if (device) {
    if (!retryDevice) m_source = CreateDeviceSource(&engine, m_deviceUdid);
    m_sourceUdid = m_deviceUdid;
  } else {
    engine.SelectBackup(m_backup);
    m_source = CreateRecoverySource(kSourceKindLocalBackup, &engine);
  }
  if (m_source == nullptr) return;

  m_lblScanType->setText(Message("MSG0501"));
  m_lblRemark->setText(device ? tr("The device is backed up into a temporary folder first; keep it connected and "
                                   "unlocked until the scan is done.")
                              : Message("MSG0502"));
  SetScanningLayout(true);
  m_worker.Start(*m_source, std::move(m_password), m_data->results, m_data->rows);
  m_password.clear();
}

void CScanVrtWnd::SetDevice(const device::DeviceInfo& info, std::string password) {
  m_deviceUdid = info.udid;
  m_backup = BackupInfo();
  m_backup.displayName = info.deviceName;
  OPENSSL_cleanse(m_password.data(), m_password.size());
  m_password = std::move(password);
}

void CScanVrtWnd::StopScan() {
  if (!m_worker.running()) return;
  m_worker.Stop();
  // The worker's last queued calls come later; the end state is set now.
  OnWorkerFinished(CoreCancelledResult());
}

void CScanVrtWnd::OnProgress(int percent) {
  const int shown = std::clamp(percent, 2, 99);
  if (shown <= m_progress->value()) return;
  m_progress->setValue(shown);
  m_lblPercent->setText(QStringLiteral("%1%").arg(shown));
  emit progressChanged(percent);
}

void CScanVrtWnd::OnOperation(const QString& operation) {
  m_lblScanType->setText(QStringLiteral("%1: %2").arg(Message("MSG0501"), operation));
}

void CScanVrtWnd::OnScanSourceOpened() {
  m_sourceOpened = true;
  m_mainWnd.PostSourceEvent(CMainWnd::kSourceOpened);
  emit sourceEvent(CMainWnd::kSourceOpened);
}

void CScanVrtWnd::OnCategoriesDone(const std::vector<CategoryKind>& kinds) {
  for (CategoryKind kind : kinds) {
    if (std::find(m_data->done.begin(), m_data->done.end(), kind) != m_data->done.end()) continue;
    RegisterScanCategory(m_data->statistics, kind, m_data->results, m_data->rows);
    m_data->done.push_back(kind);
    UpdateNodeText(kind);
    QTreeWidgetItem* node = categoryNode(kind);
    const bool empty = CategoryCounts(*m_data, kind).first == 0;
    if (node != nullptr) {
      node->setDisabled(empty);
      UpdateNodeCheck(kind);
    }
  }
  UpdateStatistics();
  OnSelectFirstResult();
}

void CScanVrtWnd::OnSelectFirstResult() {
  if (!m_tree->selectedItems().isEmpty()) return;
  for (CategoryKind kind : m_data->done) {
    QTreeWidgetItem* node = categoryNode(kind);
    if (node != nullptr && !node->isDisabled()) {
      m_tree->setCurrentItem(node);
      return;
    }
  }
}

void CScanVrtWnd::OnWorkerFinished(std::error_code result) {
  if (!m_worker.running() && m_finished) return;  // already handled (StopScan)
  m_worker.Join();
  m_lastResult = result;
  m_finished = true;
  if (CoreWrongPassword(result)) {
    SetScanningLayout(false);
    m_mainWnd.PostSourceEvent(CMainWnd::kSourceWrongPassword);
    emit sourceEvent(CMainWnd::kSourceWrongPassword);
    emit scanEnded(result);
    return;
  }
  // A device that went away before its backup was read is a failure too:
  // there is nothing to show.
  const bool deviceLost = m_sourceKind == kSourceDevice && CoreDeviceGone(result);
  if (!m_sourceOpened && !CoreSucceeded(result) && !CoreCancelled(result) && (deviceLost || !CoreDeviceGone(result))) {
    SetScanningLayout(false);
    emit sourceEvent(CMainWnd::kSourceFailed);
    // A device error's own text says what to do; a lost device gets the advice here.
    QString text = tr("The backup could not be opened.\n%1\nChoose another backup, or make a new backup of the "
                      "device and try again.");
    if (deviceLost) {
      text = tr("The device could not be backed up.\n%1\nConnect it again, keep it unlocked, and try again.");
    } else if (m_sourceKind == kSourceDevice) {
      text = tr("The device could not be backed up.\n%1");
    }
    ShowMessageBox(&m_mainWnd, kMessageError, std::nullopt, text.arg(CoreResultText(result)), kQuestionWidth,
                   kQuestionHeight);
    m_mainWnd.ShowSourcePage();
    emit scanEnded(result);
    return;
  }
  OnScanFinished();
  emit scanEnded(result);
}

void CScanVrtWnd::OnScanFinished() {
  SetScanningLayout(false);
  m_lblDone->setText(CoreCancelled(m_lastResult) ? tr("Scan stopped. What was found so far is listed; check what to keep, then recover it.")
                                                 : tr("Scan complete. Check what to keep, then recover it."));
  m_progress->setValue(100);
  m_lblPercent->setText(QStringLiteral("100%"));
  if (m_data->done.empty() || std::all_of(m_data->done.begin(), m_data->done.end(), [this](CategoryKind kind) {
        return CategoryCounts(*m_data, kind).first == 0;
      })) {
    m_emptyHint->setText(tr("This backup holds nothing that Scrivel can recover."));
    m_emptyHint->setVisible(true);
  }
  UpdateStatistics();
}

bool CScanVrtWnd::PauseForQuestion() {
  if (!m_worker.running() || m_worker.paused()) return false;
  m_worker.Pause();
  m_gif->Stop();
  return true;
}

void CScanVrtWnd::ResumeAfterQuestion(bool pausedForQuestion) {
  if (!pausedForQuestion) return;
  m_worker.Resume();
  m_gif->Play();
}

void CScanVrtWnd::OnPauseClicked() {
  if (!m_worker.running()) return;
  if (m_worker.paused()) {
    m_worker.Resume();
    m_btnPause->setText(Message("MSG0507"));
    m_gif->Play();
  } else {
    m_worker.Pause();
    m_btnPause->setText(Message("MSG0506"));
    m_gif->Stop();
  }
  UpdateStatistics();
}

void CScanVrtWnd::OnStopClicked() {
  if (!m_worker.running()) return;
  const bool pausedForQuestion = PauseForQuestion();
  if (Ask("MSG0508") == CSkinDialog::kResultOk) {
    StopScan();
    return;
  }
  ResumeAfterQuestion(pausedForQuestion);
}

int CScanVrtWnd::ConfirmLeave() {
  const bool haveResults = m_data->statistics.Root().total > 0;
  if (!m_worker.running() && !haveResults) return kMayLeave;
  const bool pausedForQuestion = PauseForQuestion();
  if (Ask("MSG0511") == CSkinDialog::kResultOk) {
    m_worker.Stop();
    return kMayLeave;
  }
  ResumeAfterQuestion(pausedForQuestion);
  return kStay;
}

void CScanVrtWnd::OnHomeClicked() {
  if (m_data->statistics.Root().total > 0 && Ask("MSG0510") != CSkinDialog::kResultOk) return;
  m_worker.Stop();
  ResetPage();
  m_source.reset();
  m_mainWnd.ShowSourcePage();
}

void CScanVrtWnd::OnRecoveryClicked() {
  const QString folder = QFileDialog::getExistingDirectory(&m_mainWnd, Message("MSG0509"), QString(),
                                                           QFileDialog::ShowDirsOnly);
  if (folder.isEmpty()) return;
  StartExport(folder);
}

void CScanVrtWnd::StartExport(const QString& folder) {
  if (m_source == nullptr || (m_worker.running() && !m_worker.paused())) return;
  CRecoverProcessWnd window(*m_data, *m_source, m_backup.displayName, folder);
  window.Create(&m_mainWnd, 620, 300);
  window.ShowModal();
}

void CScanVrtWnd::StartPrint() {
  const CategoryKind kind = m_model->kind();
  if (!IsRecordCategory(kind)) return;
  CPrintWnd window(*m_data, kind, m_deletedOnly[kind], m_mainWnd.engine().WorkFolder().string());
  window.Create(&m_mainWnd, 800, 600);
  window.ShowModal();
}

void CScanVrtWnd::OnNodeSelected() {
  const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
  if (selected.isEmpty()) return;
  const auto kind = static_cast<CategoryKind>(selected.front()->data(0, kCategoryRole).toInt());
  if (kind != CategoryKind::kNone) ShowCategory(kind);
}

void CScanVrtWnd::ShowCategory(CategoryKind kind) {
  const ScanData& data = *m_data;
  if (std::find(data.done.begin(), data.done.end(), kind) == data.done.end()) {
    m_model->Clear();
    return;
  }
  m_openApp.clear();
  m_btnBackAppDir->setVisible(false);
  m_list->sortByColumn(-1, Qt::AscendingOrder);
  switch (kind) {
    case CategoryKind::kCameraRoll: m_model->ShowFiles(kind, data.results.cameraRoll); break;
    case CategoryKind::kPhotoStream: m_model->ShowFiles(kind, data.results.photoStream); break;
    case CategoryKind::kAppPhotos: m_model->ShowAppFolders(kind, data.results.appPhotos); break;
    case CategoryKind::kAppVideos: m_model->ShowAppFolders(kind, data.results.appVideos); break;
    case CategoryKind::kMessages: m_model->ShowConversations(data.rows.conversations); break;
    case CategoryKind::kMessageAttachments: m_model->ShowFiles(kind, data.results.messageAttachments); break;
    case CategoryKind::kContacts: m_model->ShowContacts(data.results.contacts); break;
    case CategoryKind::kCallHistory: m_model->ShowCalls(data.results.calls); break;
    case CategoryKind::kNotes: m_model->ShowNotes(data.results.notes); break;
    case CategoryKind::kWhatsApp: m_model->ShowChats(data.rows.chats); break;
    case CategoryKind::kWhatsAppAttachments: m_model->ShowFiles(kind, data.results.whatsAppFiles); break;
    case CategoryKind::kNone: break;
  }
  const bool records = IsRecordCategory(kind);
  const bool filterOn = records && m_deletedOnly[kind];
  {
    const QSignalBlocker block(m_optFilter);
    m_optFilter->setChecked(filterOn);
  }
  m_proxy->SetDeletedOnly(filterOn);
  m_filterBar->setVisible(records);
  m_btnPrint->setEnabled(records);
  ApplyColumnWidths();
  m_list->scrollToTop();
  m_previewPane.ShowCategoryHint(kind);
  UpdateFilterCount();
}

void CScanVrtWnd::OnNodeChecked(QTreeWidgetItem* node) {
  // The node and every category below it take the node's state.
  std::vector<QTreeWidgetItem*> pending{node};
  while (!pending.empty()) {
    QTreeWidgetItem* current = pending.back();
    pending.pop_back();
    const auto kind = static_cast<CategoryKind>(current->data(0, kCategoryRole).toInt());
    if (kind != CategoryKind::kNone) {
      m_data->statistics.SetChecked(m_data->CategoryKey(kind), current->checkState(0) == Qt::Checked);
    }
    for (int i = 0; i < current->childCount(); ++i) pending.push_back(current->child(i));
  }
  m_model->RefreshChecks();
  UpdateStatistics();
}

void CScanVrtWnd::OnListChecksChanged() {
  UpdateNodeCheck(m_model->kind());
  UpdateStatistics();
}

void CScanVrtWnd::OnToggleChecks(const QModelIndexList& rows) {
  std::vector<int> sourceRows;
  bool anyUnchecked = false;
  for (const QModelIndex& index : rows) {
    const QModelIndex source = m_proxy->mapToSource(index.siblingAtColumn(0));
    if (!source.isValid()) continue;
    sourceRows.push_back(source.row());
    if (source.data(Qt::CheckStateRole).toInt() != Qt::Checked) anyUnchecked = true;
  }
  m_model->SetRowsChecked(sourceRows, anyUnchecked);
}

void CScanVrtWnd::OnRowActivated(const QModelIndex& index) {
  const QModelIndex source = m_proxy->mapToSource(index);
  if (!source.isValid()) return;
  if (m_model->level() == CResultListModel::Level::kAppFolders) {
    OpenAppFolder(source.row());
    return;
  }
  PreviewRow(source.row());
}

void CScanVrtWnd::OnCurrentRowChanged(const QModelIndex& current) {
  const QModelIndex source = m_proxy->mapToSource(current);
  if (!source.isValid() || m_model->level() == CResultListModel::Level::kAppFolders) return;
  PreviewRow(source.row());
}

void CScanVrtWnd::PreviewRow(int sourceRow) {
  const ScanData& data = *m_data;
  switch (m_model->kind()) {
    case CategoryKind::kMessages:
      if (const auto* row = m_model->RecordAt<MessageItem>(sourceRow)) {
        const auto found = data.results.messages.find(row->handleId);
        if (found != data.results.messages.end()) m_previewPane.ShowConversation(found->second);
      }
      break;
    case CategoryKind::kWhatsApp:
      if (const auto* row = m_model->RecordAt<ChatMessageItem>(sourceRow)) {
        const auto found = data.results.whatsApp.find(row->chatSessionId);
        if (found != data.results.whatsApp.end()) m_previewPane.ShowChat(found->second);
      }
      break;
    case CategoryKind::kContacts:
      if (const auto* contact = m_model->RecordAt<ContactItem>(sourceRow)) m_previewPane.ShowContact(*contact);
      break;
    case CategoryKind::kNotes:
      if (const auto* note = m_model->RecordAt<NoteItem>(sourceRow)) m_previewPane.ShowNote(*note);
      break;
    case CategoryKind::kCallHistory:
      if (const auto* call = m_model->RecordAt<CallItem>(sourceRow)) m_previewPane.ShowCall(*call);
      break;
    case CategoryKind::kNone: break;
    default:
      if (const auto* file = m_model->RecordAt<FileItem>(sourceRow)) m_previewPane.ShowMediaFile(*file);
      break;
  }
}

void CScanVrtWnd::ApplyColumnWidths() {
  // Widths of every column but the last, which takes the rest.
  std::vector<int> widths;
  if (m_model->level() == CResultListModel::Level::kAppFolders) {
    widths = {300, 80};
  } else if (m_model->level() == CResultListModel::Level::kAppFiles) {
    widths = {240, 180};
  } else {
    switch (m_model->kind()) {
      case CategoryKind::kMessages: widths = {150, 130, 150}; break;
      case CategoryKind::kContacts: widths = {160, 130, 130, 180}; break;
      case CategoryKind::kCallHistory: widths = {150, 130, 150, 90, 110}; break;
      case CategoryKind::kNotes: widths = {170, 120, 150}; break;
      case CategoryKind::kWhatsApp: widths = {200, 200}; break;
      default: widths = {320}; break;
    }
  }
  for (std::size_t i = 0; i < widths.size(); ++i) m_list->header()->resizeSection(static_cast<int>(i), widths[i]);
}

void CScanVrtWnd::OpenAppFolder(int sourceRow) {
  const std::string* app = m_model->AppNameAt(sourceRow);
  const auto* files = m_model->RecordAt<std::vector<FileItem>>(sourceRow);
  if (app == nullptr || files == nullptr) return;
  m_openApp = *app;
  m_model->ShowAppFiles(m_model->kind(), *app, *files);
  ApplyColumnWidths();
  m_btnBackAppDir->setVisible(true);
  m_list->scrollToTop();
}

void CScanVrtWnd::OnBackAppDir() {
  const CategoryKind kind = m_model->kind();
  if (kind == CategoryKind::kAppPhotos || kind == CategoryKind::kAppVideos) ShowCategory(kind);
}

void CScanVrtWnd::OnFilterToggled(bool on) {
  const CategoryKind kind = m_model->kind();
  if (!IsRecordCategory(kind)) return;
  m_deletedOnly[kind] = on;
  SetDeletedOnlyFilter(m_data->statistics, kind, on);
  m_proxy->SetDeletedOnly(on);
  UpdateStatistics();
  UpdateFilterCount();
}

void CScanVrtWnd::UpdateNodeText(CategoryKind kind) {
  QTreeWidgetItem* node = categoryNode(kind);
  if (node == nullptr) return;
  const auto [count, deleted] = CategoryCounts(*m_data, kind);
  const QString name = QString::fromUtf8(CategoryTreeName(kind).data(), static_cast<qsizetype>(CategoryTreeName(kind).size()));
  if (deleted > 0) {
    node->setText(0, tr("%1 (%2, %3 deleted)").arg(name).arg(count).arg(deleted));
  } else {
    node->setText(0, QStringLiteral("%1 (%2)").arg(name).arg(count));
  }
}

void CScanVrtWnd::UpdateNodeCheck(CategoryKind kind) {
  QTreeWidgetItem* node = categoryNode(kind);
  if (node == nullptr) return;
  Qt::CheckState state = Qt::Unchecked;
  switch (m_data->statistics.GetCheckState(m_data->CategoryKey(kind))) {
    case CheckState::kAll: state = Qt::Checked; break;
    case CheckState::kSome: state = Qt::PartiallyChecked; break;
    case CheckState::kNone: state = Qt::Unchecked; break;
  }
  m_tree->ShowNodeState(node, state);
}

void CScanVrtWnd::UpdateStatistics() {
  if (m_lblStatistics == nullptr) return;
  const CStatisticsObj& statistics = m_data->statistics;
  const StatisticsCounter& root = statistics.Root();
  QString format = Message("MSG0514");
  if (format.isEmpty()) format = QStringLiteral("Selected %s (%d items) of %s (%d items)");
  const QString selectedBytes =
      statistics.SelectedCount() > 0 ? QString::fromStdString(FormatFileSize(static_cast<std::int64_t>(statistics.SelectedBytes())))
                                     : QStringLiteral("0 MB");
  const QString totalBytes = root.total > 0 ? QString::fromStdString(FormatFileSize(static_cast<std::int64_t>(statistics.TotalBytes())))
                                            : QStringLiteral("0 MB");
  m_lblStatistics->setText(FormatMessage(
      format, {selectedBytes, QString::number(statistics.SelectedCount()), totalBytes, QString::number(root.total)}));
  const bool idleOrPaused = !m_worker.running() || m_worker.paused();
  m_btnRecovery->setEnabled(idleOrPaused && statistics.SelectedCount() > 0 && m_source != nullptr);
}

void CScanVrtWnd::UpdateFilterCount() {
  const int hidden = m_model->rowCount() - m_proxy->rowCount();
  m_lblFilterCount->setVisible(hidden > 0);
  m_lblFilterCount->setText(tr("Files Filtered: %1 item(s)").arg(hidden));
}

}  // namespace scrivel::gui
