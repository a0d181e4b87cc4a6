#include "tools/decrypt/manifest_db_copy.h"

#include <cstring>
#include <system_error>
#include <vector>

#include "core/backup/file_bytes.h"
#include "core/common/result_codes.h"
#include "core/crypto/cbc_file_decryptor.h"

namespace scrivel::decrypt_tool {
namespace {

constexpr char kSqliteHeader[] = "SQLite format 3";  // 16 bytes with its terminating zero
constexpr std::size_t kSqliteHeaderSize = sizeof kSqliteHeader;

bool StartsWithSqliteHeader(const std::filesystem::path& path) {
  std::vector<std::uint8_t> head;
  if (ReadFileHead(path, kSqliteHeaderSize, head) != FileReadError::kNone) return false;
  return head.size() == kSqliteHeaderSize && std::memcmp(head.data(), kSqliteHeader, kSqliteHeaderSize) == 0;
}

std::error_code Fail(std::string& error, std::string reason) {
  error = std::move(reason);
  return kBadFile;
}

}  // namespace

std::error_code WritePlainManifestDb(const std::filesystem::path& manifestDb, const std::filesystem::path& destination,
                         const crypto::BackupKeyMaterial& keyMaterial, const crypto::ClassKeys& classKeys,
                         ToolConsole& console, std::string& error) {
  if (StartsWithSqliteHeader(manifestDb)) {
    std::error_code ec;
    std::filesystem::copy_file(manifestDb, destination, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec) {
      error = "the manifest cannot be copied: " + ec.message();
      return ec;
    }
    return {};
  }
  if (keyMaterial.manifestKey.empty()) return Fail(error, "Manifest.db is encrypted but Manifest.plist has no ManifestKey");
  crypto::WrappedFileKey wrapped;
  if (!crypto::ParseWrappedFileKey(keyMaterial.manifestKey, wrapped)) {
    return Fail(error, "ManifestKey has a wrong length");
  }
  crypto::SecretBytes key;
  if (!classKeys.UnwrapFileKey(wrapped, key)) return Fail(error, "ManifestKey does not unwrap");
  crypto::DecryptedFileReport report;
  const std::error_code rc = crypto::DecryptFileToFile(manifestDb, destination, key.view(), report);
  if (rc) {
    error = "Manifest.db cannot be decrypted";
    return rc;
  }
  if (report.damaged()) console.Line("Damaged: Manifest.db has no valid padding; reading it anyway");
  if (!StartsWithSqliteHeader(destination)) return Fail(error, "Manifest.db does not decrypt to a database");
  return {};
}

}  // namespace scrivel::decrypt_tool
