// The frame's view logic: the child list, drawing order, event routing and focus. The window,
// its class and its message procedure are in frame_window.cpp.
#include "gui/frame.h"

#include <new>
#include <utility>

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/gui_editor.h"

namespace vintrove {

namespace {

constexpr std::size_t kChildGrowth = 10;

// Keeps a view alive across a call that may end in the frame (and its children) being released,
// such as a press that closes the editor.
class ViewHold {
 public:
  explicit ViewHold(View* held) : view(held) { view->retain(); }
  ViewHold(const ViewHold&) = delete;
  ViewHold& operator=(const ViewHold&) = delete;
  ~ViewHold() { view->release(); }

 private:
  View* view;
};

}  // namespace

Frame::Frame(const Rect& rect, HWND parent, GuiEditor* owner)
    : View(rect), editor(owner), parentWindow(parent) {
  loadImageLibrary();
  buildWindow(parent);
}

Frame::~Frame() {
  // Messages sent while the children go (an edit field closing, say) must not reach a frame
  // that is being destroyed.
  detachFromWindow();
  setCursorShape(kCursorSaved);
  enableDropTarget(false);
  removeAllChildren(true);
  setBackdrop(nullptr);
  destroyWindow();
}

void Frame::draw(DrawContext& context) {
  firstPaintPending = false;
  if (backdrop != nullptr) {
    backdrop->draw(context, Rect{0, 0, backdrop->getWidth(), backdrop->getHeight()}, Point{0, 0});
  }
  for (View* child : children) {
    child->draw(context);
  }
}

void Frame::drawArea(DrawContext& context, const Rect& area) {
  firstPaintPending = false;
  if (backdrop != nullptr) {
    backdrop->draw(context, area, Point{area.left, area.top});
  }
  for (View* child : children) {
    if (child->overlapsArea(area)) {
      child->drawArea(context, area);
    }
  }
}

void Frame::mouseDown(DrawContext& context, Point where) {
  if (editorForgotten) {
    return;
  }
  if (focus != nullptr) {
    View* lost = std::exchange(focus, nullptr);
    lost->focusLost(nullptr);
  }
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    View* child = *it;
    if (child->isMouseEnabled() && child->containsPoint(where)) {
      // The child may track the mouse for a long time, and what it does may close the editor.
      ViewHold hold(child);
      child->mouseDown(context, where);
      return;
    }
  }
}

void Frame::redrawIfNeeded(DrawContext& context) {
  if (!windowAlive) {
    return;
  }
  if (needsRedraw()) {
    draw(context);
    setNeedsRedraw(false);
    return;
  }
  for (View* child : children) {
    child->redrawIfNeeded(context);
  }
}

std::int32_t Frame::keyDown(KeyCode& key) {
  if (focus != nullptr) {
    const std::int32_t handled = focus->keyDown(key);
    if (handled != -1) {
      return handled;
    }
  }
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const std::int32_t handled = (*it)->keyDown(key);
    if (handled != -1) {
      return handled;
    }
  }
  return -1;
}

std::int32_t Frame::keyUp(KeyCode& key) {
  if (focus != nullptr) {
    const std::int32_t handled = focus->keyUp(key);
    if (handled != -1) {
      return handled;
    }
  }
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    const std::int32_t handled = (*it)->keyUp(key);
    if (handled != -1) {
      return handled;
    }
  }
  return -1;
}

bool Frame::dropItems(const char* const* items, std::int32_t count, std::int32_t kind,
                      Point where) {
  // A drop must not land while a text is being edited, nor in an editor that has gone.
  if (focus != nullptr || editorForgotten) {
    return false;
  }
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    View* child = *it;
    if (child->isMouseEnabled() && isInside(where, child->getBounds()) &&
        child->dropItems(items, count, kind, where)) {
      return true;
    }
  }
  return false;
}

bool Frame::acceptsDrop(const char* const*, std::int32_t, std::int32_t) { return false; }

GuiEditor* Frame::getOwnerEditor() const { return editor; }

void Frame::forgetEditor() {
  editorForgotten = true;
  editor = nullptr;
}

bool Frame::addChild(View* view) {
  if (view == nullptr) {
    return false;
  }
  if (children.size() == children.capacity()) {
    try {
      children.reserve(children.capacity() + kChildGrowth);
    } catch (const std::bad_alloc&) {
      return false;
    }
  }
  children.push_back(view);
  view->setOwnerFrame(this);
  view->attachedTo(this);
  return true;
}

bool Frame::removeChild(View* view, bool release) {
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (*it == view) {
      // A removed (and perhaps released) view must not stay the focus: keys would reach it.
      if (focus == view) {
        focus = nullptr;
        view->focusLost(nullptr);
      }
      children.erase(it);
      view->detachedFrom(this);
      if (release) {
        view->release();
      }
      break;
    }
  }
  return true;
}

bool Frame::removeAllChildren(bool release) {
  if (focus != nullptr) {
    View* lost = std::exchange(focus, nullptr);
    lost->focusLost(nullptr);
  }
  // Taken out first: a child's destructor must find a consistent (empty) list.
  std::vector<View*> removed;
  removed.swap(children);
  for (View* child : removed) {
    child->detachedFrom(this);
    if (release) {
      child->release();
    }
  }
  return true;
}

bool Frame::hasChild(const View* view) const {
  for (const View* child : children) {
    if (child == view) {
      return true;
    }
  }
  return false;
}

std::int32_t Frame::getChildCount() const { return static_cast<std::int32_t>(children.size()); }

View* Frame::getChildAt(std::int32_t index) const {
  if (index < 0 || index >= getChildCount()) {
    return nullptr;
  }
  return children[static_cast<std::size_t>(index)];
}

void Frame::setBackdrop(Bitmap* bitmap) {
  if (bitmap != nullptr) {
    bitmap->retain();
  }
  if (backdrop != nullptr) {
    backdrop->release();
  }
  backdrop = bitmap;
}

void Frame::setFocus(View* view) {
  View* previous = std::exchange(focus, view);
  if (previous != nullptr) {
    previous->focusLost(nullptr);
  }
}

void Frame::beginParameterEdit(std::int32_t tag) {
  if (editor != nullptr) {
    editor->beginControlEdit(tag);
  }
}

void Frame::endParameterEdit(std::int32_t tag) {
  if (editor != nullptr) {
    editor->endControlEdit(tag);
  }
}

std::uint32_t Frame::getMilliseconds() const {
  return editor != nullptr ? editor->getMilliseconds() : 0;
}

void Frame::pumpIdle() {
  if (editor != nullptr) {
    editor->pumpIdle();
  }
}

View* Frame::getChildUnderMouse() const {
  Point where;
  getMousePosition(where);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    if (isInside(where, (*it)->getBounds())) {
      return *it;
    }
  }
  return nullptr;
}

bool Frame::hasPendingRedraw() const {
  if (needsRedraw()) {
    return true;
  }
  for (const View* child : children) {
    if (child->needsRedraw()) {
      return true;
    }
  }
  return false;
}

}  // namespace vintrove
