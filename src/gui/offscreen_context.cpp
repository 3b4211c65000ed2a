#include "gui/offscreen_context.h"

#include "gui/frame.h"

namespace vintrove {

OffscreenContext::OffscreenContext(Frame* owner, std::int32_t surfaceWidth,
                                   std::int32_t surfaceHeight, Color background)
    : DrawContext(owner, nullptr, nullptr),
      height(surfaceHeight),
      width(surfaceWidth),
      backgroundColor(background) {
  {
    // Without a frame window the surface matches the screen.
    const WindowDc windowDc(owner != nullptr ? owner->getWindow() : nullptr);
    memoryDc.emplace(windowDc.get());
    surface.reset(CreateCompatibleBitmap(windowDc.get(), width, height));
  }
  if (!*memoryDc) {
    return;
  }
  if (surface) {
    previousBitmap = SelectObject(memoryDc->get(), surface.get());
  }
  adoptDeviceContext(memoryDc->get());

  // Text drawn here must look as it does on a window context: transparent, in textColor.
  SetBkMode(memoryDc->get(), TRANSPARENT);
  setTextColor(textColor);
  setBrushColor(backgroundColor);
  setPenColor(backgroundColor);
  const Rect whole{0, 0, width, height};
  fillRect(whole);
  outlineRect(whole);
}

OffscreenContext::~OffscreenContext() {
  if (memoryDc && *memoryDc && previousBitmap != nullptr && previousBitmap != HGDI_ERROR) {
    SelectObject(memoryDc->get(), previousBitmap);
  }
  // The members then delete the memory context and the surface, in that order.
}

void OffscreenContext::blitTo(DrawContext& destination, Rect rect, Point source) const {
  if (!memoryDc || !*memoryDc) {
    return;
  }
  const Point offset = destination.getDrawOffset();
  BitBlt(destination.getDeviceContext(), rect.left + offset.h, rect.top + offset.v, rect.width(),
         rect.height(), memoryDc->get(), source.h, source.v, SRCCOPY);
}

}  // namespace vintrove
