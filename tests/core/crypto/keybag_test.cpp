#include "core/crypto/keybag.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/common/result_codes.h"

namespace scrivel::crypto {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Builds keybag bytes record by record.
class KeybagWriter {
 public:
  KeybagWriter& Record(const char* tag, const Bytes& value) {
    m_bytes.insert(m_bytes.end(), tag, tag + 4);
    AppendBigEndian(static_cast<std::uint32_t>(value.size()));
    m_bytes.insert(m_bytes.end(), value.begin(), value.end());
    return *this;
  }
  KeybagWriter& Integer(const char* tag, std::uint32_t value) {
    Bytes encoded = {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                     static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    return Record(tag, encoded);
  }
  KeybagWriter& ClassKey(std::uint32_t protectionClass, std::size_t wrappedSize = kWrappedKeySize) {
    Record("UUID", Bytes(16, 0xC0));
    Integer("CLAS", protectionClass);
    Integer("WRAP", 3);
    Integer("KTYP", 0);
    return Record("WPKY", Bytes(wrappedSize, static_cast<std::uint8_t>(protectionClass)));
  }
  const Bytes& bytes() const { return m_bytes; }

 private:
  void AppendBigEndian(std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) m_bytes.push_back(static_cast<std::uint8_t>(value >> shift));
  }
  Bytes m_bytes;
};

// The header of a keybag of iOS 10.2 and later, optionally without one tag.
KeybagWriter Header(const std::string& skippedTag = "") {
  KeybagWriter writer;
  auto add = [&](const char* tag, std::function<void()> write) {
    if (skippedTag != tag) write();
  };
  add("VERS", [&] { writer.Integer("VERS", 4); });
  add("TYPE", [&] { writer.Integer("TYPE", 1); });
  add("UUID", [&] { writer.Record("UUID", Bytes(16, 0xAA)); });
  add("HMCK", [&] { writer.Record("HMCK", Bytes(40, 0x11)); });
  add("WRAP", [&] { writer.Integer("WRAP", 0); });
  add("SALT", [&] { writer.Record("SALT", Bytes(20, 0x22)); });
  add("ITER", [&] { writer.Integer("ITER", 10000); });
  add("DPWT", [&] { writer.Integer("DPWT", 1); });
  add("DPIC", [&] { writer.Integer("DPIC", 10000000); });
  add("DPSL", [&] { writer.Record("DPSL", Bytes(20, 0x33)); });
  return writer;
}

TEST(KeybagTest, ParsesHeaderAndClassKeysOfBothGenerations) {
  Keybag keybag;
  std::string error;
  const Bytes modern = Header().ClassKey(1).ClassKey(3).ClassKey(11).bytes();
  ASSERT_FALSE(ParseKeybag(modern, keybag, error)) << error;
  EXPECT_EQ(keybag.version, 4u);
  EXPECT_EQ(keybag.type, 1u);
  EXPECT_EQ(keybag.uuid, Bytes(16, 0xAA));  // the header UUID, not a class key's
  EXPECT_EQ(keybag.salt, Bytes(20, 0x22));
  EXPECT_EQ(keybag.iterations, 10000u);
  EXPECT_TRUE(keybag.hasDoubleProtection);
  EXPECT_EQ(keybag.doubleProtectionIterations, 10000000u);
  EXPECT_EQ(keybag.doubleProtectionSalt, Bytes(20, 0x33));
  ASSERT_EQ(keybag.classKeys.size(), 3u);
  EXPECT_EQ(keybag.classKeys[2].protectionClass, 11u);
  EXPECT_EQ(keybag.classKeys[2].wrap, 3u);
  EXPECT_EQ(keybag.classKeys[2].wrappedKey, Bytes(kWrappedKeySize, 11));

  // Before iOS 10.2: no DPWT, DPIC, DPSL; the header's first WRAP belongs to it.
  KeybagWriter legacy;
  legacy.Integer("VERS", 3).Integer("TYPE", 1).Record("UUID", Bytes(16, 1)).Integer("WRAP", 0);
  legacy.Record("SALT", Bytes(20, 2)).Integer("ITER", 10000).ClassKey(2);
  ASSERT_FALSE(ParseKeybag(legacy.bytes(), keybag, error)) << error;
  EXPECT_FALSE(keybag.hasDoubleProtection);
  ASSERT_EQ(keybag.classKeys.size(), 1u);
  EXPECT_EQ(keybag.classKeys[0].protectionClass, 2u);
}

TEST(KeybagTest, SkipsUnusableClassKeyGroups) {
  KeybagWriter writer = Header();
  writer.ClassKey(1, 24);                                         // WPKY of another size
  writer.Record("UUID", Bytes(16, 0)).Record("WPKY", Bytes(40));  // no CLAS
  writer.ClassKey(5);
  Keybag keybag;
  std::string error;
  ASSERT_FALSE(ParseKeybag(writer.bytes(), keybag, error)) << error;
  ASSERT_EQ(keybag.classKeys.size(), 1u);
  EXPECT_EQ(keybag.classKeys[0].protectionClass, 5u);
}

TEST(KeybagTest, RejectsDamagedKeybagsWithAReason) {
  struct Case {
    const char* name;
    Bytes bytes;
  };
  KeybagWriter zeroIterations = Header("ITER");
  zeroIterations.Integer("ITER", 0).ClassKey(1);
  KeybagWriter hugeIterations = Header("DPIC");
  hugeIterations.Integer("DPIC", 0xFFFFFFFF).ClassKey(1);
  KeybagWriter shortInteger = Header("ITER");
  shortInteger.Record("ITER", Bytes{0x27, 0x10}).ClassKey(1);
  Bytes lengthPastEnd = Header().ClassKey(1).bytes();
  lengthPastEnd.insert(lengthPastEnd.end(), {'W', 'P', 'K', 'Y', 0x7F, 0xFF, 0xFF, 0xFF, 1, 2});
  const std::vector<Case> cases = {
      {"empty", {}},
      {"no SALT", Header("SALT").ClassKey(1).bytes()},
      {"no ITER", Header("ITER").ClassKey(1).bytes()},
      {"ITER zero", zeroIterations.bytes()},
      {"DPIC implausibly large", hugeIterations.bytes()},
      {"DPIC without DPSL", Header("DPSL").ClassKey(1).bytes()},
      {"DPSL without DPIC", Header("DPIC").ClassKey(1).bytes()},
      {"2-byte integer", shortInteger.bytes()},
      {"no class key", Header().bytes()},
      {"record length past the end", lengthPastEnd},
      {"half a record header", Bytes{'V', 'E', 'R'}},
  };
  for (const Case& c : cases) {
    Keybag keybag;
    std::string error;
    EXPECT_EQ(ParseKeybag(c.bytes, keybag, error), kBadFile) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
}

TEST(KeybagTest, EveryCutInsideARecordFails) {
  const Bytes whole = Header().ClassKey(1).bytes();
  // Record boundaries: cuts there leave a shorter, possibly valid keybag.
  std::vector<bool> boundary(whole.size() + 1, false);
  for (std::size_t offset = 0; offset < whole.size();) {
    boundary[offset] = true;
    const std::uint32_t length = std::uint32_t{whole[offset + 4]} << 24 | std::uint32_t{whole[offset + 5]} << 16 |
                                 std::uint32_t{whole[offset + 6]} << 8 | whole[offset + 7];
    offset += 8 + length;
  }
  for (std::size_t size = 1; size < whole.size(); ++size) {
    if (boundary[size]) continue;
    Keybag keybag;
    std::string error;
    EXPECT_EQ(ParseKeybag(std::span(whole).first(size), keybag, error), kBadFile) << "cut at " << size;
  }
}

}  // namespace
}  // namespace scrivel::crypto
