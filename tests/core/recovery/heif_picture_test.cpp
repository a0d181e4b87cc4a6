#include "core/recovery/heif_picture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "core/common/result_codes.h"
#include "fixtures/sample_heic.h"
#include "fixtures/temporary_folder.h"

namespace scrivel {
namespace {

namespace fx = scrivel::fixtures;

class HeifPictureTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::filesystem::path path = m_folder.Path() / name;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }
  std::vector<std::uint8_t> sample() const { return {fx::SampleHeic().begin(), fx::SampleHeic().end()}; }

  fx::TemporaryFolder m_folder{"heif-picture"};
};

TEST_F(HeifPictureTest, DecodesThePrimaryPictureWholeOrScaled) {
  const std::string path = write("IMG_0001.HEIC", sample());
  const struct {
    int largestSide;
    int width;
    int height;
  } cases[] = {{0, fx::kSampleHeicWidth, fx::kSampleHeicHeight},
               {fx::kSampleHeicWidth, fx::kSampleHeicWidth, fx::kSampleHeicHeight},
               {48, 48, 32},
               {1, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.largestSide);
    DecodedPicture picture;
    ASSERT_FALSE(DecodeHeifPicture(path, c.largestSide, &picture));
    EXPECT_EQ(picture.width, c.width);
    EXPECT_EQ(picture.height, c.height);
    ASSERT_EQ(picture.rgba.size(), static_cast<std::size_t>(c.width) * c.height * 4);
  }
  // The sample shows sky at the top left and grass at the bottom left.
  DecodedPicture picture;
  ASSERT_FALSE(DecodeHeifPicture(path, 0, &picture));
  const auto pixel = [&](int x, int y) { return &picture.rgba[(static_cast<std::size_t>(y) * picture.width + x) * 4]; };
  EXPECT_GT(pixel(2, 2)[2], pixel(2, 2)[0]) << "sky is blue";
  EXPECT_GT(pixel(2, 60)[1], pixel(2, 60)[2]) << "grass is green";
  EXPECT_EQ(pixel(2, 2)[3], 255);
}

// Damaged and foreign files end in a code, with nothing decoded.
TEST_F(HeifPictureTest, DamagedFilesAreRejected) {
  const std::vector<std::uint8_t> heic = sample();
  std::vector<std::uint8_t> metaZeroed = heic;  // the item boxes after the file type box
  for (std::size_t i = 40; i < 200 && i < metaZeroed.size(); ++i) metaZeroed[i] = 0;
  std::vector<std::uint8_t> hugeBox = heic;
  hugeBox[0] = 0x7F;  // the file type box claims 2 GB
  const struct {
    std::vector<std::uint8_t> bytes;
    const char* what;
  } cases[] = {
      {{}, "empty file"},
      {{heic.begin(), heic.begin() + 32}, "file type box only"},
      {{heic.begin(), heic.begin() + static_cast<std::ptrdiff_t>(heic.size() / 2)}, "cut in half"},
      {metaZeroed, "item boxes zeroed"},
      {hugeBox, "box size past the end"},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'}, "a JPEG head"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    DecodedPicture picture;
    picture.width = 5;
    EXPECT_TRUE(DecodeHeifPicture(write("damaged.heic", c.bytes), 0, &picture));
    EXPECT_EQ(picture.width, 0);
    EXPECT_TRUE(picture.rgba.empty());
  }
  DecodedPicture picture;
  EXPECT_TRUE(DecodeHeifPicture((m_folder.Path() / "missing.heic").string(), 0, &picture));
  // Damaged coded data still makes a picture of the stated size (the codec
  // conceals the damage), or a code; never more.
  std::vector<std::uint8_t> codedZeroed = heic;
  for (std::size_t i = codedZeroed.size() / 2; i < codedZeroed.size(); ++i) codedZeroed[i] = 0;
  if (!DecodeHeifPicture(write("coded.heic", codedZeroed), 0, &picture)) {
    EXPECT_EQ(picture.width, fx::kSampleHeicWidth);
    EXPECT_EQ(picture.height, fx::kSampleHeicHeight);
  }
}

}  // namespace
}  // namespace scrivel
