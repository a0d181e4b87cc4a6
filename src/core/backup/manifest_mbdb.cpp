#include "core/backup/manifest_mbdb.h"

#include "core/backup/file_bytes.h"
#include "core/backup/file_id.h"
#include "core/backup/mbdb_reader.h"
#include "core/common/result_codes.h"

namespace scrivel {

namespace {

// A record read at a guessed offset is taken for a real one only when its
// domain reads like a domain ("HomeDomain", "AppDomain-net.whatsapp...").
bool LooksLikeRecord(const MbdbRecord& record) {
  return !record.path.empty() && record.domain.find("Domain") != std::string::npos;
}

// The offset of the next record that reads cleanly and looks like one,
// searched from `offset`; bytes.size() when none is left.
std::size_t NextIntactRecord(std::span<const std::uint8_t> bytes, std::size_t offset, MbdbRecord& record) {
  for (; offset < bytes.size(); ++offset) {
    std::size_t probe = offset;
    if (!ReadMbdbRecord(bytes, probe, record) && LooksLikeRecord(record)) return offset;
  }
  return bytes.size();
}

}  // namespace

std::error_code ParseManifestMbdb(std::span<const std::uint8_t> bytes, std::vector<ManifestEntry>& out,
                                  std::uint64_t* damagedRegions) {
  out.clear();
  if (damagedRegions != nullptr) *damagedRegions = 0;
  if (const std::error_code rc = CheckMbdbHeader(bytes); rc) return rc;
  // A typical record takes about 128 bytes; reserving from the file size
  // spares most of the vector's regrowth.
  out.reserve((bytes.size() - kMbdbHeaderSize) / 128);
  std::size_t offset = kMbdbHeaderSize;
  MbdbRecord record;
  while (offset < bytes.size()) {
    if (ReadMbdbRecord(bytes, offset, record)) {
      // A damaged record: the entries around it still count. The walk goes
      // on at the next offset where an intact record begins.
      if (damagedRegions != nullptr) ++*damagedRegions;
      offset = NextIntactRecord(bytes, offset + 1, record);
      continue;
    }
    if (record.domain.empty() || record.path.empty() || record.IsDirectory()) continue;
    ManifestEntry entry;
    entry.fileId = ComputeFileId(record.domain, record.path);
    entry.name.reserve(record.domain.size() + 1 + record.path.size());
    entry.name.append(record.domain).append("-").append(record.path);
    entry.storedFile = record.IsRegularFile();
    out.push_back(std::move(entry));
  }
  return {};
}

std::error_code LoadManifestMbdb(const std::filesystem::path& path, std::vector<ManifestEntry>& out,
                                 std::uint64_t* damagedRegions) {
  out.clear();
  if (path.empty()) return kBadFile;
  std::vector<std::uint8_t> bytes;
  switch (ReadWholeFile(path, bytes)) {
    case FileReadError::kNone: break;
    case FileReadError::kCannotOpen: return kMbdbUnopenable;
    case FileReadError::kReadFailed: return kBadFile;
  }
  return ParseManifestMbdb(bytes, out, damagedRegions);
}

}  // namespace scrivel
