#include "core/crypto/cbc_file_decryptor.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/common/result_codes.h"
#include "fixtures/temporary_folder.h"

namespace scrivel::crypto {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const Bytes kKey(kFileKeySize, 0x42);

// Plain content derived from its length and position, so any misplaced or
// lost byte shows.
Bytes PlainOfSize(std::size_t size) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + size);
  return bytes;
}

// AES-256-CBC, zero IV, PKCS#7 padding: what a device stores.
Bytes Encrypt(const Bytes& plain) {
  std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
  const std::uint8_t iv[kAesBlockSize] = {};
  EXPECT_EQ(EVP_EncryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, kKey.data(), iv), 1);
  Bytes cipher(plain.size() + kAesBlockSize);
  int produced = 0;
  int finalBytes = 0;
  EXPECT_EQ(EVP_EncryptUpdate(context.get(), cipher.data(), &produced, plain.data(), static_cast<int>(plain.size())), 1);
  EXPECT_EQ(EVP_EncryptFinal_ex(context.get(), cipher.data() + produced, &finalBytes), 1);
  cipher.resize(static_cast<std::size_t>(produced + finalBytes));
  return cipher;
}

class CbcFileDecryptorTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const Bytes& bytes) {
    std::ofstream(m_dir / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<std::streamsize>(bytes.size()));
    return m_dir / name;
  }
  Bytes Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  // Decrypts `stored` into "plain" and returns the result code.
  std::error_code Decrypt(const Bytes& stored, DecryptedFileReport& report) {
    return DecryptFileToFile(Write("stored", stored), m_dir / "plain", kKey, report);
  }

  fixtures::TemporaryFolder m_folder{"cbc"};
  const fs::path m_dir = m_folder.Path();
};

TEST_F(CbcFileDecryptorTest, RoundTripsEverySmallSizeAndAMultiChunkFile) {
  std::vector<std::size_t> sizes;
  for (std::size_t size = 0; size < 128; ++size) sizes.push_back(size);
  sizes.push_back((3u << 20) + 5);  // crosses the 1 MiB read chunks, unaligned
  sizes.push_back(2u << 20);        // a multiple of the chunk: the padding block is a chunk of its own
  for (std::size_t size : sizes) {
    const Bytes plain = PlainOfSize(size);
    DecryptedFileReport report;
    ASSERT_FALSE(Decrypt(Encrypt(plain), report)) << size;
    EXPECT_FALSE(report.damaged()) << size;
    EXPECT_EQ(report.plainSize, size);
    EXPECT_EQ(Read(m_dir / "plain"), plain) << size;
  }
}

TEST_F(CbcFileDecryptorTest, KeepsWhatDecryptsFromDamagedFilesAndSaysSo) {
  const Bytes plain = PlainOfSize(100);  // 7 blocks stored: 6 data blocks + 4 bytes and padding
  const Bytes stored = Encrypt(plain);
  struct Case {
    const char* name;
    Bytes stored;
    std::uint64_t plainSize;      // bytes kept
    std::uint64_t unalignedTail;  // bytes not decrypted
  };
  Bytes badPadding = stored;
  badPadding.back() ^= 0x5C;  // garbles the whole last block
  const std::vector<Case> cases = {
      {"cut inside the last block", Bytes(stored.begin(), stored.end() - 3), 96, 13},
      {"last block missing", Bytes(stored.begin(), stored.end() - 16), 96, 0},
      {"last block garbled", badPadding, 112, 0},
      {"empty stored file", {}, 0, 0},
  };
  for (const Case& c : cases) {
    DecryptedFileReport report;
    ASSERT_FALSE(Decrypt(c.stored, report)) << c.name;
    EXPECT_TRUE(report.damaged()) << c.name;
    EXPECT_FALSE(report.paddingValid) << c.name;
    EXPECT_EQ(report.plainSize, c.plainSize) << c.name;
    EXPECT_EQ(report.unalignedTailSize, c.unalignedTail) << c.name;
    const Bytes kept = Read(m_dir / "plain");
    ASSERT_EQ(kept.size(), c.plainSize) << c.name;
    // Everything before the damaged block is the genuine plain text.
    EXPECT_TRUE(std::equal(kept.begin(), kept.begin() + std::min<std::size_t>(kept.size(), 96), plain.begin()))
        << c.name;
  }
}

TEST_F(CbcFileDecryptorTest, ReportsUnusableInputsAndRefusesALinkAsDestination) {
  DecryptedFileReport report;
  EXPECT_EQ(DecryptFileToFile(m_dir / "absent", m_dir / "plain", kKey, report), kBadFile);
  EXPECT_FALSE(fs::exists(m_dir / "plain"));
  EXPECT_EQ(DecryptFileToFile(Write("stored", Encrypt(PlainOfSize(20))), m_dir / "plain", Bytes(16), report), kBadFile);
  EXPECT_EQ(DecryptFileToFile(m_dir, m_dir / "plain", kKey, report), kBadFile);  // a folder

  const fs::path target = Write("target", Bytes{1, 2, 3});
  fs::create_symlink(target, m_dir / "link");
  EXPECT_TRUE(DecryptFileToFile(m_dir / "stored", m_dir / "link", kKey, report));
  EXPECT_EQ(Read(target), (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace scrivel::crypto
