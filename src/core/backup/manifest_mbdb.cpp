#include "core/backup/manifest_mbdb.h"

#include "core/backup/file_bytes.h"
#include "core/backup/file_id.h"
#include "core/backup/mbdb_reader.h"
#include "core/common/result_codes.h"

namespace scrivel {

int ParseManifestMbdb(std::span<const std::uint8_t> bytes, std::vector<ManifestEntry>& out) {
  out.clear();
  if (const int rc = CheckMbdbHeader(bytes); rc != kOk) return rc;
  // A typical record takes about 128 bytes; reserving from the file size
  // spares most of the vector's regrowth.
  out.reserve((bytes.size() - kMbdbHeaderSize) / 128);
  std::size_t offset = kMbdbHeaderSize;
  MbdbRecord record;
  while (offset < bytes.size()) {
    if (const int rc = ReadMbdbRecord(bytes, offset, record); rc != kOk) return rc;
    if (record.domain.empty() || record.path.empty() || record.IsDirectory()) continue;
    ManifestEntry entry;
    entry.fileId = ComputeFileId(record.domain, record.path);
    entry.name.reserve(record.domain.size() + 1 + record.path.size());
    entry.name.append(record.domain).append("-").append(record.path);
    out.push_back(std::move(entry));
  }
  return kOk;
}

int LoadManifestMbdb(const std::filesystem::path& path, std::vector<ManifestEntry>& out) {
  out.clear();
  if (path.empty()) return kBadFile;
  std::vector<std::uint8_t> bytes;
  switch (ReadWholeFile(path, bytes)) {
    case FileReadError::kNone: break;
    case FileReadError::kCannotOpen: return kMbdbUnopenable;
    case FileReadError::kReadFailed: return kBadFile;
  }
  return ParseManifestMbdb(bytes, out);
}

}  // namespace scrivel
