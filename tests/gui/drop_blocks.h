// File lists as a drag hands them over (CF_HDROP blocks) for the drop tests: as the shell
// builds them, and crafted with any name offset and any bytes after the header.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace vintrove::test {

using Bytes = std::vector<unsigned char>;

// A DROPFILES block as the shell builds it: header, terminated paths, one more terminator.
inline Bytes fileList(const std::vector<std::string>& paths, bool wide = false) {
  const std::size_t unit = wide ? 2 : 1;
  DROPFILES header{sizeof header, {}, FALSE, wide};
  const auto* first = reinterpret_cast<const unsigned char*>(&header);
  Bytes block(first, first + sizeof header);
  for (const std::string& path : paths) {
    for (char c : path + '\0') {
      block.push_back(static_cast<unsigned char>(c));  // ASCII: the UTF-16 high byte is 0
      block.resize(block.size() + unit - 1);
    }
  }
  block.resize(block.size() + unit);
  return block;
}

// A DROPFILES header naming its own name offset, then the given bytes as they are.
inline Bytes craftedBlock(DWORD nameOffset, bool wide, const Bytes& after) {
  const DROPFILES header{nameOffset, {}, FALSE, wide};
  Bytes block(sizeof header + after.size());
  std::memcpy(block.data(), &header, sizeof header);
  if (!after.empty()) {
    std::memcpy(block.data() + sizeof header, after.data(), after.size());
  }
  return block;
}

inline Bytes bytesOf(const std::string& text, bool wide) {
  Bytes bytes;
  for (char c : text) {
    bytes.push_back(static_cast<unsigned char>(c));
    if (wide) {
      bytes.push_back(0);
    }
  }
  return bytes;
}

}  // namespace vintrove::test
