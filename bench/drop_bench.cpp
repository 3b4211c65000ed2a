// Win32 only: what a drag of a long file list costs the editor's GUI thread, through the drop
// target as OLE calls it. The list holds 100,000 names (ANSI or UTF-16, as a drag source may
// hand either), of which only the last is one the frame takes; each GetData hands out a fresh
// copy of the block, as a real drag source does. BM_DragEnter times DragEnter (the one pass over
// the list); BM_DropAfterEnter times the Drop that follows it (the path chosen at the entry).
#include <benchmark/benchmark.h>
#include <windows.h>
#include <shlobj.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "gui/drop_target.h"
#include "gui/frame.h"
#include "gui/ole_session.h"
#include "gui/retained.h"

namespace {

using Bytes = std::vector<unsigned char>;
constexpr int kNames = 100000;

Bytes fileList(bool wide) {
  const std::size_t unit = wide ? 2 : 1;
  DROPFILES header{sizeof header, {}, FALSE, wide};
  Bytes block(sizeof header);
  std::memcpy(block.data(), &header, sizeof header);
  auto append = [&](const std::string& name) {
    for (char c : name) {
      block.push_back(static_cast<unsigned char>(c));
      block.resize(block.size() + unit - 1);
    }
    block.resize(block.size() + unit);
  };
  for (int i = 0; i < kNames - 1; ++i) append("C:\\music\\take " + std::to_string(i) + ".wav");
  append("C:\\music\\last.mp3");
  block.resize(block.size() + unit);
  return block;
}

// Offers the list as CF_HDROP in global memory, a fresh copy for every request.
class ListData final : public IDataObject {
 public:
  explicit ListData(const Bytes& list) : bytes(list) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (format->cfFormat != CF_HDROP || (format->tymed & TYMED_HGLOBAL) == 0) return DV_E_FORMATETC;
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(handle), bytes.data(), bytes.size());
    GlobalUnlock(handle);
    *medium = STGMEDIUM{};
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = handle;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  const Bytes& bytes;
};

// Takes a path ending in ".mp3", as the player's frame does; a drop lands nowhere else.
class Mp3Frame final : public vintrove::Frame {
 public:
  Mp3Frame() : Frame(vintrove::Rect{0, 0, 256, 84}, nullptr, nullptr) {}
  bool acceptsDrop(const char* const* items, std::int32_t count, std::int32_t kind) override {
    if (kind != vintrove::kDropFiles || count < 1) return false;
    const std::size_t length = std::strlen(items[0]);
    return length > 4 && std::strcmp(items[0] + length - 4, ".mp3") == 0;
  }
  bool dropItems(const char* const*, std::int32_t count, std::int32_t kind, vintrove::Point) override {
    return kind == vintrove::kDropFiles && count == 1;
  }

 private:
  ~Mp3Frame() override = default;
};

struct Rig {
  vintrove::OleSession ole;
  vintrove::Retained<Mp3Frame> frame{new Mp3Frame};
  IDropTarget* target = nullptr;
  Rig() {
    auto* made = new vintrove::DropTarget(frame.get());
    made->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target));
  }
  ~Rig() { target->Release(); }
};

void BM_DragEnter(benchmark::State& state) {
  const Bytes list = fileList(state.range(0) != 0);
  ListData data(list);
  Rig rig;
  for (auto _ : state) {
    DWORD effect = DROPEFFECT_COPY;
    const auto began = std::chrono::steady_clock::now();
    rig.target->DragEnter(&data, MK_LBUTTON, POINTL{}, &effect);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    if (effect != DROPEFFECT_COPY) state.SkipWithError("the last name was not taken");
    rig.target->DragLeave();
  }
  state.SetLabel(state.range(0) != 0 ? "UTF-16 names" : "ANSI names");
}

void BM_DropAfterEnter(benchmark::State& state) {
  const Bytes list = fileList(state.range(0) != 0);
  ListData data(list);
  Rig rig;
  for (auto _ : state) {
    DWORD effect = DROPEFFECT_COPY;
    rig.target->DragEnter(&data, MK_LBUTTON, POINTL{}, &effect);
    const auto began = std::chrono::steady_clock::now();
    rig.target->Drop(&data, 0, POINTL{}, &effect);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    if (effect != DROPEFFECT_COPY) state.SkipWithError("the drop was not taken");
  }
  state.SetLabel(state.range(0) != 0 ? "UTF-16 names" : "ANSI names");
}

BENCHMARK(BM_DragEnter)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DropAfterEnter)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
