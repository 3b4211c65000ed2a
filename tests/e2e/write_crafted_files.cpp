// Writes the crafted files that our host plays in the end-to-end run (tests/player/crafted_frames.h):
// real frames followed by the frame whose scalefactors reach 16 bytes past its end, once as the
// end of a file (decoded from the loader's copy of the last bytes) and once in a file of exactly
// one page (decoded from its mapping, with the unmapped page after it).
// Usage: write_crafted_files FOLDER   (a Unix path; the files are reached through drive Z:)
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "crafted_frames.h"
#include "reference_decode.h"
#include "tag_writer.h"
#include "test_data.h"

namespace {

using vintrove::test::FrameBytes;

FrameBytes realFrames(std::size_t count) {
  const FrameBytes file = vintrove::test::readFileBytes(vintrove::test::testDataPath("l3_44k1_stereo_128k_notag.mp3"));
  const std::vector<std::size_t> offsets = vintrove::test::frameOffsets(file);
  return FrameBytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(offsets.at(count)));
}

bool write(const std::string& folder, const char* name, const FrameBytes& bytes) {
  std::ofstream out("Z:" + folder + "/" + name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_crafted_files FOLDER\n");
    return 2;
  }
  FrameBytes tail = realFrames(40);
  vintrove::test::appendBytes(tail, vintrove::test::scalefactorsPastTheFrameBytes());
  const FrameBytes page = vintrove::test::pageWithTheFrameLast(realFrames(8));
  if (page.size() != vintrove::test::kPageBytes) return 1;
  return write(argv[1], "crafted-tail.mp3", tail) && write(argv[1], "crafted-page.mp3", page) ? 0 : 1;
}
