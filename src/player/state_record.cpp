#include "player/state_record.h"

#include <cmath>
#include <cstring>

namespace vintrove {

namespace {

using namespace state_record;

void putUint32(unsigned char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(value >> (8 * i));
}

std::uint32_t getUint32(const unsigned char* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  return value;
}

void putFloat64(unsigned char* at, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(bits >> (8 * i));
}

double getFloat64(const unsigned char* at) {
  std::uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<std::uint64_t>(at[i]) << (8 * i);
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// A switch is saved as exactly 0 or 1; anything else marks a damaged record.
bool readSwitch(double value, bool& out) {
  if (value != 0.0 && value != 1.0) return false;
  out = value == 1.0;
  return true;
}

bool inRange(double value, double low, double high) { return value >= low && value <= high; }

std::size_t boundedLength(const char* text, std::size_t most) {
  std::size_t length = 0;
  while (length < most && text[length] != '\0') ++length;
  return length;
}

}  // namespace

void writeStateRecord(const PlayerState& state, std::vector<unsigned char>& out) {
  const std::size_t pathSize = boundedLength(state.path, PlayerState::kPathCapacity - 1);
  out.assign(kFixedSize + pathSize + 1, 0);
  std::memcpy(out.data(), kMagic, sizeof kMagic);
  putUint32(&out[4], kVersion);
  putUint32(&out[8], kValuesSize);
  putFloat64(&out[kValuesOffset], state.playing ? 1.0 : 0.0);
  putFloat64(&out[kValuesOffset + 8], state.loop ? 1.0 : 0.0);
  putFloat64(&out[kValuesOffset + 16], state.position);
  putFloat64(&out[kValuesOffset + 24], state.pitch);
  putFloat64(&out[kValuesOffset + 32], state.smooth ? 1.0 : 0.0);
  putUint32(&out[kValuesOffset + kValuesSize], static_cast<std::uint32_t>(pathSize));
  std::memcpy(&out[kFixedSize], state.path, pathSize);
}

bool readStateRecord(const unsigned char* bytes, std::size_t size, PlayerState& out) {
  if (bytes == nullptr || size < kValuesOffset) return false;
  if (std::memcmp(bytes, kMagic, sizeof kMagic) != 0) return false;
  const std::uint32_t version = getUint32(bytes + 4);
  const std::uint32_t valuesSize = getUint32(bytes + 8);
  if (version == 0) return false;
  // Versions 1 and 2 have exactly four and five values and nothing after the path; a newer one
  // may have more of both.
  const bool known = version <= kVersion;
  const std::uint32_t valuesKnown = version == 1 ? kVersion1ValuesSize : kValuesSize;
  if (known ? valuesSize != valuesKnown : valuesSize < kValuesSize) return false;
  // Sizes are compared by subtraction from what is left, so no sum can wrap.
  std::size_t left = size - kValuesOffset;
  if (valuesSize > left || left - valuesSize < 4) return false;
  const unsigned char* values = bytes + kValuesOffset;
  left -= valuesSize + 4;
  const std::uint32_t pathSize = getUint32(values + valuesSize);
  if (pathSize >= PlayerState::kPathCapacity || pathSize >= left) return false;
  if (known && left != pathSize + std::size_t{1}) return false;
  const unsigned char* path = values + valuesSize + 4;
  if (path[pathSize] != 0 || std::memchr(path, 0, pathSize) != nullptr) return false;

  PlayerState read;
  const double position = getFloat64(values + 16);
  const double pitch = getFloat64(values + 24);
  if (!readSwitch(getFloat64(values), read.playing) || !readSwitch(getFloat64(values + 8), read.loop) ||
      !inRange(position, 0.0, 1.0) || !inRange(pitch, -kPitchLimit, kPitchLimit)) {
    return false;
  }
  // A version 1 project was made with the nearest-sample sound; it keeps it.
  read.smooth = false;
  if (version >= 2 && !readSwitch(getFloat64(values + 32), read.smooth)) return false;
  read.position = position;
  read.pitch = pitch;
  std::memcpy(read.path, path, pathSize);
  read.path[pathSize] = '\0';
  out = read;
  return true;
}

}  // namespace vintrove
