#include "core/recovery/file_copy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "core/common/result_codes.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

struct CopyReport {
  std::vector<int> percents;
  std::vector<std::error_code> errors;
  int stopAfter = -1;  // return kCancelled on this call (0-based), -1 never
};

std::error_code recordCopy(void* userData, int percent, std::error_code errorCode, const std::string&) {
  auto* report = static_cast<CopyReport*>(userData);
  report->percents.push_back(percent);
  report->errors.push_back(errorCode);
  return static_cast<int>(report->percents.size()) - 1 == report->stopAfter ? make_error_code(kCancelled) : std::error_code{};
}

std::error_code recordPercent(void* userData, int percent) {
  static_cast<std::vector<int>*>(userData)->push_back(percent);
  return {};
}

class FileCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dir = fs::temp_directory_path() / ("scrivel-copy-" + std::to_string(std::random_device{}()));
    fs::create_directories(m_dir / "work");
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string write(const std::string& name, const std::string& bytes) {
    std::ofstream(m_dir / name, std::ios::binary) << bytes;
    return (m_dir / name).string();
  }
  std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    return bytes;
  }
  fs::path m_dir;
};

TEST_F(FileCopyTest, CopiesWholeFileInChunksIntoNewFolders) {
  const std::string content = patterned(2 * kCopyChunkSize + 123);
  const std::string source = write("source.bin", content);
  const std::string destination = (m_dir / "out/a/b/copy.bin").string();
  CopyReport report;
  EXPECT_FALSE(CopyOut(source, destination, recordCopy, &report));
  EXPECT_EQ(readAll(destination), content);
  EXPECT_EQ(report.percents, (std::vector<int>{49, 99, 100}));
  EXPECT_EQ(report.errors, (std::vector<std::error_code>{{}, {}, {}}));
}

// The kernel copies within one kind of file system; between two kinds the
// copy goes through a buffer. Both give the same bytes.
TEST_F(FileCopyTest, CopiesFromAnotherFileSystemThroughABuffer) {
  const fs::path other = "/dev/shm";
  struct stat here {}, there {};
  if (::stat(m_dir.c_str(), &here) != 0 || ::stat(other.c_str(), &there) != 0 || here.st_dev == there.st_dev)
    GTEST_SKIP() << "no second file system at " << other;
  const fs::path source = other / ("scrivel-copy-source-" + std::to_string(std::random_device{}()));
  const std::string content = patterned(2 * kCopyChunkSize + 5);
  std::ofstream(source, std::ios::binary) << content;
  const std::string destination = (m_dir / "from-shm.bin").string();
  const std::error_code result = CopyOut(source.string(), destination, nullptr, nullptr);
  fs::remove(source);
  EXPECT_FALSE(result);
  EXPECT_EQ(readAll(destination), content);
}

TEST_F(FileCopyTest, TruncatesALongerOldTarget) {
  const std::string source = write("short.txt", "new");
  const std::string destination = write("target.txt", "a much longer old content");
  EXPECT_FALSE(CopyOut(source, destination, nullptr, nullptr));
  EXPECT_EQ(readAll(destination), "new");
}

TEST_F(FileCopyTest, CancelRemovesThePartialTargetAndReportsOnceMore) {
  const std::string source = write("big.bin", patterned(3 * kCopyChunkSize));
  const std::string destination = (m_dir / "partial.bin").string();
  CopyReport report;
  report.stopAfter = 0;
  EXPECT_EQ(CopyOut(source, destination, recordCopy, &report), kCancelled);
  EXPECT_FALSE(fs::exists(destination));
  EXPECT_EQ(report.percents, (std::vector<int>{33, 100}));
  EXPECT_EQ(report.errors, (std::vector<std::error_code>{{}, kCancelled}));
}

// A source that cannot be read is a bad file; a target that cannot be
// written keeps the operating system's reason, so the person reads it.
TEST_F(FileCopyTest, MissingSourceIsABadFileAndAnUnwritableTargetSaysWhy) {
  CopyReport report;
  EXPECT_EQ(CopyOut((m_dir / "missing").string(), (m_dir / "x").string(), recordCopy, &report), kBadFile);
  EXPECT_EQ(report.errors, (std::vector<std::error_code>{kBadFile}));
  const std::string source = write("s", "data");
  EXPECT_EQ(CopyOut(source, (m_dir / "s" / "inside-a-file").string(), nullptr, nullptr), std::errc::not_a_directory);
}

TEST_F(FileCopyTest, EmptySourceGivesEmptyTarget) {
  const std::string destination = (m_dir / "empty-copy").string();
  EXPECT_FALSE(CopyOut(write("empty", ""), destination, nullptr, nullptr));
  EXPECT_TRUE(fs::exists(destination));
  EXPECT_EQ(fs::file_size(destination), 0u);
}

TEST_F(FileCopyTest, PreviewTargetFollowsTheContentType) {
  using namespace std::string_literals;
  const struct {
    std::string content;
    std::error_code result;
    const char* target;  // "" when no copy is made
  } cases[] = {
      {"\x89PNG\r\n\x1A\n"s + "pixels", std::error_code{}, "tmp.jpg"},
      {"RIFF\x24\x00\x00\x00WAVEfmt "s, std::error_code{}, "tmp.wav"},
      {"MThd\x00\x00\x00\x06\x00\x01\x00\x02\x00\x60MTrk"s, std::error_code{}, "tmp.wav"},  // "mid" occurs in the audio list
      {"\x00\x00\x00\x18" "ftypmp42"s, std::error_code{}, "tmp.avi"},
      {"plain text"s, kBadFile, ""},
  };
  const std::string workFolder = (m_dir / "work").string() + "/";
  for (const auto& c : cases) {
    const std::string source = write("preview-source", c.content);
    std::string target = "stale";
    std::vector<int> percents;
    EXPECT_EQ(ExtractPreviewFile(workFolder, source, target, recordPercent, &percents), c.result) << c.target;
    if (*c.target == '\0') {
      EXPECT_EQ(target, "");
      EXPECT_TRUE(percents.empty());
    } else {
      EXPECT_EQ(target, workFolder + c.target);
      EXPECT_EQ(readAll(target), c.content);
      EXPECT_EQ(percents.back(), 100);
    }
  }
}

}  // namespace
}  // namespace scrivel
