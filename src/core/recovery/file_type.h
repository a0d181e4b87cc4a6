// Recognises media files by their content signature: the first 512 bytes of a
// file are tested against a fixed table of patterns (JPEG, PNG, GIF, BMP,
// ICO, HEIC, AVIF, HEIF, MP3, MIDI, WAV, AVI, MOV, MP4, 3GP, MPEG, RMVB,
// WMV). The name a file
// was stored under plays no part: an attachment named IMG_0001.heic whose
// bytes are a JPEG is a JPEG.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace scrivel {

// Type codes of the signature table.
inline constexpr int kFileTypeMp3 = 12;
inline constexpr int kFileTypeMidi = 13;
inline constexpr int kFileTypeMpeg = 15;
inline constexpr int kFileType3gp = 16;
inline constexpr int kFileTypeMov = 17;
inline constexpr int kFileTypeMp4 = 18;
inline constexpr int kFileTypeWav = 21;
inline constexpr int kFileTypeAvi = 22;
inline constexpr int kFileTypeRmvb = 23;
inline constexpr int kFileTypeAsf = 24;
inline constexpr int kFileTypeBmp = 29;
inline constexpr int kFileTypePng = 30;
inline constexpr int kFileTypeGif = 31;
inline constexpr int kFileTypeJpeg = 10;
inline constexpr int kFileTypeIco = 46;
inline constexpr int kFileTypeUnknown = 48;
// Pictures of the HEIF family, which iPhones write from iOS 11 on.
inline constexpr int kFileTypeHeic = 49;  // HEVC-coded HEIF ("heic" brands)
inline constexpr int kFileTypeAvif = 50;  // AV1-coded HEIF ("avif" brands)
inline constexpr int kFileTypeHeif = 51;  // HEIF of another codec ("mif1" / "msf1" alone)

// How many bytes of a file the signature tests look at. A shorter file is
// tested as if padded with zero bytes.
inline constexpr std::size_t kSignatureSize = 512;

// One row of the signature table. The first row whose test matches decides
// the type; the extension reported is that of the first row with that code.
struct FileTypeRow {
  const char* extension;  // without the dot, lower case; nullptr on the end row
  int code;               // kFileType*
  bool (*test)(std::span<const std::uint8_t, kSignatureSize> head);
};

// The signature table in test order, ending with the kFileTypeUnknown row.
std::span<const FileTypeRow> FileTypeTable();

// Tests head (the first kSignatureSize bytes of a file, zero-padded) and
// returns the row that decides its type, or nullptr when none matches.
const FileTypeRow* MatchFileSignature(std::span<const std::uint8_t, kSignatureSize> head);

// What the file scans learn of one stored file with a single open: whether
// it is a regular file, its size and its recognised type.
struct StoredFileProbe {
  std::string path;          // the file probed
  bool regular = false;      // a regular file, not a link to one; false when missing
  bool recognised = false;   // its first bytes match a signature
  std::uint64_t size = 0;    // bytes, when regular and opened
  std::string extension;     // lower case, without the dot, when recognised
};

// Detects the type of stored files. The detector numbers its matches within
// one scan, as the scans name their outputs "<n>.<extension>".
// Not thread-safe; one detector per scan.
class FileTypeDetector {
 public:
  // Starts a new scan: the match counter goes back to 0.
  void Reset() { m_matchCount = 0; }

  // Opens path for reading only and tests its first bytes. On a match writes
  // "<counter>.<extension>" (e.g. "0.jpg") into outName, advances the counter
  // and returns the type code; otherwise leaves outName unchanged and returns
  // kFileTypeUnknown. A file that cannot be opened or is empty is no match.
  int DetectFileType(const std::string& path, std::string& outName);

  // Probes path: opens it once (never waiting on a special file), takes its
  // size from the open file and tests its first bytes as DetectFileType
  // does, numbering a match the same way. A file that cannot be opened is
  // still told regular or not.
  StoredFileProbe Probe(const std::string& path);

 private:
  std::uint64_t m_matchCount = 0;  // matches since the last Reset
};

// The extension of a detector output ("0.jpg" -> "jpg"): the text after the
// last ".", lower case; empty when there is no ".".
std::string DetectedExtension(const std::string& detectorName);

}  // namespace scrivel
