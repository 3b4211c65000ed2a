// The editor as real hosts and users drive it, through our host loading the DLL: a host that
// closes the plug-in while the file dialog is up, a host that sends no idle, the edit brackets
// a host in touch-automation mode relies on, file names outside the 8-bit code page, swapped
// mouse buttons and what drops answer.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "file_drag.h"
#include "layer1_writer.h"
#include "gui_census.h"
#include "png_writer.h"
#include "temp_file.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

using testhost::DialogAnswer;
using testhost::DialogAnswerer;
using testhost::EditorWindow;
using testhost::EffectSession;
using testhost::FileDrag;
using testhost::PluginLibrary;
using testhost::RecordingHost;
using testhost::RgbImage;
using testhost::StereoBuffer;

constexpr RECT kFileNameArea{4, 4, 196, 20};
constexpr RECT kElapsedArea{84, 44, 124, 60};
constexpr POINT kOverview{126, 32};

// A folder of its own for files with the given UTF-8 names, each a copy of a test file.
class NamedCopies {
 public:
  NamedCopies() {
    wchar_t base[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, base);
    folder = std::filesystem::path(base) / ("vintrove-names-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
  }
  ~NamedCopies() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  // The copy's Windows path, in UTF-8.
  std::string copy(const std::string& source, const std::string& utf8Name) {
    const std::filesystem::path target = folder / std::filesystem::u8path(utf8Name);
    std::filesystem::copy_file(std::filesystem::u8path(testhost::windowsPath(source)), target,
                               std::filesystem::copy_options::overwrite_existing);
    const std::u8string text = target.u8string();
    return std::string(text.begin(), text.end());
  }
  std::string pathOf(const std::string& utf8Name) const {
    const std::u8string text = (folder / std::filesystem::u8path(utf8Name)).u8string();
    return std::string(text.begin(), text.end());
  }

 private:
  std::filesystem::path folder;
};

// Clicks a point of the screen from a thread of its own, with the primary button.
void clickFromOutside(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof input);
  GetAsyncKeyState(VK_LBUTTON);  // drops Wine's cached "up" of every thread (see editor_window)
  Sleep(120);
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof input);
}

// Moves the dialogs of this process out of the way and notes the owner of the last one.
BOOL CALLBACK moveDialogAway(HWND window, LPARAM owner) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && std::string(name) == "#32770") {
    SetWindowPos(window, nullptr, 640, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    *reinterpret_cast<HWND*>(owner) = GetWindow(window, GW_OWNER);
  }
  return TRUE;
}

void cancelEveryFileDialog() {
  for (int turn = 0; turn < 100 && testhost::visibleFileDialogs() > 0; ++turn) {
    DialogAnswerer answerer(DialogAnswer::cancelAfter(0, 200));
    answerer.wait();
  }
}

// Indices of the begin (43) and end (44) edit requests from `from` on.
std::vector<std::string> editBrackets(const RecordingHost& host, std::size_t from) {
  std::vector<std::string> brackets;
  const std::vector<testhost::HostRequest> requests = host.requests();
  for (std::size_t i = from; i < requests.size(); ++i) {
    if (requests[i].opcode == 43 || requests[i].opcode == 44) {
      brackets.push_back((requests[i].opcode == 43 ? "begin " : "end ") + std::to_string(requests[i].index));
    }
  }
  return brackets;
}

// The host's own timer closes the plug-in, then unloads the library, as a host does when the
// user deletes the track while the dialog is up; then the dialog is cancelled.
void closeFromAHostTimerDuringTheDialog() {
  auto library = std::make_unique<PluginLibrary>(VINTROVE_DLL_PATH);
  ASSERT_TRUE(library->loaded());
  RecordingHost host;
  auto session = std::make_unique<EffectSession>(*library);
  session->open();
  session->setSampleRate(44100.0f);
  session->setBlockSize(kBlockSize);
  session->resume();
  EditorWindow window(*session);
  ASSERT_TRUE(window.isOpen());
  std::atomic<bool> closedDuringDialog{false};
  window.runOnTimer(20, [&] {
    if (testhost::visibleFileDialogs() == 0) return false;
    closedDuringDialog.store(true);
    session->close();
    library.reset();
    return true;
  });
  DialogAnswerer answerer(DialogAnswer::cancelAfter(800));
  window.clickAt(kOpenButton.x, kOpenButton.y);
  EXPECT_TRUE(answerer.wait());
  EXPECT_TRUE(closedDuringDialog.load());
  window.idleFor(200);
  EXPECT_EQ(testhost::visibleFileDialogs(), 0);
}

TEST(HostClosesDuringTheDialog, ClosingFromAHostTimerWhileTheDialogIsUpLeavesTheHostRunning) {
  // The first time also warms the caches of the dialog and of the libraries it loads (which
  // stay loaded with the plug-in's library).
  closeFromAHostTimerDuringTheDialog();
  const testhost::GuiCounts before = testhost::countGui();
  closeFromAHostTimerDuringTheDialog();
  // The host lives on, and what the plug-in made is gone again.
  EXPECT_EQ(testhost::countGui(), before);
}

TEST(HostClosesDuringTheDialog, ClosingTheEditorWhileTheDialogIsUpThenChoosingStillLoads) {
  PluginSession plugin;
  plugin.window().runOnTimer(20, [&] {
    if (testhost::visibleFileDialogs() == 0) return false;
    plugin.effect().closeEditor();
    return true;
  });
  DialogAnswerer answerer(DialogAnswer::confirm(testhost::windowsPath(dataFile("l2_32k_mono_64k.mp2"))));
  plugin.clickAt(kOpenButton);
  EXPECT_TRUE(answerer.wait());
  EXPECT_FALSE(plugin.effect().editorOpen());
  EXPECT_TRUE(plugin.window().idleUntil([&] { return plugin.parameter(0) == 1.0f; }, 2000));
}

TEST(HostClosesDuringTheDialog, ASecondPressWhileTheDialogIsUpOpensNoSecondOne) {
  PluginSession plugin;
  const POINT open = plugin.window().toScreen(kOpenButton.x, kOpenButton.y);
  std::atomic<int> mostDialogs{0};
  std::atomic<HWND> owner{nullptr};
  std::thread user([&] {
    for (int waited = 0; testhost::visibleFileDialogs() == 0 && waited < 5000; waited += 20) Sleep(20);
    Sleep(300);
    // Out of the way, so that the press lands where the open button is.
    HWND dialogOwner = nullptr;
    EnumWindows(moveDialogAway, reinterpret_cast<LPARAM>(&dialogOwner));
    owner.store(dialogOwner);
    Sleep(200);
    clickFromOutside(open);  // the dialog is modal to the host's window: this reaches nothing
    Sleep(700);
    mostDialogs.store(testhost::visibleFileDialogs());
    cancelEveryFileDialog();
  });
  plugin.clickAt(kOpenButton);
  plugin.window().idleFor(200);
  user.join();
  // Owned by the host's top-level window, which the dialog disables while it is up.
  EXPECT_EQ(owner.load(), plugin.window().window());
  EXPECT_EQ(mostDialogs.load(), 1);
  EXPECT_EQ(testhost::visibleFileDialogs(), 0);
}

TEST(HostWithoutIdle, TheElapsedTimeMovesDuringPlaybackWithoutEditorIdle) {
  TempFile longFile(writeLayer1(48000, 32, 1, 5000), ".mp1");  // 40 seconds
  PluginSession plugin;
  ASSERT_TRUE(plugin.chooseThroughDialog(longFile.path()));
  ASSERT_TRUE(plugin.waitUntilPlaying());
  plugin.window().setSendsIdle(false);
  plugin.window().idleFor(300);
  RgbImage before;
  ASSERT_TRUE(plugin.window().capture(before));
  // Twelve seconds of playback (two digits of the display change) while the host only pumps
  // its messages.
  StereoBuffer played;
  for (int second = 0; second < 12; ++second) {
    plugin.effect().render(44100, played);
    plugin.window().idleFor(50);
  }
  plugin.window().idleFor(200);
  RgbImage after;
  ASSERT_TRUE(plugin.window().capture(after));
  EXPECT_GT(changedPixels(before, after, kElapsedArea), 8);
  // A repaint right after playback, before any timer could run, paints the current time too.
  plugin.effect().render(4 * 44100, played);
  RgbImage painted;
  InvalidateRect(plugin.window().view(), nullptr, FALSE);
  ASSERT_TRUE(plugin.window().capture(painted));
  EXPECT_GT(changedPixels(after, painted, kElapsedArea), 3);
  // Host automation shows too: Loop switched on by the host (from its audio thread) lights
  // the loop button.
  constexpr RECT kLoopButton{64, 44, 80, 60};
  std::thread([&] { plugin.effect().setParameter(1, 1.0f); }).join();
  plugin.window().idleFor(200);
  RgbImage automated;
  ASSERT_TRUE(plugin.window().capture(automated));
  EXPECT_GT(changedPixels(painted, automated, kLoopButton), 10);
}

TEST(EditBrackets, EachControlBracketsItsParameterAndTheOpenButtonNothing) {
  PluginSession plugin;
  RecordingHost& host = plugin.host();
  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile("l3_44k1_stereo_128k.mp3")));
  ASSERT_TRUE(plugin.waitUntilPlaying());
  struct Gesture {
    const char* control;
    std::function<void()> act;
    std::vector<std::string> brackets;
  };
  const std::vector<Gesture> gestures = {
      {"play", [&] { plugin.clickAt(kPlayToggle); }, {"begin 0", "end 0"}},
      {"loop", [&] { plugin.clickAt(kLoopToggle); }, {"begin 1", "end 1"}},
      {"position slider", [&] { plugin.clickAt(kOverview); }, {"begin 2", "end 2"}},
      {"pitch slider", [&] { plugin.window().dragFrom(118, 72).to(200, 72); }, {"begin 3", "end 3"}},
      {"to start", [&] { plugin.clickAt(kToStartButton); }, {"begin 2", "end 2"}},
      {"pitch reset", [&] { plugin.clickAt(kPitchResetButton); }, {"begin 3", "end 3"}},
      {"open",
       [&] {
         DialogAnswerer answerer(DialogAnswer::cancel());
         plugin.clickAt(kOpenButton);
         answerer.wait();
       },
       {}},
  };
  for (const Gesture& gesture : gestures) {
    const std::size_t from = host.requests().size();
    ASSERT_LT(from + 40, RecordingHost::kKeptRequests) << "the log would overflow";
    gesture.act();
    EXPECT_EQ(editBrackets(host, from), gesture.brackets) << gesture.control;
  }
}

class NamesBeyondTheCodePage : public ::testing::Test {
 protected:
  NamedCopies copies;
  const std::string source = dataFile("l2_32k_mono_64k.mp2");
};

TEST_F(NamesBeyondTheCodePage, LoadThroughTheDialogShowTheirNameAndPlay) {
  // Cyrillic, Japanese and a music sign. The two Cyrillic names have the same length: cut down
  // to the 8-bit code page they would both read "?????".
  const char* const names[] = {"\xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f.mp2",   // Песня
                               "\xd0\x92\xd0\xb5\xd1\x82\xd0\xb5\xd1\x80.mp2",   // Ветер
                               "\xe9\x9f\xb3\xe6\xa5\xbd.mp2",                   // 音楽
                               "\xe2\x99\xaa tune.mp2"};                         // ♪ tune
  std::vector<RgbImage> shown;
  PluginSession plugin;
  RgbImage fresh;
  ASSERT_TRUE(plugin.window().capture(fresh));
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string path = copies.copy(source, name);
    plugin.effect().setParameter(0, 0.0f);
    ASSERT_TRUE(plugin.chooseThroughDialog(path));
    ASSERT_TRUE(plugin.waitUntilPlaying());
    plugin.window().idleFor(300);
    RgbImage picture;
    ASSERT_TRUE(plugin.window().capture(picture));
    EXPECT_GT(changedPixels(fresh, picture, kFileNameArea), 10);
    shown.push_back(picture);
    StereoBuffer out;
    plugin.effect().render(8192, out);
    EXPECT_GT(out.peak(), 0.01f);
  }
  EXPECT_GT(changedPixels(shown[0], shown[1], kFileNameArea), 10) << "the letters themselves show";
}

TEST_F(NamesBeyondTheCodePage, LoadThroughADropAndShowTheirName) {
  const std::string path = copies.copy(source, "\xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f \xe2\x99\xaa.mp2");
  PluginSession plugin;
  RgbImage fresh;
  ASSERT_TRUE(plugin.window().capture(fresh));
  const FileDrag drag = testhost::dragFilesOnto(plugin.window().toScreen(120, 60), {path});
  EXPECT_TRUE(drag.dropped);
  EXPECT_EQ(drag.effect, DWORD{DROPEFFECT_COPY});
  ASSERT_TRUE(plugin.waitUntilPlaying());
  plugin.window().idleFor(300);
  RgbImage picture;
  ASSERT_TRUE(plugin.window().capture(picture));
  EXPECT_GT(changedPixels(fresh, picture, kFileNameArea), 10);
  StereoBuffer out;
  plugin.effect().render(8192, out);
  EXPECT_GT(out.peak(), 0.01f);
}

// Drops answer copy for a file the plug-in can load and none for anything else, and never
// move, whatever the drag source allows.
TEST(Drops, ALoadableFileShowsAndGetsCopyAndAnythingElseNone) {
  PluginSession plugin;
  const POINT over = plugin.window().toScreen(120, 60);
  const FileDrag song = testhost::dragFilesOnto(over, {testhost::windowsPath(dataFile("l2_32k_mono_64k.mp2"))});
  ASSERT_FALSE(song.feedback.empty());
  for (DWORD shown : song.feedback) EXPECT_EQ(shown, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(song.effect, DWORD{DROPEFFECT_COPY});
  EXPECT_TRUE(plugin.waitUntilPlaying());

  const FileDrag text = testhost::dragFilesOnto(over, {testhost::windowsPath(dataFile("not_mpeg.txt"))},
                                                DROPEFFECT_MOVE | DROPEFFECT_COPY);
  ASSERT_FALSE(text.feedback.empty());
  for (DWORD shown : text.feedback) EXPECT_EQ(shown, DWORD{DROPEFFECT_NONE});
  EXPECT_EQ(text.effect, DWORD{DROPEFFECT_NONE});
}

// Arrow keys the host forwards (opcode 59, the host's key numbering: 13 right, 11 left) move
// the pitch slider, and it is drawn where it now is, also while nothing plays.
TEST(HostKeys, ArrowKeysMoveAndRedrawThePitchSliderWhileStopped) {
  PluginSession plugin;
  constexpr RECT kPitchSlider{4, 64, 232, 80};
  constexpr std::int32_t kKeyDown = 59;
  constexpr HostInt kRightArrow = 13;
  RgbImage before;
  ASSERT_TRUE(plugin.window().capture(before));
  for (int press = 0; press < 3; ++press) {
    EXPECT_EQ(plugin.effect().dispatch(kKeyDown, 0, kRightArrow), 1);
  }
  EXPECT_GT(plugin.parameter(3), 0.75f);
  plugin.window().idleFor(200);
  RgbImage after;
  ASSERT_TRUE(plugin.window().capture(after));
  EXPECT_GT(changedPixels(before, after, kPitchSlider), 20);
}

// The user's left-handed setting: the physical right button is the primary one.
class SwappedButtons {
 public:
  SwappedButtons() : wasSwapped(SwapMouseButton(TRUE) != FALSE) {}
  ~SwappedButtons() { SwapMouseButton(wasSwapped ? TRUE : FALSE); }
  SwappedButtons(const SwappedButtons&) = delete;
  SwappedButtons& operator=(const SwappedButtons&) = delete;

 private:
  bool wasSwapped;
};

TEST(SwappedMouseButtons, ThePrimaryButtonWorksEveryControl) {
  PluginSession plugin;
  ASSERT_TRUE(plugin.chooseThroughDialog(dataFile("l3_44k1_stereo_128k.mp3")));
  ASSERT_TRUE(plugin.waitUntilPlaying());
  SwappedButtons swapped;
  ASSERT_NE(GetSystemMetrics(SM_SWAPBUTTON), 0);
  plugin.clickAt(kPlayToggle);
  EXPECT_EQ(plugin.parameter(0), 0.0f);
  plugin.clickAt(kLoopToggle);
  EXPECT_EQ(plugin.parameter(1), 1.0f);
  plugin.clickAt(kOverview);
  EXPECT_NEAR(plugin.parameter(2), 0.5f, 0.02f);
  plugin.window().dragFrom(118, 72).to(230, 72);
  EXPECT_GT(plugin.parameter(3), 0.95f);
  plugin.clickAt(kPitchResetButton);
  EXPECT_EQ(plugin.parameter(3), 0.5f);
}

}  // namespace
}  // namespace vintrove::test
