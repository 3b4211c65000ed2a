// The state record's bytes: the layout written, what the reader takes from version 1 and from
// newer versions, and every damaged record refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "player/state_record.h"

namespace vintrove::test {
namespace {

using Bytes = std::vector<unsigned char>;

PlayerState stateWith(const std::string& path, bool playing = true, bool loop = true,
                      double position = 0.25, double pitch = -3.5, bool smooth = true) {
  PlayerState state;
  state.playing = playing;
  state.loop = loop;
  state.position = position;
  state.pitch = pitch;
  state.smooth = smooth;
  std::memcpy(state.path, path.data(), path.size());
  state.path[path.size()] = '\0';
  return state;
}

Bytes recordOf(const PlayerState& state) {
  Bytes out;
  writeStateRecord(state, out);
  return out;
}

void putUint32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(value >> (8 * i));
}

void putFloat64(Bytes& bytes, std::size_t at, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  for (int i = 0; i < 8; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(bits >> (8 * i));
}

bool reads(const Bytes& bytes, PlayerState& out) {
  return readStateRecord(bytes.data(), bytes.size(), out);
}

TEST(StateRecord, Version2LayoutIsLittleEndianWithSizes) {
  const Bytes bytes = recordOf(stateWith("C:\\M\xc3\xbcsik\\a.mp3", true, false, 0.5, -12.0, true));
  const std::string path = "C:\\M\xc3\xbcsik\\a.mp3";
  ASSERT_EQ(bytes.size(), 57 + path.size());
  const Bytes head{'V', 't', 'r', 'S', 2, 0, 0, 0, 40, 0, 0, 0};
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), head);
  // 1.0, 0.0, 0.5, -12.0 and 1.0 as little-endian float64.
  const Bytes values{0, 0, 0, 0, 0, 0, 0xf0, 0x3f, 0, 0, 0, 0, 0, 0, 0, 0,
                     0, 0, 0, 0, 0, 0, 0xe0, 0x3f, 0, 0, 0, 0, 0, 0, 0x28, 0xc0,
                     0, 0, 0, 0, 0, 0, 0xf0, 0x3f};
  EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 52), values);
  EXPECT_EQ(Bytes(bytes.begin() + 52, bytes.begin() + 56),
            (Bytes{static_cast<unsigned char>(path.size()), 0, 0, 0}));
  EXPECT_EQ(std::string(bytes.begin() + 56, bytes.end() - 1), path);
  EXPECT_EQ(bytes.back(), 0);
}

TEST(StateRecord, WhatIsWrittenReadsBackExactly) {
  const PlayerState cases[] = {
      stateWith("", false, false, 0.0, 1.0, true),
      stateWith("/music/set.mp3", true, true, 1.0, 12.0, false),
      stateWith("/m.mp2", false, true, 1.0 / 3.0, 0.041666668f * 7, true),
      stateWith(std::string(1023, 'x'), true, false, 0.999999, -12.0, false),
  };
  for (const PlayerState& state : cases) {
    SCOPED_TRACE(state.path);
    PlayerState read = stateWith("old", true, true, 0.5, 0.0, !state.smooth);
    ASSERT_TRUE(reads(recordOf(state), read));
    EXPECT_EQ(read.playing, state.playing);
    EXPECT_EQ(read.loop, state.loop);
    EXPECT_EQ(read.position, state.position);
    EXPECT_EQ(read.pitch, state.pitch);
    EXPECT_EQ(read.smooth, state.smooth);
    EXPECT_STREQ(read.path, state.path);
    EXPECT_EQ(recordOf(read), recordOf(state));
  }
}

// Version 1 records, as the players before Smooth wrote them (the bytes written out here), restore
// every value they hold and Smooth off.
TEST(StateRecord, AVersion1RecordReadsWithSmoothOff) {
  const std::string path = "/set/v1.mp3";
  Bytes v1{'V', 't', 'r', 'S', 1, 0, 0, 0, 32, 0, 0, 0};
  v1.resize(44, 0);
  putFloat64(v1, 12, 1.0);
  putFloat64(v1, 20, 1.0);
  putFloat64(v1, 28, 0.625);
  putFloat64(v1, 36, -4.0);
  v1.insert(v1.end(), {static_cast<unsigned char>(path.size()), 0, 0, 0});
  v1.insert(v1.end(), path.begin(), path.end());
  v1.push_back(0);
  PlayerState read = stateWith("old", false, false, 0.0, 0.0, true);
  ASSERT_TRUE(reads(v1, read));
  EXPECT_TRUE(read.playing);
  EXPECT_TRUE(read.loop);
  EXPECT_EQ(read.position, 0.625);
  EXPECT_EQ(read.pitch, -4.0);
  EXPECT_FALSE(read.smooth);
  EXPECT_EQ(std::string(read.path), path);

  // A version 1 record holds exactly four values and nothing after the path.
  Bytes fiveValues = v1;
  fiveValues.insert(fiveValues.begin() + 44, 8, 0);
  putUint32(fiveValues, 8, 40);
  EXPECT_FALSE(reads(fiveValues, read));
  Bytes trailing = v1;
  trailing.push_back(0);
  EXPECT_FALSE(reads(trailing, read));
}

TEST(StateRecord, ANewerVersionIsReadForTheFieldsVersion2Knows) {
  const std::string path = "/a/b.mp3";
  Bytes newer = recordOf(stateWith(path, true, false, 0.75, 2.0, false));
  // Version 3 with a sixth value and bytes after the terminator.
  newer.insert(newer.begin() + 52, 8, 0x55);
  putUint32(newer, 4, 3);
  putUint32(newer, 8, 48);
  newer.insert(newer.end(), {9, 8, 7, 6, 5});
  PlayerState read;
  ASSERT_TRUE(reads(newer, read));
  EXPECT_TRUE(read.playing);
  EXPECT_FALSE(read.loop);
  EXPECT_EQ(read.position, 0.75);
  EXPECT_EQ(read.pitch, 2.0);
  EXPECT_FALSE(read.smooth);
  EXPECT_EQ(std::string(read.path), path);

  // The same extras in a record that claims version 2 or 1 make it a damaged one, and a newer
  // version must still hold the five values.
  for (std::uint32_t claimed : {2u, 1u}) {
    Bytes claims = newer;
    putUint32(claims, 4, claimed);
    EXPECT_FALSE(reads(claims, read)) << claimed;
  }
  Bytes fourValues = recordOf(stateWith(path));
  fourValues.erase(fourValues.begin() + 44, fourValues.begin() + 52);
  putUint32(fourValues, 4, 3);
  putUint32(fourValues, 8, 32);
  EXPECT_FALSE(reads(fourValues, read));
  Bytes trailing = recordOf(stateWith(path));
  trailing.push_back(0);
  EXPECT_FALSE(reads(trailing, read));
}

// Each case damages a good record one way; the reader refuses and leaves its output alone.
TEST(StateRecord, DamagedRecordsAreRefusedWhole) {
  const Bytes good = recordOf(stateWith("/music/file.mp3"));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* what;
    Bytes bytes;
  };
  std::vector<Case> cases;
  auto damaged = [&](const char* what, auto change) {
    Bytes bytes = good;
    change(bytes);
    cases.push_back({what, bytes});
  };
  cases.push_back({"empty", {}});
  for (std::size_t cut = 1; cut < good.size(); ++cut) {
    cases.push_back({"truncated", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut))});
  }
  damaged("magic", [](Bytes& b) { b[3] = 's'; });
  damaged("version 0", [](Bytes& b) { putUint32(b, 4, 0); });
  damaged("values block too short", [](Bytes& b) { putUint32(b, 8, 24); });
  damaged("values block larger than the record", [](Bytes& b) { putUint32(b, 8, 0xffffffffu); });
  damaged("newer version, values block past the end", [](Bytes& b) {
    putUint32(b, 4, 7);
    putUint32(b, 8, 0xfffffff0u);
  });
  damaged("version 2 with four values", [](Bytes& b) {
    b.erase(b.begin() + 44, b.begin() + 52);
    putUint32(b, 8, 32);
  });
  damaged("path size past the end", [](Bytes& b) { putUint32(b, 52, 0xffffffffu); });
  damaged("path size one short", [](Bytes& b) { putUint32(b, 52, 14); });
  damaged("path size one long", [](Bytes& b) { putUint32(b, 52, 16); });
  damaged("no terminator", [](Bytes& b) { b.back() = 'x'; });
  damaged("zero inside the path", [](Bytes& b) { b[60] = 0; });
  damaged("playing neither 0 nor 1", [](Bytes& b) { putFloat64(b, 12, 0.5); });
  damaged("loop NaN", [&](Bytes& b) { putFloat64(b, 20, nan); });
  damaged("position below 0", [](Bytes& b) { putFloat64(b, 28, -0.001); });
  damaged("position above 1", [](Bytes& b) { putFloat64(b, 28, 1.0001); });
  damaged("position NaN", [&](Bytes& b) { putFloat64(b, 28, nan); });
  damaged("pitch above 12", [](Bytes& b) { putFloat64(b, 36, 12.5); });
  damaged("pitch infinite", [](Bytes& b) { putFloat64(b, 36, -std::numeric_limits<double>::infinity()); });
  damaged("smooth neither 0 nor 1", [](Bytes& b) { putFloat64(b, 44, 0.5); });
  damaged("smooth NaN", [&](Bytes& b) { putFloat64(b, 44, nan); });
  {
    // A path of 1024 bytes does not fit the player's buffer with its zero.
    Bytes longPath = recordOf(stateWith(""));
    longPath.insert(longPath.begin() + 56, 1024, 'p');
    putUint32(longPath, 52, 1024);
    cases.push_back({"path of 1024 bytes", longPath});
  }
  Bytes oversized = good;
  oversized.resize(1 << 20, 0);
  cases.push_back({"oversized", oversized});

  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(c.bytes.size()) + " bytes");
    PlayerState read = stateWith("untouched", false, false, 0.5, 3.0);
    EXPECT_FALSE(reads(c.bytes, read));
    EXPECT_STREQ(read.path, "untouched");
    EXPECT_EQ(read.position, 0.5);
    EXPECT_EQ(read.pitch, 3.0);
  }
  PlayerState read;
  EXPECT_FALSE(readStateRecord(nullptr, 0, read));
  EXPECT_FALSE(readStateRecord(nullptr, good.size(), read));
  EXPECT_TRUE(reads(good, read));  // the undamaged record itself is good
}

}  // namespace
}  // namespace vintrove::test
