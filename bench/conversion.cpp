// Converter throughput on a synthetic board of 1,000,000 primitives, and the
// heap allocations each conversion makes. The board is a document opened in
// the editor module, linked in, so the figures are the converters' own plus
// the editor's answers; the emitters are replaced by a sink that only counts,
// to keep the engine's cost out.
//
// Run: build*/bench/bench_conversion
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#define PCBAPI_DECLARE_EXPORTS
#include "abi/korvex_host.h"
#include "abi/pcbapi.h"
#include "korvex/src/board.h"
#include "korvex/src/session.h"
#include "layers/layerset.h"
#include "quennet/conversion/converters.h"
#include "quennet/conversion/emit.h"
#include "quennet/driver/state.h"
#include "quennet/options/options.h"
#include "quennet/pcbmodel/hostapi.h"

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
// The document reader allocates with these; they must pair with the above.
void* operator new(size_t n, const std::nothrow_t&) noexcept {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(n ? n : 1);
}
void* operator new[](size_t n) {
  return operator new(n);
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept {
  return operator new(n, t);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace {

using namespace quennet;
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

// Ten objects in turn: four tracks, an arc, a fill, two pads, a via, a text;
// the through-hole pads join the plane of their net with a relief.
std::string Document() {
  std::string doc = R"({"board": {"stack": ["TopLayer", {"layer": "InternalPlane1", "net": "GND"},
    "BottomLayer"]}, "objects": [)";
  doc.reserve(size_t{160} * kPrimitives);
  for (uint32_t i = 0; i < kPrimitives; ++i) {
    const std::string x = std::to_string((i % 3000) * 100000);
    const std::string y = std::to_string((i / 3000) * 100000);
    const std::string at = "\"x\":" + x + ",\"y\":" + y;
    if (i) doc += ",\n";
    switch (i % 10) {
      case 4:
        doc += R"({"kind":"arc","layer":"TopLayer","center":[)" + x + "," + y +
               R"(],"radius":500000,"startAngle":30,"endAngle":200,"width":100000})";
        break;
      case 5:
        doc += R"({"kind":"fill","layer":"BottomLayer","rotation":30,"corner1":[)" + x + "," + y +
               "],\"corner2\":[" + std::to_string((i % 3000) * 100000 + 500000) + "," +
               std::to_string((i / 3000) * 100000 + 300000) + "]}";
        break;
      case 6:
        doc += R"({"kind":"pad","hole":350000,"size":600000,"net":"GND",)" + at + "}";
        break;
      case 7:
        doc += R"({"kind":"pad","layer":"TopLayer","shape":"rectangle","size":[800000,400000],)"
               R"("rotation":90,)" +
               at + "}";
        break;
      case 8:
        doc += R"({"kind":"via","hole":150000,"size":300000,)" + at + "}";
        break;
      case 9:
        doc += R"({"kind":"text","layer":"TopOverlay","height":600000,"text":"R123",)"
               R"("rotation":90,)" +
               at + "}";
        break;
      default:
        doc += R"({"kind":"track","layer":"TopLayer","width":100000,"from":[)" + x + "," + y +
               "],\"to\":[" + std::to_string((i % 3000) * 100000 + 1000000) + "," + y + "]}";
    }
  }
  return doc + "]}\n";
}

// The board, open in the editor and bound as the plug-in's host for the
// life of the program.
struct TEditor {
  quennet::TPcbApiTable table;
  abi::Ref<abi::IPCB_ServerInterface> server;
  std::vector<uint32_t> handles;  // by document order; the board's rules left out
  TEditor() {
    korvex::Session& session = korvex::Session::Get();
    session.Open(korvex::LoadBoardFromText(Document(), "bench.json"));
    for (const korvex::Object& o : session.board()->objects)
      if (o.kind != korvex::kRule) handles.push_back(session.HandleOf(session.IndexOf(&o)));
#define BENCH_BIND(name, missing) table.name = &::PcbApi_##name;
    PCBAPI_FUNCTIONS(BENCH_BIND)
#undef BENCH_BIND
    SetPcbApiOverride(&table);
    abi::Ref<abi::IHostUnknown> module;
    KorvexGetServerModule(module.put());
    module->QueryInterface(abi::IID_IPCB_ServerInterface, reinterpret_cast<void**>(server.put()));
    SetPcbServerOverride(server.get());
  }
};

const TEditor& Editor() {
  static const TEditor editor;
  return editor;
}

void ConvertOne(uint32_t i, uint32_t h) {
  switch (i % 10) {
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
  Editor();
  ExportLayerSet() = NewEmptySet();
  ExportLayerSet().IncludeArray({1, 32, 33, 39, 81, 82});
  ExportOptions() = TExportOptions{};
  ExportOptions().HoleMode = 1;
  Placement() = TPlacement{};
  TCountingSink sink;
  TEmitterSink* previous = SetEmitterSink(&sink);

  std::vector<uint32_t> objects;  // document indices
  objects.reserve(count);
  for (uint32_t i = 0; objects.size() < count && i < kPrimitives; ++i) {
    bool wanted = kinds.size() == 0;
    for (uint32_t k : kinds) wanted |= i % 10 == k;
    if (wanted) objects.push_back(i);
  }
  std::vector<uint32_t> handles;
  for (uint32_t i : objects) handles.push_back(Editor().handles[i]);

  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = gAllocations.load();
    for (size_t n = 0; n < handles.size(); ++n) ConvertOne(objects[n], handles[n]);
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
