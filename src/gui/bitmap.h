// A picture from the module's bitmap resources, shared by reference counting and drawn either
// plainly or with its key colour keyed out through a monochrome mask made at the first masked
// draw. A derived bitmap may put its own picture in place of the loaded one (replaceHandle).
#pragma once

#include <windows.h>

#include <cstdint>

#include "gui/gdi_owner.h"
#include "gui/geometry.h"

namespace vintrove {

class DrawContext;

class Bitmap {
 public:
  // Loads resource resourceId of the module; a missing resource leaves no handle and size 0.
  explicit Bitmap(std::int32_t resourceId);
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  void retain() { ++retainCount; }
  // At 0 the bitmap deletes itself; a release at 0 or below does nothing.
  void release();
  std::int32_t getRetainCount() const { return retainCount; }

  std::int32_t getResourceId() const { return resourceId; }
  std::int32_t getWidth() const { return width; }
  std::int32_t getHeight() const { return height; }
  Color getKeyColor() const { return keyColor; }
  // A mask already made keeps the colour it was made with.
  void setKeyColor(Color color) { keyColor = color; }
  HBITMAP getHandle() const { return handle.get(); }

  void draw(DrawContext& context, const Rect& rect, Point source);
  void drawMasked(DrawContext& context, const Rect& rect, Point source);

 protected:
  // Only release() destroys a bitmap; derived bitmaps too.
  virtual ~Bitmap();
  // Takes ownership of picture and reads its size; the previous picture is deleted.
  void replaceHandle(HBITMAP picture);

 private:
  void makeMask(HDC target);

  std::int32_t resourceId;

 protected:
  // Reachable by derived bitmaps; in this system only retain() and release() change it.
  std::int32_t retainCount = 1;

 private:
  std::int32_t width = 0;
  std::int32_t height = 0;
  Color keyColor = kDefaultKeyColor;
  GdiBitmap handle;
  GdiBitmap mask;
};

}  // namespace vintrove
