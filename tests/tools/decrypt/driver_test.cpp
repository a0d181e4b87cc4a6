// The decryption driver: the real tool on encrypted fixtures, and scripted
// stand-ins for the tool that produce the awkward outputs (split lines, no
// "Count:", a late "Wrong password", a tool that hangs or crashes).
#include "core/backup/backup_decryption.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "core/backup/decryption_tool_protocol.h"
#include "core/common/result_codes.h"
#include "fixtures/backup_encryptor.h"
#include "plain_backup_writer.h"
#include "tool_runner.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;
using decrypt_test::TempFolder;

// A stop answer other than a cancel, which must come back unchanged.
const std::error_code kOtherStop = std::make_error_code(std::errc::interrupted);

// Collects every reported percent; answers `stopAnswer` from report number
// `stopAt` (1-based) on.
struct Recorder {
  std::vector<int> reports;
  int stopAt = 0;
  std::error_code stopAnswer = kCancelled;

  static std::error_code Callback(void* userData, int percent) {
    auto* self = static_cast<Recorder*>(userData);
    self->reports.push_back(percent);
    return self->stopAt != 0 && static_cast<int>(self->reports.size()) >= self->stopAt ? self->stopAnswer
                                                                                        : std::error_code{};
  }
  ScanProgress Progress(int step = kEncryptedBackupStep) {
    ScanProgress progress;
    progress.callback = &Recorder::Callback;
    progress.userData = this;
    progress.step = step;
    return progress;
  }
  // The reports without the repeats sent while the tool is silent.
  std::vector<int> Distinct() const {
    std::vector<int> distinct;
    for (int percent : reports) {
      if (distinct.empty() || distinct.back() != percent) distinct.push_back(percent);
    }
    return distinct;
  }
};

class DecryptBackupTest : public ::testing::Test {
 protected:
  // Writes a stand-in tool: a shell script with `body`, started like the
  // real one ($1 $2 = backup and output folder, the secret on stdin).
  fs::path FakeTool(const std::string& body) {
    const fs::path path = m_root.Path() / ("fake tool " + std::to_string(m_fakeCount++));
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
  }
  DecryptionSetup Setup(const fs::path& tool, std::uint64_t storedFileCount = 100) {
    DecryptionSetup setup;
    setup.toolPath = tool;
    setup.temporaryRoot = m_root.Path() / "temporary root";
    setup.storedFileCount = storedFileCount;
    return setup;
  }
  fs::path BackupFolder() {
    const fs::path folder = m_root.Path() / "my backup folder";
    fs::create_directories(folder);
    return folder;
  }

  TempFolder m_root;
  int m_fakeCount = 0;
};

TEST_F(DecryptBackupTest, CountLinesBecomeProgressWithinTheShare) {
  // "Count: 25" with N = 100 and step 10 reports 1, then 1 + 2 = 3; the end
  // reports progress + step.
  Recorder recorder;
  ScanProgress progress = recorder.Progress();
  fs::path output;
  const std::error_code rc = DecryptBackup(Setup(FakeTool("echo 'Count: 25'")), BackupFolder(), "pw", progress, output);
  EXPECT_FALSE(rc);
  EXPECT_EQ(recorder.Distinct(), (std::vector<int>{1, 3, 11}));
  EXPECT_EQ(progress.progress, 1);
  EXPECT_EQ(output, m_root.Path() / "temporary root" / kDecryptionOutputFolderName);
  EXPECT_TRUE(fs::is_directory(output));
}

TEST_F(DecryptBackupTest, ReadsLinesCutByThePipeAndCapsTheCount) {
  struct Case {
    const char* name;
    std::string script;
    std::error_code result;
    std::vector<int> distinctReports;
  };
  const std::vector<Case> cases = {
      {"count cut in two", "printf 'Cou'; sleep 0.3; printf 'nt: 50\\n'", std::error_code{}, {1, 6, 11}},
      {"wrong password in a second chunk", "echo 'Count: 10'; sleep 0.3; echo 'Wrong password'; exit 3",
       kWrongPassword, {1, 2}},
      {"wrong password cut in two", "printf 'Wrong pa'; sleep 0.3; printf 'ssword\\n'; exit 3", kWrongPassword, {0}},
      {"no Count at all", "echo 'Deriving key'", std::error_code{}, {10}},
      {"more files than counted", "echo 'Count: 250'", std::error_code{}, {1, 11}},
      {"last line without a line feed", "printf 'Count: 100'", std::error_code{}, {1, 11}},
      {"tool fails on the backup", "echo 'Error: Manifest.plist cannot be read'; exit 4", kBadFile, {}},
      {"tool crashes", "echo 'Count: 3'; kill -SEGV $$", kBadFile, {1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Recorder recorder;
    ScanProgress progress = recorder.Progress();
    fs::path output;
    EXPECT_EQ(DecryptBackup(Setup(FakeTool(c.script)), BackupFolder(), "pw", progress, output), c.result);
    std::vector<int> distinct = recorder.Distinct();
    if (!distinct.empty() && distinct.front() == 0 && c.distinctReports.size() > 1) distinct.erase(distinct.begin());
    EXPECT_EQ(distinct, c.distinctReports);
  }
}

TEST_F(DecryptBackupTest, PassesFoldersAsArgumentsAndThePasswordOnStandardInput) {
  const fs::path record = m_root.Path() / "record";
  const fs::path tool = FakeTool("printf '%s|' \"$#\" \"$@\" > '" + record.string() +
                                 "'; cat >> '" + record.string() + "'; echo 'Count: 1'");
  Recorder recorder;
  ScanProgress progress = recorder.Progress();
  fs::path output;
  ASSERT_EQ(DecryptBackup(Setup(tool), BackupFolder(), "pass word; $(rm -rf /)", progress, output), std::error_code{});
  std::ifstream in(record);
  const std::string seen((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(seen, "2|" + BackupFolder().string() + "|" + output.string() + "|pass word; $(rm -rf /)\n");
}

TEST_F(DecryptBackupTest, CancelStopsTheToolAndRemovesItsPartialOutput) {
  // The stand-in writes a partial file, reports once and would then run for a minute.
  const std::string script = "echo partial > \"$2/0123456789abcdef0123456789abcdef01234567\"; echo 'Count: 5'; sleep 60";
  for (bool byFlag : {false, true}) {
    SCOPED_TRACE(byFlag ? "stop flag" : "callback answer");
    Recorder recorder;
    std::atomic<bool> stop{false};
    if (!byFlag) {
      recorder.stopAt = 2;  // the report after the first "Count:" line
      recorder.stopAnswer = kOtherStop;
    }
    DecryptionSetup setup = Setup(FakeTool(script));
    setup.stopRequested = &stop;
    ScanProgress progress = recorder.Progress();
    progress.callback = [](void* userData, int percent) -> std::error_code {
      auto* pair = static_cast<std::pair<Recorder*, std::atomic<bool>*>*>(userData);
      if (pair->first->stopAt == 0 && percent > 0) pair->second->store(true);
      return Recorder::Callback(pair->first, percent);
    };
    std::pair<Recorder*, std::atomic<bool>*> context{&recorder, &stop};
    progress.userData = &context;

    const auto start = std::chrono::steady_clock::now();
    fs::path output;
    const std::error_code rc = DecryptBackup(setup, BackupFolder(), "pw", progress, output);
    EXPECT_EQ(rc, byFlag ? make_error_code(kCancelled) : kOtherStop);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_TRUE(fs::is_empty(output));
  }
}

TEST_F(DecryptBackupTest, MissingToolIsABadFile) {
  Recorder recorder;
  ScanProgress progress = recorder.Progress();
  fs::path output;
  EXPECT_EQ(DecryptBackup(Setup(m_root.Path() / "no such tool"), BackupFolder(), "pw", progress, output), kBadFile);
}

TEST_F(DecryptBackupTest, RealToolDecryptsAndASecondOpeningReusesTheKey) {
  using decrypt_test::PatternBytes;
  const std::vector<decrypt_test::PlainFile> files = {
      {"HomeDomain", "Library/SMS/sms.db", PatternBytes(3000, 1), std::nullopt},
      {"HomeDomain", "Library/empty", {}, std::nullopt},
  };
  decrypt_test::WritePlainBackup(m_root.Path() / "plain", decrypt_test::PlainManifest::kManifestDb, files);
  fixtures::BackupEncryptionOptions options;
  options.password = "secret";
  options.sha256Iterations = 200000;  // slow enough to tell a derivation from a reused key
  const fs::path backup = m_root.Path() / "encrypted";
  ASSERT_FALSE(fixtures::EncryptBackup(m_root.Path() / "plain", backup, options));
  const auto before = decrypt_test::SnapshotFolder(backup);

  DecryptionKeyCache cache;
  DecryptionSetup setup = Setup(decrypt_test::ToolPath(), 4);
  setup.keyCache = &cache;
  Recorder wrong;
  ScanProgress wrongProgress = wrong.Progress();
  fs::path output;
  EXPECT_EQ(DecryptBackup(setup, backup, "Secret", wrongProgress, output), kWrongPassword);
  EXPECT_TRUE(fs::is_empty(output));
  EXPECT_FALSE(cache.Find(backup, "Secret"));

  Recorder right;
  ScanProgress progress = right.Progress();
  ASSERT_FALSE(DecryptBackup(setup, backup, "secret", progress, output));
  EXPECT_EQ(decrypt_test::ReadBytes(output / files[0].FileId()), files[0].contents);
  EXPECT_TRUE(fs::exists(output / files[1].FileId()));
  EXPECT_TRUE(fs::exists(output / kDecryptedManifestName));
  EXPECT_EQ(right.reports.back(), 1 + kEncryptedBackupStep);
  ASSERT_TRUE(cache.Find(backup, "secret"));
  EXPECT_FALSE(cache.Find(backup, "other"));

  // Same folder and password: the kept key opens it; a wrong key kept from an
  // older backup falls back to the password.
  ASSERT_FALSE(DecryptBackup(setup, backup, "secret", progress, output));
  cache.Remember(backup, "secret", std::string(64, '0'));
  ASSERT_FALSE(DecryptBackup(setup, backup, "secret", progress, output));
  EXPECT_NE(cache.Find(backup, "secret"), std::string(64, '0'));
  EXPECT_EQ(decrypt_test::ReadBytes(output / files[0].FileId()), files[0].contents);
  EXPECT_EQ(decrypt_test::SnapshotFolder(backup), before);
}

}  // namespace
}  // namespace scrivel
