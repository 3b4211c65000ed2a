#include "wav_writer.h"

#include <cstring>
#include <vector>

namespace vintrove::testhost {

namespace {

void put16(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(std::uint8_t* at, std::uint32_t value) {
  put16(at, value);
  put16(at + 2, value >> 16);
}

// RIFF sizes are 32-bit; the data chunk must leave room for the header within them.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFULL - WavWriter::kHeaderBytes;

}  // namespace

WavWriter::WavWriter(const std::string& path, std::uint32_t sampleRate, std::uint16_t channels)
    : file_(std::fopen(path.c_str(), "wb"), &std::fclose), channels_(channels) {
  if (!file_ || channels == 0) {
    failed_ = true;
    return;
  }
  std::uint8_t header[kHeaderBytes] = {};
  std::memcpy(header, "RIFF", 4);
  std::memcpy(header + 8, "WAVE", 4);
  std::memcpy(header + 12, "fmt ", 4);
  put32(header + 16, 18);
  put16(header + 20, 3);  // IEEE float
  put16(header + 22, channels);
  put32(header + 24, sampleRate);
  put32(header + 28, sampleRate * 4U * channels);
  put16(header + 32, 4U * channels);
  put16(header + 34, 32);
  put16(header + 36, 0);
  std::memcpy(header + 38, "fact", 4);
  put32(header + 42, 4);
  std::memcpy(header + 50, "data", 4);
  if (std::fwrite(header, 1, sizeof header, file_.get()) != sizeof header) failed_ = true;
}

WavWriter::~WavWriter() { close(); }

bool WavWriter::write(const float* const* channelData, std::int32_t frames) {
  if (!ok() || closed_ || frames < 0) return false;
  const std::uint64_t bytes = static_cast<std::uint64_t>(frames) * 4U * channels_;
  if ((frames_ * 4U * channels_) + bytes > kMaxDataBytes) {
    failed_ = true;
    return false;
  }
  std::vector<std::uint8_t> interleaved(static_cast<std::size_t>(bytes));
  std::uint8_t* out = interleaved.data();
  for (std::int32_t i = 0; i < frames; ++i) {
    for (std::uint16_t c = 0; c < channels_; ++c) {
      std::uint32_t bits = 0;
      std::memcpy(&bits, &channelData[c][i], 4);
      put32(out, bits);
      out += 4;
    }
  }
  if (std::fwrite(interleaved.data(), 1, interleaved.size(), file_.get()) != interleaved.size()) {
    failed_ = true;
    return false;
  }
  frames_ += static_cast<std::uint64_t>(frames);
  return true;
}

bool WavWriter::writeStereo(const float* left, const float* right, std::int32_t frames) {
  if (channels_ != 2) {
    failed_ = true;
    return false;
  }
  const float* const both[2] = {left, right};
  return write(both, frames);
}

bool WavWriter::close() {
  if (closed_) return closeResult_;
  closed_ = true;
  if (!file_) return closeResult_ = false;
  bool good = !failed_;
  const auto dataBytes = static_cast<std::uint32_t>(frames_ * 4U * channels_);
  std::uint8_t field[4];
  const struct {
    std::size_t offset;
    std::uint32_t value;
  } sizes[] = {{kRiffSizeOffset, static_cast<std::uint32_t>(kHeaderBytes - 8) + dataBytes},
               {kFactFramesOffset, static_cast<std::uint32_t>(frames_)},
               {kDataSizeOffset, dataBytes}};
  for (const auto& size : sizes) {
    put32(field, size.value);
    good = good && std::fseek(file_.get(), static_cast<long>(size.offset), SEEK_SET) == 0 &&
           std::fwrite(field, 1, 4, file_.get()) == 4;
  }
  good = (std::fclose(file_.release()) == 0) && good;
  return closeResult_ = good;
}

}  // namespace vintrove::testhost
