#include "gui/app/assist_menu.h"

#include <QDesktopServices>
#include <QIcon>

#include "core/common/language_strings.h"
#include "gui/app/main_wnd.h"
#include "gui/skin/window_texts.h"

namespace scrivel::gui {

CAssistMenu::CAssistMenu(CMainWnd& mainWnd, WebAddresses addresses, UrlOpener openUrl)
    : QMenu(&mainWnd), m_mainWnd(mainWnd), m_addresses(std::move(addresses)), m_openUrl(std::move(openUrl)) {
  setObjectName(QStringLiteral("menu_assist"));
  if (!m_openUrl) m_openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };

  const auto open = [this](const QUrl& url) { return [this, url] { m_openUrl(url); }; };
  connect(AddItem("item_help", QStringLiteral("Help")), &QAction::triggered, this, open(m_addresses.help));
  m_languageMenu = new QMenu(QStringLiteral("Language"), this);
  m_languageMenu->menuAction()->setObjectName(QStringLiteral("item_language"));
  addMenu(m_languageMenu);
  connect(AddItem("item_faq", QStringLiteral("FAQ")), &QAction::triggered, this, open(m_addresses.help));
  addSeparator();
  connect(AddItem("item_about", QStringLiteral("About")), &QAction::triggered, this, open(m_addresses.about));
  connect(AddItem("item_support", QStringLiteral("Support")), &QAction::triggered, this, open(m_addresses.support));
  addSeparator();
  // Queued, like a posted close: the menu finishes closing first.
  connect(AddItem("item_exit", QStringLiteral("Exit")), &QAction::triggered, this,
          [this] { QMetaObject::invokeMethod(&m_mainWnd, &QWidget::close, Qt::QueuedConnection); });

  item("item_help")->setIcon(QIcon(QStringLiteral(":/skins/icons/help.svg")));
  item("item_about")->setIcon(QIcon(QStringLiteral(":/skins/icons/about.svg")));
  item("item_support")->setIcon(QIcon(QStringLiteral(":/skins/icons/support.svg")));
  item("item_exit")->setIcon(QIcon(QStringLiteral(":/skins/icons/exit.svg")));

  connect(this, &QMenu::aboutToShow, this, &CAssistMenu::OnAboutToShow);
  OnAboutToShow();
}

QAction* CAssistMenu::AddItem(const char* name, const QString& text) {
  QAction* action = addAction(text);
  action->setObjectName(QLatin1String(name));
  return action;
}

QAction* CAssistMenu::item(const char* name) const { return findChild<QAction*>(QLatin1String(name)); }

void CAssistMenu::OnAboutToShow() {
  item("item_faq")->setVisible(false);
  item("item_language")->setVisible(false);
  FillLanguageMenu();
  ApplyTexts(this, "MenuWnd");
}

void CAssistMenu::FillLanguageMenu() {
  m_languageMenu->clear();
  CLanguageStrings& strings = CLanguageStrings::Instance();
  for (const auto& [name, displayText] : strings.languages()) {
    QAction* entry = m_languageMenu->addAction(QString::fromStdString(displayText));
    entry->setObjectName(QString::fromStdString(name));
    entry->setCheckable(true);
    entry->setChecked(name == strings.currentLanguage());
    connect(entry, &QAction::triggered, this, [this, name = name] {
      CLanguageStrings::Instance().ChangeLanguage(name);
      m_mainWnd.PostLanguageChanged();
    });
  }
}

}  // namespace scrivel::gui
