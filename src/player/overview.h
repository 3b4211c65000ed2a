// The waveform overview: a 248 x 16 picture of the file's loudness that the decoding thread
// paints column by column into the editor's overview bitmap while the file decodes, with white
// ticks every 15 s, minute or 10 minutes of the file depending on its length.
//
// Pixels are 24-bit, blue-green-red, rows bottom-up without padding: pixel (x, row r) is at
// byte r x kOverviewRowBytes + x x 3. Samples come from the store through a SampleReader.
#pragma once

#include <cstdint>

namespace vintrove {

inline constexpr int kOverviewWidth = 248;
inline constexpr int kOverviewHeight = 16;
inline constexpr int kOverviewBytesPerPixel = 3;
inline constexpr int kOverviewRowBytes = kOverviewWidth * kOverviewBytesPerPixel;  // 744
inline constexpr int kOverviewBytes = kOverviewRowBytes * kOverviewHeight;         // 11904

struct OverviewColour {
  unsigned char blue;
  unsigned char green;
  unsigned char red;

  friend bool operator==(const OverviewColour&, const OverviewColour&) = default;
};

// The bar gradient: red fades from 239 at the outer rows to 15 at the middle two.
constexpr OverviewColour overviewRowColour(int row) {
  const double shade = (row * 0.125 + 0.0625 - 1.0) * 255.0;
  const int truncated = static_cast<int>(shade);
  const int red = truncated < 0 ? -truncated : truncated;
  return {255, static_cast<unsigned char>(255 - red), static_cast<unsigned char>(red)};
}

inline constexpr OverviewColour kOverviewTickColour = {255, 255, 255};

// A non-owning, non-allocating way to read one stored sample: anything with
// `float sampleAt(int channel, std::int32_t index) const` (both sample stores) will do.
class SampleReader {
 public:
  template <typename Store>
  static SampleReader of(const Store& store) {
    return SampleReader(&store, [](const void* context, int channel, std::int32_t index) {
      return static_cast<const Store*>(context)->sampleAt(channel, index);
    });
  }

  float operator()(int channel, std::int32_t index) const {
    return read_(context_, channel, index);
  }

 private:
  using ReadFunction = float (*)(const void* context, int channel, std::int32_t index);
  SampleReader(const void* context, ReadFunction read) : context_(context), read_(read) {}

  const void* context_;
  ReadFunction read_;
};

// Paints the columns covering frames from .. to of a file whose full width stands for total
// frames; to == 0 clears the picture first. Only indices below storedFrames are read (sub-samples
// beyond them count as silence); a mono file reads channel 0 for both halves. Nothing happens
// without pixels, and nothing is drawn for a total of 0.
void drawOverview(unsigned char* pixels, std::int32_t from, std::int32_t to, std::int32_t total,
                  std::int32_t sampleRate, std::int32_t storedFrames, int channels,
                  SampleReader read);

}  // namespace vintrove
