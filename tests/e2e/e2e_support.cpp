#include "e2e_support.h"

#include <gtest/gtest.h>
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

bool PluginSession::waitUntilDecoded(const std::string& unixPath, DWORD limitMs) {
  const std::string path = testhost::windowsPath(unixPath);
  return editorWindow->idleUntil(
      [&] {
        const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        CloseHandle(file);
        return true;
      },
      limitMs);
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

std::int64_t layer1FramesNotPlayed(const testhost::StereoBuffer& rendered,
                                   const std::vector<unsigned char>& stream, std::int64_t start,
                                   std::int64_t length) {
  constexpr std::int64_t kFrameSamples = 384;
  const long first = static_cast<long>(start / kFrameSamples);
  const long count = static_cast<long>(rendered.frames() / kFrameSamples) + 2;
  const ReferenceDecode excerpt = referenceDecodeLayer1Frames(stream, first, count);
  if (excerpt.channels == 0) return -1;
  const auto& left = excerpt.samples[0];
  const auto& right = excerpt.samples[excerpt.channels > 1 ? 1 : 0];
  std::int64_t wrong = 0;
  for (std::size_t k = 0; k < rendered.frames(); ++k) {
    const std::int64_t frame = start + static_cast<std::int64_t>(k);
    float expectedLeft = 0.0f;
    float expectedRight = 0.0f;
    if (frame < length) {
      const auto at = static_cast<std::size_t>(frame - first * kFrameSamples);
      if (at >= left.size()) return -1;
      expectedLeft = left[at];
      expectedRight = right[at];
    }
    wrong += rendered.left[k] == expectedLeft && rendered.right[k] == expectedRight ? 0 : 1;
  }
  return wrong;
}

void expectPlaybackEndsAtExactly(PluginSession& plugin, const std::vector<unsigned char>& stream,
                                 std::int64_t length, int fileRate) {
  plugin.effect().setSampleRate(static_cast<float>(fileRate));
  plugin.effect().setParameter(1, 0.0f);
  plugin.effect().setParameter(3, 0.5f);  // pitch 0
  // The player cues trunc(length x fraction).
  const auto fraction = static_cast<float>(static_cast<double>(length - 3000) / static_cast<double>(length));
  const auto start = static_cast<std::int64_t>(static_cast<double>(length) * static_cast<double>(fraction));
  plugin.effect().setParameter(2, fraction);
  testhost::StereoBuffer rendered;
  plugin.effect().render(8192, rendered);
  EXPECT_EQ(layer1FramesNotPlayed(rendered, stream, start, length), 0) << "from frame " << start;
  EXPECT_EQ(plugin.parameter(0), 0.0f) << "playback ends at the file's length";
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
