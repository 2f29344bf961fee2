// An in-process stand-in for the host PCB editor: it serves the PcbApi_*
// queries the PCB model makes from a small object store, and can log every
// call in order, so that tests can check what the model asks and when.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "layers/layers.h"
#include "quennet/pcbmodel/hostapi.h"

namespace test_support {

using namespace quennet;

struct FakeObject {
  uint8_t Kind = 0;
  uint16_t Flags = 0;
  uint32_t Layer = 0;  // TV7_Layer
  uint8_t BitField2 = 0, BitField3 = 0;
  uint32_t ComponentHandle = 0;
  int32_t X = 0, Y = 0, X2 = 0, Y2 = 0, Width = 0;
  int32_t Owner[3] = {};
  int32_t Radius = 0;
  double Angle1 = 0, Angle2 = 0, Rotation = 0;
  int32_t Size = 0, HoleSize = 0;
  std::string Text, Name;
  uint32_t DesignatorHandle = 0;
  std::vector<std::string> Members;
  // Pads: per TLayer.
  int32_t XSize[83] = {}, YSize[83] = {}, CornerRadius[83] = {};
  uint8_t Shape[83] = {}, CRPercent[83] = {};
  uint8_t StackMode = 0;
  int32_t PadStatus = 0;  // what QueryPad answers
  uint32_t Rule = 0;      // dominant power-plane connect rule
  int32_t Relief[4] = {};
};

struct FakeLayer {
  std::string Name;
  uint8_t Previous = 0, Next = 0;
};

class FakeHost {
 public:
  FakeHost();
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  static FakeHost& Current() { return *current_; }

  // Every call in order, as "Name" or "Name(args)" for the calls whose
  // arguments matter to the order.
  std::vector<std::string> Log;
  bool Logging = true;
  void Note(std::string entry) {
    if (Logging) Log.push_back(std::move(entry));
  }
  void ClearLog() { Log.clear(); }
  // Log entries equal to name or starting with "name(".
  int CountOf(const std::string& name) const;

  std::unordered_map<uint32_t, FakeObject> Objects;
  FakeObject& Add(uint32_t handle, uint8_t kind) {
    FakeObject& o = Objects[handle];
    o.Kind = kind;
    return o;
  }
  // What an iterator of (owner, kind, TV7 layer) yields.
  std::map<std::tuple<uint32_t, uint8_t, uint32_t>, std::vector<uint32_t>> Iterations;

  // Board data.
  uint32_t BoardHandle = 1;
  uint8_t BoardUnit = 0;
  uint32_t BoardLayer = 1;  // TV7_Layer
  FakeLayer Layers[83];
  std::vector<std::tuple<uint32_t, uint32_t>> LayerPairs;  // (first, second) TV7_Layer
  std::vector<std::tuple<std::string, uint8_t>> TypeMappings;

  TPcbApiTable Table;

 private:
  static inline FakeHost* current_ = nullptr;
  struct Iterator {
    std::vector<uint32_t> Handles;
    size_t Next = 0;
  };
  std::unordered_map<uint32_t, Iterator> iterators_;
  uint32_t nextIterator_ = 100;
  friend struct FakeHostCalls;
};

namespace detail {

template <class Fn>
struct FakeStub;
template <class R, class... A>
struct FakeStub<R (*)(A...)> {
  // Logs the call and answers 0 without touching any output.
  template <const char* Name>
  static R Record(A...) {
    FakeHost::Current().Note(Name);
    return R{};
  }
};

#define QUENNET_FAKE_NAME(name, missing) inline constexpr char kFakeName_##name[] = #name;
PCBAPI_FUNCTIONS(QUENNET_FAKE_NAME)
#undef QUENNET_FAKE_NAME

inline void PutString(unsigned char* out, const std::string& s) {
  const size_t n = s.size() > 255 ? 255 : s.size();
  out[0] = static_cast<unsigned char>(n);
  std::memcpy(out + 1, s.data(), n);
}

inline FakeObject* Find(uint32_t handle) {
  auto& objects = FakeHost::Current().Objects;
  auto it = objects.find(handle);
  return it == objects.end() ? nullptr : &it->second;
}

}  // namespace detail

struct FakeHostCalls {
  static FakeHost& H() { return FakeHost::Current(); }

  static uint32_t GetCurrentBoardHandle() {
    H().Note("GetCurrentBoardHandle");
    return H().BoardHandle;
  }
  static uint8_t GetObjectIdFromObjectHandle(uint32_t h) {
    H().Note("GetObjectIdFromObjectHandle");
    FakeObject* o = detail::Find(h);
    return o ? o->Kind : 0;
  }
  static uint32_t CreateIterator(uint32_t owner, uint8_t kind, uint8_t method, uint32_t layer) {
    H().Note("CreateIterator(" + std::to_string(owner) + "," + std::to_string(kind) + "," +
             std::to_string(method) + "," + std::to_string(layer) + ")");
    const uint32_t id = H().nextIterator_++;
    auto& it = H().iterators_[id];
    auto found = H().Iterations.find({owner, kind, layer});
    if (found != H().Iterations.end()) it.Handles = found->second;
    return id;
  }
  static uint32_t Step(uint32_t iterator, bool first) {
    auto found = H().iterators_.find(iterator);
    if (found == H().iterators_.end()) return 0;
    if (first) found->second.Next = 0;
    auto& it = found->second;
    return it.Next < it.Handles.size() ? it.Handles[it.Next++] : 0;
  }
  static uint32_t GetFirstObject(uint32_t iterator) {
    H().Note("GetFirstObject");
    return Step(iterator, true);
  }
  static uint32_t GetNextObject(uint32_t iterator) {
    H().Note("GetNextObject");
    return Step(iterator, false);
  }
  static int32_t DestroyIterator(uint32_t iterator) {
    H().Note("DestroyIterator");
    H().iterators_.erase(iterator);
    return 0;
  }
  static int32_t GetObjectBitField2(uint8_t mode, uint32_t h, uint8_t* bits) {
    H().Note("GetObjectBitField2");
    if (FakeObject* o = detail::Find(h); o && mode == 1) *bits = o->BitField2;
    return 0;
  }
  static int32_t GetObjectBitField3(uint8_t mode, uint32_t h, uint8_t* bits) {
    H().Note("GetObjectBitField3");
    if (FakeObject* o = detail::Find(h); o && mode == 1) *bits = o->BitField3;
    return 0;
  }
  static int32_t QueryPrimitive(uint8_t mode, uint32_t h, uint16_t* flags, uint16_t*,
                                uint32_t* layer, uint32_t*, uint32_t* component, uint8_t*) {
    H().Note("QueryPrimitive");
    FakeObject* o = detail::Find(h);
    if (!o || mode != 1) return o ? 0 : 1;
    *flags = o->Flags;
    *layer = o->Layer;
    *component = o->ComponentHandle;
    return 0;
  }
  static int32_t QueryTrack(uint8_t mode, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer,
                            uint32_t*, uint8_t*, uint32_t* component, int32_t* x1, int32_t* y1,
                            int32_t* x2, int32_t* y2, int32_t* width, int32_t* o1, int32_t* o2,
                            int32_t* o3) {
    H().Note("QueryTrack");
    FakeObject* o = detail::Find(h);
    if (!o) return 1;
    if (mode != 1) return 0;
    *flags = o->Flags;
    *layer = o->Layer;
    *component = o->ComponentHandle;
    *x1 = o->X;
    *y1 = o->Y;
    *x2 = o->X2;
    *y2 = o->Y2;
    *width = o->Width;
    *o1 = o->Owner[0];
    *o2 = o->Owner[1];
    *o3 = o->Owner[2];
    return 0;
  }
  static int32_t QueryVia(uint8_t mode, uint32_t h, uint16_t*, uint16_t*, uint8_t* layer, uint32_t*,
                          uint8_t*, uint32_t*, int32_t* x, int32_t* y, int32_t* size, int32_t* hole,
                          uint8_t*, uint8_t*, uint8_t*, uint8_t*) {
    H().Note("QueryVia");
    FakeObject* o = detail::Find(h);
    if (!o) return 1;
    if (mode != 1) return 0;
    *layer = V7ToLayer(o->Layer);  // the host's byte form clamps
    *x = o->X;
    *y = o->Y;
    *size = o->Size;
    *hole = o->HoleSize;
    return 0;
  }
  static int32_t QueryText(uint8_t mode, uint32_t h, uint16_t*, uint16_t*, uint32_t* layer,
                           uint32_t*, uint8_t*, uint32_t*, int32_t* x, int32_t* y, int32_t* size,
                           int32_t*, double* rotation, uint8_t*, unsigned char* text,
                           int32_t* width, int32_t* o2, int32_t* o3) {
    H().Note("QueryText");
    FakeObject* o = detail::Find(h);
    if (!o) return 1;
    if (mode != 1) return 0;
    *layer = o->Layer;
    *x = o->X;
    *y = o->Y;
    *size = o->Size;
    *rotation = o->Rotation;
    detail::PutString(text, o->Text);
    *width = o->Width;
    *o2 = o->Owner[1];
    *o3 = o->Owner[2];
    return 0;
  }
  static int32_t QueryComponent(uint8_t mode, uint32_t h, uint16_t*, uint16_t*, uint8_t* layer,
                                uint8_t*, uint32_t* designator, uint32_t*, unsigned char* pattern,
                                uint8_t*, uint8_t*, int32_t* x, int32_t* y, int32_t*,
                                double* rotation, uint8_t*) {
    H().Note("QueryComponent");
    FakeObject* o = detail::Find(h);
    if (!o) return 1;
    if (mode != 1) return 0;
    *layer = V7ToLayer(o->Layer);
    *designator = o->DesignatorHandle;
    detail::PutString(pattern, o->Name);
    *x = o->X;
    *y = o->Y;
    *rotation = o->Rotation;
    return 0;
  }
  static int32_t QueryPad(uint8_t mode, uint32_t h, uint16_t* flags, uint16_t*, uint32_t* layer,
                          uint32_t*, uint8_t*, uint32_t* component, int32_t* x, int32_t* y,
                          int32_t* txs, int32_t* tys, int32_t*, int32_t*, int32_t*, int32_t*,
                          int32_t* hole, uint8_t* topShape, uint8_t*, uint8_t*, unsigned char* name,
                          uint8_t*, uint8_t*, double* rotation, unsigned char*, unsigned char*,
                          uint32_t*, unsigned char*, uint8_t*, uint8_t*, uint32_t*, int64_t*,
                          uint32_t*, uint32_t*, uint32_t*, uint8_t*, uint8_t*) {
    H().Note("QueryPad");
    FakeObject* o = detail::Find(h);
    if (!o) return 1;
    if (o->PadStatus != 0) return o->PadStatus;
    if (mode != 1) return 0;
    *flags = o->Flags;
    *layer = o->Layer;
    *component = o->ComponentHandle;
    *x = o->X;
    *y = o->Y;
    *txs = o->XSize[1];
    *tys = o->YSize[1];
    *hole = o->HoleSize;
    *topShape = o->Shape[1];
    detail::PutString(name, o->Name);
    *rotation = o->Rotation;
    return 0;
  }
  static int32_t QueryPadStackMode(uint8_t mode, uint32_t h, uint8_t* stackMode) {
    H().Note("QueryPadStackMode");
    FakeObject* o = detail::Find(h);
    if (o && mode == 1) *stackMode = o->StackMode;
    return 0;
  }
  static int32_t QueryPadOrViaShapeOnLayer(uint32_t h, uint8_t l, uint8_t* shape) {
    H().Note("QueryPadOrViaShapeOnLayer");
    if (FakeObject* o = detail::Find(h); o && l < 83) *shape = o->Shape[l];
    return 0;
  }
  static int32_t QueryPadOrViaSizeOnLayer(uint32_t h, uint8_t l, int32_t* xs, int32_t* ys) {
    H().Note("QueryPadOrViaSizeOnLayer");
    if (FakeObject* o = detail::Find(h); o && l < 83) {
      *xs = o->XSize[l];
      *ys = o->YSize[l];
    }
    return 0;
  }
  static int32_t QueryPadCornerRadiusOnLayer(uint32_t h, uint8_t l, int32_t* r) {
    H().Note("QueryPadCornerRadiusOnLayer");
    if (FakeObject* o = detail::Find(h); o && l < 83) *r = o->CornerRadius[l];
    return 0;
  }
  static int32_t QueryPadCRPercentageOnLayer(uint32_t h, uint8_t l, uint8_t* pct) {
    H().Note("QueryPadCRPercentageOnLayer");
    if (FakeObject* o = detail::Find(h); o && l < 83) *pct = o->CRPercent[l];
    return 0;
  }
  static int32_t SetCRPctOnLayer(uint32_t, uint8_t l, uint8_t pct) {
    H().Note("SetCRPctOnLayer(" + std::to_string(l) + "," + std::to_string(pct) + ")");
    return 0;
  }
  static uint32_t FindDominantRuleForObject(uint32_t h, uint8_t kind) {
    H().Note("FindDominantRuleForObject(" + std::to_string(kind) + ")");
    FakeObject* o = detail::Find(h);
    return o && kind == 6 ? o->Rule : 0;
  }
  static int32_t QueryRulePowerPlaneConnectStyleRule(uint8_t, uint32_t rule, uint8_t* style,
                                                     int32_t* a, int32_t* b, int32_t* c,
                                                     int32_t* d) {
    H().Note("QueryRulePowerPlaneConnectStyleRule");
    for (auto& [handle, o] : H().Objects)
      if (o.Rule == rule) {
        *style = 0;
        *a = o.Relief[0];
        *b = o.Relief[1];
        *c = o.Relief[2];
        *d = o.Relief[3];
        return 0;
      }
    return 1;
  }
  static int32_t QueryClass(uint8_t mode, uint32_t h, uint16_t*, unsigned char* name, uint8_t*,
                            uint8_t*) {
    H().Note("QueryClass");
    FakeObject* o = detail::Find(h);
    if (o && mode == 1) detail::PutString(name, o->Name);
    return 0;
  }
  static int32_t GetMemberFromClassAt(uint32_t h, int32_t i, unsigned char* name) {
    H().Note("GetMemberFromClassAt");
    FakeObject* o = detail::Find(h);
    if (!o || i < 0 || size_t(i) >= o->Members.size()) return 1;
    detail::PutString(name, o->Members[size_t(i)]);
    return 0;
  }
  static int32_t QueryBoard(uint8_t mode, uint32_t, uint32_t*, unsigned char*, uint8_t*, int32_t*,
                            int32_t*, int32_t*, int32_t*, uint8_t* unit, uint32_t* layer,
                            int32_t*) {
    H().Note("QueryBoard");
    if (mode == 1) {
      *unit = H().BoardUnit;
      *layer = H().BoardLayer;
    }
    return 0;
  }
  static int32_t QueryLayer(uint8_t mode, uint8_t l, uint32_t, unsigned char* name, int32_t*,
                            uint8_t*, uint8_t*, uint8_t* previous, uint8_t* next, uint8_t*) {
    H().Note("QueryLayer(" + std::to_string(l) + ")");
    if (mode == 1 && l < 83) {
      const FakeLayer& fl = H().Layers[l];
      if (!fl.Name.empty()) detail::PutString(name, fl.Name);
      *previous = fl.Previous;
      *next = fl.Next;
    }
    return 0;
  }
  static int32_t QueryInternalPlane(uint8_t mode, uint8_t l, uint32_t, unsigned char* name,
                                    int32_t*, uint8_t*, uint8_t*, uint8_t* previous, uint8_t* next,
                                    unsigned char*) {
    H().Note("QueryInternalPlane(" + std::to_string(l) + ")");
    if (mode == 1 && l < 83) {
      const FakeLayer& fl = H().Layers[l];
      if (!fl.Name.empty()) detail::PutString(name, fl.Name);
      *previous = fl.Previous;
      *next = fl.Next;
    }
    return 0;
  }
  static int32_t QueryBoardLayerPairsCount(uint32_t, int32_t* count, uint8_t mode) {
    H().Note("QueryBoardLayerPairsCount(" + std::to_string(mode) + ")");
    if (mode == 1) *count = static_cast<int32_t>(H().LayerPairs.size());
    return 0;
  }
  static int32_t QueryBoardLayerPairAt(uint8_t mode, uint32_t, int32_t i, uint32_t* second,
                                       uint32_t* first, uint8_t*, uint8_t*) {
    H().Note("QueryBoardLayerPairAt(" + std::to_string(i) + ")");
    if (mode == 1 && i >= 0 && size_t(i) < H().LayerPairs.size()) {
      *first = std::get<0>(H().LayerPairs[size_t(i)]);
      *second = std::get<1>(H().LayerPairs[size_t(i)]);
    }
    return 0;
  }
  static int32_t GetState_ComponentTypeMappingsCount() {
    H().Note("GetState_ComponentTypeMappingsCount");
    return static_cast<int32_t>(H().TypeMappings.size());
  }
  static int32_t GetState_ComponentTypeMappingAt(int32_t i, unsigned char* name, uint8_t* kind) {
    H().Note("GetState_ComponentTypeMappingAt");
    if (i < 0 || size_t(i) >= H().TypeMappings.size()) return 1;
    detail::PutString(name, std::get<0>(H().TypeMappings[size_t(i)]));
    *kind = std::get<1>(H().TypeMappings[size_t(i)]);
    return 0;
  }
  static int32_t SetState_AddComponentTypeMapping(const unsigned char* name, uint8_t kind) {
    H().Note("SetState_AddComponentTypeMapping(" + abi::FromShortString(name) + "," +
             std::to_string(kind) + ")");
    return 0;
  }
};

inline FakeHost::FakeHost() {
#define QUENNET_FAKE_STUB(name, missing) \
  Table.name = &detail::FakeStub<abi::TPcbApi_##name>::template Record<detail::kFakeName_##name>;
  PCBAPI_FUNCTIONS(QUENNET_FAKE_STUB)
#undef QUENNET_FAKE_STUB
  Table.GetCurrentBoardHandle = &FakeHostCalls::GetCurrentBoardHandle;
  Table.GetObjectIdFromObjectHandle = &FakeHostCalls::GetObjectIdFromObjectHandle;
  Table.CreateIterator = &FakeHostCalls::CreateIterator;
  Table.GetFirstObject = &FakeHostCalls::GetFirstObject;
  Table.GetNextObject = &FakeHostCalls::GetNextObject;
  Table.DestroyIterator = &FakeHostCalls::DestroyIterator;
  Table.GetObjectBitField2 = &FakeHostCalls::GetObjectBitField2;
  Table.GetObjectBitField3 = &FakeHostCalls::GetObjectBitField3;
  Table.QueryPrimitive = &FakeHostCalls::QueryPrimitive;
  Table.QueryTrack = &FakeHostCalls::QueryTrack;
  Table.QueryVia = &FakeHostCalls::QueryVia;
  Table.QueryText = &FakeHostCalls::QueryText;
  Table.QueryComponent = &FakeHostCalls::QueryComponent;
  Table.QueryPad = &FakeHostCalls::QueryPad;
  Table.QueryPadStackMode = &FakeHostCalls::QueryPadStackMode;
  Table.QueryPadOrViaShapeOnLayer = &FakeHostCalls::QueryPadOrViaShapeOnLayer;
  Table.QueryPadOrViaSizeOnLayer = &FakeHostCalls::QueryPadOrViaSizeOnLayer;
  Table.QueryPadCornerRadiusOnLayer = &FakeHostCalls::QueryPadCornerRadiusOnLayer;
  Table.QueryPadCRPercentageOnLayer = &FakeHostCalls::QueryPadCRPercentageOnLayer;
  Table.SetCRPctOnLayer = &FakeHostCalls::SetCRPctOnLayer;
  Table.FindDominantRuleForObject = &FakeHostCalls::FindDominantRuleForObject;
  Table.QueryRulePowerPlaneConnectStyleRule = &FakeHostCalls::QueryRulePowerPlaneConnectStyleRule;
  Table.QueryClass = &FakeHostCalls::QueryClass;
  Table.GetMemberFromClassAt = &FakeHostCalls::GetMemberFromClassAt;
  Table.QueryBoard = &FakeHostCalls::QueryBoard;
  Table.QueryLayer = &FakeHostCalls::QueryLayer;
  Table.QueryInternalPlane = &FakeHostCalls::QueryInternalPlane;
  Table.QueryBoardLayerPairsCount = &FakeHostCalls::QueryBoardLayerPairsCount;
  Table.QueryBoardLayerPairAt = &FakeHostCalls::QueryBoardLayerPairAt;
  Table.GetState_ComponentTypeMappingsCount = &FakeHostCalls::GetState_ComponentTypeMappingsCount;
  Table.GetState_ComponentTypeMappingAt = &FakeHostCalls::GetState_ComponentTypeMappingAt;
  Table.SetState_AddComponentTypeMapping = &FakeHostCalls::SetState_AddComponentTypeMapping;
  current_ = this;
  SetPcbApiOverride(&Table);
}

inline FakeHost::~FakeHost() {
  SetPcbApiOverride(nullptr);
  current_ = nullptr;
}

inline int FakeHost::CountOf(const std::string& name) const {
  int n = 0;
  for (const std::string& e : Log)
    if (e == name || e.rfind(name + "(", 0) == 0) ++n;
  return n;
}

}  // namespace test_support
