#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/recovery/database_prefetch.h"
#include "core/recovery/file_type.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

namespace fs = std::filesystem;

TEST(StoredFileProbe, TellsKindSizeAndTypeWithOneOpen) {
  fixtures::TemporaryFolder folder("probe");
  const fs::path jpeg = folder.Path() / "photo.heic";
  std::ofstream(jpeg, std::ios::binary) << std::string("\xFF\xD8\xFF\xE1\x00\x00" "Exif", 10) << std::string(990, 'x');
  const fs::path text = folder.Path() / "note.txt";
  std::ofstream(text) << "just text";
  const fs::path empty = folder.Path() / "empty";
  std::ofstream{empty};
  const fs::path fifo = folder.Path() / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path link = folder.Path() / "link";
  fs::create_symlink(jpeg, link);

  struct Case {
    fs::path path;
    bool regular;
    bool recognised;
    std::uint64_t size;
    const char* extension;
  };
  const Case cases[] = {
      {jpeg, true, true, 1000, "jpg"},
      {link, false, false, 0, ""},  // a link is never followed out of the backup
      {text, true, false, 9, ""},
      {empty, true, false, 0, ""},
      {fifo, false, false, 0, ""},  // opening it must not wait for a writer
      {folder.Path(), false, false, 0, ""},
      {folder.Path() / "missing", false, false, 0, ""},
      {"", false, false, 0, ""},
  };
  FileTypeDetector detector;
  for (const Case& c : cases) {
    const StoredFileProbe probe = detector.Probe(c.path.string());
    EXPECT_EQ(probe.path, c.path.string());
    EXPECT_EQ(probe.regular, c.regular) << c.path;
    EXPECT_EQ(probe.recognised, c.recognised) << c.path;
    EXPECT_EQ(probe.size, c.size) << c.path;
    EXPECT_EQ(probe.extension, c.extension) << c.path;
  }
}

TEST(PrefetchedReading, HandsOutTheResultOnceAndOnlyForItsPaths) {
  PrefetchedReading<int> reading;
  EXPECT_FALSE(reading.Take({"a"}));  // nothing started
  reading.Start({"a", "b"}, [] { return 42; });
  EXPECT_FALSE(reading.Take({"b", "a"}));
  EXPECT_EQ(reading.Take({"a", "b"}), 42);
  EXPECT_FALSE(reading.Take({"a", "b"}));  // taken already

  reading.Start({"c"}, [] { return 1; });
  reading.Discard();
  EXPECT_FALSE(reading.Take({"c"}));
}

}  // namespace
}  // namespace scrivel
