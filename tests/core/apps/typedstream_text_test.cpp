// The typedstream reader on hand-made archives of every length form and
// both outer classes, and on damaged ones, which give an empty text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/apps/message_summary.h"
#include "core/apps/typedstream_text.h"
#include "fixtures/typedstream_archive.h"

namespace scrivel::apps {
namespace {

using fixtures::ArchivedStringClass;
using fixtures::TypedstreamArchive;
using Archive = std::vector<std::uint8_t>;

// The offset of the length item: just behind the first "84 01 2B".
std::size_t LengthOffset(const Archive& archive) {
  const Archive marker{0x84, 0x01, 0x2B};
  return static_cast<std::size_t>(std::search(archive.begin(), archive.end(), marker.begin(), marker.end()) -
                                  archive.begin()) + marker.size();
}

TEST(TypedstreamText, ReadsEveryLengthFormAndBothOuterClasses) {
  struct Case {
    const char* what;
    std::string text;
    ArchivedStringClass outer;
    std::uint8_t lengthHead;  // first byte of the length item
  };
  const Case cases[] = {
      {"short", "Hi", ArchivedStringClass::kImmutable, 0x02},
      {"single byte limit", std::string(127, 'a'), ArchivedStringClass::kMutable, 0x7F},
      {"first two-byte length", std::string(128, 'b'), ArchivedStringClass::kMutable, 0x81},
      {"255 bytes", std::string(255, 'c'), ArchivedStringClass::kImmutable, 0x81},
      {"300 bytes", std::string(300, 'd'), ArchivedStringClass::kMutable, 0x81},
      {"four-byte length", std::string(70000, 'e'), ArchivedStringClass::kMutable, 0x82},
      {"multi-byte characters", "Привет, 世界 — café", ArchivedStringClass::kMutable, 0x1E},
      {"emoji and attachment mark", "See you 👋🏽\xEF\xBF\xBC", ArchivedStringClass::kImmutable, 0x13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Archive archive = TypedstreamArchive(c.text, c.outer);
    EXPECT_EQ(archive[LengthOffset(archive)], c.lengthHead);
    EXPECT_EQ(TypedstreamText(archive), c.text);
  }
}

TEST(TypedstreamText, DamagedArchivesGiveNoText) {
  const Archive good = TypedstreamArchive("Dinner at eight?");
  const std::size_t lengthAt = LengthOffset(good);
  struct Case {
    const char* what;
    Archive archive;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"signature only", Archive(good.begin(), good.begin() + 13)});
  cases.push_back({"cut inside the text", Archive(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(lengthAt) + 5)});
  cases.push_back({"cut before the length", Archive(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(lengthAt))});
  Archive tooLong = good;
  tooLong[lengthAt] = 0x7F;  // 127 bytes declared, fewer present
  cases.push_back({"length beyond the end", tooLong});
  Archive hugeLength = good;
  hugeLength[lengthAt] = 0x82;  // 4-byte form: reads bytes of the text as a huge length
  cases.push_back({"four-byte length beyond the end", hugeLength});
  Archive tagAsLength = good;
  tagAsLength[lengthAt] = 0x85;
  cases.push_back({"a tag where the length belongs", tagAsLength});
  Archive noMarker = good;
  noMarker[lengthAt - 1] = 0x40;
  cases.push_back({"no byte-string marker", noMarker});
  Archive noStringClass = good;
  for (std::size_t i = 0; i + 8 <= noStringClass.size(); ++i)
    if (std::equal(noStringClass.begin() + static_cast<std::ptrdiff_t>(i),
                   noStringClass.begin() + static_cast<std::ptrdiff_t>(i + 8), "NSString"))
      noStringClass[i + 2] = 'X';
  cases.push_back({"no string class", noStringClass});
  Archive bigEndian = good;
  std::copy_n("typedstream", 11, bigEndian.begin() + 2);
  cases.push_back({"big-endian signature", bigEndian});
  Archive brokenUtf8 = good;
  brokenUtf8[lengthAt + 1] = 0xC3;
  brokenUtf8[lengthAt + 2] = 0x28;
  cases.push_back({"text not UTF-8", brokenUtf8});
  Archive garbage(500);
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
  cases.push_back({"garbage", garbage});
  for (const Case& c : cases) EXPECT_EQ(TypedstreamText(c.archive), "") << c.what;
}

TEST(MessageSummary, EditedUnsentAndDamagedLists) {
  const Archive edited = fixtures::MessageSummaryInfo({"Meet at 6", "Meet at 7", "Meet at 7:30"}, false, 7e8);
  MessageSummary summary = ParseMessageSummary(edited);
  EXPECT_TRUE(summary.edited);
  EXPECT_FALSE(summary.unsent);
  EXPECT_EQ(summary.lastText, "Meet at 7:30");

  summary = ParseMessageSummary(fixtures::MessageSummaryInfo({}, true, 7e8));
  EXPECT_FALSE(summary.edited);
  EXPECT_TRUE(summary.unsent);
  EXPECT_EQ(summary.lastText, "");

  for (const Archive& damaged : {Archive{}, Archive(edited.begin(), edited.begin() + edited.size() / 2),
                                 TypedstreamArchive("not a list")}) {
    summary = ParseMessageSummary(damaged);
    EXPECT_FALSE(summary.edited || summary.unsent || !summary.lastText.empty());
  }
}

}  // namespace
}  // namespace scrivel::apps
