#include "gui/bitmap.h"

#include <gtest/gtest.h>

#include <vector>

#include "gui/draw_context.h"
#include "gui_test_support.h"

namespace vintrove {
namespace {

using test::patternPixel;
using test::PixelSurface;
using test::pixelsMatch;

constexpr Color kGrey{40, 80, 120, 0};

// Counts its destructions, so a test sees when release() let go without touching it after.
class CountedBitmap : public Bitmap {
 public:
  CountedBitmap(std::int32_t id, int& destroyedCount) : Bitmap(id), destroyed(destroyedCount) {}
  void forceCount(std::int32_t count) { retainCount = count; }

 protected:
  ~CountedBitmap() override { ++destroyed; }

 private:
  int& destroyed;
};

// Holds the creator's reference for the test's duration.
class BitmapRef {
 public:
  explicit BitmapRef(std::int32_t id) : bitmap(new CountedBitmap(id, destroyed)) {}
  BitmapRef(const BitmapRef&) = delete;
  BitmapRef& operator=(const BitmapRef&) = delete;
  ~BitmapRef() { bitmap->release(); }
  CountedBitmap* operator->() const { return bitmap; }
  CountedBitmap& operator*() const { return *bitmap; }

 private:
  int destroyed = 0;
  CountedBitmap* bitmap;
};

// Reads the picture itself back (not by drawing it) and compares it with the pattern.
testing::AssertionResult holdsThePattern(const Bitmap& bitmap) {
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 8, -6, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<std::uint32_t> raw(8 * 6);
  const WindowDc screen(nullptr);
  if (GetDIBits(screen.get(), bitmap.getHandle(), 0, 6, raw.data(), &info, DIB_RGB_COLORS) != 6) {
    return testing::AssertionFailure() << "unreadable";
  }
  for (std::int32_t i = 0; i < 8 * 6; ++i) {
    const Color want = patternPixel(i % 8, i / 8);
    const std::uint32_t rgb =
        (std::uint32_t{want.red} << 16) | (std::uint32_t{want.green} << 8) | want.blue;
    if (raw[static_cast<std::size_t>(i)] != rgb) {
      return testing::AssertionFailure() << "pixel " << i % 8 << "," << i / 8 << " changed";
    }
  }
  return testing::AssertionSuccess();
}

TEST(BitmapLoading, SizeComesFromTheResourceAndAMissingOneDrawsNothing) {
  const BitmapRef pattern(test::kPatternBitmap);
  EXPECT_EQ(pattern->getWidth(), 8);
  EXPECT_EQ(pattern->getHeight(), 6);
  EXPECT_EQ(pattern->getKeyColor(), kDefaultKeyColor);
  EXPECT_TRUE(holdsThePattern(*pattern));
  EXPECT_EQ(BitmapRef(test::kWhiteDiagonalBitmap)->getWidth(), 4);
  EXPECT_EQ(BitmapRef(0x10000 + test::kPatternBitmap)->getHeight(), 6);  // low 16 bits name it

  const BitmapRef missing(test::kMissingBitmap);
  EXPECT_EQ(missing->getHandle(), nullptr);
  EXPECT_EQ(missing->getWidth(), 0);
  EXPECT_EQ(missing->getHeight(), 0);
  PixelSurface surface(10, 10, kGrey);
  DrawContext context(nullptr, surface.dc(), nullptr);
  missing->draw(context, Rect{0, 0, 10, 10}, Point{0, 0});
  missing->drawMasked(context, Rect{0, 0, 10, 10}, Point{0, 0});
  EXPECT_TRUE(pixelsMatch(surface, [](std::int32_t, std::int32_t) { return kGrey; }));
}

TEST(BitmapCounting, LastReleaseDestroysOnceAndReleaseAtZeroDoesNothing) {
  int destroyed = 0;
  auto* bitmap = new CountedBitmap(test::kPatternBitmap, destroyed);
  EXPECT_EQ(bitmap->getRetainCount(), 1);
  bitmap->retain();
  bitmap->release();
  EXPECT_EQ(bitmap->getRetainCount(), 1);
  for (const std::int32_t count : {0, -2}) {
    bitmap->forceCount(count);
    bitmap->release();
    EXPECT_EQ(bitmap->getRetainCount(), count);
  }
  EXPECT_EQ(destroyed, 0);
  bitmap->forceCount(1);
  bitmap->release();
  EXPECT_EQ(destroyed, 1);
}

TEST(BitmapDraw, CopiesTheRectangleFromTheSourcePointAtTheOffset) {
  const BitmapRef pattern(test::kPatternBitmap);
  PixelSurface surface(20, 12, kGrey);
  DrawContext context(nullptr, surface.dc(), nullptr);
  context.setDrawOffset(Point{4, 1});
  pattern->draw(context, Rect{2, 3, 7, 6}, Point{1, 2});
  EXPECT_TRUE(pixelsMatch(surface, [](std::int32_t x, std::int32_t y) {
    const bool drawn = x >= 6 && x < 11 && y >= 4 && y < 7;
    return drawn ? patternPixel(x - 5, y - 2) : kGrey;
  }));
}

// Striped, so that a background read from the wrong place shows.
Color stripe(std::int32_t x, Color even, Color odd) { return x % 2 == 0 ? even : odd; }

// The pattern drawn masked from source (1, 1) into (3, 2, 10, 7) with drawOffset (1, 1).
void drawKeyed(Bitmap& bitmap, PixelSurface& surface, Color even, Color odd) {
  for (std::int32_t y = 0; y < surface.height(); ++y) {
    for (std::int32_t x = 0; x < surface.width(); ++x) {
      const Color color = stripe(x, even, odd);
      SetPixelV(surface.dc(), x, y, RGB(color.red, color.green, color.blue));
    }
  }
  DrawContext context(nullptr, surface.dc(), nullptr);
  context.setDrawOffset(Point{1, 1});
  bitmap.drawMasked(context, Rect{3, 2, 10, 7}, Point{1, 1});
}

testing::AssertionResult keyedOut(const PixelSurface& surface, Color even, Color odd, Color key) {
  return pixelsMatch(surface, [&](std::int32_t x, std::int32_t y) {
    const bool inside = x >= 4 && x < 11 && y >= 3 && y < 8;
    const Color picture = inside ? patternPixel(x - 3, y - 2) : key;
    return picture == key ? stripe(x, even, odd) : picture;
  });
}

TEST(BitmapDrawMasked, KeysOutExactlyTheKeyColourOnceAndForAll) {
  const BitmapRef pattern(test::kPatternBitmap);
  pattern->setKeyColor(kYellow);
  PixelSurface surface(16, 12);
  drawKeyed(*pattern, surface, kGrey, kBlack);
  EXPECT_TRUE(keyedOut(surface, kGrey, kBlack, kYellow));
  EXPECT_TRUE(holdsThePattern(*pattern));

  // The mask stays as first made, whatever the key colour becomes.
  pattern->setKeyColor(patternPixel(1, 0));
  const std::int32_t objects = test::liveGdiObjects();
  for (int i = 0; i < 5; ++i) {
    drawKeyed(*pattern, surface, kRed, kWhite);
  }
  EXPECT_TRUE(keyedOut(surface, kRed, kWhite, kYellow));
  EXPECT_TRUE(holdsThePattern(*pattern));
  EXPECT_EQ(test::liveGdiObjects(), objects);
}

TEST(BitmapDrawMasked, DefaultKeyColourIsWhite) {
  const BitmapRef diagonal(test::kWhiteDiagonalBitmap);
  PixelSurface surface(6, 6, kRed);
  DrawContext context(nullptr, surface.dc(), nullptr);
  diagonal->drawMasked(context, Rect{1, 1, 5, 5}, Point{0, 0});
  EXPECT_TRUE(pixelsMatch(surface, [](std::int32_t x, std::int32_t y) {
    const bool drawn = x >= 1 && x < 5 && y >= 1 && y < 5 && x != y;
    return drawn ? test::whiteDiagonalPixel(x - 1, y - 1) : kRed;
  }));
}

}  // namespace
}  // namespace vintrove
