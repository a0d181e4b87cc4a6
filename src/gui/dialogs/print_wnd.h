// The print window ("PrintWnd"): builds the print page of the checked
// records of one category on its worker thread, then shows it as a print
// preview. "Print" sends it to a printer; "Save as PDF" writes a PDF file
// and needs no printer. Closing while the page is built asks first.
#pragma once

#include <QString>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "core/recovery/category_kind.h"
#include "gui/dialogs/popup_wnd.h"

class QLabel;
class QPrinter;
class QPrintPreviewWidget;
class QPushButton;
class QStackedWidget;
class QTextDocument;

namespace scrivel::gui {

struct ScanData;

class CPrintWnd : public CPopUpWnd {
  Q_OBJECT

 public:
  // The page is written into workFolder/Print/ and removed again when the
  // window goes.
  CPrintWnd(const ScanData& data, CategoryKind kind, bool deletedOnly, const std::string& workFolder);
  ~CPrintWnd() override;

  // Writes the page to a PDF file; returns false when it cannot.
  bool SaveAsPdf(const QString& path);

  bool pageReady() const { return m_pageReady; }
  [[nodiscard]] std::error_code buildResult() const { return m_buildResult; }
  QTextDocument* document() const { return m_document; }
  const std::string& pagePath() const { return m_pagePath; }

 signals:
  void pageShown();

 protected:
  void OnInit() override;
  void done(int result) override;

 private:
  void OnPageBuilt(std::error_code result);
  void PrintToPrinter();
  void PickPdfFile();

  const ScanData& m_data;
  CategoryKind m_kind;
  bool m_deletedOnly;
  std::string m_pagePath;
  std::thread m_thread;
  std::atomic<bool> m_cancelled{false};
  std::error_code m_buildResult;
  bool m_pageReady = false;

  QStackedWidget* m_pages = nullptr;
  QLabel* m_waiting = nullptr;
  QPrintPreviewWidget* m_preview = nullptr;
  QTextDocument* m_document = nullptr;
  QPushButton* m_printButton = nullptr;
  QPushButton* m_pdfButton = nullptr;
};

}  // namespace scrivel::gui
