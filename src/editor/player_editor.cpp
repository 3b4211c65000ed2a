#include "editor/player_editor.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <utility>

#include "editor/overview_bitmap.h"
#include "editor/player_frame.h"
#include "gui/controls/momentary_button.h"
#include "gui/controls/slider.h"
#include "gui/controls/text_entry.h"
#include "gui/controls/toggle_button.h"
#include "gui/nested_loop_guard.h"
#include "player/placeholder_editor.h"
#include "player/player_effect.h"

namespace vintrove {

namespace {

constexpr Rect kEditorBounds{0, 0, 256, 84};
constexpr std::int32_t kImageStep = 16;
constexpr std::int32_t kShadowedText = 4;
constexpr std::int32_t kSliderStyle = kSliderDrawDirect;
constexpr std::uint32_t kProgressRedrawInterval = 100;

// The message to the editor's own window that runs the file dialog, and its refresh timer,
// which runs while the editor is open and picks up what other threads marked.
constexpr std::uintptr_t kRunFileDialog = 1;
constexpr std::uintptr_t kRefreshTimer = 0x5654;
constexpr std::uint32_t kRefreshInterval = 30;

enum BitmapId : std::int32_t {
  kTimeBack = 110,
  kModeBack = 111,
  kBitRateBack = 112,
  kFileNameBack = 113,
  kEditorBack = 114,
  kSliderHandle = 115,
  kOpenPicture = 116,
  kToStartPicture = 117,
  kPitchResetPicture = 118,
  kPlayPicture = 119,
  kLoopPicture = 120,
};

// Parameter indices of the player, in the order of the tags 4 to 7.
constexpr std::int32_t kFirstParameterTag = kPlayTag;

Retained<Bitmap> loadBitmap(std::int32_t id, bool keyed) {
  Retained<Bitmap> bitmap(new Bitmap(id));
  if (keyed) {
    bitmap->setKeyColor(kYellow);
  }
  return bitmap;
}

void integerFormatter(float value, char* text) {
  std::snprintf(text, kDisplayTextCapacity, "%d", static_cast<int>(value));
}

bool hasMpegExtension(const char* path) {
  const char* dot = std::strrchr(path, '.');
  if (dot == nullptr || std::strlen(dot) != 4) {
    return false;
  }
  return _stricmp(dot, ".mp1") == 0 || _stricmp(dot, ".mp2") == 0 || _stricmp(dot, ".mp3") == 0;
}

}  // namespace

PlayerEditor::PlayerEditor(PlayerEffect& owner)
    : GuiEditor(&owner),
      player(owner),
      overviewImage(std::make_shared<std::array<unsigned char, kOverviewBytes>>()),
      overviewBitmap(new OverviewBitmap) {
  editorRect = EditorRect{0, 0, 84, 256};
  overviewBitmap->setKeyColor(kYellow);
  takePlayerState();
}

PlayerEditor::~PlayerEditor() {
  // A loop running inside (the dialog, a control's drag) must not come back into this editor.
  endLifetime();
  close();
}

PlayerEditorHandle PlayerEditor::create(PlayerEffect& player) {
  return makePlayerEditorHandle(std::make_unique<PlayerEditor>(player));
}

std::atomic<float>& PlayerEditor::value(std::int32_t tag) {
  return values[static_cast<std::size_t>(tag - kFirstParameterTag)];
}

float PlayerEditor::controlValue(std::int32_t tag) const {
  if (tag < kPlayTag || tag > kPitchTag) {
    return 0.0f;
  }
  return values[static_cast<std::size_t>(tag - kFirstParameterTag)].load();
}

void PlayerEditor::takePlayerState() {
  for (std::int32_t tag = kPlayTag; tag <= kPitchTag; ++tag) {
    value(tag).store(player.getParameter(tag - kFirstParameterTag));
  }
}

bool PlayerEditor::onGuiThread() const { return guiThread.load() == GetCurrentThreadId(); }

std::int32_t PlayerEditor::open(void* parent) {
  if (frame) {
    close();  // a host that opens twice gets one fresh editor, not two frames
  }
  GuiEditor::open(parent);
  guiThread.store(GetCurrentThreadId());

  bitmaps.loop = loadBitmap(kLoopPicture, false);
  bitmaps.play = loadBitmap(kPlayPicture, false);
  bitmaps.open = loadBitmap(kOpenPicture, false);
  bitmaps.toStart = loadBitmap(kToStartPicture, false);
  bitmaps.pitchReset = loadBitmap(kPitchResetPicture, false);
  bitmaps.handle = loadBitmap(kSliderHandle, false);
  bitmaps.background = loadBitmap(kEditorBack, false);
  bitmaps.mode = loadBitmap(kModeBack, true);
  bitmaps.bitRate = loadBitmap(kBitRateBack, true);
  bitmaps.elapsed = loadBitmap(kTimeBack, true);
  bitmaps.total = loadBitmap(kTimeBack, true);
  bitmaps.fileName = loadBitmap(kFileNameBack, true);

  frame.reset(new PlayerFrame(kEditorBounds, static_cast<HWND>(parent), *this));
  frame->setBackdrop(bitmaps.background.get());

  openButton = new MomentaryButton(Rect{4, 44, 20, 60}, this, kOpenTag, kImageStep,
                                   bitmaps.open.get(), Point{0, 0});
  toStartButton = new MomentaryButton(Rect{24, 44, 40, 60}, this, kToStartTag, kImageStep,
                                      bitmaps.toStart.get(), Point{0, 0});
  pitchResetButton = new MomentaryButton(Rect{236, 64, 252, 80}, this, kPitchResetTag, kImageStep,
                                         bitmaps.pitchReset.get(), Point{0, 0});
  auto makeDisplay = [this](const Rect& rect, const char* text, Bitmap* picture,
                            std::int32_t style) {
    auto* display = new TextEntry(rect, this, 0, text, picture, style);
    display->enableMouse(false);
    display->setTransparent(true);
    return display;
  };
  fileNameDisplay = makeDisplay(Rect{4, 4, 196, 20}, "", bitmaps.fileName.get(), kShadowedText);
  modeDisplay = makeDisplay(Rect{200, 4, 216, 20}, "", bitmaps.mode.get(), kShadowedText);
  modeDisplay->setFormatter(integerFormatter);
  bitRateDisplay = makeDisplay(Rect{220, 4, 252, 20}, "", bitmaps.bitRate.get(), kShadowedText);
  bitRateDisplay->setFormatter(integerFormatter);
  elapsedDisplay = makeDisplay(Rect{84, 44, 124, 60}, "0:00", bitmaps.elapsed.get(), 0);
  totalDisplay = makeDisplay(Rect{128, 44, 168, 60}, "0:00", bitmaps.total.get(), 0);
  playToggle = new ToggleButton(Rect{44, 44, 60, 60}, this, kPlayTag, bitmaps.play.get());
  loopToggle = new ToggleButton(Rect{64, 44, 80, 60}, this, kLoopTag, bitmaps.loop.get());
  const std::int32_t handleWidth = bitmaps.handle->getWidth();
  positionSlider = new HorizontalSlider(Rect{4, 24, 252, 40}, this, kPositionTag, 4,
                                        252 - handleWidth, bitmaps.handle.get(),
                                        overviewBitmap.get(), Point{0, 0}, kSliderStyle);
  pitchSlider = new HorizontalSlider(Rect{4, 64, 232, 80}, this, kPitchTag, 4, 232 - handleWidth,
                                     bitmaps.handle.get(), bitmaps.background.get(), Point{4, 64},
                                     kSliderStyle);

  View* const inFrameOrder[] = {openButton,    toStartButton,  pitchResetButton, fileNameDisplay,
                                elapsedDisplay, modeDisplay,   bitRateDisplay,   totalDisplay,
                                loopToggle,    playToggle,     positionSlider,   pitchSlider};
  for (View* view : inFrameOrder) {
    if (!frame->addChild(view)) {
      view->release();
    }
  }
  editorOpen.store(true);
  appliedValues.fill(std::numeric_limits<float>::quiet_NaN());  // new controls: all news
  overviewDue = true;
  frame->startTimer(kRefreshTimer, kRefreshInterval);

  // The controls start from the player's real state, not from fixed values: an editor reopened
  // during playback must show a playing button.
  takePlayerState();
  char path[PlayerEffect::kFileNameCapacity];
  player.getFileName(path);
  {
    // "Not Found" after a refused choice lasts until the editor shows the name again: a file
    // that plays (the refused one changed nothing of it) is named at the next opening.
    std::lock_guard<platform::Lock> guard(fileNameLock);
    const bool playingFileKnown = path[0] != '\0' && player.getLength() > 0;
    if ((fileNameText[0] == '\0' && !loadRefused.load()) || (loadRefused.load() && playingFileKnown)) {
      loadRefused.store(false);
      formatFileName(fileNameText, path);
    }
  }
  refresh();
  return 1;
}

void PlayerEditor::close() {
  if (!frame) {
    return;
  }
  endOpenEdits();
  editorOpen.store(false);
  frame->stopTimer(kRefreshTimer);
  dialogRequested = false;
  // A message being handled (the dialog's) may hold the frame beyond this release.
  frame->forgetEditor();
  frame.reset();
  loopToggle = playToggle = nullptr;
  fileNameDisplay = elapsedDisplay = totalDisplay = bitRateDisplay = modeDisplay = nullptr;
  openButton = toStartButton = pitchResetButton = nullptr;
  positionSlider = pitchSlider = nullptr;
  bitmaps.mode.reset();
  bitmaps.bitRate.reset();
  bitmaps.elapsed.reset();
  bitmaps.total.reset();
  bitmaps.fileName.reset();
  bitmaps.play.reset();
  bitmaps.loop.reset();
  bitmaps.open.reset();
  bitmaps.toStart.reset();
  bitmaps.pitchReset.reset();
  bitmaps.handle.reset();
  bitmaps.background.reset();
}

void PlayerEditor::idle() {
  if (isInHostIdle()) {
    return;
  }
  if (refreshRequested != 0) {
    refreshRequested = 0;
    markChanged();
  }
  pickUpChanges();
}

void PlayerEditor::refresh() {
  // Only the GUI thread draws, while open and not inside the host's idle request; anyone else
  // leaves a mark. The thread is asked first: frame and inHostIdle are the GUI thread's.
  if (!onGuiThread() || !editorOpen.load() || !frame || isInHostIdle()) {
    markChanged();
    return;
  }
  applyStateToControls();
  frame->refreshDirty();
}

void PlayerEditor::markChanged() { handoff.mark(GuiHandoff::kDisplays); }

void PlayerEditor::pickUpChanges() {
  if (!onGuiThread() || !editorOpen.load() || !frame || isInHostIdle()) {
    return;
  }
  unsigned changes = handoff.take();
  if ((changes & GuiHandoff::kProgress) != 0) {
    const std::uint32_t now = GetTickCount();
    if (now - lastProgressRedraw >= kProgressRedrawInterval) {
      lastProgressRedraw = now;
      changes |= GuiHandoff::kOverview;
    } else {
      handoff.mark(GuiHandoff::kProgress);  // drawn at a later tick
      changes &= ~static_cast<unsigned>(GuiHandoff::kProgress);
    }
  }
  if ((changes & GuiHandoff::kOverview) != 0) {
    overviewDue = true;
  }
  if (changes != 0) {
    refresh();
  }
}

void PlayerEditor::editorMessage(std::uintptr_t what) {
  if (what == kRunFileDialog) {
    runFileDialog();
  }
}

void PlayerEditor::timerFired(std::uintptr_t id) {
  if (id != kRefreshTimer) {
    return;
  }
  if (refreshRequested != 0) {
    refreshRequested = 0;
    markChanged();
  }
  pickUpChanges();
}

void PlayerEditor::syncControlsForPaint() {
  if (editorOpen.load() && frame && onGuiThread()) {
    applyStateToControls();
  }
}

void PlayerEditor::applyStateToControls() {
  // Only news: a control the user is changing right now (a toggle idles before it tells its
  // listener) keeps its new value until its change reaches the shared state.
  Control* const tagged[] = {playToggle, loopToggle, positionSlider, pitchSlider};
  for (std::int32_t tag = kPlayTag; tag <= kPitchTag; ++tag) {
    const auto slot = static_cast<std::size_t>(tag - kFirstParameterTag);
    const float shared = value(tag).load();
    if (std::memcmp(&shared, &appliedValues[slot], sizeof shared) != 0) {
      tagged[slot]->setValue(shared);
      appliedValues[slot] = shared;
    }
  }
  char text[kDisplayTextCapacity];
  formatElapsedTime(text, elapsedSeconds.load());
  elapsedDisplay->setText(text);
  if (fileInfoKnown.load()) {
    formatTotalTime(text, totalSeconds.load());
    totalDisplay->setText(text);
    formatBitRate(text, bitRate.load());
    bitRateDisplay->setText(text);
    modeDisplay->setText(stereo.load() ? "S" : "M");
  }
  {
    std::lock_guard<platform::Lock> guard(fileNameLock);
    std::memcpy(text, fileNameText, sizeof text);
  }
  fileNameDisplay->setText(text);
  if (std::exchange(overviewDue, false)) {
    if (unsigned char* shown = overviewBitmap->bits()) {
      GdiFlush();  // no drawing from the section may still be pending while it changes
      std::memcpy(shown, overviewImage->data(), overviewImage->size());
    }
    positionSlider->setNeedsRedraw(true);
  }
}

std::int32_t PlayerEditor::parameterIndexOfTag(std::int32_t tag) {
  switch (tag) {
    case kPlayTag: return 0;
    case kLoopTag: return 1;
    case kPositionTag:
    case kToStartTag: return 2;
    case kPitchTag:
    case kPitchResetTag: return 3;
    default: return -1;  // the open button edits no parameter
  }
}

void PlayerEditor::controlChanged(DrawContext* context, Control* control) {
  if (control == nullptr) {
    return;
  }
  const std::int32_t tag = control->getTag();
  // The host may close this editor, or the whole effect, when it hears of the edit.
  const std::shared_ptr<const EditorLifetime> watch = getLifetime();
  bool reported = false;
  switch (tag) {
    case kOpenTag: {
      // Run once the press is over, from the window's own message, so that neither the button
      // nor the frame is inside a call when the dialog returns. A second press meanwhile does
      // nothing.
      if (control->getValue() == 0.0f || dialogRequested || dialogUp || !frame) {
        break;
      }
      dialogRequested = Frame::postEditorMessage(frame->getWindow(), kRunFileDialog);
      break;
    }
    case kToStartTag:
    case kPitchResetTag: {
      react(tag);
      // The host hears the press before the slider moves, and only this once.
      reportEditToHost(tag, *control);
      reported = true;
      if (watch->isOver()) {
        return;
      }
      HorizontalSlider* slider = tag == kToStartTag ? positionSlider : pitchSlider;
      if (slider == nullptr) {
        return;
      }
      slider->setValue(value(tag == kToStartTag ? kPositionTag : kPitchTag).load());
      if (context == nullptr) {
        return;
      }
      slider->redrawIfNeeded(*context);
      break;
    }
    case kPlayTag:
    case kLoopTag:
    case kPositionTag:
    case kPitchTag:
      value(tag).store(control->getValue());
      react(tag);
      break;
    default:
      break;
  }
  if (!reported) {
    reportEditToHost(tag, *control);
    if (watch->isOver()) {
      return;  // the editor went with its effect
    }
  }
  if (context != nullptr && editorOpen.load()) {
    control->redrawIfNeeded(*context);
  } else if (context == nullptr) {
    markChanged();  // a key moved the control: drawn at the next refresh
  }
}

void PlayerEditor::reportEditToHost(std::int32_t tag, const Control& control) {
  // A momentary button edits on its press; its release (after the end of the edit) is no news.
  if ((tag == kToStartTag || tag == kPitchResetTag) && control.getValue() == 0.0f) {
    return;
  }
  const std::int32_t index = parameterIndexOfTag(tag);
  if (index >= 0) {
    player.reportEdit(index, player.getParameter(index));
  }
}

void PlayerEditor::runFileDialog() {
  dialogRequested = false;
  if (dialogUp || !frame) {
    return;
  }
  dialogUp = true;
  // The host may close this editor, or the whole effect, while the dialog is up.
  const NestedLoopGuard guard(frame.get());
  HWND owner = GetAncestor(static_cast<HWND>(parentWindow), GA_ROOT);
  char path[kChosenPathCapacity];
  const bool chosen = chooseFile(path, owner);
  if (guard.effectGone()) {
    return;  // no member may be touched, nothing is loaded
  }
  // An editor closed meanwhile still loads what the user chose: the effect plays on.
  dialogUp = false;
  if (chosen) {
    loadChosenFile(path);
  }
}

void PlayerEditor::react(std::int32_t tag) {
  switch (tag) {
    case kToStartTag:
      value(kPositionTag).store(0.0f);
      player.setPosition(0.0f);
      break;
    case kPitchResetTag:
      value(kPitchTag).store(0.5f);
      player.setPitch(0.5f);
      break;
    case kPlayTag:
      player.setPlaying(value(kPlayTag).load() != 0.0f);
      break;
    case kLoopTag:
      player.setLoop(value(kLoopTag).load() != 0.0f);
      break;
    case kPositionTag:
      player.setPosition(value(kPositionTag).load());
      break;
    case kPitchTag:
      player.setPitch(value(kPitchTag).load());
      break;
    default:
      break;
  }
}

void PlayerEditor::command(std::int32_t tag, float newValue) {
  // The open button needs a press of its own: a command leaves its value at 0.
  if (tag < kToStartTag || tag > kPitchTag) {
    return;
  }
  if (tag >= kPlayTag) {
    std::atomic<float>& held = value(tag);
    held.store(encodedControlValue(held.load(), newValue));
  }
  react(tag);
  refresh();  // at once on the GUI thread; from any other a mark for its next tick
}

void PlayerEditor::loadChosenFile(const char* path) {
  loadRefused.store(false);
  player.loadFile(path);
  // A load that did not start keeps "Not Found" in view.
  if (!loadRefused.load()) {
    showFileName(path);
  }
}

const char* PlayerEditor::findLoadableFile(const char* const* paths, std::int32_t count) {
  for (std::int32_t i = 0; i < count; ++i) {
    if (paths[i] != nullptr && hasMpegExtension(paths[i])) {
      return paths[i];
    }
  }
  return nullptr;
}

bool PlayerEditor::loadDroppedFiles(const char* const* paths, std::int32_t count) {
  const char* path = findLoadableFile(paths, count);
  if (path == nullptr) {
    return false;
  }
  loadChosenFile(path);
  return true;
}

void PlayerEditor::showFileName(const char* path) {
  {
    std::lock_guard<platform::Lock> guard(fileNameLock);
    loadRefused.store(false);
    // The decode may have ended before its name is shown.
    if (notedLoad != 0 && notedLoad == currentLoad()) return;
    notedLoad = 0;
    formatFileName(fileNameText, path);
  }
  markChanged();
}

void PlayerEditor::showOutOfMemory(std::int32_t seconds) {
  {
    std::lock_guard<platform::Lock> guard(fileNameLock);
    notedLoad = currentLoad();
    formatOutOfMemory(fileNameText, seconds);
  }
  markChanged();
}

std::uint32_t PlayerEditor::currentLoad() const {
  const ClusterSampleLoader* loader = player.getLoader();
  return loader != nullptr ? loader->loadGeneration() : 0;
}

void PlayerEditor::showPlaying(bool playing) {
  value(kPlayTag).store(playing ? 1.0f : 0.0f);
  markChanged();
}

void PlayerEditor::showNotFound() {
  {
    std::lock_guard<platform::Lock> guard(fileNameLock);
    loadRefused.store(true);
    std::snprintf(fileNameText, sizeof fileNameText, "%s", "Not Found");
  }
  markChanged();
}

void PlayerEditor::showFileInfo(std::int32_t bits, float seconds, bool isStereo) {
  bitRate.store(bits);
  totalSeconds.store(seconds);
  stereo.store(isStereo);
  fileInfoKnown.store(true);
  // The length comes at the start and again at the end of decoding: a file decoded within the
  // progress interval must still show its whole overview.
  handoff.mark(GuiHandoff::kOverview);
  refresh();
}

void PlayerEditor::showPosition(float fraction, std::int32_t seconds) {
  value(kPositionTag).store(fraction);
  elapsedSeconds.store(seconds);
  markChanged();
}

void PlayerEditor::showLoadingProgress() { handoff.mark(GuiHandoff::kProgress); }

unsigned char* PlayerEditor::overviewBits() { return overviewImage->data(); }

std::shared_ptr<const void> PlayerEditor::overviewOwner() { return overviewImage; }

}  // namespace vintrove
