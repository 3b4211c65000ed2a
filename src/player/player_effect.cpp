#include "player/player_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "host/effect_record.h"
#include "player/midi_keys.h"

namespace vintrove {

namespace {

constexpr std::int32_t kParameterCount = 5;
constexpr float kPitchToParameter = 0.041666668f;  // 1 / 24

// Copies at most capacity - 1 characters and always terminates; a longer text is cut.
void copyText(char* destination, const char* source, std::size_t capacity) {
  if (destination == nullptr || capacity == 0) return;
  std::size_t length = 0;
  if (source != nullptr) {
    while (length + 1 < capacity && source[length] != '\0') ++length;
    std::memcpy(destination, source, length);
  }
  destination[length] = '\0';
}

// Names the host reads into buffers of the format's sizes, terminator included.
constexpr std::size_t kEffectNameCapacity = 32;
constexpr std::size_t kVendorTextCapacity = 64;

bool putName(char* text, const char* name, std::size_t capacity) {
  if (text == nullptr) return false;
  copyText(text, name, capacity);
  return true;
}

}  // namespace

PlayerEffect::PlayerEffect(HostCallback callback, PlayerEditorFactory makeEditor)
    : ExtendedEffect(callback, 1, kParameterCount) {
  setNumInputs(0);
  setNumOutputs(2);
  canMono(true);
  isSynth(true);
  programsAreChunks(true);
  copyText(programName, "Default", sizeof programName);
  fileName[0] = '\0';
  if (makeEditor != nullptr) {
    // No catch: without its editor the player would ignore host parameters and MIDI, so a
    // factory that throws fails the effect's creation (main answers null).
    PlayerEditorHandle handle = makeEditor(*this);
    port = handle.port;
    attachEditor(std::move(handle.editor));
  }
  loader = makeLoader<ClusterSampleLoader>(this);
  setUniqueID(fourCharacters('V', 't', 'r', 'v'));
  canProcessReplacing(true);
  position.store(0);
  length.store(0);
  pitch.store(1.0f);
  loop.store(false);
  playing.store(false);
  framesSinceDisplay.store(0);
}

PlayerEffect::~PlayerEffect() {
  // Reports in progress end before the loader pointer changes: they read it. Then the loader
  // stops its decoding thread, which reports to the editor, before the editor goes.
  if (loader != nullptr) loader->detachOwner();
  loader.reset();
}

void PlayerEffect::setParameter(std::int32_t index, float value) {
  // A host value is a value: clamped to 0..1, so that it sets its control and never reads as
  // one of the MIDI keys' step commands; NaN and infinities carry no value at all.
  if (!std::isfinite(value)) return;
  value = std::clamp(value, 0.0f, 1.0f);
  // Smooth has no control on the editor: the host's value applies directly.
  if (index == kSmoothParameter) {
    setSmooth(value >= 0.5f);
    return;
  }
  if (port == nullptr) return;
  switch (index) {
    case 0:
      port->command(kPlayTag, value != 0.0f ? 1.0f : 0.0f);
      break;
    case 1:
      port->command(kLoopTag, value != 0.0f ? 1.0f : 0.0f);
      break;
    case 2:
      port->command(kPositionTag, value);
      break;
    case 3:
      port->command(kPitchTag, value);
      break;
    default:
      break;
  }
}

float PlayerEffect::getParameter(std::int32_t index) {
  switch (index) {
    case 0:
      return playing.load() ? 1.0f : 0.0f;
    case 1:
      return loop.load() ? 1.0f : 0.0f;
    case 2:
      return positionFraction();
    case 3:
      return pitch.load() * kPitchToParameter + 0.5f;
    case kSmoothParameter:
      return smooth.load() ? 1.0f : 0.0f;
    default:
      return 0.0f;
  }
}

void PlayerEffect::open() {}

void PlayerEffect::suspend() {}

// Hosts that resume on transport start rely on the rewind; hosts that restore a project resume
// right after the restore, before any block, and the restored position must survive that.
void PlayerEffect::resume() {
  if (restoredBeforeAnyBlock.load()) return;  // cleared by the first block rendered
  position.store(0);
}

void PlayerEffect::setSampleRate(float rate) {
  ExtendedEffect::setSampleRate(rate);
  hostSampleRate.store(rate);
}

void PlayerEffect::setBlockSizeAndSampleRate(std::int32_t size, float rate) {
  ExtendedEffect::setBlockSizeAndSampleRate(size, rate);
  hostSampleRate.store(rate);
}

float PlayerEffect::positionFraction() const {
  const std::int32_t frames = length.load();
  if (frames <= 0) return 0.0f;
  // The length can shrink under the position (the estimate, then the exact length).
  const std::int32_t at = std::min(wholePart(position.load()), frames);
  return static_cast<float>(at) / static_cast<float>(frames);
}

void PlayerEffect::setProgramName(char* name) {
  if (name != nullptr) copyText(programName, name, sizeof programName);
}

void PlayerEffect::getProgramName(char* name) { copyText(name, programName, sizeof programName); }

void PlayerEffect::getParameterLabel(std::int32_t index, char* label) {
  if (label != nullptr && index >= 0 && index < kParameterCount) label[0] = '\0';
}

void PlayerEffect::getParameterDisplay(std::int32_t index, char* text) {
  if (text == nullptr) return;
  switch (index) {
    case 0:
      copyText(text, playing.load() ? "yes" : "no", kParameterTextCapacity);
      break;
    case 1:
      copyText(text, loop.load() ? "yes" : "no", kParameterTextCapacity);
      break;
    case 2:
      std::snprintf(text, kParameterTextCapacity, "%3f", static_cast<double>(getParameter(2)));
      break;
    case 3:
      std::snprintf(text, kParameterTextCapacity, "%1f", static_cast<double>(pitch.load()));
      break;
    case kSmoothParameter:
      copyText(text, smooth.load() ? "yes" : "no", kParameterTextCapacity);
      break;
    default:
      break;
  }
}

void PlayerEffect::getParameterName(std::int32_t index, char* text) {
  static constexpr const char* kNames[kParameterCount] = {"Playing", "Loop", "Position", "Pitch",
                                                          "Smooth"};
  if (text != nullptr && index >= 0 && index < kParameterCount) {
    copyText(text, kNames[index], kParameterTextCapacity);
  }
}

std::int32_t PlayerEffect::processEvents(void* events) {
  if (port == nullptr) return 1;
  // Each key moves the controls (and through them the transport) now; the block replays the
  // change at the key's frame. A full queue lets the key act from the block's start.
  forEachKeyCommand(events, [this](std::int32_t tag, float value, std::int32_t deltaFrames) {
    TransportChange change;
    change.frame = deltaFrames;
    change.generation = loader != nullptr ? loader->loadGeneration() : 0;
    change.before = transportNow();
    port->command(tag, value);
    change.after = transportNow();
    change.fields = changedFields(change.before, change.after);
    if (change.fields != 0) keyChanges.push(change);
  });
  return 1;
}

bool PlayerEffect::getEffectName(char* text) {
  return putName(text, "Vintrove (clusters)", kEffectNameCapacity);
}

bool PlayerEffect::getVendorString(char* text) { return putName(text, "Orlanbeck", kVendorTextCapacity); }

bool PlayerEffect::getProductString(char* text) { return putName(text, "Vintrove", kVendorTextCapacity); }

// MIDI is the transport: a strict host sends an instrument events only when it says it takes
// them. It sends none itself.
std::int32_t PlayerEffect::canDo(const char* text) {
  if (text == nullptr) return 0;
  if (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0) return 1;
  if (std::strcmp(text, "sendVstEvents") == 0 || std::strcmp(text, "sendVstMidiEvent") == 0) return -1;
  return 0;
}

std::int32_t PlayerEffect::getVendorVersion() { return 4; }

void PlayerEffect::setPlaying(bool state) { playing.store(state); }

void PlayerEffect::setLoop(bool state) { loop.store(state); }

void PlayerEffect::setSmooth(bool state) { smooth.store(state); }

void PlayerEffect::setPosition(float fraction) {
  if (!(fraction >= 0.0f)) fraction = 0.0f;
  if (fraction > 1.0f) fraction = 1.0f;
  const std::int32_t frames = length.load();
  position.store(wholeFrames(static_cast<std::int32_t>(static_cast<double>(frames) * fraction)));
  if (frames > 0) refreshPositionDisplay();
}

void PlayerEffect::setPitch(float value) {
  if (std::isnan(value)) return;
  if (value < 0.0f) value = 0.0f;
  if (value > 1.0f) value = 1.0f;
  pitch.store((2.0f * value - 1.0f) * 12.0f);
}

void PlayerEffect::loadFile(const char* path) {
  std::lock_guard<platform::Lock> oneLoad(recall.loads);
  // The user's choice replaces a restore still waiting for its file, before the new file's
  // first report; a choice that does not start leaves the restore waiting.
  const bool restoreWaited = recall.waiting.exchange(false);
  if (!startLoading(path)) {
    recall.waiting.store(restoreWaited);
    return;
  }
  {
    std::lock_guard<platform::Lock> guard(recall.state);
    copyText(fileName, path, sizeof fileName);
  }
  playing.store(true);
  if (port != nullptr) port->showPlaying(true);
}

bool PlayerEffect::startLoading(const char* path) {
  if (loader != nullptr) {
    loader->setOverviewPixels(port != nullptr ? port->overviewBits() : nullptr,
                              port != nullptr ? port->overviewOwner() : nullptr);
  }
  // The loader refuses a null path and one too long for its buffer rather than cutting it; a
  // start that fails changes nothing of the playing file, and the position goes back to 0
  // inside the start only once the new file is open (loadBegins).
  const bool started = loader != nullptr && path != nullptr && loader->start(path);
  if (!started && port != nullptr) port->showNotFound();
  return started;
}

void PlayerEffect::getFileName(char* text) {
  std::lock_guard<platform::Lock> guard(recall.state);
  copyText(text, fileName, sizeof fileName);
}

void PlayerEffect::setLength(std::int32_t frames) {
  length.store(frames);
  if (frames <= 0) return;
  if (port != nullptr && loader != nullptr) {
    const std::int32_t rate = fileSampleRate();
    const float seconds =
        rate > 0 ? static_cast<float>(frames) / static_cast<float>(rate) : 0.0f;
    port->showFileInfo(loader->getBitRate(), seconds, loader->getChannels() >= 2);
  }
  refreshPositionDisplay();
  applyRecalledTransport(frames);
}

void PlayerEffect::loadingTick(std::int32_t) {
  if (port != nullptr) port->showLoadingProgress();
}

void PlayerEffect::outOfMemory(std::int32_t frames) {
  const std::int32_t rate = fileSampleRate();
  if (port != nullptr) port->showOutOfMemory(rate > 0 ? frames / rate : 0);
}

// The loader calls this inside start() while no read is in progress: the new file plays from
// its first frame, whatever the audio thread did with the position meanwhile.
void PlayerEffect::loadBegins() {
  position.store(0);
  framesSinceDisplay.store(0);
}

std::int32_t PlayerEffect::fileSampleRate() const {
  return loader != nullptr ? loader->getSampleRate() : 0;
}

void PlayerEffect::refreshPositionDisplay() {
  const std::int32_t frames = length.load();
  if (port == nullptr || frames <= 0) return;
  const std::int32_t at = std::min(wholePart(position.load()), frames);
  const std::int32_t rate = fileSampleRate();
  port->showPosition(positionFraction(), rate > 0 ? at / rate : 0);
}

}  // namespace vintrove
