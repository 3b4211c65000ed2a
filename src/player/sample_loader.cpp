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
#include "player/pcm_conversion.h"
#include "player/store_layout.h"
#include "player/stream_plan.h"

namespace vintrove {

namespace {

constexpr float kCapacityMargin = 1.1f;
constexpr unsigned kMaxBlockFrames = 1152;

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
  const std::size_t length = newPath != nullptr ? std::strlen(newPath) : kPathCapacity;
  // A path cut short would name another file.
  if (length >= static_cast<std::size_t>(kPathCapacity)) return false;
  // The new file is opened before anything of the playing one changes: a load that does not
  // start leaves that file playing whole, its decode running and its path as it was.
  platform::FileMapping candidate;
  if (!candidate.open(newPath)) return false;
  stopRequested.store(true);
  // A load whose warning box is up cannot stop; the caller's thread must not wait for a click.
  if (!loadSlot.wait(kStartWaitMilliseconds)) return false;
  stopRequested.store(false);
  complete.store(false);
  std::memcpy(path, newPath, length + 1);
  opened.adopt(candidate);
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

void SampleLoader::stop() {
  stopRequested.store(true);
  // Bounded like start(): a load whose warning box is up does not hold the caller's thread.
  if (loadSlot.wait(kStartWaitMilliseconds)) loadSlot.release();
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
  // that plays at its own rate. start() has opened it already; otherwise the path is opened.
  if (opened.isOpen()) {
    mapping.adopt(opened);
  } else if (!mapping.open(path)) {
    return false;
  }
  channels.store(2);
  sampleRate.store(44100);
  bitRate.store(128000);
  fileData = mapping.data();
  fileSize = mapping.size();
  mapped = true;
  return true;
}

void SampleLoader::decodeFile() { runDecode(true); }

bool SampleLoader::decodeBytes(const unsigned char* bytes, std::int32_t size) {
  if (!loadSlot.wait(0)) return false;
  stopRequested.store(false);
  complete.store(false);
  fileData = bytes;
  fileSize = bytes != nullptr && size > 0 ? size : 0;
  // The caller's own thread has nobody to make way for.
  inBackground = false;
  decodeFile();
  inBackground = true;
  loadSlot.release();
  return true;
}

void SampleLoader::runDecode(bool yieldAfterEachStep) {
  MpegDecoder decoder;
  decodedFrames.store(0);
  memoryShort = false;
  if (!decoder.valid()) {
    stopRequested.store(true);
  } else {
    decodeStream(decoder, yieldAfterEachStep);
  }
  reportLength(decodedFrames.load());
  mapping.close();
  fileData = nullptr;
  mapped = false;
  complete.store(true);
}

void SampleLoader::decodeStream(MpegDecoder& decoder, bool yieldAfterEachStep) {
  const StreamPlan plan = planStream(decoder, fileData, fileSize, storeLimit.load());
  // Everything the first report shows is known before it is made.
  bitRate.store(plan.bitRate);
  sampleRate.store(plan.sampleRate);
  if (plan.found) channels.store(plan.channels);
  capacity.store(plan.capacity);
  if (hasOwner()) {
    reportLength(plan.firstLength);
    drawOverview(0, 0, plan.firstLength);
    reportTick(0);
  }
  if (makeFirstStore(plan)) decodeFrames(decoder, plan, yieldAfterEachStep);
}

bool SampleLoader::makeFirstStore(const StreamPlan& plan) {
  bool allocated = false;
  {
    std::lock_guard<platform::Lock> guard(storeLock);
    releaseStore();
    if (!plan.found) stopRequested.store(true);
    if (!stopRequested.load()) allocated = allocateStore(std::min<std::int32_t>(plan.channels, 2), plan.capacity);
  }
  if (stopRequested.load()) return false;
  // Short of memory the decode goes on into what the store got.
  if (memoryShort) return true;
  if (!allocated) refuseTooBig();
  return allocated;
}

void SampleLoader::decodeFrames(MpegDecoder& decoder, const StreamPlan& plan, bool yieldAfterEachStep) {
  const int storeChannels = std::min<std::int32_t>(plan.channels, 2);
  std::int32_t toSkip = plan.trim.start;
  std::int32_t stored = 0;  // frames written, of which the trim may hold back the last ones
  bool cutShort = false;    // memory ran out: the frames that still fitted are the last
  const mad_pcm* pcm = &decoder.synthesize();
  while (!stopRequested.load()) {
    const auto frames = static_cast<std::int32_t>(std::min<unsigned>(pcm->length, kMaxBlockFrames));
    const std::int32_t skip = std::min(toSkip, frames);
    toSkip -= skip;
    std::int32_t count = frames - skip;
    if (count > 0) {
      if (!makeRoom(std::int64_t{stored} + count, storeChannels)) {
        if (!memoryShort) break;
        // Every decoded frame shows: the end trim is for the file's real end.
        count = std::max(0, capacity.load() - stored);
        cutShort = true;
      }
      if (yieldAfterEachStep) yieldToOthers();
      const std::int32_t shownBefore = decodedFrames.load();
      const std::int32_t shown = cutShort ? stored + count : plan.trim.shownWhileDecoding(stored + count);
      {
        std::lock_guard<platform::Lock> guard(storeLock);
        for (int c = 0; c < storeChannels; ++c) writeChannel(c, storeChannels, *pcm, skip, stored, count);
        decodedFrames.store(shown);
      }
      stored += count;
      if (hasOwner() && !stopRequested.load() && shown > shownBefore) {
        drawOverview(shownBefore, shown, std::max(plan.firstLength, shown));
        reportTick(shown);
      }
      if (cutShort) {
        reportOutOfMemory(shown);
        break;
      }
    }
    yieldToOthers();
    if (!nextFrameOfStream(decoder, plan.format)) break;
    if (yieldAfterEachStep) yieldToOthers();
    pcm = &decoder.synthesize();
  }
  if (stopRequested.load()) return;
  {
    // A file that ends short of its frame count keeps what the trim held back; so does one cut
    // short by memory.
    std::lock_guard<platform::Lock> guard(storeLock);
    decodedFrames.store(cutShort ? stored : plan.trim.shownAtEnd(stored));
    trimStore(stored);
  }
  redrawOverview(decodedFrames.load());
}

bool SampleLoader::nextFrameOfStream(MpegDecoder& decoder, const StreamFormat& format) {
  // A frame that fails to decode stores nothing, and so does one that is not of this stream.
  while (!stopRequested.load()) {
    const MpegDecoder::Result result = decoder.decodeFrame();
    if (result == MpegDecoder::Result::kEnd) return false;
    if (result == MpegDecoder::Result::kDecoded && format.holds(decoder.header())) return true;
  }
  return false;
}

bool SampleLoader::makeRoom(std::int64_t needed, int storeChannels) {
  if (needed <= capacity.load()) return true;
  if (memoryShort) return false;
  const std::int32_t limit = storeLimit.load();
  if (needed > limit) {
    refuseTooBig();
    return false;
  }
  const std::int32_t larger =
      truncateToInt32(static_cast<double>(static_cast<float>(capacity.load()) * kCapacityMargin));
  const auto newCapacity =
      static_cast<std::int32_t>(std::min<std::int64_t>(std::max<std::int64_t>(larger, needed), limit));
  bool grown = false;
  {
    std::lock_guard<platform::Lock> guard(storeLock);
    grown = growStore(storeChannels, newCapacity);
    if (grown) capacity.store(newCapacity);
  }
  // Short of memory the store keeps what it got, perhaps some of the growth.
  if (!grown && memoryShort) return needed <= capacity.load();
  if (!grown) refuseTooBig();
  return grown;
}

// Nothing of a refused file stays: its store is freed and its length is 0, so the player holds
// neither memory nor a length with nothing to play until the next load.
void SampleLoader::refuseTooBig() {
  // Canceled before the box goes up: nothing of this load plays while it waits for a click.
  stopRequested.store(true);
  {
    std::lock_guard<platform::Lock> guard(storeLock);
    releaseStore();
    decodedFrames.store(0);
    capacity.store(0);
  }
  // The box waits for a click: it is shown holding no lock the audio thread or a close needs.
  warnTooBig();
}

void SampleLoader::writeChannel(int channel, int storeChannels, const mad_pcm& pcm, std::int32_t from,
                                std::int32_t at, std::int32_t count) {
  while (count > 0) {
    std::int32_t room = 0;
    float* target = writableSamples(channel, at, room);
    if (target == nullptr) return;
    const std::int32_t n = std::min(room, count);
    convertChannel(target, pcm, storeChannels, channel, from, n);
    at += n;
    from += n;
    count -= n;
  }
}

void SampleLoader::redrawOverview(std::int32_t total) {
  unsigned char* target = overviewPixels.load();
  if (target == nullptr || !hasOwner()) return;
  // Drawn aside and copied whole, so the editor never shows a half-cleared picture.
  paintOverview(overviewScratch, 0, 0, total);
  paintOverview(overviewScratch, 0, total, total);
  std::memcpy(target, overviewScratch, sizeof overviewScratch);
}

void SampleLoader::yieldToOthers() {
  if (inBackground) platform::yieldThread();
}

void SampleLoader::warnTooBig() { platform::showWarning("Loading canceled, file too big", "Vintrove"); }

void SampleLoader::reportLength(std::int32_t frames) {
  StoreGate::ReadPass pass(reportGate);
  if (!pass) return;
  if (LoaderOwner* target = owner.load()) target->setLength(frames);
}

void SampleLoader::reportOutOfMemory(std::int32_t frames) {
  StoreGate::ReadPass pass(reportGate);
  if (!pass) return;
  if (LoaderOwner* target = owner.load()) target->outOfMemory(frames);
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
  // Completion first: a length read after it is the final one once it is set.
  const bool whole = complete.load();
  const std::int32_t decoded = decodedFrames.load();
  const bool ready =
      (whole || static_cast<std::int64_t>(decoded) >= static_cast<std::int64_t>(position) + frames) && decoded != 0;
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
  paintOverview(overviewPixels.load(), from, to, total);
}

void SampleLoader::paintOverview(unsigned char* pixels, std::int32_t from, std::int32_t to,
                                 std::int32_t total) {
  vintrove::drawOverview(pixels, from, to, total, sampleRate.load(), decodedFrames.load(),
                         channels.load(), SampleReader::of(samples));
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

void SampleLoader::trimStore(std::int32_t) {}

float* SampleLoader::writableSamples(int channel, std::int32_t at, std::int32_t& room) {
  return samples.writable(channel, at, room);
}

}  // namespace vintrove
