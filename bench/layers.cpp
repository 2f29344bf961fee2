// Cost of the layer-set and layer-hash lookups that run once per board object:
// the export layer set's Contains and the layer map's lookup. Reports heap
// allocations per iteration, which must be 0 in the steady state.
#include "layers/layers.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "layers/layerhash.h"
#include "layers/layerset.h"

namespace {

std::atomic<long> g_allocations{0};

}  // namespace

// Counting replacements of the global allocation functions. GCC cannot see
// that the replaced new and delete pair up, so its pairing check is off here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(n ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

namespace {

using namespace quennet;

// What an export of a four-layer board typically holds: the layer stack,
// paste and solder masks, overlays, multi-layer, a mechanical layer, the
// keep-out and the two hole layers.
TLayerSetRef TypicalExportSet() {
  TLayerSetRef s = NewEmptySet();
  s.IncludeArray({1, 2, 3, 32});
  TLegacyLayerSet masks{};
  for (TLayer l : {35, 36, 37, 38}) LegacySetInclude(masks, l);
  s.IncludeLegacySet(masks);
  s.IncludeArray({33, 34, 74, 57, 56, 81, 82});
  return s;
}

// Layers of board objects in a plausible mix, some not exported.
constexpr TV7_Layer kObjectLayers[] = {1,  32, 1, 74, 33, 2, 1,          32,
                                       57, 34, 3, 58, 74, 1, 0x01010021, 55};
constexpr size_t kObjectLayerCount = sizeof kObjectLayers / sizeof kObjectLayers[0];

void ReportAllocations(benchmark::State& state, long before) {
  state.counters["allocs/iter"] = benchmark::Counter(
      static_cast<double>(g_allocations.load() - before), benchmark::Counter::kAvgIterations);
}

void BM_ContainsTypicalExportSet(benchmark::State& state) {
  const TLayerSetRef set = TypicalExportSet();
  size_t i = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    benchmark::DoNotOptimize(set.Contains(kObjectLayers[i]));
    if (++i == kObjectLayerCount) i = 0;
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_ContainsTypicalExportSet);

void BM_ContainsThroughInterface(benchmark::State& state) {
  const TLayerSetRef set = TypicalExportSet();
  IPCB_LayerSet* raw = set.get();
  size_t i = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    bool member = false;
    benchmark::DoNotOptimize(raw->Contains(kObjectLayers[i], &member));
    benchmark::DoNotOptimize(member);
    if (++i == kObjectLayerCount) i = 0;
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_ContainsThroughInterface);

// The worst case of the fixed layers: all 83 in one bucket, asking the last.
void BM_ContainsAllFixedLayersLast(benchmark::State& state) {
  TLayerSetRef set = NewEmptySet();
  for (TV7_Layer l = 0; l <= 82; ++l) set.Include(l);
  const long before = g_allocations.load();
  for (auto _ : state) benchmark::DoNotOptimize(set.Contains(82));
  ReportAllocations(state, before);
}
BENCHMARK(BM_ContainsAllFixedLayersLast);

void BM_ContainsIncludeAllWithExceptions(benchmark::State& state) {
  TLayerSetRef set = NewAllLayersSet();
  set.Exclude(2).Exclude(33);
  size_t i = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    benchmark::DoNotOptimize(set.Contains(kObjectLayers[i]));
    if (++i == kObjectLayerCount) i = 0;
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_ContainsIncludeAllWithExceptions);

// The layer map's lookup: one entry per exported layer.
void BM_LayerHashGetValue(benchmark::State& state) {
  TLayerHash map(false, 0, 8);
  TLayerIteratorRef it = TypicalExportSet().CreateIterator();
  THashValue v = 1;
  while (it.Next()) map.SetValue(it.Layer(), v++);
  size_t i = 0;
  const long before = g_allocations.load();
  for (auto _ : state) {
    benchmark::DoNotOptimize(map.GetValue(kObjectLayers[i]));
    if (++i == kObjectLayerCount) i = 0;
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_LayerHashGetValue);

// Iterating the export set once (per export, not per object): one iterator.
void BM_IterateTypicalExportSet(benchmark::State& state) {
  const TLayerSetRef set = TypicalExportSet();
  const long before = g_allocations.load();
  for (auto _ : state) {
    TLayerIteratorRef it = set.CreateIterator();
    while (it.Next()) benchmark::DoNotOptimize(it.Layer());
  }
  ReportAllocations(state, before);
}
BENCHMARK(BM_IterateTypicalExportSet);

}  // namespace

BENCHMARK_MAIN();
