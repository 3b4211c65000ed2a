// One of each control kind drawn into a real window, compared with a committed picture made by
// this test (VINTROVE_UPDATE_REFERENCES=1 writes it anew; look at it before committing).
// Text may be rendered differently by another Wine or font version, so the text areas may
// differ; every other pixel must match exactly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "gui/bitmap.h"
#include "gui/controls/momentary_button.h"
#include "gui/controls/slider.h"
#include "gui/controls/text_entry.h"
#include "gui/controls/toggle_button.h"
#include "gui/controls/value_display.h"
#include "gui/frame.h"
#include "gui/retained.h"
#include "gui_test_support.h"
#include "screenshot.h"

#ifndef VINTROVE_REFERENCE_DIR
#error "VINTROVE_REFERENCE_DIR must name the folder of the reference pictures"
#endif

namespace vintrove::test {
namespace {

constexpr Rect kFrameBounds{0, 0, 200, 100};

// Where the controls go; the displays' rectangles are also where text may differ.
constexpr Rect kSliderLow{4, 4, 124, 18};
constexpr Rect kSliderHigh{4, 22, 124, 36};
constexpr Rect kButtonReleased{130, 4, 146, 20};
constexpr Rect kButtonPressed{150, 4, 166, 20};
constexpr Rect kToggleOff{130, 24, 146, 40};
constexpr Rect kToggleOn{150, 24, 166, 40};
constexpr Rect kPlainDisplay{4, 44, 64, 60};
constexpr Rect kEdgedDisplay{70, 44, 130, 60};
constexpr Rect kShadowDisplay{136, 44, 196, 60};
constexpr Rect kEntryOverBitmap{4, 66, 64, 82};
constexpr Rect kTransparentEntry{70, 66, 196, 82};

std::string referencePath(const char* name) {
  std::string path(VINTROVE_REFERENCE_DIR);
  path.append("/").append(name);
  return path;
}

void addControls(Frame& frame) {
  Retained<Bitmap> track(new Bitmap(kTrackBitmap));
  Retained<Bitmap> handle(new Bitmap(kHandleBitmap));
  Retained<Bitmap> twoImages(new Bitmap(kTwoImagesBitmap));
  Retained<Bitmap> displayBack(new Bitmap(kDisplayBackBitmap));
  twoImages->setKeyColor(kYellow);
  handle->setKeyColor(kYellow);

  auto* low = new HorizontalSlider(kSliderLow, nullptr, 1, 4, 124 - 9, handle.get(), track.get(),
                                   Point{0, 0}, kSliderDrawDirect);
  low->setValue(0.25f);
  auto* high = new HorizontalSlider(kSliderHigh, nullptr, 2, 4, 124 - 9, handle.get(),
                                    track.get(), Point{0, 0}, kSliderDrawDirect);
  high->setValue(1.0f);
  auto* released = new MomentaryButton(kButtonReleased, nullptr, 3, 16, twoImages.get(), Point{});
  auto* pressed = new MomentaryButton(kButtonPressed, nullptr, 4, 16, twoImages.get(), Point{});
  pressed->setValue(1.0f);
  pressed->setTransparent(true);
  auto* off = new ToggleButton(kToggleOff, nullptr, 5, twoImages.get());
  auto* on = new ToggleButton(kToggleOn, nullptr, 6, twoImages.get());
  on->setValue(1.0f);

  auto* plain = new ValueDisplay(kPlainDisplay, nullptr, 0);
  plain->setValue(0.5f);
  auto* edged = new ValueDisplay(kEdgedDisplay, nullptr, kEdgeBoxTopLeft);
  edged->setBoxColor(Color{30, 30, 90, 0});
  edged->setEdgeColor(Color{200, 200, 220, 0});
  edged->setValue(12.345f);
  auto* shadowed = new ValueDisplay(kShadowDisplay, nullptr, kShadowText | kEdgeEdgeTopLeft);
  shadowed->setValue(3.0f);
  shadowed->setFontNumber(0);
  auto* entry = new TextEntry(kEntryOverBitmap, nullptr, 7, "1:23", displayBack.get(), kShadowText);
  auto* transparent = new TextEntry(kTransparentEntry, nullptr, 8, "Vintrove", nullptr, 0);
  transparent->setTransparent(true);
  transparent->setAlignment(0);
  transparent->setTextColor(kBlack);

  View* const controls[] = {low, high, released, pressed, off, on, plain, edged, shadowed, entry,
                            transparent};
  for (View* control : controls) {
    frame.addChild(control);
  }
}

TEST(ControlsPicture, EveryControlKindLooksAsInTheReferencePicture) {
  HostWindow host(kFrameBounds.right, kFrameBounds.bottom);
  Retained<Frame> frame(new Frame(kFrameBounds, host.get(), nullptr));
  addControls(*frame);
  frame->redrawNow(nullptr);
  pumpMessages(50);
  frame->redrawNow(nullptr);
  const Picture actual = captureClientArea(frame->getWindow());
  ASSERT_EQ(actual.width, kFrameBounds.right);
  ASSERT_EQ(actual.height, kFrameBounds.bottom);

  const std::string path = referencePath("controls.bmp");
  const char* update = std::getenv("VINTROVE_UPDATE_REFERENCES");
  if (update != nullptr && update[0] == '1') {
    ASSERT_TRUE(writeBmp(path, actual)) << path;
    GTEST_SKIP() << "wrote " << path;
  }
  Picture expected;
  ASSERT_TRUE(readBmp(path, expected)) << "no reference picture at " << path;
  const std::vector<Rect> textAreas{kPlainDisplay, kEdgedDisplay, kShadowDisplay,
                                    kEntryOverBitmap, kTransparentEntry};
  const PictureDifference difference = comparePictures(actual, expected, textAreas);
  EXPECT_EQ(difference.differingPixels, 0)
      << "first difference at (" << difference.firstDifference.h << ", "
      << difference.firstDifference.v << ")";
  // Text may move by a pixel or change its smoothing, not disappear or fill its box.
  EXPECT_LT(difference.toleratedPixels, 400);
}

}  // namespace
}  // namespace vintrove::test
