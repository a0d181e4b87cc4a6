#include "core/crypto/aes_key_wrap.h"

#include <climits>
#include <memory>

#include <openssl/evp.h>

namespace scrivel::crypto {
namespace {

constexpr std::size_t kIntegrityValueSize = 8;
constexpr std::size_t kMinKeySize = 16;  // RFC 3394 wraps at least two 64-bit blocks

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

// The wrap ciphers, each looked up in the library once for the whole
// process: a lookup by name for every file key costs more than the
// unwrapping, and a backup holds many thousands of file keys. Never freed:
// they live as long as the library.
const EVP_CIPHER* WrapCipherFor(std::size_t kekSize) {
  static EVP_CIPHER* const kAes128Wrap = EVP_CIPHER_fetch(nullptr, "AES-128-WRAP", nullptr);
  static EVP_CIPHER* const kAes192Wrap = EVP_CIPHER_fetch(nullptr, "AES-192-WRAP", nullptr);
  static EVP_CIPHER* const kAes256Wrap = EVP_CIPHER_fetch(nullptr, "AES-256-WRAP", nullptr);
  switch (kekSize) {
    case 16: return kAes128Wrap;
    case 24: return kAes192Wrap;
    case 32: return kAes256Wrap;
    default: return nullptr;
  }
}

// Runs the wrap cipher in one direction over `input` into `output`, which must
// hold input.size() + 8 bytes. Returns the number of bytes produced, or -1.
int RunWrapCipher(bool encrypt, std::span<const std::uint8_t> kek, std::span<const std::uint8_t> input,
                  std::uint8_t* output) {
  const EVP_CIPHER* cipher = WrapCipherFor(kek.size());
  if (cipher == nullptr || input.size() > INT_MAX / 2) return -1;
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context) return -1;
  // The library hides the wrap modes unless this flag is set.
  EVP_CIPHER_CTX_set_flags(context.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
  if (EVP_CipherInit_ex(context.get(), cipher, nullptr, kek.data(), nullptr, encrypt ? 1 : 0) != 1) return -1;
  int produced = 0;
  if (EVP_CipherUpdate(context.get(), output, &produced, input.data(), static_cast<int>(input.size())) != 1) {
    return -1;
  }
  int finalBytes = 0;
  if (EVP_CipherFinal_ex(context.get(), output + produced, &finalBytes) != 1) return -1;
  return produced + finalBytes;
}

}  // namespace

bool UnwrapKey(std::span<const std::uint8_t> kek, std::span<const std::uint8_t> wrapped, SecretBytes& key) {
  key.Clear();
  if (wrapped.size() < kMinKeySize + kIntegrityValueSize || wrapped.size() % 8 != 0) return false;
  SecretBytes plain(wrapped.size() + kIntegrityValueSize);  // room the cipher may touch
  const int produced = RunWrapCipher(false, kek, wrapped, plain.data());
  if (produced != static_cast<int>(wrapped.size() - kIntegrityValueSize)) return false;
  key.Assign(plain.view().first(static_cast<std::size_t>(produced)));
  return true;
}

bool WrapKey(std::span<const std::uint8_t> kek, std::span<const std::uint8_t> key, std::vector<std::uint8_t>& wrapped) {
  wrapped.clear();
  if (key.size() < kMinKeySize || key.size() % 8 != 0) return false;
  std::vector<std::uint8_t> output(key.size() + 2 * kIntegrityValueSize);
  const int produced = RunWrapCipher(true, kek, key, output.data());
  if (produced != static_cast<int>(key.size() + kIntegrityValueSize)) return false;
  output.resize(static_cast<std::size_t>(produced));
  wrapped = std::move(output);
  return true;
}

}  // namespace scrivel::crypto
