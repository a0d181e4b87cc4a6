// The whole flow through the real application window, on generated sample
// backups: pick the backup on the backup page, scan it, open Messages,
// check two conversations, export them into a temporary folder, and find
// exactly those conversations in the written files. The encrypted sample
// is first given a wrong password, then the right one.
//
// Modal windows (password, message boxes, export) are answered by a script
// that a timer runs inside whichever event loop is active.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QLineEdit>
#include <QMimeData>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QUrl>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>

#include "core/backup/backup_locations.h"
#include "core/common/result_codes.h"
#include "fixtures/backup_encryptor.h"
#include "fixtures/sample_backup.h"
#include "gui/app/main_wnd.h"
#include "gui/controls/source_option_ui.h"
#include "gui/controls/file_tree_ui.h"
#include "gui/controls/result_list_view.h"
#include "gui/dialogs/decryption_wnd.h"
#include "gui/dialogs/message_box.h"
#include "gui/dialogs/print_wnd.h"
#include "gui/dialogs/recover_process_wnd.h"
#include "gui/models/result_filter_proxy.h"
#include "gui/models/result_list_model.h"
#include "gui/pages/preview_vrt_wnd.h"

#include <QListView>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTextDocument>

namespace scrivel::gui {
namespace {

namespace fs = std::filesystem;

constexpr char kPassword[] = "fixture password";
constexpr int kScanTimeoutMs = 120000;

// Steps run in order by a timer; each returns true once it has acted.
class ModalScript : public QObject {
 public:
  ModalScript() {
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, [this] {
      if (!m_steps.empty() && m_steps.front()()) m_steps.erase(m_steps.begin());
    });
    m_timer.start();
  }
  void Add(std::function<bool()> step) { m_steps.push_back(std::move(step)); }
  bool done() const { return m_steps.empty(); }

 private:
  QTimer m_timer;
  std::vector<std::function<bool()>> m_steps;
};

template <typename Window>
Window* ActiveModal() {
  return qobject_cast<Window*>(QApplication::activeModalWidget());
}

bool ClickOkOfMessageBox(QStringList* texts) {
  auto* box = ActiveModal<CMessageBox>();
  if (box == nullptr || !box->isVisible()) return false;
  for (QLabel* label : box->findChildren<QLabel*>()) texts->push_back(label->text());
  box->findChild<QPushButton*>(QStringLiteral("okbtn"))->click();
  return true;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class RecoveryFlowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::random_device random;
    s_root = fs::temp_directory_path() / ("scrivel-gui-flow-" + std::to_string(random()));
    const fs::path appData = s_root / "data";
    fs::create_directories(appData);
    const char* previous = std::getenv("XDG_DATA_HOME");
    s_previousDataHome = previous != nullptr ? previous : "";
    s_hadDataHome = previous != nullptr;
    setenv("XDG_DATA_HOME", appData.c_str(), 1);
    const fs::path backups = BackupsRootIn(appData);
    ASSERT_FALSE(fixtures::BuildSampleBackup(backups / "plain", {}, nullptr));
    fixtures::BackupEncryptionOptions encryption;
    encryption.password = kPassword;
    ASSERT_FALSE(fixtures::EncryptBackup(backups / "plain", backups / "locked", encryption));
    // The locked copy's ground truth lies beside the plain one only.
  }
  static void TearDownTestSuite() {
    if (s_hadDataHome) {
      setenv("XDG_DATA_HOME", s_previousDataHome.c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
    std::error_code ignored;
    fs::remove_all(s_root, ignored);
  }

  // Shows the backup page and selects the listed backup in `folderName`.
  void SelectBackup(CMainWnd& window, const std::string& folderName) {
    window.skin().optBackupFile->click();
    CItunesBackupVrtWnd& page = window.backupPage();
    ASSERT_EQ(page.backups().size(), 2u);
    for (int i = 0; i < page.list()->topLevelItemCount(); ++i) {
      QTreeWidgetItem* row = page.list()->topLevelItem(i);
      const auto& info = page.backups()[static_cast<std::size_t>(row->data(0, Qt::UserRole).toInt())];
      if (fs::path(info.folderPath).filename() == folderName) {
        page.list()->setCurrentItem(row);
        EXPECT_EQ(info.encrypted, folderName == "locked");
        return;
      }
    }
    FAIL() << "no backup " << folderName << " in the list";
  }

  // Checks exactly the first two conversations of Messages, through the
  // tree (uncheck all) and the list (select two rows, Space).
  std::vector<const MessageItem*> CheckTwoConversations(CMainWnd& window) {
    CScanVrtWnd& scan = window.scanPage();
    scan.tree().setCurrentItem(scan.categoryNode(CategoryKind::kMessages));
    EXPECT_EQ(scan.listModel().kind(), CategoryKind::kMessages);
    const int rows = scan.listModel().rowCount();
    EXPECT_GT(rows, 2);
    for (int i = 0; i < scan.tree().topLevelItemCount(); ++i) scan.tree().SetNodeChecked(scan.tree().topLevelItem(i), false);
    EXPECT_EQ(scan.data().statistics.SelectedCount(), 0u);
    EXPECT_FALSE(scan.recoveryButton().isEnabled());

    CResultListView& view = scan.listView();
    view.setFocus();
    view.selectionModel()->select(QItemSelection(scan.listProxy().index(0, 0), scan.listProxy().index(1, 0)),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QTest::keyClick(&view, Qt::Key_Space);
    EXPECT_EQ(scan.data().statistics.SelectedCount(), 2u);
    EXPECT_EQ(scan.categoryNode(CategoryKind::kMessages)->checkState(0), Qt::PartiallyChecked);
    EXPECT_TRUE(scan.recoveryButton().isEnabled());
    EXPECT_TRUE(scan.statisticsLabel().text().contains(QStringLiteral("(2 items)"))) << scan.statisticsLabel().text().toStdString();

    std::vector<const MessageItem*> checked;
    for (int row = 0; row < 2; ++row) {
      const QModelIndex source = scan.listProxy().mapToSource(scan.listProxy().index(row, 0));
      checked.push_back(scan.listModel().RecordAt<MessageItem>(source.row()));
    }
    return checked;
  }

  // Exports into a fresh folder through the export window and checks that
  // the written conversations are exactly the checked ones.
  void ExportAndCheck(CMainWnd& window, const std::vector<const MessageItem*>& checked, const std::string& name) {
    const fs::path out = s_root / name;
    ModalScript script;
    QStringList boxes;
    bool sawWindow = false;
    script.Add([&] {
      if (ActiveModal<CMessageBox>() != nullptr) return ClickOkOfMessageBox(&boxes);
      auto* exportWindow = ActiveModal<CRecoverProcessWnd>();
      if (exportWindow == nullptr || !exportWindow->finished()) return false;
      sawWindow = true;
      EXPECT_EQ(exportWindow->counters().failed, 0);
      EXPECT_EQ(exportWindow->counters().total, 2);
      EXPECT_GT(exportWindow->resultList()->topLevelItemCount(), 0);
      exportWindow->finishButton()->click();
      return true;
    });
    window.scanPage().StartExport(QString::fromStdString(out.string()));
    EXPECT_TRUE(sawWindow);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(QStringLiteral(" | ")).toStdString();

    // One folder per exported conversation, each with its text file.
    std::vector<std::string> texts;
    for (const auto& entry : fs::directory_iterator(out / "Message")) {
      if (!entry.is_directory()) continue;
      for (const auto& file : fs::directory_iterator(entry.path())) {
        if (file.path().extension() == ".txt") texts.push_back(ReadFile(file.path()));
      }
    }
    ASSERT_EQ(texts.size(), 2u);
    for (const MessageItem* row : checked) {
      const std::string line = row->text.substr(0, row->text.find_first_of("\r\n"));
      const bool found = std::any_of(texts.begin(), texts.end(),
                                     [&line](const std::string& text) { return text.find(line) != std::string::npos; });
      EXPECT_TRUE(found) << "conversation with " << row->address << " not exported";
    }
    EXPECT_TRUE(fs::exists(out / "index.html"));
  }

  static fs::path s_root;
  static std::string s_previousDataHome;
  static bool s_hadDataHome;
};

fs::path RecoveryFlowTest::s_root;
std::string RecoveryFlowTest::s_previousDataHome;
bool RecoveryFlowTest::s_hadDataHome = false;

TEST_F(RecoveryFlowTest, PlainBackupScanCheckTwoConversationsExport) {
  CMainWnd window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  SelectBackup(window, "plain");

  window.backupPage().scanButton()->click();
  CScanVrtWnd& scan = window.scanPage();
  EXPECT_EQ(window.skin().mainTabPage->currentIndex(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.scanFinished(); }, kScanTimeoutMs));
  EXPECT_FALSE(scan.lastResult());
  EXPECT_EQ(scan.progressBar().value(), 100);
  EXPECT_FALSE(scan.data().rows.conversations.empty());
  EXPECT_TRUE(scan.categoryNode(CategoryKind::kMessages)->text(0).contains(QStringLiteral("deleted")));

  const std::vector<const MessageItem*> checked = CheckTwoConversations(window);
  ASSERT_EQ(checked.size(), 2u);
  ExportAndCheck(window, checked, "export-plain");
}

TEST_F(RecoveryFlowTest, EncryptedBackupWrongPasswordThenRightOne) {
  CMainWnd window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  SelectBackup(window, "locked");

  ModalScript script;
  QStringList boxes;
  script.Add([] {
    auto* password = ActiveModal<CDecryptionWnd>();
    if (password == nullptr || !password->isVisible() || password->decrypting()) return false;
    QTest::keyClicks(password->passwordEdit(), QStringLiteral("not the password"));
    password->okButton()->click();
    return true;
  });
  script.Add([&] { return ClickOkOfMessageBox(&boxes); });  // the wrong-password answer
  script.Add([] {
    auto* password = ActiveModal<CDecryptionWnd>();
    if (password == nullptr || password->decrypting()) return false;
    EXPECT_TRUE(password->passwordEdit()->text().isEmpty());  // nothing of the wrong try is left
    QTest::keyClicks(password->passwordEdit(), QString::fromLatin1(kPassword));
    QTest::keyClick(password->passwordEdit(), Qt::Key_Return);
    return true;
  });
  QTimer::singleShot(0, &window, [&window] { window.backupPage().scanButton()->click(); });
  CScanVrtWnd& scan = window.scanPage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return script.done() && scan.scanFinished() && !scan.scanRunning(); }, kScanTimeoutMs));
  EXPECT_TRUE(boxes.join(QString()).contains(QStringLiteral("password"), Qt::CaseInsensitive));
  EXPECT_FALSE(scan.lastResult());
  EXPECT_EQ(window.skin().mainTabPage->currentIndex(), 1);

  const std::vector<const MessageItem*> checked = CheckTwoConversations(window);
  ASSERT_EQ(checked.size(), 2u);
  ExportAndCheck(window, checked, "export-locked");
}

TEST_F(RecoveryFlowTest, PausedScanHoldsThenStopsAfterTheQuestionAndIsJoined) {
  CMainWnd window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  SelectBackup(window, "plain");
  CScanVrtWnd& scan = window.scanPage();
  auto* pause = scan.page()->findChild<QPushButton*>(QStringLiteral("BtnScanPause"));
  auto* stop = scan.page()->findChild<QPushButton*>(QStringLiteral("BtnScanStop"));

  window.backupPage().scanButton()->click();
  pause->click();  // the worker holds at its next progress report
  ASSERT_TRUE(scan.scanRunning());
  QTest::qWait(300);
  const int heldAt = scan.progressBar().value();
  QTest::qWait(300);
  EXPECT_TRUE(scan.scanRunning());
  EXPECT_EQ(scan.progressBar().value(), heldAt);
  EXPECT_FALSE(scan.scanFinished());

  // Stop asks; "no" leaves the scan paused where it was.
  ModalScript script;
  QStringList boxes;
  script.Add([&] {
    auto* box = ActiveModal<CMessageBox>();
    if (box == nullptr) return false;
    box->findChild<QPushButton*>(QStringLiteral("cancelbtn"))->click();
    return true;
  });
  stop->click();
  EXPECT_TRUE(script.done());
  EXPECT_TRUE(scan.scanRunning());
  EXPECT_EQ(scan.progressBar().value(), heldAt);

  // "Yes" stops it; the thread is joined and the page shows what was found.
  script.Add([&] { return ClickOkOfMessageBox(&boxes); });
  stop->click();
  EXPECT_FALSE(scan.scanRunning());
  EXPECT_TRUE(scan.scanFinished());
  EXPECT_EQ(scan.lastResult(), kCancelled);
  EXPECT_TRUE(scan.page()->findChild<QPushButton*>(QStringLiteral("BtnHome"))->isEnabled());
}

TEST_F(RecoveryFlowTest, ClosingDuringAPausedScanAsksAndDestroyingTheWindowJoinsTheWorker) {
  auto window = std::make_unique<CMainWnd>();
  window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  SelectBackup(*window, "plain");
  window->backupPage().scanButton()->click();
  window->scanPage().page()->findChild<QPushButton*>(QStringLiteral("BtnScanPause"))->click();
  ASSERT_TRUE(window->scanPage().scanRunning());

  ModalScript script;
  bool asked = false;
  script.Add([&] {
    auto* box = ActiveModal<CMessageBox>();
    if (box == nullptr) return false;
    asked = true;
    box->findChild<QPushButton*>(QStringLiteral("cancelbtn"))->click();  // stay
    return true;
  });
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(asked);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->scanPage().scanRunning());
  window.reset();  // the paused worker is released and joined, not left running
}

TEST_F(RecoveryFlowTest, FoldersFromTheCommandLineOrADrop) {
  CMainWnd window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

  // A folder without a backup gets an error box and changes nothing.
  ModalScript script;
  QStringList boxes;
  script.Add([&] { return ClickOkOfMessageBox(&boxes); });
  window.OpenBackupFolder(QString::fromStdString(s_root.string()), true);
  EXPECT_TRUE(script.done());
  EXPECT_TRUE(boxes.join(QString()).contains(QStringLiteral("no backup")));
  EXPECT_EQ(window.backupPage().backups().size(), 2u);
  EXPECT_FALSE(window.scanPage().scanRunning());
  EXPECT_EQ(window.skin().tabPage->currentIndex(), 1);  // the backup page is shown

  // A dropped backup folder is selected, not scanned; a dropped file is refused.
  const fs::path plain = BackupsRootIn(s_root / "data") / "plain";
  window.backupPage().list()->setCurrentItem(nullptr);
  const auto drop = [&window](const fs::path& path) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path.string()))});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent dropped(QPointF(300, 300), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropped);
    QApplication::processEvents();
    return true;
  };
  EXPECT_FALSE(drop(plain / "Info.plist"));
  ASSERT_TRUE(drop(plain));
  ASSERT_EQ(window.backupPage().list()->selectedItems().size(), 1);
  const int selected = window.backupPage().list()->selectedItems().front()->data(0, Qt::UserRole).toInt();
  EXPECT_EQ(window.backupPage().backups()[static_cast<std::size_t>(selected)].folderPath, plain.string());
  EXPECT_FALSE(window.scanPage().scanRunning());

  // "scrivel --scan BACKUP_DIR": the known backup is selected and scanned.
  window.OpenBackupFolder(QString::fromStdString(plain.string()), true);
  EXPECT_EQ(window.backupPage().backups().size(), 2u);
  EXPECT_EQ(window.skin().mainTabPage->currentIndex(), 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return window.scanPage().scanFinished(); }, kScanTimeoutMs));
  EXPECT_EQ(window.scanPage().backup().folderPath, plain.string());
}

TEST_F(RecoveryFlowTest, SelectingARowPreviewsItAndANewSelectionStopsTheLastMedia) {
  CMainWnd window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.OpenBackupFolder(QString::fromStdString((BackupsRootIn(s_root / "data") / "plain").string()), true);
  CScanVrtWnd& scan = window.scanPage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.scanFinished(); }, kScanTimeoutMs));
  CPreviewVrtWnd& preview = window.previewPane();

  const auto select = [&](CategoryKind kind, int row) {
    scan.tree().setCurrentItem(scan.categoryNode(kind));
    scan.listView().setCurrentIndex(scan.listProxy().index(row, 0));
  };
  using View = CPreviewVrtWnd::View;
  struct Case {
    CategoryKind kind;
    View view;
  };
  const Case cases[] = {
      {CategoryKind::kMessages, View::kBubbles}, {CategoryKind::kWhatsApp, View::kBubbles},
      {CategoryKind::kContacts, View::kContact}, {CategoryKind::kNotes, View::kText},
      {CategoryKind::kCallHistory, View::kText},
  };
  for (const Case& c : cases) {
    select(c.kind, 0);
    EXPECT_EQ(preview.view(), c.view) << static_cast<int>(c.kind);
  }
  // Keyboard: Ctrl+F goes to the search box, Enter there filters at once;
  // Enter on a row opens it.
  select(CategoryKind::kContacts, 0);
  const int allContacts = scan.listProxy().rowCount();
  scan.listView().setFocus();
  QTest::keyClick(&scan.listView(), Qt::Key_F, Qt::ControlModifier);
  EXPECT_TRUE(scan.searchBox().hasFocus());
  const auto* first = scan.listModel().RecordAt<ContactItem>(0);
  QTest::keyClicks(&scan.searchBox(), QString::fromStdString(first->name));
  QTest::keyClick(&scan.searchBox(), Qt::Key_Return);
  EXPECT_GT(scan.listProxy().rowCount(), 0);
  EXPECT_LT(scan.listProxy().rowCount(), allContacts);
  scan.searchBox().clear();
  QTest::keyClick(&scan.searchBox(), Qt::Key_Return);
  EXPECT_EQ(scan.listProxy().rowCount(), allContacts);
  scan.tree().setCurrentItem(scan.categoryNode(CategoryKind::kAppPhotos));
  scan.listView().setFocus();
  scan.listView().setCurrentIndex(scan.listProxy().index(0, 0));
  QTest::keyClick(&scan.listView(), Qt::Key_Return);  // into the first app's folder
  EXPECT_EQ(scan.listModel().level(), CResultListModel::Level::kAppFiles);

  // The bubbles are the whole conversation of the row.
  select(CategoryKind::kMessages, 0);
  const auto* row = scan.listModel().RecordAt<MessageItem>(scan.listProxy().mapToSource(scan.listProxy().index(0, 0)).row());
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(static_cast<std::size_t>(preview.bubbleList()->model()->rowCount()),
            scan.data().results.messages.at(row->handleId).size());

  // A picture is copied and scaled off the user-interface thread, then shown.
  const std::vector<FileItem>& photos = scan.data().results.cameraRoll;
  const auto jpg = std::find_if(photos.begin(), photos.end(),
                                [](const FileItem& f) { return QString::fromStdString(f.name).endsWith(".JPG", Qt::CaseInsensitive); });
  ASSERT_NE(jpg, photos.end());
  QSignalSpy shown(&preview, &CPreviewVrtWnd::mediaShown);
  select(CategoryKind::kCameraRoll, static_cast<int>(jpg - photos.begin()));
  ASSERT_TRUE(shown.count() > 0 || shown.wait(10000));
  EXPECT_EQ(preview.view(), View::kPicture);
  EXPECT_FALSE(preview.shownPicture().isNull());

  // A video loads into the player; selecting a contact stops it and lets the file go.
  const auto video = std::find_if(photos.begin(), photos.end(), [](const FileItem& f) {
    const QString name = QString::fromStdString(f.name);
    return name.endsWith(".MOV", Qt::CaseInsensitive) || name.endsWith(".MP4", Qt::CaseInsensitive);
  });
  ASSERT_NE(video, photos.end());
  shown.clear();
  select(CategoryKind::kCameraRoll, static_cast<int>(video - photos.begin()));
  ASSERT_TRUE(shown.count() > 0 || shown.wait(10000));
  EXPECT_EQ(preview.view(), View::kMedia);
  ASSERT_NE(preview.player(), nullptr);
  EXPECT_FALSE(preview.player()->source().isEmpty());
  select(CategoryKind::kContacts, 0);
  EXPECT_EQ(preview.view(), View::kContact);
  EXPECT_TRUE(preview.player()->source().isEmpty());
  EXPECT_EQ(preview.player()->playbackState(), QMediaPlayer::StoppedState);
}

TEST_F(RecoveryFlowTest, PrintWindowShowsTheCheckedCallsAndWritesAPdf) {
  CMainWnd window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  window.OpenBackupFolder(QString::fromStdString((BackupsRootIn(s_root / "data") / "plain").string()), true);
  CScanVrtWnd& scan = window.scanPage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.scanFinished(); }, kScanTimeoutMs));

  scan.tree().setCurrentItem(scan.categoryNode(CategoryKind::kCallHistory));
  scan.tree().SetNodeChecked(scan.categoryNode(CategoryKind::kCallHistory), false);
  const std::vector<CallItem>& calls = scan.data().results.calls;
  // Two calls with different numbers, and a third number that is not checked.
  std::vector<int> rows;
  std::set<std::string> numbers;
  for (int i = 0; i < static_cast<int>(calls.size()) && rows.size() < 2; ++i) {
    if (!calls[static_cast<std::size_t>(i)].address.empty() && numbers.insert(calls[static_cast<std::size_t>(i)].address).second) rows.push_back(i);
  }
  ASSERT_EQ(rows.size(), 2u);
  const auto unchecked = std::find_if(calls.begin(), calls.end(), [&](const CallItem& c) {
    return !c.address.empty() && numbers.count(c.address) == 0;
  });
  ASSERT_NE(unchecked, calls.end());
  scan.listModel().SetRowsChecked(rows, true);

  CPrintWnd print(scan.data(), CategoryKind::kCallHistory, false, window.engine().WorkFolder().string());
  print.Create(&window, 800, 600);
  print.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return print.pageReady(); }, 30000));
  const QString page = print.document()->toPlainText();
  for (const std::string& number : numbers) EXPECT_TRUE(page.contains(QString::fromStdString(number))) << number;
  EXPECT_FALSE(page.contains(QString::fromStdString(unchecked->address)));

  const fs::path pdf = s_root / "calls.pdf";
  ASSERT_TRUE(print.SaveAsPdf(QString::fromStdString(pdf.string())));
  EXPECT_EQ(ReadFile(pdf).substr(0, 5), "%PDF-");
  print.hide();
}

}  // namespace
}  // namespace scrivel::gui
