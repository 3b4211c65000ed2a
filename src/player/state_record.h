// The player's state as the host saves it with its project (getChunk, setChunk): the five
// parameter values and the path of the chosen file. Nothing in it depends on the machine except
// the path. All integers and floats are little-endian, IEEE 754.
//
// Version 2, offsets in bytes:
//
//   0  4   magic          the bytes 'V' 't' 'r' 'S'
//   4  4   version        uint32, 2
//   8  4   valuesSize     uint32, bytes of the values block; 40 in version 2
//  12  40  values         five float64:
//                           Playing   0 or 1
//                           Loop      0 or 1
//                           Position  fraction of the file's length, 0 to 1
//                           Pitch     speed change in per cent, -12 to +12 (the player's own
//                                     value, not the 0..1 parameter, so it comes back exactly)
//                           Smooth    0 or 1
//  52  4   pathSize       uint32, bytes of the path without its terminating zero, below 1024
//  56  n   path           the path's bytes as the player holds them (UTF-8), no zero among them
//  56+n 1  terminator     0
//
// A version 2 record is exactly 57 + pathSize bytes. An empty path means no file was chosen.
//
// Version 1 is the same without Smooth: a values block of 32 bytes, 49 + pathSize bytes in all.
// It was written before playback interpolated, so it restores with Smooth off and the project
// keeps the sound it was saved with.
//
// Reading other versions:
// - Version 0 does not exist; a record claiming it is refused.
// - A newer version keeps this layout as its beginning: it may make the values block longer
//   (new values after the five above) and add bytes after the path's terminator. A reader of an
//   older version reads the fields it knows, skips a longer values block and ignores what
//   follows the terminator. A change that cannot keep this layout takes a new magic.
// - Every size is checked against the record's size before anything is read; a record that
//   fails any check, or holds a value outside its range (NaN included), is refused whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vintrove {

struct PlayerState {
  static constexpr std::size_t kPathCapacity = 1024;  // the player's path buffer, with its zero

  bool playing = false;
  bool loop = false;
  double position = 0.0;  // fraction of the length
  double pitch = 1.0;     // per cent
  bool smooth = true;     // band-limited interpolation and click-free transport
  char path[kPathCapacity] = {};
};

namespace state_record {

inline constexpr unsigned char kMagic[4] = {'V', 't', 'r', 'S'};
inline constexpr std::uint32_t kVersion = 2;
inline constexpr std::uint32_t kValuesSize = 40;
inline constexpr std::uint32_t kVersion1ValuesSize = 32;
inline constexpr std::size_t kValuesOffset = 12;
inline constexpr std::size_t kFixedSize = kValuesOffset + kValuesSize + 4;  // up to the path
inline constexpr double kPitchLimit = 12.0;

}  // namespace state_record

// The version 2 record of state; out is resized to fit. The path is cut at its first zero and
// must be shorter than kPathCapacity (the player never holds a longer one).
void writeStateRecord(const PlayerState& state, std::vector<unsigned char>& out);

// True and the state in out when bytes hold a record this version can read; false (out
// untouched) otherwise. bytes may be null when size is 0.
bool readStateRecord(const unsigned char* bytes, std::size_t size, PlayerState& out);

}  // namespace vintrove
