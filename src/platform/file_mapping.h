// A whole file mapped read-only into memory, for the decoder to read straight from.
#pragma once

#include <cstdint>

namespace vintrove::platform {

class FileMapping {
 public:
  FileMapping() = default;
  ~FileMapping();
  FileMapping(const FileMapping&) = delete;
  FileMapping& operator=(const FileMapping&) = delete;

  // Opens an existing regular file for reading (others may read it too) and maps all of it.
  // False for a missing, unreadable or empty file, a directory, or a file of 2 GiB or more.
  bool open(const char* path);
  void close();

  // Takes other's open file (closing this one's first); other is left closed.
  void adopt(FileMapping& other) {
    if (&other == this) return;
    close();
    data_ = other.data_;
    size_ = other.size_;
    file_ = other.file_;
    mapping_ = other.mapping_;
    other.data_ = nullptr;
    other.size_ = 0;
    other.file_ = -1;
    other.mapping_ = -1;
  }

  bool isOpen() const { return data_ != nullptr; }
  const unsigned char* data() const { return data_; }
  std::int32_t size() const { return size_; }

 private:
  const unsigned char* data_ = nullptr;
  std::int32_t size_ = 0;
  std::intptr_t file_ = -1;     // native file handle or descriptor
  std::intptr_t mapping_ = -1;  // native mapping handle (Windows only)
};

}  // namespace vintrove::platform
