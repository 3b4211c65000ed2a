#include "reference_decode.h"

#include <mad.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace vintrove::test {
namespace {

// libmad's state is tens of kilobytes: kept on the heap.
struct Decoder {
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
};

}  // namespace

ReferenceDecode referenceDecode(const std::vector<unsigned char>& fileBytes) {
  std::vector<unsigned char> buffer(fileBytes);
  buffer.insert(buffer.end(), MAD_BUFFER_GUARD, 0);

  auto d = std::make_unique<Decoder>();
  mad_stream_init(&d->stream);
  mad_frame_init(&d->frame);
  mad_synth_init(&d->synth);
  mad_stream_buffer(&d->stream, buffer.data(), buffer.size());

  ReferenceDecode result;
  for (;;) {
    if (mad_frame_decode(&d->frame, &d->stream) != 0) {
      if (d->stream.error == MAD_ERROR_BUFLEN || !MAD_RECOVERABLE(d->stream.error)) {
        break;
      }
      ++result.recoverableErrors;
      continue;
    }
    mad_synth_frame(&d->synth, &d->frame);
    if (result.frames == 0) {
      result.channels = d->synth.pcm.channels;
      result.sampleRate = static_cast<int>(d->synth.pcm.samplerate);
      result.layer = static_cast<int>(d->frame.header.layer);
      result.bitRate = static_cast<long>(d->frame.header.bitrate);
      result.samples.resize(static_cast<std::size_t>(result.channels));
    }
    for (int c = 0; c < result.channels; ++c) {
      for (unsigned i = 0; i < d->synth.pcm.length; ++i) {
        const mad_fixed_t sample = d->synth.pcm.samples[c][i];
        result.samples[static_cast<std::size_t>(c)].push_back(static_cast<float>(sample) *
                                                              (1.0f / 268435456.0f));
      }
    }
    ++result.frames;
  }

  mad_synth_finish(&d->synth);
  mad_frame_finish(&d->frame);
  mad_stream_finish(&d->stream);
  return result;
}

namespace {

// Bytes of the MPEG-1 layer I frame whose header starts at `at`; 0 where no such header is.
std::size_t layer1FrameBytes(const std::vector<unsigned char>& bytes, std::size_t at) {
  if (at + 4 > bytes.size() || bytes[at] != 0xFF || (bytes[at + 1] & 0xFE) != 0xFE) return 0;
  const int bitRateIndex = bytes[at + 2] >> 4;
  const int rateIndex = (bytes[at + 2] >> 2) & 3;
  const int padding = (bytes[at + 2] >> 1) & 1;
  static constexpr long kRates[3] = {44100, 48000, 32000};
  if (bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3) return 0;
  return static_cast<std::size_t>((12L * bitRateIndex * 32000 / kRates[rateIndex] + padding) * 4);
}

}  // namespace

ReferenceDecode referenceDecodeLayer1Frames(const std::vector<unsigned char>& streamBytes, long first,
                                            long count) {
  constexpr long kWarmUp = 3;
  constexpr long kFrameSamples = 384;
  const long from = std::max(0L, first - kWarmUp);
  std::size_t begin = streamBytes.size();
  std::size_t end = streamBytes.size();
  std::size_t at = 0;
  for (long frame = 0; frame <= first + count; ++frame) {
    if (frame == from) begin = at;
    if (frame == first + count) {
      end = at;
      break;
    }
    const std::size_t size = layer1FrameBytes(streamBytes, at);
    if (size == 0) break;
    at = std::min(at + size, streamBytes.size());
  }
  if (begin >= end) return {};
  ReferenceDecode decode = referenceDecode(std::vector<unsigned char>(
      streamBytes.begin() + static_cast<std::ptrdiff_t>(begin), streamBytes.begin() + static_cast<std::ptrdiff_t>(end)));
  const auto dropped = static_cast<std::size_t>((first - from) * kFrameSamples);
  for (auto& channel : decode.samples) {
    channel.erase(channel.begin(), channel.begin() + static_cast<std::ptrdiff_t>(std::min(dropped, channel.size())));
  }
  decode.frames -= static_cast<int>(first - from);
  return decode;
}

std::vector<unsigned char> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw std::runtime_error("cannot open " + path);
  }
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>());
}

ReferenceDecode referenceDecodeFile(const std::string& path) {
  return referenceDecode(readFileBytes(path));
}

std::vector<std::size_t> frameOffsets(const std::vector<unsigned char>& file) {
  std::vector<unsigned char> buffer(file);
  buffer.insert(buffer.end(), MAD_BUFFER_GUARD, 0);
  mad_stream stream;
  mad_header header;
  mad_stream_init(&stream);
  mad_header_init(&header);
  mad_stream_buffer(&stream, buffer.data(), buffer.size());
  std::vector<std::size_t> offsets;
  for (;;) {
    if (mad_header_decode(&header, &stream) == 0) {
      offsets.push_back(static_cast<std::size_t>(stream.this_frame - buffer.data()));
    } else if (!MAD_RECOVERABLE(stream.error)) {
      break;
    }
  }
  mad_stream_finish(&stream);
  return offsets;
}

}  // namespace vintrove::test
