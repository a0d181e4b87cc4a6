// The main window: keys it swallows, the source options, the assist menu,
// the close paths, the caption band, maximise and restore, and the queued
// requests of pages and workers.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <thread>

#include "core/common/language_strings.h"
#include "gui/app/assist_menu.h"
#include "gui/app/main_wnd.h"
#include "gui/controls/source_option_ui.h"
#include "gui/controls/text_ui.h"
#include "gui/skin/caption_dragger.h"

namespace scrivel::gui {
namespace {

// Counts the events of one type that reach an object.
class EventCounter : public QObject {
 public:
  EventCounter(QObject* target, QEvent::Type type) : m_type(type) { target->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == m_type) ++count;
    return false;
  }

 private:
  QEvent::Type m_type;
};

class MainWndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
  }

  const MainWndSkin& skin() { return m_window.skin(); }

  CMainWnd m_window;
};

TEST_F(MainWndTest, TitleSizeAndStartState) {
  EXPECT_EQ(m_window.windowTitle(), "Vantoric Scrivel for iOS");
  EXPECT_EQ(skin().frame->size(), QSize(1000, 650));
  EXPECT_EQ(skin().frame->minimumSize(), QSize(1000, 650));
  EXPECT_TRUE(skin().optIosDevice->isChecked());
  EXPECT_EQ(skin().mainTabPage->currentIndex(), 0);
  EXPECT_EQ(skin().tabPage->currentIndex(), 0);
  EXPECT_TRUE(skin().maxButton->isVisible());
  EXPECT_FALSE(skin().restoreButton->isVisible());
  for (const char* name : {"LblProductName", "BtnAssist", "minbtn", "maxbtn", "restorebtn", "closebtn", "MainTabPage",
                           "TabPage", "OptIosDevice", "OptBackupFile", "TxtIosDevice1", "TxtIosDevice2",
                           "TxtBackupFile1", "TxtBackupFile2", "FooterBar", "PageIosDevice", "PageItunesBackup",
                           "PageScan"}) {
    EXPECT_NE(m_window.findChild<QWidget*>(name), nullptr) << name;
  }
  EXPECT_NE(m_window.findChild<QButtonGroup*>("GrpAction"), nullptr);
}

TEST_F(MainWndTest, EnterAndEscapeNeverReachAControl) {
  QWidget* option = skin().optBackupFile;
  option->setFocus();
  EventCounter keys(option, QEvent::KeyPress);
  for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(option, key);
  EXPECT_EQ(keys.count, 0);
  EXPECT_TRUE(m_window.isVisible());
  EXPECT_FALSE(skin().optBackupFile->isChecked());

  QTest::keyClick(option, Qt::Key_Space);  // other keys still arrive
  EXPECT_EQ(keys.count, 1);
  EXPECT_TRUE(skin().optBackupFile->isChecked());
}

TEST_F(MainWndTest, SelectingASourceSwapsTextColoursAndTabs) {
  const QColor white(0xFF, 0xFF, 0xFF);
  const QColor black(0, 0, 0);
  const auto expectColours = [&](const QColor& device, const QColor& backup) {
    EXPECT_EQ(skin().txtIosDevice1->textColor(), device);
    EXPECT_EQ(skin().txtIosDevice2->textColor(), device);
    EXPECT_EQ(skin().txtBackupFile1->textColor(), backup);
    EXPECT_EQ(skin().txtBackupFile2->textColor(), backup);
  };
  expectColours(white, black);

  QTest::mouseClick(skin().optBackupFile, Qt::LeftButton);
  expectColours(black, white);
  EXPECT_EQ(skin().tabPage->currentIndex(), 1);
  EXPECT_FALSE(skin().optIosDevice->isChecked());

  QTest::mouseClick(skin().optIosDevice, Qt::LeftButton);
  expectColours(white, black);
  EXPECT_EQ(skin().tabPage->currentIndex(), 0);
}

TEST_F(MainWndTest, AssistMenuHidesFaqAndLanguageEachTimeItOpens) {
  CAssistMenu& menu = m_window.assistMenu();
  for (int round = 0; round < 2; ++round) {
    menu.item("item_faq")->setVisible(true);
    menu.item("item_language")->setVisible(true);
    QTest::mouseClick(skin().assistButton, Qt::LeftButton);
    ASSERT_TRUE(menu.isVisible());
    EXPECT_FALSE(menu.item("item_faq")->isVisible());
    EXPECT_FALSE(menu.item("item_language")->isVisible());
    for (const char* name : {"item_help", "item_about", "item_support", "item_exit"}) {
      EXPECT_TRUE(menu.item(name)->isVisible()) << name;
    }
    menu.hide();
  }
}

TEST_F(MainWndTest, AssistMenuOpensTheConfiguredPages) {
  const WebAddresses addresses{QUrl("https://example.org/guide"), QUrl("https://example.org/about"),
                               QUrl("https://example.org/support")};
  std::vector<QUrl> opened;
  CAssistMenu menu(m_window, addresses, [&opened](const QUrl& url) { opened.push_back(url); });
  for (const char* name : {"item_help", "item_faq", "item_about", "item_support"}) menu.item(name)->trigger();
  EXPECT_EQ(opened, (std::vector<QUrl>{addresses.help, addresses.help, addresses.about, addresses.support}));
}

TEST_F(MainWndTest, CloseButtonAltF4AndMenuExitTakeTheSameClosePath) {
  EventCounter closes(&m_window, QEvent::Close);
  const std::vector<std::function<void()>> closers{
      [&] { skin().closeButton->click(); },
      [&] { QTest::keySequence(&m_window, QKeySequence(Qt::ALT | Qt::Key_F4)); },
      [&] {
        m_window.assistMenu().item("item_exit")->trigger();
        QApplication::processEvents();
      },
  };
  for (size_t i = 0; i < closers.size(); ++i) {
    m_window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    closers[i]();
    EXPECT_FALSE(m_window.isVisible()) << "closer " << i;
    EXPECT_EQ(closes.count, static_cast<int>(i) + 1);
  }
}

TEST_F(MainWndTest, CaptionBandDragsExceptOverTextsAndButtons) {
  CCaptionDragger& dragger = m_window.captionDragger();
  const auto pressAt = [](QWidget* widget) {
    const QPoint centre = widget->rect().center();
    QTest::mousePress(widget, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, centre);
  };
  QWidget* text = skin().txtIosDevice1;
  ASSERT_LT(text->mapTo(skin().frame, text->rect().center()).y(), kMainCaptionHeight);

  pressAt(text);
  EXPECT_FALSE(dragger.lastPressMoved());
  pressAt(skin().productName);
  EXPECT_TRUE(dragger.lastPressMoved());
  // A button in the band keeps its press (released outside, so it does not click).
  QTest::mousePress(skin().maxButton, Qt::LeftButton, {}, skin().maxButton->rect().center());
  EXPECT_FALSE(dragger.lastPressMoved());
  QTest::mouseRelease(skin().maxButton, Qt::LeftButton, {}, QPoint(-200, 200));
  EXPECT_FALSE(m_window.isMaximized());
  EXPECT_FALSE(dragger.isDragging());
}

TEST_F(MainWndTest, DoubleClickOnTheCaptionMaximisesAndRestores) {
  QTest::mouseDClick(skin().productName, Qt::LeftButton, {}, skin().productName->rect().center());
  QApplication::processEvents();
  EXPECT_TRUE(m_window.isMaximized());
  EXPECT_FALSE(skin().maxButton->isVisible());
  EXPECT_TRUE(skin().restoreButton->isVisible());

  skin().restoreButton->click();
  QApplication::processEvents();
  EXPECT_FALSE(m_window.isMaximized());
  EXPECT_TRUE(skin().maxButton->isVisible());
  EXPECT_FALSE(skin().restoreButton->isVisible());
}

TEST_F(MainWndTest, RequestsFromAWorkerRunOnTheUiThreadInPostingOrder) {
  skin().pageItunesBackup->setEnabled(false);
  // Device scan, its first progress, then a backup scan. In this order the
  // first progress goes to the device page, which leaves the backup page
  // disabled; any other order would enable it.
  std::thread worker([this] {
    m_window.PostStartScan(CScanVrtWnd::kSourceDevice);
    m_window.PostSourceEvent(CMainWnd::kSourceOpened);
    m_window.PostStartScan(CScanVrtWnd::kSourceLocalBackup);
  });
  worker.join();
  EXPECT_EQ(skin().mainTabPage->currentIndex(), 0);  // nothing runs before the UI thread gets to it
  QApplication::processEvents();
  EXPECT_EQ(skin().mainTabPage->currentIndex(), 1);
  EXPECT_EQ(m_window.scanPage().sourceKind(), CScanVrtWnd::kSourceLocalBackup);
  EXPECT_FALSE(skin().pageItunesBackup->isEnabled());

  m_window.ShowSourcePage();
  m_window.PostSourceEvent(CMainWnd::kSourceOpened);  // now a backup scan: its page comes back
  QApplication::processEvents();
  EXPECT_TRUE(skin().pageItunesBackup->isEnabled());
  EXPECT_EQ(skin().mainTabPage->currentIndex(), 1);
}

TEST_F(MainWndTest, LanguageChangeReappliesTheTexts) {
  auto& section = CLanguageStrings::Instance().GetSection("MainWnd");
  const auto saved = section;
  section["TxtBackupFile2"] = "Sicherung lesen";
  m_window.PostLanguageChanged();
  QApplication::processEvents();
  EXPECT_EQ(skin().txtBackupFile2->text(), "Sicherung lesen");
  section = saved;
}

}  // namespace
}  // namespace scrivel::gui
