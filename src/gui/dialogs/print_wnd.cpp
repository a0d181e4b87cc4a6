#include "gui/dialogs/print_wnd.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextDocument>
#include <QVBoxLayout>
#include <filesystem>

#include "core/backup/backup_engine.h"
#include "core/common/app_directory.h"
#include "core/common/language_strings.h"
#include "core/export/print_page.h"
#include "gui/app/core_result.h"
#include "gui/dialogs/message_box.h"
#include "gui/pages/scan_vrt_wnd.h"

namespace scrivel::gui {

namespace {

QString Message(const char* id) {
  QString text = QString::fromStdString(CLanguageStrings::Instance().Message(id));
  return text.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
}

}  // namespace

CPrintWnd::CPrintWnd(const ScanData& data, CategoryKind kind, bool deletedOnly, const std::string& workFolder)
    : CPopUpWnd(QStringLiteral("PrintWnd")),
      m_data(data),
      m_kind(kind),
      m_deletedOnly(deletedOnly),
      m_pagePath((std::filesystem::path(workFolder) / "Print" / "page.html").string()) {
  titleLabel()->setText(tr("Vantoric Scrivel for iOS (print & preview)"));
  m_pages = new QStackedWidget(body());
  m_pages->setObjectName(QStringLiteral("PrintTabPage"));
  m_waiting = new QLabel(tr("Preparing the page…"), m_pages);
  m_waiting->setAlignment(Qt::AlignCenter);
  m_preview = new QPrintPreviewWidget(m_pages);
  m_preview->setObjectName(QStringLiteral("WebPagePrint"));
  m_pages->addWidget(m_waiting);
  m_pages->addWidget(m_preview);
  m_document = new QTextDocument(this);
  connect(m_preview, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) { m_document->print(printer); });

  m_printButton = new QPushButton(tr("Print…"), body());
  m_printButton->setObjectName(QStringLiteral("BtnPrint"));
  m_printButton->setProperty("accent", true);
  m_pdfButton = new QPushButton(tr("Save as PDF…"), body());
  m_pdfButton->setObjectName(QStringLiteral("BtnSavePdf"));
  auto* closeButton = new QPushButton(tr("Close"), body());
  closeButton->setObjectName(QStringLiteral("cancelbtn"));
  m_printButton->setEnabled(false);
  m_pdfButton->setEnabled(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(m_pdfButton);
  buttons->addWidget(m_printButton);
  buttons->addWidget(closeButton);
  auto* layout = new QVBoxLayout(body());
  layout->setContentsMargins(12, 10, 12, 12);
  layout->addWidget(m_pages, 1);
  layout->addLayout(buttons);
  connect(m_printButton, &QPushButton::clicked, this, &CPrintWnd::PrintToPrinter);
  connect(m_pdfButton, &QPushButton::clicked, this, &CPrintWnd::PickPdfFile);
}

CPrintWnd::~CPrintWnd() {
  m_cancelled = true;
  if (m_thread.joinable()) m_thread.join();
  std::error_code ignored;
  std::filesystem::remove(m_pagePath, ignored);
}

void CPrintWnd::OnInit() {
  ApplyTexts("PrintWnd");
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(m_pagePath).parent_path(), ignored);
  const std::string templatePath = GetAppDirectory() + "template/Print.html";
  m_thread = std::thread([this, templatePath] {
    PrintRequest request;
    request.kind = m_kind;
    request.deletedOnly = m_deletedOnly;
    request.statistics = &m_data.statistics;
    request.results = &m_data.results;
    request.rows = &m_data.rows;
    request.cancelled = &m_cancelled;
    std::string content;
    std::error_code result = BuildPrintContent(request, &content);
    if (!CoreCancelled(result)) {
      const std::error_code written = WritePrintPage(templatePath, content, m_pagePath);
      if (!CoreSucceeded(written)) result = written;
    }
    QMetaObject::invokeMethod(this, [this, result] { OnPageBuilt(result); }, Qt::QueuedConnection);
  });
}

void CPrintWnd::OnPageBuilt(std::error_code result) {
  if (m_thread.joinable()) m_thread.join();
  m_buildResult = result;
  if (CoreCancelled(result)) return;
  if (!CoreSucceeded(result) && result != kNothingToPrint) {
    ShowMessageBox(this, kMessageError, std::nullopt,
                   tr("The print page could not be written: %1").arg(CoreResultText(result)), 550, 200);
    return;
  }
  QFile page(QString::fromStdString(m_pagePath));
  if (page.open(QIODevice::ReadOnly)) m_document->setHtml(QString::fromUtf8(page.readAll()));
  if (result == kNothingToPrint || m_document->isEmpty()) {
    m_waiting->setText(tr("Nothing is checked in this category. Check the records to print, then try again."));
  } else {
    m_pages->setCurrentWidget(m_preview);
    m_preview->updatePreview();
    m_printButton->setEnabled(true);
    m_pdfButton->setEnabled(true);
  }
  m_pageReady = true;
  emit pageShown();
}

void CPrintWnd::PrintToPrinter() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  m_document->print(&printer);
}

void CPrintWnd::PickPdfFile() {
  const QString path = QFileDialog::getSaveFileName(this, tr("Save as PDF"), QStringLiteral("Recovered records.pdf"),
                                                    tr("PDF files (*.pdf)"));
  if (path.isEmpty()) return;
  if (!SaveAsPdf(path)) {
    ShowMessageBox(this, kMessageError, std::nullopt,
                   tr("%1 could not be written. Choose another folder, or free some space, and try again.").arg(path),
                   550, 200);
  }
}

bool CPrintWnd::SaveAsPdf(const QString& path) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(path);
  m_document->print(&printer);
  return QFile::exists(path) && QFile(path).size() > 0;
}

void CPrintWnd::done(int result) {
  if (m_thread.joinable() && !m_pageReady) {
    if (ShowMessageBox(this, kMessageQuestion, std::nullopt, Message("MSG0903"), 550, 200) != kResultOk) return;
    m_cancelled = true;
    m_thread.join();
    CPopUpWnd::done(kResultCancel);
    return;
  }
  CPopUpWnd::done(result);
}

}  // namespace scrivel::gui
