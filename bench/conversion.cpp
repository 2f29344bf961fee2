// Converter throughput on a synthetic board of 1,000,000 primitives, and the
// heap allocations each conversion makes. The board is served in-process by
// the converter tests' editor, generating every object from its handle, so
// the figures are the converters' own plus a thin host; the emitters are
// replaced by a sink that only counts, to keep the engine's cost out.
//
// Run: build*/bench/bench_conversion
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "layers/layerset.h"
#include "quennet/conversion/converters.h"
#include "quennet/conversion/emit.h"
#include "quennet/driver/state.h"
#include "quennet/options/options.h"

// The in-process editor of the converter tests.
#include "quennet/conversion/tests/fake_host.cpp"  // NOLINT(bugprone-suspicious-include)

namespace {

std::atomic<uint64_t> gAllocations{0};

}  // namespace

// The counter pairs malloc with free itself; the compiler cannot see that
// through the replaced global operators.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(size_t n) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, size_t) noexcept {
  std::free(p);
}

namespace {

using namespace quennet;
using test_support::TFakeHost;
using test_support::TFakeObject;

class TCountingSink final : public TEmitterSink {
 public:
  uint64_t entities = 0;
  void AddLine(uint32_t, double, double, double, double, double) override { ++entities; }
  void AddCircle(uint32_t, double, double, double, double) override { ++entities; }
  void AddArc(uint32_t, double, double, double, double, double, double) override { ++entities; }
  void AddSolid(const TPoints&, uint32_t) override { ++entities; }
  void AddText(int32_t, int32_t, int32_t, double, int32_t, double, bool, const char*,
               uint32_t) override {
    ++entities;
  }
  void AddPolyline(const TPoints&, uint32_t, bool, double, double) override { ++entities; }
  void AddDonut(int32_t, int32_t, int32_t, int32_t, uint32_t) override { ++entities; }
  void AddWidePolyArc(const TPoints&, int32_t, uint32_t, double, bool) override { ++entities; }
  void AddBulgePolyline(const TPoints&, const double*, uint32_t, bool) override { ++entities; }
  bool BeginBlock(const char*) override { return true; }
  void EndBlock() override {}
  void InsertBlock(int32_t, int32_t, const char*, double) override {}
};

constexpr uint32_t kPrimitives = 1000000;
constexpr uint32_t kFirstHandle = 1000;

// Ten objects in turn: four tracks, an arc, a fill, two pads, a via, a text.
struct TBoard {
  TFakeObject track, arc, fill, pad, smdPad, via, text;
  TBoard() {
    track.kind = pokTrack, track.layer = 1, track.width = 100000;
    arc.kind = pokArc, arc.layer = 1, arc.radius = 500000, arc.width = 100000;
    arc.startAngle = 30, arc.endAngle = 200;
    fill.kind = pokFill, fill.layer = 32, fill.rotation = 30;
    pad.kind = pokPad, pad.layer = 74, pad.hole = 350000;
    pad.OnLayer(1, psRound, 600000, 600000)
        .OnLayer(32, psRound, 600000, 600000)
        .OnLayer(39, psPlaneRelief, 600000, 600000);
    pad.reliefExpansion = 200000, pad.reliefConductor = 100000, pad.reliefEntries = 4;
    pad.reliefGap = 100000;
    smdPad.kind = pokPad, smdPad.layer = 1;
    smdPad.OnLayer(1, psRectangle, 800000, 400000);
    smdPad.rotation = 90;
    via.kind = pokVia, via.layer = 74, via.hole = 150000;
    via.OnLayer(1, psRound, 300000, 300000).OnLayer(32, psRound, 300000, 300000);
    text.kind = pokText, text.layer = 33, text.size = 600000, text.text = "R123";
    text.rotation = 90;
  }
  TFakeObject* Object(uint32_t h) {
    const int32_t x = static_cast<int32_t>(h % 3000) * 100000;
    const int32_t y = static_cast<int32_t>(h / 3000) * 100000;
    TFakeObject* o = nullptr;
    switch (h % 10) {
      case 0:
      case 1:
      case 2:
      case 3:
        o = &track, track.x2 = x + 1000000, track.y2 = y;
        break;
      case 4:
        o = &arc;
        break;
      case 5:
        o = &fill, fill.x2 = x + 500000, fill.y2 = y + 300000;
        break;
      case 6:
        o = &pad;
        break;
      case 7:
        o = &smdPad;
        break;
      case 8:
        o = &via;
        break;
      default:
        o = &text;
        break;
    }
    o->x = x, o->y = y;
    return o;
  }
};

void ConvertOne(uint32_t h) {
  switch (h % 10) {
    case 4:
      ConvertArc(h);
      break;
    case 5:
      ConvertFill(h);
      break;
    case 6:
    case 7:
      ConvertPad(h);
      break;
    case 8:
      ConvertVia(h);
      break;
    case 9:
      ConvertText(h);
      break;
    default:
      ConvertTrack(h);
  }
}

// Converts `count` objects whose handle modulo 10 is in `kinds` (all when empty).
void Run(benchmark::State& state, std::initializer_list<uint32_t> kinds, uint32_t count) {
  TFakeHost host;
  TBoard board;
  host.generator = [&board](uint32_t h) { return board.Object(h); };
  host.boardLayers = {1, 39, 32, 33, 81, 82};
  ExportLayerSet() = NewEmptySet();
  ExportLayerSet().IncludeArray({1, 32, 33, 39, 81, 82});
  ExportOptions() = TExportOptions{};
  ExportOptions().HoleMode = 1;
  Placement() = TPlacement{};
  TCountingSink sink;
  TEmitterSink* previous = SetEmitterSink(&sink);

  std::vector<uint32_t> handles;
  handles.reserve(count);
  for (uint32_t h = kFirstHandle; handles.size() < count; ++h) {
    bool wanted = kinds.size() == 0;
    for (uint32_t k : kinds) wanted |= h % 10 == k;
    if (wanted) handles.push_back(h);
  }

  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = gAllocations.load();
    for (uint32_t h : handles) ConvertOne(h);
    allocations += gAllocations.load() - before;
  }
  const double converted = static_cast<double>(state.iterations()) * handles.size();
  state.SetItemsProcessed(static_cast<int64_t>(converted));
  state.counters["allocs/primitive"] = static_cast<double>(allocations) / converted;
  state.counters["entities/primitive"] = static_cast<double>(sink.entities) / converted;
  SetEmitterSink(previous);
  ExportLayerSet() = TLayerSetRef();
}

void BM_MixedBoard(benchmark::State& state) {
  Run(state, {}, kPrimitives);
}
void BM_Tracks(benchmark::State& state) {
  Run(state, {0, 1, 2, 3}, 200000);
}
void BM_Arcs(benchmark::State& state) {
  Run(state, {4}, 100000);
}
void BM_Fills(benchmark::State& state) {
  Run(state, {5}, 100000);
}
void BM_ThroughHolePads(benchmark::State& state) {
  Run(state, {6}, 100000);
}
void BM_SmdPads(benchmark::State& state) {
  Run(state, {7}, 100000);
}
void BM_Vias(benchmark::State& state) {
  Run(state, {8}, 100000);
}
void BM_Texts(benchmark::State& state) {
  Run(state, {9}, 100000);
}

BENCHMARK(BM_MixedBoard)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_Tracks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Arcs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Fills)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ThroughHolePads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmdPads)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vias)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Texts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
