#include "gui/view.h"

#include "gui/frame.h"

namespace vintrove {

View::View(const Rect& rect) : bounds(rect), clickArea(rect) {}

View::~View() = default;

void View::draw(DrawContext&) {}

void View::drawArea(DrawContext& context, const Rect&) { draw(context); }

bool View::overlapsArea(const Rect& area) const {
  return area.right >= bounds.left && area.left <= bounds.right && area.bottom >= bounds.top &&
         area.top <= bounds.bottom;
}

void View::mouseDown(DrawContext&, Point) {}

void View::redrawIfNeeded(DrawContext& context) {
  if (needsRedraw()) {
    draw(context);
    setNeedsRedraw(false);
  }
}

void View::receiveMessage(View*, const char*) {}

std::int32_t View::keyDown(KeyCode&) { return -1; }

std::int32_t View::keyUp(KeyCode&) { return -1; }

bool View::dropItems(const char* const*, std::int32_t, std::int32_t, Point) { return false; }

bool View::wheelTurned(DrawContext*, Point, float) { return false; }

void View::focusLost(DrawContext*) {}

void View::focusGained(DrawContext*) {}

bool View::needsRedraw() const { return redrawFlag; }

void View::setNeedsRedraw(bool flag) { redrawFlag = flag; }

void View::enableMouse(bool flag) { mouseEnabled = flag; }

bool View::isMouseEnabled() const { return mouseEnabled; }

void View::setClickArea(const Rect& area) { clickArea = area; }

Rect& View::getClickArea(Rect& out) const {
  out = clickArea;
  return out;
}

bool View::containsPoint(Point where) const { return isInside(where, bounds); }

void View::setTransparent(bool flag) { transparent = flag; }

bool View::isTransparent() const { return transparent; }

void View::setBounds(const Rect& rect) {
  bounds = rect;
  setNeedsRedraw(true);
}

void View::setOwnerFrame(Frame* frame) { ownerFrame = frame; }

void View::setOwnerView(View* view) { ownerView = view; }

GuiEditor* View::getOwnerEditor() const {
  return ownerFrame != nullptr ? ownerFrame->getOwnerEditor() : nullptr;
}

bool View::detachedFrom(View*) { return true; }

bool View::attachedTo(View*) { return true; }

void View::release() {
  if (retainCount <= 0) {
    return;
  }
  if (--retainCount == 0) {
    delete this;
  }
}

void View::retain() { ++retainCount; }

std::int32_t View::getRetainCount() const { return retainCount; }

}  // namespace vintrove
