// open/fstat/mmap of a whole regular file, read-only and private.
#include "platform/file_mapping.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>

namespace vintrove::platform {

namespace {
constexpr std::intptr_t kNoFile = -1;
// Files of 2 GiB or more do not fit the 32-bit size.
constexpr off_t kSizeLimit = off_t{1} << 31;
}  // namespace

FileMapping::~FileMapping() { close(); }

bool FileMapping::open(const char* path) {
  close();
  if (path == nullptr) {
    return false;
  }
  // O_NONBLOCK: a FIFO must not wait for a writer before fstat turns it away. It changes
  // nothing for a regular file, which is only read through the mapping.
  const int descriptor = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (descriptor < 0) {
    return false;
  }
  file_ = descriptor;

  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0 ||
      status.st_size >= kSizeLimit) {
    close();
    return false;
  }
  const auto length = static_cast<std::size_t>(status.st_size);
  void* const view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, descriptor, 0);
  if (view == MAP_FAILED) {
    close();
    return false;
  }
  data_ = static_cast<const unsigned char*>(view);
  size_ = static_cast<std::int32_t>(status.st_size);
  return true;
}

void FileMapping::close() {
  if (data_ != nullptr) {
    ::munmap(const_cast<unsigned char*>(data_), static_cast<std::size_t>(size_));
    data_ = nullptr;
  }
  size_ = 0;
  if (file_ != kNoFile) {
    ::close(static_cast<int>(file_));
    file_ = kNoFile;
  }
  mapping_ = kNoFile;  // unused here: the descriptor is all a POSIX mapping needs
}

}  // namespace vintrove::platform
