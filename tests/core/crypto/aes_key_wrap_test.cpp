#include "core/crypto/aes_key_wrap.h"

#include <gtest/gtest.h>

#include "core/common/result_codes.h"
#include "core/crypto/class_keys.h"
#include "known_answer_vectors.h"

namespace scrivel::crypto {
namespace {

using known_answer::HexBytes;
using Bytes = std::vector<std::uint8_t>;

// RFC 3394 section 4.6: 256 bits of key data wrapped with a 256-bit KEK.
const Bytes kRfcKek = HexBytes("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
const Bytes kRfcKeyData = HexBytes("00112233445566778899aabbccddeeff000102030405060708090a0b0c0d0e0f");
const Bytes kRfcWrapped =
    HexBytes("28c9f404c4b810f4cbccb35cfb87f8263f5786e2d80ed326cbc7f0e71a99f43bfb988b9b7a02dd21");

TEST(AesKeyWrapTest, MatchesTheRfcVectorBothWays) {
  SecretBytes key;
  ASSERT_TRUE(UnwrapKey(kRfcKek, kRfcWrapped, key));
  EXPECT_EQ(Bytes(key.view().begin(), key.view().end()), kRfcKeyData);
  Bytes wrapped;
  ASSERT_TRUE(WrapKey(kRfcKek, kRfcKeyData, wrapped));
  EXPECT_EQ(wrapped, kRfcWrapped);
}

TEST(AesKeyWrapTest, IntegrityCheckRejectsEveryFlippedByteAndAWrongKek) {
  for (std::size_t i = 0; i < kRfcWrapped.size(); ++i) {
    Bytes damaged = kRfcWrapped;
    damaged[i] ^= 0x01;
    SecretBytes key;
    EXPECT_FALSE(UnwrapKey(kRfcKek, damaged, key)) << "byte " << i;
    EXPECT_TRUE(key.empty());
  }
  Bytes otherKek = kRfcKek;
  otherKek[31] ^= 0x80;
  SecretBytes key;
  EXPECT_FALSE(UnwrapKey(otherKek, kRfcWrapped, key));
}

TEST(AesKeyWrapTest, RejectsWrongSizes) {
  SecretBytes key;
  EXPECT_FALSE(UnwrapKey(Bytes(31), kRfcWrapped, key));                                         // KEK size
  EXPECT_FALSE(UnwrapKey(kRfcKek, Bytes(kRfcWrapped.begin(), kRfcWrapped.end() - 1), key));     // not 8-aligned
  EXPECT_FALSE(UnwrapKey(kRfcKek, Bytes(16), key));                                             // one block of data
  EXPECT_FALSE(UnwrapKey(kRfcKek, {}, key));
  Bytes wrapped;
  EXPECT_FALSE(WrapKey(kRfcKek, Bytes(12), wrapped));
}

// A keybag whose class keys 1 to 3 are wrapped with `passwordKey`.
Keybag KeybagWrappedWith(const Bytes& passwordKey, const std::vector<Bytes>& classKeys) {
  Keybag keybag;
  for (std::uint32_t i = 0; i < classKeys.size(); ++i) {
    Bytes wrapped;
    EXPECT_TRUE(WrapKey(passwordKey, classKeys[i], wrapped));
    keybag.classKeys.push_back({i + 1, kClassKeyWrappedWithPassword, 0, wrapped});
  }
  return keybag;
}

TEST(ClassKeysTest, UnlocksWithThePasswordKeyAndUnwrapsFileKeys) {
  const Bytes passwordKey(32, 0x5A);
  const std::vector<Bytes> classKeyBytes = {Bytes(32, 1), Bytes(32, 2), Bytes(32, 3)};
  Keybag keybag = KeybagWrappedWith(passwordKey, classKeyBytes);

  ClassKeys classKeys;
  EXPECT_EQ(classKeys.Unlock(keybag, Bytes(32, 0x5B)), kWrongPassword);
  EXPECT_FALSE(classKeys.Has(1));
  ASSERT_FALSE(classKeys.Unlock(keybag, passwordKey));

  // A 44-byte wrapped file key: little-endian class 2, then the wrap.
  const Bytes fileKey(32, 0xF1);
  Bytes wrapped;
  ASSERT_TRUE(WrapKey(classKeyBytes[1], fileKey, wrapped));
  Bytes stored(kWrappedFileKeySize);
  stored[0] = 2;
  std::copy(wrapped.begin(), wrapped.end(), stored.begin() + 4);
  WrappedFileKey parsed;
  ASSERT_TRUE(ParseWrappedFileKey(stored, parsed));
  EXPECT_EQ(parsed.protectionClass, 2u);
  SecretBytes unwrapped;
  ASSERT_TRUE(classKeys.UnwrapFileKey(parsed, unwrapped));
  EXPECT_EQ(Bytes(unwrapped.view().begin(), unwrapped.view().end()), fileKey);

  parsed.protectionClass = 7;  // no such class in this keybag
  EXPECT_FALSE(classKeys.UnwrapFileKey(parsed, unwrapped));
  EXPECT_FALSE(ParseWrappedFileKey(Bytes(stored.begin(), stored.end() - 1), parsed));
}

TEST(ClassKeysTest, OneDamagedClassKeyLeavesTheOthersUsable) {
  const Bytes passwordKey(32, 0x5A);
  Keybag keybag = KeybagWrappedWith(passwordKey, {Bytes(32, 1), Bytes(32, 2)});
  keybag.classKeys[0].wrappedKey[5] ^= 0xFF;
  ClassKeys classKeys;
  ASSERT_FALSE(classKeys.Unlock(keybag, passwordKey));
  EXPECT_FALSE(classKeys.Has(1));
  EXPECT_TRUE(classKeys.Has(2));

  // Keys not wrapped with the password (device-only keys) are not tried.
  for (ClassKeyRecord& record : keybag.classKeys) record.wrap = 1;
  EXPECT_EQ(classKeys.Unlock(keybag, passwordKey), kBadFile);
}

}  // namespace
}  // namespace scrivel::crypto
