// vintrove-host: loads a VST 2 plug-in DLL exactly as a music host does (LoadLibrary, `main`),
// prints what the host sees and closes the effect.
//
//   vintrove-host [--info] [path\to\vintrove.dll]
#include <cstdio>
#include <cstring>
#include <string>

#include "plugin_library.h"
#include "record_report.h"
#include "recording_host.h"

using namespace vintrove;
using namespace vintrove::testhost;

namespace {

int usage() {
  std::fprintf(stderr, "usage: vintrove-host [--info] [vintrove.dll]\n");
  return 2;
}

void printRequests(std::FILE* out, const RecordingHost& host) {
  std::fprintf(out, "host requests: %u\n", static_cast<unsigned>(host.requestCount()));
  for (const HostRequest& r : host.requests()) {
    std::fprintf(out, "host request: opcode %d (%s) index %d value %lld effect %s\n",
                 static_cast<int>(r.opcode), hostRequestName(r.opcode), static_cast<int>(r.index),
                 static_cast<long long>(r.value), r.effect ? "set" : "null");
  }
}

int runInfo(const std::string& dllPath) {
  PluginLibrary library(dllPath);
  if (!library.loaded()) {
    std::fprintf(stderr, "vintrove-host: %s\n", library.error().c_str());
    return 1;
  }
  RecordingHost host;
  EffectRecord* record = library.createEffect(&RecordingHost::callback);
  if (record == nullptr) {
    std::fprintf(stderr, "vintrove-host: main returned null\n");
    return 1;
  }
  std::printf("loaded: %s\n", dllPath.c_str());
  printRecord(stdout, *record);
  printNames(stdout, *record);
  printParameters(stdout, *record);
  const HostInt closed = record->dispatcher(record, 1, 0, 0, nullptr, 0.0f);
  std::printf("close answered: %lld\n", static_cast<long long>(closed));
  printRequests(stdout, host);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dllPath = "vintrove.dll";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--info") == 0) continue;
    if (argv[i][0] == '-') return usage();
    dllPath = argv[i];
  }
  return runInfo(dllPath);
}
