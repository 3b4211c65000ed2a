// What playback costs: processReplacing of 512-frame blocks from a decoded store, at ratio 1.0
// and at pitch +12 % on a 48 kHz host, against a plain memcpy of the same bytes (two channels of
// 512 floats) from the same decoded samples. Goals: at most 4x and 8x the memcpy.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "player/player_effect.h"
#include "test_data.h"

namespace {

constexpr std::int32_t kBlock = 512;

// A player with the whole test file decoded, looping, playing at the given host rate and pitch.
std::unique_ptr<vintrove::PlayerEffect> loadedPlayer(float hostRate, float pitchSlider) {
  auto player = std::make_unique<vintrove::PlayerEffect>(nullptr, nullptr);
  player->setSampleRate(hostRate);
  player->loadFile(vintrove::test::testDataPath("l3_44k1_stereo_128k_notag.mp3").c_str());
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  vintrove::ClusterSampleLoader& loader = *player->getLoader();
  while (!(loader.isComplete() && player->getLength() == loader.getDecodedFrames())) {
    if (std::chrono::steady_clock::now() > giveUp) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  player->setPitch(pitchSlider);
  player->setLoop(true);
  player->setPlaying(true);
  return player;
}

void renderBlocks(benchmark::State& state, float hostRate, float pitchSlider) {
  auto player = loadedPlayer(hostRate, pitchSlider);
  if (player == nullptr) {
    state.SkipWithError("the test file did not load");
    return;
  }
  std::vector<float> left(kBlock), right(kBlock);
  float* outputs[2] = {left.data(), right.data()};
  for (auto _ : state) {
    player->processReplacing(nullptr, outputs, kBlock);
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 2 * kBlock * static_cast<std::int64_t>(sizeof(float)));
}

void BM_ProcessReplacingRatio1(benchmark::State& state) { renderBlocks(state, 44100.0f, 0.5f); }
void BM_ProcessReplacingPitch12At48k(benchmark::State& state) { renderBlocks(state, 48000.0f, 1.0f); }

// The floor: copying the block's bytes from the decoded samples, advancing like playback.
void BM_MemcpyBlock(benchmark::State& state) {
  auto player = loadedPlayer(44100.0f, 0.5f);
  if (player == nullptr) {
    state.SkipWithError("the test file did not load");
    return;
  }
  const std::int32_t frames = player->getLength();
  std::vector<float> storeLeft(static_cast<std::size_t>(frames)), storeRight(storeLeft.size());
  float* whole[2] = {storeLeft.data(), storeRight.data()};
  player->getLoader()->read(whole, frames, 0, 1.0f, true);
  std::vector<float> left(kBlock), right(kBlock);
  std::int32_t at = 0;
  for (auto _ : state) {
    std::memcpy(left.data(), storeLeft.data() + at, kBlock * sizeof(float));
    std::memcpy(right.data(), storeRight.data() + at, kBlock * sizeof(float));
    benchmark::DoNotOptimize(left.data());
    benchmark::DoNotOptimize(right.data());
    benchmark::ClobberMemory();
    at += kBlock;
    if (at + kBlock > frames) at = 0;
  }
  state.SetBytesProcessed(state.iterations() * 2 * kBlock * static_cast<std::int64_t>(sizeof(float)));
}

// The store's read alone, at ratio 1, to tell the player's own cost apart from the read's.
void BM_LoaderReadRatio1(benchmark::State& state) {
  auto player = loadedPlayer(44100.0f, 0.5f);
  if (player == nullptr) {
    state.SkipWithError("the test file did not load");
    return;
  }
  const std::int32_t frames = player->getLength();
  std::vector<float> left(kBlock), right(kBlock);
  float* outputs[2] = {left.data(), right.data()};
  std::int32_t at = 0;
  for (auto _ : state) {
    player->getLoader()->read(outputs, kBlock, at, 1.0f, true);
    benchmark::DoNotOptimize(left.data());
    benchmark::ClobberMemory();
    at += kBlock;
    if (at + kBlock > frames) at = 0;
  }
  state.SetBytesProcessed(state.iterations() * 2 * kBlock * static_cast<std::int64_t>(sizeof(float)));
}

BENCHMARK(BM_MemcpyBlock);
BENCHMARK(BM_LoaderReadRatio1);
BENCHMARK(BM_ProcessReplacingRatio1);
BENCHMARK(BM_ProcessReplacingPitch12At48k);

}  // namespace

BENCHMARK_MAIN();
