#include "core/recovery/media_scans.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "core/backup/backup_engine.h"
#include "core/common/result_codes.h"

namespace scrivel {
namespace {

constexpr std::string_view kAttachmentsPattern = "/Attachments/";
constexpr std::string_view kCameraRollPattern = "CameraRollDomain-Media/DCIM/";
constexpr std::string_view kPhotoStreamPattern = "MediaDomain-Media/PhotoStreamsData/";
constexpr std::string_view kAppDomainPattern = "AppDomain-";
constexpr std::string_view kWhatsAppPattern = "net.whatsapp.WhatsApp";
constexpr std::size_t kAppIdentifierMaxSize = 259;

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

// A recognised stored file: its path, size and detected extension.
struct StoredFile {
  std::string path;
  std::uint64_t size = 0;
  std::string extension;  // lower case, from the detector
};

bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

// Runs the detector on the stored file of entry; false when it is not
// recognised (or cannot be read).
bool recognise(const BackupEngine& engine, FileTypeDetector& detector, const ManifestEntry& entry, StoredFile& out) {
  out.path = engine.StoredFilePath(entry.fileId).string();
  if (out.path.empty()) return false;
  std::string detected;
  if (detector.DetectFileType(out.path, detected) == kFileTypeUnknown) return false;
  out.extension = DetectedExtension(detected);
  std::error_code error;
  out.size = std::filesystem::file_size(out.path, error);
  return !error;
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

int ScanMessageAttachments(const BackupEngine& engine, FileTypeDetector& detector, ScanProgress& progress,
                           std::vector<FileItem>& attachments) {
  const std::vector<ManifestEntry>& entries = engine.GetManifest().Entries();
  int result = kOk;
  for (std::size_t index = 0; index < entries.size() && result == kOk; ++index) {
    const ManifestEntry& entry = entries[index];
    if (contains(entry.name, kAttachmentsPattern)) {
      if (!fileExists(engine.StoredFilePath(entry.fileId).string())) continue;  // no report for a missing file
      StoredFile file;
      if (recognise(engine, detector, entry, file) && file.size != 0) {
        attachments.push_back({file.size, RecognisedFileName(entry.name, file.extension), file.path, {}});
      }
    }
    result = progress.Report(progress.WithinWalk(index, entries.size(), kAttachmentWalkShares));
  }
  SortByName(attachments);
  const int answer = progress.Advance(progress.step);
  return result != kOk ? result : answer;
}

int ScanPhotos(const BackupEngine& engine, FileTypeDetector& detector, ScanProgress& progress,
               std::vector<FileItem>& cameraRoll, std::vector<FileItem>& photoStream) {
  const std::vector<ManifestEntry>& entries = engine.GetManifest().Entries();
  int result = kOk;
  for (std::size_t index = 0; index < entries.size() && result == kOk; ++index) {
    const ManifestEntry& entry = entries[index];
    const bool isCameraRoll = contains(entry.name, kCameraRollPattern);
    if (isCameraRoll || contains(entry.name, kPhotoStreamPattern)) {
      if (!fileExists(engine.StoredFilePath(entry.fileId).string())) continue;  // no report for a missing file
      StoredFile file;
      if (recognise(engine, detector, entry, file)) {
        FileItem item{file.size, std::string(afterLastSlash(entry.name)), file.path, {}};
        (isCameraRoll ? cameraRoll : photoStream).push_back(std::move(item));
      }
    }
    result = progress.Report(progress.WithinWalk(index, entries.size(), kPhotoWalkShares));
  }
  SortByName(cameraRoll);
  SortByName(photoStream);
  const int answer = progress.Advance(progress.step);
  return result != kOk ? result : answer;
}

int ScanAppFiles(const BackupEngine& engine, FileTypeDetector& detector, ScanProgress& progress,
                 std::vector<FileItem>& appFiles, std::vector<FileItem>& whatsAppFiles) {
  whatsAppFiles.clear();
  const std::vector<ManifestEntry>& entries = engine.GetManifest().Entries();
  int result = kOk;
  for (std::size_t index = 0; index < entries.size() && result == kOk; ++index) {
    const ManifestEntry& entry = entries[index];
    StoredFile file;
    if (contains(entry.name, kAppDomainPattern) && recognise(engine, detector, entry, file)) {
      std::string name = RecognisedFileName(entry.name, file.extension);
      if (!contains(entry.name, kWhatsAppPattern)) {
        appFiles.push_back({file.size, std::move(name), file.path, AppIdentifier(entry.name)});
      } else if (file.size != 0) {
        whatsAppFiles.push_back({file.size, std::move(name), file.path, {}});
      }
    }
    result = progress.Report(progress.WithinWalk(index, entries.size(), kAppWalkShares));
  }
  SortByName(appFiles);
  SortByName(whatsAppFiles);
  const int answer = progress.Advance(progress.step);
  return result != kOk ? result : answer;
}

}  // namespace scrivel
