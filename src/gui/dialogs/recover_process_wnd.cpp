#include "gui/dialogs/recover_process_wnd.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/common/app_directory.h"
#include "core/common/language_strings.h"
#include "core/export/export_worker.h"
#include "core/export/recovery_export_source.h"
#include "gui/app/core_result.h"
#include "gui/dialogs/message_box.h"
#include "gui/pages/scan_vrt_wnd.h"

namespace scrivel::gui {

namespace {

constexpr int kTickMs = 100;
constexpr QRgb kFailedRowColor = 0xFFD00000;

QString Message(const char* id) {
  QString text = QString::fromStdString(CLanguageStrings::Instance().Message(id));
  return text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

QString Utf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void CRecoverProcessWnd::Observer::OnProgress(int /*percent*/, const std::string& path, const ExportCounters& counters) {
  std::lock_guard guard(m_lock);
  m_path = path;
  m_counters = counters;
}

void CRecoverProcessWnd::Observer::OnResultRow(const ExportResultRow& row) {
  std::lock_guard guard(m_lock);
  m_rows.push_back(row);
}

void CRecoverProcessWnd::Observer::Take(std::vector<ExportResultRow>& rows, std::string& path, ExportCounters& counters) {
  std::lock_guard guard(m_lock);
  rows.swap(m_rows);
  m_rows.clear();
  path = m_path;
  counters = m_counters;
}

CRecoverProcessWnd::CRecoverProcessWnd(const ScanData& data, IPhoneRecoveryParse& source,
                                       const std::string& deviceName, const QString& exportRoot)
    : CPopUpWnd(QStringLiteral("RecoverProcessWnd")),
      m_data(data),
      m_source(source),
      m_deviceName(deviceName.empty() ? std::string("iPhone") : deviceName),
      m_exportRoot(exportRoot),
      m_progress(&m_observer) {
  titleLabel()->setText(tr("Recovering the checked items"));
  m_current = new QLabel(body());
  m_current->setObjectName(QStringLiteral("current"));
  m_current->setTextFormat(Qt::PlainText);
  m_current->setMinimumWidth(100);
  m_current->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  m_bar = new QProgressBar(body());
  m_bar->setObjectName(QStringLiteral("Progress"));
  m_bar->setRange(0, 100);
  m_percent = new QLabel(body());
  m_percent->setObjectName(QStringLiteral("percent"));
  m_recovered = new QLabel(body());
  m_recovered->setObjectName(QStringLiteral("recovered"));
  m_detailList = new QTreeWidget(body());
  m_detailList->setObjectName(QStringLiteral("DetailList"));
  m_detailList->setColumnCount(2);
  m_detailList->setHeaderLabels({tr("File"), tr("Result")});
  m_detailList->setRootIsDecorated(false);
  m_detailList->setUniformRowHeights(true);
  m_detailList->header()->setStretchLastSection(false);
  m_detailList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_detailList->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  m_openButton = new QPushButton(tr("Open Folder"), body());
  m_openButton->setObjectName(QStringLiteral("OpenBtn"));
  m_detailButton = new QPushButton(tr("Hide Details"), body());
  m_detailButton->setObjectName(QStringLiteral("DetailBtn"));
  m_cancelButton = new QPushButton(tr("Cancel"), body());
  m_cancelButton->setObjectName(QStringLiteral("CancelBtn"));
  m_finishButton = new QPushButton(tr("Finish"), body());
  m_finishButton->setObjectName(QStringLiteral("FinishBtn"));
  m_finishButton->setProperty("accent", true);
  m_finishButton->setVisible(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_openButton);
  buttons->addWidget(m_detailButton);
  buttons->addStretch(1);
  buttons->addWidget(m_cancelButton);
  buttons->addWidget(m_finishButton);
  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(20, 14, 20, 14);
  layout->addWidget(m_percent);
  layout->addWidget(m_bar);
  layout->addWidget(m_current);
  layout->addWidget(m_recovered);
  layout->addWidget(m_detailList, 1);
  layout->addLayout(buttons);

  connect(m_openButton, &QPushButton::clicked, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(m_exportRoot)); });
  connect(m_detailButton, &QPushButton::clicked, this, [this] {
    m_detailList->setVisible(!m_detailList->isVisible());
    m_detailButton->setText(m_detailList->isVisible() ? tr("Hide Details") : tr("Show Details"));
  });
  connect(m_cancelButton, &QPushButton::clicked, this, &CRecoverProcessWnd::ConfirmCancel);
  connect(m_finishButton, &QPushButton::clicked, this, [this] { done(kResultOk); });
  m_timer = new QTimer(this);
  m_timer->setInterval(kTickMs);
  connect(m_timer, &QTimer::timeout, this, &CRecoverProcessWnd::OnTick);
}

CRecoverProcessWnd::~CRecoverProcessWnd() {
  if (m_thread.joinable()) {
    m_progress.Cancel();
    m_thread.join();
  }
}

void CRecoverProcessWnd::OnInit() {
  ApplyTexts("RecoverProcessWnd");
  ExportRequest request;
  request.exportRoot = m_exportRoot.toStdString();
  request.deviceName = m_deviceName;
  request.templateFolder = GetAppDirectory() + "template/";
  request.writeIndex = true;
  request.statistics = &m_data.statistics;
  request.conversations = &m_data.results.messages;
  request.chats = &m_data.results.whatsApp;
  m_exportSource = std::make_unique<RecoveryExportSource>(m_source);
  request.source = m_exportSource.get();
  m_worker = std::make_unique<CExportWorker>(request, m_progress);
  if (!CoreSucceeded(m_worker->LoadTemplates())) {
    // Shown once the window is up, so that the box has its owner on screen.
    QTimer::singleShot(0, this, [this] {
      ShowMessageBox(this, kMessageError, std::nullopt,
                     Message("MSG1104") + QStringLiteral("\n") + Utf8(m_worker->FailedTemplate()), 500, 200);
      done(kResultCancel);
    });
    return;
  }
  ShowCounts({0, 0, static_cast<int>(m_data.statistics.SelectedCount())});
  m_thread = std::thread([this] {
    m_result = m_worker->Run();
    m_workerDone = true;
  });
  m_timer->start();
}

void CRecoverProcessWnd::OnTick() {
  std::vector<ExportResultRow> rows;
  std::string path;
  ExportCounters counters;
  m_observer.Take(rows, path, counters);
  AddRows(rows);
  if (!path.empty()) m_current->setText(Utf8(path));
  if (counters.total > 0) ShowCounts(counters);
  if (m_workerDone && !m_done) OnWorkerDone();
}

void CRecoverProcessWnd::ShowCounts(const ExportCounters& counters) {
  const int percent = counters.total > 0 ? std::min(100, counters.processed * 100 / counters.total) : 0;
  m_bar->setValue(percent);
  m_percent->setText(QStringLiteral("%1 %2%").arg(Message("MSG1101")).arg(percent));
  QString format = Message("MSG1102");
  if (format.isEmpty()) format = QStringLiteral("%d of %d items done: %d recovered, %d failed.");
  for (int value : {counters.processed, counters.total, counters.processed - counters.failed, counters.failed}) {
    const qsizetype at = format.indexOf(QStringLiteral("%d"));
    if (at < 0) break;
    format.replace(at, 2, QString::number(value));
  }
  m_recovered->setText(format);
}

void CRecoverProcessWnd::AddRows(const std::vector<ExportResultRow>& rows) {
  if (rows.empty()) return;
  int failuresOnTop = 0;
  for (int i = 0; i < m_detailList->topLevelItemCount(); ++i) {
    if (m_detailList->topLevelItem(i)->data(0, Qt::UserRole).toBool()) break;
    ++failuresOnTop;
  }
  QList<QTreeWidgetItem*> successes;
  for (const ExportResultRow& row : rows) {
    auto* item = new QTreeWidgetItem({Utf8(row.path), Utf8(row.status)});
    item->setData(0, Qt::UserRole, row.succeeded);
    item->setToolTip(0, Utf8(row.path));
    if (row.succeeded) {
      successes.push_back(item);
    } else {
      item->setForeground(0, QColor::fromRgba(kFailedRowColor));
      item->setForeground(1, QColor::fromRgba(kFailedRowColor));
      m_detailList->insertTopLevelItem(0, item);  // newest failure on top
      ++failuresOnTop;
    }
  }
  m_detailList->addTopLevelItems(successes);
}

void CRecoverProcessWnd::OnWorkerDone() {
  m_thread.join();
  m_done = true;
  m_timer->stop();
  OnTick();
  const ExportCounters counters = m_progress.Counters();
  ShowCounts(counters);
  m_current->setText(CoreCancelled(m_result) ? tr("Stopped. The files written so far are in %1").arg(m_exportRoot)
                                              : tr("Done. The recovered data is in %1").arg(m_exportRoot));
  m_cancelButton->setVisible(false);
  m_finishButton->setVisible(true);
  if (!CoreSucceeded(m_result) && !CoreCancelled(m_result)) {
    ShowMessageBox(this, kMessageError, std::nullopt,
                   tr("The export could not run: %1").arg(CoreResultText(m_result)), 550, 200);
  } else if (counters.failed > 0) {
    ShowMessageBox(this, kMessageWarning, std::nullopt,
                   tr("%1 file(s) could not be written. The list shows why for each one (for example, the disk is "
                      "full or the folder is read-only). Free some space or choose another folder, then recover "
                      "again.")
                       .arg(counters.failed),
                   550, 220);
  }
}

void CRecoverProcessWnd::ConfirmCancel() {
  if (m_done || !m_thread.joinable()) {
    done(m_done ? kResultOk : kResultCancel);
    return;
  }
  bool cancel = false;
  {
    auto hold = m_progress.Hold();  // the worker waits at its next report
    cancel = ShowMessageBox(this, kMessageQuestion, std::nullopt, Message("MSG1103"), 550, 200) == kResultOk;
    if (cancel) m_progress.Cancel();
  }
  if (!cancel) return;
  m_thread.join();
  m_workerDone = true;
  OnWorkerDone();
  done(kResultCancel);
}

void CRecoverProcessWnd::done(int result) {
  if (result != kResultOk && m_thread.joinable() && !m_done) {
    ConfirmCancel();
    return;
  }
  CPopUpWnd::done(result);
}

}  // namespace scrivel::gui
