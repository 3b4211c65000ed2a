// Linked only into the test build vintrove_poisoned.dll: every block the plug-in's code frees
// through delete is overwritten with 0x41 and (up to a bound) never handed out again, so that
// code still using a freed object reads 0x41414141 (and faults on its first virtual call)
// instead of the values the object had. The tests in which a host closes the effect inside
// the plug-in's own loops load this build.
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Blocks up to this size stay out of the allocator; larger ones (sample stores) go back once
// overwritten, within a total that keeps long runs bounded.
constexpr std::size_t kLargestKept = 64 * 1024;
constexpr std::size_t kMostKept = 256 * 1024 * 1024;
std::atomic<std::size_t> kept{0};

void poisonAndDrop(void* block) {
  if (block == nullptr) return;
  const std::size_t size = _msize(block);
  std::memset(block, 0x41, size);
  if (size <= kLargestKept && kept.fetch_add(size) + size <= kMostKept) return;
  std::free(block);
}

}  // namespace

void operator delete(void* block) noexcept { poisonAndDrop(block); }
void operator delete[](void* block) noexcept { poisonAndDrop(block); }
void operator delete(void* block, std::size_t) noexcept { poisonAndDrop(block); }
void operator delete[](void* block, std::size_t) noexcept { poisonAndDrop(block); }
