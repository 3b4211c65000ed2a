// Writes rendered audio to a WAV file as 32-bit IEEE float samples (format tag 3), so a test can
// compare the file's samples exactly with what the plug-in produced; 16-bit PCM would round them.
//
// Layout (all little-endian), 58 bytes before the samples:
//   "RIFF" <file size - 8> "WAVE"
//   "fmt " 18: tag 3, channels, sample rate, bytes per second, block align (4 x channels),
//              32 bits per sample, extension size 0
//   "fact" 4: sample frames per channel
//   "data" <sample bytes>: frames of interleaved channels
// The sizes are written as 0 at first and set by close() (or the destructor), so a file whose
// writer was never closed is recognisably unfinished.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace vintrove::testhost {

class WavWriter {
 public:
  static constexpr std::size_t kHeaderBytes = 58;
  static constexpr std::size_t kRiffSizeOffset = 4;
  static constexpr std::size_t kFactFramesOffset = 46;
  static constexpr std::size_t kDataSizeOffset = 54;

  WavWriter(const std::string& path, std::uint32_t sampleRate, std::uint16_t channels = 2);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // False when the file could not be created or a write failed.
  bool ok() const { return file_ != nullptr && !failed_; }

  // One block: `channels` pointers to `frames` samples each.
  bool write(const float* const* channels, std::int32_t frames);
  bool writeStereo(const float* left, const float* right, std::int32_t frames);

  // Sets the sizes and closes the file; true when everything was written. Later calls do nothing
  // and answer the first result.
  bool close();

  std::uint64_t framesWritten() const { return frames_; }
  std::uint16_t channels() const { return channels_; }

 private:
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
  std::uint16_t channels_;
  std::uint64_t frames_ = 0;
  bool failed_ = false;
  bool closed_ = false;
  bool closeResult_ = false;
};

}  // namespace vintrove::testhost
