// Bytes placed at the very end of readable memory: the page after their last byte may not be
// read, so a read past them faults at once, as it does past the end of a file's mapped view.
#pragma once

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace vintrove::test {

class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<unsigned char>& bytes) {
    const std::size_t page = pageSize();
    const std::size_t readable = (bytes.size() + page - 1) / page * page;
    total_ = readable + page;
#ifdef _WIN32
    base_ = static_cast<unsigned char*>(VirtualAlloc(nullptr, total_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD before = 0;
    if (base_ == nullptr || !VirtualProtect(base_ + readable, page, PAGE_NOACCESS, &before)) {
      throw std::runtime_error("no guard page");
    }
#else
    void* mapped = mmap(nullptr, total_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::runtime_error("no guard page");
    base_ = static_cast<unsigned char*>(mapped);
    if (mprotect(base_ + readable, page, PROT_NONE) != 0) throw std::runtime_error("no guard page");
#endif
    data_ = base_ + readable - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
    size_ = bytes.size();
  }
  ~GuardedBytes() {
#ifdef _WIN32
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, total_);
#endif
  }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;

  const unsigned char* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  static std::size_t pageSize() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
#endif
  }

  unsigned char* base_ = nullptr;
  unsigned char* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t total_ = 0;
};

}  // namespace vintrove::test
