// A control whose value moves a handle bitmap along a straight track over a background bitmap,
// horizontal or vertical. Driven by mouse drags (click anywhere or grab the handle; control-click
// to the reset value; shift for fine movement), the wheel and the arrow keys. Background and
// handle are composed in an off-screen surface of the slider's size and copied out in one step,
// so the handle never flickers.
#pragma once

#include <cstdint>
#include <memory>

#include "gui/control.h"
#include "gui/offscreen_context.h"

namespace vintrove {

// Style bits; any other bit is ignored.
enum SliderStyle : std::int32_t {
  kSliderHorizontal = 1,  // vertical when clear
  kSliderDrawDirect = 8,  // drawn at value, not 1 - value (32 does the same)
  kSliderDrawDirectAlt = 32,
  kSliderPointerInverted = 16,  // the pointer maps to 1 - value (64 does the same)
  kSliderPointerInvertedAlt = 64,
};

class Slider : public Control {
 public:
  // firstPosition and lastPosition are the window coordinates of the handle's left (or top)
  // edge at the two ends of travel; the travel is their difference.
  Slider(const Rect& size, ControlListener* listener, std::int32_t tag, std::int32_t firstPosition,
         std::int32_t lastPosition, Bitmap* handle, Bitmap* background, Point bitmapOrigin,
         std::int32_t style);

  void draw(DrawContext& context) override;
  void mouseDown(DrawContext& context, Point where) override;
  std::int32_t keyDown(KeyCode& key) override;
  bool wheelTurned(DrawContext* context, Point where, float distance) override;
  bool detachedFrom(View* parent) override;
  bool attachedTo(View* parent) override;

  virtual void setHandleMasked(bool flag);
  virtual void setClickAnywhere(bool flag);
  virtual bool isClickAnywhere() const;
  // Also recomputes the travel limits.
  virtual void setTrackOffset(Point offset);
  // Keeps the handle size (and the travel limits) when given none.
  virtual void setHandleBitmap(Bitmap* handle);
  virtual Bitmap* getHandleBitmap() const;
  virtual void setFineDivisor(float divisor);
  virtual float getFineDivisor() const;

  std::int32_t getStyle() const { return style; }
  std::int32_t getTravel() const { return travel; }
  std::int32_t getTravelStart() const { return travelStart; }
  std::int32_t getTravelEnd() const { return travelEnd; }
  Point getTrackOffset() const { return trackOffset; }
  bool isHandleMasked() const { return handleMasked; }
  bool hasOffscreen() const { return offscreen != nullptr; }

 protected:
  ~Slider() override;

 private:
  bool isHorizontal() const { return (style & kSliderHorizontal) != 0; }
  // The handle's displacement along the track for the current value, in whole pixels.
  std::int32_t handleDisplacement() const;
  // The handle in slider-local coordinates, held between travelStart and travelEnd.
  Rect drawnHandle() const;
  // The handle in window coordinates without the travel limits: what a grab must hit.
  Rect grabbableHandle() const;
  void notify(DrawContext* context);

  Point bitmapOrigin;
  Point trackOffset;
  Bitmap* handleBitmap = nullptr;
  std::unique_ptr<OffscreenContext> offscreen;
  std::int32_t handleWidth = 1;
  std::int32_t handleHeight = 1;
  std::int32_t travel = 0;
  std::int32_t style;
  std::int32_t travelStart = 0;
  std::int32_t travelEnd = 0;
  std::int32_t startInset = 0;
  std::int32_t width;
  std::int32_t height;
  float fineDivisor = 10.0f;
  bool handleMasked = true;
  bool clickAnywhere = true;
};

// A slider with the horizontal bit forced on.
class HorizontalSlider : public Slider {
 public:
  HorizontalSlider(const Rect& size, ControlListener* listener, std::int32_t tag,
                   std::int32_t firstPosition, std::int32_t lastPosition, Bitmap* handle,
                   Bitmap* background, Point bitmapOrigin, std::int32_t style);

 protected:
  ~HorizontalSlider() override;
};

}  // namespace vintrove
