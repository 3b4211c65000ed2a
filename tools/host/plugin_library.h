// Loads a plug-in DLL and creates effects through its `main`, as a music host does.
#pragma once

#include <windows.h>

#include <string>

#include "host/effect_record.h"

namespace vintrove::testhost {

class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  bool loaded() const { return module_ != nullptr && entry_ != nullptr; }
  const std::string& error() const { return error_; }
  HMODULE module() const { return module_; }

  // Calls the library's `main`; null when it refuses.
  EffectRecord* createEffect(HostCallback callback) const;

 private:
  using MainEntry = EffectRecord*(VINTROVE_HOST_CALL*)(HostCallback);
  HMODULE module_ = nullptr;
  MainEntry entry_ = nullptr;
  std::string error_;
};

}  // namespace vintrove::testhost
