// What the end-to-end tests share: the plug-in loaded through our host with its editor open in
// a window, loads through the real file dialog, and the check that rendered audio is the
// decoded file played from a position at a speed.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dialog_answerer.h"
#include "editor_window.h"
#include "effect_session.h"
#include "plugin_library.h"
#include "png_writer.h"
#include "recording_host.h"
#include "reference_decode.h"

namespace vintrove::test {

// Editor client points of the controls.
inline constexpr POINT kOpenButton{12, 52};
inline constexpr POINT kToStartButton{32, 52};
inline constexpr POINT kPlayToggle{52, 52};
inline constexpr POINT kLoopToggle{72, 52};
inline constexpr POINT kPitchResetButton{244, 72};
inline constexpr std::int32_t kBlockSize = 512;

// The plug-in in our host with its editor open. Smooth (parameter 4) is set as asked right after
// the effect is made: off unless a test asks for it, so that tests of the nearest-lower-sample
// rule hold the plug-in to exact frames.
class PluginSession {
 public:
  explicit PluginSession(float hostRate = 44100.0f, bool smooth = false);
  ~PluginSession();

  testhost::EffectSession& effect() { return *session; }
  testhost::EditorWindow& window() { return *editorWindow; }
  testhost::RecordingHost& host() { return recordingHost; }
  float hostRate() const { return rate; }

  // Opens the editor again after closeEditor().
  void openEditor();
  void closeEditor();
  bool editorOpen() const { return editorWindow != nullptr; }

  // Clicks the open button and confirms the dialog with the file; true when the dialog took it.
  bool chooseThroughDialog(const std::string& unixPath);
  // Idles until Playing turns on (true) or a second has passed.
  bool waitUntilPlaying();
  // Chooses the file, lets it decode, then stops, goes back to frame 0, sets the pitch parameter
  // and starts again: the next rendered frame plays from frame 0 at that pitch.
  bool playFromStart(const std::string& unixPath, float pitchParameter, int decodeMilliseconds = 300);
  // Idles until the decode of the file has ended (true) or the limit has passed: the loader
  // keeps the file open while it decodes, so the file then opens without sharing.
  bool waitUntilDecoded(const std::string& unixPath, DWORD limitMs);
  void clickAt(POINT where);
  float parameter(std::int32_t index) { return session->getParameter(index); }

 private:
  testhost::PluginLibrary library;
  testhost::RecordingHost recordingHost;
  std::unique_ptr<testhost::EffectSession> session;
  std::unique_ptr<testhost::EditorWindow> editorWindow;
  float rate;
};

// A file of the test data folder.
std::string dataFile(const char* name);

// Pixels of an editor rectangle that differ between two pictures.
int changedPixels(const testhost::RgbImage& before, const testhost::RgbImage& after, RECT area);

// The speed ratio the player uses: (pitch per cent x 0.01 + 1) / host rate x file rate.
float speedRatio(float pitchParameter, float hostRate, int fileRate);

// Counts rendered frames that are not the decoded frame playback at `ratio` from `start` should
// give: rendered frame k reads frame start + k x ratio (nearest lower frame, whatever the block
// size; a frame either side is accepted for float rounding). Frames past the end wrap.
std::int64_t framesNotFromFile(const testhost::StereoBuffer& rendered, const ReferenceDecode& file,
                               std::int64_t start, float ratio);

// Counts rendered frames that are not frames start, start + 1, .. of an MPEG-1 layer I stream
// (played at ratio 1 with loop off, from a cue) up to `length`, or not silence after it, where
// playback stops. -1 when the stream has no frame for one of them.
std::int64_t layer1FramesNotPlayed(const testhost::StereoBuffer& rendered,
                                   const std::vector<unsigned char>& stream, std::int64_t start,
                                   std::int64_t length);

// Cues the host's Position parameter a few thousand frames before the end of a layer I file of
// `length` frames, with loop off, the host at the file's rate and pitch 0, and plays past the
// end: the last frames are the file's, the block goes silent at exactly `length` and Playing
// turns off.
void expectPlaybackEndsAtExactly(PluginSession& plugin, const std::vector<unsigned char>& stream,
                                 std::int64_t length, int fileRate);

// Clicks away message boxes with the given caption, from a thread of its own; counts them.
class MessageBoxWatcher {
 public:
  explicit MessageBoxWatcher(const char* caption);
  ~MessageBoxWatcher();
  int seen() const { return boxes.load(); }
  const std::string& lastText() const { return text; }

 private:
  std::string caption;
  std::string text;
  std::atomic<int> boxes{0};
  std::atomic<bool> stopping{false};
  std::thread watcher;
};

}  // namespace vintrove::test
