// Public keybag test vectors in the "$itunes_backup$" notation, all for the
// password "hashcat":
//   $itunes_backup$*9*WPKY*ITER*SALT**             single PBKDF2 stage
//   $itunes_backup$*10*WPKY*ITER*SALT*DPIC*DPSL    two stages (iOS 10.2 and later)
// With the right password the class key unwraps; with any other it does not.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "core/crypto/class_keys.h"
#include "core/crypto/hex.h"
#include "core/crypto/key_derivation.h"
#include "core/crypto/keybag.h"

namespace scrivel::crypto::known_answer {

inline constexpr const char* kVectorPassword = "hashcat";

inline constexpr const char* kSingleStageVector1 =
    "$itunes_backup$*9*ebd7f9b33293b2511f0a4139d5b213feff51476968863cef60ec38d720497b6ff39a0bb63fa9f84e*10000*"
    "2202015774208421818002001652122401871832**";
inline constexpr const char* kSingleStageVector2 =
    "$itunes_backup$*9*b8e3f3a970239b22ac199b622293fe4237b9d16e74bad2c3c3568cd1bd3c471615a6c4f867265642*10000*"
    "4542263740587424862267232255853830404566**";
inline constexpr const char* kDoubleStageFastVector =
    "$itunes_backup$*10*17a3b858e79bc273be43a9f113b71efe7ec8e7e401396b350180b4592ef45db67ffef7b2d64329a5*10000*"
    "2721336781705041205314422175267631184867*1000*99fafc983e732998adb9fadc162a2e382143f115";
inline constexpr const char* kDoubleStageSlowVector =
    "$itunes_backup$*10*8b715f516ff8e64442c478c2d9abb046fc6979ab079007d3dbcef3ddd84217f4c3db01362d88fa68*10000*"
    "2353363784073608264337337723324886300850*10000000*425b4bb4e200b5fd4c66979c9caca31716052063";

inline std::vector<std::uint8_t> HexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes(text.size() / 2);
  EXPECT_TRUE(ParseHex(text, bytes)) << text;
  return bytes;
}

// A keybag with the vector's parameters and its one class key (class 1).
inline Keybag KeybagFromVector(const std::string& vector) {
  std::vector<std::string> fields;
  std::stringstream stream(vector);
  for (std::string field; std::getline(stream, field, '*');) fields.push_back(field);
  // fields: "$itunes_backup$", version, WPKY, ITER, SALT, DPIC, DPSL
  Keybag keybag;
  keybag.iterations = static_cast<std::uint32_t>(std::stoul(fields.at(3)));
  keybag.salt = HexBytes(fields.at(4));
  keybag.hasDoubleProtection = fields.at(1) == "10";
  if (keybag.hasDoubleProtection) {
    keybag.doubleProtectionIterations = static_cast<std::uint32_t>(std::stoul(fields.at(5)));
    keybag.doubleProtectionSalt = HexBytes(fields.at(6));
  }
  keybag.classKeys.push_back({1, kClassKeyWrappedWithPassword, 0, HexBytes(fields.at(2))});
  return keybag;
}

// The result of opening the vector's keybag with `password`.
inline std::error_code UnlockVector(const std::string& vector, const std::string& password) {
  const Keybag keybag = KeybagFromVector(vector);
  SecretBytes passwordKey;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(password.data());
  if (const std::error_code rc = DerivePasswordKey({bytes, password.size()}, keybag, passwordKey); rc) return rc;
  ClassKeys classKeys;
  return classKeys.Unlock(keybag, passwordKey.view());
}

}  // namespace scrivel::crypto::known_answer
