#include "editor/display_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "editor/file_dialog.h"

namespace vintrove {
namespace {

struct TotalTimeCase {
  float seconds;
  const char* shown;
};

TEST(DisplayTexts, TotalTimeShowsMinutesPaddedWithASpaceAndSecondsWithAZero) {
  const TotalTimeCase cases[] = {{59.9f, " 0:59"}, {61.0f, " 1:01"},  {605.0f, "10:05"},
                                 {0.0f, " 0:00"},  {3600.5f, "60:00"}, {-3.0f, " 0:00"},
                                 {1e30f, " 0:00"}};
  for (const TotalTimeCase& c : cases) {
    char text[kDisplayTextCapacity];
    formatTotalTime(text, c.seconds);
    EXPECT_STREQ(text, c.shown) << c.seconds;
  }
}

TEST(DisplayTexts, ElapsedTimeAndBitRate) {
  char text[kDisplayTextCapacity];
  formatElapsedTime(text, 125);
  EXPECT_STREQ(text, " 2:05");
  formatElapsedTime(text, -1);
  EXPECT_STREQ(text, " 0:00");
  formatBitRate(text, 127999);
  EXPECT_STREQ(text, "127");
  formatBitRate(text, 320000);
  EXPECT_STREQ(text, "320");
}

TEST(DisplayTexts, OutOfMemoryNamesTheDecodedLengthInMinutesAndSeconds) {
  const struct {
    std::int32_t seconds;
    const char* shown;
  } cases[] = {{2467, "Out of memory at 41:07"}, {9, "Out of memory at 0:09"},
               {7325, "Out of memory at 122:05"}, {-4, "Out of memory at 0:00"}};
  for (const auto& c : cases) {
    char text[kDisplayTextCapacity];
    formatOutOfMemory(text, c.seconds);
    EXPECT_STREQ(text, c.shown) << c.seconds;
  }
}

TEST(DisplayTexts, FileNameDropsFolderAndLastExtension) {
  const struct {
    const char* path;
    const char* shown;
  } cases[] = {{"music\\live\\set.one.mp3", "set.one"},
               {"music\\live\\track", "track"},
               {"C:/music/song.mp2", "song"},
               {"plain.mp3", "plain"},
               {"folder.d\\name", "name"},
               {"", ""}};
  for (const auto& c : cases) {
    char text[kDisplayTextCapacity];
    formatFileName(text, c.path);
    EXPECT_STREQ(text, c.shown) << c.path;
  }
  char text[kDisplayTextCapacity] = "old";
  formatFileName(text, nullptr);
  EXPECT_STREQ(text, "");
}

TEST(DisplayTexts, ALongFileNameIsCutToTheDisplaysCapacity) {
  std::string path("C:\\");
  path.append(400, 'a');
  path.append(".mp3");
  char text[kDisplayTextCapacity];
  formatFileName(text, path.c_str());
  EXPECT_EQ(std::string(text), std::string(kDisplayTextCapacity - 1, 'a'));
}

// Names are UTF-8: cut to the capacity, a character is kept whole or left out.
TEST(DisplayTexts, ALongUtf8NameIsCutBetweenCharacters) {
  std::string path("C:\\");
  path.append("ab");
  for (int i = 0; i < 200; ++i) path.append("\xd0\x96");  // Ж, two bytes each
  path.append(".mp3");
  char text[kDisplayTextCapacity];
  formatFileName(text, path.c_str());
  // 254 bytes: the 255th, the last that fits, is the first half of the next Ж.
  std::string expected("ab");
  for (int i = 0; i < 126; ++i) expected.append("\xd0\x96");
  EXPECT_EQ(std::string(text), expected);
  formatFileName(text, "C:\\music\\\xe2\x99\xaa tune.mp3");
  EXPECT_STREQ(text, "\xe2\x99\xaa tune");
}

TEST(FileDialog, AMultipleSelectionBecomesTheFirstFileInItsFolder) {
  char path[kChosenPathCapacity] = {};
  const char selection[] = "C:\\music\0one.mp3\0two.mp3\0";
  std::memcpy(path, selection, sizeof selection);
  keepFirstSelectedFile(path, 9);
  EXPECT_STREQ(path, "C:\\music\\one.mp3");

  // A folder that is a drive root already ends in its separator.
  const char root[] = "C:\\\0one.mp3\0two.mp3\0";
  std::memcpy(path, root, sizeof root);
  keepFirstSelectedFile(path, 4);
  EXPECT_STREQ(path, "C:\\one.mp3");
}

TEST(FileDialog, ASingleSelectionStaysAsItIs) {
  char path[kChosenPathCapacity] = "C:\\music\\one.mp3";
  keepFirstSelectedFile(path, 9);
  EXPECT_STREQ(path, "C:\\music\\one.mp3");
  keepFirstSelectedFile(path, 0);
  EXPECT_STREQ(path, "C:\\music\\one.mp3");
}

TEST(FileDialog, AnUnterminatedNameIsRefusedRatherThanReadBeyondTheBuffer) {
  char path[kChosenPathCapacity];
  std::memset(path, 'f', 600);
  path[600] = '\0';
  std::memset(path + 601, 'n', kChosenPathCapacity - 601);  // no terminator up to the end
  keepFirstSelectedFile(path, 601);
  EXPECT_STREQ(path, "");
}

}  // namespace
}  // namespace vintrove
