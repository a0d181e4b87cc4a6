// Buffers for keys and passwords that are wiped when they go out of use, so a
// backup password or a derived key does not linger in freed memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace scrivel::crypto {

// Overwrites the characters of `text` with zeros and empties it.
void WipeString(std::string& text);

// A byte buffer whose contents are wiped on destruction, on Assign and on
// Clear. Not copyable: a secret has one owner; moving hands it over.
class SecretBytes {
 public:
  SecretBytes() = default;
  explicit SecretBytes(std::size_t size) : m_bytes(size) {}
  explicit SecretBytes(std::span<const std::uint8_t> bytes) : m_bytes(bytes.begin(), bytes.end()) {}
  ~SecretBytes() { Clear(); }

  SecretBytes(const SecretBytes&) = delete;
  SecretBytes& operator=(const SecretBytes&) = delete;
  SecretBytes(SecretBytes&& other) noexcept : m_bytes(std::move(other.m_bytes)) { other.m_bytes.clear(); }
  SecretBytes& operator=(SecretBytes&& other) noexcept;

  void Assign(std::span<const std::uint8_t> bytes);
  void Clear();

  std::uint8_t* data() { return m_bytes.data(); }
  const std::uint8_t* data() const { return m_bytes.data(); }
  std::size_t size() const { return m_bytes.size(); }
  bool empty() const { return m_bytes.empty(); }
  std::span<const std::uint8_t> view() const { return m_bytes; }
  std::span<std::uint8_t> mutableView() { return m_bytes; }

 private:
  std::vector<std::uint8_t> m_bytes;
};

}  // namespace scrivel::crypto
