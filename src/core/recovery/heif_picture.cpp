#include "core/recovery/heif_picture.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "core/common/regular_file.h"
#include "core/common/result_codes.h"
#include "core/common/unique_fd.h"

namespace scrivel {
namespace {

struct ContextDeleter {
  void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
  void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
  void operator()(heif_image* image) const { heif_image_release(image); }
};
using Context = std::unique_ptr<heif_context, ContextDeleter>;
using Handle = std::unique_ptr<heif_image_handle, HandleDeleter>;
using Image = std::unique_ptr<heif_image, ImageDeleter>;

bool failed(const heif_error& error) { return error.code != heif_error_Ok; }

bool withinBounds(int width, int height) {
  if (width <= 0 || height <= 0 || width > kLargestHeifSide || height > kLargestHeifSide) return false;
  return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= kLargestHeifPixelBytes / 4;
}

// The size that fits `width` x `height` into a square of `side`, keeping
// the proportions; at least one pixel a side.
void fitInto(int side, int& width, int& height) {
  if (side <= 0 || (width <= side && height <= side)) return;
  if (width >= height) {
    height = std::max(1, static_cast<int>(static_cast<std::int64_t>(height) * side / width));
    width = side;
  } else {
    width = std::max(1, static_cast<int>(static_cast<std::int64_t>(width) * side / height));
    height = side;
  }
}

// Copies the interleaved RGBA plane of `image` row by row, dropping the
// padding at the end of each row.
std::error_code copyPixels(const heif_image* image, DecodedPicture* picture) {
  const int width = heif_image_get_width(image, heif_channel_interleaved);
  const int height = heif_image_get_height(image, heif_channel_interleaved);
  if (!withinBounds(width, height)) return kBadFile;
  int stride = 0;
  const std::uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  if (plane == nullptr || stride < 0 || static_cast<std::size_t>(stride) < rowBytes) return kBadFile;
  picture->rgba.resize(rowBytes * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    std::memcpy(picture->rgba.data() + rowBytes * static_cast<std::size_t>(row),
                plane + static_cast<std::size_t>(stride) * static_cast<std::size_t>(row), rowBytes);
  }
  picture->width = width;
  picture->height = height;
  return {};
}

}  // namespace

std::error_code DecodeHeifPicture(const std::string& path, int largestSide, DecodedPicture* picture) {
  *picture = DecodedPicture{};
  UniqueFd file;
  if (const std::error_code opened = OpenRegularFileForReading(path, file)) return opened;
  std::vector<std::uint8_t> bytes;
  // One byte more than the bound tells a file that is too large.
  if (const std::error_code read = ReadOpenFile(file, kLargestHeifFileBytes + 1, bytes)) return read;
  if (bytes.empty() || bytes.size() > kLargestHeifFileBytes) return kBadFile;

  Context context(heif_context_alloc());
  if (!context) return kBadFile;
  heif_context_set_maximum_image_size_limit(context.get(), kLargestHeifSide);
  if (failed(heif_context_read_from_memory_without_copy(context.get(), bytes.data(), bytes.size(), nullptr))) {
    return kBadFile;
  }
  heif_image_handle* rawHandle = nullptr;
  if (failed(heif_context_get_primary_image_handle(context.get(), &rawHandle))) return kBadFile;
  const Handle handle(rawHandle);
  int width = heif_image_handle_get_width(handle.get());
  int height = heif_image_handle_get_height(handle.get());
  if (!withinBounds(width, height)) return kBadFile;

  heif_image* rawImage = nullptr;
  if (failed(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr))) {
    return kBadFile;
  }
  Image image(rawImage);
  fitInto(largestSide, width, height);
  if (width != heif_image_get_width(image.get(), heif_channel_interleaved) ||
      height != heif_image_get_height(image.get(), heif_channel_interleaved)) {
    heif_image* rawScaled = nullptr;
    if (failed(heif_image_scale_image(image.get(), &rawScaled, width, height, nullptr))) return kBadFile;
    image.reset(rawScaled);
  }
  return copyPixels(image.get(), picture);
}

}  // namespace scrivel
