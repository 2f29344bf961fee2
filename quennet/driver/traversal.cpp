#include "quennet/driver/traversal.h"

#include <memory>

#include "quennet/conversion/converters.h"
#include "quennet/driver/state.h"
#include "quennet/pcbmodel/hostapi.h"

namespace quennet {

namespace {

void CallHandler(void* context, uint32_t handle) {
  reinterpret_cast<TObjectProc>(context)(handle);
}

// Grouped pass: each visited object advances the progress once here, and
// again in its converter when it passes the test.
template <class Wrapper, class Test>
void VisitGrouped(uint32_t handle, Test test, TObjectProc converter) {
  PcbApi_Percent_Update();
  auto object = std::make_unique<Wrapper>(handle);
  object->Transfer(1);
  const bool grouped = test(*object);
  object.reset();
  if (grouped) converter(handle);
}

void GroupedTrack(uint32_t h) {
  VisitGrouped<TPcbTrack>(
      h,
      [](const TPcbTrack& t) {
        return t.OwnerHandle1() != 0 || t.OwnerHandle2() != 0 || t.OwnerHandle3() != 0;
      },
      ConvertTrack);
}
void GroupedArc(uint32_t h) {
  VisitGrouped<TPcbArc>(
      h, [](const TPcbArc& a) { return a.OwnerHandle1() != 0; }, ConvertArc);
}
void GroupedFill(uint32_t h) {
  VisitGrouped<TPcbFill>(
      h, [](const TPcbFill& f) { return f.OwnerHandle1() != 0; }, ConvertFill);
}
void GroupedText(uint32_t h) {
  VisitGrouped<TPcbText>(
      h, [](const TPcbText& t) { return t.OwnerHandle2() != 0 || t.OwnerHandle3() != 0; },
      ConvertText);
}
void GroupedRegion(uint32_t h) {
  VisitGrouped<TPCBObject>(
      h, [](const TPCBObject& o) { return (o.BitField2() & 0x02) != 0; }, ConvertRegion);
}

}  // namespace

void IterateBoardObjects(TObjectProc handler, TPcbObjectKindSet kinds, uint8_t method) {
  abi::TLegacyLayerSet layers{};
  LegacySetInclude(layers, 0);
  IterateHostObjects(CurrentBoardHandle(), CallHandler, reinterpret_cast<void*>(handler), kinds,
                     layers, method);
}

void ExportFreePrimitives() {
  Placement() = TPlacement{};

  IterateBoardObjects(ConvertTrack, KindBit(pokTrack), kIterateFreeObjects);
  IterateBoardObjects(ConvertArc, KindBit(pokArc), kIterateFreeObjects);
  IterateBoardObjects(ConvertFill, KindBit(pokFill), kIterateFreeObjects);
  IterateBoardObjects(ConvertVia, KindBit(pokVia), kIterateFreeObjects);
  IterateBoardObjects(ConvertPad, KindBit(pokPad), kIterateFreeObjects);
  IterateBoardObjects(ConvertText, KindBit(pokText), kIterateFreeObjects);
  IterateBoardObjects(ConvertRegion, KindBit(pokRegion), kIterateFreeObjects);

  // Members of polygons, dimensions and other groups; component members
  // reach the drawing through the component pass instead.
  IterateBoardObjects(GroupedTrack, KindBit(pokTrack), kIterateAllObjects);
  IterateBoardObjects(GroupedArc, KindBit(pokArc), kIterateAllObjects);
  IterateBoardObjects(GroupedFill, KindBit(pokFill), kIterateAllObjects);
  IterateBoardObjects(GroupedText, KindBit(pokText), kIterateAllObjects);
  IterateBoardObjects(GroupedRegion, KindBit(pokRegion), kIterateAllObjects);
}

void ExportComponents() {
  IterateBoardObjects(ConvertComponent, KindBit(pokComponent), kIterateAllObjects);
}

}  // namespace quennet
