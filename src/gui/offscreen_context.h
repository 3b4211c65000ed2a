// A drawing context whose surface is a memory bitmap compatible with the frame's window,
// filled with its background colour at creation and copied to another context in one step.
#pragma once

#include <optional>

#include "gui/draw_context.h"

namespace vintrove {

class OffscreenContext : public DrawContext {
 public:
  OffscreenContext(Frame* frame, std::int32_t width, std::int32_t height, Color backgroundColor);
  ~OffscreenContext() override;

  // Copies rect's size from source of the surface to (rect.left, rect.top) of destination,
  // shifted by destination's drawOffset.
  void blitTo(DrawContext& destination, Rect rect, Point source) const;

  std::int32_t getWidth() const { return width; }
  std::int32_t getHeight() const { return height; }
  Color getBackgroundColor() const { return backgroundColor; }

 private:
  std::int32_t height;
  std::int32_t width;
  Color backgroundColor;
  // Declared in this order so that the memory context goes before the bitmap it holds.
  GdiBitmap surface;
  std::optional<MemoryDc> memoryDc;
  HGDIOBJ previousBitmap = nullptr;
};

}  // namespace vintrove
