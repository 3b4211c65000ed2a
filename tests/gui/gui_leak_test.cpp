// Opening and closing the editor again and again must give back every GDI object and window.
#include <gtest/gtest.h>

#include "gui_test_support.h"
#include "test_editor.h"

namespace vintrove::test {
namespace {

TEST(GuiResources, TheCensusSeesObjectsComeAndGo) {
  const std::int32_t before = liveGdiObjects();
  std::vector<GdiBrush> brushes;
  for (int i = 0; i < 10; ++i) {
    brushes.emplace_back(CreateSolidBrush(RGB(i, 0, 0)));
  }
  EXPECT_EQ(liveGdiObjects(), before + 10);
  brushes.erase(brushes.begin(), brushes.begin() + 4);
  EXPECT_EQ(liveGdiObjects(), before + 6);
  brushes.clear();
  EXPECT_EQ(liveGdiObjects(), before);
}

void openDrawAndClose(TestEditor& editor, HWND host) {
  editor.open(host);
  Frame* frame = editor.getFrame();
  InvalidateRect(frame->getWindow(), nullptr, FALSE);
  pumpMessages();
  static_cast<Control*>(frame->getChildAt(3))->setValue(0.7f);
  editor.idle();
  frame->redrawNow(nullptr);
  editor.close();
  pumpMessages();
}

TEST(GuiResources, HundredOpenCloseCyclesLeaveNothingBehind) {
  HostWindow host;
  GuiTestEffect effect;
  TestEditor editor(&effect);
  // The first cycle may make what GDI and Wine keep for the process (fonts, caches).
  openDrawAndClose(editor, host.get());
  const std::int32_t gdiBefore = liveGdiObjects();
  const std::int32_t windowsBefore = threadWindowCount();

  for (int cycle = 0; cycle < 100; ++cycle) {
    openDrawAndClose(editor, host.get());
  }

  EXPECT_EQ(liveGdiObjects(), gdiBefore);
  EXPECT_EQ(threadWindowCount(), windowsBefore);
  WNDCLASSA info{};
  EXPECT_FALSE(GetClassInfoA(GetModuleHandleA(nullptr), Frame::windowClassName(), &info));
}

TEST(GuiResources, OpenEditorHoldsItsWindowAndReleasesIt) {
  HostWindow host;
  GuiTestEffect effect;
  TestEditor editor(&effect);
  const std::int32_t windowsBefore = threadWindowCount();
  editor.open(host.get());
  EXPECT_EQ(threadWindowCount(), windowsBefore + 1);
  editor.close();
  EXPECT_EQ(threadWindowCount(), windowsBefore);
}

}  // namespace
}  // namespace vintrove::test
