#include "core/recovery/media_scans.h"

#include <algorithm>
#include <cctype>
#include <span>
#include <thread>

#include "core/backup/backup_engine.h"
#include "core/common/result_codes.h"
#include "core/recovery/live_photos.h"

namespace scrivel {
namespace {

constexpr std::string_view kAttachmentsPattern = "/Attachments/";
constexpr std::string_view kCameraRollPattern = "CameraRollDomain-Media/DCIM/";
constexpr std::string_view kPhotoStreamPattern = "MediaDomain-Media/PhotoStreamsData/";
constexpr std::string_view kAppDomainPattern = "AppDomain-";
constexpr std::string_view kWhatsAppPattern = "net.whatsapp.WhatsApp";
constexpr std::size_t kAppIdentifierMaxSize = 259;

// Threads that probe stored files, and the fewest paths worth one more.
constexpr std::size_t kMaxProbeReaders = 8;
constexpr std::size_t kPathsPerProbeReader = 64;
// Photo files probed ahead of the walk at a time: enough to keep the
// readers busy, few enough that progress and a cancel are seen often.
constexpr std::size_t kPhotoProbeBlock = 1024;

// The photo and app walks report twice their share per entry.
constexpr int kAttachmentWalkShares = 1;
constexpr int kPhotoWalkShares = 2;
constexpr int kAppWalkShares = 2;

bool contains(std::string_view text, std::string_view pattern) { return text.find(pattern) != std::string_view::npos; }

std::string_view afterLastSlash(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

std::string upperCase(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

// Probes `paths`, in their order. Reading the heads of many small files
// mostly waits for the disk, one file at a time; several readers at once
// keep it busy. Reader k takes every n-th path from the k-th on.
std::vector<StoredFileProbe> ProbeFiles(std::span<const std::string> paths) {
  const std::size_t readerCount = std::clamp<std::size_t>(paths.size() / kPathsPerProbeReader, 1, kMaxProbeReaders);
  std::vector<StoredFileProbe> probes(paths.size());
  const auto probeShare = [&](std::size_t first) {
    FileTypeDetector detector;  // its numbering plays no part in a probe's result
    for (std::size_t i = first; i < paths.size(); i += readerCount) probes[i] = detector.Probe(paths[i]);
  };
  std::vector<std::thread> readers;
  for (std::size_t first = 1; first < readerCount; ++first) readers.emplace_back(probeShare, first);
  probeShare(0);
  for (std::thread& reader : readers) reader.join();
  return probes;
}

// The probe of entry `index`: the prefetched one when it is of the same
// path, else one made now.
StoredFileProbe probeEntry(const BackupEngine& engine, FileTypeDetector& detector, const StoredFileProbes* probes,
                           std::size_t index, const ManifestEntry& entry) {
  const std::string path = engine.StoredFilePath(entry.fileId).string();
  if (probes != nullptr && index < probes->size() && !path.empty() && (*probes)[index].path == path) {
    return (*probes)[index];
  }
  return detector.Probe(path);
}

// Gives `item` what the library says of the asset stored at `entryName`.
void markFromLibrary(const PhotoLibrary& library, std::string_view entryName, FileItem& item) {
  const auto found = library.find(PhotoLibraryKey(entryName));
  if (found == library.end()) return;
  const PhotoAsset& asset = found->second;
  item.deleted = asset.trashed;
  item.originalName = asset.originalName;
  item.created = asset.created;
  item.trashed = asset.trashedDate;
}

bool isPhotoEntry(std::string_view name) {
  return contains(name, kCameraRollPattern) || contains(name, kPhotoStreamPattern);
}

bool isProbedEntry(std::string_view name) {
  return contains(name, kAttachmentsPattern) || contains(name, kAppDomainPattern);
}

}  // namespace

std::string AppIdentifier(std::string_view entryName) {
  std::size_t prefix = entryName.find("com.");
  if (prefix == std::string_view::npos) prefix = entryName.find("net.");
  if (prefix == std::string_view::npos) return "other";
  const std::size_t start = prefix + 4;
  const std::size_t dash = entryName.find('-', start);
  if (dash == std::string_view::npos) return "other";
  return std::string(entryName.substr(start, std::min(dash - start, kAppIdentifierMaxSize)));
}

std::string RecognisedFileName(std::string_view entryName, std::string_view extension) {
  std::string_view base = afterLastSlash(entryName);
  const std::size_t dot = base.rfind('.');
  if (dot != std::string_view::npos) base = base.substr(0, dot);
  return std::string(base) + "." + upperCase(extension);
}

void SortByName(std::vector<FileItem>& items) {
  std::stable_sort(items.begin(), items.end(), [](const FileItem& a, const FileItem& b) {
    return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                        [](unsigned char x, unsigned char y) { return std::tolower(x) < std::tolower(y); });
  });
}

std::vector<std::pair<std::size_t, std::string>> ProbedFileScanPaths(const BackupEngine& engine) {
  const std::vector<ManifestEntry>& entries = engine.GetManifest().Entries();
  std::vector<std::pair<std::size_t, std::string>> paths;
  for (std::size_t index = 0; index < entries.size(); ++index) {
    if (!isProbedEntry(entries[index].name)) continue;
    paths.emplace_back(index, engine.StoredFilePath(entries[index].fileId).string());
  }
  return paths;
}

StoredFileProbes ProbeStoredFiles(const std::vector<std::pair<std::size_t, std::string>>& paths,
                                  std::size_t entryCount) {
  std::vector<std::string> files;
  files.reserve(paths.size());
  for (const auto& [index, path] : paths) files.push_back(path);
  std::vector<StoredFileProbe> found = ProbeFiles(files);
  StoredFileProbes probes(entryCount);
  for (std::size_t i = 0; i < paths.size(); ++i) {
    if (paths[i].first < entryCount) probes[paths[i].first] = std::move(found[i]);
  }
  return probes;
}

std::error_code ScanMessageAttachments(const BackupEngine& engine, FileTypeDetector& detector, ScanProgress& progress,
                           std::vector<FileItem>& attachments, const StoredFileProbes* probes) {
  const std::vector<ManifestEntry>& entries = engine.GetManifest().Entries();
  std::error_code result;
  for (std::size_t index = 0; index < entries.size() && !result; ++index) {
    const ManifestEntry& entry = entries[index];
    if (contains(entry.name, kAttachmentsPattern)) {
      const StoredFileProbe file = probeEntry(engine, detector, probes, index, entry);
      if (!file.regular) continue;  // no report for a missing file
      if (file.recognised && file.size != 0) {
        attachments.push_back({file.size, RecognisedFileName(entry.name, file.extension), file.path, {}});
      }
    }
    result = progress.Report(progress.WithinWalk(index, entries.size(), kAttachmentWalkShares));
  }
  SortByName(attachments);
  const std::error_code answer = progress.Advance(progress.step);
  return result ? result : answer;
}

std::error_code ScanPhotos(const BackupEngine& engine, ScanProgress& progress, std::vector<FileItem>& cameraRoll,
               std::vector<FileItem>& photoStream, const PhotoLibrary* library) {
  const std::vector<ManifestEntry>& entries = engine.GetManifest().Entries();
  std::vector<std::string> photoPaths;  // of the photo entries, in entry order
  for (const ManifestEntry& entry : entries) {
    if (isPhotoEntry(entry.name)) photoPaths.push_back(engine.StoredFilePath(entry.fileId).string());
  }
  std::vector<StoredFileProbe> block;  // probes of photoPaths[blockStart, blockStart + block.size())
  std::size_t blockStart = 0;
  std::size_t nextPhoto = 0;  // position in photoPaths of the next photo entry the walk meets
  std::vector<CameraRollFile> cameraFiles;  // kept apart until the Live Photos are paired
  std::error_code result;
  for (std::size_t index = 0; index < entries.size() && !result; ++index) {
    const ManifestEntry& entry = entries[index];
    if (isPhotoEntry(entry.name)) {
      if (nextPhoto - blockStart >= block.size()) {
        blockStart = nextPhoto;
        const std::size_t count = std::min(kPhotoProbeBlock, photoPaths.size() - blockStart);
        block = ProbeFiles(std::span<const std::string>(photoPaths).subspan(blockStart, count));
      }
      StoredFileProbe& file = block[nextPhoto++ - blockStart];
      if (!file.regular) continue;  // no report for a missing file
      if (file.recognised) {
        FileItem item{file.size, std::string(afterLastSlash(entry.name)), std::move(file.path), {}};
        if (contains(entry.name, kCameraRollPattern)) {
          if (library != nullptr) markFromLibrary(*library, entry.name, item);
          cameraFiles.push_back({entry.name, file.extension, std::move(item)});
        } else {
          photoStream.push_back(std::move(item));
        }
      }
    }
    result = progress.Report(progress.WithinWalk(index, entries.size(), kPhotoWalkShares));
  }
  PairLivePhotos(cameraFiles);
  for (CameraRollFile& file : cameraFiles) cameraRoll.push_back(std::move(file.item));
  SortByName(cameraRoll);
  SortByName(photoStream);
  const std::error_code answer = progress.Advance(progress.step);
  return result ? result : answer;
}

std::error_code ScanAppFiles(const BackupEngine& engine, FileTypeDetector& detector, ScanProgress& progress,
                 std::vector<FileItem>& appFiles, std::vector<FileItem>& whatsAppFiles,
                 const StoredFileProbes* probes) {
  whatsAppFiles.clear();
  const std::vector<ManifestEntry>& entries = engine.GetManifest().Entries();
  std::error_code result;
  for (std::size_t index = 0; index < entries.size() && !result; ++index) {
    const ManifestEntry& entry = entries[index];
    if (contains(entry.name, kAppDomainPattern)) {
      const StoredFileProbe file = probeEntry(engine, detector, probes, index, entry);
      if (file.recognised) {
        std::string name = RecognisedFileName(entry.name, file.extension);
        if (!contains(entry.name, kWhatsAppPattern)) {
          appFiles.push_back({file.size, std::move(name), file.path, AppIdentifier(entry.name)});
        } else if (file.size != 0) {
          whatsAppFiles.push_back({file.size, std::move(name), file.path, {}});
        }
      }
    }
    result = progress.Report(progress.WithinWalk(index, entries.size(), kAppWalkShares));
  }
  SortByName(appFiles);
  SortByName(whatsAppFiles);
  const std::error_code answer = progress.Advance(progress.step);
  return result ? result : answer;
}

}  // namespace scrivel
