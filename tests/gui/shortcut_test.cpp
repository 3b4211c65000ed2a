// resolveShortcut over real shortcut files: which names count, the target it writes, and
// buffers left byte for byte as they were when a shortcut cannot be resolved.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gui/drop_target.h"
#include "gui/ole_session.h"
#include "shortcut_files.h"

namespace vintrove::test {
namespace {

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ole_.isInitialised());
    ASSERT_TRUE(folder_.created());
    target_ = folder_.write("target song.mp3", {1, 2, 3});
  }

  std::string shortcutTo(const std::string& name, const std::string& target) const {
    const std::string link = (folder_.path() / name).string();
    EXPECT_TRUE(makeShortcut(link, target)) << link;
    return link;
  }

  // The path with a pattern after its terminator, so any stray write shows.
  static std::vector<char> buffer(const std::string& path, std::int32_t capacity) {
    std::vector<char> bytes(static_cast<std::size_t>(capacity));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<char>('a' + i % 26);
    }
    std::memcpy(bytes.data(), path.c_str(), path.size() + 1);
    return bytes;
  }
  static void expectLeftAlone(const std::string& path, std::int32_t capacity = 1024) {
    std::vector<char> bytes = buffer(path, capacity);
    const std::vector<char> before = bytes;
    EXPECT_FALSE(resolveShortcut(bytes.data(), capacity)) << path;
    EXPECT_EQ(bytes, before) << path;
  }
  static std::string resolved(const std::string& path, std::int32_t capacity = 1024) {
    std::vector<char> bytes = buffer(path, capacity);
    EXPECT_TRUE(resolveShortcut(bytes.data(), capacity)) << path;
    return bytes.data();
  }

  OleSession ole_;
  TempFolder folder_;
  std::string target_;
};

TEST_F(ShortcutTest, AShortcutInAnyCaseIsReplacedByItsTarget) {
  for (const char* name : {"song.lnk", "LOUD.LNK", "take.2.lNk"}) {
    const std::string target = resolved(shortcutTo(name, target_));
    EXPECT_TRUE(sameFile(target, target_)) << name << " -> " << target;
  }
}

// Real shortcut files under names that are not shortcut names: only the name may decide.
TEST_F(ShortcutTest, OnlyALastExtensionOfLnkCounts) {
  ASSERT_TRUE(std::filesystem::create_directory(folder_.path() / "folder.lnk"));
  for (const char* name : {"no extension", "song.lnk.mp3", "song.lnkx", "song.ln",
                           "folder.lnk\\inside"}) {
    expectLeftAlone(shortcutTo(name, target_));
  }
  expectLeftAlone("");
}

TEST_F(ShortcutTest, ShortcutsThatCannotBeLoadedAreLeftAlone) {
  expectLeftAlone((folder_.path() / "missing.lnk").string());
  expectLeftAlone(folder_.write("not a shortcut.lnk", patternBytes(300, 9)));
  expectLeftAlone(folder_.write("empty.lnk", {}));
}

// The shell chooses the target's spelling: measured first, then offered a buffer one byte too
// small and one just large enough.
TEST_F(ShortcutTest, ATargetLongerThanTheBufferLeavesThePath) {
  const std::string deep = "a folder with a rather long name indeed";
  ASSERT_TRUE(std::filesystem::create_directory(folder_.path() / deep));
  const std::string target = folder_.write(deep + "\\target with a long name.mp3", {1});
  const std::string link = shortPath(shortcutTo("s.lnk", target));  // must fit both buffers
  const std::string full = resolved(link);
  ASSERT_TRUE(sameFile(full, target)) << full;
  const auto needed = static_cast<std::int32_t>(full.size()) + 1;
  ASSERT_LT(link.size(), full.size()) << link << " vs " << full;
  expectLeftAlone(link, needed - 1);
  EXPECT_EQ(resolved(link, needed), full);
}

// The target comes back with its long names, as the user knows them, not as 8.3 short names.
TEST_F(ShortcutTest, TheTargetIsGivenByItsLongPath) {
  const std::string deep = "a folder with a long name";
  ASSERT_TRUE(std::filesystem::create_directory(folder_.path() / deep));
  const std::string target = folder_.write(deep + "\\a song with a long name.mp3", {1});
  ASSERT_NE(shortPath(target), target) << "the file system gives no short names";
  EXPECT_EQ(resolved(shortcutTo("song.lnk", target)), target);
}

}  // namespace
}  // namespace vintrove::test
