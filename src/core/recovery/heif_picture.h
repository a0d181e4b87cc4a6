// Decodes the primary picture of a HEIF file (an iPhone's .HEIC photo, or
// AVIF) to 8-bit RGBA pixels for a preview, through libheif. The file is
// read whole into memory first, after the same checks as every stored file
// (a regular file, no symbolic link), and its size, the picture's sides and
// the pixel memory are bounded, so a damaged or hostile file ends in a
// result code, not in a crash or an exhausted machine.
#pragma once

#include <system_error>

#include <cstdint>
#include <string>
#include <vector>

namespace scrivel {

// Largest HEIF file decoded: a camera HEIC is a few MB; 48 MP ones stay
// below 30 MB.
inline constexpr std::uint64_t kLargestHeifFileBytes = 256ull << 20;
// Largest side, in pixels, of a picture decoded (before scaling).
inline constexpr int kLargestHeifSide = 16384;
// Largest pixel memory of a decoded picture (before scaling): 4 bytes a pixel.
inline constexpr std::uint64_t kLargestHeifPixelBytes = 512ull << 20;

struct DecodedPicture {
  int width = 0;                    // pixels
  int height = 0;                   // pixels
  std::vector<std::uint8_t> rgba;   // width * height * 4 bytes: R, G, B, A; rows top to bottom, no padding
};

// Decodes the primary picture of the HEIF file at `path` into `*picture`
// (cleared first). When `largestSide` > 0 and the picture is larger, it is
// scaled down to fit a square of that side, keeping its proportions.
// Returns success; the system's error when the file cannot be opened or
// read; kBadFile when it is not a regular file, is empty or larger than
// kLargestHeifFileBytes, is no HEIF file libheif can decode, or its picture
// is larger than the bounds above.
[[nodiscard]] std::error_code DecodeHeifPicture(const std::string& path, int largestSide, DecodedPicture* picture);

}  // namespace scrivel
