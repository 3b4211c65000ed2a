// vintrove-host: loads a VST 2 plug-in DLL exactly as a music host does (LoadLibrary, `main`)
// and drives it.
//
//   vintrove-host [--info] DLL
//       prints what the host sees of the effect and closes it; ends with a summary line, exit
//       code 1 when the record is refused or a step failed.
//   vintrove-host --play FILE [--seconds S] [--rate HZ] [--block N] [--settle MS]
//                 [--wav OUT.wav] [--png OUT.png] DLL
//       opens the editor, loads FILE through the editor's open button and its file dialog,
//       renders S seconds (faster than real time) and writes them as a float WAV, then a PNG of
//       the editor. --settle waits that long after the load started and rewinds (suspend and
//       resume) before rendering, so the decoder is ahead of playback; 0 renders at once.
//       Fails, naming the reason, when FILE cannot be opened or holds no MPEG audio frames, the
//       dialog was not answered, the load did not start, or all output is silent.
//   vintrove-host --soak N --media DIR [--seed K] [--rate HZ] [--block N] DLL
//       N loads of random files of DIR through the dialog, with rendering, MIDI keys, parameter
//       changes and editor reopening in between; fails when a dialog is not taken or the GDI
//       objects, windows or kernel handles grow in both halves of the run after the warm-up.
//   vintrove-host --validate DLL [--seconds S] [--allocations COUNTING.DLL]
//       tests the plug-in as strict validators do (see validator.h); one line per test, a
//       summary, exit code 1 on any failure. --allocations names the allocation-counting build;
//       without it, the vintrove_counting.dll beside this program is used when there is one.
//   --test-limit S (with --info or --validate): a step of the plug-in's still running after S
//       seconds (600 by default) is a hang: its FAIL line and the summary end the run, exit 1.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dialog_answerer.h"
#include "editor_window.h"
#include "effect_session.h"
#include "guarded_run.h"
#include "gui_census.h"
#include "mpeg_sniff.h"
#include "plugin_library.h"
#include "record_check.h"
#include "record_report.h"
#include "recording_host.h"
#include "validator.h"
#include "wav_writer.h"

using namespace vintrove;
using namespace vintrove::testhost;

namespace {

// The editor's open button, in editor client coordinates.
constexpr std::int32_t kOpenX = 10;
constexpr std::int32_t kOpenY = 50;
constexpr DWORD kLoadStartTimeoutMs = 2000;

struct Options {
  enum Mode { kInfo, kPlay, kSoak, kValidate } mode = kInfo;
  bool secondsGiven = false;
  std::string countingDll;
  std::string dll = "vintrove.dll";
  std::string file;
  std::string media;
  std::string wav;
  std::string png;
  double seconds = 5.0;
  float rate = 44100.0f;
  std::int32_t block = 512;
  std::int32_t settleMs = 500;
  std::int32_t loads = 0;
  unsigned seed = 1;
  double testLimitSeconds = GuardedRunner::kDefaultLimitMs / 1000.0;
};

int usage() {
  std::fprintf(stderr,
               "usage: vintrove-host [--info] DLL\n"
               "       vintrove-host --play FILE [--seconds S] [--rate HZ] [--block N] [--settle MS]\n"
               "                     [--wav OUT.wav] [--png OUT.png] DLL\n"
               "       vintrove-host --soak N --media DIR [--seed K] [--rate HZ] [--block N] DLL\n"
               "       vintrove-host --validate DLL [--seconds S] [--allocations COUNTING.DLL]\n"
               "       (--info and --validate take --test-limit S, 600 by default)\n");
  return 2;
}

bool parseArguments(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--info") {
      options.mode = Options::kInfo;
    } else if (arg == "--play" && hasValue) {
      options.mode = Options::kPlay;
      options.file = argv[++i];
    } else if (arg == "--soak" && hasValue) {
      options.mode = Options::kSoak;
      options.loads = std::atoi(argv[++i]);
    } else if (arg == "--validate") {
      options.mode = Options::kValidate;
    } else if (arg == "--allocations" && hasValue) {
      options.countingDll = argv[++i];
    } else if (arg == "--media" && hasValue) {
      options.media = argv[++i];
    } else if (arg == "--seconds" && hasValue) {
      options.seconds = std::atof(argv[++i]);
      options.secondsGiven = true;
    } else if (arg == "--rate" && hasValue) {
      options.rate = static_cast<float>(std::atof(argv[++i]));
    } else if (arg == "--block" && hasValue) {
      options.block = std::atoi(argv[++i]);
    } else if (arg == "--settle" && hasValue) {
      options.settleMs = std::atoi(argv[++i]);
    } else if (arg == "--test-limit" && hasValue) {
      options.testLimitSeconds = std::atof(argv[++i]);
    } else if (arg == "--seed" && hasValue) {
      options.seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    } else if (arg == "--wav" && hasValue) {
      options.wav = argv[++i];
    } else if (arg == "--png" && hasValue) {
      options.png = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return false;
    } else {
      options.dll = arg;
    }
  }
  if (options.rate <= 0.0f || options.block <= 0 || options.seconds < 0.0 || options.settleMs < 0) return false;
  if (!(options.testLimitSeconds >= 1.0 && options.testLimitSeconds <= 86400.0)) return false;
  if (options.mode == Options::kSoak && (options.loads <= 0 || options.media.empty())) return false;
  return true;
}

void printRequests(std::FILE* out, const RecordingHost& host) {
  std::fprintf(out, "host requests: %u\n", static_cast<unsigned>(host.requestCount()));
  for (const HostRequest& r : host.requests()) {
    std::fprintf(out, "host request: opcode %d (%s) index %d value %lld effect %s\n",
                 static_cast<int>(r.opcode), hostRequestName(r.opcode), static_cast<int>(r.index),
                 static_cast<long long>(r.value), r.effect ? "set" : "null");
  }
}

// What a host sees of the effect, then it is closed. Each step runs guarded, so a broken
// plug-in (no record, a wrong one, a dispatcher that crashes or throws) ends as named FAIL
// lines and the summary rather than as a crash.
int runInfo(const std::string& dllPath, unsigned long limitMs) {
  ValidationReport report("info");
  GuardedRunner runner(report, limitMs);
  PluginLibrary library(dllPath);
  if (!library.loaded()) {
    report.line(false, "library", library.error());
    return report.finish();
  }
  RecordingHost host;
  std::printf("loaded: %s\n", dllPath.c_str());
  EffectRecord* record = nullptr;
  std::string problems;
  const bool made = runner.run("effect record", [&] {
    record = library.createEffect(&RecordingHost::callback);
    problems = recordProblems(record);
    if (record != nullptr) printRecord(stdout, *record);
  });
  if (made) {
    report.line(problems.empty(), "effect record",
                problems.empty() ? "magic, entry points and counts as a host needs them"
                                 : problems + "; nothing is called through it");
  }
  if (made && problems.empty()) {
    runner.run("names and parameters", [&] {
      printNames(stdout, *record);
      printParameters(stdout, *record);
      report.line(true, "names and parameters", "read through the dispatcher and getParameter");
    });
    runner.run("close", [&] {
      const HostInt closed = record->dispatcher(record, 1, 0, 0, nullptr, 0.0f);
      std::printf("close answered: %lld\n", static_cast<long long>(closed));
      report.line(true, "close", "opcode 1 answered " + std::to_string(closed));
    });
  }
  printRequests(stdout, host);
  return report.finish();
}

// The effect set up as a host does before playing: open, rate, block size, processing on.
void startEffect(EffectSession& effect, const Options& options) {
  effect.open();
  effect.setSampleRate(options.rate);
  effect.setBlockSize(options.block);
  effect.resume();
}

bool isPlaying(const EffectSession& effect) { return effect.getParameter(0) >= 0.5f; }

double decibels(float level) { return level > 0.0f ? 20.0 * std::log10(static_cast<double>(level)) : -INFINITY; }

int runPlay(const Options& options) {
  // The reasons a musician would see in the dialog or hear as silence, named before the plug-in runs.
  const std::string path = windowsPath(options.file);
  std::string error;
  switch (sniffMpegFile(path, error)) {
    case FileVerdict::kCannotOpen:
      std::fprintf(stderr, "vintrove-host: cannot open %s: %s\n", options.file.c_str(), error.c_str());
      return 1;
    case FileVerdict::kNotMpegAudio:
      std::fprintf(stderr, "vintrove-host: %s is not an MPEG audio file (no MPEG audio frames in it)\n",
                   options.file.c_str());
      return 1;
    case FileVerdict::kMpegAudio:
      break;
  }
  PluginLibrary library(options.dll);
  if (!library.loaded()) {
    std::fprintf(stderr, "vintrove-host: %s\n", library.error().c_str());
    return 1;
  }
  RecordingHost host;
  EffectSession effect(library);
  if (!effect.valid()) {
    std::fprintf(stderr, "vintrove-host: main returned null\n");
    return 1;
  }
  startEffect(effect, options);
  EditorWindow window(effect);
  if (!window.isOpen()) {
    std::fprintf(stderr, "vintrove-host: the editor did not open (opcode 14 answered %lld, no editor window)\n",
                 static_cast<long long>(window.openAnswer()));
    return 1;
  }

  DialogAnswerer::Outcome outcome;
  {
    DialogAnswerer answerer(DialogAnswer::confirm(path));
    window.clickAt(kOpenX, kOpenY);
    answerer.wait();
    outcome = answerer.outcome();
  }
  const bool answered = outcome == DialogAnswerer::Outcome::kConfirmed;
  const bool started = answered && window.idleUntil([&] { return isPlaying(effect); }, kLoadStartTimeoutMs);
  if (started && options.settleMs > 0) {
    window.idleFor(static_cast<DWORD>(options.settleMs));
    effect.suspend();
    effect.resume();  // back to the start of the file
  }

  std::unique_ptr<WavWriter> wav;
  if (!options.wav.empty()) {
    wav = std::make_unique<WavWriter>(options.wav, static_cast<std::uint32_t>(options.rate));
  }
  const auto total = static_cast<std::int64_t>(std::llround(options.seconds * options.rate));
  std::vector<float> left(static_cast<std::size_t>(options.block));
  std::vector<float> right(static_cast<std::size_t>(options.block));
  float peak = 0.0f;
  std::int64_t rendered = 0;
  while (rendered < total) {
    const auto frames = static_cast<std::int32_t>(std::min<std::int64_t>(options.block, total - rendered));
    effect.processReplacing(left.data(), right.data(), frames);
    for (std::int32_t i = 0; i < frames; ++i) {
      peak = std::max({peak, std::fabs(left[static_cast<std::size_t>(i)]), std::fabs(right[static_cast<std::size_t>(i)])});
    }
    if (wav) wav->writeStereo(left.data(), right.data(), frames);
    rendered += frames;
    window.pump();
  }
  const bool wavWritten = !wav || wav->close();
  window.idleFor(200);  // the displays catch up with the rendered position
  const bool pngWritten = options.png.empty() || window.screenshotPng(options.png);
  window.close();
  effect.close();

  std::printf("file: %s\n", path.c_str());
  std::printf("dialog: %s\n", outcomeName(outcome));
  std::printf("load started: %s\n", started ? "yes" : "no");
  std::printf("rendered: %.3f s (%lld frames at %g Hz, blocks of %d)\n",
              static_cast<double>(rendered) / static_cast<double>(options.rate), static_cast<long long>(rendered),
              static_cast<double>(options.rate), static_cast<int>(options.block));
  std::printf("peak: %.6f (%.1f dBFS)\n", static_cast<double>(peak), decibels(peak));
  if (!options.wav.empty()) std::printf("wav: %s%s\n", options.wav.c_str(), wavWritten ? "" : " (FAILED)");
  if (!options.png.empty()) std::printf("png: %s%s\n", options.png.c_str(), pngWritten ? "" : " (FAILED)");

  if (!answered) std::fprintf(stderr, "vintrove-host: the file dialog was not answered\n");
  if (answered && !started) std::fprintf(stderr, "vintrove-host: the load did not start\n");
  if (started && peak == 0.0f) std::fprintf(stderr, "vintrove-host: the output is silent throughout\n");
  return answered && started && peak > 0.0f && wavWritten && pngWritten ? 0 : 1;
}

// Regular files of a folder, as Windows paths.
std::vector<std::string> listFiles(const std::string& folder) {
  std::vector<std::string> files;
  // Full paths: the soak makes the folder the current one, where a relative path means another.
  std::string base = windowsPath(folder);
  char full[MAX_PATH];
  const DWORD length = GetFullPathNameA(base.c_str(), MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH) base.assign(full, length);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((base + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    std::string path = base;
    path.append("\\").append(found.cFileName);
    files.push_back(std::move(path));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(files.begin(), files.end());  // the seed alone decides the order of loads
  return files;
}

struct SoakTally {
  std::int32_t loads = 0;
  std::int32_t confirmed = 0;
  std::int32_t notAnswered = 0;
  std::int32_t started = 0;
  std::int32_t editorOpenings = 1;
  std::int32_t notes = 0;
  std::int32_t parameterChanges = 0;
  std::int32_t gestures = 0;
  DWORD longestLoadMs = 0;
  float peak = 0.0f;
  std::map<std::string, std::int32_t> notStarted;  // confirmed loads after which Playing stayed off
};

void printCounts(const char* when, const GuiCounts& counts) {
  std::printf("soak %s: gdi objects %d, user objects %d, windows %d, kernel handles %d\n", when,
              static_cast<int>(counts.gdiObjects), static_cast<int>(counts.userObjects),
              static_cast<int>(counts.windows), static_cast<int>(counts.kernelHandles));
}

// A gesture on the editor: a button of the transport or a slider drag.
constexpr int kGestureKinds = 6;
void gesture(EditorWindow& window, int kind, std::mt19937& random) {
  std::uniform_int_distribution<int> along(8, 248);
  switch (kind) {
    case 0: window.clickAt(32, 52); break;   // to start
    case 1: window.clickAt(52, 52); break;   // play toggle
    case 2: window.clickAt(72, 52); break;   // loop toggle
    case 3: window.clickAt(244, 72); break;  // pitch reset
    case 4: window.dragFrom(along(random), 32).to(along(random), 32); break;  // position
    default: window.dragFrom(118, 72).to(std::min(along(random), 228), 72); break;  // pitch
  }
}

int runSoak(const Options& options) {
  const std::vector<std::string> files = listFiles(options.media);
  if (files.empty()) {
    std::fprintf(stderr, "vintrove-host: no files in %s\n", options.media.c_str());
    return 1;
  }
  PluginLibrary library(options.dll);
  if (!library.loaded()) {
    std::fprintf(stderr, "vintrove-host: %s\n", library.error().c_str());
    return 1;
  }
  // The dialog opens in the current folder; listing the media folder every time keeps what the
  // dialog caches the same from load to load. (After loading the library: its path may be
  // relative.)
  SetCurrentDirectoryA(windowsPath(options.media).c_str());
  RecordingHost host;
  EffectSession effect(library);
  if (!effect.valid()) {
    std::fprintf(stderr, "vintrove-host: main returned null\n");
    return 1;
  }
  startEffect(effect, options);

  std::mt19937 random(options.seed);
  std::uniform_int_distribution<std::size_t> pickFile(0, files.size() - 1);
  std::uniform_int_distribution<int> note(48, 72);
  std::uniform_int_distribution<int> parameter(0, 3);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  std::uniform_int_distribution<int> renderMs(200, 500);

  constexpr std::int32_t kLoadsPerOpening = 4;
  const std::int32_t warmupLoads = std::max(1, std::min(8, options.loads / 2));
  std::vector<float> left(static_cast<std::size_t>(options.block));
  std::vector<float> right(static_cast<std::size_t>(options.block));
  auto window = std::make_unique<EditorWindow>(effect);
  if (!window->isOpen()) {
    std::fprintf(stderr, "vintrove-host: the editor did not open (opcode 14 answered %lld, no editor window)\n",
                 static_cast<long long>(window->openAnswer()));
    return 1;
  }

  // MIDI keys and parameter changes reach the plug-in while its editor is closed too, where
  // they must change nothing and break nothing.
  auto keysAndParameters = [&](SoakTally& tally, int count) {
    for (int i = 0; i < count; ++i) {
      if (unit(random) < 0.5f) {
        effect.noteOn(static_cast<std::uint8_t>(note(random)), static_cast<std::uint8_t>(1 + note(random)));
        ++tally.notes;
      } else {
        effect.setParameter(parameter(random), unit(random));
        ++tally.parameterChanges;
      }
    }
  };
  auto settleClosed = [&](SoakTally& tally) {
    window.reset();
    keysAndParameters(tally, 4);
    Sleep(300);  // a decode that is still running ends before the census
  };

  SoakTally tally;
  // A leak grows in both halves of the run after the warm-up; what Wine makes once and keeps
  // (its file dialog caches a few GDI objects at an unforeseeable moment) grows in one.
  const std::int32_t middleLoad = warmupLoads + (options.loads - warmupLoads) / 2;
  GuiCounts warmup, middle;
  const DWORD soakStart = GetTickCount();
  for (std::int32_t load = 1; load <= options.loads; ++load) {
    const std::string& file = files[pickFile(random)];
    // Stopped first, so that Playing going on tells this load started.
    if (isPlaying(effect)) effect.setParameter(0, 0.0f);
    const DWORD loadStart = GetTickCount();
    DialogAnswerer::Outcome outcome;
    {
      DialogAnswerer answerer(DialogAnswer::confirm(file));
      window->clickAt(kOpenX, kOpenY);
      answerer.wait();
      outcome = answerer.outcome();
    }
    ++tally.loads;
    if (outcome == DialogAnswerer::Outcome::kConfirmed) {
      ++tally.confirmed;
      if (window->idleUntil([&] { return isPlaying(effect); }, 300)) {
        ++tally.started;
      } else {
        ++tally.notStarted[file];
      }
    } else {
      ++tally.notAnswered;
      std::printf("soak load %d: %s: dialog %s\n", static_cast<int>(load), file.c_str(), outcomeName(outcome));
    }
    tally.longestLoadMs = std::max(tally.longestLoadMs, GetTickCount() - loadStart);

    // Render 0.2 to 0.5 s with keys and parameter changes at random blocks.
    const auto frames = static_cast<std::int64_t>(options.rate * static_cast<float>(renderMs(random)) / 1000.0f);
    for (std::int64_t done = 0; done < frames; done += options.block) {
      if (unit(random) < 0.05f) keysAndParameters(tally, 1);
      effect.processReplacing(left.data(), right.data(), options.block);
      for (std::int32_t i = 0; i < options.block; ++i) {
        tally.peak = std::max({tally.peak, std::fabs(left[static_cast<std::size_t>(i)]),
                               std::fabs(right[static_cast<std::size_t>(i)])});
      }
      window->pump();
    }
    if (unit(random) < 0.3f) {
      gesture(*window, std::uniform_int_distribution<int>(0, kGestureKinds - 1)(random), random);
      ++tally.gestures;
    }

    if (load == warmupLoads || load == middleLoad) {
      settleClosed(tally);
      GuiCounts& counts = load == warmupLoads ? warmup : middle;
      counts = countGui();
      printCounts(load == warmupLoads ? "after warm-up" : "half way", counts);
    }
    if (load == warmupLoads || load == middleLoad || (load % kLoadsPerOpening == 0 && load < options.loads)) {
      if (window) settleClosed(tally);
      window = std::make_unique<EditorWindow>(effect);
      ++tally.editorOpenings;
      if (!window->isOpen()) {
        std::fprintf(stderr, "vintrove-host: the editor did not reopen after load %d\n", static_cast<int>(load));
        return 1;
      }
    }
    if (load % 20 == 0 || load == options.loads) {
      std::printf("soak: %d/%d loads, %d confirmed, %d started, %d editor openings, %d notes, %d parameter "
                  "changes, %d gestures, peak %.3f, longest load %lu ms, %lu s\n",
                  static_cast<int>(load), static_cast<int>(options.loads), static_cast<int>(tally.confirmed),
                  static_cast<int>(tally.started), static_cast<int>(tally.editorOpenings),
                  static_cast<int>(tally.notes), static_cast<int>(tally.parameterChanges),
                  static_cast<int>(tally.gestures), static_cast<double>(tally.peak),
                  static_cast<unsigned long>(tally.longestLoadMs),
                  static_cast<unsigned long>((GetTickCount() - soakStart) / 1000));
      std::fflush(stdout);
    }
  }
  settleClosed(tally);
  // A handle of work still winding down (a helper thread of the system's, a decode ending) goes
  // within moments; a leaked one stays.
  GuiCounts end = countGui();
  for (int wait = 0; wait < 30 && !(end == middle); ++wait) {
    Sleep(100);
    end = countGui();
  }
  printCounts("at the end", end);
  effect.close();
  std::printf("soak host requests: %llu (idle %llu, begin edit %llu, end edit %llu)\n",
              static_cast<unsigned long long>(host.requestCount()), static_cast<unsigned long long>(host.countOf(3)),
              static_cast<unsigned long long>(host.countOf(43)), static_cast<unsigned long long>(host.countOf(44)));

  for (const auto& [file, count] : tally.notStarted) {
    std::printf("soak: not playing 300 ms after the load, %d times: %s\n", static_cast<int>(count), file.c_str());
  }

  bool good = true;
  if (tally.notAnswered > 0) {
    std::fprintf(stderr, "vintrove-host: %d dialogs were not answered\n", static_cast<int>(tally.notAnswered));
    good = false;
  }
  const auto grew = [&](std::int32_t GuiCounts::*count) {
    return middle.*count > warmup.*count && end.*count > middle.*count;
  };
  if (grew(&GuiCounts::gdiObjects) || grew(&GuiCounts::userObjects) || grew(&GuiCounts::windows) ||
      grew(&GuiCounts::kernelHandles)) {
    std::fprintf(stderr, "vintrove-host: counts grew in both halves: gdi %+d %+d, user %+d %+d, windows %+d %+d, "
                 "kernel handles %+d %+d\n",
                 static_cast<int>(middle.gdiObjects - warmup.gdiObjects), static_cast<int>(end.gdiObjects - middle.gdiObjects),
                 static_cast<int>(middle.userObjects - warmup.userObjects), static_cast<int>(end.userObjects - middle.userObjects),
                 static_cast<int>(middle.windows - warmup.windows), static_cast<int>(end.windows - middle.windows),
                 static_cast<int>(middle.kernelHandles - warmup.kernelHandles),
                 static_cast<int>(end.kernelHandles - middle.kernelHandles));
    good = false;
  }
  std::printf("soak: %s\n", good ? "passed" : "FAILED");
  return good ? 0 : 1;
}

// The release puts the counting build beside our host, so that one command checks an installed copy
// completely.
std::string countingDllBesideHost() {
  char path[MAX_PATH];
  const DWORD size = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (size == 0 || size >= MAX_PATH) return {};
  std::string beside(path, size);
  beside.erase(beside.find_last_of("\\/") + 1);
  beside += "vintrove_counting.dll";
  return GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES ? beside : std::string();
}

unsigned long limitMs(const Options& options) {
  return static_cast<unsigned long>(options.testLimitSeconds * 1000.0);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseArguments(argc, argv, options)) return usage();
  switch (options.mode) {
    case Options::kPlay: return runPlay(options);
    case Options::kSoak: return runSoak(options);
    case Options::kValidate: {
      ValidationOptions validation;
      validation.dll = options.dll;
      validation.seconds = options.secondsGiven ? options.seconds : 2.0;
      validation.countingDll = options.countingDll.empty() ? countingDllBesideHost() : options.countingDll;
      validation.testLimitMs = limitMs(options);
      return runValidation(validation);
    }
    case Options::kInfo: break;
  }
  return runInfo(options.dll, limitMs(options));
}
