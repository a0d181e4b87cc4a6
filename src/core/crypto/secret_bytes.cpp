#include "core/crypto/secret_bytes.h"

#include <openssl/crypto.h>

namespace scrivel::crypto {

void WipeString(std::string& text) {
  if (!text.empty()) OPENSSL_cleanse(text.data(), text.size());
  text.clear();
}

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
  if (this != &other) {
    Clear();
    m_bytes = std::move(other.m_bytes);
    other.m_bytes.clear();
  }
  return *this;
}

void SecretBytes::Assign(std::span<const std::uint8_t> bytes) {
  Clear();
  m_bytes.assign(bytes.begin(), bytes.end());
}

void SecretBytes::Clear() {
  if (!m_bytes.empty()) OPENSSL_cleanse(m_bytes.data(), m_bytes.size());
  m_bytes.clear();
}

}  // namespace scrivel::crypto
