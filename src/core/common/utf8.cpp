#include "core/common/utf8.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace scrivel {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
constexpr std::uint64_t kHighBitOfEachByte = 0x8080808080808080;

// Length of the well-formed sequence that starts at bytes[0] (`available`
// bytes readable, at least 1), or 0 when it is ill-formed. The well-formed
// sequences, by lead byte:
//
//   lead      second    third     fourth
//   00..7F
//   C2..DF    80..BF
//   E0        A0..BF    80..BF              (E0 80..9F would be overlong)
//   E1..EC    80..BF    80..BF
//   ED        80..9F    80..BF              (ED A0..BF would be a surrogate)
//   EE..EF    80..BF    80..BF
//   F0        90..BF    80..BF    80..BF    (F0 80..8F would be overlong)
//   F1..F3    80..BF    80..BF    80..BF
//   F4        80..8F    80..BF    80..BF    (F4 90.. would lie above U+10FFFF)
//
// Every other lead byte (80..C1, F5..FF) starts no sequence.
inline std::size_t SequenceLength(const std::uint8_t* bytes, std::size_t available) {
  const std::uint8_t lead = bytes[0];
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t secondLowest = 0x80;
  std::uint8_t secondHighest = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) secondLowest = 0xA0;
    if (lead == 0xED) secondHighest = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) secondLowest = 0x90;
    if (lead == 0xF4) secondHighest = 0x8F;
  } else {
    return 0;
  }
  if (available < length) return 0;  // truncated sequence
  if (bytes[1] < secondLowest || bytes[1] > secondHighest) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if ((bytes[i] & 0xC0) != 0x80) return 0;
  return length;
}

// Number of ASCII bytes in front of the first non-ASCII byte of an
// eight-byte word whose non-ASCII bytes are marked by `highBits` (not 0).
int AsciiBytesBefore(std::uint64_t highBits) {
  if constexpr (std::endian::native == std::endian::little) return std::countr_zero(highBits) / 8;
  return std::countl_zero(highBits) / 8;
}

// Index of the first byte at or after `index` that starts an ill-formed
// sequence, or text.size() when the rest of text is well-formed. Runs of
// ASCII are passed eight bytes at a time.
std::size_t WellFormedEnd(std::string_view text, std::size_t index) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t size = text.size();
  while (index < size) {
    if (size - index >= sizeof(std::uint64_t)) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes + index, sizeof word);
      const std::uint64_t highBits = word & kHighBitOfEachByte;
      if (highBits == 0) {
        index += sizeof word;
        continue;
      }
      index += AsciiBytesBefore(highBits);
    } else if (bytes[index] < 0x80) {
      ++index;
      continue;
    }
    // A run of multi-byte sequences (a word in a non-Latin script) is
    // checked without going back to the ASCII test between them.
    do {
      const std::size_t length = SequenceLength(bytes + index, size - index);
      if (length == 0) return index;
      index += length;
    } while (index < size && bytes[index] >= 0x80);
  }
  return size;
}

// Decodes one code point at text[index]. On success stores it, advances index
// past the sequence and returns true; on an ill-formed sequence returns false
// and leaves index unchanged.
bool decodeCodePoint(std::string_view text, std::size_t& index, char32_t& codePoint) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data()) + index;
  const std::size_t length = SequenceLength(bytes, text.size() - index);
  if (length == 0) return false;
  constexpr std::uint8_t kLeadValueMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};  // by sequence length
  char32_t value = bytes[0] & kLeadValueMask[length];
  for (std::size_t i = 1; i < length; ++i) value = (value << 6) | (bytes[i] & 0x3F);
  codePoint = value;
  index += length;
  return true;
}

}  // namespace

void AppendUtf8(char32_t codePoint, std::string& out) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

bool IsValidUtf8(std::string_view text) { return WellFormedEnd(text, 0) == text.size(); }

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t index = 0;
  char32_t codePoint = 0;
  while (index < text.size()) {
    if (!decodeCodePoint(text, index, codePoint)) return {};
    if (codePoint < 0x10000) {
      out += static_cast<char16_t>(codePoint);
    } else {
      const char32_t offset = codePoint - 0x10000;
      out += static_cast<char16_t>(0xD800 + (offset >> 10));
      out += static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return {};
      const char32_t high = unit - 0xD800;
      const char32_t low = text[i + 1] - 0xDC00;
      AppendUtf8(0x10000 + (high << 10) + low, out);
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return {};  // a low surrogate without its high half
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

std::size_t Utf16Length(std::string_view text) {
  if (!IsValidUtf8(text)) return 0;
  // In well-formed text every code point has one byte that is not a
  // continuation byte (10xxxxxx); the four-byte ones (lead F0..F4) lie
  // above U+FFFF and take a surrogate pair.
  std::size_t units = 0;
  for (const char c : text) {
    const auto byte = static_cast<std::uint8_t>(c);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;
  }
  return units;
}

std::string SanitizeUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t index = 0;
  while (true) {
    const std::size_t badByte = WellFormedEnd(text, index);
    out.append(text.substr(index, badByte - index));
    if (badByte == text.size()) return out;
    out += kReplacementCharacter;
    index = badByte + 1;
  }
}

}  // namespace scrivel
