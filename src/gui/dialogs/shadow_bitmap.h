// The drop-shadow picture of a window, computed from the window's shape:
//
//   1. The bitmap is the window's size grown by `size` on every side, all
//      pixels clear.
//   2. Each row of the window's shape is a span [left, right]; it is placed
//      into the bitmap shifted by `size` in both directions. Then, as many
//      times as sharpness exceeds size, every span becomes the intersection
//      of itself and the spans of the rows above and below, one pixel
//      narrower at each end (an erosion that pulls the shadow inwards).
//   3. The kernel has radius r = max(sharpness, size) and a flat core of
//      radius t = max(size - sharpness, 0). At distance d from its centre
//      its alpha is darkness when d < t, (1 - (d - t) / (sharpness + 1)) *
//      darkness (cut to an integer) when d <= r, and 0 beyond.
//   4. The kernel is stamped centred on every pixel of every span; each
//      bitmap pixel keeps the largest value stamped on it.
//
// Pixels are premultiplied ARGB words (alpha in the top byte, then red,
// green, blue, each channel = colour channel * alpha / 255), the layout of
// QImage::Format_ARGB32_Premultiplied. No Qt here: a pure function.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace scrivel::gui {

struct ShadowSettings {
  int darkness = 150;      // 0..255, alpha of the shadow's core
  int sharpness = 5;       // width of the soft edge
  int size = 0;            // -20..20, how far the shadow reaches beyond the window
  std::uint8_t red = 0;    // shadow colour
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
};

// One row of a shape: the pixels left..right inclusive; empty when left > right.
struct RowSpan {
  int left = 0;
  int right = -1;
  bool empty() const { return left > right; }
};

struct ShadowBitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // width * height, row by row from the top
  std::uint32_t at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  }
};

// The rows of a width x height rectangle whose corners are rounded by an
// ellipse of cornerWidth x cornerHeight pixels.
std::vector<RowSpan> RoundedRectSpans(int width, int height, int cornerWidth, int cornerHeight);

// The (2r+1) x (2r+1) kernel of step 3, row by row.
std::vector<std::uint32_t> ShadowKernel(const ShadowSettings& settings);
int ShadowKernelRadius(const ShadowSettings& settings);

// The shadow of a window of windowWidth pixels whose shape has one span per
// row (windowRows.size() rows). An empty bitmap when the grown size is not
// positive.
ShadowBitmap ComputeShadowBitmap(const ShadowSettings& settings, int windowWidth, const std::vector<RowSpan>& windowRows);

}  // namespace scrivel::gui
