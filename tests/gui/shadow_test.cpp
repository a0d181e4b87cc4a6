// The shadow picture rule (erosion, kernel, per-pixel maximum) against
// hand-computed values, the setters' range checks, and the shadow following
// the main window's state.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLayout>
#include <QTest>

#include "gui/app/main_wnd.h"
#include "gui/dialogs/shadow_bitmap.h"
#include "gui/dialogs/wnd_shadow.h"

namespace scrivel::gui {
namespace {

std::uint32_t Pixel(int alpha, int red, int green, int blue) {
  return (static_cast<std::uint32_t>(alpha) << 24) | (static_cast<std::uint32_t>(red) << 16) |
         (static_cast<std::uint32_t>(green) << 8) | static_cast<std::uint32_t>(blue);
}

TEST(ShadowBitmapTest, SinglePixelWindowGivesTheKernelItself) {
  // sharpness 1, size 1: radius 1, no flat core, no erosion. Alpha at
  // distance 0 is 200, at distance 1 is (1 - 1/2) * 200 = 100, at the
  // corners (distance 1.41 > 1) 0. Channels premultiplied: 100*200/255 = 78,
  // 50*200/255 = 39, 100*100/255 = 39, 50*100/255 = 19.
  ShadowSettings settings;
  settings.darkness = 200;
  settings.sharpness = 1;
  settings.size = 1;
  settings.red = 100;
  settings.green = 50;
  settings.blue = 0;
  const ShadowBitmap bitmap = ComputeShadowBitmap(settings, 1, {RowSpan{0, 0}});
  ASSERT_EQ(bitmap.width, 3);
  ASSERT_EQ(bitmap.height, 3);
  const std::uint32_t centre = Pixel(200, 78, 39, 0);
  const std::uint32_t edge = Pixel(100, 39, 19, 0);
  const std::uint32_t expected[3][3] = {{0, edge, 0}, {edge, centre, edge}, {0, edge, 0}};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(bitmap.at(x, y), expected[y][x]) << "pixel " << x << "," << y;
  }
}

TEST(ShadowBitmapTest, ErosionLeavesTheCentreOfASmallWindow) {
  // The main window's settings: size 4, sharpness 5, so one erosion pass.
  // A 3x3 window sits at 4..6 in an 11x11 bitmap; the pass keeps only its
  // centre (5,5). The kernel (radius 5, no core) then gives alpha
  // (1 - d/6) * 120 cut to an integer, around that one pixel only.
  ShadowSettings settings;
  settings.darkness = 120;
  settings.sharpness = 5;
  settings.size = 4;
  settings.red = settings.green = settings.blue = 255;
  const std::vector<RowSpan> window(3, RowSpan{0, 2});
  const ShadowBitmap bitmap = ComputeShadowBitmap(settings, 3, window);
  ASSERT_EQ(bitmap.width, 11);
  ASSERT_EQ(bitmap.height, 11);
  struct Case {
    int x, y, alpha;
  };
  const Case cases[] = {
      {5, 5, 120},  // d = 0
      {6, 5, 100},  // d = 1
      {5, 7, 80},   // d = 2
      {6, 6, 91},   // d = 1.414: 91.7
      {8, 9, 20},   // d = 5 (3, 4)
      {10, 5, 20},  // d = 5
      {10, 6, 0},   // d = 5.1, beyond the radius
      {0, 0, 0},    // far corner
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bitmap.at(c.x, c.y), Pixel(c.alpha, c.alpha, c.alpha, c.alpha)) << "pixel " << c.x << "," << c.y;
  }
}

TEST(ShadowBitmapTest, LargeWindowMatchesStampingEveryPixel) {
  // The fast path skips stamps deep inside the shape; the result must equal
  // the plain rule: the kernel stamped on every pixel, maximum kept.
  ShadowSettings settings;
  settings.darkness = 150;
  settings.sharpness = 5;
  settings.size = 7;
  settings.red = 45;
  settings.green = 45;
  settings.blue = 45;
  const int width = 40;
  const std::vector<RowSpan> rows = RoundedRectSpans(width, 30, 9, 9);
  const ShadowBitmap fast = ComputeShadowBitmap(settings, width, rows);

  std::vector<std::uint32_t> plain(fast.pixels.size(), 0);
  const std::vector<std::uint32_t> kernel = ShadowKernel(settings);
  const int radius = ShadowKernelRadius(settings);
  const int diameter = 2 * radius + 1;
  for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
    for (int x = rows[static_cast<size_t>(y)].left; x <= rows[static_cast<size_t>(y)].right; ++x) {
      for (int ky = 0; ky < diameter; ++ky) {
        for (int kx = 0; kx < diameter; ++kx) {
          const int px = x + settings.size + kx - radius;
          const int py = y + settings.size + ky - radius;
          if (px < 0 || py < 0 || px >= fast.width || py >= fast.height) continue;
          std::uint32_t& pixel = plain[static_cast<size_t>(py * fast.width + px)];
          pixel = std::max(pixel, kernel[static_cast<size_t>(ky * diameter + kx)]);
        }
      }
    }
  }
  EXPECT_EQ(fast.pixels, plain);  // size > sharpness: no erosion in this case
}

TEST(ShadowBitmapTest, RoundedCornersCutTheOuterRows) {
  const std::vector<RowSpan> rows = RoundedRectSpans(20, 10, 5, 5);
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[0].left, 1);
  EXPECT_EQ(rows[0].right, 18);
  EXPECT_EQ(rows[9].left, 1);
  for (int y = 1; y < 9; ++y) EXPECT_EQ(rows[static_cast<size_t>(y)].left, 0) << "row " << y;
}

TEST(ShadowBitmapTest, NonPositiveSizeGivesAnEmptyBitmap) {
  ShadowSettings settings;
  settings.size = -5;
  EXPECT_TRUE(ComputeShadowBitmap(settings, 8, std::vector<RowSpan>(8, RowSpan{0, 7})).pixels.empty());
}

TEST(WndShadowTest, OutOfRangeValuesAreRefusedAndChangeNothing) {
  CWndShadow shadow;
  ASSERT_TRUE(shadow.SetSize(4));
  ASSERT_TRUE(shadow.SetDarkness(120));
  ASSERT_TRUE(shadow.SetPosition(2, -3));

  EXPECT_FALSE(shadow.SetSize(21));
  EXPECT_FALSE(shadow.SetSize(-21));
  EXPECT_EQ(shadow.size(), 4);
  EXPECT_FALSE(shadow.SetDarkness(256));
  EXPECT_FALSE(shadow.SetDarkness(-1));
  EXPECT_EQ(shadow.darkness(), 120);
  EXPECT_FALSE(shadow.SetPosition(21, 0));
  EXPECT_FALSE(shadow.SetPosition(0, -21));
  EXPECT_EQ(shadow.position(), QPoint(2, -3));

  EXPECT_TRUE(shadow.SetSize(20));
  EXPECT_TRUE(shadow.SetSize(-20));
  EXPECT_TRUE(shadow.SetDarkness(0));
  EXPECT_TRUE(shadow.SetDarkness(255));
}

TEST(WndShadowTest, MaximisingTheMainWindowHidesItsShadowAndRestoringShowsIt) {
  CMainWnd window;
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_TRUE(window.shadow().isShown());
  EXPECT_EQ(window.layout()->contentsMargins(), QMargins(4, 4, 4, 4));

  window.showMaximized();
  QApplication::processEvents();
  EXPECT_FALSE(window.shadow().isShown());
  EXPECT_EQ(window.layout()->contentsMargins(), QMargins());

  window.showNormal();
  QApplication::processEvents();
  EXPECT_TRUE(window.shadow().isShown());
  EXPECT_EQ(window.layout()->contentsMargins(), QMargins(4, 4, 4, 4));
}

}  // namespace
}  // namespace scrivel::gui
