#include "validation_media.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "layer1_writer.h"
#include "reference_decode.h"

namespace vintrove::testhost {

namespace {

constexpr int kRate = 44100;
constexpr int kFrameSamples = 384;

bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

float peakOf(const std::vector<unsigned char>& bytes) {
  float peak = 0.0f;
  for (const std::vector<float>& channel : test::referenceDecode(bytes).samples) {
    for (float sample : channel) peak = std::max(peak, std::fabs(sample));
  }
  return peak;
}

}  // namespace

ValidationMedia::ValidationMedia(double longSeconds) {
  char base[MAX_PATH] = {};
  if (GetTempPathA(MAX_PATH, base) == 0) return;
  folder_ = std::string(base) + "vintrove-validate-" + std::to_string(GetCurrentProcessId());
  if (!CreateDirectoryA(folder_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return;
  longTone_ = folder_ + "\\long tone.mp1";
  shortTone_ = folder_ + "\\short.mp1";
  randomBytes_ = folder_ + "\\random.mp3";
  empty_ = folder_ + "\\empty.mp3";
  truncated_ = folder_ + "\\truncated.mp2";

  const int longFrames = static_cast<int>(std::ceil(longSeconds * kRate / kFrameSamples));
  test::Layer1Signal loud;
  loud.subband = {2, 5};
  loud.amplitude = 0.7;
  const std::vector<unsigned char> longBytes = test::writeLayer1(kRate, 128, 2, longFrames, loud);
  const std::vector<unsigned char> shortBytes = test::writeLayer1(48000, 64, 1, 40);
  std::vector<unsigned char> truncatedBytes = test::writeLayer1(32000, 96, 2, 60);
  truncatedBytes.resize(truncatedBytes.size() - 200);
  std::vector<unsigned char> noise(6000);
  std::mt19937 random(2026);
  for (unsigned char& byte : noise) byte = static_cast<unsigned char>(random());

  longToneFrames_ = longFrames * kFrameSamples;
  peak_ = std::max({peakOf(longBytes), peakOf(shortBytes), peakOf(truncatedBytes)});
  ready_ = writeBytes(longTone_, longBytes) && writeBytes(shortTone_, shortBytes) &&
           writeBytes(randomBytes_, noise) && writeBytes(empty_, {}) &&
           writeBytes(truncated_, truncatedBytes);
}

ValidationMedia::~ValidationMedia() {
  for (const std::string* path : {&longTone_, &shortTone_, &randomBytes_, &empty_, &truncated_}) {
    if (!path->empty()) DeleteFileA(path->c_str());
  }
  if (!folder_.empty()) RemoveDirectoryA(folder_.c_str());
}

}  // namespace vintrove::testhost
