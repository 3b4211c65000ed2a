// The waveform overview: its colours and layout, the bar for given loudness, the tick lines for
// short, medium and long files, the column range a call paints, and that it never reads a
// sample that is not stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <set>
#include <vector>

#include "player/cluster_store.h"
#include "player/contiguous_store.h"
#include "player/overview.h"
#include "store_test_data.h"

namespace vintrove {

// Lets failures show colours as numbers.
void PrintTo(const OverviewColour& c, std::ostream* os) {
  *os << "(b " << int{c.blue} << ", g " << int{c.green} << ", r " << int{c.red} << ")";
}

namespace test {
namespace {

constexpr std::int32_t kRate = 44100;

// A square wave of a given amplitude per channel; reading at or beyond `stored`, or reading a
// channel that is not allowed, is a failure.
struct SquareWaveStore {
  float amplitude[2] = {0.0f, 0.0f};
  std::int32_t stored = 0;
  int channels = 2;
  mutable int reads = 0;

  float sampleAt(int channel, std::int32_t index) const {
    ++reads;
    if (index < 0 || index >= stored) {
      ADD_FAILURE() << "read frame " << index << " of " << stored;
    }
    if (channel >= channels) {
      ADD_FAILURE() << "read channel " << channel << " of a " << channels << "-channel file";
    }
    return (index % 2 == 0 ? 1.0f : -1.0f) * amplitude[channel];
  }
};

using Picture = std::vector<unsigned char>;

Picture blankPicture() { return Picture(kOverviewBytes, 0); }

OverviewColour pixelAt(const Picture& picture, int column, int row) {
  const unsigned char* p = picture.data() + row * kOverviewRowBytes + column * 3;
  return {p[0], p[1], p[2]};
}

constexpr OverviewColour kBlack = {0, 0, 0};

// Checks one column: rows low .. high - 1 carry the bar colours, the others `elsewhere`.
void expectBar(const Picture& picture, int column, int low, int high,
               OverviewColour elsewhere = kBlack) {
  for (int row = 0; row < kOverviewHeight; ++row) {
    const OverviewColour expected =
        row >= low && row < high ? overviewRowColour(row) : elsewhere;
    EXPECT_EQ(pixelAt(picture, column, row), expected) << "column " << column << " row " << row;
  }
}

void draw(Picture& picture, std::int32_t from, std::int32_t to, std::int32_t total,
          const SquareWaveStore& store) {
  drawOverview(picture.data(), from, to, total, kRate, store.stored, store.channels,
               SampleReader::of(store));
}

TEST(OverviewLayout, RowColoursFollowTheGradient) {
  const int red[kOverviewHeight] = {239, 207, 175, 143, 111, 79,  47,  15,
                                    15,  47,  79,  111, 143, 175, 207, 239};
  for (int row = 0; row < kOverviewHeight; ++row) {
    const OverviewColour colour = overviewRowColour(row);
    EXPECT_EQ(colour.blue, 255) << row;
    EXPECT_EQ(colour.red, red[row]) << row;
    EXPECT_EQ(colour.green, 255 - red[row]) << row;
  }
  EXPECT_EQ(kOverviewRowBytes, 744);
  EXPECT_EQ(kOverviewBytes, 11904);
}

TEST(OverviewBars, LoudnessSetsTheRowsOfEachHalf) {
  const struct {
    const char* name;
    int channels;
    float left;
    float right;
    int low;
    int high;
  } cases[] = {
      {"silence paints only row 8", 2, 0.0f, 0.0f, 8, 9},
      {"full scale reaches row 0 but never row 15", 2, 1.0f, 1.0f, 0, 15},
      {"louder than full scale is cut at the edges", 2, 3.0f, 3.0f, 0, 15},
      {"channel 0 grows downwards", 2, 0.25f, 0.0f, 4, 9},
      {"channel 1 grows upwards", 2, 0.0f, 0.125f, 8, 11},
      {"both halves", 2, 0.25f, 0.125f, 4, 11},
      {"mono reads channel 0 for both halves", 1, 0.25f, 0.75f, 4, 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SquareWaveStore store;
    store.amplitude[0] = c.left;
    store.amplitude[1] = c.right;
    store.channels = c.channels;
    store.stored = 24800;  // 100 frames per column, no tick within 15 s
    Picture picture = blankPicture();
    draw(picture, 0, 24800, 24800, store);
    for (int column : {0, 100, 247}) {
      expectBar(picture, column, c.low, c.high);
    }
  }
}

TEST(OverviewBars, SilentColumnIsTheMiddleColour) {
  SquareWaveStore silent;
  silent.stored = 24800;
  Picture picture = blankPicture();
  draw(picture, 0, 24800, 24800, silent);
  EXPECT_EQ(pixelAt(picture, 5, 8), (OverviewColour{255, 240, 15}));
}

TEST(OverviewBars, ARedrawnColumnKeepsItsLargestBar) {
  SquareWaveStore loud;
  loud.amplitude[0] = loud.amplitude[1] = 1.0f;
  loud.stored = 24800;
  SquareWaveStore silent;
  silent.stored = 24800;
  Picture picture = blankPicture();
  draw(picture, 0, 100, 24800, loud);
  draw(picture, 0, 100, 24800, silent);
  expectBar(picture, 0, 0, 15);
}

TEST(OverviewTicks, SpacingDependsOnTheFileLength) {
  const struct {
    const char* name;
    std::int32_t total;
    std::set<int> tickColumns;
  } cases[] = {
      // Exactly 120 s: a line every 60 s, in the columns that end at 2,646,000 and 5,292,000.
      {"120 s", 5292000, {123, 247}},
      {"one frame under 120 s: every 15 s", 5291999, {31, 62, 93, 124, 155, 186, 217}},
      // The single-precision 1/248 puts the frame at column 124 just below 26,460,000.
      {"1200 s: every 600 s", 52920000, {124}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SquareWaveStore nothingStored;
    Picture picture = blankPicture();
    draw(picture, 0, c.total, c.total, nothingStored);
    for (int column = 0; column < kOverviewWidth; ++column) {
      const bool tick = c.tickColumns.count(column) != 0;
      expectBar(picture, column, 8, 9, tick ? kOverviewTickColour : kBlack);
    }
  }
}

// Three hours at 44.1 kHz, 476,280,000 frames (beyond what a 32-bit store holds), drawn block
// by block as the loader does: all 248 columns of 43.5 s get their bar, from sub-samples inside
// the file, and a line marks every 10 minutes: the single-precision 1/248 puts the 90-minute
// mark in column 123 and, as for 120 s, the end of the file in the last column.
TEST(OverviewTicks, ThreeHoursDrawEveryColumnWithALineEveryTenMinutes) {
  constexpr std::int32_t kTotal = 3 * 3600 * kRate;
  SquareWaveStore store;
  store.amplitude[0] = 1.0f;
  store.amplitude[1] = 1.0f;
  Picture picture = blankPicture();
  draw(picture, 0, 0, kTotal, store);
  for (std::int32_t at = 0; at < kTotal; at += 1000000) {
    const std::int32_t to = std::min(at + 1000000, kTotal);
    store.stored = to;
    draw(picture, at, to, kTotal, store);
  }
  const std::set<int> ticks = {13,  27,  41,  55,  68,  82,  96,  110, 123,
                               137, 151, 165, 179, 192, 206, 220, 234, 247};
  for (int column = 0; column < kOverviewWidth; ++column) {
    expectBar(picture, column, 0, 15, ticks.count(column) != 0 ? kOverviewTickColour : kBlack);
  }
}

TEST(OverviewRange, PaintsTheColumnsOfTheDecodedRangeOnly) {
  const struct {
    const char* name;
    std::int32_t from;
    std::int32_t to;
    int firstColumn;
    int lastColumn;
  } cases[] = {
      {"whole columns", 10000, 20000, 10, 19},
      {"a range ending inside a column draws that column", 10500, 20500, 10, 20},
      {"a range within one column", 30100, 30200, 30, 30},
      {"the last column", 247000, 248000, 247, 247},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SquareWaveStore silent;
    silent.stored = 248000;
    Picture picture = blankPicture();
    draw(picture, c.from, c.to, 248000, silent);
    for (int column = 0; column < kOverviewWidth; ++column) {
      const bool drawn = column >= c.firstColumn && column <= c.lastColumn;
      expectBar(picture, column, drawn ? 8 : 0, drawn ? 9 : 0);
    }
  }
}

TEST(OverviewRange, SubSamplesBeyondTheStoredFramesCountAsSilence) {
  // 1000 frames per column; of the ten sub-samples of column 0 (about 100 apart) the first five
  // lie below 450. Half-scale on those five alone gives level 2 x sqrt(0.125), rows 2 to 13;
  // all ten would give rows 0 to 14.
  SquareWaveStore store;
  store.amplitude[0] = store.amplitude[1] = 0.5f;
  store.stored = 450;
  Picture picture = blankPicture();
  draw(picture, 0, 450, 248000, store);
  expectBar(picture, 0, 2, 14);
  EXPECT_EQ(store.reads, 10);
}

TEST(OverviewClear, ToZeroClearsAndDrawsNothingElse) {
  SquareWaveStore store;
  store.stored = 1000;
  Picture picture(kOverviewBytes, 0x5a);
  draw(picture, 0, 0, 1000, store);
  EXPECT_EQ(picture, blankPicture());
  EXPECT_EQ(store.reads, 0);
}

TEST(OverviewClear, NothingWithoutPixelsOrWithoutATotal) {
  SquareWaveStore store;
  store.stored = 1000;
  drawOverview(nullptr, 0, 0, 1000, kRate, store.stored, 2, SampleReader::of(store));
  drawOverview(nullptr, 0, 500, 1000, kRate, store.stored, 2, SampleReader::of(store));
  EXPECT_EQ(store.reads, 0);

  for (std::int32_t total : {0, -1000}) {
    Picture picture(kOverviewBytes, 0x5a);
    draw(picture, 0, 500, total, store);
    EXPECT_EQ(picture, Picture(kOverviewBytes, 0x5a)) << "total " << total;
  }
  EXPECT_EQ(store.reads, 0);
}

TEST(OverviewClear, NoSampleRateMeansNoTicks) {
  SquareWaveStore silent;
  silent.stored = 24800;
  Picture picture = blankPicture();
  drawOverview(picture.data(), 0, 24800, 24800, 0, silent.stored, 2, SampleReader::of(silent));
  for (int column = 0; column < kOverviewWidth; ++column) {
    EXPECT_EQ(pixelAt(picture, column, 15), kBlack) << column;
  }
}

// The loader draws from whichever store it has; both must give the same picture, and the
// contiguous arrays end exactly at the stored frames, so a read beyond would be caught.
TEST(OverviewStores, BothStoresDrawTheSamePicture) {
  constexpr std::int32_t kStored = 150000;
  ClusterStore clustered;
  ContiguousStore contiguous;
  ASSERT_TRUE(clustered.allocate(2, kStored));
  ASSERT_TRUE(contiguous.allocate(2, kStored));
  std::vector<float> left(kStored);
  std::vector<float> right(kStored);
  for (std::int32_t i = 0; i < kStored; ++i) {
    // Loudness rising over the file on channel 0 and falling on channel 1.
    const float envelope = static_cast<float>(i) / kStored;
    const float sign = i % 2 == 0 ? 1.0f : -1.0f;
    left[static_cast<std::size_t>(i)] = sign * envelope;
    right[static_cast<std::size_t>(i)] = sign * (1.0f - envelope);
  }
  clustered.append(left.data(), right.data(), 2, 0, kStored);
  contiguous.appendAt(left.data(), right.data(), 2, 0, kStored);

  Picture fromClusters = blankPicture();
  Picture fromArrays = blankPicture();
  const std::int32_t total = 200000;  // the estimate is larger than what has been stored
  for (std::int32_t at = 0; at < kStored; at += kDecoderBlock) {
    const std::int32_t to = std::min(at + kDecoderBlock, kStored);
    drawOverview(fromClusters.data(), at, to, total, kRate, to, 2, SampleReader::of(clustered));
    drawOverview(fromArrays.data(), at, to, total, kRate, to, 2, SampleReader::of(contiguous));
  }
  EXPECT_EQ(fromClusters, fromArrays);
  expectBar(fromClusters, 1, 7, 15);    // quiet channel 0, loud channel 1 at the start
  expectBar(fromClusters, 180, 0, 9);   // loud channel 0, almost silent channel 1 near the end
  expectBar(fromClusters, 190, 0, 0);   // beyond the stored frames: not drawn yet
}

}  // namespace
}  // namespace test
}  // namespace vintrove
