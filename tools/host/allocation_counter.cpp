// Linked only into the allocation-counting test build of the plug-in (vintrove_counting.dll):
// counts, on one watched thread, every allocation (operator new, and the C library's and the
// heap's allocation functions) and every lock or wait that the DLL's code makes. operator new is
// replaced; the imported functions are counted by pointing this DLL's own import table at
// counting wrappers when it loads. The validator names its audio thread and reads the counts
// through the exports below; the release DLL has none of this.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<DWORD> watchedThread{0};
std::atomic<long> allocations{0};
std::atomic<long> locks{0};

bool watched() {
  const DWORD thread = watchedThread.load(std::memory_order_relaxed);
  return thread != 0 && thread == GetCurrentThreadId();
}
void countAllocation() {
  if (watched()) allocations.fetch_add(1);
}
void countLock() {
  if (watched()) locks.fetch_add(1);
}

// The originals, filled in when the import table is patched.
using MallocFn = void*(__cdecl*)(std::size_t);
using CallocFn = void*(__cdecl*)(std::size_t, std::size_t);
using ReallocFn = void*(__cdecl*)(void*, std::size_t);
using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
using EnterFn = void(WINAPI*)(LPCRITICAL_SECTION);
using TryEnterFn = BOOL(WINAPI*)(LPCRITICAL_SECTION);
using WaitFn = DWORD(WINAPI*)(HANDLE, DWORD);
using WaitExFn = DWORD(WINAPI*)(HANDLE, DWORD, BOOL);
using WaitManyFn = DWORD(WINAPI*)(DWORD, const HANDLE*, BOOL, DWORD);
using SrwFn = void(WINAPI*)(PSRWLOCK);
using SleepFn = void(WINAPI*)(DWORD);

MallocFn realMalloc = nullptr;
CallocFn realCalloc = nullptr;
ReallocFn realRealloc = nullptr;
HeapAllocFn realHeapAlloc = nullptr;
HeapReAllocFn realHeapReAlloc = nullptr;
EnterFn realEnter = nullptr;
TryEnterFn realTryEnter = nullptr;
WaitFn realWait = nullptr;
WaitExFn realWaitEx = nullptr;
WaitManyFn realWaitMany = nullptr;
SrwFn realSrwExclusive = nullptr;
SrwFn realSrwShared = nullptr;
SleepFn realSleep = nullptr;

void* __cdecl countedMalloc(std::size_t bytes) { return countAllocation(), realMalloc(bytes); }
void* __cdecl countedCalloc(std::size_t n, std::size_t bytes) { return countAllocation(), realCalloc(n, bytes); }
void* __cdecl countedRealloc(void* p, std::size_t bytes) { return countAllocation(), realRealloc(p, bytes); }
LPVOID WINAPI countedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  return countAllocation(), realHeapAlloc(heap, flags, bytes);
}
LPVOID WINAPI countedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID p, SIZE_T bytes) {
  return countAllocation(), realHeapReAlloc(heap, flags, p, bytes);
}
void WINAPI countedEnter(LPCRITICAL_SECTION section) { countLock(), realEnter(section); }
BOOL WINAPI countedTryEnter(LPCRITICAL_SECTION section) { return countLock(), realTryEnter(section); }
DWORD WINAPI countedWait(HANDLE handle, DWORD ms) { return countLock(), realWait(handle, ms); }
DWORD WINAPI countedWaitEx(HANDLE handle, DWORD ms, BOOL alertable) {
  return countLock(), realWaitEx(handle, ms, alertable);
}
DWORD WINAPI countedWaitMany(DWORD count, const HANDLE* handles, BOOL all, DWORD ms) {
  return countLock(), realWaitMany(count, handles, all, ms);
}
void WINAPI countedSrwExclusive(PSRWLOCK lock) { countLock(), realSrwExclusive(lock); }
void WINAPI countedSrwShared(PSRWLOCK lock) { countLock(), realSrwShared(lock); }
void WINAPI countedSleep(DWORD ms) { countLock(), realSleep(ms); }

struct Hook {
  const char* name;
  void* replacement;
  void** original;
};

template <class Fn>
Hook hook(const char* name, Fn replacement, Fn& original) {
  return Hook{name, reinterpret_cast<void*>(replacement), reinterpret_cast<void**>(&original)};
}

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&thisModule), &module);
  return module;
}

// Points every import of this DLL that a hook names at the hook, keeping the original.
void patchImports() {
  const Hook hooks[] = {
      hook("malloc", &countedMalloc, realMalloc),
      hook("calloc", &countedCalloc, realCalloc),
      hook("realloc", &countedRealloc, realRealloc),
      hook("HeapAlloc", &countedHeapAlloc, realHeapAlloc),
      hook("HeapReAlloc", &countedHeapReAlloc, realHeapReAlloc),
      hook("EnterCriticalSection", &countedEnter, realEnter),
      hook("TryEnterCriticalSection", &countedTryEnter, realTryEnter),
      hook("WaitForSingleObject", &countedWait, realWait),
      hook("WaitForSingleObjectEx", &countedWaitEx, realWaitEx),
      hook("WaitForMultipleObjects", &countedWaitMany, realWaitMany),
      hook("AcquireSRWLockExclusive", &countedSrwExclusive, realSrwExclusive),
      hook("AcquireSRWLockShared", &countedSrwShared, realSrwShared),
      hook("Sleep", &countedSleep, realSleep),
  };
  auto* base = reinterpret_cast<unsigned char*>(thisModule());
  if (base == nullptr) return;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return;
  for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (entry->OriginalFirstThunk == 0) continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      for (const Hook& h : hooks) {
        if (std::strcmp(reinterpret_cast<const char*>(byName->Name), h.name) != 0) continue;
        DWORD protection = 0;
        if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) break;
        *h.original = reinterpret_cast<void*>(slots->u1.Function);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(h.replacement);
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
        break;
      }
    }
  }
}

// Patched while the DLL loads, before the host can create an effect.
const bool patched = (patchImports(), true);

void* allocate(std::size_t bytes) {
  countAllocation();
  if (void* memory = std::malloc(bytes != 0 ? bytes : 1)) return memory;
  throw std::bad_alloc();
}

}  // namespace

extern "C" {
// Starts (watch != 0) or stops counting on the calling thread. Starting sets both counts to 0.
__declspec(dllexport) void vintroveWatch(int watch) {
  if (watch != 0) {
    allocations.store(0);
    locks.store(0);
  }
  watchedThread.store(watch != 0 ? GetCurrentThreadId() : 0);
}
__declspec(dllexport) long vintroveAllocations() { return allocations.load(); }
__declspec(dllexport) long vintroveLocks() { return locks.load(); }
// Whether the import table was patched (the counts cover the imported functions).
__declspec(dllexport) int vintroveCountsImports() { return patched && realMalloc != nullptr ? 1 : 0; }
}

void* operator new(std::size_t bytes) { return allocate(bytes); }
void* operator new[](std::size_t bytes) { return allocate(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  countAllocation();
  return std::malloc(bytes != 0 ? bytes : 1);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  countAllocation();
  return std::malloc(bytes != 0 ? bytes : 1);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
