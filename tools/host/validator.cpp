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
#include "gui_census.h"
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
// With Smooth on, the band-limited signal between the samples may pass the largest sample a
// little (for these tones well below 1 %).
void ratesAndBlocks(Report& report, EffectSession& effect, EditorWindow& window, const ValidationMedia& media,
                    double seconds, bool smooth) {
  effect.setParameter(4, smooth ? 1.0f : 0.0f);
  const float peak = media.peak() * (smooth ? 1.01f : 1.0f);
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
          renderBlock(effect.record(), out, frames, tally, peak);
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
                "rates 8000-192000 Hz and blocks 1-8192 through opcode " + std::to_string(opcode) +
                    (smooth ? " with Smooth on" : " with Smooth off"),
                tally.describe() + format("; positions after %.1f s differ by at most %.2f frames", seconds, worstFrames) + where +
                    format(" and from the file's own speed by at most %.2f", worstSpeed) + speedWhere +
                    (playingStill ? "" : "; playback stopped"));
  }
  effect.dispatch(10, 0, 0, nullptr, 44100.0f);
  effect.dispatch(11, 0, 512);
  effect.setParameter(4, 0.0f);
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
  // The good file plays again at the end, looping so that it still plays when looked at.
  effect.setParameter(0, 0.0f);
  effect.setParameter(1, 1.0f);
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

// The counting build counts, on the thread it watches, every call of the plug-in that can block
// or enter the system: allocations and frees, locks, waits, sleeps and yields, window messages,
// timers and painting, file calls. The audio path must make none. Creating an effect and choosing
// a file on the watched thread first shows that each kind is counted. The audio thread renders
// flat out, then in real time with the host's parameter changes far apart (an editor whose
// refresh stops when it is quiet would have to be woken), with MIDI and both render entries.
void allocationsOnTheAudioPath(Report& report, const std::string& dll, const ValidationMedia& media, double seconds) {
  const std::string name = "no allocation, lock, wait, window or file call on the audio path";
  PluginLibrary library(dll);
  const HMODULE module = library.loaded() ? library.module() : nullptr;
  auto exported = [&](const char* symbol) {
    return module != nullptr ? reinterpret_cast<void*>(GetProcAddress(module, symbol)) : nullptr;
  };
  using Watch = void(__cdecl*)(int);
  using Count = long(__cdecl*)();
  using Flag = int(__cdecl*)();
  using Name = const char*(__cdecl*)();
  const auto watch = reinterpret_cast<Watch>(exported("vintroveWatch"));
  const auto allocations = reinterpret_cast<Count>(exported("vintroveAllocations"));
  const auto locks = reinterpret_cast<Count>(exported("vintroveLocks"));
  const auto windowCalls = reinterpret_cast<Count>(exported("vintroveWindowCalls"));
  const auto fileCalls = reinterpret_cast<Count>(exported("vintroveFileCalls"));
  const auto firstCounted = reinterpret_cast<Name>(exported("vintroveFirstCounted"));
  const auto importsCounted = reinterpret_cast<Flag>(exported("vintroveCountsImports"));
  using SelfTest = unsigned(__cdecl*)();
  const auto selfTest = reinterpret_cast<SelfTest>(exported("vintroveCountingSelfTest"));
  if (watch == nullptr || allocations == nullptr || locks == nullptr || windowCalls == nullptr || fileCalls == nullptr ||
      firstCounted == nullptr || importsCounted == nullptr || selfTest == nullptr) {
    report.line(false, name, dll + " is not the allocation-counting build (vintrove_counting.dll)");
    return;
  }
  struct Counts {
    long allocations = -1, locks = -1, window = -1, files = -1;
    std::string first;
    bool none() const { return allocations == 0 && locks == 0 && window == 0 && files == 0; }
    bool all() const { return allocations > 0 && locks > 0 && window > 0 && files > 0; }
    std::string describe() const {
      return format("%.0f allocations or frees, %.0f locks, waits or sleeps, %.0f window calls, %.0f file calls", allocations, locks,
                    window, files) + (first.empty() ? "" : " (the first: " + first + ")");
    }
  };
  auto take = [&] {
    Counts c;
    c.allocations = allocations();
    c.locks = locks();
    c.window = windowCalls();
    c.files = fileCalls();
    const char* first = firstCounted();
    c.first = first != nullptr ? first : "";
    return c;
  };
  watch(1);
  auto effect = std::make_unique<EffectSession>(library);
  startSession(*effect, 48000.0f, 512);
  auto window = std::make_unique<EditorWindow>(*effect);
  const bool chosen = loadThroughDialog(*window, media.longTone());
  watch(0);
  const Counts control = take();
  const bool loaded = chosen && window->idleUntil([&] { return playing(*effect); }, 2000);
  window->idleFor(300);
  effect->setParameter(1, 1.0f);  // loop, so that the file plays throughout
  // Both ways of playing: Smooth interpolates and fades, Smooth off reads the stored samples.
  const bool smoothModes[2] = {true, false};
  Counts countedIn[2];
  for (int mode = 0; mode < 2; ++mode) {
    effect->setParameter(4, smoothModes[mode] ? 1.0f : 0.0f);
    effect->setParameter(0, 1.0f);
    std::atomic<bool> done{false};
    Counts counted;
    std::thread audio([&] {
      std::mt19937 random(3);
      std::uniform_real_distribution<float> unit(0.0f, 1.0f);
      Outputs out(512);
      RawEvents events;
      randomBurst(events, random, 512);
      void* burst = events.record();  // built before counting starts
      EffectRecord* record = effect->record();
      watch(1);  // counts from 0 again
      const auto total = static_cast<long long>(seconds * 48000.0);
      for (long long at = 0; at < total; at += 512) {
        record->processReplacing(record, out.inputs(), out.prefilled(512), 512);
        record->process(record, out.inputs(), out.prefilled(512), 512);
        record->setParameter(record, static_cast<std::int32_t>(random() % 4), unit(random));
        record->dispatcher(record, 25, 0, 0, burst, 0.0f);
      }
      // In real time, stopped: a block every 10 ms, a position change every 300 ms and nothing
      // else that the editor would show.
      record->setParameter(record, 0, 0.0f);
      const DWORD began = GetTickCount();
      for (int block = 0; GetTickCount() - began < static_cast<DWORD>(seconds * 1000.0) + 600; ++block) {
        record->processReplacing(record, out.inputs(), out.prefilled(512), 512);
        if (block % 30 == 29) record->setParameter(record, 2, unit(random));
        Sleep(10);
      }
      watch(0);
      counted = take();
      done = true;
    });
    while (!done.load()) window->idleFor(20);
    audio.join();
    countedIn[mode] = counted;
  }
  window.reset();
  effect.reset();
  // Calls of the counting build itself, each of a kind that is easy to miss.
  const unsigned missed = selfTest();
  const char* const missable[] = {"aligned new", "aligned delete", "an allocation inside the C runtime", "SleepEx",
                                  "WaitForMultipleObjectsEx", "SleepConditionVariableCS", "SleepConditionVariableSRW",
                                  "TryAcquireSRWLockExclusive", "TryAcquireSRWLockShared", "PostThreadMessageA"};
  std::string uncounted;
  for (std::size_t i = 0; i < std::size(missable); ++i) {
    if ((missed & (1u << i)) != 0) uncounted += std::string(uncounted.empty() ? "" : ", ") + missable[i];
  }
  const bool counting = control.all() && importsCounted() == 1 && uncounted.empty();
  for (int mode = 0; mode < 2; ++mode) {
    const Counts& counted = countedIn[mode];
    report.line(counting && loaded && counted.none(), name + (smoothModes[mode] ? " (Smooth on)" : " (Smooth off)"),
                !uncounted.empty() ? "the counting build does not count " + uncounted
                : !counting ? "the counting build did not count every kind while an effect was made and a file chosen: " + control.describe()
                : !loaded ? std::string("the file did not load")
                          : counted.describe() + " during processReplacing, process, setParameter and processEvents (creating an effect and choosing a file counted " +
                                control.describe() + ")");
  }
}

void blockTimes(Report& report, EffectSession& effect, EditorWindow& window, const ValidationMedia& media) {
  effect.dispatch(10, 0, 0, nullptr, 48000.0f);
  const bool loaded = loadThroughDialog(window, media.longTone()) && window.idleUntil([&] { return playing(effect); }, 2000);
  window.idleFor(300);
  effect.setParameter(1, 1.0f);
  effect.setParameter(3, 1.0f);  // +12 %: the stepped read
  for (bool smooth : {false, true}) {
    effect.setParameter(4, smooth ? 1.0f : 0.0f);
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
    report.note("processReplacing time per 512-frame block at 48000 Hz, pitch +12 %, Smooth " +
                    std::string(smooth ? "on" : "off") + (loaded ? "" : " (the file did not load)"),
                format("median %.2f us, 99.9th percentile %.2f us, longest %.2f us (a block lasts %.0f us), ", median, high,
                       micros.back(), 512.0 / 48000.0 * 1e6) + format("loudest sample %.3f", tally.loudest));
  }
}


// Host values are values: a continuous parameter takes the value clamped to 0..1, a switch the
// state the value names (set, never toggled), and NaN or an infinity changes nothing. Then both
// the audio thread and this (the GUI) thread send hostile values while the audio thread renders.
void hostValuesAreValues(Report& report, EffectSession& effect, EditorWindow& window, const ValidationMedia& media) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float hostile[] = {1.05f, 2.5f, 1e30f, -0.5f, -1e30f, nan, inf, -inf, 2.02f, 1.005f, 0.25f, 1.0f, 0.0f};
  std::string problems;
  int trips = 0;
  for (std::int32_t index : {2, 3}) {
    for (float value : hostile) {
      effect.setParameter(index, 0.5f);
      effect.setParameter(index, value);
      const float expected = std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.5f;
      const float back = effect.getParameter(index);
      ++trips;
      if (!(std::fabs(back - expected) <= 1e-4f)) {
        problems += format("parameter %.0f: 0.5 then %g read %.6f instead of %.4f; ", index, value, back, expected);
      }
    }
  }
  const bool wasPlaying = playing(effect);
  // Playing, Loop and Smooth are switches.
  for (std::int32_t index : {0, 1, 4}) {
    for (float start : {0.0f, 1.0f}) {
      for (float value : hostile) {
        effect.setParameter(index, start);
        effect.setParameter(index, value);
        const float back = effect.getParameter(index);
        ++trips;
        // NaN and infinities change nothing; 1 and above is on, 0 and below off; between, either.
        const bool named = !std::isfinite(value) ? back == start
                           : value >= 1.0f       ? back == 1.0f
                           : value <= 0.0f       ? back == 0.0f
                                                 : back == 0.0f || back == 1.0f;
        if (!named) {
          problems += format("switch %.0f: %.0f then %g read %g; ", index, start, value, back);
        }
      }
      effect.setParameter(index, start);
      effect.setParameter(index, start);
      if (effect.getParameter(index) != start) problems += format("switch %.0f set to %.0f twice reads otherwise; ", index, start);
    }
  }
  effect.setParameter(0, 1.0f);
  effect.setParameter(1, 1.0f);
  effect.setParameter(4, 0.0f);  // the peak check below holds for the stored samples

  std::atomic<bool> done{false};
  std::atomic<long long> sent{0};
  Tally tally;
  std::thread audio([&] {
    std::mt19937 random(11);
    Outputs out(64);
    for (int block = 0; block < 4000; ++block) {
      effect.record()->setParameter(effect.record(), static_cast<std::int32_t>(random() % 4), hostile[random() % std::size(hostile)]);
      ++sent;
      renderBlock(effect.record(), out, 64, tally, media.peak());
    }
    done.store(true);
  });
  std::mt19937 random(12);
  while (!done.load()) {
    for (int i = 0; i < 50; ++i) {
      effect.setParameter(static_cast<std::int32_t>(random() % 4), hostile[random() % std::size(hostile)]);
      ++sent;
    }
    window.idleFor(2);
  }
  audio.join();
  for (std::int32_t i = 0; i < 4; ++i) {
    const float v = effect.getParameter(i);
    if (!(v >= 0.0f && v <= 1.0f)) problems += format("parameter %.0f reads %g after the hostile values; ", i, v);
  }
  effect.setParameter(1, 0.0f);
  effect.setParameter(3, 0.5f);
  effect.setParameter(0, wasPlaying ? 1.0f : 0.0f);
  report.line(problems.empty() && tally.clean(), "host values are values",
              (problems.empty() ? format("%.0f values set and read back; ", trips) : problems) +
                  format("%.0f hostile values from the audio and GUI threads while rendering; ", static_cast<double>(sent.load())) +
                  tally.describe());
}

// The state record taken and given back from a host thread while the audio thread renders and
// this thread idles the editor; then, while nothing plays, records that are none refused with
// the state unchanged.
void stateWhilePlaying(Report& report, EffectSession& effect, EditorWindow& window, const ValidationMedia& media) {
  std::string problems;
  effect.setParameter(1, 1.0f);
  effect.setParameter(3, 0.75f);
  effect.setParameter(0, 1.0f);
  std::atomic<bool> done{false};
  Tally tally;
  std::thread audio([&] {
    Outputs out(256);
    while (!done.load()) renderBlock(effect.record(), out, 256, tally, media.peak());
  });
  std::atomic<bool> hostDone{false};
  std::atomic<int> accepted{0}, trips{0};
  std::thread host([&] {
    for (int i = 0; i < 5; ++i) {
      std::vector<unsigned char> record = effect.getChunk();
      ++trips;
      if (!record.empty() && effect.setChunk(record) == 1) ++accepted;
      Sleep(100);
    }
    hostDone.store(true);
  });
  window.idleUntil([&] { return hostDone.load(); }, 20000);
  host.join();
  const bool playsAgain = window.idleUntil([&] { return playing(effect); }, 3000);
  done.store(true);
  audio.join();
  if (accepted.load() != trips.load()) problems += format("%.0f of %.0f records given back were refused; ", trips.load() - accepted.load(), trips.load());
  if (!playsAgain) problems += "playback did not come back after the round trips; ";
  if (effect.getParameter(1) != 1.0f || std::fabs(effect.getParameter(3) - 0.75f) > 1e-4f) problems += "loop or pitch changed in the round trips; ";

  effect.setParameter(0, 0.0f);
  window.idleFor(50);
  const std::vector<unsigned char> before = effect.getChunk();
  std::mt19937 random(21);
  std::vector<std::vector<unsigned char>> garbage;
  for (std::size_t size : {std::size_t{1}, std::size_t{4}, std::size_t{16}, std::size_t{100}, before.size(), std::size_t{5000}}) {
    std::vector<unsigned char> bytes(size);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    garbage.push_back(bytes);
  }
  if (before.size() > 8) {
    garbage.emplace_back(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(before.size() / 2));  // cut short
    std::vector<unsigned char> wrongStart = before;
    for (int i = 0; i < 4; ++i) wrongStart[static_cast<std::size_t>(i)] ^= 0x5A;
    garbage.push_back(wrongStart);
  }
  int refused = 0;
  for (const auto& bytes : garbage) {
    if (effect.setChunk(bytes) == 0) ++refused;
  }
  window.idleFor(50);
  const std::vector<unsigned char> after = effect.getChunk();
  if (refused != static_cast<int>(garbage.size())) problems += format("%.0f of %.0f records that are none were accepted; ", garbage.size() - refused, garbage.size());
  if (after != before) problems += "the state changed after records that are none; ";
  effect.setParameter(1, 0.0f);
  effect.setParameter(3, 0.5f);
  effect.setParameter(0, 1.0f);
  report.line(problems.empty() && tally.clean(), "state records while playing and records that are none",
              (problems.empty() ? format("%.0f round trips from a host thread while rendering, %.0f records that are none refused; ", trips.load(), refused)
                                : problems) + tally.describe());
}

// The editor opened and closed 100 times while the audio thread renders: playback goes on and
// the process ends with the GDI objects and windows it began with.
void editorOpenedAndClosedWhilePlaying(Report& report, EffectSession& effect, std::unique_ptr<EditorWindow>& window,
                                       const ValidationMedia& media) {
  effect.setParameter(1, 1.0f);
  effect.setParameter(0, 1.0f);
  std::atomic<bool> done{false};
  Tally tally;
  std::thread audio([&] {
    Outputs out(256);
    while (!done.load()) renderBlock(effect.record(), out, 256, tally, media.peak());
  });
  window.reset();
  window = std::make_unique<EditorWindow>(effect);  // warm: the pictures' first loads
  window->idleFor(20);
  window.reset();
  const GuiCounts before = countGui();
  int opened = 0;
  for (int i = 0; i < 100; ++i) {
    window = std::make_unique<EditorWindow>(effect);
    if (window->isOpen()) ++opened;
    window->idleFor(i % 10 == 0 ? 40 : 3);
    window.reset();
  }
  const GuiCounts after = countGui();
  window = std::make_unique<EditorWindow>(effect);
  window->idleFor(20);
  const bool stillPlaying = playing(effect);
  done.store(true);
  audio.join();
  effect.setParameter(1, 0.0f);
  const bool same = before == after;
  report.line(opened == 100 && same && stillPlaying && tally.clean(), "the editor opened and closed 100 times while playing",
              format("%.0f of 100 openings; GDI objects %.0f before, %.0f after; ", opened, before.gdiObjects, after.gdiObjects) +
                  format("windows %.0f before, %.0f after; ", before.windows, after.windows) + (stillPlaying ? "still playing; " : "playback stopped; ") + tally.describe());
}

// The host closes the effect and releases the library from a timer of its own while the
// plug-in's file dialog is up, as hosts do when a project closes; then the library is loaded
// again and works.
void closingWhileTheDialogIsUp(Report& report, const std::string& dll) {
  bool closedDuringDialog = false;
  bool answered = false;
  {
    auto library = std::make_unique<PluginLibrary>(dll);
    auto effect = std::make_unique<EffectSession>(*library);
    startSession(*effect, 44100.0f, 512);
    EditorWindow window(*effect);
    window.runOnTimer(20, [&] {
      if (visibleFileDialogs() == 0) return false;
      closedDuringDialog = true;
      effect->close();
      library.reset();
      return true;
    });
    DialogAnswerer answerer(DialogAnswer::cancelAfter(800));
    window.clickAt(kOpenX, kOpenY);
    answered = answerer.wait();
    window.idleFor(200);
  }
  PluginLibrary again(dll);
  EffectSession effect(again);
  bool works = effect.valid();
  if (works) {
    startSession(effect, 44100.0f, 512);
    Outputs out(512);
    Tally tally;
    renderBlock(effect.record(), out, 512, tally, 0.0f);
    works = tally.clean();
  }
  report.line(closedDuringDialog && answered && works && visibleFileDialogs() == 0, "closing the effect while its file dialog is up",
              std::string(closedDuringDialog ? "closed and released from a host timer inside the dialog's loop" : "the dialog never came up") +
                  (answered ? "; the dialog went away" : "; the dialog was not answered") +
                  (works ? "; the library loads and renders again" : "; the library did not work again"));
}

// A copy of the library (so that releasing it really unloads it) released right after a long
// file was chosen, while it decodes; the process goes on and the library unloads.
void unloadingWhileDecoding(Report& report, const std::string& dll, const ValidationMedia& media) {
  char folder[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, folder);
  const std::string copy = std::string(folder) + "vintrove-unload-check.dll";
  const bool copied = CopyFileA(dll.c_str(), copy.c_str(), FALSE) != 0;
  bool chosen = false;
  if (copied) {
    PluginLibrary library(copy);
    auto effect = std::make_unique<EffectSession>(library);
    startSession(*effect, 44100.0f, 512);
    auto window = std::make_unique<EditorWindow>(*effect);
    chosen = loadThroughDialog(*window, media.longTone());
    window.reset();
    effect.reset();
  }
  Sleep(1500);  // what is left of the decode, had it survived the unload
  const bool unloaded = GetModuleHandleA("vintrove-unload-check.dll") == nullptr;
  DeleteFileA(copy.c_str());
  report.line(copied && chosen && unloaded, "unloading the library while a file decodes",
              !copied ? std::string("the library could not be copied")
              : !chosen ? std::string("the dialog did not take the file")
                        : unloaded ? std::string("released during the decode; the process goes on and the library is gone")
                                   : std::string("the library is still loaded 1.5 s after its release"));
}

// processReplacing before resume, a rate change in the middle of playback (the position goes on
// at the new rate's speed), and blocks of 1, 7, 64, 4096 and 8192 frames and of a different size
// every block, each advancing the position by exactly its frames at the file's speed.
void renderingAsHostsDo(Report& report, const PluginLibrary& library, EffectSession& effect, EditorWindow& window,
                        const ValidationMedia& media) {
  std::string problems;
  Tally tally;
  {
    EffectSession fresh(library);
    fresh.open();
    fresh.setSampleRate(44100.0f);
    fresh.setBlockSize(512);
    Outputs out(512);
    for (int i = 0; i < 8; ++i) renderBlock(fresh.record(), out, 512, tally, 0.0f);
    if (!tally.clean()) problems += "processReplacing before resume left samples unwritten; ";
  }
  const double length = static_cast<double>(media.longToneFrames());
  auto frameAt = [&] { return effect.getParameter(2) * length; };
  const double slack = 1.0 + length * 1.2e-7;
  effect.setParameter(3, 0.5f);
  effect.setParameter(1, 0.0f);
  effect.setParameter(0, 1.0f);
  effect.dispatch(10, 0, 0, nullptr, 44100.0f);
  effect.dispatch(11, 0, 8192);
  Outputs out(8192);
  effect.setParameter(2, 0.1f);
  for (int i = 0; i < 86; ++i) renderBlock(effect.record(), out, 512, tally, media.peak());
  const double beforeChange = frameAt();
  effect.dispatch(10, 0, 0, nullptr, 22050.0f);  // no suspend: some hosts change the rate as it plays
  for (int i = 0; i < 43; ++i) renderBlock(effect.record(), out, 512, tally, media.peak());
  const double afterChange = frameAt();
  const double expectedChange = 43.0 * 512.0 * 2.0;
  if (std::fabs(afterChange - beforeChange - expectedChange) > slack) {
    problems += format("after the change to 22050 Hz the position moved %.1f frames instead of %.0f; ", afterChange - beforeChange, expectedChange);
  }
  effect.dispatch(10, 0, 0, nullptr, 44100.0f);
  std::mt19937 random(31);
  std::uniform_int_distribution<std::int32_t> anySize(1, 8192);
  for (int pattern = 0; pattern < 6; ++pattern) {
    const std::int32_t fixed[] = {1, 7, 64, 4096, 8192};
    effect.setParameter(2, 0.1f);
    const double from = frameAt();
    long long total = 0;
    while (total < 44100) {
      const std::int32_t frames = pattern < 5 ? fixed[pattern] : anySize(random);
      renderBlock(effect.record(), out, frames, tally, media.peak());
      total += frames;
    }
    const double moved = frameAt() - from;
    if (std::fabs(moved - static_cast<double>(total)) > slack) {
      problems += pattern < 5 ? format("blocks of %.0f frames moved the position %.1f frames in %.0f; ", fixed[pattern], moved, static_cast<double>(total))
                              : format("blocks of random sizes moved the position %.1f frames in %.0f; ", moved, static_cast<double>(total));
    }
  }
  window.pump();
  effect.dispatch(11, 0, 512);
  effect.setParameter(0, 1.0f);
  report.line(problems.empty() && tally.clean(), "processReplacing before resume, a rate change while playing, blocks of any size",
              (problems.empty() ? std::string("every block written; the position follows the rate change and every block size exactly; ") : problems) +
                  tally.describe());
}

// A change the user makes in the editor reaches the host: begin edit, the new value, end edit,
// for the parameter the control drives.
void editsReachTheHost(Report& report, EffectSession& effect, EditorWindow& window, RecordingHost& host) {
  constexpr std::int32_t kLoopX = 72, kLoopY = 52;  // the loop toggle
  std::string problems;
  for (int click = 0; click < 2; ++click) {
    host.clear();
    window.clickAt(kLoopX, kLoopY);
    window.idleFor(50);
    const float now = effect.getParameter(1);
    const std::vector<HostRequest> requests = host.requests();
    int step = 0;  // 0: before begin, 1: after begin, 2: after automate, 3: after end
    float reported = -1.0f;
    for (const HostRequest& r : requests) {
      if (r.index != 1) continue;
      if (step == 0 && r.opcode == 43) step = 1;
      else if (step == 1 && r.opcode == 0) { step = 2; reported = r.opt; }
      else if (step == 2 && r.opcode == 44) step = 3;
    }
    if (step != 3) {
      problems += format("click %.0f on the loop toggle: the host saw ", click + 1) +
                  (step == 0 ? "no begin edit; " : step == 1 ? "begin edit but no new value before the end; " : "no end edit after the value; ");
    } else if (reported != now) {
      problems += format("click %.0f: the host heard %g, the parameter is %g; ", click + 1, reported, now);
    }
  }
  report.line(problems.empty(), "edits in the editor reach the host",
              problems.empty() ? std::string("two clicks on the loop toggle: begin edit, the new value, end edit for parameter 1 each time") : problems);
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
  GuardedRunner runner(report, options.testLimitMs);
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
    // The checks against the file's samples and peak follow the nearest-lower-sample rule;
    // rates and blocks, the audio path's counts and block times run with Smooth on too.
    effect->setParameter(4, 0.0f);
    runner.run("parameter round trips", [&] {
      parameterRoundTrips(report, *effect);
      effect->setParameter(1, 0.0f);
      effect->setParameter(3, 0.5f);
    });
    runner.run("edits in the editor reach the host", [&] { editsReachTheHost(report, *effect, *window, host); });
    runner.run("host values are values", [&] { hostValuesAreValues(report, *effect, *window, media); });
    for (const bool smooth : {false, true}) {
      runner.run(smooth ? "rates 8000-192000 Hz and blocks 1-8192 with Smooth on"
                        : "rates 8000-192000 Hz and blocks 1-8192 with Smooth off",
                 [&] { ratesAndBlocks(report, *effect, *window, media, options.seconds, smooth); });
    }
    runner.run("processReplacing before resume, a rate change while playing, blocks of any size",
               [&] { renderingAsHostsDo(report, library, *effect, *window, media); });
    runner.run("automation, MIDI and the editor while rendering",
               [&] { automationAndEditor(report, *effect, window, media, options.seconds); });
    runner.run("state records while playing and records that are none", [&] {
      effect->setParameter(3, 0.5f);
      stateWhilePlaying(report, *effect, *window, media);
    });
    runner.run("the editor opened and closed 100 times while playing",
               [&] { editorOpenedAndClosedWhilePlaying(report, *effect, window, media); });
    runner.run("good, bad, empty and truncated files while rendering",
               [&] { loadsWhileRendering(report, *effect, *window, media); });
    runner.run("bad host input", [&] { badHostInput(report, *effect, media); });
    runner.run("processReplacing time per block", [&] { blockTimes(report, *effect, *window, media); });
  }
  runner.run("closing the effect", [&] {
    window.reset();
    effect->close();
  });
  runner.run("closing the effect during a load", [&] { closeDuringLoad(report, library, media); });
  runner.run("closing the effect while its file dialog is up", [&] { closingWhileTheDialogIsUp(report, options.dll); });
  runner.run("unloading the library while a file decodes",
             [&] { unloadingWhileDecoding(report, options.dll, media); });
  runner.run("no allocation, lock, wait, window or file call on the audio path", [&] {
    allocationsOnTheAudioPath(report, options.countingDll.empty() ? options.dll : options.countingDll, media,
                              options.seconds);
  });
  return report.finish();
}

}  // namespace vintrove::testhost
