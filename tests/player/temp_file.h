// A file in the system's temporary folder holding given bytes, removed again when the object
// goes away; for tests that need a path to hand to code under test.
#pragma once

#include <string>
#include <vector>

namespace vintrove::test {

class TempFile {
 public:
  // Writes bytes to a new file whose name ends in suffix; throws std::runtime_error on failure.
  explicit TempFile(const std::vector<unsigned char>& bytes, const std::string& suffix = ".mp3");
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  // A native path (drive letter and backslashes in the win32 build).
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vintrove::test
