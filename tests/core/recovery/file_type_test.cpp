#include "core/recovery/file_type.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <random>

namespace scrivel {
namespace {

using Bytes = std::string;

// A 512-byte head holding prefix, then zeros; patches place bytes further in.
std::array<std::uint8_t, kSignatureSize> headOf(const Bytes& prefix) {
  std::array<std::uint8_t, kSignatureSize> head{};
  for (std::size_t i = 0; i < prefix.size() && i < head.size(); ++i) head[i] = static_cast<std::uint8_t>(prefix[i]);
  return head;
}

Bytes icoWithEntries(std::uint16_t count, std::uint32_t firstOffset, std::uint8_t reserved = 0) {
  Bytes bytes("\x00\x00\x01\x00", 4);
  bytes += static_cast<char>(count & 0xFF);
  bytes += static_cast<char>(count >> 8);
  std::uint32_t offset = firstOffset;
  for (std::uint16_t i = 0; i < count; ++i) {
    Bytes entry(16, '\0');
    entry[3] = static_cast<char>(reserved);
    const std::uint32_t size = 100;
    for (int b = 0; b < 4; ++b) entry[8 + b] = static_cast<char>((size >> (8 * b)) & 0xFF);
    for (int b = 0; b < 4; ++b) entry[12 + b] = static_cast<char>((offset >> (8 * b)) & 0xFF);
    offset += size;
    bytes += entry;
  }
  return bytes;
}

TEST(FileTypeTest, SignatureTable) {
  using namespace std::string_literals;
  const struct {
    Bytes prefix;
    const char* extension;  // nullptr: no match
    const char* what;
  } cases[] = {
      {"\xFF\xD8\xFF\xE0\x00\x10JFIF\x00"s, "jpg", "JFIF JPEG"},
      {"\xFF\xD8\xFF\xE1\x12\x34" "Exif\x00\x00"s, "jpg", "Exif JPEG"},
      {"\xFF\xD8\xFF\xDB\x00\x43"s, nullptr, "bare JPEG without JFIF or Exif"},
      {"\x89PNG\r\n\x1A\n"s, "png", "PNG"},
      {"GIF89a"s, "gif", "GIF89a"},
      {"GIF8Xa"s, nullptr, "GIF with a non-digit version"},
      {"BM\x00\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00"s, "bmp", "BMP"},
      {"BM\x00\x00\x00\x00\x01\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00"s, nullptr, "BMP with reserved word set"},
      {"\x00\x00\x00\x18" "ftypmp42"s, "mp4", "MP4 mp42"},
      {"\x00\x00\x00\x18" "ftypisom"s, "mp4", "MP4 isom"},
      {"\x00\x00\x00\x14" "ftypqt  "s, "mov", "QuickTime"},
      {"moov"s, "mov", "bare moov atom"},
      {"\x00\x00\x00\x14" "ftyp3gp4"s, "3gp", "3GP"},
      {"\x00\x00\x01\xBA\x44\x00\x04\x00\x04\x01\x01\x89\xC3\xF8\x00\x00\x01\xBB"s, "mpeg", "MPEG program stream"},
      {"\x00\x00\x01\xB3\x14\x00\xF0\x13\xFF\xFF\xE0\x18\x00\x00\x01\xB8"s, "mpeg", "MPEG video"},
      {"\x00\x00\x01\xBA\x44\x00"s, nullptr, "MPEG pack without system header"},
      {".RMF\x00\x00"s, "rmvb", "RealMedia"},
      {"\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C"s, "wmv", "ASF"},
      {"RIFF\x24\x00\x00\x00" "AVI LIST"s, "avi", "AVI"},
      {"RIFF\x24\x00\x00\x00" "WAVEfmt "s, "wav", "WAV"},
      {"RIFF\x24\x00\x00\x00" "WAVEdata"s, nullptr, "WAV without fmt chunk first"},
      {"ID3\x03\x00\x00\x00\x00\x0F\x76"s, "mp3", "ID3v2.3"},
      {"ID3\xFF\x00\x00\x00\x00\x0F\x76"s, nullptr, "ID3 with FF version"},
      {"ID3\x03\x00\x00\x00\x80\x0F\x76"s, nullptr, "ID3 size not synch-safe"},
      {"MThd\x00\x00\x00\x06\x00\x01\x00\x02\x00\x60MTrk"s, "mid", "MIDI"},
      {"MThd\x00\x00\x00\x07\x00\x01\x00\x02\x00\x60MTrk"s, nullptr, "MIDI header length 7"},
      {icoWithEntries(2, 6 + 32), "ico", "icon with two images"},
      {icoWithEntries(2, 6 + 32 + 1), nullptr, "icon whose first image is not behind the directory"},
      {icoWithEntries(1, 6 + 16, 1), nullptr, "icon entry with reserved byte set"},
      {icoWithEntries(0, 6), nullptr, "icon with no images"},
      {"\x00\x00\x00\x18" "ftypheic\x00\x00\x00\x00heicmif1"s, "heic", "HEIC, major brand heic"},
      {"\x00\x00\x00\x20" "ftypmif1\x00\x00\x00\x00mif1miafMiHB"s + "heic", "heic", "HEIF with heic last"},
      {"\x00\x00\x00\x18" "ftypmsf1\x00\x00\x00\x00msf1hevc"s, "heic", "HEIF sequence of HEVC"},
      {"\x00\x00\x00\x1C" "ftypavif\x00\x00\x00\x00avifmif1miaf"s, "avif", "AVIF"},
      {"\x00\x00\x00\x18" "ftypmif1\x00\x00\x00\x00mif1miaf"s, "heif", "HEIF without a codec brand"},
      {"\x00\x00\x00\x18" "ftypmiaf\x00\x00\x00\x00miafmif1"s, "heif", "mif1 only among compatible brands"},
      {"\x00\x00\x00\x14" "ftypmiaf\x00\x00\x00\x00miaf"s, nullptr, "no HEIF brand at all"},
      {"\x00\x00\x00\x08" "ftypmif1\x00\x00\x00\x00heic"s, nullptr, "file type box shorter than its header"},
      {"\x00\x00\x02\x04" "ftypmif1\x00\x00\x00\x00heic"s, nullptr, "file type box longer than the head"},
      {"\x00\x00\x00\x18" "ftypmif1\x00\x00\x00\x00mif1"s + Bytes(4, '\0') + "heic", "heif", "brand after the box end"},
      {"%PDF-1.4"s, nullptr, "PDF"},
      {""s, nullptr, "all zero"},
  };
  for (const auto& c : cases) {
    const FileTypeRow* row = MatchFileSignature(headOf(c.prefix));
    if (c.extension == nullptr) {
      EXPECT_EQ(row, nullptr) << c.what;
    } else {
      ASSERT_NE(row, nullptr) << c.what;
      EXPECT_STREQ(row->extension, c.extension) << c.what;
    }
  }
}

class FileTypeDetectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = std::filesystem::temp_directory_path() / ("scrivel-type-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(m_dir);
  }
  void TearDown() override {
    std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(m_dir);
  }
  std::string write(const std::string& name, const Bytes& bytes) {
    const std::filesystem::path path = m_dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }
  std::filesystem::path m_dir;
};

TEST_F(FileTypeDetectorTest, NumbersMatchesAndIgnoresTheStoredName) {
  FileTypeDetector detector;
  std::string name = "untouched";
  EXPECT_EQ(detector.DetectFileType(write("IMG_0001.heic", std::string("\xFF\xD8\xFF\xE1\x00\x00" "Exif", 10)), name),
            kFileTypeJpeg);
  EXPECT_EQ(name, "0.jpg");
  EXPECT_EQ(detector.DetectFileType(write("notes.txt", "just text, nothing else"), name), kFileTypeUnknown);
  EXPECT_EQ(name, "0.jpg");  // unchanged on no match
  EXPECT_EQ(detector.DetectFileType(write("a", "\x89PNG\r\n\x1A\n"), name), kFileTypePng);
  EXPECT_EQ(name, "1.png");
  EXPECT_EQ(detector.DetectFileType(write("empty", ""), name), kFileTypeUnknown);
  EXPECT_EQ(detector.DetectFileType((m_dir / "missing").string(), name), kFileTypeUnknown);
  detector.Reset();
  EXPECT_EQ(detector.DetectFileType(write("b", "GIF87a"), name), kFileTypeGif);
  EXPECT_EQ(name, "0.gif");
}

TEST_F(FileTypeDetectorTest, ReadOnlyFileIsRecognised) {
  const std::string path = write("photo.jpg", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10));
  std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
  FileTypeDetector detector;
  std::string name;
  EXPECT_EQ(detector.DetectFileType(path, name), kFileTypeJpeg);
}

TEST(FileTypeTest, DetectedExtension) {
  EXPECT_EQ(DetectedExtension("12.JPG"), "jpg");
  EXPECT_EQ(DetectedExtension("0.tar.gz"), "gz");
  EXPECT_EQ(DetectedExtension("none"), "");
}

}  // namespace
}  // namespace scrivel
