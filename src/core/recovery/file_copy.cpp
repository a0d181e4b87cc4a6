#include "core/recovery/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/common/unique_fd.h"
#include "core/recovery/file_type.h"

namespace scrivel {

const char* const kImageExtensions =
    "*.bmp|*.gif|*.jpg|*.jpeg|*.png|*.psd|*.tif|*.tiff|*.pcx|*.scr|*.ico|*.nef|*.nrw|*.crw|*.cr2|*.sr2|*.arw|*.srf|"
    "*.divu|*.pgm|*.k25|*.kdc|*.dcr|*.raf|*.iff|*.pbm|*.mef|*.jp2|*.mos|*.x3f|*.orf|*.erf|*.indd|*.pef|*.psp|*.mrw|"
    "*.dng|*.raw|*.pct|*.tga|*.heic|*.heif|*.avif";
const char* const kAudioExtensions =
    "*.mp3|*.wav|*.aiff|*.rps|*.mid|*.midi|*.m4a|*.m4p|*.au|*.ogg|*.wma|*.rm|*.ra|*.acd|*.amr|*.at3|*.caf|*.dss|"
    "*.m4r|*.nra|*.snd";
const char* const kVideoExtensions =
    "*.rmvb|*.rm|*.mpeg|*.mov|*.avi|*.wmv|*.asf|*.mp4|*.flv|*.fla|*.swf|*.ape|*.m4v|*.3gp|*.dv|*.3g2|*.m4b|*.mkv|"
    "*.mts|*.divx|*.ogm|*.moi|*.vob|*.ajp|*.f4v|*.mqv|*.svi|*.vid|*.tod|*.hdmov|*.mod|*.m2t|*.lrv";

namespace {

// Writes all of data at offset; false when a write fails (errno tells why).
bool writeAllAt(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, data, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return true;
}

// Copies size bytes at offset from in to the same offset of out inside the
// kernel, without passing them through this process. False when the kernel
// cannot (another kind of file system, an old kernel) or a step fails; the
// caller then copies the same range through a buffer, which also tells a
// failed read from a failed write.
bool copyInKernel(int in, int out, std::size_t size, std::uint64_t offset) {
  auto inOffset = static_cast<off_t>(offset);
  auto outOffset = static_cast<off_t>(offset);
  while (size > 0) {
    const ssize_t moved = ::copy_file_range(in, &inOffset, out, &outOffset, size, 0);
    if (moved < 0 && errno == EINTR) continue;
    if (moved <= 0) return false;
    size -= static_cast<std::size_t>(moved);
  }
  return true;
}

// Reads exactly size bytes at offset; false when the file ends first or a
// read fails.
bool readAll(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  while (size > 0) {
    const ssize_t got = ::pread(fd, data, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

// Reports the percentage copied after each chunk; a non-zero return stops.
using ChunkReport = std::function<std::error_code(int percent, std::error_code chunkError)>;

// Copies source to destination in kCopyChunkSize chunks. Returns success;
// kBadFile when the source is not a regular file or a file cannot be opened;
// kShortRead when a read fails; the system's error of a failed write; or the
// answer of report that asked to stop. Removes destination on any failure.
std::error_code copyChunks(const std::string& source, const std::string& destination, const ChunkReport& report) {
  UniqueFd in;
  if (OpenRegularFileForReading(source, in)) return kBadFile;
  struct stat info {};
  if (::fstat(in.Get(), &info) != 0) return kBadFile;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  std::error_code result;
  {
    // A symbolic link planted where the copy goes is not followed.
    const UniqueFd out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!out.IsOpen()) return LastSystemError();
    std::vector<std::uint8_t> buffer;  // only for chunks the kernel does not copy
    bool kernelCopies = true;
    for (std::uint64_t copied = 0; copied < size && !result;) {
      const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(kCopyChunkSize, size - copied));
      std::error_code chunkError;
      if (!kernelCopies || !copyInKernel(in.Get(), out.Get(), chunk, copied)) {
        kernelCopies = false;
        buffer.resize(kCopyChunkSize);
        if (!readAll(in.Get(), buffer.data(), chunk, copied)) {
          result = kShortRead;
          break;
        }
        if (!writeAllAt(out.Get(), buffer.data(), chunk, copied)) chunkError = LastSystemError();
      }
      copied += chunk;
      if (chunkError) result = chunkError;
      if (report) {
        const std::error_code answer = report(static_cast<int>(copied * 100 / size), chunkError);
        if (!result) result = answer;
      }
    }
  }
  if (result) {
    std::error_code ignored;
    std::filesystem::remove(destination, ignored);
  }
  return result;
}

bool occursIn(const char* list, const std::string& extension) {
  return !extension.empty() && std::string_view(list).find(extension) != std::string_view::npos;
}

}  // namespace

std::error_code CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
                        void* userData) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(destination).parent_path(), ignored);
  ChunkReport report;
  if (callback != nullptr) {
    report = [&](int percent, std::error_code chunkError) { return callback(userData, percent, chunkError, destination); };
  }
  const std::error_code result = copyChunks(source, destination, report);
  // A failed or stopped copy is reported once more, as the file's end; the
  // answer to that last report changes nothing.
  if (result && callback != nullptr) (void)callback(userData, 100, result, destination);
  return result;
}

std::error_code ExtractPreviewFile(const std::string& workFolder, const std::string& source, std::string& outTempPath,
                                   ProgressCallback callback, void* userData) {
  outTempPath.clear();
  FileTypeDetector detector;
  std::string detected;
  if (detector.DetectFileType(source, detected) == kFileTypeUnknown) return kBadFile;
  const std::string extension = DetectedExtension(detected);
  const char* target = nullptr;
  if (occursIn(kImageExtensions, extension)) target = "tmp.jpg";
  else if (occursIn(kAudioExtensions, extension)) target = "tmp.wav";
  else if (occursIn(kVideoExtensions, extension)) target = "tmp.avi";
  std::error_code result;
  if (target != nullptr) {
    outTempPath = workFolder + target;
    ChunkReport report;
    if (callback != nullptr) report = [&](int percent, std::error_code) { return callback(userData, percent); };
    result = copyChunks(source, outTempPath, report);
    if (result) outTempPath.clear();
  }
  if (callback != nullptr) (void)callback(userData, 100);  // the end; nothing is left to stop
  return result;
}

}  // namespace scrivel
