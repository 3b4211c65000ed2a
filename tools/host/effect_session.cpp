#include "effect_session.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "record_check.h"
#include "recording_host.h"

namespace vintrove::testhost {

MidiEventList::MidiEventList(const std::vector<MidiMessage>& messages) {
  events_.resize(messages.size());
  for (std::size_t i = 0; i < messages.size(); ++i) {
    MidiEventRecord& event = events_[i];
    event.deltaFrames = messages[i].deltaFrames;
    event.midiData[0] = messages[i].status;
    event.midiData[1] = messages[i].data1;
    event.midiData[2] = messages[i].data2;
  }
  constexpr std::size_t kHeadWords = sizeof(EventsRecordHead) / sizeof(std::uintptr_t);
  static_assert(sizeof(EventsRecordHead) % sizeof(std::uintptr_t) == 0);
  words_.assign(kHeadWords + events_.size(), 0);
  const EventsRecordHead head{static_cast<std::int32_t>(events_.size()), 0};
  std::memcpy(words_.data(), &head, sizeof head);
  for (std::size_t i = 0; i < events_.size(); ++i) {
    words_[kHeadWords + i] = reinterpret_cast<std::uintptr_t>(&events_[i]);
  }
}

float StereoBuffer::peak() const {
  float highest = 0.0f;
  for (float s : left) highest = std::max(highest, std::fabs(s));
  for (float s : right) highest = std::max(highest, std::fabs(s));
  return highest;
}

EffectSession::EffectSession(const PluginLibrary& library) {
  EffectRecord* made = library.createEffect(&RecordingHost::callback);
  refusal_ = recordProblems(made);
  if (refusal_.empty()) record_ = made;
}

EffectSession::~EffectSession() {
  // A plug-in that throws from its close is let go all the same.
  try {
    close();
  } catch (...) {
  }
}

HostInt EffectSession::dispatch(std::int32_t opcode, std::int32_t index, HostInt value, void* ptr,
                                float opt) {
  if (record_ == nullptr) return 0;
  return record_->dispatcher(record_, opcode, index, value, ptr, opt);
}

HostInt EffectSession::open() { return dispatch(0); }

void EffectSession::setSampleRate(float rate) {
  sampleRate_ = rate;
  dispatch(10, 0, 0, nullptr, rate);
}

void EffectSession::setBlockSize(std::int32_t frames) {
  blockSize_ = frames;
  dispatch(11, 0, frames);
}

void EffectSession::resume() { dispatch(12, 0, 1); }
void EffectSession::suspend() { dispatch(12, 0, 0); }

void EffectSession::setParameter(std::int32_t index, float value) {
  if (record_ != nullptr) record_->setParameter(record_, index, value);
}

float EffectSession::getParameter(std::int32_t index) const {
  return record_ != nullptr ? record_->getParameter(record_, index) : 0.0f;
}

namespace {
// Far larger than any text the interface promises, so an overlong answer cannot overrun it.
constexpr std::size_t kTextBuffer = 512;
}  // namespace

std::string EffectSession::parameterName(std::int32_t index) {
  char text[kTextBuffer] = {};
  dispatch(8, index, 0, text);
  text[kTextBuffer - 1] = '\0';
  return text;
}

std::string EffectSession::parameterDisplay(std::int32_t index) {
  char text[kTextBuffer] = {};
  dispatch(7, index, 0, text);
  text[kTextBuffer - 1] = '\0';
  return text;
}

void EffectSession::processReplacing(float* left, float* right, std::int32_t frames) {
  if (record_ == nullptr || frames <= 0) return;
  const auto count = static_cast<std::size_t>(frames);
  if (silentInput_.size() < 2 * count) silentInput_.assign(2 * count, 0.0f);
  std::fill(left, left + count, 0.0f);
  std::fill(right, right + count, 0.0f);
  float* inputs[2] = {silentInput_.data(), silentInput_.data() + count};
  float* outputs[2] = {left, right};
  record_->processReplacing(record_, inputs, outputs, frames);
}

void EffectSession::render(std::int32_t frames, StereoBuffer& out) {
  const auto count = static_cast<std::size_t>(std::max(frames, 0));
  out.left.assign(count, 0.0f);
  out.right.assign(count, 0.0f);
  const std::int32_t block = std::max(blockSize_, 1);
  for (std::int32_t done = 0; done < frames; done += block) {
    const std::int32_t n = std::min(block, frames - done);
    processReplacing(out.left.data() + done, out.right.data() + done, n);
  }
}

HostInt EffectSession::sendMidi(const std::vector<MidiMessage>& messages) {
  MidiEventList list(messages);
  return dispatch(25, 0, 0, list.record());
}

HostInt EffectSession::noteOn(std::uint8_t note, std::uint8_t velocity, std::uint8_t channel) {
  return sendMidi({MidiMessage::noteOn(note, velocity, channel)});
}

std::vector<unsigned char> EffectSession::getChunk(bool isPreset) {
  void* data = nullptr;
  const HostInt size = dispatch(23, isPreset ? 1 : 0, 0, &data);
  if (size <= 0 || data == nullptr) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

HostInt EffectSession::setChunk(std::vector<unsigned char> bytes, bool isPreset) {
  // A host hands over its own copy; an empty one still gets a valid address.
  bytes.reserve(1);
  return dispatch(24, isPreset ? 1 : 0, static_cast<HostInt>(bytes.size()), bytes.data());
}

bool EffectSession::hasEditor() const { return record_ != nullptr && (record_->flags & kFlagHasEditor) != 0; }

bool EffectSession::editorRect(EditorRectangle& out) {
  EditorRectangle* given = nullptr;
  if (dispatch(13, 0, 0, &given) == 0 || given == nullptr) return false;
  out = *given;
  return true;
}

HostInt EffectSession::openEditor(HWND parent) {
  if (record_ == nullptr) return 0;
  editorOpen_ = true;
  return dispatch(14, 0, 0, parent);
}

void EffectSession::closeEditor() {
  if (!editorOpen_) return;
  editorOpen_ = false;
  dispatch(15);
}

void EffectSession::idleEditor() {
  if (editorOpen_) dispatch(19);
}

void EffectSession::close() {
  if (record_ == nullptr) return;
  closeEditor();
  closeLeavingTheEditor();
}

void EffectSession::closeLeavingTheEditor() {
  if (record_ == nullptr) return;
  EffectRecord* closing = record_;
  record_ = nullptr;
  editorOpen_ = false;
  closing->dispatcher(closing, 1, 0, 0, nullptr, 0.0f);
}

}  // namespace vintrove::testhost
