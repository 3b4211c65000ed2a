// libFuzzer target: each input is a state record that a host hands to a fresh player's setChunk
// (opcode 24). A refused record must leave the player exactly as it was; an accepted one must
// have sizes inside the input, come back through getChunk with its path, Loop, Pitch and Smooth
// (off for a version 1 record), and be accepted again when given back. Broken promises abort.
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/message_box.h"
#include "player/placeholder_editor.h"
#include "player/player_effect.h"
#include "player/state_record.h"

namespace {

using vintrove::PlayerEffect;
using Bytes = std::vector<unsigned char>;

void ignoreWarning(const char*, const char*) {}

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "state_fuzzer: %s\n", what);
    std::abort();
  }
}

Bytes chunkOf(PlayerEffect& player) {
  void* data = nullptr;
  const auto size = player.dispatcher(23, 0, 0, &data, 0.0f);
  check(size > 0 && data != nullptr, "getChunk handed out nothing");
  const auto* bytes = static_cast<const unsigned char*>(data);
  return Bytes(bytes, bytes + size);
}

std::uint32_t uint32At(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

double float64At(const std::uint8_t* at) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | at[i];
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The fields an accepted record carries, read at the documented offsets with the fuzzer's own
// bounds checks (wider arithmetic than the reader's).
struct Fields {
  std::uint32_t version;
  bool loop;
  float pitch;
  bool smooth;
  const std::uint8_t* path;
  std::uint64_t pathSize;
};

Fields fieldsOf(const std::uint8_t* data, std::size_t size) {
  check(size >= 12, "accepted a record shorter than its header");
  const std::uint64_t valuesSize = uint32At(data + 8);
  check(valuesSize >= 32 && 12 + valuesSize + 4 <= size, "accepted a values block past the end");
  const std::uint64_t pathSize = uint32At(data + 12 + valuesSize);
  check(12 + valuesSize + 4 + pathSize + 1 <= size, "accepted a path past the end");
  Fields fields{};
  fields.version = uint32At(data + 4);
  fields.loop = float64At(data + 20) == 1.0;
  fields.pitch = static_cast<float>(float64At(data + 36));
  // Version 1 has no Smooth value: its projects keep the sound they were made with.
  check(fields.version == 1 || valuesSize >= 40, "accepted a version 2 record without Smooth");
  fields.smooth = fields.version >= 2 && float64At(data + 44) == 1.0;
  fields.path = data + 12 + valuesSize + 4;
  fields.pathSize = pathSize;
  check(fields.path[pathSize] == 0, "accepted a path without its zero");
  return fields;
}

bool fileExists(const char* path) {
  struct stat info;
  return stat(path, &info) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  vintrove::platform::setWarningHandler(&ignoreWarning);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto player = std::make_unique<PlayerEffect>(nullptr, &vintrove::PlaceholderPlayerEditor::create);
  // Smooth on and then off again: a refused record must keep it, an accepted one must set it.
  player->setSmooth((size & 1) != 0);
  player->setLength(1000);
  player->setPosition(0.5f);
  player->setLoop(true);
  player->setPitch(0.25f);
  const Bytes before = chunkOf(*player);

  // The host's buffer holds exactly the record: any read past it is an overrun.
  Bytes record(data, data + size);
  const auto answer = player->dispatcher(24, 0, static_cast<vintrove::HostInt>(size),
                                         size > 0 ? record.data() : nullptr, 0.0f);
  check(answer == 0 || answer == 1, "setChunk answered neither 0 nor 1");
  if (answer == 0) {
    check(chunkOf(*player) == before, "a refused record changed the state");
    check(player->isLooping() && player->getPosition() == 500 && player->getLength() == 1000 &&
              player->isSmooth() == ((size & 1) != 0),
          "a refused record changed the transport");
    return 0;
  }

  const Fields fields = fieldsOf(data, size);
  const Bytes after = chunkOf(*player);
  vintrove::PlayerState state;
  check(vintrove::readStateRecord(after.data(), after.size(), state), "getChunk's own record refused");
  check(std::strlen(state.path) == fields.pathSize &&
            std::memcmp(state.path, fields.path, fields.pathSize) == 0,
        "the restored path differs");
  check(state.loop == fields.loop && player->isLooping() == fields.loop, "Loop not restored");
  check(player->getPitch() == fields.pitch, "Pitch not restored exactly");
  check(state.smooth == fields.smooth && player->isSmooth() == fields.smooth, "Smooth not restored");
  // A version 1 or 2 record whose file is missing comes back whole as version 2, but for the
  // pitch, which the player holds as a float.
  if (fields.version <= 2 && fields.pathSize > 0 && !fileExists(state.path)) {
    vintrove::PlayerState given;
    check(vintrove::readStateRecord(data, size, given), "an accepted record reads differently");
    given.pitch = static_cast<float>(given.pitch);
    Bytes expected;
    vintrove::writeStateRecord(given, expected);
    check(after == expected, "a missing file's record did not come back whole");
    check(!player->isPlaying() && player->getLength() == 0, "a missing file plays");
  }
  Bytes again = after;
  check(player->setChunk(again.data(), static_cast<std::int32_t>(again.size()), false) == 1,
        "getChunk's own record refused by setChunk");
  return 0;
}
