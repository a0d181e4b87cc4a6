// One instance per user: a later start asks the running one to show its
// window, or learns that it has none yet; a stale socket does not block a
// new start; and the real application's second start exits 0.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <future>
#include <random>

#include "gui/app/single_instance.h"

namespace scrivel::gui {
namespace {

// A private folder (mode 0700, as a runtime folder must be), removed at the end.
class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    m_path = std::filesystem::temp_directory_path() / ("scrivel-test-gui-" + std::to_string(random()));
    std::filesystem::create_directories(m_path);
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  QString file(const char* name) const { return QString::fromStdString((m_path / name).string()); }
  QString path() const { return QString::fromStdString(m_path.string()); }

 private:
  std::filesystem::path m_path;
};

// Asks on a worker thread while this thread serves the running instance.
RunningInstance AskWhileServing(const QString& serverName) {
  auto answer = std::async(std::launch::async, [serverName] { return AskRunningInstanceToShow(serverName, 5000); });
  while (answer.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
    QApplication::processEvents();
  }
  return answer.get();
}

TEST(SingleInstanceTest, FirstClaimsLaterStartsReachIt) {
  TempFolder folder;
  const QString name = folder.file("instance.socket");
  EXPECT_EQ(AskRunningInstanceToShow(name, 500), RunningInstance::kNone);

  CSingleInstance first(name);
  ASSERT_EQ(first.ClaimOrNotify(), CSingleInstance::Claim::kFirst);
  EXPECT_TRUE(first.isListening());

  // No window yet: the later start hears "starting".
  EXPECT_EQ(AskWhileServing(name), RunningInstance::kHasNoWindow);

  // With a hidden (or minimised) window: it is shown normally.
  QWidget window;
  window.showMinimized();
  window.hide();
  first.SetWindow(&window);
  EXPECT_EQ(AskWhileServing(name), RunningInstance::kShownWindow);
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
}

TEST(SingleInstanceTest, StaleSocketFileDoesNotBlockANewStart) {
  TempFolder folder;
  const QString name = folder.file("instance.socket");
  {
    QFile stale(name);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  }
  CSingleInstance instance(name);
  EXPECT_EQ(instance.ClaimOrNotify(500), CSingleInstance::Claim::kFirst);
  EXPECT_TRUE(instance.isListening());
}

TEST(SingleInstanceTest, SecondStartOfTheApplicationRaisesTheFirstAndExitsZero) {
  TempFolder folder;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert("QT_QPA_PLATFORM", "offscreen");
  environment.insert("XDG_RUNTIME_DIR", folder.path());
  environment.insert("XDG_DATA_HOME", folder.path());
  const QString program = QStringLiteral(SCRIVEL_TEST_BIN_DIR "/scrivel");

  QProcess first;
  first.setProcessEnvironment(environment);
  first.start(program, {});
  ASSERT_TRUE(first.waitForStarted(10000));
  // Wait until the first has its window and says so.
  const QString socket = folder.file("Vantoric_iOS_Recovery.socket");
  bool firstReady = false;
  for (int attempt = 0; attempt < 100 && !firstReady; ++attempt) {
    firstReady = QFile::exists(socket) && AskRunningInstanceToShow(socket, 2000) == RunningInstance::kShownWindow;
    if (!firstReady) QTest::qWait(100);
  }
  ASSERT_TRUE(firstReady);

  QProcess second;
  second.setProcessEnvironment(environment);
  second.start(program, {});
  ASSERT_TRUE(second.waitForFinished(15000));
  EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(first.state(), QProcess::Running);

  first.terminate();
  if (!first.waitForFinished(5000)) {
    first.kill();
    first.waitForFinished(5000);
  }
}

}  // namespace
}  // namespace scrivel::gui
