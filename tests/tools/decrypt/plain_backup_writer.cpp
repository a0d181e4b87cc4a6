#include "plain_backup_writer.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "core/backup/file_id.h"
#include "core/backup/mbdb_reader.h"
#include "fixtures/backup_encryptor.h"
#include "fixtures/sqlite_handles.h"

namespace scrivel::decrypt_test {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kFlagsFile = 1;
constexpr std::int64_t kFlagsDirectory = 2;
constexpr std::int64_t kFlagsLink = 4;
constexpr std::uint32_t kProtectionClass = 3;

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

void Execute(sqlite3* db, const char* sql) { ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sql; }

void InsertRow(sqlite3* db, const std::string& domain, const std::string& path, std::int64_t flags,
               const std::vector<std::uint8_t>& archive) {
  fixtures::SqliteStatement insert = fixtures::PrepareStatement(
      db, "INSERT INTO Files (fileID, domain, relativePath, flags, file) VALUES (?1, ?2, ?3, ?4, ?5)");
  ASSERT_TRUE(insert);
  const std::string fileId = ComputeFileId(domain, path);
  sqlite3_bind_text(insert.get(), 1, fileId.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert.get(), 2, domain.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert.get(), 3, path.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(insert.get(), 4, flags);
  sqlite3_bind_blob(insert.get(), 5, archive.data(), static_cast<int>(archive.size()), SQLITE_TRANSIENT);
  ASSERT_EQ(sqlite3_step(insert.get()), SQLITE_DONE);
}

void WriteManifestDb(const fs::path& dir, const std::vector<PlainFile>& files) {
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open((dir / "Manifest.db").c_str(), &raw), SQLITE_OK);
  fixtures::SqliteDatabase db(raw);
  Execute(db.get(),
          "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);"
          "CREATE INDEX FilesDomainIdx ON Files(domain);"
          "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);"
          "BEGIN;");
  for (const PlainFile& file : files) {
    const std::uint64_t size = file.manifestSize.value_or(file.contents.size());
    InsertRow(db.get(), file.domain, file.relativePath, kFlagsFile,
              fixtures::BuildMbFileArchive(size, kProtectionClass, 0100644, file.relativePath, {}));
    const std::string id = file.FileId();
    WriteBytes(dir / id.substr(0, 2) / id, file.contents);
  }
  InsertRow(db.get(), "HomeDomain", "Library/Folder", kFlagsDirectory,
            fixtures::BuildMbFileArchive(0, 0, 040755, "Library/Folder", {}));
  InsertRow(db.get(), "HomeDomain", "Library/Link", kFlagsLink,
            fixtures::BuildMbFileArchive(0, 0, 0120755, "Library/Link", {}));
  Execute(db.get(), "COMMIT;");
}

void WriteManifestMbdb(const fs::path& dir, const std::vector<PlainFile>& files) {
  std::vector<MbdbRecord> records;
  MbdbRecord folder;
  folder.domain = "HomeDomain";
  folder.path = "Library/Folder";
  folder.mode = 040755;
  records.push_back(folder);
  MbdbRecord link = folder;
  link.path = "Library/Link";
  link.linkTarget = "Folder";
  link.mode = 0120755;
  records.push_back(link);
  for (const PlainFile& file : files) {
    MbdbRecord record;
    record.domain = file.domain;
    record.path = file.relativePath;
    record.mode = 0100644;
    record.size = file.manifestSize.value_or(file.contents.size());
    record.protectionClass = kProtectionClass;
    record.properties = {{"com.apple.backup", "x"}};
    records.push_back(record);
    WriteBytes(dir / file.FileId(), file.contents);
  }
  WriteBytes(dir / "Manifest.mbdb", fixtures::EncodeMbdb(records));
}

}  // namespace

std::string PlainFile::FileId() const { return ComputeFileId(domain, relativePath); }

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint32_t seed) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t state = seed * 2654435761u + static_cast<std::uint32_t>(size);
  for (std::uint8_t& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  return bytes;
}

void WritePlainBackup(const fs::path& dir, PlainManifest manifest, const std::vector<PlainFile>& files) {
  fs::create_directories(dir);
  if (manifest == PlainManifest::kManifestDb) {
    WriteManifestDb(dir, files);
  } else {
    WriteManifestMbdb(dir, files);
  }
  WriteText(dir / "Manifest.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>IsEncrypted</key><false/><key>Version</key><string>10.0</string></dict></plist>\n");
  WriteText(dir / "Info.plist",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
            "<key>Device Name</key><string>Test phone</string></dict></plist>\n");
}

}  // namespace scrivel::decrypt_test
