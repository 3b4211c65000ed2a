#include "gui/bitmap.h"

#include <utility>

#include "gui/draw_context.h"
#include "host/module_handle.h"

namespace vintrove {

Bitmap::Bitmap(std::int32_t id) : resourceId(id) {
  replaceHandle(LoadBitmapA(static_cast<HINSTANCE>(moduleHandle()),
                            MAKEINTRESOURCEA(static_cast<std::uint32_t>(id) & 0xFFFFU)));
}

Bitmap::~Bitmap() = default;

void Bitmap::release() {
  if (retainCount <= 0) {
    return;
  }
  if (--retainCount == 0) {
    delete this;
  }
}

void Bitmap::replaceHandle(HBITMAP picture) {
  handle.reset(picture);
  // A mask belongs to the picture it was made from.
  mask.reset();
  width = 0;
  height = 0;
  BITMAP description{};
  if (handle && GetObjectA(handle.get(), sizeof(description), &description) != 0) {
    width = description.bmWidth;
    height = description.bmHeight;
  }
}

void Bitmap::draw(DrawContext& context, const Rect& rect, Point source) {
  if (!handle) {
    return;
  }
  HDC target = context.getDeviceContext();
  const MemoryDc picture(target);
  if (!picture) {
    return;
  }
  const ScopedSelection selected(picture.get(), handle.get());
  const Point offset = context.getDrawOffset();
  BitBlt(target, rect.left + offset.h, rect.top + offset.v, rect.width(), rect.height(),
         picture.get(), source.h, source.v, SRCCOPY);
}

void Bitmap::makeMask(HDC target) {
  const MemoryDc picture(target);
  const MemoryDc monochrome(target);
  if (!picture || !monochrome) {
    return;
  }
  const ScopedSelection pictureSelected(picture.get(), handle.get());
  POINT size{width, height};
  DPtoLP(picture.get(), &size, 1);
  GdiBitmap made(CreateBitmap(size.x, size.y, 1, 1, nullptr));
  if (!made) {
    return;
  }
  const ScopedSelection maskSelected(monochrome.get(), made.get());
  SetMapMode(picture.get(), GetMapMode(target));
  // Colour to monochrome: pixels of the background colour become 1, all others 0.
  const COLORREF previousBackground = SetBkColor(picture.get(), nativeColor(keyColor));
  BitBlt(monochrome.get(), 0, 0, size.x, size.y, picture.get(), 0, 0, SRCCOPY);
  SetBkColor(picture.get(), previousBackground);
  mask = std::move(made);
}

void Bitmap::drawMasked(DrawContext& context, const Rect& rect, Point source) {
  HDC target = context.getDeviceContext();
  if (!handle || target == nullptr) {
    return;
  }
  if (!mask) {
    makeMask(target);
    if (!mask) {
      return;
    }
  }
  const std::int32_t w = rect.width();
  const std::int32_t h = rect.height();
  if (w <= 0 || h <= 0) {
    return;
  }
  const Point offset = context.getDrawOffset();
  const std::int32_t x = rect.left + offset.h;
  const std::int32_t y = rect.top + offset.v;

  const MemoryDc picture(target);
  const MemoryDc maskDc(target);
  const MemoryDc saveDc(target);
  const MemoryDc inverseDc(target);
  const MemoryDc backDc(target);
  const GdiBitmap saveBitmap(CreateCompatibleBitmap(target, w, h));
  const GdiBitmap inverseBitmap(CreateBitmap(w, h, 1, 1, nullptr));
  const GdiBitmap backBitmap(CreateCompatibleBitmap(target, w, h));
  if (!picture || !maskDc || !saveDc || !inverseDc || !backDc || !saveBitmap || !inverseBitmap ||
      !backBitmap) {
    return;
  }
  const ScopedSelection pictureSelected(picture.get(), handle.get());
  const ScopedSelection maskSelected(maskDc.get(), mask.get());
  const ScopedSelection saveSelected(saveDc.get(), saveBitmap.get());
  const ScopedSelection inverseSelected(inverseDc.get(), inverseBitmap.get());
  const ScopedSelection backSelected(backDc.get(), backBitmap.get());

  const HDC s = picture.get();
  const HDC m = maskDc.get();
  BitBlt(saveDc.get(), 0, 0, w, h, s, source.h, source.v, SRCCOPY);
  BitBlt(inverseDc.get(), 0, 0, w, h, m, source.h, source.v, NOTSRCCOPY);
  BitBlt(backDc.get(), 0, 0, w, h, target, x, y, SRCCOPY);
  // The fresh memory contexts map mask 1 to white and 0 to black in these colour copies.
  BitBlt(backDc.get(), 0, 0, w, h, m, source.h, source.v, SRCAND);
  BitBlt(s, source.h, source.v, w, h, inverseDc.get(), 0, 0, SRCAND);
  BitBlt(backDc.get(), 0, 0, w, h, s, source.h, source.v, SRCPAINT);
  BitBlt(target, x, y, w, h, backDc.get(), 0, 0, SRCCOPY);
  // The picture gets its own pixels back.
  BitBlt(s, source.h, source.v, w, h, saveDc.get(), 0, 0, SRCCOPY);
}

}  // namespace vintrove
