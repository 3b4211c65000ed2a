// What loading costs: the clustered loader decoding a 5-minute MP3 against a bare libmad loop over
// the same bytes, the time from start() to the first decoded block, and the store's memory
// against the samples it holds. A summary with the ratios follows the usual table.
#include <benchmark/benchmark.h>
#include <mad.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "player/cluster_sample_loader.h"
#include "player/cluster_store.h"
#include "player/loader_owner.h"
#include "player/store_layout.h"
#include "reference_decode.h"
#include "temp_file.h"
#include "test_data.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
using vintrove::ClusterSampleLoader;

constexpr const char* kSourceFile = "l3_44k1_stereo_128k_notag.mp3";
constexpr int kRepeats = 100;                         // of 116 frames of 26 ms: about 5 minutes
constexpr unsigned kMaxFrameSamples = 1152;           // per channel, in any layer
constexpr float kFixedToFloat = 1.0f / 268435456.0f;  // libmad's 28 fraction bits
constexpr auto kGiveUp = std::chrono::seconds(120);   // a hung load fails instead of hanging

constexpr const char* kLoaderDecode = "BM_LoaderFullDecode";
constexpr const char* kBareDecode = "BM_BareLibmadDecode";
constexpr const char* kBareIntoStore = "BM_BareLibmadDecodeIntoFreshStore";
constexpr const char* kFirstBlock = "BM_LoaderFirstBlock";

double secondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// CPU time of the whole process, the loader's thread included: with the wall time it tells the
// decoding work apart from the time a low-priority thread spends waiting for a core.
double processCpuSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  const auto seconds = [](const FILETIME& t) {
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<double>(ticks) * 1e-7;  // 100 ns units
  };
  return seconds(kernel) + seconds(user);
#else
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

// The test file's frames repeated back to back (it holds frames only: no tag, no info frame, and
// its first frame takes nothing from a bit reservoir, so every copy decodes like the first).
struct Input {
  std::vector<unsigned char> bytes;
  std::unique_ptr<vintrove::test::TempFile> file;
  std::int64_t frames = 0;  // sample frames per channel the reference decode yields
  int channels = 0;
};

Input makeInput() {
  const std::vector<unsigned char> one =
      vintrove::test::readFileBytes(vintrove::test::testDataPath(kSourceFile));
  Input input;
  input.bytes.reserve(one.size() * kRepeats);
  for (int i = 0; i < kRepeats; ++i) input.bytes.insert(input.bytes.end(), one.begin(), one.end());
  const vintrove::test::ReferenceDecode single = vintrove::test::referenceDecode(one);
  const vintrove::test::ReferenceDecode whole = vintrove::test::referenceDecode(input.bytes);
  if (single.frames <= 0 || whole.frames != single.frames * kRepeats || whole.samples.empty()) {
    throw std::runtime_error("the repeated file does not decode as the copies of its frames");
  }
  input.frames = static_cast<std::int64_t>(whole.samples[0].size());
  input.channels = whole.channels;
  input.file = std::make_unique<vintrove::test::TempFile>(input.bytes);
  return input;
}

// Made once per process; null (with the benchmark skipped) when it cannot be made.
const Input* inputFor(benchmark::State& state) {
  try {
    static const Input input = makeInput();
    return &input;
  } catch (const std::exception& error) {
    state.SkipWithError(error.what());
    return nullptr;
  }
}

// Wakes the benchmark thread from the loader's reports instead of having it poll.
class SignallingOwner final : public vintrove::LoaderOwner {
 public:
  void setLength(std::int32_t) override {
    {
      std::lock_guard<std::mutex> guard(mutex_);
      ++lengthReports_;
    }
    changed_.notify_all();
  }

  void loadingTick(std::int32_t frames) override {
    if (frames <= 0 || firstBlockSeen_.load(std::memory_order_relaxed)) return;
    const Clock::time_point now = Clock::now();
    {
      std::lock_guard<std::mutex> guard(mutex_);
      firstBlockAt_ = now;
      firstBlockSeen_.store(true);
    }
    changed_.notify_all();
  }

  // The loader reports its estimate first and the decoded length once decoding has ended.
  bool waitForFinalLength() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kGiveUp, [this] { return lengthReports_ >= 2; });
  }

  bool waitForFirstBlock(Clock::time_point* at) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, kGiveUp, [this] { return firstBlockSeen_.load(); })) return false;
    *at = firstBlockAt_;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int lengthReports_ = 0;
  std::atomic<bool> firstBlockSeen_{false};
  Clock::time_point firstBlockAt_;
};

// Bytes the loader's store holds for a final capacity: the loader keeps its store to itself, so
// the same allocation is made on a store of our own and its clusters are counted.
std::int64_t storeBytesFor(int channels, std::int32_t capacity) {
  auto store = std::make_unique<vintrove::ClusterStore>();
  if (!store->allocate(std::min(channels, vintrove::kMaxChannels), capacity)) return -1;
  std::int64_t clusters = 0;
  for (int c = 0; c < vintrove::kMaxChannels; ++c) clusters += store->clusterCount(c);
  return clusters * vintrove::kClusterSize * static_cast<std::int64_t>(sizeof(float));
}

void BM_LoaderFullDecode(benchmark::State& state) {
  const Input* input = inputFor(state);
  if (input == nullptr) return;
  std::int32_t frames = 0;
  std::int32_t channels = 0;
  std::int32_t capacity = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    SignallingOwner owner;
    auto loader = vintrove::makeLoader<ClusterSampleLoader>(&owner);
    if (!loader) {
      state.SkipWithError("no memory for the loader");
      break;
    }
    const double cpuBegin = processCpuSeconds();
    const Clock::time_point begin = Clock::now();
    if (!loader->start(input->file->path().c_str())) {
      state.SkipWithError("start() failed");
      break;
    }
    if (!owner.waitForFinalLength()) {
      state.SkipWithError("the load did not end");
      break;
    }
    // Between the last report and the flag only the mapping is closed.
    while (!loader->isComplete()) std::this_thread::yield();
    state.SetIterationTime(secondsBetween(begin, Clock::now()));
    cpuSeconds += processCpuSeconds() - cpuBegin;
    frames = loader->getDecodedFrames();
    channels = loader->getChannels();
    capacity = loader->getCapacity();
  }
  if (state.error_occurred()) return;
  if (frames != input->frames || channels != input->channels) {
    state.SkipWithError("the loader decoded other frames than the reference decode");
    return;
  }
  const std::int64_t storeBytes = storeBytesFor(channels, capacity);
  const double sampleBytes = static_cast<double>(frames) * channels * sizeof(float);
  state.counters["frames"] = frames;
  state.counters["cpu_s"] = benchmark::Counter(cpuSeconds, benchmark::Counter::kAvgIterations);
  state.counters["store_bytes"] = static_cast<double>(storeBytes);
  state.counters["sample_bytes"] = sampleBytes;
  state.counters["store_ratio"] = static_cast<double>(storeBytes) / sampleBytes;
}

// Fixed point to float, the way the loader converts: times 2^-28.
void convert(const mad_pcm& pcm, unsigned channel, float* dst) {
  const mad_fixed_t* src = pcm.samples[channel];
  for (unsigned j = 0; j < pcm.length; ++j) dst[j] = static_cast<float>(src[j]) * kFixedToFloat;
}

// A plain libmad decode of the bytes (guard bytes included); every synthesised frame goes to
// sink(pcm, at), which answers false to stop. Returns the sample frames per channel, or -1 when
// the sink stopped.
template <class Sink>
std::int64_t bareDecode(const std::vector<unsigned char>& guarded, Sink&& sink) {
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
  mad_stream_init(&stream);
  mad_frame_init(&frame);
  mad_synth_init(&synth);
  mad_stream_buffer(&stream, guarded.data(), static_cast<unsigned long>(guarded.size()));
  std::int64_t at = 0;
  for (;;) {
    if (mad_frame_decode(&frame, &stream) != 0) {
      if (MAD_RECOVERABLE(stream.error)) continue;
      break;  // MAD_ERROR_BUFLEN in the guard bytes: the end
    }
    mad_synth_frame(&synth, &frame);
    if (!sink(synth.pcm, at)) {
      at = -1;
      break;
    }
    at += synth.pcm.length;
  }
  mad_synth_finish(&synth);
  mad_frame_finish(&frame);
  mad_stream_finish(&stream);
  return at;
}

std::vector<unsigned char> withGuard(const std::vector<unsigned char>& bytes) {
  std::vector<unsigned char> guarded(bytes);
  guarded.resize(guarded.size() + MAD_BUFFER_GUARD, 0);
  return guarded;
}

void reportBareRun(benchmark::State& state, const Input& input, std::int64_t frames,
                   double cpuSeconds) {
  if (frames != input.frames) {
    state.SkipWithError("the bare loop decoded other frames than the reference decode");
    return;
  }
  state.counters["frames"] = static_cast<double>(frames);
  state.counters["cpu_s"] = benchmark::Counter(cpuSeconds, benchmark::Counter::kAvgIterations);
}

// The floor the loader is compared with: a decode straight into a buffer allocated (and touched)
// once, before the timing.
void BM_BareLibmadDecode(benchmark::State& state) {
  const Input* input = inputFor(state);
  if (input == nullptr) return;
  const std::vector<unsigned char> guarded = withGuard(input->bytes);
  const auto room = static_cast<std::size_t>(input->frames);
  std::vector<float> out[2] = {std::vector<float>(room), std::vector<float>(room)};
  const auto sink = [&out, room](const mad_pcm& pcm, std::int64_t at) {
    const auto from = static_cast<std::size_t>(at);
    if (from + pcm.length > room) return false;
    for (unsigned c = 0; c < std::min<unsigned>(pcm.channels, 2); ++c) {
      convert(pcm, c, out[c].data() + from);
    }
    return true;
  };
  std::int64_t frames = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    const double cpuBegin = processCpuSeconds();
    const Clock::time_point begin = Clock::now();
    frames = bareDecode(guarded, sink);
    benchmark::DoNotOptimize(out[0].data());
    benchmark::DoNotOptimize(out[1].data());
    benchmark::ClobberMemory();
    state.SetIterationTime(secondsBetween(begin, Clock::now()));
    cpuSeconds += processCpuSeconds() - cpuBegin;
  }
  reportBareRun(state, *input, frames, cpuSeconds);
}

// Not a goal: the same loop with the loader's store path (a block, then an append to a clustered
// store allocated for this decode), so that the loader's own cost can be told apart from the
// cost of writing samples into fresh memory.
void BM_BareLibmadDecodeIntoFreshStore(benchmark::State& state) {
  const Input* input = inputFor(state);
  if (input == nullptr) return;
  const std::vector<unsigned char> guarded = withGuard(input->bytes);
  const int channels = std::min(input->channels, vintrove::kMaxChannels);
  const auto capacity = static_cast<std::int32_t>(input->frames);
  std::int64_t frames = 0;
  double cpuSeconds = 0;
  for (auto _ : state) {
    const double cpuBegin = processCpuSeconds();
    const Clock::time_point begin = Clock::now();
    auto store = std::make_unique<vintrove::ClusterStore>();
    if (!store->allocate(channels, capacity)) {
      state.SkipWithError("no memory for the store");
      break;
    }
    float block[2][kMaxFrameSamples];
    const auto sink = [&](const mad_pcm& pcm, std::int64_t at) {
      if (pcm.length > kMaxFrameSamples || at + pcm.length > capacity) return false;
      for (int c = 0; c < channels; ++c) convert(pcm, static_cast<unsigned>(c), block[c]);
      store->append(block[0], block[1], channels, static_cast<std::int32_t>(at),
                    static_cast<std::int32_t>(pcm.length));
      return true;
    };
    frames = bareDecode(guarded, sink);
    state.SetIterationTime(secondsBetween(begin, Clock::now()));
    cpuSeconds += processCpuSeconds() - cpuBegin;
    store.reset();  // freed outside the measured interval, as the loader's store is
  }
  reportBareRun(state, *input, frames, cpuSeconds);
}

void BM_LoaderFirstBlock(benchmark::State& state) {
  const Input* input = inputFor(state);
  if (input == nullptr) return;
  double startSeconds = 0;
  for (auto _ : state) {
    SignallingOwner owner;
    auto loader = vintrove::makeLoader<ClusterSampleLoader>(&owner);
    if (!loader) {
      state.SkipWithError("no memory for the loader");
      break;
    }
    const Clock::time_point begin = Clock::now();
    if (!loader->start(input->file->path().c_str())) {
      state.SkipWithError("start() failed");
      break;
    }
    startSeconds += secondsBetween(begin, Clock::now());
    Clock::time_point firstBlock;
    if (!owner.waitForFirstBlock(&firstBlock)) {
      state.SkipWithError("no block was decoded");
      break;
    }
    state.SetIterationTime(secondsBetween(begin, firstBlock));
    // Destroying the loader stops the load; that happens outside the measured interval.
  }
  // The part of the wait spent in start() itself (mapping the file, starting the thread).
  state.counters["start_us"] =
      benchmark::Counter(startSeconds * 1e6, benchmark::Counter::kAvgIterations);
}

BENCHMARK(BM_LoaderFullDecode)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareLibmadDecode)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareLibmadDecodeIntoFreshStore)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoaderFirstBlock)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The usual table, then the ratios the goals are stated in, from the medians of the repetitions.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  SummaryReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      Series& series = series_[run.run_name.function_name];
      const double seconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      if (run.run_type == Run::RT_Iteration) {
        series.seconds.push_back(seconds);
        for (const auto& [name, counter] : run.counters) {
          series.counters[name].push_back(counter.value);
        }
      } else if (run.aggregate_name == "median") {
        series.medianSeconds = seconds;
        for (const auto& [name, counter] : run.counters) {
          series.medianCounters[name] = counter.value;
        }
      }
    }
  }

  void Finalize() override {
    std::ostream& out = GetOutputStream();
    char line[256];
    out << "\nSummary (medians over the repetitions):\n";
    const double loader = medianSeconds(kLoaderDecode);
    const double bare = medianSeconds(kBareDecode);
    if (loader > 0 && bare > 0) {
      const double ratio = loader / bare;
      std::snprintf(line, sizeof line,
                    "  full decode, loader / bare libmad loop: %.1f ms / %.1f ms = %.3fx "
                    "(goal at most 1.10x: %s)\n",
                    loader * 1e3, bare * 1e3, ratio, ratio <= 1.10 ? "met" : "missed");
      out << line;
    }
    const double loaderCpu = medianCounter(kLoaderDecode, "cpu_s");
    const double bareCpu = medianCounter(kBareDecode, "cpu_s");
    if (loaderCpu > 0 && bareCpu > 0) {
      std::snprintf(line, sizeof line,
                    "  process CPU time of the same decodes: %.1f ms / %.1f ms = %.3fx\n",
                    loaderCpu * 1e3, bareCpu * 1e3, loaderCpu / bareCpu);
      out << line;
    }
    const double intoStore = medianSeconds(kBareIntoStore);
    if (loader > 0 && intoStore > 0) {
      std::snprintf(line, sizeof line,
                    "  (diagnostic) bare loop into a fresh clustered store: %.1f ms; "
                    "loader / this: %.3fx\n",
                    intoStore * 1e3, loader / intoStore);
      out << line;
    }
    const double first = medianSeconds(kFirstBlock);
    if (first > 0) {
      std::snprintf(line, sizeof line,
                    "  start() to first decoded block: %.3f ms (goal under 5 ms: %s)\n",
                    first * 1e3, first < 0.005 ? "met" : "missed");
      out << line;
    }
    const double store = medianCounter(kLoaderDecode, "store_bytes");
    const double samples = medianCounter(kLoaderDecode, "sample_bytes");
    if (store > 0 && samples > 0) {
      const double ratio = store / samples;
      std::snprintf(line, sizeof line,
                    "  store at the end of the load / samples: %.0f / %.0f bytes = %.4fx "
                    "(goal at most 1.12x: %s)\n",
                    store, samples, ratio, ratio <= 1.12 ? "met" : "missed");
      out << line;
    }
    ConsoleReporter::Finalize();
  }

 private:
  struct Series {
    std::vector<double> seconds;
    std::map<std::string, std::vector<double>> counters;
    double medianSeconds = -1;
    std::map<std::string, double> medianCounters;
  };

  static double median(std::vector<double> values) {
    if (values.empty()) return -1;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  }

  double medianSeconds(const std::string& name) const {
    const auto found = series_.find(name);
    if (found == series_.end()) return -1;
    const Series& series = found->second;
    return series.medianSeconds > 0 ? series.medianSeconds : median(series.seconds);
  }

  double medianCounter(const std::string& name, const std::string& counter) const {
    const auto found = series_.find(name);
    if (found == series_.end()) return -1;
    const auto aggregated = found->second.medianCounters.find(counter);
    if (aggregated != found->second.medianCounters.end()) return aggregated->second;
    const auto values = found->second.counters.find(counter);
    return values != found->second.counters.end() ? median(values->second) : -1;
  }

  std::map<std::string, Series> series_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
