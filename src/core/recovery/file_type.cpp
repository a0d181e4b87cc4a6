#include "core/recovery/file_type.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/common/unique_fd.h"

namespace scrivel {
namespace {

using Head = std::span<const std::uint8_t, kSignatureSize>;

bool bytesAt(Head head, std::size_t offset, std::string_view expected) {
  return std::memcmp(head.data() + offset, expected.data(), expected.size()) == 0;
}

std::uint16_t littleEndian16(Head head, std::size_t offset) {
  return static_cast<std::uint16_t>(head[offset] | head[offset + 1] << 8);
}

std::uint32_t littleEndian32(Head head, std::size_t offset) {
  return static_cast<std::uint32_t>(head[offset]) | static_cast<std::uint32_t>(head[offset + 1]) << 8 |
         static_cast<std::uint32_t>(head[offset + 2]) << 16 | static_cast<std::uint32_t>(head[offset + 3]) << 24;
}

std::uint32_t bigEndian32(Head head, std::size_t offset) {
  return static_cast<std::uint32_t>(head[offset]) << 24 | static_cast<std::uint32_t>(head[offset + 1]) << 16 |
         static_cast<std::uint32_t>(head[offset + 2]) << 8 | static_cast<std::uint32_t>(head[offset + 3]);
}

// True iff pattern occurs anywhere in the first 32 bytes.
bool foundInFirst32(Head head, std::string_view pattern) {
  const auto begin = head.begin();
  const auto end = head.begin() + 32;
  return std::search(begin, end, pattern.begin(), pattern.end(),
                     [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }) != end;
}

// MPEG program stream (pack header 00 00 01 BA with a system header 00 00 01 BB
// close behind) or MPEG video elementary stream (sequence header 00 00 01 B3
// with a group-of-pictures header 00 00 01 B8).
bool isMpeg(Head head) {
  using namespace std::string_view_literals;
  if (bytesAt(head, 0, "\x00\x00\x01\xBA"sv)) return foundInFirst32(head, "\x00\x00\x01\xBB"sv);
  if (bytesAt(head, 0, "\x00\x00\x01\xB3"sv)) return foundInFirst32(head, "\x00\x00\x01\xB8"sv);
  return false;
}

bool isMp4(Head head) { return bytesAt(head, 4, "ftyp") && (bytesAt(head, 8, "iso") || bytesAt(head, 8, "mp42")); }

// The brand of an ISO base media file that is a HEIF picture, as the file
// type box at offset 0 names it:
//   size:u32 (big-endian)  "ftyp"  major brand:4  minor version:u32
//   compatible brands: 4 bytes each, up to `size`
// The HEVC brands (heic heix heim heis, sequences hevc hevx hevm hevs) make
// it a HEIC picture, the AV1 brands (avif avis) an AVIF picture; the
// codec-neutral brands (mif1 msf1) leave the codec to the other brands,
// and without one the file is a HEIF picture of another codec. A box size
// below the header or past the head tested is no file type box.
enum class HeifBrand { kNone, kHeic, kAvif, kHeif };

constexpr std::size_t kFileTypeHeaderSize = 16;  // size, "ftyp", major brand, minor version

HeifBrand brandKind(Head head, std::size_t offset) {
  for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs"}) {
    if (bytesAt(head, offset, brand)) return HeifBrand::kHeic;
  }
  if (bytesAt(head, offset, "avif") || bytesAt(head, offset, "avis")) return HeifBrand::kAvif;
  if (bytesAt(head, offset, "mif1") || bytesAt(head, offset, "msf1")) return HeifBrand::kHeif;
  return HeifBrand::kNone;
}

HeifBrand heifBrand(Head head) {
  if (!bytesAt(head, 4, "ftyp")) return HeifBrand::kNone;
  const std::uint32_t boxSize = bigEndian32(head, 0);
  // The box must hold its header and end inside the bytes tested.
  if (boxSize < kFileTypeHeaderSize || boxSize > kSignatureSize) return HeifBrand::kNone;
  const HeifBrand major = brandKind(head, 8);
  if (major == HeifBrand::kHeic || major == HeifBrand::kAvif) return major;
  HeifBrand found = HeifBrand::kNone;
  for (std::size_t offset = kFileTypeHeaderSize; offset + 4 <= boxSize; offset += 4) {
    const HeifBrand compatible = brandKind(head, offset);
    if (compatible == HeifBrand::kHeic || compatible == HeifBrand::kAvif) return compatible;
    if (compatible == HeifBrand::kHeif) found = compatible;
  }
  return major == HeifBrand::kHeif ? HeifBrand::kHeif : found;
}

bool isHeic(Head head) { return heifBrand(head) == HeifBrand::kHeic; }
bool isAvif(Head head) { return heifBrand(head) == HeifBrand::kAvif; }
bool isHeif(Head head) { return heifBrand(head) == HeifBrand::kHeif; }

bool isRmvb(Head head) { return bytesAt(head, 0, ".RMF"); }

// The ASF header object's identifier, shared by WMV and WMA.
bool isAsf(Head head) {
  using namespace std::string_view_literals;
  return bytesAt(head, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"sv);
}

bool isAvi(Head head) { return bytesAt(head, 0, "RIFF") && bytesAt(head, 8, "AVI ") && bytesAt(head, 12, "LIST"); }

bool is3gp(Head head) { return bytesAt(head, 4, "ftyp") && bytesAt(head, 8, "3gp"); }

// An ID3v2 tag: version bytes not FF, the flags' low five bits clear, and a
// synch-safe size (every byte below 0x80).
bool isMp3(Head head) {
  if (!bytesAt(head, 0, "ID3") || head[3] == 0xFF || head[4] == 0xFF || (head[5] & 0x1F) != 0) return false;
  return head[6] < 0x80 && head[7] < 0x80 && head[8] < 0x80 && head[9] < 0x80;
}

// A MIDI header chunk of length 6 followed by the first track chunk.
bool isMidi(Head head) { return bytesAt(head, 0, "MThd") && bigEndian32(head, 4) == 6 && bytesAt(head, 14, "MTrk"); }

bool isWav(Head head) { return bytesAt(head, 0, "RIFF") && bytesAt(head, 8, "WAVE") && bytesAt(head, 12, "fmt "); }

bool isMov(Head head) { return bytesAt(head, 0, "moov") || (bytesAt(head, 4, "ftyp") && bytesAt(head, 8, "qt  ")); }

// "GIF87a" / "GIF89a": two digits and a lower-case letter after "GIF".
bool isGif(Head head) {
  auto isDigit = [](std::uint8_t c) { return c >= '0' && c <= '9'; };
  return bytesAt(head, 0, "GIF") && isDigit(head[3]) && isDigit(head[4]) && head[5] >= 'a' && head[5] <= 'z';
}

// A bitmap file header ("BM" or "BA") with zero reserved words and a 40-byte
// info header.
bool isBmp(Head head) {
  if (!bytesAt(head, 0, "BM") && !bytesAt(head, 0, "BA")) return false;
  return littleEndian16(head, 6) == 0 && littleEndian16(head, 8) == 0 && littleEndian32(head, 14) == 40;
}

// JFIF (APP0) or Exif (APP1) JPEG.
bool isJpeg(Head head) {
  using namespace std::string_view_literals;
  return (bytesAt(head, 0, "\xFF\xD8\xFF\xE0"sv) && bytesAt(head, 6, "JFIF")) ||
         (bytesAt(head, 0, "\xFF\xD8\xFF\xE1"sv) && bytesAt(head, 6, "Exif"));
}

bool isPng(Head head) {
  using namespace std::string_view_literals;
  return bytesAt(head, 0, "\x89PNG\r\n\x1A\n"sv);
}

// An icon directory: header 00 00 01 00 with a non-zero image count, then
// 16-byte entries whose images lie one after the other right behind the
// directory.
//   entry: width:u8 height:u8 colours:u8 reserved:u8 planes:u16 bits:u16
//          size:u32 offset:u32   (little-endian)
bool isIco(Head head) {
  using namespace std::string_view_literals;
  constexpr std::size_t kHeaderSize = 2 + 2 + 2;  // reserved, type, count
  constexpr std::size_t kEntrySize = 16;
  if (!bytesAt(head, 0, "\x00\x00\x01\x00"sv)) return false;
  const std::size_t count = littleEndian16(head, 4);
  if (count == 0 || count > (kSignatureSize - kHeaderSize) / kEntrySize) return false;
  std::uint64_t expectedOffset = kHeaderSize + kEntrySize * count;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = kHeaderSize + kEntrySize * i;
    if (head[entry + 3] != 0 || littleEndian32(head, entry + 12) != expectedOffset) return false;
    expectedOffset += littleEndian32(head, entry + 8);
  }
  return true;
}

bool endOfTable(Head) { return false; }

constexpr std::array<FileTypeRow, 24> kFileTypeTable = {{
    {"mpeg", kFileTypeMpeg, isMpeg},
    {"mpg", kFileTypeMpeg, isMpeg},
    {"vob", kFileTypeMpeg, isMpeg},
    {"mp4", kFileTypeMp4, isMp4},
    {"rmvb", kFileTypeRmvb, isRmvb},
    {"wmv", kFileTypeAsf, isAsf},
    {"wma", kFileTypeAsf, isAsf},
    {"avi", kFileTypeAvi, isAvi},
    {"3gp", kFileType3gp, is3gp},
    {"mp3", kFileTypeMp3, isMp3},
    {"mid", kFileTypeMidi, isMidi},
    {"wav", kFileTypeWav, isWav},
    {"mov", kFileTypeMov, isMov},
    {"gif", kFileTypeGif, isGif},
    {"bmp", kFileTypeBmp, isBmp},
    {"jpg", kFileTypeJpeg, isJpeg},
    {"jpeg", kFileTypeJpeg, isJpeg},
    {"jpe", kFileTypeJpeg, isJpeg},
    {"png", kFileTypePng, isPng},
    {"ico", kFileTypeIco, isIco},
    {"heic", kFileTypeHeic, isHeic},
    {"avif", kFileTypeAvif, isAvif},
    {"heif", kFileTypeHeif, isHeif},
    {nullptr, kFileTypeUnknown, endOfTable},
}};

// Reads up to kSignatureSize bytes of path (opened read-only) into head;
// returns how many were read, 0 when the file cannot be opened or is empty.
std::size_t readHeadOf(int fd, std::array<std::uint8_t, kSignatureSize>& head) {
  head.fill(0);
  std::size_t filled = 0;
  while (filled < head.size()) {
    const ssize_t got = ::read(fd, head.data() + filled, head.size() - filled);
    if (got <= 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return filled;
}

std::size_t readHead(const std::string& path, std::array<std::uint8_t, kSignatureSize>& head) {
  head.fill(0);
  UniqueFd file;
  if (OpenRegularFileForReading(path, file)) return 0;
  return readHeadOf(file.Get(), head);
}

// True for a regular file itself, never for a symbolic link to one.
bool isRegularFile(const std::string& path) {
  std::error_code error;
  return std::filesystem::symlink_status(path, error).type() == std::filesystem::file_type::regular;
}

}  // namespace

std::span<const FileTypeRow> FileTypeTable() { return kFileTypeTable; }

const FileTypeRow* MatchFileSignature(Head head) {
  for (const FileTypeRow& row : kFileTypeTable) {
    // Rows that share a code share their test and stand together, so the
    // first row that matches is the first row carrying that code.
    if (row.test(head)) return row.code == kFileTypeUnknown ? nullptr : &row;
  }
  return nullptr;
}

int FileTypeDetector::DetectFileType(const std::string& path, std::string& outName) {
  std::array<std::uint8_t, kSignatureSize> head;
  if (readHead(path, head) == 0) return kFileTypeUnknown;
  const FileTypeRow* row = MatchFileSignature(head);
  if (row == nullptr) return kFileTypeUnknown;
  outName = std::to_string(m_matchCount++) + "." + row->extension;
  return row->code;
}

StoredFileProbe FileTypeDetector::Probe(const std::string& path) {
  StoredFileProbe probe;
  probe.path = path;
  if (path.empty()) return probe;
  // Never blocks on a FIFO and never follows a symbolic link out of the
  // backup: such entries are not regular files.
  UniqueFd fd;
  if (const std::error_code opened = OpenRegularFileForReading(path, fd)) {
    probe.regular = opened != kBadFile && isRegularFile(path);  // e.g. a file without read permission
    return probe;
  }
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0) return probe;
  probe.regular = true;
  probe.size = static_cast<std::uint64_t>(status.st_size);
  // Only the head is wanted: no read-ahead of the rest from the disk.
  (void)::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_RANDOM);
  std::array<std::uint8_t, kSignatureSize> head;
  if (readHeadOf(fd.Get(), head) == 0) return probe;
  const FileTypeRow* row = MatchFileSignature(head);
  if (row == nullptr) return probe;
  ++m_matchCount;
  probe.recognised = true;
  probe.extension = row->extension;
  return probe;
}

std::string DetectedExtension(const std::string& detectorName) {
  const std::size_t dot = detectorName.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = detectorName.substr(dot + 1);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

}  // namespace scrivel
