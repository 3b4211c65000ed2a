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
