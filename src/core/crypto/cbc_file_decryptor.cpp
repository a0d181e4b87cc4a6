#include "core/crypto/cbc_file_decryptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include <openssl/evp.h>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/common/unique_fd.h"

namespace scrivel::crypto {
namespace {

constexpr std::size_t kChunkSize = 1 << 20;  // bytes per read; a multiple of kAesBlockSize
static_assert(kChunkSize % kAesBlockSize == 0);

struct CipherContextDeleter {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

// AES-256-CBC, looked up in the library once for the whole process: a
// lookup by name for every file costs more than decrypting a small one, and
// a backup holds many thousands of small files. Never freed: it lives as
// long as the library.
const EVP_CIPHER* Aes256Cbc() {
  static EVP_CIPHER* const cipher = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
  return cipher;
}

// Reads exactly `size` bytes unless the file ends; returns the count read, or -1.
ssize_t ReadFull(int fd, std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

// Writes all `size` bytes; returns success or the system's error.
std::error_code WriteFull(int fd, const std::uint8_t* buffer, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, buffer + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return LastSystemError();
    done += static_cast<std::size_t>(n);
  }
  return {};
}

// Number of padding bytes at the end of the last plain block, or 0 when the
// block does not end in valid PKCS#7 padding.
std::size_t PaddingLength(const std::uint8_t* lastBlock) {
  const std::uint8_t length = lastBlock[kAesBlockSize - 1];
  if (length == 0 || length > kAesBlockSize) return 0;
  for (std::size_t i = kAesBlockSize - length; i < kAesBlockSize; ++i) {
    if (lastBlock[i] != length) return 0;
  }
  return length;
}

// Decrypts all whole blocks of `in` into `out`, stripping the padding of the
// last block when it is valid. `alignedSize` is the number of stored bytes
// that form whole blocks.
std::error_code DecryptBlocks(int in, int out, std::span<const std::uint8_t> key, std::uint64_t alignedSize,
                              DecryptedFileReport& report) {
  // One cipher context and one pair of chunk buffers per thread, reused from
  // file to file: a backup holds many small files, and a fresh context and
  // fresh megabyte buffers for each cost more than decrypting them.
  thread_local CipherContext context(EVP_CIPHER_CTX_new());
  static const std::uint8_t kZeroIv[kAesBlockSize] = {};
  if (!context || Aes256Cbc() == nullptr ||
      EVP_DecryptInit_ex2(context.get(), Aes256Cbc(), key.data(), kZeroIv, nullptr) != 1) {
    return kBadFile;
  }
  // Padding is checked here rather than by the library, so that a damaged last
  // block still leaves the blocks before it in the copy.
  EVP_CIPHER_CTX_set_padding(context.get(), 0);

  thread_local std::vector<std::uint8_t> stored(kChunkSize);
  thread_local std::vector<std::uint8_t> plain(kChunkSize + kAesBlockSize);
  std::uint64_t remaining = alignedSize;
  while (remaining > 0) {
    const std::size_t want = remaining < kChunkSize ? static_cast<std::size_t>(remaining) : kChunkSize;
    const ssize_t got = ReadFull(in, stored.data(), want);
    if (got < 0) return kBadFile;
    if (static_cast<std::size_t>(got) != want) return kShortRead;  // the file shrank under us
    int produced = 0;
    if (EVP_DecryptUpdate(context.get(), plain.data(), &produced, stored.data(), static_cast<int>(want)) != 1) {
      return kBadFile;
    }
    remaining -= want;
    std::size_t keep = static_cast<std::size_t>(produced);
    if (remaining == 0 && keep >= kAesBlockSize) {
      const std::size_t padding = PaddingLength(plain.data() + keep - kAesBlockSize);
      report.paddingValid = padding != 0;
      keep -= padding;
    }
    if (const std::error_code rc = WriteFull(out, plain.data(), keep); rc) return rc;
    report.plainSize += keep;
  }
  return {};
}

}  // namespace

std::error_code DecryptFileToFile(const std::filesystem::path& source, const std::filesystem::path& destination,
                                  std::span<const std::uint8_t> key, DecryptedFileReport& report) {
  report = DecryptedFileReport{};
  if (key.size() != kFileKeySize) return kBadFile;
  UniqueFd in;
  if (OpenRegularFileForReading(source.string(), in)) return kBadFile;
  struct stat status {};
  if (::fstat(in.Get(), &status) != 0) return kBadFile;
  report.storedSize = static_cast<std::uint64_t>(status.st_size);
  report.unalignedTailSize = report.storedSize % kAesBlockSize;

  // Decrypted files are the person's private data: readable by them alone.
  UniqueFd out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!out.IsOpen()) return LastSystemError();
  std::error_code rc = DecryptBlocks(in.Get(), out.Get(), key, report.storedSize - report.unalignedTailSize, report);
  const std::error_code closeRc = out.Close();
  if (!rc) rc = closeRc;
  if (rc) {
    std::error_code ignored;
    std::filesystem::remove(destination, ignored);
  }
  return rc;
}

}  // namespace scrivel::crypto
