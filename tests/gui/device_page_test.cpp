// The device page against the simulated phone: each state the page can show
// (device support missing, waiting, trust, unlock, connected) as the real
// device library reports it, and Start Scan backing the device up and
// scanning it through the scan page, an encrypting device asking for its
// backup password (a wrong one first) without a second backup.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>

#include "fixtures/backup_encryptor.h"
#include "fixtures/sample_backup.h"
#include "fixtures/simulated_phone/simulated_phone_process.h"
#include "gui/app/main_wnd.h"
#include "gui/controls/source_option_ui.h"
#include "gui/dialogs/decryption_wnd.h"
#include "gui/dialogs/message_box.h"

namespace scrivel::gui {
namespace {

namespace fs = std::filesystem;
using State = CIosDeviceVrtWnd::State;

constexpr char kUdid[] = "00008110-000A1B2C3D4E5F60";
constexpr char kPassword[] = "fixture password";
constexpr int kStateTimeoutMs = 10000;
constexpr int kScanTimeoutMs = 120000;

testing::SimulatedDevice Device(const std::string& behaviour, bool encrypts = false) {
  return testing::SimulatedDevice{.udid = kUdid, .name = "Anna's iPhone", .encrypts = encrypts, .behaviour = behaviour};
}

// Answers whatever modal window comes up, in order, from a timer.
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

class DevicePageTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_root = fs::temp_directory_path() / ("scrivel-gui-device-" + std::to_string(std::random_device{}()));
    ASSERT_FALSE(fixtures::BuildSampleBackup(s_root / "plain", {}, nullptr));
    fixtures::BackupEncryptionOptions encryption;
    encryption.password = kPassword;
    ASSERT_FALSE(fixtures::EncryptBackup(s_root / "plain", s_root / "encrypted", encryption));
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(s_root, ignored);
  }

  // A shown main window with the device page in front.
  std::unique_ptr<CMainWnd> OpenWindow() {
    auto window = std::make_unique<CMainWnd>();
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    window->skin().optIosDevice->click();
    return window;
  }

  // Hides the window (the watch pauses), lets `change` swap what the
  // multiplexer says, shows it again and waits for the page to reach `state`.
  static bool ShowsAfter(CMainWnd& window, State state, const std::function<void()>& change) {
    window.hide();
    QTest::qWait(50);
    change();
    window.show();
    return QTest::qWaitFor([&] { return window.devicePage().state() == state; }, kStateTimeoutMs);
  }

  static fs::path s_root;
};

fs::path DevicePageTest::s_root;

TEST_F(DevicePageTest, ShowsEachStateTheMultiplexerAndTheDeviceReport) {
  std::unique_ptr<testing::SimulatedPhoneProcess> phone;
  ::setenv("USBMUXD_SOCKET_ADDRESS", "127.0.0.1:1", 1);  // nothing listens on port 1
  std::unique_ptr<CMainWnd> window = OpenWindow();
  CIosDeviceVrtWnd& page = window->devicePage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.state() == State::kSupportMissing; }, kStateTimeoutMs));
  EXPECT_TRUE(page.watching());
  EXPECT_TRUE(page.detailLabel()->text().contains(QStringLiteral("usbmuxd")));
  EXPECT_FALSE(page.scanButton()->isEnabled());

  const struct {
    const char* behaviour;  // empty: no device
    State state;
    const char* saying;     // a part of the heading
  } cases[] = {
      {"", State::kWaiting, "Waiting"},
      {"trust", State::kTrustNeeded, "Trust"},
      {"passcode", State::kUnlockNeeded, "Unlock"},
      {"refuse", State::kTrustRefused, "does not trust"},
      {"paired", State::kConnected, "Anna's iPhone"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.behaviour);
    ASSERT_TRUE(ShowsAfter(*window, c.state, [&] {
      phone.reset();
      std::vector<testing::SimulatedDevice> devices;
      if (*c.behaviour != '\0') devices.push_back(Device(c.behaviour));
      phone = std::make_unique<testing::SimulatedPhoneProcess>(devices);
      ASSERT_TRUE(phone->Running());
    }));
    EXPECT_TRUE(page.headingLabel()->text().contains(QString::fromUtf8(c.saying))) << page.headingLabel()->text().toStdString();
    EXPECT_EQ(page.scanButton()->isEnabled(), c.state == State::kConnected);
  }
  EXPECT_EQ(page.detailLabel()->text(), QStringLiteral("iPhone · iOS 17.4.1"));
  EXPECT_FALSE(page.deviceChoice()->isVisible());  // one device: nothing to choose

  // Another tab pauses the watch.
  window->skin().optBackupFile->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !page.watching(); }, kStateTimeoutMs));
  window.reset();
  phone.reset();
}

TEST_F(DevicePageTest, StartScanBacksTheDeviceUpAndScansIt) {
  testing::SimulatedBackup backup;
  backup.folder = (s_root / "plain").string();
  const testing::SimulatedPhoneProcess phone({Device("paired")}, backup);
  ASSERT_TRUE(phone.Running());
  std::unique_ptr<CMainWnd> window = OpenWindow();
  CIosDeviceVrtWnd& page = window->devicePage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.scanButton()->isEnabled(); }, kStateTimeoutMs));

  page.scanButton()->click();
  CScanVrtWnd& scan = window->scanPage();
  EXPECT_EQ(window->skin().mainTabPage->currentIndex(), 1);
  EXPECT_FALSE(page.watching());  // the backup has the device alone
  ASSERT_TRUE(QTest::qWaitFor([&] { return scan.scanFinished(); }, kScanTimeoutMs));
  EXPECT_FALSE(scan.lastResult()) << scan.lastResult().message();
  EXPECT_FALSE(scan.data().rows.conversations.empty());
  EXPECT_FALSE(scan.data().results.contacts.empty());
  EXPECT_EQ(scan.sourceKind(), CScanVrtWnd::kSourceDevice);
}

TEST_F(DevicePageTest, ADeviceThatGoesAwayMidBackupIsSaidSoAndThePageWatchesAgain) {
  testing::SimulatedBackup backup;
  backup.folder = (s_root / "plain").string();
  backup.fault = "vanish";
  const testing::SimulatedPhoneProcess phone({Device("paired")}, backup);
  ASSERT_TRUE(phone.Running());
  std::unique_ptr<CMainWnd> window = OpenWindow();
  CIosDeviceVrtWnd& page = window->devicePage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.scanButton()->isEnabled(); }, kStateTimeoutMs));

  ModalScript script;
  QStringList boxes;
  script.Add([&boxes] {
    auto* box = qobject_cast<CMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return false;
    for (QLabel* label : box->findChildren<QLabel*>()) boxes.push_back(label->text());
    box->findChild<QPushButton*>(QStringLiteral("okbtn"))->click();
    return true;
  });
  page.scanButton()->click();
  CScanVrtWnd& scan = window->scanPage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return script.done() && !scan.scanRunning(); }, kScanTimeoutMs));
  EXPECT_TRUE(boxes.join(QString()).contains(QStringLiteral("could not be backed up"))) << boxes.join(QString()).toStdString();
  EXPECT_TRUE(boxes.join(QString()).contains(QStringLiteral("disconnected")));
  EXPECT_EQ(window->skin().mainTabPage->currentIndex(), 0);  // back on the device page
  EXPECT_TRUE(QTest::qWaitFor([&] { return page.watching(); }, kStateTimeoutMs));
  EXPECT_TRUE(scan.data().results.contacts.empty());
}

TEST_F(DevicePageTest, AnEncryptingDeviceAsksForItsPasswordAndIsBackedUpOnce) {
  testing::SimulatedBackup backup;
  backup.folder = (s_root / "encrypted").string();
  backup.logPath = (s_root / "encrypted-device.log").string();
  const testing::SimulatedPhoneProcess phone({Device("paired", true)}, backup);
  ASSERT_TRUE(phone.Running());
  std::unique_ptr<CMainWnd> window = OpenWindow();
  CIosDeviceVrtWnd& page = window->devicePage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return page.scanButton()->isEnabled(); }, kStateTimeoutMs));
  EXPECT_TRUE(page.page()->findChild<QLabel*>(QStringLiteral("LblDeviceNote"))->text().contains(QStringLiteral("password")));

  ModalScript script;
  QStringList boxes;
  script.Add([] {
    auto* password = qobject_cast<CDecryptionWnd*>(QApplication::activeModalWidget());
    if (password == nullptr || !password->isVisible() || password->decrypting()) return false;
    EXPECT_TRUE(password->findChild<QLabel*>(QStringLiteral("Description"))->text().contains(QStringLiteral("Anna")));
    QTest::keyClicks(password->passwordEdit(), QStringLiteral("not the password"));
    password->okButton()->click();
    return true;
  });
  script.Add([&boxes] {
    auto* box = qobject_cast<CMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return false;
    for (QLabel* label : box->findChildren<QLabel*>()) boxes.push_back(label->text());
    box->findChild<QPushButton*>(QStringLiteral("okbtn"))->click();
    return true;
  });
  script.Add([] {
    auto* password = qobject_cast<CDecryptionWnd*>(QApplication::activeModalWidget());
    if (password == nullptr || password->decrypting()) return false;
    QTest::keyClicks(password->passwordEdit(), QString::fromLatin1(kPassword));
    password->okButton()->click();
    return true;
  });
  QTimer::singleShot(0, window.get(), [&page] { page.scanButton()->click(); });
  CScanVrtWnd& scan = window->scanPage();
  ASSERT_TRUE(QTest::qWaitFor([&] { return script.done() && scan.scanFinished() && !scan.scanRunning(); },
                              kScanTimeoutMs));
  EXPECT_TRUE(boxes.join(QString()).contains(QStringLiteral("password"), Qt::CaseInsensitive));
  EXPECT_FALSE(scan.lastResult()) << scan.lastResult().message();
  EXPECT_FALSE(scan.data().results.contacts.empty());
  EXPECT_EQ(window->skin().mainTabPage->currentIndex(), 1);

  // One backup for both tries: the sync lock was taken once.
  std::ifstream log(backup.logPath);
  int locks = 0;
  for (std::string line; std::getline(log, line);) locks += line == "lock" ? 1 : 0;
  EXPECT_EQ(locks, 1);
}

}  // namespace
}  // namespace scrivel::gui
