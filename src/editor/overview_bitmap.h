// The picture under the position slider: a 248 x 16, 24-bit bottom-up section whose pixel
// memory the loader paints the waveform overview into while it decodes.
#pragma once

#include "gui/bitmap.h"

namespace vintrove {

class OverviewBitmap : public Bitmap {
 public:
  static constexpr std::int32_t kResourceId = 108;

  OverviewBitmap();
  // The section's pixels (744 bytes per row, rows bottom-up); null if it could not be made.
  unsigned char* bits() const { return pixels; }

 private:
  ~OverviewBitmap() override = default;

  unsigned char* pixels = nullptr;
};

}  // namespace vintrove
