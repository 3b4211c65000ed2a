// Paths of the committed MPEG test files in tests/data, for test programs of both builds. The
// build passes the folder as VINTROVE_TEST_DATA_DIR (an absolute Unix path).
#pragma once

#include <string>

#ifndef VINTROVE_TEST_DATA_DIR
#error "VINTROVE_TEST_DATA_DIR must name the tests/data folder"
#endif

namespace vintrove::test {

// Under Wine a Unix path is reached through drive Z:, written the Windows way.
inline std::string testDataPath(const std::string& name) {
  // Appended, not added: GCC 12 at -O1 takes the sum of a literal-sized string and a name for
  // a copy past the first string's buffer (a false -Warray-bounds, seen with some clone paths).
  std::string path(VINTROVE_TEST_DATA_DIR);
  path.append("/").append(name);
#ifdef _WIN32
  path.insert(0, "Z:");
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return path;
}

}  // namespace vintrove::test
