#include "player/sample_loader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include "host/safe_convert.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/thread.h"
#include "player/mpeg_decoder.h"
#include "player/overview.h"

namespace vintrove {

namespace {

constexpr int kScanAttempts = 1000;
constexpr std::int32_t kDefaultEstimate = 2646000;  // 60 s at 44100 Hz
constexpr float kCapacityMargin = 1.1f;
constexpr std::int32_t kMaxBlockFrames = 1152;
constexpr float kFixedToFloat = 1.0f / 268435456.0f;  // libmad's 28 fraction bits

}  // namespace

void LoaderDeleter::operator()(SampleLoader* loader) const {
  if (loader == nullptr) return;
  // No more reports: the owner is usually being destroyed right after.
  loader->detachOwner();
  loader->stopRequested.store(true);
  if (!loader->loadSlot.wait(SampleLoader::kDestroyWaitMilliseconds)) {
    // Still loading (a warning box may be up): the last of us frees the loader.
    if (loader->lifetime.exchange(SampleLoader::kOrphaned) != SampleLoader::kLoadEnded) return;
    loader->loadSlot.wait();  // the thread is giving the slot back just now
  }
  SampleLoader::destroyNow(loader);
}

void SampleLoader::destroyNow(SampleLoader* loader) {
  delete loader;  // the one place a loader is freed
}

SampleLoader::SampleLoader(LoaderOwner* loaderOwner) : owner(loaderOwner) { forgetStore(); }

void SampleLoader::detachOwner() {
  owner.store(nullptr);
  StoreGate::ReleaseHold noReportInProgress(reportGate);
}

SampleLoader::~SampleLoader() {
  std::lock_guard<platform::Lock> guard(storeLock);
  samples.release();
}

bool SampleLoader::start(const char* newPath) {
  stopRequested.store(true);
  // A load whose warning box is up cannot stop; the caller's thread must not wait for a click.
  if (!loadSlot.wait(kStartWaitMilliseconds)) return false;
  stopRequested.store(false);
  complete.store(false);
  const std::size_t length = newPath != nullptr ? std::strlen(newPath) : kPathCapacity;
  if (length >= static_cast<std::size_t>(kPathCapacity)) {
    // A path cut short would name another file.
    loadSlot.release();
    return false;
  }
  std::memcpy(path, newPath, length + 1);
  if (!openFile()) {
    loadSlot.release();
    return false;
  }
  forgetPreviousFile();
  lifetime.store(kLoading);
  if (!platform::startLowPriorityThread(&SampleLoader::threadEntry, this)) {
    mapping.close();
    fileData = nullptr;
    mapped = false;
    lifetime.store(kNoLoad);
    loadSlot.release();
    return false;
  }
  return true;
}

// The previous store stays allocated until the decoding thread replaces it, but from here on no
// read serves it: reads already in progress end first, later ones find nothing decoded, and a
// read that was asked for before carries an older generation.
void SampleLoader::forgetPreviousFile() {
  std::lock_guard<platform::Lock> guard(storeLock);  // the contiguous read's lock
  StoreGate::ReleaseHold noReadInProgress(readGate);
  decodedFrames.store(0);
  if (LoaderOwner* target = owner.load()) target->loadBegins();
  generation.fetch_add(1);
}

void SampleLoader::threadEntry(void* loader) {
  auto* self = static_cast<SampleLoader*>(loader);
  self->decodeFile();
  self->endLoad();
}

void SampleLoader::endLoad() {
  if (lifetime.exchange(kLoadEnded) == kOrphaned) {
    destroyNow(this);  // our owner has given up waiting for us
    return;
  }
  loadSlot.release();  // the last touch of this loader: its owner may free it now
}

bool SampleLoader::openFile() {
  if (mapped) {
    mapping.close();
    fileData = nullptr;
  }
  mapped = false;
  // The defaults only once the new file is open: a file that cannot be opened leaves the one
  // that plays at its own rate.
  if (!mapping.open(path)) return false;
  channels.store(2);
  sampleRate.store(44100);
  bitRate.store(128000);
  fileData = mapping.data();
  fileSize = mapping.size();
  mapped = true;
  return true;
}

void SampleLoader::decodeFile() { runDecode(true); }

void SampleLoader::runDecode(bool yieldAfterEachStep) {
  MpegDecoder decoder;
  decodedFrames.store(0);
  if (!decoder.valid()) {
    stopRequested.store(true);
  } else {
    decoder.attach(fileData, MpegDecoder::audioLength(fileData, fileSize));
    const MpegDecoder::Scan scan = decoder.scanBitRate(kScanAttempts);
    bitRate.store(truncateToInt32(scan.averageBitRate));
    sampleRate.store(scan.sampleRate);

    const double average = scan.averageBitRate;
    const std::int32_t estimate =
        average > 0.0 ? truncateToInt32(scan.sampleRate / average * fileSize * 8.0) : kDefaultEstimate;
    if (hasOwner()) {
      reportLength(estimate);
      drawOverview(0, 0, estimate);
      reportTick(0);
    }
    capacity.store(truncateToInt32(static_cast<double>(static_cast<float>(estimate) * kCapacityMargin)));

    bool found = false;
    while (!found) {
      const MpegDecoder::Result result = decoder.decodeFrame();
      if (result == MpegDecoder::Result::kDecoded) found = true;
      if (result == MpegDecoder::Result::kEnd) break;
    }

    bool allocated = false;
    const mad_pcm* pcm = nullptr;
    {
      std::lock_guard<platform::Lock> guard(storeLock);
      releaseStore();
      if (!found) stopRequested.store(true);
      if (!stopRequested.load()) {
        pcm = &decoder.synthesize();
        channels.store(static_cast<std::int32_t>(pcm->channels));
        allocated = allocateStore(std::min<std::int32_t>(channels.load(), 2), capacity.load());
      }
    }
    // The box waits for a click: it is shown holding no lock the audio thread or a close needs.
    if (found && !allocated && !stopRequested.load()) {
      warnTooBig();
      stopRequested.store(true);
    }

    float block[2][kMaxBlockFrames];
    const std::int32_t channelCount = std::min<std::int32_t>(channels.load(), 2);
    bool endOfFile = false;
    while (!stopRequested.load() && !endOfFile) {
      const std::int32_t frames = std::min<std::int32_t>(static_cast<std::int32_t>(pcm->length), kMaxBlockFrames);
      const std::int32_t at = decodedFrames.load();
      if (at + frames > capacity.load()) {
        std::int32_t newCapacity =
            truncateToInt32(static_cast<double>(static_cast<float>(capacity.load()) * kCapacityMargin));
        newCapacity = std::max(newCapacity, at + frames);
        bool grown;
        {
          std::lock_guard<platform::Lock> guard(storeLock);
          grown = growStore(channelCount, newCapacity);
          if (grown) capacity.store(newCapacity);
        }
        if (!grown) {
          warnTooBig();
          stopRequested.store(true);
          break;
        }
      }
      for (std::int32_t c = 0; c < channelCount; ++c) {
        for (std::int32_t j = 0; j < frames; ++j) {
          block[c][j] = static_cast<float>(pcm->samples[c][j]) * kFixedToFloat;
        }
      }
      if (yieldAfterEachStep) platform::yieldThread();
      {
        std::lock_guard<platform::Lock> guard(storeLock);
        storeDecodedBlock(block[0], block[1], channelCount, at, frames);
        decodedFrames.store(at + frames);
      }
      if (hasOwner() && !stopRequested.load()) {
        const std::int32_t decoded = at + frames;
        drawOverview(at, decoded, std::max(estimate, decoded));
        reportTick(decoded);
      }
      platform::yieldThread();
      if (decoder.decodeFrame() == MpegDecoder::Result::kEnd) endOfFile = true;
      if (yieldAfterEachStep) platform::yieldThread();
      pcm = &decoder.synthesize();
    }
  }
  reportLength(decodedFrames.load());
  mapping.close();
  fileData = nullptr;
  mapped = false;
  complete.store(true);
}

void SampleLoader::warnTooBig() { platform::showWarning("Loading canceled, file too big", "Vintrove"); }

void SampleLoader::reportLength(std::int32_t frames) {
  StoreGate::ReadPass pass(reportGate);
  if (!pass) return;
  if (LoaderOwner* target = owner.load()) target->setLength(frames);
}

void SampleLoader::reportTick(std::int32_t frames) {
  StoreGate::ReadPass pass(reportGate);
  if (!pass) return;
  if (LoaderOwner* target = owner.load()) target->loadingTick(frames);
}

bool SampleLoader::usableOutputs(float** outputs, std::int32_t frames) {
  return outputs != nullptr && outputs[0] != nullptr && outputs[1] != nullptr && frames > 0;
}

void SampleLoader::fillSilence(float** outputs, std::int32_t frames) {
  std::fill_n(outputs[0], frames, 0.0f);
  std::fill_n(outputs[1], frames, 0.0f);
}

bool SampleLoader::read(float** outputs, std::int32_t frames, std::int32_t position, float ratio,
                        bool replace) {
  if (stopRequested.load() || !usableOutputs(outputs, frames)) return false;
  const std::int32_t decoded = decodedFrames.load();
  const bool ready = (complete.load() || static_cast<std::int64_t>(decoded) >=
                                             static_cast<std::int64_t>(position) + frames) &&
                     decoded != 0;
  if (!ready) {
    if (replace) fillSilence(outputs, frames);
    return false;
  }
  // The contiguous arrays move when they grow.
  std::lock_guard<platform::Lock> guard(storeLock);
  if (stopRequested.load()) return false;
  const std::int32_t length = decodedFrames.load();
  if (length <= 0) return false;  // a new load began since the test above
  const std::int32_t startFrame = position >= 0 ? position % length : 0;
  const int second = channels.load() > 1 ? 1 : 0;
  readChannel(outputs[0], 0, length, frames, startFrame, ratio, replace);
  readChannel(outputs[1], second, length, frames, startFrame, ratio, replace);
  return true;
}

void SampleLoader::readChannel(float* dst, int channel, std::int32_t length,
                               std::int32_t frames, std::int32_t startFrame, float ratio,
                               bool replace) {
  samples.readChannel(dst, channel, frames, startFrame, ratio, replace, length);
}

void SampleLoader::drawOverview(std::int32_t from, std::int32_t to, std::int32_t total) {
  vintrove::drawOverview(overviewPixels.load(), from, to, total, sampleRate.load(),
                         decodedFrames.load(), channels.load(), SampleReader::of(samples));
}

// The arrays are owned and start out empty, so there is nothing to forget.
void SampleLoader::forgetStore() {}

bool SampleLoader::allocateStore(std::int32_t channelCount, std::int32_t newCapacity) {
  releaseStore();
  const bool ok = samples.allocate(channelCount, newCapacity);
  if (ok) capacity.store(newCapacity);
  return ok;
}

bool SampleLoader::growStore(std::int32_t channelCount, std::int32_t newCapacity) {
  const bool ok = samples.grow(channelCount, newCapacity);
  if (ok) capacity.store(newCapacity);
  return ok;
}

void SampleLoader::releaseStore() { samples.release(); }

void SampleLoader::storeDecodedBlock(const float* left, const float* right,
                                     std::int32_t channelCount, std::int32_t at,
                                     std::int32_t frames) {
  samples.appendAt(left, right, channelCount, at, frames);
}

}  // namespace vintrove
