#include "core/crypto/class_keys.h"

#include <algorithm>

#include "core/common/result_codes.h"
#include "core/crypto/aes_key_wrap.h"

namespace scrivel::crypto {

bool ParseWrappedFileKey(std::span<const std::uint8_t> bytes, WrappedFileKey& out) {
  if (bytes.size() != kWrappedFileKeySize) return false;
  out.protectionClass = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
                        std::uint32_t{bytes[3]} << 24;
  std::copy(bytes.begin() + 4, bytes.end(), out.wrappedKey.begin());
  return true;
}

std::error_code ClassKeys::Unlock(const Keybag& keybag, std::span<const std::uint8_t> passwordKey) {
  m_keys.clear();
  bool anyWrappedWithPassword = false;
  for (const ClassKeyRecord& record : keybag.classKeys) {
    if ((record.wrap & kClassKeyWrappedWithPassword) == 0) continue;
    anyWrappedWithPassword = true;
    SecretBytes key;
    if (UnwrapKey(passwordKey, record.wrappedKey, key)) m_keys[record.protectionClass] = std::move(key);
  }
  if (!anyWrappedWithPassword) return kBadFile;
  // With the right password every class key opens; with a wrong one none does.
  // Keeping the ones that open lets a keybag with one damaged key still work.
  return m_keys.empty() ? make_error_code(kWrongPassword) : std::error_code{};
}

bool ClassKeys::UnwrapFileKey(const WrappedFileKey& wrapped, SecretBytes& key) const {
  key.Clear();
  const auto found = m_keys.find(wrapped.protectionClass);
  if (found == m_keys.end()) return false;
  return UnwrapKey(found->second.view(), wrapped.wrappedKey, key);
}

}  // namespace scrivel::crypto
