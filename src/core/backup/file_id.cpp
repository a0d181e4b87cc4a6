// SHA-1 through OpenSSL's digest interface. Each thread sets up one SHA-1
// context and copies it per hash, because loading a manifest of 250,000
// entries computes one identifier per entry.
#include "core/backup/file_id.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace scrivel {
namespace {

constexpr std::size_t kSha1Size = 20;

struct DigestContextDeleter {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct DigestMethodDeleter {
  void operator()(EVP_MD* method) const { EVP_MD_free(method); }
};

// Holds a context set up for SHA-1 once; each hash starts from a copy of
// it, which is much cheaper than setting up a context per name.
class Sha1Hasher {
 public:
  Sha1Hasher() : m_initial(EVP_MD_CTX_new()), m_context(EVP_MD_CTX_new()) {
    const std::unique_ptr<EVP_MD, DigestMethodDeleter> method(EVP_MD_fetch(nullptr, "SHA1", nullptr));
    m_ready = method && m_initial && m_context && EVP_DigestInit_ex2(m_initial.get(), method.get(), nullptr) == 1;
  }

  // Returns false when OpenSSL cannot provide SHA-1.
  bool Hash(std::string_view first, std::string_view second, std::string_view third,
            std::array<unsigned char, kSha1Size>& digest) {
    if (!m_ready) return false;
    unsigned int digestSize = 0;
    return EVP_MD_CTX_copy_ex(m_context.get(), m_initial.get()) == 1 &&
           EVP_DigestUpdate(m_context.get(), first.data(), first.size()) == 1 &&
           EVP_DigestUpdate(m_context.get(), second.data(), second.size()) == 1 &&
           EVP_DigestUpdate(m_context.get(), third.data(), third.size()) == 1 &&
           EVP_DigestFinal_ex(m_context.get(), digest.data(), &digestSize) == 1 && digestSize == kSha1Size;
  }

 private:
  std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> m_initial;  // initialised for SHA-1, never updated
  std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> m_context;  // the hash in progress
  bool m_ready = false;
};

std::string HashToFileId(std::string_view first, std::string_view second, std::string_view third) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  thread_local Sha1Hasher hasher;
  std::array<unsigned char, kSha1Size> digest{};
  // Without SHA-1 no identifier can be formed; an empty text matches no file.
  if (!hasher.Hash(first, second, third, digest)) return {};
  std::string fileId(kFileIdLength, '0');
  for (std::size_t i = 0; i < kSha1Size; ++i) {
    fileId[2 * i] = kHexDigits[digest[i] >> 4];
    fileId[2 * i + 1] = kHexDigits[digest[i] & 0x0F];
  }
  return fileId;
}

}  // namespace

std::string ComputeFileId(std::string_view name) { return HashToFileId(name, {}, {}); }

std::string ComputeFileId(std::string_view domain, std::string_view relativePath) {
  return HashToFileId(domain, "-", relativePath);
}

bool IsFileId(std::string_view text) {
  if (text.size() != kFileIdLength) return false;
  for (const char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace scrivel
