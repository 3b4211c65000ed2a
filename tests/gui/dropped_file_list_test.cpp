// The file list parser on blocks that end right before an inaccessible page, so that a single
// byte read past a block's end faults: well-formed lists in both encodings, and the ways a
// hostile or careless program breaks them.
#include "gui/dropped_file_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drop_blocks.h"

namespace vintrove::test {
namespace {

// The bytes placed so that they end where an inaccessible page begins.
class FencedBlock {
 public:
  explicit FencedBlock(const Bytes& bytes) {
    const std::size_t pages = (bytes.size() + kPage - 1) / kPage + 1;
    base = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, pages * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD previous = 0;
    fenced = base != nullptr && VirtualProtect(base + (pages - 1) * kPage, kPage, PAGE_NOACCESS, &previous);
    if (base != nullptr) {
      start = base + (pages - 1) * kPage - bytes.size();
      std::memcpy(start, bytes.data(), bytes.size());
    }
  }
  FencedBlock(const FencedBlock&) = delete;
  FencedBlock& operator=(const FencedBlock&) = delete;
  ~FencedBlock() {
    if (base != nullptr) {
      VirtualFree(base, 0, MEM_RELEASE);
    }
  }
  bool ready() const { return fenced; }
  const unsigned char* data() const { return start; }

 private:
  static constexpr std::size_t kPage = 4096;
  unsigned char* base = nullptr;
  unsigned char* start = nullptr;
  bool fenced = false;
};

std::vector<std::string> namesOf(const Bytes& block) {
  FencedBlock fenced(block);
  EXPECT_TRUE(fenced.ready());
  DroppedFileList list(fenced.data(), block.size());
  std::vector<std::string> names;
  char path[kDroppedPathCapacity];
  while (list.next(path)) {
    names.emplace_back(path);
  }
  // The end stays the end.
  EXPECT_FALSE(list.next(path));
  EXPECT_STREQ(path, "");
  return names;
}

using Names = std::vector<std::string>;

Bytes terminated(const std::vector<std::string>& names, bool wide) {
  Bytes bytes;
  for (const std::string& name : names) {
    const Bytes one = bytesOf(name, wide);
    bytes.insert(bytes.end(), one.begin(), one.end());
    bytes.resize(bytes.size() + (wide ? 2 : 1));
  }
  return bytes;
}

TEST(DroppedFileList, ReadsEveryNameOfAWellFormedListInBothEncodings) {
  for (bool wide : {false, true}) {
    EXPECT_EQ(namesOf(fileList({"C:\\a.mp3", "D:\\b c\\d.wav", "e"}, wide)),
              (Names{"C:\\a.mp3", "D:\\b c\\d.wav", "e"}))
        << wide;
    EXPECT_EQ(namesOf(fileList({}, wide)), Names{}) << wide;
  }
}

TEST(DroppedFileList, StopsAtTheBlocksEndAndNeverReadsPastIt) {
  for (bool wide : {false, true}) {
    const Bytes two = terminated({"C:\\a.mp3", "C:\\b.mp3"}, wide);
    // The last name runs into the end: it may go on beyond, so it is no name.
    Bytes unterminated = terminated({"C:\\a.mp3"}, wide);
    const Bytes rest = bytesOf("C:\\b.mp3", wide);
    unterminated.insert(unterminated.end(), rest.begin(), rest.end());
    EXPECT_EQ(namesOf(craftedBlock(20, wide, unterminated)), Names{"C:\\a.mp3"}) << wide;
    // Whole names without the list's closing zero all count.
    EXPECT_EQ(namesOf(craftedBlock(20, wide, two)), (Names{"C:\\a.mp3", "C:\\b.mp3"})) << wide;
    // An empty name closes the list, whatever follows.
    Bytes closed = terminated({"C:\\a.mp3", ""}, wide);
    closed.insert(closed.end(), two.begin(), two.end());
    EXPECT_EQ(namesOf(craftedBlock(20, wide, closed)), Names{"C:\\a.mp3"}) << wide;
    for (DWORD offset : {DWORD{0}, DWORD{19}, static_cast<DWORD>(20 + two.size()), DWORD{0x40000000},
                         DWORD{0xFFFFFFFF}}) {
      EXPECT_EQ(namesOf(craftedBlock(offset, wide, two)), Names{}) << offset << " " << wide;
    }
  }
  // Half a wide character at the end.
  Bytes half = terminated({"C:\\a.mp3"}, true);
  half.push_back('x');
  EXPECT_EQ(namesOf(craftedBlock(20, true, half)), Names{"C:\\a.mp3"});
  EXPECT_EQ(namesOf(Bytes(19, 0)), Names{});
  EXPECT_EQ(namesOf(Bytes{}), Names{});
}

TEST(DroppedFileList, SkipsNamesThatDoNotFitOrAreNoTextAndGoesOn) {
  const std::string tooLong = "C:\\" + std::string(kDroppedPathCapacity, 'x');
  const std::string longest = "C:\\" + std::string(kDroppedPathCapacity - 4, 'y');
  for (bool wide : {false, true}) {
    EXPECT_EQ(namesOf(fileList({tooLong, longest, "C:\\b.mp3"}, wide)), (Names{longest, "C:\\b.mp3"})) << wide;
  }
  // A lone surrogate is no text; 1024 characters of a three-byte UTF-8 spelling do not fit.
  Bytes wideNames{0x00, 0xD8, 0, 0};  // U+D800 alone
  for (std::size_t i = 0; i < 400; ++i) {
    wideNames.insert(wideNames.end(), {0xAA, 0x30});  // U+30AA, three bytes in UTF-8
  }
  wideNames.insert(wideNames.end(), {0, 0});
  const Bytes good = terminated({"C:\\c.mp3"}, true);
  wideNames.insert(wideNames.end(), good.begin(), good.end());
  EXPECT_EQ(namesOf(craftedBlock(20, true, wideNames)), Names{"C:\\c.mp3"});
}

}  // namespace
}  // namespace vintrove::test
