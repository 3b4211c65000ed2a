// libFuzzer target: each input is a script of host calls against a fresh effect made by `main`'s
// factory with a small layer I file at hand: dispatcher opcodes with arguments, parameter sets of
// any float, processReplacing and process of random sizes, MIDI events with any deltas, state
// records (whole, cut or altered), loads of the file or of a missing one, rate and block
// changes, suspend and resume. Broken promises abort: every output sample written and finite,
// parameters in 0..1, texts within 8 characters and the terminator, canDo in -1..1.
//
// Built with VINTROVE_HOST_CALL_THREADS=3 (the TSan variant), the script is dealt to three
// threads as a host's would be: the audio thread renders, sets parameters and sends MIDI; the
// GUI thread dispatches, restores state and loads; a third automates and saves state.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/plugin_entry.h"
#include "layer1_writer.h"
#include "platform/message_box.h"
#include "player/player_effect.h"
#include "player/state_record.h"

#ifndef VINTROVE_HOST_CALL_THREADS
#define VINTROVE_HOST_CALL_THREADS 1
#endif

namespace {

using vintrove::EffectRecord;
using vintrove::HostInt;

constexpr std::int32_t kMostFrames = 9000;

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "host_call_fuzzer: %s\n", what);
    std::abort();
  }
}

void ignoreWarning(const char*, const char*) {}

HostInt VINTROVE_HOST_CALL host(EffectRecord*, std::int32_t opcode, std::int32_t, HostInt, void*, float) {
  return opcode == 1 ? 2400 : 0;
}

std::string& smallFile() {
  static std::string path;
  return path;
}

// Written once: 40 frames of layer I (15360 frames of two tones at 44.1 kHz).
void writeSmallFile() {
  char name[] = "/tmp/vintrove-host-call-XXXXXX";
  const int descriptor = mkstemp(name);
  check(descriptor >= 0, "no temporary file");
  const std::vector<unsigned char> bytes = vintrove::test::writeLayer1(44100, 128, 2, 40);
  FILE* file = fdopen(descriptor, "wb");
  check(file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size(), "file not written");
  std::fclose(file);
  smallFile() = name;
}

// Reads the script; past its end every read gives 0.
class Script {
 public:
  Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool more() const { return at_ < size_; }
  std::uint8_t byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t word() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(byte()) << (8 * i);
    return value;
  }
  float anyFloat() {
    const std::uint32_t bits = word();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  // Up to most bytes of the script itself.
  std::vector<unsigned char> bytes(std::size_t most) {
    const std::size_t count = std::min<std::size_t>(byte() * 4u % (most + 1), size_ - std::min(at_, size_));
    std::vector<unsigned char> taken(data_ + at_, data_ + at_ + count);
    at_ += count;
    return taken;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// One call of the script, with its arguments taken from the script.
struct Call {
  std::uint8_t kind = 0;
  std::int32_t index = 0;
  HostInt value = 0;
  float number = 0.0f;
  std::vector<unsigned char> bytes;
};

std::vector<Call> readCalls(Script& script) {
  std::vector<Call> calls;
  while (script.more() && calls.size() < 256) {
    Call call;
    call.kind = script.byte();
    call.index = static_cast<std::int32_t>(script.word());
    call.value = static_cast<HostInt>(static_cast<std::int32_t>(script.word()));
    call.number = script.anyFloat();
    if (call.kind % 16 == 6 || call.kind % 16 == 7) call.bytes = script.bytes(1100);
    calls.push_back(std::move(call));
  }
  return calls;
}

// Opcodes whose pointer is a text, an out-address or a record the effect writes into; the
// scratch block of a caller is large enough for any of them.
constexpr std::int32_t kSafeOpcodes[] = {0,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 19, 26, 27, 29, 30, 31,
                                         32, 33, 34, 35, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 56, 58, 59,
                                         60, 61, 62, 63, 64, 65, 66, 67, 68, 71, 72, 73, 74, 75, 76, 77};

class Driver {
 public:
  Driver() : record(vintrove::createEffectRecord(&host, &vintrove::createPluginEffect)) {
    check(record != nullptr, "main made no effect");
    record->dispatcher(record, 0, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, 10, 0, 0, nullptr, 44100.0f);
    record->dispatcher(record, 11, 0, 512, nullptr, 0.0f);
    record->dispatcher(record, 12, 0, 1, nullptr, 0.0f);
  }
  ~Driver() { record->dispatcher(record, 1, 0, 0, nullptr, 0.0f); }

  void player(const Call& call) {
    vintrove::PlayerEffect& effect = *static_cast<vintrove::PlayerEffect*>(static_cast<vintrove::EffectBase*>(record->object));
    if (call.index % 3 == 0) {
      effect.loadFile(smallFile().c_str());
    } else if (call.index % 3 == 1) {
      effect.loadFile("/tmp/vintrove-no-such-file.mp3");
    } else {
      // Give the load a moment, as a user listening would.
      for (int i = 0; i < 50 && !effect.getLoader()->isComplete(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  }

  void render(const Call& call, bool replacing) {
    const std::int32_t frames = static_cast<std::int32_t>(static_cast<std::uint32_t>(call.index) % (kMostFrames + 1)) -
                                (call.value == 1 ? kMostFrames : 0);
    float* outputs[2] = {left, right};
    const float fill = replacing ? std::nanf("") : 0.0f;
    std::fill_n(left, kMostFrames, fill);
    std::fill_n(right, kMostFrames, fill);
    if (replacing) {
      record->processReplacing(record, nullptr, outputs, frames);
    } else {
      record->process(record, nullptr, outputs, frames);
    }
    for (std::int32_t i = 0; i < std::max(frames, 0); ++i) {
      check(std::isfinite(left[i]) && std::isfinite(right[i]), "an output sample unwritten or not finite");
      check(std::fabs(left[i]) <= 1.5f && std::fabs(right[i]) <= 1.5f, "an output sample far above the file's peak");
    }
  }

  void midi(const Call& call) {
    struct Event {
      std::int32_t type, byteSize, deltaFrames, flags, noteLength, noteOffset;
      std::uint8_t data[4];
      std::int32_t detune;
    } events[16];
    struct List {
      std::int32_t count;
      HostInt reserved;
      void* events[16];
    } list{};
    const std::uint32_t seed = static_cast<std::uint32_t>(call.index);
    list.count = static_cast<std::int32_t>(seed % 17);
    for (std::int32_t i = 0; i < list.count; ++i) {
      const std::uint32_t mix = seed * 2654435761u + static_cast<std::uint32_t>(i) * 40503u + static_cast<std::uint32_t>(call.value);
      events[i] = Event{static_cast<std::int32_t>(mix % 3 == 0 ? 6 : 1), 32, static_cast<std::int32_t>(mix ^ static_cast<std::uint32_t>(call.value)),
                        0, 0, 0, {static_cast<std::uint8_t>(0x80 | (mix >> 8 & 0x7F)), static_cast<std::uint8_t>(mix >> 16), static_cast<std::uint8_t>(mix >> 24), 0}, 0};
      list.events[i] = &events[i];
    }
    record->dispatcher(record, 25, 0, 0, &list, 0.0f);
  }

  void parameter(const Call& call) {
    const std::int32_t index = static_cast<std::int32_t>(static_cast<std::uint32_t>(call.index) % 6) - 1;
    record->setParameter(record, index, call.number);
    for (std::int32_t i = 0; i < 4; ++i) {
      const float value = record->getParameter(record, i);
      check(value >= 0.0f && value <= 1.0f, "a parameter outside 0..1");
    }
  }

  void state(const Call& call) {
    std::vector<unsigned char> bytes = call.bytes;
    if (call.value % 2 == 0) {
      // A whole record naming the small file, with hostile values, cut or altered by the script.
      vintrove::PlayerState state;
      state.playing = (call.index & 1) != 0;
      state.loop = (call.index & 2) != 0;
      state.position = static_cast<double>(call.number);
      state.pitch = static_cast<double>(call.number) * 7.0;
      std::snprintf(state.path, sizeof state.path, "%s", call.index & 4 ? smallFile().c_str() : "");
      vintrove::writeStateRecord(state, bytes);
      if (!call.bytes.empty()) bytes[call.bytes[0] % bytes.size()] ^= call.bytes.back();
      if ((call.index & 8) != 0) bytes.resize(bytes.size() * (static_cast<std::uint32_t>(call.index) >> 8 & 7) / 8);
    }
    record->dispatcher(record, 24, call.index & 16 ? 1 : 0, static_cast<HostInt>(bytes.size()), bytes.empty() ? nullptr : bytes.data(), 0.0f);
    void* saved = nullptr;
    check(record->dispatcher(record, 23, 0, 0, &saved, 0.0f) > 0 && saved != nullptr, "getChunk handed out nothing");
  }

  void dispatch(const Call& call) {
    const std::int32_t opcode = kSafeOpcodes[static_cast<std::uint32_t>(call.index) % std::size(kSafeOpcodes)];
    alignas(16) static thread_local unsigned char scratch[4096];
    std::memset(scratch, 0x7F, sizeof scratch);
    char text[32] = "receiveVstEvents";
    void* ptr = scratch;
    if (opcode == 51) {
      std::snprintf(text, sizeof text, "%s", call.value % 3 == 0 ? "receiveVstMidiEvent" : call.value % 3 == 1 ? "sendVstEvents" : "x");
      ptr = text;
    } else if (opcode == 4 || opcode == 27) {
      std::memset(scratch, 'a' + (call.value & 15), 100);
      scratch[100] = 0;
    }
    // Editor opening needs a window the fuzzer has none of; idle and closing are harmless.
    if (opcode == 14) return;
    const std::int32_t index = opcode >= 6 && opcode <= 8 ? static_cast<std::int32_t>(call.value % 6) - 1 : static_cast<std::int32_t>(call.value);
    const HostInt answer = record->dispatcher(record, opcode, index, call.value, ptr, call.number);
    if (opcode == 51) check(answer >= -1 && answer <= 1, "canDo outside -1..1");
    if (opcode >= 6 && opcode <= 8 && index >= 0 && index < 4) {
      check(std::memchr(scratch, 0, 9) != nullptr, "a parameter text longer than 8 characters");
      check(scratch[9] == 0x7F, "a parameter text written past 9 bytes");
    }
  }

  void run(const Call& call) {
    switch (call.kind % 16) {
      case 0: case 1: case 2: render(call, true); break;
      case 3: render(call, false); break;
      case 4: case 5: parameter(call); break;
      case 6: case 7: state(call); break;
      case 8: midi(call); break;
      case 9: player(call); break;
      case 10: record->dispatcher(record, 12, 0, call.value & 1, nullptr, 0.0f); break;
      case 11: record->dispatcher(record, 10, 0, 0, nullptr, call.number); break;
      default: dispatch(call); break;
    }
  }

  // Which of the three threads a call belongs to: 0 audio, 1 GUI, 2 automation.
  static int threadOf(const Call& call) {
    switch (call.kind % 16) {
      case 0: case 1: case 2: case 3: case 8: return 0;
      case 4: return 0;
      case 5: return 2;
      case 7: return 2;
      default: return 1;
    }
  }

  EffectRecord* record;

 private:
  float left[kMostFrames];
  float right[kMostFrames];
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vintrove::platform::setWarningHandler(&ignoreWarning);
  writeSmallFile();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Script script(data, size);
  const std::vector<Call> calls = readCalls(script);
  auto driver = std::make_unique<Driver>();
  if (VINTROVE_HOST_CALL_THREADS == 1) {
    for (const Call& call : calls) driver->run(call);
    return 0;
  }
  // Each thread keeps its calls in script order; the threads run at once.
  std::atomic<int> ready{0};
  auto lane = [&](int which) {
    ready.fetch_add(1);
    while (ready.load() < 3) std::this_thread::yield();
    for (const Call& call : calls) {
      if (Driver::threadOf(call) == which) driver->run(call);
    }
  };
  std::thread gui(lane, 1), automation(lane, 2);
  lane(0);
  gui.join();
  automation.join();
  return 0;
}
