// The base of everything drawn in the editor window: a rectangle in window coordinates that
// draws itself, answers the events the frame routes to it and remembers whether it must be
// drawn again. Views are reference counted: created with a count of one (the creator's, which
// a frame takes over in addChild) and destroyed when release() brings the count to 0.
#pragma once

#include <cstdint>

#include "gui/geometry.h"
#include "host/effect_record.h"

namespace vintrove {

class DrawContext;
class Frame;
class GuiEditor;

// What dropItems receives: kind 0 is a list of count paths, kind 1 one text of count bytes.
enum DropKind : std::int32_t {
  kDropFiles = 0,
  kDropText = 1,
};

class View {
 public:
  explicit View(const Rect& bounds);
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  virtual void draw(DrawContext& context);
  virtual void drawArea(DrawContext& context, const Rect& area);
  virtual bool overlapsArea(const Rect& area) const;
  virtual void mouseDown(DrawContext& context, Point where);
  virtual void redrawIfNeeded(DrawContext& context);
  virtual void receiveMessage(View* sender, const char* message);
  virtual std::int32_t keyDown(KeyCode& key);
  virtual std::int32_t keyUp(KeyCode& key);
  virtual bool dropItems(const char* const* items, std::int32_t count, std::int32_t kind,
                         Point where);
  virtual bool wheelTurned(DrawContext* context, Point where, float distance);
  virtual void focusLost(DrawContext* context);
  virtual void focusGained(DrawContext* context);
  virtual bool needsRedraw() const;
  virtual void setNeedsRedraw(bool flag);
  virtual void enableMouse(bool flag);
  virtual bool isMouseEnabled() const;
  virtual void setClickArea(const Rect& area);
  virtual Rect& getClickArea(Rect& out) const;
  virtual bool containsPoint(Point where) const;
  virtual void setTransparent(bool flag);
  virtual bool isTransparent() const;
  virtual void setBounds(const Rect& rect);
  virtual void setOwnerFrame(Frame* frame);
  virtual void setOwnerView(View* view);
  virtual GuiEditor* getOwnerEditor() const;
  virtual bool detachedFrom(View* parent);
  virtual bool attachedTo(View* parent);
  virtual void release();
  virtual void retain();
  virtual std::int32_t getRetainCount() const;

  const Rect& getBounds() const { return bounds; }
  Frame* getOwnerFrame() const { return ownerFrame; }
  View* getOwnerView() const { return ownerView; }

 protected:
  // Only release() destroys a view.
  virtual ~View();

  std::int32_t retainCount = 1;
  Rect bounds;
  Rect clickArea;
  Frame* ownerFrame = nullptr;
  View* ownerView = nullptr;
  bool redrawFlag = false;
  bool mouseEnabled = true;
  bool transparent = false;
};

}  // namespace vintrove
