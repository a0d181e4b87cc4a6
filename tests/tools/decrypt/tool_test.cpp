// Runs the built decryption tool over backups that the fixture encryptor
// made from plain backups with known contents.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <string>
#include <vector>

#include "core/backup/decryption_tool_protocol.h"
#include "core/crypto/hex.h"
#include "fixtures/backup_encryptor.h"
#include "fixtures/sample_backup.h"
#include "fixtures/sqlite_handles.h"
#include "plain_backup_writer.h"
#include "tool_runner.h"

namespace scrivel::decrypt_test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const std::string kPassword = "correct horse";

struct Generation {
  const char* name;
  PlainManifest manifest;
  std::uint32_t sha256Iterations;  // 0: single-stage keybag
  bool encryptManifestDb;
};

const Generation kGenerations[] = {
    {"iOS 10.2 and later", PlainManifest::kManifestDb, 8, true},
    {"iOS 10.0 and 10.1", PlainManifest::kManifestDb, 0, false},
    {"iOS 4 to 9", PlainManifest::kManifestMbdb, 0, false},
};

// Files of every length from 0 to 127 bytes, and one of several megabytes.
std::vector<PlainFile> FilesOfEverySize() {
  std::vector<PlainFile> files;
  for (std::size_t size = 0; size < 128; ++size) {
    files.push_back({"HomeDomain", "Library/Sizes/" + std::to_string(size), PatternBytes(size, 1), std::nullopt});
  }
  files.push_back({"CameraRollDomain", "Media/DCIM/100APPLE/IMG_0001.MOV", PatternBytes((3u << 20) + 3, 2),
                   std::nullopt});
  return files;
}

// A plain backup of `files` and its encrypted copy.
class EncryptedBackup {
 public:
  EncryptedBackup(const Generation& generation, const std::vector<PlainFile>& files) : m_files(files) {
    WritePlainBackup(m_root.Path() / "plain", generation.manifest, files);
    fixtures::BackupEncryptionOptions options;
    options.password = kPassword;
    options.sha256Iterations = generation.sha256Iterations;
    options.encryptManifestDb = generation.encryptManifestDb;
    EXPECT_FALSE(fixtures::EncryptBackup(m_root.Path() / "plain", backup(), options)) << generation.name;
  }
  fs::path backup() const { return m_root.Path() / "encrypted backup"; }
  fs::path output() const { return m_root.Path() / "output"; }
  const std::vector<PlainFile>& files() const { return m_files; }

  ToolResult Run(const std::string& secret, std::vector<std::string> options = {}) const {
    options.push_back(backup().string());
    options.push_back(output().string());
    return RunTool(options, secret + "\n");
  }

 private:
  TempFolder m_root;
  std::vector<PlainFile> m_files;
};

std::size_t CountStoredFiles(const fs::path& output) {
  std::size_t count = 0;
  if (!fs::exists(output)) return 0;
  for (const auto& entry : fs::directory_iterator(output)) count += entry.path().filename().string().size() == 40;
  return count;
}

TEST(DecryptToolTest, RoundTripsEveryGeneration) {
  for (const Generation& generation : kGenerations) {
    SCOPED_TRACE(generation.name);
    EncryptedBackup backup(generation, FilesOfEverySize());
    const auto before = SnapshotFolder(backup.backup());

    const ToolResult result = backup.Run(kPassword);
    EXPECT_EQ(result.exitCode, kToolExitOk) << result.output;
    EXPECT_EQ(result.LastCount(), backup.files().size());
    EXPECT_TRUE(result.HasLineStartingWith("Done: "));
    for (const PlainFile& file : backup.files()) {
      const fs::path copy = backup.output() / file.FileId();
      ASSERT_TRUE(fs::is_regular_file(copy)) << file.relativePath;
      EXPECT_EQ(ReadBytes(copy), file.contents) << file.relativePath;
    }
    EXPECT_EQ(CountStoredFiles(backup.output()), backup.files().size());  // folders and links get no file
    const bool hasManifestDb = generation.manifest == PlainManifest::kManifestDb;
    EXPECT_EQ(fs::exists(backup.output() / kDecryptedManifestName), hasManifestDb);
    EXPECT_EQ(SnapshotFolder(backup.backup()), before);  // the backup folder is only read
  }
}

TEST(DecryptToolTest, SampleBackupsOfBothLayoutsDecryptToTheirPlainFiles) {
  for (const fixtures::StoreLayout layout : {fixtures::StoreLayout::Modern, fixtures::StoreLayout::Legacy}) {
    SCOPED_TRACE(layout == fixtures::StoreLayout::Modern ? "modern" : "legacy");
    TempFolder root;
    fixtures::SampleBackupOptions sample;
    sample.layout = layout;
    ASSERT_FALSE(fixtures::BuildSampleBackup(root.Path() / "plain", sample, nullptr));
    fixtures::BackupEncryptionOptions options;
    options.password = kPassword;
    ASSERT_FALSE(fixtures::EncryptBackup(root.Path() / "plain", root.Path() / "encrypted", options));

    const ToolResult result =
        RunTool({(root.Path() / "encrypted").string(), (root.Path() / "output").string()}, kPassword + "\n");
    ASSERT_EQ(result.exitCode, kToolExitOk) << result.output;
    std::size_t compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root.Path() / "plain")) {
      const std::string name = entry.path().filename().string();
      if (!entry.is_regular_file() || !crypto::IsFileIdentifier(name)) continue;
      EXPECT_EQ(ReadBytes(root.Path() / "output" / name), ReadBytes(entry.path())) << name;
      ++compared;
    }
    EXPECT_GT(compared, 5u);
    EXPECT_EQ(result.LastCount(), compared);
  }
}

TEST(DecryptToolTest, WrongPasswordIsReportedAndWritesNoFiles) {
  for (const Generation& generation : kGenerations) {
    SCOPED_TRACE(generation.name);
    EncryptedBackup backup(generation, {{"HomeDomain", "Library/a", PatternBytes(40, 3), std::nullopt}});
    const ToolResult result = backup.Run("Correct horse");
    EXPECT_EQ(result.exitCode, kToolExitWrongPassword);
    EXPECT_TRUE(result.HasLine("Wrong password")) << result.output;
    EXPECT_EQ(CountStoredFiles(backup.output()), 0u);
  }
}

TEST(DecryptToolTest, PrintedKeyOpensTheBackupAgainWithoutThePassword) {
  EncryptedBackup backup(kGenerations[0], {{"HomeDomain", "Library/a", PatternBytes(1000, 4), std::nullopt}});
  const ToolResult first = backup.Run(kPassword, {std::string(kToolOptionPrintKey)});
  ASSERT_EQ(first.exitCode, kToolExitOk) << first.output;
  EXPECT_TRUE(first.HasLine("Deriving key"));
  const std::size_t at = first.output.find("Key: ");
  ASSERT_NE(at, std::string::npos);
  const std::string key = first.output.substr(at + 5, 64);
  fs::remove_all(backup.output());

  const ToolResult second = backup.Run(key, {std::string(kToolOptionKeyStdin)});
  EXPECT_EQ(second.exitCode, kToolExitOk) << second.output;
  EXPECT_FALSE(second.HasLine("Deriving key"));
  EXPECT_EQ(ReadBytes(backup.output() / backup.files()[0].FileId()), backup.files()[0].contents);

  std::string otherKey = key;
  otherKey[0] = otherKey[0] == '0' ? '1' : '0';
  EXPECT_EQ(backup.Run(otherKey, {std::string(kToolOptionKeyStdin)}).exitCode, kToolExitWrongPassword);
  EXPECT_EQ(backup.Run("not hex", {std::string(kToolOptionKeyStdin)}).exitCode, kToolExitUsage);
}

TEST(DecryptToolTest, ReportsDamagedMissingAndMisSizedFilesAndKeepsTheRest) {
  std::vector<PlainFile> files = {
      {"HomeDomain", "Library/cut", PatternBytes(100, 5), std::nullopt},
      {"HomeDomain", "Library/garbled", PatternBytes(100, 6), std::nullopt},
      {"HomeDomain", "Library/missing", PatternBytes(100, 7), std::nullopt},
      {"HomeDomain", "Library/sms.db", PatternBytes(4096, 8), 4000},  // the manifest's Size is wrong
      {"HomeDomain", "Library/fine", PatternBytes(33, 9), std::nullopt},
  };
  for (const Generation& generation : kGenerations) {
    SCOPED_TRACE(generation.name);
    EncryptedBackup backup(generation, files);
    auto stored = [&](std::size_t index) {
      const std::string id = files[index].FileId();
      const fs::path nested = backup.backup() / id.substr(0, 2) / id;
      return fs::exists(nested) ? nested : backup.backup() / id;
    };
    fs::resize_file(stored(0), fs::file_size(stored(0)) - 5);
    Bytes garbled = ReadBytes(stored(1));
    garbled.back() ^= 0xFF;
    WriteBytesTo(stored(1), garbled);
    fs::remove(stored(2));

    const ToolResult result = backup.Run(kPassword);
    EXPECT_EQ(result.exitCode, kToolExitSomeFilesFailed) << result.output;
    EXPECT_EQ(result.LastCount(), files.size());
    EXPECT_TRUE(result.HasLineStartingWith("Damaged: " + files[0].FileId())) << result.output;
    EXPECT_TRUE(result.HasLineStartingWith("Damaged: " + files[1].FileId())) << result.output;
    EXPECT_TRUE(result.HasLine("Missing: " + files[2].FileId())) << result.output;
    EXPECT_TRUE(result.HasLine("Size mismatch: " + files[3].FileId() + " manifest 4000 decrypted 4096"))
        << result.output;
    // The mis-sized file keeps every byte; the damaged ones keep the blocks before the damage.
    EXPECT_EQ(ReadBytes(backup.output() / files[3].FileId()), files[3].contents);
    EXPECT_EQ(ReadBytes(backup.output() / files[4].FileId()), files[4].contents);
    const Bytes cut = ReadBytes(backup.output() / files[0].FileId());
    ASSERT_EQ(cut.size(), 96u);
    EXPECT_TRUE(std::equal(cut.begin(), cut.end(), files[0].contents.begin()));
  }
}

TEST(DecryptToolTest, AnOutputFileThatCannotBeWrittenStopsTheRun) {
  EncryptedBackup backup(kGenerations[0], {{"HomeDomain", "Library/empty", {}, std::nullopt},
                                          {"HomeDomain", "Library/a", PatternBytes(20, 13), std::nullopt}});
  // A folder where the copy of the first file should go: its write fails.
  fs::create_directories(backup.output() / backup.files()[0].FileId() / "occupied");
  const ToolResult result = backup.Run(kPassword);
  EXPECT_EQ(result.exitCode, kToolExitCannotWrite) << result.output;
  EXPECT_TRUE(result.HasLineStartingWith("Failed: " + backup.files()[0].FileId() + " cannot be written"));
  EXPECT_TRUE(result.HasLine("Error: the output folder cannot be written"));
}

TEST(DecryptToolTest, RejectsIdentifiersThatAreNotFileNames) {
  // The iOS 10.0 generation leaves Manifest.db plain, so a hostile row can be
  // added after encryption.
  EncryptedBackup backup(kGenerations[1], {{"HomeDomain", "Library/a", PatternBytes(20, 10), std::nullopt}});
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open((backup.backup() / "Manifest.db").c_str(), &raw), SQLITE_OK);
  fixtures::SqliteDatabase db(raw);
  const Bytes archive = fixtures::BuildMbFileArchive(0, 3, 0100644, "x", {});
  for (const char* id : {"../../../../tmp/scrivel-escape", "ABCDEF0123456789abcdef0123456789abcdef0/",
                         "0123456789abcdef0123456789abcdef012345\n"}) {
    fixtures::SqliteStatement insert = fixtures::PrepareStatement(
        db.get(), "INSERT INTO Files (fileID, domain, relativePath, flags, file) VALUES (?1, 'D', 'p', 1, ?2)");
    sqlite3_bind_text(insert.get(), 1, id, -1, SQLITE_STATIC);
    sqlite3_bind_blob(insert.get(), 2, archive.data(), static_cast<int>(archive.size()), SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(insert.get()), SQLITE_DONE);
  }
  db.reset();

  const ToolResult result = backup.Run(kPassword);
  EXPECT_EQ(result.exitCode, kToolExitSomeFilesFailed) << result.output;
  EXPECT_TRUE(result.HasLineStartingWith("Failed: row ")) << result.output;
  EXPECT_FALSE(fs::exists("/tmp/scrivel-escape"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(backup.output())) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names.size(), 2u);  // the one stored file and the decrypted manifest
}

TEST(DecryptToolTest, UnusableBackupsEndWithAClearError) {
  struct Case {
    const char* name;
    std::function<void(const fs::path& backup)> damage;
    int exitCode;
  };
  auto writeText = [](const fs::path& path, const std::string& text) { std::ofstream(path) << text; };
  const std::vector<Case> cases = {
      {"Manifest.plist is not a property list", [&](const fs::path& b) { writeText(b / "Manifest.plist", "<plist"); },
       kToolExitBadBackup},
      {"Manifest.plist missing", [](const fs::path& b) { fs::remove(b / "Manifest.plist"); }, kToolExitBadBackup},
      {"not encrypted",
       [&](const fs::path& b) {
         writeText(b / "Manifest.plist",
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>IsEncrypted</key><false/></dict></plist>");
       },
       kToolExitBadBackup},
      {"keybag without tags",
       [&](const fs::path& b) {
         writeText(b / "Manifest.plist",
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>IsEncrypted</key><true/>"
                   "<key>BackupKeyBag</key><data>VkVSUwAAAAQAAAAD</data></dict></plist>");
       },
       kToolExitBadBackup},
      {"manifest missing", [](const fs::path& b) { fs::remove(b / "Manifest.db"); }, kToolExitBadBackup},
      {"manifest cut short", [](const fs::path& b) { fs::resize_file(b / "Manifest.db", 1000); }, kToolExitBadBackup},
      {"manifest garbled",
       [](const fs::path& b) {
         Bytes bytes = ReadBytes(b / "Manifest.db");
         for (std::size_t i = 0; i < bytes.size(); i += 7) bytes[i] ^= 0x5A;
         WriteBytesTo(b / "Manifest.db", bytes);
       },
       kToolExitBadBackup},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EncryptedBackup backup(kGenerations[0], {{"HomeDomain", "Library/a", PatternBytes(20, 11), std::nullopt}});
    c.damage(backup.backup());
    const ToolResult result = backup.Run(kPassword);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.output;
    EXPECT_TRUE(result.HasLineStartingWith("Error: ")) << result.output;
  }
}

TEST(DecryptToolTest, RefusesUnsafeCommandLines) {
  EncryptedBackup backup(kGenerations[0], {{"HomeDomain", "Library/a", PatternBytes(20, 12), std::nullopt}});
  const auto before = SnapshotFolder(backup.backup());
  // The password as a third argument would be readable by every user.
  EXPECT_EQ(RunTool({backup.backup().string(), backup.output().string(), kPassword}, "\n").exitCode, kToolExitUsage);
  EXPECT_EQ(RunTool({backup.backup().string()}, kPassword + "\n").exitCode, kToolExitUsage);
  EXPECT_EQ(RunTool({"--unknown", backup.backup().string(), backup.output().string()}, kPassword + "\n").exitCode,
            kToolExitUsage);
  // Writing into the backup folder is refused, whatever the spelling.
  for (const fs::path& inside : {backup.backup(), backup.backup() / "out", backup.backup() / ".." /
                                                                                backup.backup().filename() / "x"}) {
    EXPECT_EQ(RunTool({backup.backup().string(), inside.string()}, kPassword + "\n").exitCode, kToolExitUsage)
        << inside;
  }
  EXPECT_EQ(SnapshotFolder(backup.backup()), before);
}

}  // namespace
}  // namespace scrivel::decrypt_test
