// The editor module's share of an export: opening a board document, and the
// per-object queries the traversal makes (iterate, kind, flags, one query,
// bounding rectangle).
#include <benchmark/benchmark.h>

#include <string>

#define PCBAPI_DECLARE_EXPORTS
#include "abi/korvex_host.h"
#include "abi/pcbapi.h"
#include "korvex/src/board.h"
#include "korvex/src/session.h"

namespace {

// n tracks, arcs and vias in turn, as a routed board has them.
std::string Document(int n) {
  std::string doc = "{\"objects\":[\n";
  for (int i = 0; i < n; ++i) {
    const int x = (i * 7919) % 100000000, y = (i * 104729) % 100000000;
    if (i) doc += ",\n";
    switch (i % 3) {
      case 0:
        doc += "{\"kind\":\"track\",\"layer\":\"TopLayer\",\"from\":[" + std::to_string(x) + "," +
               std::to_string(y) + "],\"to\":[" + std::to_string(x + 500000) + "," +
               std::to_string(y) + "],\"width\":100000}";
        break;
      case 1:
        doc += "{\"kind\":\"arc\",\"layer\":\"BottomLayer\",\"center\":[" + std::to_string(x) +
               "," + std::to_string(y) +
               "],\"radius\":200000,\"startAngle\":0,\"endAngle\":90,\"width\":100000}";
        break;
      default:
        doc += "{\"kind\":\"via\",\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) +
               ",\"size\":400000,\"hole\":200000}";
        break;
    }
  }
  return doc + "]}\n";
}

void BM_OpenDocument(benchmark::State& state) {
  const std::string doc = Document(int(state.range(0)));
  for (auto _ : state) {
    auto board = korvex::LoadBoardFromText(doc, "bench.json");
    benchmark::DoNotOptimize(board.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(doc.size()));
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_OpenDocument)->Arg(30000)->Unit(benchmark::kMillisecond);

// Owner references: n groups, each owned by the next in chains of `depth`
// (32 is the deepest a document may nest, 33 is refused at the end of the
// first chain). Resolving them costs their number, not its square.
std::string OwnerChains(int n, int depth) {
  std::string doc = "{\"objects\":[\n";
  for (int i = 0; i < n; ++i) {
    if (i) doc += ",\n";
    doc +=
        "{\"kind\":\"dimension\",\"layer\":\"Mechanical1\",\"id\":\"g" + std::to_string(i) + "\"";
    if ((i + 1) % depth != 0 && i + 1 < n) doc += ",\"owner\":\"g" + std::to_string(i + 1) + "\"";
    doc += "}";
  }
  return doc + "]}\n";
}

void BM_OwnerChains(benchmark::State& state) {
  const std::string doc = OwnerChains(int(state.range(0)), int(state.range(1)));
  for (auto _ : state) {
    try {
      auto board = korvex::LoadBoardFromText(doc, "bench.json");
      benchmark::DoNotOptimize(board.get());
    } catch (const korvex::DocumentError&) {
    }
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
// The scan's bounding box of every object of a board whose groups nest as
// deep as documents may: each group's box takes in all it holds.
void BM_BoxesOfNestedGroups(benchmark::State& state) {
  const auto board = korvex::LoadBoardFromText(OwnerChains(int(state.range(0)), 32), "bench.json");
  for (auto _ : state)
    for (const korvex::Object& o : board->objects)
      benchmark::DoNotOptimize(korvex::BoundingRect(*board, o));
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_BoxesOfNestedGroups)->Arg(40000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_OwnerChains)
    ->Args({40000, 32})
    ->Args({40000, 40000})
    ->Args({20000, 20000})
    ->Unit(benchmark::kMillisecond);

// One traversal step per object: what a converter asks of the editor.
void BM_QueryTracks(benchmark::State& state) {
  korvex::Session::Get().Open(korvex::LoadBoardFromText(Document(30000), "bench.json"));
  const uint32_t board = PcbApi_GetCurrentBoardHandle();
  int64_t objects = 0;
  for (auto _ : state) {
    const uint32_t it = PcbApi_CreateIterator(board, 4, 1, 0);
    for (uint32_t h = PcbApi_GetFirstObject(it); h; h = PcbApi_GetNextObject(it)) {
      uint8_t b2 = 0, b3 = 0;
      uint16_t flags;
      uint32_t layer, ref, comp;
      uint8_t aux;
      int32_t x1, y1, x2, y2, w, o1, o2, o3;
      PcbApi_GetObjectIdFromObjectHandle(h);
      PcbApi_GetObjectBitField2(1, h, &b2);
      PcbApi_GetObjectBitField3(1, h, &b3);
      PcbApi_QueryTrack(1, h, &flags, nullptr, &layer, &ref, &aux, &comp, &x1, &y1, &x2, &y2, &w,
                        &o1, &o2, &o3);
      PcbApi_QueryObjectBoundingRectangle(h, &x1, &y1, &x2, &y2);
      benchmark::DoNotOptimize(x2);
      ++objects;
    }
    PcbApi_DestroyIterator(it);
  }
  state.SetItemsProcessed(objects);
  KorvexCloseBoard();
}
BENCHMARK(BM_QueryTracks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
