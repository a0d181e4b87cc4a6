// The keybag vector with 10,000,000 PBKDF2-HMAC-SHA256 rounds (about 3 s per
// derivation), kept apart from the fast crypto tests.
#include <gtest/gtest.h>

#include "../known_answer_vectors.h"

namespace scrivel::crypto {
namespace {

TEST(KnownAnswerSlowTest, TenMillionRoundVectorOpensOnlyWithItsPassword) {
  EXPECT_FALSE(known_answer::UnlockVector(known_answer::kDoubleStageSlowVector, known_answer::kVectorPassword));
  EXPECT_EQ(known_answer::UnlockVector(known_answer::kDoubleStageSlowVector, "Hashcat"), kWrongPassword);
}

}  // namespace
}  // namespace scrivel::crypto
