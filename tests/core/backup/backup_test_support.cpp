#include "backup_test_support.h"

#include <fstream>
#include <stdexcept>

#include <sqlite3.h>

namespace scrivel::testing {

void WriteFile(const std::filesystem::path& path, std::string_view content) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& content) {
  WriteFile(path, std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
}

void WriteManifestDb(const std::filesystem::path& path, const std::vector<ManifestDbRow>& rows) {
  std::filesystem::create_directories(path.parent_path());
  sqlite3* database = nullptr;
  if (sqlite3_open(path.c_str(), &database) != SQLITE_OK) throw std::runtime_error("cannot create " + path.string());
  const auto run = [database](const char* sql) {
    if (sqlite3_exec(database, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(database));
  };
  run("CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, flags INTEGER, file BLOB);"
      "CREATE INDEX FilesDomainIdx ON Files(domain);"
      "CREATE TABLE Properties (key TEXT PRIMARY KEY, value BLOB);"
      "BEGIN;");
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(database, "INSERT INTO Files VALUES (?, ?, ?, 1, NULL)", -1, &insert, nullptr);
  for (const ManifestDbRow& row : rows) {
    const std::optional<std::string>* values[] = {&row.fileId, &row.domain, &row.relativePath};
    for (int i = 0; i < 3; ++i) {
      if (*values[i]) sqlite3_bind_text(insert, i + 1, (*values[i])->c_str(), -1, SQLITE_TRANSIENT);
      else sqlite3_bind_null(insert, i + 1);
    }
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  run("COMMIT;");
  sqlite3_close(database);
}

MbdbWriter::MbdbWriter() : m_bytes{'m', 'b', 'd', 'b', 5, 0} {}

void MbdbWriter::PutUint8(std::uint8_t value) { m_bytes.push_back(value); }

void MbdbWriter::PutUint16(std::uint16_t value) {
  PutUint8(static_cast<std::uint8_t>(value >> 8));
  PutUint8(static_cast<std::uint8_t>(value));
}

void MbdbWriter::PutUint32(std::uint32_t value) {
  PutUint16(static_cast<std::uint16_t>(value >> 16));
  PutUint16(static_cast<std::uint16_t>(value));
}

void MbdbWriter::PutUint64(std::uint64_t value) {
  PutUint32(static_cast<std::uint32_t>(value >> 32));
  PutUint32(static_cast<std::uint32_t>(value));
}

void MbdbWriter::PutString(std::string_view bytes) {
  PutUint16(static_cast<std::uint16_t>(bytes.size()));
  m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
}

void MbdbWriter::PutAbsentString() { PutUint16(kMbdbAbsentString); }

MbdbWriter& MbdbWriter::Add(const MbdbRecord& record) {
  const auto putOptional = [this](std::string_view bytes) {
    if (bytes.empty()) PutAbsentString();
    else PutString(bytes);
  };
  const auto asText = [](const std::vector<std::uint8_t>& bytes) {
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
  PutString(record.domain);
  PutString(record.path);
  putOptional(record.linkTarget);
  putOptional(asText(record.dataHash));
  putOptional(asText(record.encryptionKey));
  PutUint16(record.mode);
  PutUint64(record.inode);
  PutUint32(record.userId);
  PutUint32(record.groupId);
  PutUint32(record.modificationTime);
  PutUint32(record.accessTime);
  PutUint32(record.creationTime);
  PutUint64(record.size);
  PutUint8(record.protectionClass);
  PutUint8(static_cast<std::uint8_t>(record.properties.size()));
  for (const auto& [name, value] : record.properties) {
    PutString(name);
    PutString(value);
  }
  return *this;
}

MbdbWriter& MbdbWriter::Add(std::string_view domain, std::string_view path, std::uint16_t mode) {
  MbdbRecord record;
  record.domain = domain;
  record.path = path;
  record.mode = mode;
  return Add(record);
}

}  // namespace scrivel::testing
