#include "core/crypto/key_derivation.h"

#include <gtest/gtest.h>

#include "known_answer_vectors.h"

namespace scrivel::crypto {
namespace {

using known_answer::kVectorPassword;
using known_answer::UnlockVector;

TEST(KeyDerivationTest, KnownAnswerVectorsOpenOnlyWithTheirPassword) {
  // The 10,000,000-round vector runs in tests/core/crypto/slow/.
  for (const char* vector : {known_answer::kSingleStageVector1, known_answer::kSingleStageVector2,
                             known_answer::kDoubleStageFastVector}) {
    EXPECT_FALSE(UnlockVector(vector, kVectorPassword)) << vector;
    EXPECT_EQ(UnlockVector(vector, "hashcas"), kWrongPassword) << vector;
    EXPECT_EQ(UnlockVector(vector, ""), kWrongPassword) << vector;
  }
}

TEST(KeyDerivationTest, SchemeFollowsTheKeybagTags) {
  // The same parameters with the SHA-256 stage dropped give another key, so a
  // keybag read with the wrong scheme cannot open.
  Keybag keybag = known_answer::KeybagFromVector(known_answer::kDoubleStageFastVector);
  keybag.hasDoubleProtection = false;
  SecretBytes passwordKey;
  const std::string password = kVectorPassword;
  ASSERT_EQ(DerivePasswordKey({reinterpret_cast<const std::uint8_t*>(password.data()), password.size()}, keybag,
                              passwordKey),
            std::error_code{});
  ClassKeys classKeys;
  EXPECT_EQ(classKeys.Unlock(keybag, passwordKey.view()), kWrongPassword);
}

TEST(KeyDerivationTest, RefusesZeroRounds) {
  SecretBytes key;
  EXPECT_EQ(RunPbkdf2(PbkdfDigest::kSha1, {}, {}, 0, key), kBadFile);
  EXPECT_TRUE(key.empty());
}

}  // namespace
}  // namespace scrivel::crypto
