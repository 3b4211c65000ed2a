#include "e2e_support.h"

#include <windows.h>

#include <cmath>

namespace vintrove::test {

PluginSession::PluginSession(float hostRate, bool smooth) : library(VINTROVE_DLL_PATH), rate(hostRate) {
  session = std::make_unique<testhost::EffectSession>(library);
  session->setParameter(4, smooth ? 1.0f : 0.0f);
  session->open();
  session->setSampleRate(rate);
  session->setBlockSize(kBlockSize);
  session->resume();
  openEditor();
}

PluginSession::~PluginSession() {
  editorWindow.reset();
  session.reset();
}

void PluginSession::openEditor() {
  if (!editorWindow) {
    editorWindow = std::make_unique<testhost::EditorWindow>(*session);
    editorWindow->idleFor(50);
  }
}

void PluginSession::closeEditor() { editorWindow.reset(); }

bool PluginSession::chooseThroughDialog(const std::string& unixPath) {
  testhost::DialogAnswerer answerer(
      testhost::DialogAnswer::confirm(testhost::windowsPath(unixPath)));
  editorWindow->clickAt(kOpenButton.x, kOpenButton.y);
  return answerer.wait();
}

bool PluginSession::waitUntilPlaying() {
  return editorWindow->idleUntil([this] { return session->getParameter(0) == 1.0f; }, 1000);
}

bool PluginSession::playFromStart(const std::string& unixPath, float pitchParameter,
                                  int decodeMilliseconds) {
  if (!chooseThroughDialog(unixPath) || !waitUntilPlaying()) return false;
  clickAt(kPlayToggle);
  editorWindow->idleFor(decodeMilliseconds);
  clickAt(kToStartButton);
  session->setParameter(3, pitchParameter);
  clickAt(kPlayToggle);
  return session->getParameter(0) == 1.0f && session->getParameter(2) == 0.0f;
}

void PluginSession::clickAt(POINT where) { editorWindow->clickAt(where.x, where.y); }

std::string dataFile(const char* name) {
  return std::string(VINTROVE_TEST_DATA_DIR).append("/").append(name);
}

int changedPixels(const testhost::RgbImage& before, const testhost::RgbImage& after, RECT area) {
  int changed = 0;
  for (LONG y = area.top; y < area.bottom; ++y) {
    for (LONG x = area.left; x < area.right; ++x) {
      const std::uint8_t* a = before.pixel(x, y);
      const std::uint8_t* b = after.pixel(x, y);
      changed += (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) ? 1 : 0;
    }
  }
  return changed;
}

float speedRatio(float pitchParameter, float hostRate, int fileRate) {
  const float pitch = (2.0f * pitchParameter - 1.0f) * 12.0f;
  return (pitch * 0.01f + 1.0f) / hostRate * static_cast<float>(fileRate);
}

std::int64_t framesNotFromFile(const testhost::StereoBuffer& rendered, const ReferenceDecode& file,
                               std::int64_t start, float ratio) {
  const auto length = static_cast<std::int64_t>(file.samples[0].size());
  const auto& left = file.samples[0];
  const auto& right = file.samples[file.channels > 1 ? 1 : 0];
  std::int64_t wrong = 0;
  for (std::size_t k = 0; k < rendered.frames(); ++k) {
    const auto nominal = start + static_cast<std::int64_t>(static_cast<double>(k) * ratio);
    bool found = false;
    for (std::int64_t candidate = nominal - 1; candidate <= nominal + 1 && !found; ++candidate) {
      const std::int64_t at = ((candidate % length) + length) % length;
      found = rendered.left[k] == left[static_cast<std::size_t>(at)] &&
              rendered.right[k] == right[static_cast<std::size_t>(at)];
    }
    wrong += found ? 0 : 1;
  }
  return wrong;
}

MessageBoxWatcher::MessageBoxWatcher(const char* boxCaption) : caption(boxCaption) {
  watcher = std::thread([this] {
    while (!stopping.load()) {
      HWND box = FindWindowA("#32770", caption.c_str());
      DWORD process = 0;
      if (box != nullptr) {
        GetWindowThreadProcessId(box, &process);
      }
      if (box != nullptr && process == GetCurrentProcessId()) {
        char buffer[256] = "";
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        ++boxes;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        Sleep(200);
      }
      Sleep(20);
    }
  });
}

MessageBoxWatcher::~MessageBoxWatcher() {
  stopping.store(true);
  watcher.join();
}

}  // namespace vintrove::test
