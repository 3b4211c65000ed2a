// The value types every view and drawing call shares: rectangles and points in window
// coordinates (y grows downward) and colours with the named constants.
#pragma once

#include <cstdint>

namespace vintrove {

// A point on any of the four edges counts as inside.
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
};

struct Point {
  std::int32_t h = 0;
  std::int32_t v = 0;
};

inline bool isInside(const Point& where, const Rect& rect) {
  return where.h >= rect.left && where.h <= rect.right && where.v >= rect.top &&
         where.v <= rect.bottom;
}

// Alpha never reaches the platform.
struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 0;

  friend bool operator==(const Color&, const Color&) = default;
};

// The platform's colour value: red + green * 256 + blue * 65536.
inline std::uint32_t nativeColor(const Color& color) {
  return static_cast<std::uint32_t>(color.red) | (static_cast<std::uint32_t>(color.green) << 8) |
         (static_cast<std::uint32_t>(color.blue) << 16);
}

inline constexpr Color kBlack{0, 0, 0, 0};
inline constexpr Color kRed{255, 0, 0, 0};
inline constexpr Color kYellow{255, 255, 0, 0};
inline constexpr Color kWhite{255, 255, 255, 0};
// Equal to white in value, but a constant of its own: every new bitmap starts keyed with it.
inline constexpr Color kDefaultKeyColor{255, 255, 255, 0};

}  // namespace vintrove
