#include "validator.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "dialog_answerer.h"
#include "editor_window.h"
#include "effect_session.h"
#include "guarded_run.h"
#include "plugin_library.h"
#include "recording_host.h"
#include "validation_media.h"

namespace vintrove::testhost {

namespace {

constexpr std::int32_t kOpenX = 10;  // the editor's open button
constexpr std::int32_t kOpenY = 50;
constexpr float kUnwritten = std::numeric_limits<float>::quiet_NaN();
const float kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000, 88200, 96000, 176400, 192000};
const std::int32_t kBlocks[] = {1, 7, 16, 64, 100, 512, 1000, 4096, 8192};

using Report = ValidationReport;

std::string format(const char* pattern, double a = 0, double b = 0, double c = 0, double d = 0) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, a, b, c, d);
  return text;
}

// Output buffers as a strict host hands them over: prefilled with NaN, so that every sample the
// plug-in leaves unwritten shows.
class Outputs {
 public:
  explicit Outputs(std::int32_t frames)
      : left_(static_cast<std::size_t>(std::max(frames, 1))), right_(left_.size()), silent_(2 * left_.size()) {}
  float** prefilled(std::int32_t frames) {
    std::fill_n(left_.begin(), frames, kUnwritten);
    std::fill_n(right_.begin(), frames, kUnwritten);
    pointers_[0] = left_.data();
    pointers_[1] = right_.data();
    return pointers_;
  }
  float** inputs() {
    inputs_[0] = silent_.data();
    inputs_[1] = silent_.data() + left_.size();
    return inputs_;
  }
  const float* left() const { return left_.data(); }
  const float* right() const { return right_.data(); }

 private:
  std::vector<float> left_, right_, silent_;
  float* pointers_[2] = {};
  float* inputs_[2] = {};
};

// What a run of blocks produced.
struct Tally {
  long long frames = 0;
  long long unwritten = 0;
  long long notFinite = 0;
  long long abovePeak = 0;
  float loudest = 0.0f;

  void add(const float* left, const float* right, std::int32_t count, float peak) {
    for (const float* channel : {left, right}) {
      for (std::int32_t i = 0; i < count; ++i) {
        const float v = channel[i];
        if (std::isnan(v)) {
          ++unwritten;
        } else if (!std::isfinite(v)) {
          ++notFinite;
        } else {
          loudest = std::max(loudest, std::fabs(v));
          if (std::fabs(v) > peak * 1.0001f) ++abovePeak;
        }
      }
    }
    frames += count;
  }
  bool clean() const { return unwritten == 0 && notFinite == 0 && abovePeak == 0; }
  std::string describe() const {
    return format("%.0f frames, %.0f samples unwritten, %.0f not finite, %.0f above the file's peak", static_cast<double>(frames),
                  static_cast<double>(unwritten), static_cast<double>(notFinite), static_cast<double>(abovePeak));
  }
};

void renderBlock(EffectRecord* record, Outputs& out, std::int32_t frames, Tally& tally, float peak) {
  record->processReplacing(record, out.inputs(), out.prefilled(frames), frames);
  tally.add(out.left(), out.right(), frames, peak);
}

// Events records with any kind of event, as the host's events record lays them out.
class RawEvents {
 public:
  void add(std::int32_t type, std::uint8_t status, std::uint8_t data1, std::uint8_t data2, std::int32_t delta) {
    MidiEventRecord event;
    event.type = type;
    event.deltaFrames = delta;
    event.midiData[0] = status;
    event.midiData[1] = data1;
    event.midiData[2] = data2;
    events_.push_back(event);
  }
  void* record() {
    words_.assign(sizeof(EventsRecordHead) / sizeof(std::uintptr_t) + events_.size(), 0);
    const EventsRecordHead head{static_cast<std::int32_t>(events_.size()), 0};
    std::memcpy(words_.data(), &head, sizeof head);
    for (std::size_t i = 0; i < events_.size(); ++i) {
      words_[sizeof(EventsRecordHead) / sizeof(std::uintptr_t) + i] = reinterpret_cast<std::uintptr_t>(&events_[i]);
    }
    return words_.data();
  }
  void clear() { events_.clear(); }

 private:
  std::vector<MidiEventRecord> events_;
  std::vector<std::uintptr_t> words_;
};

// A random burst: note-ons, note-offs, note-ons of velocity 0, other messages and other event
// types, at random delta frames within the block.
void randomBurst(RawEvents& events, std::mt19937& random, std::int32_t block) {
  events.clear();
  std::uniform_int_distribution<int> kind(0, 5), note(0, 127), delta(0, std::max(block - 1, 0));
  const int count = std::uniform_int_distribution<int>(1, 12)(random);
  for (int i = 0; i < count; ++i) {
    const auto n = static_cast<std::uint8_t>(note(random));
    switch (kind(random)) {
      case 0: events.add(1, 0x90, n, 100, delta(random)); break;
      case 1: events.add(1, 0x80, n, 64, delta(random)); break;
      case 2: events.add(1, 0x90, n, 0, delta(random)); break;
      case 3: events.add(1, 0xB0, 7, n, delta(random)); break;
      case 4: events.add(6, 0xF0, n, n, delta(random)); break;  // a SysEx-like event type
      default: events.add(1, 0xE0, n, n, delta(random)); break;
    }
  }
}

// A session set up as a host does before playing.
void startSession(EffectSession& effect, float rate, std::int32_t block) {
  effect.open();
  effect.setSampleRate(rate);
  effect.setBlockSize(block);
  effect.resume();
}

// Loads a file through the editor's open button and its dialog; answers whether the dialog
// took the path.
bool loadThroughDialog(EditorWindow& window, const std::string& path) {
  DialogAnswerer answerer(DialogAnswer::confirm(path));
  window.clickAt(kOpenX, kOpenY);
  return answerer.wait();
}

bool playing(const EffectSession& effect) { return effect.getParameter(0) >= 0.5f; }

void instancesColdAndWarm(Report& report, const std::string& dll) {
  int made = 0;
  constexpr int kCold = 5;
  for (int i = 0; i < kCold; ++i) {
    PluginLibrary library(dll);
    EffectSession effect(library);
    if (!effect.valid()) continue;
    startSession(effect, 44100.0f, 512);
    effect.close();
    ++made;
  }
  report.line(made == kCold, "instances cold", format("%.0f of %.0f loads of the library made and closed an effect", made, kCold));

  PluginLibrary library(dll);
  constexpr int kWarm = 40;
  made = 0;
  Tally tally;
  Outputs out(512);
  for (int i = 0; i < kWarm; ++i) {
    EffectSession effect(library);
    if (!effect.valid()) continue;
    startSession(effect, 44100.0f, 512);
    renderBlock(effect.record(), out, 512, tally, 0.0f);
    if (i % 4 == 0) {
      EditorWindow window(effect);
      window.idleFor(30);
    }
    effect.close();
    ++made;
  }
  report.line(made == kWarm && tally.clean(), "instances warm",
              format("%.0f of %.0f effects opened, rendered and closed; ", made, kWarm) + tally.describe());

  constexpr int kTogether = 4;
  std::vector<std::unique_ptr<EffectSession>> effects;
  for (int i = 0; i < kTogether; ++i) {
    effects.push_back(std::make_unique<EffectSession>(library));
    startSession(*effects.back(), 48000.0f, 256);
  }
  Tally together;
  for (int block = 0; block < 200; ++block) {
    for (auto& effect : effects) {
      if (effect->valid()) renderBlock(effect->record(), out, 256, together, 0.0f);
    }
  }
  const bool allValid = std::all_of(effects.begin(), effects.end(), [](const auto& e) { return e->valid(); });
  effects.clear();
  report.line(allValid && together.clean(), "instances at once",
              format("%.0f effects rendering side by side; ", kTogether) + together.describe());
}

void namesAndParameters(Report& report, EffectSession& effect) {
  std::string problems;
  for (std::int32_t opcode : {45, 47, 48}) {
    char text[256] = {};
    const HostInt answer = effect.dispatch(opcode, 0, 0, text);
    const std::size_t length = strnlen(text, sizeof text);
    if (answer != 1 || length == 0 || length >= 64) problems += format("opcode %.0f answered %.0f with %.0f characters; ", opcode, static_cast<double>(answer), static_cast<double>(length));
  }
  const std::int32_t count = effect.record()->numParams;
  for (std::int32_t i = 0; i < count; ++i) {
    const std::string name = effect.parameterName(i);
    const std::string display = effect.parameterDisplay(i);
    const float value = effect.getParameter(i);
    if (name.empty() || name.size() >= 64) problems += "parameter " + std::to_string(i) + " has no usable name; ";
    if (display.empty() || display.size() >= 64) problems += "parameter " + std::to_string(i) + " has no usable display; ";
    if (!(value >= 0.0f && value <= 1.0f)) problems += "parameter " + std::to_string(i) + " lies outside 0..1; ";
  }
  report.line(problems.empty() && count > 0, "names and parameter texts",
              problems.empty() ? format("effect, vendor and product names, %.0f parameters with names, displays and values in 0..1", count) : problems);
}

// Values set through the host's parameter entry read back (the editor is open: the player's
// parameters act through its controls).
void parameterRoundTrips(Report& report, EffectSession& effect) {
  std::string problems;
  int trips = 0;
  auto trip = [&](std::int32_t index, float value, float expected, float tolerance) {
    effect.setParameter(index, value);
    const float back = effect.getParameter(index);
    ++trips;
    if (!(std::fabs(back - expected) <= tolerance)) {
      problems += format("parameter %.0f set %.4f read %.6f; ", index, value, back);
    }
  };
  for (float value : {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 0.5f}) trip(3, value, value, 1e-5f);
  trip(1, 1.0f, 1.0f, 0.0f);
  trip(1, 0.0f, 0.0f, 0.0f);
  const bool wasPlaying = playing(effect);
  effect.setParameter(0, 0.0f);
  trip(0, 0.0f, 0.0f, 0.0f);
  trip(0, 1.0f, 1.0f, 0.0f);
  for (float value : {0.5f, 0.25f, 0.0f}) trip(2, value, value, 1e-4f);
  const std::string display = effect.parameterDisplay(3);
  if (display != "0.000000") problems += "the pitch at 0.5 displays \"" + display + "\"; ";
  if (!wasPlaying) effect.setParameter(0, 0.0f);
  report.line(problems.empty(), "parameter round trips",
              problems.empty() ? format("%.0f values set and read back, displays follow", trips) : problems);
}

// Every rate with every block size through both rate opcodes: all samples written, finite and
// within the file's peak, and the position after the same time the same for every block size.
void ratesAndBlocks(Report& report, EffectSession& effect, EditorWindow& window, const ValidationMedia& media,
                    double seconds) {
  Outputs out(8192);
  for (std::int32_t opcode : {10, 43}) {
    Tally tally;
    double worstFrames = 0.0, worstSpeed = 0.0;
    std::string where, speedWhere;
    for (float rate : kRates) {
      double first = -1.0;
      for (std::int32_t block : kBlocks) {
        if (opcode == 10) {
          effect.dispatch(10, 0, 0, nullptr, rate);
          effect.dispatch(11, 0, block);
        } else {
          effect.dispatch(43, 0, block, nullptr, rate);
        }
        effect.suspend();
        effect.resume();  // back to frame 0
        const auto total = static_cast<long long>(seconds * rate);
        for (long long done = 0; done < total; done += block) {
          const auto frames = static_cast<std::int32_t>(std::min<long long>(block, total - done));
          renderBlock(effect.record(), out, frames, tally, media.peak());
        }
        window.pump();
        const double at = effect.getParameter(2) * static_cast<double>(media.longToneFrames());
        if (first < 0.0) first = at;
        if (std::fabs(at - first) > worstFrames) {
          worstFrames = std::fabs(at - first);
          where = format(" (at %.0f Hz, %.0f-frame blocks)", rate, block);
        }
        // At pitch 0 the file's own speed: a 44100 Hz file advances 44100 / rate frames a frame.
        const double expected = std::floor(static_cast<double>(total) * static_cast<float>(44100.0 / rate));
        if (std::fabs(at - expected) > worstSpeed) {
          worstSpeed = std::fabs(at - expected);
          speedWhere = format(" (at %.0f Hz, %.0f-frame blocks: %.0f instead of %.0f)", rate, block, at, expected);
        }
      }
    }
    const bool playingStill = playing(effect);
    // One frame, and what the position parameter's float can tell apart.
    const double slack = 1.0 + static_cast<double>(media.longToneFrames()) * 1.2e-7;
    if (worstFrames <= slack) where.clear();
    if (worstSpeed <= slack) speedWhere.clear();
    report.line(tally.clean() && worstFrames <= slack && worstSpeed <= slack && playingStill,
                "rates 8000-192000 Hz and blocks 1-8192 through opcode " + std::to_string(opcode),
                tally.describe() + format("; positions after %.1f s differ by at most %.2f frames", seconds, worstFrames) + where +
                    format(" and from the file's own speed by at most %.2f", worstSpeed) + speedWhere +
                    (playingStill ? "" : "; playback stopped"));
  }
  effect.dispatch(10, 0, 0, nullptr, 44100.0f);
  effect.dispatch(11, 0, 512);
}

// The audio thread renders in 32-frame steps with a random parameter change before each and MIDI
// bursts; a second thread changes parameters at the same time; this thread opens and closes the
// editor meanwhile.
void automationAndEditor(Report& report, EffectSession& effect, std::unique_ptr<EditorWindow>& window,
                         const ValidationMedia& media, double seconds) {
  std::atomic<bool> done{false};
  std::atomic<bool> editorDone{false};
  std::atomic<long long> changes{0}, bursts{0};
  Tally tally;
  std::thread audio([&] {
    std::mt19937 random(1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<int> parameter(0, 3);
    Outputs out(512);
    RawEvents events;
    const auto total = static_cast<long long>(seconds * 44100.0);
    for (long long at = 0; at < total || !editorDone.load(); at += 512) {
      if (random() % 4 == 0) {
        randomBurst(events, random, 512);
        effect.dispatch(25, 0, 0, events.record());
        ++bursts;
      }
      for (std::int32_t step = 0; step < 512; step += 32) {
        effect.setParameter(parameter(random), unit(random));
        ++changes;
        effect.record()->processReplacing(effect.record(), out.inputs(), out.prefilled(32), 32);
        tally.add(out.left(), out.right(), 32, media.peak());
      }
    }
    done.store(true);
  });
  std::thread second([&] {
    std::mt19937 random(2);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    while (!done.load()) {
      effect.setParameter(static_cast<std::int32_t>(random() % 4), unit(random));
      ++changes;
      effect.getParameter(static_cast<std::int32_t>(random() % 4));
      Sleep(0);
    }
  });
  int openings = 0;
  for (; openings < 6; ++openings) {
    window.reset();
    window = std::make_unique<EditorWindow>(effect);
    window->idleFor(60);
  }
  editorDone.store(true);
  while (!done.load()) window->idleFor(10);
  audio.join();
  second.join();
  bool inRange = true;
  for (std::int32_t i = 0; i < 4; ++i) {
    const float v = effect.getParameter(i);
    inRange = inRange && v >= 0.0f && v <= 1.0f;
  }
  report.line(tally.clean() && inRange && window->isOpen(), "automation, MIDI and the editor while rendering",
              format("%.0f parameter changes, %.0f MIDI bursts, %.0f editor openings; ", static_cast<double>(changes.load()),
                     static_cast<double>(bursts.load()), openings) + tally.describe());
}

// Files of every kind chosen while the audio thread renders, then the effect closed during a load.
void loadsWhileRendering(Report& report, EffectSession& effect, EditorWindow& window, const ValidationMedia& media) {
  std::atomic<bool> done{false};
  Tally tally;
  std::thread audio([&] {
    Outputs out(256);
    while (!done.load()) {
      effect.record()->processReplacing(effect.record(), out.inputs(), out.prefilled(256), 256);
      tally.add(out.left(), out.right(), 256, media.peak());
    }
  });
  const std::string files[] = {media.randomBytes(), media.shortTone(), media.emptyFile(), media.truncatedTone(),
                               media.longTone(), media.emptyFile(), media.shortTone(), media.randomBytes()};
  int answered = 0;
  DWORD longest = 0;
  for (const std::string& file : files) {
    const DWORD began = GetTickCount();
    if (loadThroughDialog(window, file)) ++answered;
    longest = std::max(longest, GetTickCount() - began);
    window.idleFor(150);
  }
  // The good file plays again at the end.
  effect.setParameter(0, 0.0f);
  const bool answeredLast = loadThroughDialog(window, media.shortTone());
  const bool playsAgain = window.idleUntil([&] { return playing(effect); }, 2000);
  done.store(true);
  audio.join();
  const int expected = static_cast<int>(std::size(files));
  report.line(answered == expected && answeredLast && playsAgain && tally.clean(), "good, bad, empty and truncated files while rendering",
              format("%.0f of %.0f dialogs answered, longest choice %.0f ms; ", answered, expected, longest) +
                  (playsAgain ? "a good file plays afterwards; " : "a good file did not play afterwards; ") + tally.describe());
}

void closeDuringLoad(Report& report, const PluginLibrary& library, const ValidationMedia& media) {
  int closed = 0;
  DWORD longest = 0;
  constexpr int kTries = 3;
  for (int i = 0; i < kTries; ++i) {
    EffectSession effect(library);
    if (!effect.valid()) continue;
    startSession(effect, 44100.0f, 512);
    auto window = std::make_unique<EditorWindow>(effect);
    if (!loadThroughDialog(*window, media.longTone())) continue;
    window.reset();
    const DWORD began = GetTickCount();
    effect.close();
    longest = std::max(longest, GetTickCount() - began);
    ++closed;
  }
  report.line(closed == kTries && longest <= 1500, "closing the effect during a load",
              format("%.0f of %.0f effects closed right after choosing a file, the longest close took %.0f ms", closed, kTries, longest));
}

void badHostInput(Report& report, EffectSession& effect, const ValidationMedia& media) {
  Outputs out(512);
  std::string problems;
  Tally tally;
  const float rates[] = {0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(), 1e9f, std::numeric_limits<float>::infinity()};
  for (std::int32_t opcode : {10, 43}) {
    for (float rate : rates) {
      if (opcode == 10) {
        effect.dispatch(10, 0, 0, nullptr, rate);
      } else {
        effect.dispatch(43, 0, 512, nullptr, rate);
      }
      for (int i = 0; i < 8; ++i) renderBlock(effect.record(), out, 512, tally, media.peak());
    }
  }
  effect.dispatch(10, 0, 0, nullptr, 44100.0f);
  for (std::int32_t size : {0, -1, -4096}) {
    effect.dispatch(11, 0, size);
    effect.dispatch(43, 0, size, nullptr, 44100.0f);
    float** outputs = out.prefilled(16);
    effect.record()->processReplacing(effect.record(), out.inputs(), outputs, size);
    effect.record()->process(effect.record(), out.inputs(), outputs, size);
    for (int i = 0; i < 16; ++i) {
      if (!std::isnan(out.left()[i]) || !std::isnan(out.right()[i])) {
        problems += format("a block of %.0f frames wrote output; ", size);
        break;
      }
    }
  }
  effect.dispatch(11, 0, 512);
  float* missing[2] = {nullptr, nullptr};
  effect.record()->processReplacing(effect.record(), out.inputs(), nullptr, 512);
  effect.record()->processReplacing(effect.record(), out.inputs(), missing, 512);
  effect.record()->process(effect.record(), nullptr, nullptr, 512);
  const HostInt events = effect.dispatch(25, 0, 0, nullptr);
  if (events != 1) problems += format("events with a null record answered %.0f; ", static_cast<double>(events));
  effect.suspend();
  effect.resume();
  effect.setParameter(0, 1.0f);
  Tally after;
  for (int i = 0; i < 40; ++i) renderBlock(effect.record(), out, 512, after, media.peak());
  if (after.loudest <= 0.0f) problems += "no sound at 44100 Hz afterwards; ";
  report.line(problems.empty() && tally.clean() && after.clean(), "bad host input",
              problems.empty() ? "rates 0, negative, NaN, infinite and huge, blocks 0 and negative, null outputs and events: " +
                                     tally.describe() + "; sound again at 44100 Hz"
                               : problems + tally.describe());
}

// The counting build counts the allocations and the locks and waits of the thread it watches;
// the audio path must make none. Creating an effect and choosing a file on the watched thread
// first shows that the counting works.
void allocationsOnTheAudioPath(Report& report, const std::string& dll, const ValidationMedia& media, double seconds) {
  const std::string name = "no allocation and no lock on the audio path";
  PluginLibrary library(dll);
  const HMODULE module = library.loaded() ? library.module() : nullptr;
  auto exported = [&](const char* symbol) {
    return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, symbol)) : nullptr;
  };
  using Watch = void(__cdecl*)(int);
  using Count = long(__cdecl*)();
  using Flag = int(__cdecl*)();
  const auto watch = reinterpret_cast<Watch>(exported("vintroveWatch"));
  const auto allocations = reinterpret_cast<Count>(exported("vintroveAllocations"));
  const auto locks = reinterpret_cast<Count>(exported("vintroveLocks"));
  const auto importsCounted = reinterpret_cast<Flag>(exported("vintroveCountsImports"));
  if (watch == nullptr || allocations == nullptr || locks == nullptr || importsCounted == nullptr) {
    report.line(false, name, dll + " is not the allocation-counting build (vintrove_counting.dll)");
    return;
  }
  watch(1);
  auto effect = std::make_unique<EffectSession>(library);
  startSession(*effect, 48000.0f, 512);
  auto window = std::make_unique<EditorWindow>(*effect);
  const bool chosen = loadThroughDialog(*window, media.longTone());
  watch(0);
  const long controlAllocations = allocations();
  const long controlLocks = locks();
  const bool loaded = chosen && window->idleUntil([&] { return playing(*effect); }, 2000);
  window->idleFor(300);
  effect->setParameter(1, 1.0f);  // loop, so that the file plays throughout
  std::atomic<bool> done{false};
  std::atomic<long> counted{-1}, locked{-1};
  std::thread audio([&] {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    Outputs out(512);
    RawEvents events;
    randomBurst(events, random, 512);
    void* burst = events.record();  // built before counting starts
    EffectRecord* record = effect->record();
    watch(1);
    const auto total = static_cast<long long>(seconds * 48000.0);
    for (long long at = 0; at < total; at += 512) {
      record->processReplacing(record, out.inputs(), out.prefilled(512), 512);
      record->process(record, out.inputs(), out.prefilled(512), 512);
      record->setParameter(record, static_cast<std::int32_t>(random() % 4), unit(random));
      record->dispatcher(record, 25, 0, 0, burst, 0.0f);
    }
    watch(0);
    counted = allocations();
    locked = locks();
    done = true;
  });
  while (!done.load()) window->idleFor(20);
  audio.join();
  window.reset();
  effect.reset();
  const bool counting = controlAllocations > 0 && controlLocks > 0 && importsCounted() == 1;
  report.line(counting && loaded && counted.load() == 0 && locked.load() == 0, name,
              !counting ? format("the counting build counted %.0f allocations and %.0f locks while an effect was made and a file chosen", controlAllocations, controlLocks)
              : !loaded ? std::string("the file did not load")
                        : format("%.0f allocations and %.0f locks or waits during processReplacing, process, setParameter and processEvents "
                                 "(creating an effect and choosing a file counted %.0f and %.0f)",
                                 counted.load(), locked.load(), controlAllocations, controlLocks));
}

void blockTimes(Report& report, EffectSession& effect, EditorWindow& window, const ValidationMedia& media) {
  effect.dispatch(10, 0, 0, nullptr, 48000.0f);
  const bool loaded = loadThroughDialog(window, media.longTone()) && window.idleUntil([&] { return playing(effect); }, 2000);
  window.idleFor(300);
  effect.setParameter(1, 1.0f);
  effect.setParameter(3, 1.0f);  // +12 %: the stepped read
  Outputs out(512);
  LARGE_INTEGER frequency, before, after;
  QueryPerformanceFrequency(&frequency);
  std::vector<double> micros;
  micros.reserve(20000);
  Tally tally;
  for (int i = 0; i < 20000; ++i) {
    float** outputs = out.prefilled(512);
    QueryPerformanceCounter(&before);
    effect.record()->processReplacing(effect.record(), out.inputs(), outputs, 512);
    QueryPerformanceCounter(&after);
    tally.add(out.left(), out.right(), 512, media.peak());
    micros.push_back(static_cast<double>(after.QuadPart - before.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart));
  }
  std::sort(micros.begin(), micros.end());
  const double median = micros[micros.size() / 2];
  const double high = micros[micros.size() * 999 / 1000];
  report.note("processReplacing time per 512-frame block at 48000 Hz, pitch +12 %" + std::string(loaded ? "" : " (the file did not load)"),
              format("median %.2f us, 99.9th percentile %.2f us, longest %.2f us (a block lasts %.0f us), ", median, high,
                     micros.back(), 512.0 / 48000.0 * 1e6) + format("loudest sample %.3f", tally.loudest));
}

// The effect the tests share, made by main; its record is checked before anything is called
// through it. Null when it may not be used.
std::unique_ptr<EffectSession> checkedEffect(Report& report, GuardedRunner& runner, const PluginLibrary& library) {
  std::unique_ptr<EffectSession> effect;
  if (!runner.run("effect record", [&] { effect = std::make_unique<EffectSession>(library); })) return nullptr;
  const bool usable = effect->valid();
  report.line(usable, "effect record",
              usable ? "magic, entry points and counts as a host needs them"
                     : effect->refusal() + "; nothing is called through it");
  if (!usable) effect.reset();
  return effect;
}

}  // namespace

int runValidation(const ValidationOptions& options) {
  Report report("validate");
  // Each test runs guarded: whatever the plug-in does inside one ends as that test's FAIL line.
  GuardedRunner runner(report);
  ValidationMedia media(std::max(2.0, options.seconds * 6.0 + 2.0));
  PluginLibrary library(options.dll);
  if (!library.loaded() || !media.ready()) {
    report.line(false, "setup", library.loaded() ? "the test files could not be written" : library.error());
    return report.finish();
  }
  std::printf("validating %s, %.1f s per run\n", options.dll.c_str(), options.seconds);
  RecordingHost host;
  std::unique_ptr<EffectSession> effect = checkedEffect(report, runner, library);
  if (!effect) return report.finish();
  runner.run("instances", [&] { instancesColdAndWarm(report, options.dll); });

  std::unique_ptr<EditorWindow> window;
  bool loaded = false;
  runner.run("names and parameter texts", [&] {
    startSession(*effect, 44100.0f, 512);
    namesAndParameters(report, *effect);
  });
  runner.run("loading through the editor's dialog", [&] {
    window = std::make_unique<EditorWindow>(*effect);
    const bool opened = window->isOpen();
    loaded = opened && loadThroughDialog(*window, media.longTone()) &&
             window->idleUntil([&] { return playing(*effect); }, 2000);
    window->idleFor(300);  // the long tone is decoded well before the end of a run
    report.line(loaded, "loading through the editor's dialog",
                opened ? (loaded ? "the long tone plays" : "the long tone did not start") : "the editor did not open");
  });
  if (loaded) {
    runner.run("parameter round trips", [&] {
      parameterRoundTrips(report, *effect);
      effect->setParameter(1, 0.0f);
      effect->setParameter(3, 0.5f);
    });
    runner.run("rates and blocks", [&] { ratesAndBlocks(report, *effect, *window, media, options.seconds); });
    runner.run("automation, MIDI and the editor while rendering",
               [&] { automationAndEditor(report, *effect, window, media, options.seconds); });
    runner.run("good, bad, empty and truncated files while rendering", [&] {
      effect->setParameter(3, 0.5f);
      loadsWhileRendering(report, *effect, *window, media);
    });
    runner.run("bad host input", [&] { badHostInput(report, *effect, media); });
    runner.run("processReplacing time", [&] { blockTimes(report, *effect, *window, media); });
  }
  // The state chunk's round trip (opcodes 23 and 24) belongs here once the plug-in offers one.
  runner.run("closing the effect", [&] {
    window.reset();
    effect->close();
  });
  runner.run("closing the effect during a load", [&] { closeDuringLoad(report, library, media); });
  runner.run("no allocation and no lock on the audio path", [&] {
    allocationsOnTheAudioPath(report, options.countingDll.empty() ? options.dll : options.countingDll, media,
                              options.seconds);
  });
  return report.finish();
}

}  // namespace vintrove::testhost
