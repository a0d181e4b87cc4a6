// The assist menu that "BtnAssist" opens: help, about, support and exit.
// Its FAQ and language entries exist but are hidden each time it opens.
// Help, FAQ, about and support open web pages; exit closes the main window
// by the same path as "closebtn".
#pragma once

#include <QMenu>
#include <functional>

#include "gui/app/web_addresses.h"

namespace scrivel::gui {

class CMainWnd;

class CAssistMenu : public QMenu {
  Q_OBJECT

 public:
  using UrlOpener = std::function<void(const QUrl&)>;

  // openUrl shows a page in the default browser (QDesktopServices when
  // empty).
  CAssistMenu(CMainWnd& mainWnd, WebAddresses addresses, UrlOpener openUrl = {});

  QAction* item(const char* name) const;

 private:
  void OnAboutToShow();
  void FillLanguageMenu();
  QAction* AddItem(const char* name, const QString& text);

  CMainWnd& m_mainWnd;
  WebAddresses m_addresses;
  UrlOpener m_openUrl;
  QMenu* m_languageMenu;
};

}  // namespace scrivel::gui
