#include "gui/dialogs/shadow_bitmap.h"

#include <algorithm>
#include <cmath>

namespace scrivel::gui {

namespace {

RowSpan Intersect(RowSpan a, RowSpan b) {
  if (a.empty() || b.empty()) return RowSpan{};
  return RowSpan{std::max(a.left, b.left), std::min(a.right, b.right)};
}

std::uint32_t PremultipliedPixel(const ShadowSettings& settings, int alpha) {
  const auto channel = [alpha](std::uint8_t value) { return static_cast<std::uint32_t>(value * alpha / 255); };
  return (static_cast<std::uint32_t>(alpha) << 24) | (channel(settings.red) << 16) | (channel(settings.green) << 8) |
         channel(settings.blue);
}

// Step 2: the window's rows placed into the bitmap, then eroded.
std::vector<RowSpan> PlaceAndErode(const ShadowSettings& settings, int width, int height,
                                   const std::vector<RowSpan>& windowRows) {
  std::vector<RowSpan> rows(static_cast<size_t>(height));
  for (size_t y = 0; y < windowRows.size(); ++y) {
    const long long bitmapRow = static_cast<long long>(y) + settings.size;
    if (bitmapRow < 0 || bitmapRow >= height || windowRows[y].empty()) continue;
    const RowSpan placed{std::max(windowRows[y].left + settings.size, 0),
                         std::min(windowRows[y].right + settings.size, width - 1)};
    rows[static_cast<size_t>(bitmapRow)] = placed;
  }
  for (int pass = 0; pass < settings.sharpness - settings.size; ++pass) {
    std::vector<RowSpan> eroded(rows.size());
    for (size_t y = 0; y < rows.size(); ++y) {
      const RowSpan above = y > 0 ? rows[y - 1] : RowSpan{};
      const RowSpan below = y + 1 < rows.size() ? rows[y + 1] : RowSpan{};
      const RowSpan common = Intersect(Intersect(above, rows[y]), below);
      if (!common.empty()) eroded[y] = RowSpan{common.left + 1, common.right - 1};
    }
    rows = std::move(eroded);
  }
  return rows;
}

// The columns of row y whose whole kernel window lies inside the shape.
// Stamping there cannot raise any pixel above the kernel's centre value,
// which every shape pixel receives anyway, so those stamps are skipped.
RowSpan DeepInterior(const std::vector<RowSpan>& rows, int y, int radius) {
  if (y - radius < 0 || y + radius >= static_cast<int>(rows.size())) return RowSpan{};
  RowSpan common = rows[static_cast<size_t>(y)];
  for (int dy = -radius; dy <= radius && !common.empty(); ++dy) {
    common = Intersect(common, rows[static_cast<size_t>(y + dy)]);
  }
  if (common.empty()) return common;
  return RowSpan{common.left + radius, common.right - radius};
}

}  // namespace

std::vector<RowSpan> RoundedRectSpans(int width, int height, int cornerWidth, int cornerHeight) {
  std::vector<RowSpan> rows(static_cast<size_t>(std::max(height, 0)));
  const double radiusX = std::clamp(cornerWidth, 0, width) / 2.0;
  const double radiusY = std::clamp(cornerHeight, 0, height) / 2.0;
  for (int y = 0; y < height; ++y) {
    double depth = 0;  // distance from the corner ellipse's centre line, 0 outside the corner rows
    if (y + 0.5 < radiusY) depth = radiusY - (y + 0.5);
    if (y + 0.5 > height - radiusY) depth = (y + 0.5) - (height - radiusY);
    int inset = 0;
    if (depth > 0 && radiusY > 0) {
      const double ratio = std::min(depth / radiusY, 1.0);
      inset = static_cast<int>(std::lround(radiusX - radiusX * std::sqrt(1.0 - ratio * ratio)));
    }
    rows[static_cast<size_t>(y)] = RowSpan{inset, width - 1 - inset};
  }
  return rows;
}

int ShadowKernelRadius(const ShadowSettings& settings) { return std::max(settings.sharpness, settings.size); }

std::vector<std::uint32_t> ShadowKernel(const ShadowSettings& settings) {
  const int radius = ShadowKernelRadius(settings);
  const int diameter = 2 * radius + 1;
  const double core = std::max(settings.size - settings.sharpness, 0);
  std::vector<std::uint32_t> kernel(static_cast<size_t>(diameter) * static_cast<size_t>(diameter), 0);
  for (int y = 0; y < diameter; ++y) {
    for (int x = 0; x < diameter; ++x) {
      const double distance = std::hypot(x - radius, y - radius);
      int alpha = 0;
      if (distance < core) {
        alpha = settings.darkness;
      } else if (distance <= radius) {
        // Cut to an integer; the small bias keeps exact values exact (at
        // d = 5, sharpness 5: (1 - 5/6) * 120 is 20, not 19.999...).
        alpha = static_cast<int>((1.0 - (distance - core) / (settings.sharpness + 1)) * settings.darkness + 1e-9);
      }
      kernel[static_cast<size_t>(y) * static_cast<size_t>(diameter) + static_cast<size_t>(x)] =
          PremultipliedPixel(settings, std::clamp(alpha, 0, 255));
    }
  }
  return kernel;
}

ShadowBitmap ComputeShadowBitmap(const ShadowSettings& settings, int windowWidth, const std::vector<RowSpan>& windowRows) {
  ShadowBitmap bitmap;
  const long long width = static_cast<long long>(windowWidth) + 2LL * settings.size;
  const long long height = static_cast<long long>(windowRows.size()) + 2LL * settings.size;
  if (width <= 0 || height <= 0) return bitmap;
  bitmap.width = static_cast<int>(width);
  bitmap.height = static_cast<int>(height);
  bitmap.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);

  const std::vector<RowSpan> rows = PlaceAndErode(settings, bitmap.width, bitmap.height, windowRows);
  const std::vector<std::uint32_t> kernel = ShadowKernel(settings);
  const int radius = ShadowKernelRadius(settings);
  const int diameter = 2 * radius + 1;
  const std::uint32_t centre = kernel[static_cast<size_t>(radius) * static_cast<size_t>(diameter) + static_cast<size_t>(radius)];

  const auto keepLarger = [&bitmap](int x, int y, std::uint32_t value) {
    std::uint32_t& pixel = bitmap.pixels[static_cast<size_t>(y) * static_cast<size_t>(bitmap.width) + static_cast<size_t>(x)];
    pixel = std::max(pixel, value);
  };
  const auto stamp = [&](int centreX, int centreY) {
    for (int ky = 0; ky < diameter; ++ky) {
      const int y = centreY + ky - radius;
      if (y < 0 || y >= bitmap.height) continue;
      for (int kx = 0; kx < diameter; ++kx) {
        const int x = centreX + kx - radius;
        if (x < 0 || x >= bitmap.width) continue;
        keepLarger(x, y, kernel[static_cast<size_t>(ky) * static_cast<size_t>(diameter) + static_cast<size_t>(kx)]);
      }
    }
  };

  for (int y = 0; y < bitmap.height; ++y) {
    const RowSpan span = rows[static_cast<size_t>(y)];
    if (span.empty()) continue;
    const RowSpan interior = DeepInterior(rows, y, radius);
    for (int x = span.left; x <= span.right; ++x) {
      if (!interior.empty() && x >= interior.left && x <= interior.right) {
        keepLarger(x, y, centre);
      } else {
        stamp(x, y);
      }
    }
  }
  return bitmap;
}

}  // namespace scrivel::gui
