// CreateFileW / CreateFileMappingW / MapViewOfFile of a whole file, read-only. Paths are UTF-8.
#include "platform/file_mapping.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace vintrove::platform {

namespace {

// Both members keep -1 for "none". CreateFileW reports failure with INVALID_HANDLE_VALUE (-1)
// and CreateFileMappingW with null; neither is ever stored.
constexpr std::intptr_t kNoHandle = -1;

HANDLE asHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t fromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

// Files of 2 GiB or more do not fit the 32-bit size.
constexpr DWORD kSizeLimit = 0x80000000u;

// The player's paths hold at most 1023 bytes, so never more UTF-16 units than that, and the
// long-path prefix.
constexpr std::size_t kWidePathCapacity = 1024 + kLongPathPrefixLength;

}  // namespace

FileMapping::~FileMapping() { close(); }

bool FileMapping::open(const char* path) {
  close();
  if (path == nullptr) {
    return false;
  }
  wchar_t widePath[kWidePathCapacity];
  if (!utf8ToWidePath(path, widePath, kWidePathCapacity)) {
    return false;  // not UTF-8, or longer than any path the player holds
  }
  const HANDLE file = CreateFileW(widePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;  // missing, unreadable, a directory, or a path too long for the system
  }
  file_ = fromHandle(file);

  // Only files on disk: not a console, a pipe or another device that CreateFileW also opens.
  DWORD high = 0;
  const DWORD low = GetFileType(file) == FILE_TYPE_DISK ? GetFileSize(file, &high) : 0;
  // A failed GetFileSize answers INVALID_FILE_SIZE, which is over the limit too.
  if (high != 0 || low == 0 || low >= kSizeLimit) {
    close();
    return false;
  }

  const HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping == nullptr) {
    close();
    return false;
  }
  mapping_ = fromHandle(mapping);

  const void* const view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  if (view == nullptr) {
    close();
    return false;
  }
  data_ = static_cast<const unsigned char*>(view);
  size_ = static_cast<std::int32_t>(low);
  return true;
}

void FileMapping::close() {
  if (data_ != nullptr) {
    UnmapViewOfFile(data_);
    data_ = nullptr;
  }
  size_ = 0;
  if (mapping_ != kNoHandle) {
    CloseHandle(asHandle(mapping_));
    mapping_ = kNoHandle;
  }
  if (file_ != kNoHandle) {
    CloseHandle(asHandle(file_));
    file_ = kNoHandle;
  }
}

}  // namespace vintrove::platform
