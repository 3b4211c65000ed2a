// The temporary file and data path helpers work in both builds (under Wine too).
#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "reference_decode.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

TEST(TempFile, HoldsTheBytesUntilDestroyed) {
  const std::vector<unsigned char> bytes{0xff, 0x00, 0x0a, 0x0d, 0x1a, 0x80};
  std::string path;
  {
    TempFile file(bytes, ".mp1");
    path = file.path();
    EXPECT_EQ(path.substr(path.size() - 4), ".mp1");
    EXPECT_EQ(readFileBytes(path), bytes);
  }
  EXPECT_FALSE(std::ifstream(path).is_open());
}

TEST(TempFile, EachFileHasItsOwnPath) {
  const TempFile first({1});
  const TempFile second({2});
  EXPECT_NE(first.path(), second.path());
  EXPECT_EQ(readFileBytes(first.path()), std::vector<unsigned char>{1});
}

TEST(TestData, PathReachesTheCommittedFiles) {
  const std::vector<unsigned char> bytes = readFileBytes(testDataPath("not_mpeg.txt"));
  const std::string start = "This is a plain text file";
  ASSERT_GE(bytes.size(), start.size());
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + static_cast<long>(start.size())), start);
}

TEST(TestData, MissingFileIsReported) {
  EXPECT_THROW(readFileBytes(testDataPath("no_such_file.mp3")), std::runtime_error);
}

}  // namespace
}  // namespace vintrove::test
