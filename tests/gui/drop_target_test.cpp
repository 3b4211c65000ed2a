// The drop target driven as OLE drives it, with the test's own data object and a window-less
// frame whose one child records what a drop delivers.
#include "gui/drop_target.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "gui/com_ptr.h"
#include "gui/frame.h"
#include "drop_blocks.h"
#include "gui/retained.h"
#include "gui_test_support.h"
#include "shortcut_files.h"

// Frees are noted by address only: the target's self-destruction shows without reading its
// storage afterwards. Kept out of line, or free() looks mismatched to the compiler.
namespace {
std::atomic<void*> watched{nullptr};
std::atomic<int> watchedFrees{0};
}  // namespace

void* operator new(std::size_t size) {
  if (void* storage = std::malloc(size == 0 ? 1 : size)) {
    return storage;
  }
  throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* storage) noexcept {
  if (storage != nullptr && storage == watched.load()) {
    ++watchedFrees;
  }
  std::free(storage);
}
[[gnu::noinline]] void operator delete(void* storage, std::size_t) noexcept {
  operator delete(storage);
}

namespace vintrove::test {
namespace {

// The responsible object of a medium: counts its releases.
struct ReleaseCounter : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++releases); }
  int releases = 0;
};

// Answers only whole-content requests in global memory. Each GetData hands out a fresh copy;
// with a responsible object set the copies stay this object's to free.
class TestData : public IDataObject {
 public:
  ~TestData() {
    for (HGLOBAL handle : handedOut) {
      if (releaser != nullptr) {
        GlobalFree(handle);
      }
    }
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    asked.push_back(format->cfFormat);
    const Bytes* bytes = offered(*format);
    if (bytes == nullptr) {
      return DV_E_FORMATETC;
    }
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, bytes->size());
    if (!bytes->empty()) {
      std::memcpy(GlobalLock(handle), bytes->data(), bytes->size());
      GlobalUnlock(handle);
    }
    handedOut.push_back(handle);
    *medium = STGMEDIUM{};
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = handle;
    medium->pUnkForRelease = releaser;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return offered(*format) != nullptr ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

  const Bytes* text = nullptr;
  const Bytes* files = nullptr;
  DWORD offeredMedium = TYMED_HGLOBAL;
  IUnknown* releaser = nullptr;
  std::vector<CLIPFORMAT> asked;
  std::vector<HGLOBAL> handedOut;

 private:
  const Bytes* offered(const FORMATETC& format) const {
    if (format.ptd != nullptr || format.dwAspect != DVASPECT_CONTENT || format.lindex != -1 ||
        (format.tymed & offeredMedium) == 0) {
      return nullptr;
    }
    return format.cfFormat == CF_TEXT ? text : format.cfFormat == CF_HDROP ? files : nullptr;
  }
};

// Covers every point and refuses unless told to take drops; keeps what arrived.
struct RecordingView : View {
  RecordingView() : View(Rect{0, 0, 3000, 3000}) {}
  bool dropItems(const char* const* items, std::int32_t count, std::int32_t kind,
                 Point at) override {
    ++drops;
    receivedKind = kind;
    receivedCount = count;
    where = at;
    received.clear();
    if (kind == kDropText) {
      received.emplace_back(items[0], static_cast<std::size_t>(count));
    } else {
      received.assign(items, items + count);
    }
    return takes;
  }
  bool takes = false;
  int drops = 0;
  std::int32_t receivedKind = -1;
  std::int32_t receivedCount = -1;
  Point where;
  std::vector<std::string> received;
};

// Would take a file list whose first path ends in ".mp3", or (when told) any text; keeps what
// it was asked about. Without a parent it has no window.
class ChoosyFrame final : public Frame {
 public:
  explicit ChoosyFrame(HWND parent = nullptr) : Frame(Rect{0, 0, 3000, 3000}, parent, nullptr) {}
  bool acceptsDrop(const char* const* items, std::int32_t count, std::int32_t kind) override {
    if (kind == kDropText) {
      // The text's block need not end in a terminator; count is its size.
      asked.assign(1, std::string(items[0], strnlen(items[0], static_cast<std::size_t>(count))));
      return takesText;
    }
    ++pathsAsked;
    asked.assign(items, items + count);
    const std::string first = count > 0 ? items[0] : "";
    return first.size() > 4 && first.compare(first.size() - 4, 4, ".mp3") == 0;
  }
  bool takesText = false;
  std::vector<std::string> asked;
  int pathsAsked = 0;

 private:
  ~ChoosyFrame() override = default;
};

class DropTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ole_.isInitialised());
    ASSERT_TRUE(SetCursorPos(321, 123));
    ASSERT_TRUE(frame_->addChild(recorder_));
    // The first reference, as registration would take it.
    auto* target = new DropTarget(frame_.get());
    ASSERT_EQ(target->QueryInterface(IID_IDropTarget, target_.receive()), S_OK);
  }
  DWORD enter(IDataObject* data, DWORD keys) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target_->DragEnter(data, keys, POINTL{10, 10}, &effect), S_OK);
    return effect;
  }
  DWORD over(DWORD keys) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target_->DragOver(keys, POINTL{20, 20}, &effect), S_OK);
    return effect;
  }
  // The effect Drop answers.
  DWORD drop(TestData& data) {
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
    EXPECT_EQ(target_->Drop(&data, 0, POINTL{7, 9}, &effect), S_OK);
    return effect;
  }

  OleSession ole_;
  Retained<ChoosyFrame> frame_{new ChoosyFrame};
  RecordingView* recorder_ = new RecordingView;
  ComPtr<IDropTarget> target_;
  const Bytes words_{'w', 'o', 'r', 'd', 's'};
  const Bytes oneFile_ = fileList({"C:\\song.mp3"});
};

// The plug-in only reads what is dropped: a drag it would take shows copy whatever keys are
// held, never move; one it would not take shows no effect.
TEST_F(DropTargetTest, ATakenDragShowsCopyAndNeverMoveAndAnotherShowsNone) {
  const Bytes song = fileList({"C:\\music\\song.mp3"});
  const Bytes picture = fileList({"C:\\music\\cover.jpg"});
  TestData songs, pictures, text;
  songs.files = &song;
  pictures.files = &picture;
  text.text = &words_;
  for (DWORD keys : {DWORD{0}, DWORD{MK_LBUTTON}, DWORD{MK_LBUTTON | MK_CONTROL},
                     DWORD{MK_LBUTTON | MK_SHIFT}}) {
    EXPECT_EQ(enter(&songs, keys), DWORD{DROPEFFECT_COPY}) << keys;
    EXPECT_EQ(over(keys), DWORD{DROPEFFECT_COPY}) << keys;
    EXPECT_EQ(enter(&pictures, keys), DWORD{DROPEFFECT_NONE}) << keys;
    EXPECT_EQ(over(keys), DWORD{DROPEFFECT_NONE}) << keys;
    EXPECT_EQ(enter(&text, keys), DWORD{DROPEFFECT_NONE}) << keys;
    EXPECT_EQ(over(keys), DWORD{DROPEFFECT_NONE}) << keys;
  }
  EXPECT_EQ(frame_->asked, std::vector<std::string>{"words"});
  frame_->takesText = true;
  EXPECT_EQ(enter(&text, MK_LBUTTON), DWORD{DROPEFFECT_COPY});
  // Acceptance lasts until the next drag enters.
  EXPECT_EQ(target_->DragLeave(), S_OK);
  EXPECT_EQ(over(0), DWORD{DROPEFFECT_COPY});
}

// Drop answers copy when a view took the drop and none otherwise, never what OLE offered.
TEST_F(DropTargetTest, TheDropAnswersCopyWhenTakenAndNoneOtherwise) {
  const Bytes song = fileList({"C:\\music\\song.mp3"});
  TestData songs, text;
  songs.files = &song;
  text.text = &words_;
  enter(&songs, MK_LBUTTON);
  EXPECT_EQ(drop(songs), DWORD{DROPEFFECT_NONE});
  recorder_->takes = true;
  enter(&songs, MK_LBUTTON);
  EXPECT_EQ(drop(songs), DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(recorder_->received, std::vector<std::string>{"C:\\music\\song.mp3"});
  enter(&text, MK_LBUTTON);
  EXPECT_EQ(drop(text), DWORD{DROPEFFECT_COPY});
  recorder_->takes = false;
  EXPECT_EQ(drop(text), DWORD{DROPEFFECT_NONE});
}

// Files the frame takes go before a text offered with them; otherwise the text goes first.
TEST_F(DropTargetTest, TakenFilesGoBeforeATextOfferedWithThem) {
  const Bytes song = fileList({"C:\\music\\song.mp3"});
  TestData both;
  both.text = &words_;
  both.files = &song;
  EXPECT_EQ(enter(&both, MK_LBUTTON), DWORD{DROPEFFECT_COPY});
  drop(both);
  EXPECT_EQ(recorder_->receivedKind, kDropFiles);
  TestData other;
  other.text = &words_;
  other.files = &oneFile_;
  frame_->asked.clear();
  const Bytes picture = fileList({"C:\\cover.jpg"});
  other.files = &picture;
  EXPECT_EQ(enter(&other, MK_LBUTTON), DWORD{DROPEFFECT_NONE});
  drop(other);
  EXPECT_EQ(recorder_->receivedKind, kDropText);
}

// Names outside the 8-bit code page reach the views as UTF-8.
TEST_F(DropTargetTest, WideNamesArriveAsUtf8) {
  DROPFILES header{sizeof header, {}, FALSE, TRUE};
  const auto* first = reinterpret_cast<const unsigned char*>(&header);
  Bytes list(first, first + sizeof header);
  const std::wstring name = L"C:\\\u041f\u0435\u0441\u043d\u044f \u266a \u97f3\u697d.mp3";
  for (wchar_t c : name + L'\0') {
    list.push_back(static_cast<unsigned char>(c & 0xFF));
    list.push_back(static_cast<unsigned char>(c >> 8));
  }
  list.push_back(0);
  list.push_back(0);
  TestData data;
  data.files = &list;
  EXPECT_EQ(enter(&data, MK_LBUTTON), DWORD{DROPEFFECT_COPY});
  drop(data);
  ASSERT_EQ(recorder_->received.size(), 1u);
  EXPECT_EQ(recorder_->received[0],
            "C:\\\xd0\x9f\xd0\xb5\xd1\x81\xd0\xbd\xd1\x8f \xe2\x99\xaa "
            "\xe9\x9f\xb3\xe6\xa5\xbd.mp3");
}

TEST_F(DropTargetTest, NeitherTextNorFilesShowsNoEffectThroughout) {
  TestData acceptable, nothing, elsewhere;
  acceptable.text = elsewhere.text = &words_;
  elsewhere.files = &oneFile_;
  elsewhere.offeredMedium = TYMED_ISTREAM;
  for (IDataObject* data : std::vector<IDataObject*>{&nothing, &elsewhere, nullptr}) {
    enter(&acceptable, 0);
    EXPECT_EQ(enter(data, 0), DWORD{DROPEFFECT_NONE});
    EXPECT_FALSE(static_cast<DropTarget*>(target_.get())->isAcceptable());
    EXPECT_EQ(over(MK_CONTROL), DWORD{DROPEFFECT_NONE});
  }
}

TEST_F(DropTargetTest, TextArrivesWholeAtTheCursorAndBeforeFiles) {
  const Bytes block{'d', 'r', 'o', 'p', ' ', 'm', 'e', 0, 0, 0, 0, 0, 0, 0};
  TestData data;
  data.text = &block;
  data.files = &oneFile_;
  drop(data);
  ASSERT_EQ(recorder_->drops, 1);
  EXPECT_EQ(recorder_->receivedKind, kDropText);
  EXPECT_EQ(recorder_->receivedCount, 14);
  ASSERT_EQ(recorder_->received.size(), 1u);
  EXPECT_EQ(recorder_->received[0], std::string(block.begin(), block.end()));
  EXPECT_EQ(data.asked, std::vector<CLIPFORMAT>{CF_TEXT});
  // Not OLE's point: the cursor, in screen coordinates as the frame has no window.
  EXPECT_EQ(recorder_->where.h, 321);
  EXPECT_EQ(recorder_->where.v, 123);
}

// One path arrives: the first the frame takes. Unreadable ones on the way are skipped, and the
// frame is not asked about anything after the one it took.
TEST_F(DropTargetTest, TheFirstPathTheFrameTakesArrivesAlone) {
  // Longer than the 1024-byte buffer: cut short it would name another file.
  const std::string tooLong = "C:\\" + std::string(1100, 'x') + ".mp3";
  for (bool wide : {false, true}) {
    const Bytes list =
        fileList({tooLong, "C:\\cover.jpg", "C:\\first.mp3", "D:\\music\\third.mp3"}, wide);
    TestData data;
    data.files = &list;
    frame_->pathsAsked = 0;
    drop(data);
    EXPECT_EQ(recorder_->receivedKind, kDropFiles);
    EXPECT_EQ(recorder_->received, std::vector<std::string>{"C:\\first.mp3"});
    EXPECT_EQ(frame_->pathsAsked, 2) << "asked beyond the path it took";
  }
}

TEST_F(DropTargetTest, AShortcutArrivesAsItsTargetResolvedOncePerDrag) {
  TempFolder folder;
  ASSERT_TRUE(folder.created());
  const std::string target = folder.write("song.mp3", {1, 2, 3});
  const std::string link = (folder.path() / "Song.LNK").string();
  ASSERT_TRUE(makeShortcut(link, target));
  const std::string broken = (folder.path() / "gone.lnk").string();
  const Bytes list = fileList({broken, link});
  TestData data;
  data.files = &list;
  EXPECT_EQ(enter(&data, MK_LBUTTON), DWORD{DROPEFFECT_COPY});
  // Resolved when the drag entered: the drop needs the shortcut no more.
  ASSERT_TRUE(DeleteFileA(link.c_str()));
  recorder_->takes = true;
  EXPECT_EQ(drop(data), DWORD{DROPEFFECT_COPY});
  ASSERT_EQ(recorder_->receivedCount, 1);
  EXPECT_TRUE(sameFile(recorder_->received[0], target)) << recorder_->received[0];
  EXPECT_EQ(data.asked, std::vector<CLIPFORMAT>{CF_HDROP});
}

TEST_F(DropTargetTest, NothingIsDeliveredWithoutUsableData) {
  const Bytes empty;
  TestData nothing, emptyText;
  emptyText.text = &empty;
  drop(nothing);
  drop(emptyText);
  EXPECT_EQ(nothing.asked, (std::vector<CLIPFORMAT>{CF_TEXT, CF_HDROP}));
  EXPECT_EQ(target_->Drop(nullptr, 0, POINTL{}, nullptr), S_OK);
  EXPECT_EQ(recorder_->drops, 0);
}

// Blocks another program may hand over: the names are read only inside the block, and a list
// without a usable name gives no effect and no drop (a read outside the block would fault).
TEST_F(DropTargetTest, CraftedFileListsAreReadOnlyInsideTheirBlock) {
  recorder_->takes = true;
  for (bool wide : {false, true}) {
    const Bytes song = bytesOf("C:\\song.mp3", wide);
    const Bytes terminator(wide ? 2 : 1, 0);
    Bytes terminated = song;
    terminated.insert(terminated.end(), terminator.begin(), terminator.end());
    const struct {
      const char* what;
      Bytes block;
    } hostile[] = {
        {"name offset far outside", craftedBlock(0x40000000, wide, terminated)},
        {"name offset just past the end", craftedBlock(20 + static_cast<DWORD>(terminated.size()), wide, terminated)},
        {"name offset inside the header", craftedBlock(4, wide, terminated)},
        {"no terminator", craftedBlock(20, wide, song)},
        {"zero names", craftedBlock(20, wide, terminator)},
        {"no names at all", craftedBlock(20, wide, {})},
        {"shorter than its header", Bytes{20, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : hostile) {
      TestData data;
      data.files = &c.block;
      EXPECT_EQ(enter(&data, MK_LBUTTON), DWORD{DROPEFFECT_NONE}) << c.what << (wide ? " (wide)" : "");
      EXPECT_EQ(drop(data), DWORD{DROPEFFECT_NONE}) << c.what << (wide ? " (wide)" : "");
    }
    // A name whose terminator is the block's last byte is whole, even without the list's end.
    const Bytes last = craftedBlock(20, wide, terminated);
    TestData data;
    data.files = &last;
    EXPECT_EQ(enter(&data, MK_LBUTTON), DWORD{DROPEFFECT_COPY}) << (wide ? "wide" : "ansi");
    EXPECT_EQ(drop(data), DWORD{DROPEFFECT_COPY});
    EXPECT_EQ(recorder_->received, std::vector<std::string>{"C:\\song.mp3"});
  }
  EXPECT_EQ(recorder_->drops, 2);
}

// A wide list may start at an odd offset; ANSI names are in the code page and arrive as UTF-8.
TEST_F(DropTargetTest, OddOffsetsAndCodePageNamesArriveWhole) {
  recorder_->takes = true;
  Bytes wideNames{0};  // one byte of padding: the names start at offset 21
  const Bytes name = bytesOf("C:\\odd.mp3", true);
  wideNames.insert(wideNames.end(), name.begin(), name.end());
  wideNames.insert(wideNames.end(), {0, 0, 0, 0});
  const Bytes odd = craftedBlock(21, true, wideNames);
  TestData oddData;
  oddData.files = &odd;
  EXPECT_EQ(drop(oddData), DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(recorder_->received, std::vector<std::string>{"C:\\odd.mp3"});

  // Byte 0xE9 in the ANSI code page (é in 1252), which the system itself spells in UTF-8.
  const char high[] = "\xe9";
  wchar_t character[2] = {};
  char spelled[8] = {};
  ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, high, 1, character, 1), 1);
  ASSERT_GT(WideCharToMultiByte(CP_UTF8, 0, character, 1, spelled, sizeof spelled - 1, nullptr, nullptr), 1);
  const Bytes ansi = craftedBlock(20, false, Bytes{'C', ':', '\\', 'c', 'a', 'f', 0xE9, '.', 'm', 'p', '3', 0, 0});
  TestData ansiData;
  ansiData.files = &ansi;
  EXPECT_EQ(drop(ansiData), DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(recorder_->received, std::vector<std::string>{std::string("C:\\caf") + spelled + ".mp3"});
}

// 100,000 names: one pass over the list at the drag's entry, none at the drop. The bound is far
// above what the pass takes (bench/drop_bench measures it); a walk per name, or resolving and
// copying every name twice, takes seconds.
TEST_F(DropTargetTest, AHundredThousandNamesAreReadOnceAndQuickly) {
  recorder_->takes = true;
  std::vector<std::string> names;
  names.reserve(100000);
  for (int i = 0; i < 99999; ++i) {
    names.push_back("C:\\music\\take " + std::to_string(i) + ".wav");
  }
  names.push_back("C:\\music\\last.mp3");
  for (bool wide : {false, true}) {
    const Bytes list = fileList(names, wide);
    TestData data;
    data.files = &list;
    frame_->pathsAsked = 0;
    const DWORD entered = GetTickCount();
    EXPECT_EQ(enter(&data, MK_LBUTTON), DWORD{DROPEFFECT_COPY});
    const DWORD dropped = GetTickCount();
    EXPECT_EQ(drop(data), DWORD{DROPEFFECT_COPY});
    const DWORD done = GetTickCount();
    EXPECT_LT(dropped - entered, 1000u) << "DragEnter, " << (wide ? "wide" : "ansi");
    EXPECT_LT(done - dropped, 1000u) << "Drop, " << (wide ? "wide" : "ansi");
    EXPECT_EQ(recorder_->received, std::vector<std::string>{"C:\\music\\last.mp3"});
    EXPECT_EQ(frame_->pathsAsked, 100000);
    EXPECT_EQ(data.asked, std::vector<CLIPFORMAT>{CF_HDROP});
  }
}

// Once the frame has revoked its target, a call OLE (or another program's drag) still makes on
// it reaches nothing, even after the frame has gone.
TEST(DropTargetRevocation, ARevokedTargetReachesNoFrame) {
  OleSession ole;
  ASSERT_TRUE(ole.isInitialised());
  HostWindow host;
  ASSERT_TRUE(SetCursorPos(321, 123));  // over the frame, where the drop lands
  auto* frame = new ChoosyFrame(host.get());
  auto* recorder = new RecordingView;
  recorder->takes = true;
  ASSERT_TRUE(frame->addChild(recorder));
  ASSERT_TRUE(frame->isDropTargetRegistered());
  ComPtr<IDropTarget> target;
  ASSERT_EQ(frame->getDropTarget()->QueryInterface(IID_IDropTarget, target.receive()), S_OK);
  const Bytes song = fileList({"C:\\song.mp3"});
  TestData data;
  data.files = &song;
  DWORD effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(&data, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD{DROPEFFECT_COPY});
  EXPECT_EQ(recorder->drops, 1);

  ASSERT_TRUE(frame->enableDropTarget(false));
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->DragEnter(&data, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
  EXPECT_EQ(target->Drop(&data, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
  EXPECT_EQ(recorder->drops, 1);
  frame->release();
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target->Drop(&data, 0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, DWORD{DROPEFFECT_NONE});
}

// A medium naming a responsible object is released through it and its memory left alone;
// without one the target frees the memory, so a second free fails.
TEST_F(DropTargetTest, EveryMediumIsGivenBack) {
  const Bytes empty;
  for (bool responsible : {true, false}) {
    ReleaseCounter owner;
    TestData text, files, emptyText;
    text.text = &words_;
    files.files = &oneFile_;
    emptyText.text = &empty;
    for (TestData* data : {&text, &files, &emptyText}) {
      data->releaser = responsible ? &owner : nullptr;
      drop(*data);
      ASSERT_EQ(data->handedOut.size(), 1u);
      if (responsible) {
        EXPECT_EQ(GlobalFlags(data->handedOut[0]) & GMEM_LOCKCOUNT, 0u) << "left locked";
      } else {
        EXPECT_EQ(GlobalFree(data->handedOut[0]), data->handedOut[0]) << "not freed";
      }
    }
    EXPECT_EQ(owner.releases, responsible ? 3 : 0);
  }
}

TEST(DropTargetLifetimeTest, AnswersForItsTwoInterfacesOnly) {
  auto* target = new DropTarget(nullptr);
  ComPtr<IUnknown> unknown;
  ComPtr<IDropTarget> dropTarget;
  ASSERT_EQ(target->QueryInterface(IID_IUnknown, unknown.receive()), S_OK);
  ASSERT_EQ(target->QueryInterface(IID_IDropTarget, dropTarget.receive()), S_OK);
  EXPECT_EQ(unknown.get(), static_cast<IUnknown*>(target));
  EXPECT_EQ(dropTarget.get(), target);
  for (REFIID other : {IID_IDataObject, IID_IDropSource}) {
    void* out = &out;
    EXPECT_EQ(target->QueryInterface(other, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  // The two answers took one reference each, the refusals none.
  EXPECT_EQ(target->AddRef(), 3u);
  EXPECT_EQ(target->Release(), 2u);
}

// Registration takes references and revocation gives all back; the last Release frees it.
TEST(DropTargetLifetimeTest, TheLastReleaseAfterRevocationFreesItOnce) {
  OleSession ole;
  HostWindow window;
  auto* target = new DropTarget(nullptr);
  watched = target;
  watchedFrees = 0;
  EXPECT_EQ(target->AddRef(), 1u);
  ASSERT_EQ(RegisterDragDrop(window.get(), target), S_OK);
  EXPECT_GT(target->AddRef(), 2u);
  target->Release();
  ASSERT_EQ(RevokeDragDrop(window.get()), S_OK);
  EXPECT_EQ(target->AddRef(), 2u);
  EXPECT_EQ(target->Release(), 1u);
  EXPECT_EQ(watchedFrees, 0);
  EXPECT_EQ(target->Release(), 0u);
  EXPECT_EQ(watchedFrees, 1);
  watched = nullptr;
}

}  // namespace
}  // namespace vintrove::test
