// Hexadecimal text for keys and file identifiers.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace scrivel::crypto {

// Lowercase hexadecimal digits of `bytes`, two per byte.
std::string ToHex(std::span<const std::uint8_t> bytes);

// Fills `out` from exactly 2 * out.size() hexadecimal digits (either case).
// Returns false, leaving `out` unspecified, on any other text.
bool ParseHex(std::string_view text, std::span<std::uint8_t> out);

// True when `text` is a stored-file identifier: exactly 40 hexadecimal digits.
// Such a name can never leave the folder it is joined to.
bool IsFileIdentifier(std::string_view text);

}  // namespace scrivel::crypto
