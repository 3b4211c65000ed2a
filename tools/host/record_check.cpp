#include "record_check.h"

#include <cstdio>

namespace vintrove::testhost {

namespace {

// More than any host shows; a larger count is garbage that loops over it would take for ever on.
constexpr std::int32_t kMostParameters = 10000;
constexpr std::int32_t kMostPrograms = 10000;
constexpr std::int32_t kMostPins = 256;

void add(std::string& problems, const std::string& problem) {
  if (!problems.empty()) problems += "; ";
  problems += problem;
}

void checkCount(std::string& problems, const char* name, std::int32_t value, std::int32_t most) {
  if (value < 0 || value > most) {
    add(problems, std::string(name) + " is " + std::to_string(value) + ", outside 0.." + std::to_string(most));
  }
}

}  // namespace

std::string recordProblems(const EffectRecord* record) {
  if (record == nullptr) return "main answered null";
  std::string problems;
  if (record->magic != kEffectMagic) {
    char text[64];
    std::snprintf(text, sizeof text, "magic is 0x%08x, not 0x%08x ('VstP')", static_cast<unsigned>(record->magic),
                  static_cast<unsigned>(kEffectMagic));
    add(problems, text);
  }
  std::string missing;
  const struct {
    const char* name;
    bool present;
  } entries[] = {{"dispatcher", record->dispatcher != nullptr},
                 {"process", record->process != nullptr},
                 {"setParameter", record->setParameter != nullptr},
                 {"getParameter", record->getParameter != nullptr},
                 {"processReplacing", record->processReplacing != nullptr}};
  for (const auto& entry : entries) {
    if (!entry.present) missing += missing.empty() ? entry.name : std::string(", ") + entry.name;
  }
  if (!missing.empty()) add(problems, "no entry point for " + missing);
  checkCount(problems, "numParams", record->numParams, kMostParameters);
  checkCount(problems, "numPrograms", record->numPrograms, kMostPrograms);
  checkCount(problems, "numInputs", record->numInputs, kMostPins);
  checkCount(problems, "numOutputs", record->numOutputs, kMostPins);
  return problems;
}

}  // namespace vintrove::testhost
