#include "plugin_library.h"

namespace vintrove::testhost {

PluginLibrary::PluginLibrary(const std::string& path) {
  module_ = LoadLibraryA(path.c_str());
  if (module_ == nullptr) {
    error_ = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return;
  }
  // The entry is looked up by its plain name, as hosts do.
  entry_ = reinterpret_cast<MainEntry>(reinterpret_cast<void*>(GetProcAddress(module_, "main")));
  if (entry_ == nullptr) error_ = path + " exports no main";
}

PluginLibrary::~PluginLibrary() {
  if (module_ != nullptr) FreeLibrary(module_);
}

EffectRecord* PluginLibrary::createEffect(HostCallback callback) const {
  return entry_ != nullptr ? entry_(callback) : nullptr;
}

}  // namespace vintrove::testhost
