#include "temp_file.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace vintrove::test {
namespace {

long processId() {
#ifdef _WIN32
  return _getpid();
#else
  return static_cast<long>(getpid());
#endif
}

}  // namespace

TempFile::TempFile(const std::vector<unsigned char>& bytes, const std::string& suffix) {
  // Test programs run side by side, so the name carries the process id and a counter.
  static std::atomic<unsigned> counter{0};
  const std::string name = "vintrove-test-" + std::to_string(processId()) + "-" +
                           std::to_string(counter.fetch_add(1)) + suffix;
  path_ = (std::filesystem::temp_directory_path() / name).string();
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    throw std::runtime_error("cannot write " + path_);
  }
}

TempFile::~TempFile() {
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace vintrove::test
