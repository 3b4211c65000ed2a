#include "record_report.h"

#include <cstring>
#include <string>

namespace vintrove::testhost {

namespace {

std::string fourCharacterText(std::int32_t value) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xff);
    text += (c >= 0x20 && c < 0x7f) ? c : '.';
  }
  return text;
}

// Asks the effect for a text through the dispatcher, into a buffer far larger than any the
// interface promises, so an overlong answer shows instead of corrupting the host.
std::string askText(EffectRecord& record, std::int32_t opcode, std::int32_t index = 0) {
  char text[512];
  std::memset(text, 0, sizeof text);
  record.dispatcher(&record, opcode, index, 0, text, 0.0f);
  text[sizeof text - 1] = '\0';
  return text;
}

}  // namespace

void printRecord(std::FILE* out, const EffectRecord& record) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
  std::fprintf(out, "record size: %u\n", static_cast<unsigned>(sizeof record));
  for (std::size_t offset = 0; offset < sizeof record; offset += 16) {
    std::fprintf(out, "record bytes %3u:", static_cast<unsigned>(offset));
    for (std::size_t i = offset; i < offset + 16 && i < sizeof record; ++i) std::fprintf(out, " %02x", bytes[i]);
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "magic: 0x%08x (%s)\n", static_cast<unsigned>(record.magic), fourCharacterText(record.magic).c_str());
  std::fprintf(out, "dispatcher: %s\n", record.dispatcher ? "set" : "null");
  std::fprintf(out, "process: %s\n", record.process ? "set" : "null");
  std::fprintf(out, "setParameter: %s\n", record.setParameter ? "set" : "null");
  std::fprintf(out, "getParameter: %s\n", record.getParameter ? "set" : "null");
  std::fprintf(out, "processReplacing: %s\n", record.processReplacing ? "set" : "null");
  std::fprintf(out, "numPrograms: %d\n", static_cast<int>(record.numPrograms));
  std::fprintf(out, "numParams: %d\n", static_cast<int>(record.numParams));
  std::fprintf(out, "numInputs: %d\n", static_cast<int>(record.numInputs));
  std::fprintf(out, "numOutputs: %d\n", static_cast<int>(record.numOutputs));
  std::fprintf(out, "flags: 0x%03x\n", static_cast<unsigned>(record.flags));
  std::fprintf(out, "initialDelay: %d\n", static_cast<int>(record.initialDelay));
  std::fprintf(out, "realQualities: %d\n", static_cast<int>(record.realQualities));
  std::fprintf(out, "offQualities: %d\n", static_cast<int>(record.offQualities));
  std::fprintf(out, "ioRatio: %g\n", static_cast<double>(record.ioRatio));
  std::fprintf(out, "object: %s\n", record.object ? "set" : "null");
  std::fprintf(out, "user: %s\n", record.user ? "set" : "null");
  std::fprintf(out, "uniqueID: 0x%08x (%s)\n", static_cast<unsigned>(record.uniqueID),
               fourCharacterText(record.uniqueID).c_str());
  std::fprintf(out, "version: %d\n", static_cast<int>(record.version));
  bool futureZero = record.reserved1 == 0 && record.reserved2 == 0;
  for (char c : record.future) futureZero = futureZero && c == 0;
  std::fprintf(out, "reserved and future bytes: %s\n", futureZero ? "zero" : "NOT ZERO");
}

void printNames(std::FILE* out, EffectRecord& record) {
  std::fprintf(out, "effect name: %s\n", askText(record, 45).c_str());
  std::fprintf(out, "vendor: %s\n", askText(record, 47).c_str());
  std::fprintf(out, "product: %s\n", askText(record, 48).c_str());
  std::fprintf(out, "vendor version: %d\n",
               static_cast<int>(record.dispatcher(&record, 49, 0, 0, nullptr, 0.0f)));
  std::fprintf(out, "program name: %s\n", askText(record, 5).c_str());
}

void printParameters(std::FILE* out, EffectRecord& record) {
  for (std::int32_t i = 0; i < record.numParams; ++i) {
    const std::string name = askText(record, 8, i);
    const std::string display = askText(record, 7, i);
    const std::string label = askText(record, 6, i);
    std::fprintf(out, "parameter %d: %s = %s [%s] value %g\n", static_cast<int>(i), name.c_str(),
                 display.c_str(), label.c_str(), static_cast<double>(record.getParameter(&record, i)));
  }
}

}  // namespace vintrove::testhost
