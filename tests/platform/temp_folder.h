// A fresh folder under the system's temporary folder for one test, removed with everything in
// it afterwards. Works natively and under Wine (where it is the prefix's Temp folder).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

namespace vintrove::test {

class TempFolder {
 public:
  TempFolder() {
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    std::random_device entropy;
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          base / ("vintrove-platform-" + std::to_string(entropy()) + "-" + std::to_string(attempt));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) {
        path_ = candidate;
      }
    }
  }
  ~TempFolder() {
    if (!path_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool created() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }

  // Writes the bytes to a new file in the folder and returns its path as the plug-in gets it.
  std::string write(const std::string& name, const std::vector<unsigned char>& bytes) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }

 private:
  std::filesystem::path path_;
};

// Bytes that differ from their neighbours and from any other file of the same size: a mapping
// of the wrong file or at the wrong offset cannot match them.
inline std::vector<unsigned char> patternBytes(std::size_t size, std::uint32_t seed) {
  std::vector<unsigned char> bytes(size);
  std::uint32_t state = seed * 2654435761u + 1u;
  for (auto& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<unsigned char>(state >> 24);
  }
  return bytes;
}

}  // namespace vintrove::test
