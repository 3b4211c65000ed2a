// FileMapping over real temporary files: contents, size, every refusal, reopening and closing.
#include "platform/file_mapping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "temp_folder.h"

namespace vintrove::test {
namespace {

using platform::FileMapping;

class FileMappingTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(folder_.created()); }

  // The mapping's bytes, for comparison with what was written.
  static std::vector<unsigned char> mapped(const FileMapping& mapping) {
    return {mapping.data(), mapping.data() + mapping.size()};
  }

  static void expectClosed(const FileMapping& mapping) {
    EXPECT_FALSE(mapping.isOpen());
    EXPECT_EQ(mapping.data(), nullptr);
    EXPECT_EQ(mapping.size(), 0);
  }

  TempFolder folder_;
};

TEST_F(FileMappingTest, StartsClosed) {
  const FileMapping mapping;
  expectClosed(mapping);
}

TEST_F(FileMappingTest, MapsTheWholeFileWithItsSize) {
  // Not a multiple of any page size, so the last partial page is checked too.
  const std::vector<unsigned char> bytes = patternBytes(70001, 1);
  const std::string path = folder_.write("song.mp3", bytes);
  FileMapping mapping;
  ASSERT_TRUE(mapping.open(path.c_str()));
  EXPECT_TRUE(mapping.isOpen());
  ASSERT_NE(mapping.data(), nullptr);
  ASSERT_EQ(mapping.size(), 70001);
  EXPECT_EQ(mapped(mapping), bytes);
}

// Paths are UTF-8: names outside any 8-bit code page open too.
TEST_F(FileMappingTest, MapsAFileWhoseNameIsOutsideTheCodePage) {
  const std::vector<unsigned char> bytes = patternBytes(5000, 3);
  // "Песня ♪ 音楽.mp3"
  const std::string name =
      "\xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f \xe2\x99\xaa \xe9\x9f\xb3\xe6\xa5\xbd.mp3";
  const std::filesystem::path file = folder_.path() / std::filesystem::u8path(name);
  {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  const std::u8string spelled = file.u8string();
  const std::string path(spelled.begin(), spelled.end());
  FileMapping mapping;
  ASSERT_TRUE(mapping.open(path.c_str())) << path;
  EXPECT_EQ(mapped(mapping), bytes);
}

TEST_F(FileMappingTest, MapsAOneByteFile) {
  const std::string path = folder_.write("one.mp3", {0xa5});
  FileMapping mapping;
  ASSERT_TRUE(mapping.open(path.c_str()));
  ASSERT_EQ(mapping.size(), 1);
  EXPECT_EQ(mapping.data()[0], 0xa5);
}

TEST_F(FileMappingTest, OthersMayReadTheFileWhileItIsMapped) {
  const std::vector<unsigned char> bytes = patternBytes(4096, 2);
  const std::string path = folder_.write("shared.mp3", bytes);
  FileMapping first;
  ASSERT_TRUE(first.open(path.c_str()));

  FileMapping second;
  ASSERT_TRUE(second.open(path.c_str()));
  EXPECT_EQ(mapped(second), bytes);

  std::ifstream reader(path, std::ios::binary);
  ASSERT_TRUE(reader.is_open());
  const std::vector<unsigned char> read{std::istreambuf_iterator<char>(reader),
                                        std::istreambuf_iterator<char>()};
  EXPECT_EQ(read, bytes);
  EXPECT_EQ(mapped(first), bytes);
}

TEST_F(FileMappingTest, RefusesAMissingFile) {
  FileMapping mapping;
  const std::string path = (folder_.path() / "missing.mp3").string();
  EXPECT_FALSE(mapping.open(path.c_str()));
  expectClosed(mapping);
  const std::string inMissingFolder = (folder_.path() / "nowhere" / "missing.mp3").string();
  EXPECT_FALSE(mapping.open(inMissingFolder.c_str()));
  expectClosed(mapping);
}

TEST_F(FileMappingTest, RefusesAnEmptyFile) {
  const std::string path = folder_.write("empty.mp3", {});
  ASSERT_TRUE(std::filesystem::exists(path));
  FileMapping mapping;
  EXPECT_FALSE(mapping.open(path.c_str()));
  expectClosed(mapping);
}

TEST_F(FileMappingTest, RefusesADirectory) {
  const std::filesystem::path directory = folder_.path() / "folder.mp3";
  ASSERT_TRUE(std::filesystem::create_directory(directory));
  FileMapping mapping;
  EXPECT_FALSE(mapping.open(directory.string().c_str()));
  expectClosed(mapping);
  EXPECT_FALSE(mapping.open(folder_.path().string().c_str()));
  expectClosed(mapping);
}

TEST_F(FileMappingTest, RefusesANullOrEmptyPath) {
  FileMapping mapping;
  EXPECT_FALSE(mapping.open(nullptr));
  expectClosed(mapping);
  EXPECT_FALSE(mapping.open(""));
  expectClosed(mapping);
}

TEST_F(FileMappingTest, RefusesPathsLongerThanAnyBuffer) {
  // Just past MAX_PATH, past PATH_MAX, past the 32767 characters of Windows' long paths, and
  // one of a megabyte; each as one long name and as many nested names, inside a real folder.
  FileMapping mapping;
  for (const std::size_t length : {261u, 4097u, 32768u, 1u << 20}) {
    const std::string oneName = (folder_.path() / std::string(length, 'a')).string();
    EXPECT_FALSE(mapping.open(oneName.c_str())) << length;
    expectClosed(mapping);

    std::string nested = folder_.path().string();
    while (nested.size() < length) {
      nested += "/abcdefgh";
    }
    EXPECT_FALSE(mapping.open(nested.c_str())) << length;
    expectClosed(mapping);
  }
}

TEST_F(FileMappingTest, OpeningAgainReplacesTheFirstMapping) {
  const std::vector<unsigned char> firstBytes = patternBytes(5000, 3);
  const std::vector<unsigned char> secondBytes = patternBytes(123, 4);
  const std::string first = folder_.write("first.mp3", firstBytes);
  const std::string second = folder_.write("second.mp3", secondBytes);
  FileMapping mapping;
  ASSERT_TRUE(mapping.open(first.c_str()));
  ASSERT_TRUE(mapping.open(second.c_str()));
  EXPECT_EQ(mapping.size(), 123);
  EXPECT_EQ(mapped(mapping), secondBytes);
  // The first file is no longer held: it can be removed (Windows refuses while it is open).
  EXPECT_TRUE(std::filesystem::remove(first));

  ASSERT_TRUE(mapping.open(second.c_str()));  // the same file again
  EXPECT_EQ(mapped(mapping), secondBytes);
}

TEST_F(FileMappingTest, AFailedOpenStillClosesTheFirstMapping) {
  const std::string path = folder_.write("kept.mp3", patternBytes(300, 5));
  FileMapping mapping;
  ASSERT_TRUE(mapping.open(path.c_str()));
  EXPECT_FALSE(mapping.open((folder_.path() / "missing.mp3").string().c_str()));
  expectClosed(mapping);
  EXPECT_TRUE(std::filesystem::remove(path));

  const std::string other = folder_.write("other.mp3", patternBytes(300, 6));
  ASSERT_TRUE(mapping.open(other.c_str()));
  EXPECT_FALSE(mapping.open(nullptr));
  expectClosed(mapping);
  EXPECT_TRUE(std::filesystem::remove(other));
}

TEST_F(FileMappingTest, CloseReleasesTheFileAndMayBeRepeated) {
  const std::vector<unsigned char> bytes = patternBytes(2048, 7);
  const std::string path = folder_.write("closed.mp3", bytes);
  FileMapping mapping;
  mapping.close();  // closing what was never opened
  expectClosed(mapping);
  ASSERT_TRUE(mapping.open(path.c_str()));
  mapping.close();
  expectClosed(mapping);
  mapping.close();
  expectClosed(mapping);
  EXPECT_TRUE(std::filesystem::remove(path));

  // Reusable after a close.
  const std::string again = folder_.write("again.mp3", bytes);
  ASSERT_TRUE(mapping.open(again.c_str()));
  EXPECT_EQ(mapped(mapping), bytes);
}

TEST_F(FileMappingTest, TheDestructorReleasesTheFile) {
  const std::string path = folder_.write("scoped.mp3", patternBytes(999, 8));
  {
    FileMapping mapping;
    ASSERT_TRUE(mapping.open(path.c_str()));
  }
  {
    FileMapping mapping;
    ASSERT_TRUE(mapping.open(path.c_str()));
    mapping.close();
  }  // and a destructor after close() does nothing more
  EXPECT_TRUE(std::filesystem::remove(path));
}

TEST_F(FileMappingTest, AdoptTakesTheOtherFileAndLeavesItClosed) {
  const std::string path = (folder_.path() / "adopted.mp3").string();
  std::ofstream(path, std::ios::binary) << "abc";
  FileMapping first, second;
  ASSERT_TRUE(first.open(path.c_str()));
  second.adopt(first);
  expectClosed(first);
  ASSERT_TRUE(second.isOpen());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(second.data()), 3), "abc");
}

#ifdef _WIN32
// What the system is handed: the long-path prefix from 260 characters on, for a drive's or a
// share's absolute path, with forward slashes made backslashes; other paths as they were.
TEST(WidePath, LongAbsolutePathsGetTheLongPathPrefix) {
  wchar_t wide[1100];
  const std::string longTail(300, 'x');
  ASSERT_TRUE(platform::utf8ToWidePath(("C:/music/" + longTail + ".mp3").c_str(), wide, std::size(wide)));
  EXPECT_EQ(std::wstring(wide), L"\\\\?\\C:\\music\\" + std::wstring(300, L'x') + L".mp3");
  ASSERT_TRUE(platform::utf8ToWidePath(("\\\\server\\share\\" + longTail).c_str(), wide, std::size(wide)));
  EXPECT_EQ(std::wstring(wide), L"\\\\?\\UNC\\server\\share\\" + std::wstring(300, L'x'));
  ASSERT_TRUE(platform::utf8ToWidePath("C:/music/short.mp3", wide, std::size(wide)));
  EXPECT_EQ(std::wstring(wide), L"C:/music/short.mp3");
  ASSERT_TRUE(platform::utf8ToWidePath(("music/" + longTail).c_str(), wide, std::size(wide)));
  EXPECT_EQ(std::wstring(wide), L"music/" + std::wstring(300, L'x')) << "a relative path cannot take the prefix";
  const std::string prefixed = "\\\\?\\C:\\" + longTail;
  ASSERT_TRUE(platform::utf8ToWidePath(prefixed.c_str(), wide, std::size(wide)));
  EXPECT_EQ(std::wstring(wide), L"\\\\?\\C:\\" + std::wstring(300, L'x')) << "a prefix is not added twice";
  EXPECT_FALSE(platform::utf8ToWidePath(("C:/" + longTail).c_str(), wide, 305)) << "no room for the prefix";
}

// Paths of 260 to 1023 characters fit the player's buffer; the system opens them only with the
// long-path prefix, which the mapping adds itself.
TEST_F(FileMappingTest, MapsAFileWhosePathIsLongerThanMaxPath) {
  std::filesystem::path nested = folder_.path();
  while (nested.string().size() < 700) nested /= std::string(60, 'd');
  // Made through the prefixed form: the plain one is as long as the path under test.
  const std::wstring prefixed = L"\\\\?\\" + std::filesystem::absolute(nested).wstring();
  std::filesystem::create_directories(prefixed);
  const std::wstring file = prefixed + L"\\long.mp3";
  std::ofstream(std::filesystem::path(file), std::ios::binary) << "long";
  const std::string path = std::filesystem::absolute(nested / "long.mp3").string();
  ASSERT_GT(path.size(), 260u);
  ASSERT_LT(path.size(), 1024u);
  FileMapping mapping;
  EXPECT_TRUE(mapping.open(path.c_str())) << path.size() << " characters";
  std::string forward = path;
  for (char& c : forward) {
    if (c == '\\') c = '/';
  }
  EXPECT_TRUE(mapping.open(forward.c_str())) << "with forward slashes";
  mapping.close();
  std::error_code ignored;
  std::filesystem::remove(std::filesystem::path(file), ignored);
}
#endif

}  // namespace
}  // namespace vintrove::test
