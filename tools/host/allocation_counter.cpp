// Linked only into the allocation-counting test build of the plug-in (vintrove_counting.dll):
// counts, on one watched thread, every call the DLL's code makes that can block or enter the
// system, in four kinds: the allocation family and its frees (operator new and delete, aligned
// ones included, the C library's and the heap's functions, and the C runtime's own heap calls),
// locks, waits, sleeps and yields, window messages, timers and painting, and file calls.
// operator new and delete are replaced; the imported functions are counted by pointing this
// DLL's import table (and the C runtime's own imports of the heap) at counting wrappers when it
// loads. The validator names its audio thread and reads the counts through the exports below;
// the release DLL has none of this.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <new>

namespace {

enum Kind : int { kAllocation, kLock, kWindow, kFile, kKinds };

std::atomic<DWORD> watchedThread{0};
std::atomic<long> counts[kKinds];
// The first function counted since the watch began, for the validator's message.
std::atomic<const char*> firstCounted{nullptr};

bool watched() {
  const DWORD thread = watchedThread.load(std::memory_order_relaxed);
  return thread != 0 && thread == GetCurrentThreadId();
}

void count(Kind kind, const char* name) {
  if (!watched()) return;
  counts[kind].fetch_add(1);
  const char* none = nullptr;
  firstCounted.compare_exchange_strong(none, name);
}

// One counting wrapper per imported function: the original's pointer, filled in when the
// import table is patched, and a wrapper of the same signature that counts, then calls it.
#define VINTROVE_COUNTED(kind, result, convention, name, parameters, arguments) \
  using name##Function = result(convention*) parameters;                      \
  name##Function real_##name = nullptr;                                        \
  result convention counted_##name parameters {                                \
    count(kind, #name);                                                        \
    return real_##name arguments;                                              \
  }

VINTROVE_COUNTED(kAllocation, void*, __cdecl, malloc, (std::size_t a), (a))
VINTROVE_COUNTED(kAllocation, void*, __cdecl, calloc, (std::size_t a, std::size_t b), (a, b))
VINTROVE_COUNTED(kAllocation, void*, __cdecl, realloc, (void* a, std::size_t b), (a, b))
VINTROVE_COUNTED(kAllocation, void, __cdecl, free, (void* a), (a))
VINTROVE_COUNTED(kAllocation, void*, __cdecl, _aligned_malloc, (std::size_t a, std::size_t b), (a, b))
VINTROVE_COUNTED(kAllocation, void*, __cdecl, _aligned_realloc, (void* a, std::size_t b, std::size_t c), (a, b, c))
VINTROVE_COUNTED(kAllocation, void, __cdecl, _aligned_free, (void* a), (a))
VINTROVE_COUNTED(kAllocation, char*, __cdecl, _strdup, (const char* a), (a))
VINTROVE_COUNTED(kAllocation, LPVOID, WINAPI, HeapAlloc, (HANDLE a, DWORD b, SIZE_T c), (a, b, c))
VINTROVE_COUNTED(kAllocation, LPVOID, WINAPI, HeapReAlloc, (HANDLE a, DWORD b, LPVOID c, SIZE_T d), (a, b, c, d))
VINTROVE_COUNTED(kAllocation, BOOL, WINAPI, HeapFree, (HANDLE a, DWORD b, LPVOID c), (a, b, c))
VINTROVE_COUNTED(kAllocation, HLOCAL, WINAPI, LocalAlloc, (UINT a, SIZE_T b), (a, b))
VINTROVE_COUNTED(kAllocation, HLOCAL, WINAPI, LocalFree, (HLOCAL a), (a))
VINTROVE_COUNTED(kAllocation, HGLOBAL, WINAPI, GlobalAlloc, (UINT a, SIZE_T b), (a, b))
VINTROVE_COUNTED(kAllocation, HGLOBAL, WINAPI, GlobalFree, (HGLOBAL a), (a))
VINTROVE_COUNTED(kAllocation, LPVOID, WINAPI, VirtualAlloc, (LPVOID a, SIZE_T b, DWORD c, DWORD d), (a, b, c, d))
VINTROVE_COUNTED(kAllocation, BOOL, WINAPI, VirtualFree, (LPVOID a, SIZE_T b, DWORD c), (a, b, c))

VINTROVE_COUNTED(kLock, void, WINAPI, EnterCriticalSection, (LPCRITICAL_SECTION a), (a))
VINTROVE_COUNTED(kLock, BOOL, WINAPI, TryEnterCriticalSection, (LPCRITICAL_SECTION a), (a))
VINTROVE_COUNTED(kLock, void, WINAPI, AcquireSRWLockExclusive, (PSRWLOCK a), (a))
VINTROVE_COUNTED(kLock, void, WINAPI, AcquireSRWLockShared, (PSRWLOCK a), (a))
VINTROVE_COUNTED(kLock, BOOLEAN, WINAPI, TryAcquireSRWLockExclusive, (PSRWLOCK a), (a))
VINTROVE_COUNTED(kLock, BOOLEAN, WINAPI, TryAcquireSRWLockShared, (PSRWLOCK a), (a))
VINTROVE_COUNTED(kLock, BOOL, WINAPI, SleepConditionVariableCS, (PCONDITION_VARIABLE a, PCRITICAL_SECTION b, DWORD c), (a, b, c))
VINTROVE_COUNTED(kLock, BOOL, WINAPI, SleepConditionVariableSRW, (PCONDITION_VARIABLE a, PSRWLOCK b, DWORD c, ULONG d), (a, b, c, d))
VINTROVE_COUNTED(kLock, DWORD, WINAPI, WaitForSingleObject, (HANDLE a, DWORD b), (a, b))
VINTROVE_COUNTED(kLock, DWORD, WINAPI, WaitForSingleObjectEx, (HANDLE a, DWORD b, BOOL c), (a, b, c))
VINTROVE_COUNTED(kLock, DWORD, WINAPI, WaitForMultipleObjects, (DWORD a, const HANDLE* b, BOOL c, DWORD d), (a, b, c, d))
VINTROVE_COUNTED(kLock, DWORD, WINAPI, WaitForMultipleObjectsEx, (DWORD a, const HANDLE* b, BOOL c, DWORD d, BOOL e), (a, b, c, d, e))
VINTROVE_COUNTED(kLock, void, WINAPI, Sleep, (DWORD a), (a))
VINTROVE_COUNTED(kLock, DWORD, WINAPI, SleepEx, (DWORD a, BOOL b), (a, b))
VINTROVE_COUNTED(kLock, BOOL, WINAPI, SwitchToThread, (), ())
VINTROVE_COUNTED(kLock, BOOL, WINAPI, SetEvent, (HANDLE a), (a))
VINTROVE_COUNTED(kLock, BOOL, WINAPI, ResetEvent, (HANDLE a), (a))
VINTROVE_COUNTED(kLock, BOOL, WINAPI, ReleaseSemaphore, (HANDLE a, LONG b, LPLONG c), (a, b, c))
VINTROVE_COUNTED(kLock, BOOL, WINAPI, ReleaseMutex, (HANDLE a), (a))

VINTROVE_COUNTED(kWindow, BOOL, WINAPI, PostMessageA, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, PostMessageW, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, PostThreadMessageA, (DWORD a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, PostThreadMessageW, (DWORD a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, LRESULT, WINAPI, SendMessageA, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, LRESULT, WINAPI, SendMessageW, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, LRESULT, WINAPI, SendMessageTimeoutA, (HWND a, UINT b, WPARAM c, LPARAM d, UINT e, UINT f, PDWORD_PTR g), (a, b, c, d, e, f, g))
VINTROVE_COUNTED(kWindow, LRESULT, WINAPI, SendMessageTimeoutW, (HWND a, UINT b, WPARAM c, LPARAM d, UINT e, UINT f, PDWORD_PTR g), (a, b, c, d, e, f, g))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, SendNotifyMessageA, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, SendNotifyMessageW, (HWND a, UINT b, WPARAM c, LPARAM d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, UINT_PTR, WINAPI, SetTimer, (HWND a, UINT_PTR b, UINT c, TIMERPROC d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, KillTimer, (HWND a, UINT_PTR b), (a, b))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, InvalidateRect, (HWND a, const RECT* b, BOOL c), (a, b, c))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, InvalidateRgn, (HWND a, HRGN b, BOOL c), (a, b, c))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, RedrawWindow, (HWND a, const RECT* b, HRGN c, UINT d), (a, b, c, d))
VINTROVE_COUNTED(kWindow, BOOL, WINAPI, UpdateWindow, (HWND a), (a))

VINTROVE_COUNTED(kFile, HANDLE, WINAPI, CreateFileA, (LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g), (a, b, c, d, e, f, g))
VINTROVE_COUNTED(kFile, HANDLE, WINAPI, CreateFileW, (LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g), (a, b, c, d, e, f, g))
VINTROVE_COUNTED(kFile, BOOL, WINAPI, ReadFile, (HANDLE a, LPVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e), (a, b, c, d, e))
VINTROVE_COUNTED(kFile, BOOL, WINAPI, WriteFile, (HANDLE a, LPCVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e), (a, b, c, d, e))
VINTROVE_COUNTED(kFile, HANDLE, WINAPI, CreateFileMappingW, (HANDLE a, LPSECURITY_ATTRIBUTES b, DWORD c, DWORD d, DWORD e, LPCWSTR f), (a, b, c, d, e, f))
VINTROVE_COUNTED(kFile, LPVOID, WINAPI, MapViewOfFile, (HANDLE a, DWORD b, DWORD c, DWORD d, SIZE_T e), (a, b, c, d, e))
VINTROVE_COUNTED(kFile, BOOL, WINAPI, UnmapViewOfFile, (LPCVOID a), (a))
VINTROVE_COUNTED(kFile, DWORD, WINAPI, GetFileSize, (HANDLE a, LPDWORD b), (a, b))
VINTROVE_COUNTED(kFile, DWORD, WINAPI, GetFileType, (HANDLE a), (a))
VINTROVE_COUNTED(kFile, DWORD, WINAPI, GetFileAttributesW, (LPCWSTR a), (a))
VINTROVE_COUNTED(kFile, BOOL, WINAPI, CloseHandle, (HANDLE a), (a))

// The C runtime's own heap calls (malloc inside the runtime, and what its other functions
// allocate), reached through the runtime DLL's import table, each with its own original.
VINTROVE_COUNTED(kAllocation, LPVOID, WINAPI, crtHeapAlloc, (HANDLE a, DWORD b, SIZE_T c), (a, b, c))
VINTROVE_COUNTED(kAllocation, LPVOID, WINAPI, crtHeapReAlloc, (HANDLE a, DWORD b, LPVOID c, SIZE_T d), (a, b, c, d))
VINTROVE_COUNTED(kAllocation, BOOL, WINAPI, crtHeapFree, (HANDLE a, DWORD b, LPVOID c), (a, b, c))
VINTROVE_COUNTED(kAllocation, LPVOID, WINAPI, crtRtlAllocateHeap, (HANDLE a, ULONG b, SIZE_T c), (a, b, c))
VINTROVE_COUNTED(kAllocation, LPVOID, WINAPI, crtRtlReAllocateHeap, (HANDLE a, ULONG b, LPVOID c, SIZE_T d), (a, b, c, d))
VINTROVE_COUNTED(kAllocation, BOOLEAN, WINAPI, crtRtlFreeHeap, (HANDLE a, ULONG b, LPVOID c), (a, b, c))

#undef VINTROVE_COUNTED

struct Hook {
  const char* name;
  void* replacement;
  void** original;
};

#define VINTROVE_HOOK(name) Hook{#name, reinterpret_cast<void*>(&counted_##name), reinterpret_cast<void**>(&real_##name)}
// The runtime's hooks carry the name of the function they stand for, without the prefix.
#define VINTROVE_CRT_HOOK(name) Hook{#name, reinterpret_cast<void*>(&counted_crt##name), reinterpret_cast<void**>(&real_crt##name)}

const Hook kOwnHooks[] = {
    VINTROVE_HOOK(malloc), VINTROVE_HOOK(calloc), VINTROVE_HOOK(realloc), VINTROVE_HOOK(free),
    VINTROVE_HOOK(_aligned_malloc), VINTROVE_HOOK(_aligned_realloc), VINTROVE_HOOK(_aligned_free),
    VINTROVE_HOOK(_strdup), VINTROVE_HOOK(HeapAlloc), VINTROVE_HOOK(HeapReAlloc), VINTROVE_HOOK(HeapFree),
    VINTROVE_HOOK(LocalAlloc), VINTROVE_HOOK(LocalFree), VINTROVE_HOOK(GlobalAlloc), VINTROVE_HOOK(GlobalFree),
    VINTROVE_HOOK(VirtualAlloc), VINTROVE_HOOK(VirtualFree),
    VINTROVE_HOOK(EnterCriticalSection), VINTROVE_HOOK(TryEnterCriticalSection),
    VINTROVE_HOOK(AcquireSRWLockExclusive), VINTROVE_HOOK(AcquireSRWLockShared),
    VINTROVE_HOOK(TryAcquireSRWLockExclusive), VINTROVE_HOOK(TryAcquireSRWLockShared),
    VINTROVE_HOOK(SleepConditionVariableCS), VINTROVE_HOOK(SleepConditionVariableSRW),
    VINTROVE_HOOK(WaitForSingleObject), VINTROVE_HOOK(WaitForSingleObjectEx), VINTROVE_HOOK(WaitForMultipleObjects),
    VINTROVE_HOOK(WaitForMultipleObjectsEx), VINTROVE_HOOK(Sleep), VINTROVE_HOOK(SleepEx), VINTROVE_HOOK(SwitchToThread),
    VINTROVE_HOOK(SetEvent), VINTROVE_HOOK(ResetEvent), VINTROVE_HOOK(ReleaseSemaphore), VINTROVE_HOOK(ReleaseMutex),
    VINTROVE_HOOK(PostMessageA), VINTROVE_HOOK(PostMessageW), VINTROVE_HOOK(PostThreadMessageA),
    VINTROVE_HOOK(PostThreadMessageW), VINTROVE_HOOK(SendMessageA), VINTROVE_HOOK(SendMessageW),
    VINTROVE_HOOK(SendMessageTimeoutA), VINTROVE_HOOK(SendMessageTimeoutW), VINTROVE_HOOK(SendNotifyMessageA),
    VINTROVE_HOOK(SendNotifyMessageW), VINTROVE_HOOK(SetTimer), VINTROVE_HOOK(KillTimer),
    VINTROVE_HOOK(InvalidateRect), VINTROVE_HOOK(InvalidateRgn), VINTROVE_HOOK(RedrawWindow), VINTROVE_HOOK(UpdateWindow),
    VINTROVE_HOOK(CreateFileA), VINTROVE_HOOK(CreateFileW), VINTROVE_HOOK(ReadFile), VINTROVE_HOOK(WriteFile),
    VINTROVE_HOOK(CreateFileMappingW), VINTROVE_HOOK(MapViewOfFile), VINTROVE_HOOK(UnmapViewOfFile),
    VINTROVE_HOOK(GetFileSize), VINTROVE_HOOK(GetFileType), VINTROVE_HOOK(GetFileAttributesW), VINTROVE_HOOK(CloseHandle),
};

const Hook kRuntimeHooks[] = {
    VINTROVE_CRT_HOOK(HeapAlloc), VINTROVE_CRT_HOOK(HeapReAlloc), VINTROVE_CRT_HOOK(HeapFree),
    VINTROVE_CRT_HOOK(RtlAllocateHeap), VINTROVE_CRT_HOOK(RtlReAllocateHeap), VINTROVE_CRT_HOOK(RtlFreeHeap),
};

#undef VINTROVE_HOOK
#undef VINTROVE_CRT_HOOK

HMODULE thisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&thisModule), &module);
  return module;
}

// Points every import of module that a hook names at the hook, keeping the original. Answers
// the name of the DLL that module imports malloc from (the C runtime), or null.
const char* patchImports(HMODULE module, const Hook* hooks, std::size_t hookCount) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  if (base == nullptr) return nullptr;
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return nullptr;
  const char* runtimeName = nullptr;
  for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (entry->OriginalFirstThunk == 0) continue;
    const auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const char* imported = reinterpret_cast<const char*>(byName->Name);
      if (std::strcmp(imported, "malloc") == 0) runtimeName = reinterpret_cast<const char*>(base + entry->Name);
      for (std::size_t h = 0; h < hookCount; ++h) {
        if (std::strcmp(imported, hooks[h].name) != 0) continue;
        DWORD protection = 0;
        if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &protection)) break;
        *hooks[h].original = reinterpret_cast<void*>(slots->u1.Function);
        slots->u1.Function = reinterpret_cast<ULONG_PTR>(hooks[h].replacement);
        VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection, &protection);
        break;
      }
    }
  }
  return runtimeName;
}

bool patchAll() {
  const HMODULE self = thisModule();
  const char* runtime = patchImports(self, kOwnHooks, std::size(kOwnHooks));
  if (runtime == nullptr) return false;
  // The runtime's import table now points into this DLL: it must never be unloaded.
  HMODULE pinned = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&thisModule), &pinned);
  patchImports(GetModuleHandleA(runtime), kRuntimeHooks, std::size(kRuntimeHooks));
  return true;
}

// Patched while the DLL loads, before the host can create an effect.
const bool patched = patchAll();

void* allocate(std::size_t bytes) {
  count(kAllocation, "operator new");
  if (void* memory = std::malloc(bytes != 0 ? bytes : 1)) return memory;
  throw std::bad_alloc();
}

void* allocateAligned(std::size_t bytes, std::align_val_t alignment) {
  count(kAllocation, "aligned operator new");
  if (void* memory = _aligned_malloc(bytes != 0 ? bytes : 1, static_cast<std::size_t>(alignment))) return memory;
  throw std::bad_alloc();
}

void release(void* memory) {
  if (memory == nullptr) return;
  count(kAllocation, "operator delete");
  std::free(memory);
}

void releaseAligned(void* memory) {
  if (memory == nullptr) return;
  count(kAllocation, "aligned operator delete");
  _aligned_free(memory);
}

}  // namespace

extern "C" {
// Starts (watch != 0) or stops counting on the calling thread. Starting sets every count to 0.
__declspec(dllexport) void vintroveWatch(int watch) {
  if (watch != 0) {
    for (auto& c : counts) c.store(0);
    firstCounted.store(nullptr);
  }
  watchedThread.store(watch != 0 ? GetCurrentThreadId() : 0);
}
__declspec(dllexport) long vintroveAllocations() { return counts[kAllocation].load(); }
__declspec(dllexport) long vintroveLocks() { return counts[kLock].load(); }
__declspec(dllexport) long vintroveWindowCalls() { return counts[kWindow].load(); }
__declspec(dllexport) long vintroveFileCalls() { return counts[kFile].load(); }
// The first function counted since the watch began, or null.
__declspec(dllexport) const char* vintroveFirstCounted() { return firstCounted.load(); }
// Whether the import table was patched (the counts cover the imported functions).
__declspec(dllexport) int vintroveCountsImports() { return patched && real_malloc != nullptr ? 1 : 0; }
// The counting's own control: makes, on the calling thread, one call of each kind that is easy
// to miss (aligned new and delete, an allocation inside the C runtime, SleepEx,
// WaitForMultipleObjectsEx, both condition-variable sleeps, both SRW try-locks, a thread
// message) and answers a bit per call that was not counted (0: all were), in that order.
__declspec(dllexport) unsigned vintroveCountingSelfTest() {
  const DWORD previous = watchedThread.load();
  watchedThread.store(GetCurrentThreadId());
  unsigned missed = 0;
  unsigned bit = 1;
  auto expect = [&](Kind kind, auto&& call) {
    const long before = counts[kind].load();
    call();
    if (counts[kind].load() == before) missed |= bit;
    bit <<= 1;
  };
  struct alignas(64) Wide {
    char bytes[64];
  };
  // Kept where the compiler must assume it is read, so that the pair is not left out.
  static Wide* volatile wide = nullptr;
  expect(kAllocation, [&] { wide = new Wide; });
  expect(kAllocation, [&] { delete wide; });
  static wchar_t* volatile copy = nullptr;
  expect(kAllocation, [&] { copy = _wcsdup(L"counted inside the runtime"); });
  std::free(copy);
  expect(kLock, [] { SleepEx(0, FALSE); });
  HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  expect(kLock, [&] { WaitForMultipleObjectsEx(1, &event, FALSE, 0, FALSE); });
  CloseHandle(event);
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  CONDITION_VARIABLE condition = CONDITION_VARIABLE_INIT;
  EnterCriticalSection(&section);
  expect(kLock, [&] { SleepConditionVariableCS(&condition, &section, 0); });
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
  SRWLOCK lock = SRWLOCK_INIT;
  AcquireSRWLockExclusive(&lock);
  expect(kLock, [&] { SleepConditionVariableSRW(&condition, &lock, 0, 0); });
  ReleaseSRWLockExclusive(&lock);
  expect(kLock, [&] {
    if (TryAcquireSRWLockExclusive(&lock)) ReleaseSRWLockExclusive(&lock);
  });
  expect(kLock, [&] {
    if (TryAcquireSRWLockShared(&lock)) ReleaseSRWLockShared(&lock);
  });
  expect(kWindow, [] { PostThreadMessageA(GetCurrentThreadId(), WM_NULL, 0, 0); });
  MSG message;
  PeekMessageA(&message, nullptr, WM_NULL, WM_NULL, PM_REMOVE);
  watchedThread.store(previous);
  return missed;
}
}

void* operator new(std::size_t bytes) { return allocate(bytes); }
void* operator new[](std::size_t bytes) { return allocate(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
  count(kAllocation, "operator new");
  return std::malloc(bytes != 0 ? bytes : 1);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
  count(kAllocation, "operator new");
  return std::malloc(bytes != 0 ? bytes : 1);
}
void* operator new(std::size_t bytes, std::align_val_t alignment) { return allocateAligned(bytes, alignment); }
void* operator new[](std::size_t bytes, std::align_val_t alignment) { return allocateAligned(bytes, alignment); }
void operator delete(void* memory) noexcept { release(memory); }
void operator delete[](void* memory) noexcept { release(memory); }
void operator delete(void* memory, std::size_t) noexcept { release(memory); }
void operator delete[](void* memory, std::size_t) noexcept { release(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { releaseAligned(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { releaseAligned(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { releaseAligned(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { releaseAligned(memory); }
