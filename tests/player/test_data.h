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
  std::string path = std::string(VINTROVE_TEST_DATA_DIR) + "/" + name;
#ifdef _WIN32
  path.insert(0, "Z:");
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return path;
}

}  // namespace vintrove::test
