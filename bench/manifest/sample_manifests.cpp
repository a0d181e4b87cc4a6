#include "sample_manifests.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "core/backup/file_id.h"

namespace scrivel::bench {
namespace {

constexpr const char* kBigDomains[] = {"HomeDomain", "MediaDomain", "CameraRollDomain", "RootDomain",
                                       "SystemPreferencesDomain", "KeychainDomain"};
constexpr std::size_t kAppCount = 400;

void PutUint16(std::vector<std::uint8_t>& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void PutUint32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  PutUint16(out, static_cast<std::uint16_t>(value >> 16));
  PutUint16(out, static_cast<std::uint16_t>(value));
}

void PutString(std::vector<std::uint8_t>& out, std::string_view text) {
  PutUint16(out, static_cast<std::uint16_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

SampleName SampleNameAt(std::size_t index) {
  SampleName name;
  // Two entries in five belong to an app, the rest to the big domains.
  if (index % 5 < 2) {
    name.domain = "AppDomain-com.example.app" + std::to_string(index % kAppCount);
    name.relativePath = "Library/Caches/com.example.cache/fsCachedData/" + std::to_string(index) + ".dat";
  } else {
    name.domain = kBigDomains[index % std::size(kBigDomains)];
    name.relativePath = "Media/DCIM/" + std::to_string(100 + index / 1000) + "APPLE/IMG_" + std::to_string(index) + ".JPG";
  }
  return name;
}

bool WriteSampleManifestDb(const std::filesystem::path& path, std::size_t count) {
  sqlite3* database = nullptr;
  if (sqlite3_open(path.c_str(), &database) != SQLITE_OK) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    sqlite3_close(database);
    return false;
  }
  bool ok = sqlite3_exec(database,
                         "CREATE TABLE Files (fileID TEXT PRIMARY KEY, domain TEXT, relativePath TEXT, "
                         "flags INTEGER, file BLOB);"
                         "CREATE INDEX FilesDomainIdx ON Files(domain);"
                         "CREATE INDEX FilesRelativePathIdx ON Files(relativePath);"
                         "CREATE INDEX FilesFlagsIdx ON Files(flags);"
                         "BEGIN;",
                         nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_stmt* insert = nullptr;
  ok = ok && sqlite3_prepare_v2(database, "INSERT INTO Files VALUES (?, ?, ?, 1, ?)", -1, &insert, nullptr) ==
                 SQLITE_OK;
  // A real row carries a serialized file description of a few hundred bytes.
  const std::vector<std::uint8_t> description(300, 0x5A);
  for (std::size_t i = 0; ok && i < count; ++i) {
    const SampleName name = SampleNameAt(i);
    const std::string fileId = ComputeFileId(name.domain, name.relativePath);
    sqlite3_bind_text(insert, 1, fileId.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 2, name.domain.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(insert, 3, name.relativePath.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_blob(insert, 4, description.data(), static_cast<int>(description.size()), SQLITE_STATIC);
    ok = sqlite3_step(insert) == SQLITE_DONE && sqlite3_reset(insert) == SQLITE_OK;
  }
  sqlite3_finalize(insert);
  ok = ok && sqlite3_exec(database, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) std::fprintf(stderr, "cannot fill %s: %s\n", path.c_str(), sqlite3_errmsg(database));
  sqlite3_close(database);
  return ok;
}

bool WriteSampleManifestMbdb(const std::filesystem::path& path, std::size_t count) {
  std::vector<std::uint8_t> bytes = {'m', 'b', 'd', 'b', 5, 0};
  const std::string dataHash(20, '\x11');
  for (std::size_t i = 0; i < count; ++i) {
    const SampleName name = SampleNameAt(i);
    const bool isFolder = i % 10 == 0;
    PutString(bytes, name.domain);
    PutString(bytes, name.relativePath);
    PutUint16(bytes, 0xFFFF);                                      // link target: absent
    if (isFolder) PutUint16(bytes, 0xFFFF);                        // data hash: absent for folders
    else PutString(bytes, dataHash);
    PutUint16(bytes, 0xFFFF);                                      // encryption key: absent
    PutUint16(bytes, isFolder ? 0x41ED : 0x81A4);                  // mode
    for (int field = 0; field < 7; ++field) PutUint32(bytes, static_cast<std::uint32_t>(i + field));
    PutUint32(bytes, 0);                                           // size, high word
    PutUint32(bytes, static_cast<std::uint32_t>(i * 37));          // size, low word
    bytes.push_back(4);                                            // protection class
    const bool hasProperty = i % 7 == 0;
    bytes.push_back(hasProperty ? 1 : 0);
    if (hasProperty) {
      PutString(bytes, "com.apple.assetsd.UUID");
      PutString(bytes, "0123456789abcdef");
    }
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return static_cast<bool>(out);
}

}  // namespace scrivel::bench
