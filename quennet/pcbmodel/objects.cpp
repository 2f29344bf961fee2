#include "quennet/pcbmodel/objects.h"

#include <cmath>
#include <limits>
#include <numbers>

#include "layers/layerset.h"
#include "quennet/pcbmodel/hostapi.h"
#include "quennet/pcbmodel/pad.h"

namespace quennet {

namespace {

// The host's iterator is released even when a callback raises.
struct TIteratorGuard {
  uint32_t Iterator;
  ~TIteratorGuard() { PcbApi_DestroyIterator(Iterator); }
};

void CallPlainProc(void* context, uint32_t handle) {
  (*static_cast<TObjectProc*>(context))(handle);
}

// Host counts beyond an array's capacity are cut to it.
int32_t ClampCount(int32_t count, int32_t capacity) {
  return count < 0 ? 0 : count > capacity ? capacity : count;
}

}  // namespace

int32_t RoundHalfEven(double v) {
  const double r = std::nearbyint(v);
  if (!(r >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(r);
}

int32_t ExtentCorner(const TExtentFrame& f, int corner, bool wantY, bool flatWhenNoHeight) {
  if (flatWhenNoHeight && f.H == 0) {
    if (wantY) return RoundHalfEven(f.Cy);
    const bool left = corner == 1 || corner == 3;
    return RoundHalfEven(left ? f.Cx - f.W / 2 : f.Cx + f.W / 2);
  }
  double v = 0;
  switch (corner) {
    case 1:
      v = wantY ? f.Cy - std::cos(f.P - f.Tr) * f.R : f.Cx - std::sin(f.P - f.Tr) * f.R;
      break;
    case 2:
      v = wantY ? f.Cy - std::sin(f.Q - f.P) * f.R : f.Cx + std::cos(f.Q - f.P) * f.R;
      break;
    case 3:
      v = wantY ? f.Cy + std::sin(f.Q - f.P) * f.R : f.Cx - std::cos(f.Q - f.P) * f.R;
      break;
    default:
      v = wantY ? f.Cy + std::cos(f.P - f.Tr) * f.R : f.Cx + std::sin(f.P - f.Tr) * f.R;
      break;
  }
  return RoundHalfEven(v);
}

void IterateHostObjects(uint32_t owner, TObjectProcEx callback, void* context,
                        TPcbObjectKindSet kinds, const abi::TLegacyLayerSet& layers,
                        uint8_t method) {
  // The host's iterators know no kinds beyond these.
  for (uint8_t kind = 0; kind < abi::kPcbApiIteratedKinds; ++kind) {
    if (!(kinds & KindBit(kind))) continue;
    for (int layer = kMinLayer; layer <= kMaxLayer; ++layer) {
      if (!LegacySetContains(layers, static_cast<TLayer>(layer))) continue;
      TIteratorGuard it{
          PcbApi_CreateIterator(owner, kind, method, LayerToV7(static_cast<TLayer>(layer)))};
      for (uint32_t h = PcbApi_GetFirstObject(it.Iterator); h != 0;
           h = PcbApi_GetNextObject(it.Iterator))
        callback(context, h);
    }
  }
}

// --- TPCBObject -----------------------------------------------------------------

void TPCBObject::TransferBitFields(uint8_t mode) {
  PcbApi_GetObjectBitField2(mode, FHandle, &FBitField2);
  PcbApi_GetObjectBitField3(mode, FHandle, &FBitField3);
}

int32_t TPCBObject::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryPrimitive(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef,
                               &FComponentHandle, &FAuxByte);
}

int32_t TPCBObject::GetBoundingRect(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2) {
  return PcbApi_QueryObjectBoundingRectangle(FHandle, &x1, &y1, &x2, &y2);
}

void TPCBObject::MoveBy(int32_t dx, int32_t dy) {
  FX += dx;
  FY += dy;
}

void TPCBObject::SetFlagsBit8Clear(bool v) {
  SetFlagBit(8, !v);
  Transfer(0);
}

int32_t TPCBObject::Corner(int32_t margin, int corner, bool wantY) const {
  const int64_t x1 = X(), x2 = X2(), y1 = Y(), y2 = Y2();
  const double t = Rotation();
  TExtentFrame f{};
  f.W = static_cast<double>((x2 > x1 ? x2 - x1 : x1 - x2) + 2 * int64_t{margin});
  f.H = static_cast<double>((y2 > y1 ? y2 - y1 : y1 - y2) + 2 * int64_t{margin});
  f.R = std::sqrt((f.W / 2) * (f.W / 2) + (f.H / 2) * (f.H / 2));
  f.Cx = static_cast<double>(x1 / 2 + x2 / 2);
  f.Cy = static_cast<double>(y1 / 2 + y2 / 2);
  f.P = f.H != 0 ? std::atan(f.W / f.H) : std::numbers::pi / 2;
  f.Tr = t * std::numbers::pi / 180;
  f.Q = (90 - t) * std::numbers::pi / 180;
  return ExtentCorner(f, corner, wantY, true);
}

abi::Ref<abi::IPCB_Primitive> TPCBObject::GetPrimitiveInterface() const {
  abi::IPCB_Primitive* out = nullptr;
  ObjectInterfaceOf(FHandle, abi::IID_IPCB_Primitive, reinterpret_cast<void**>(&out));
  return abi::Ref<abi::IPCB_Primitive>(out);
}

// --- Per-kind transfers ------------------------------------------------------------

int32_t TPcbTrack::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryTrack(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef, &FAuxByte,
                           &FComponentHandle, &FX, &FY, &FX2, &FY2, &FWidth, &FOwnerHandle1,
                           &FOwnerHandle2, &FOwnerHandle3);
}

void TPcbTrack::MoveBy(int32_t dx, int32_t dy) {
  TPCBObject::MoveBy(dx, dy);
  FX2 += dx;
  FY2 += dy;
}

int32_t TPcbArc::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryArc(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef, &FAuxByte,
                         &FComponentHandle, &FX, &FY, &FRadius, &FStartAngle, &FEndAngle,
                         &FLineWidth, &FOwnerHandle1);
}

int32_t TPcbFill::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryFill(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef, &FAuxByte,
                          &FComponentHandle, &FX, &FY, &FX2, &FY2, &FOwnerHandle1, &FRotation);
}

void TPcbFill::MoveBy(int32_t dx, int32_t dy) {
  TPCBObject::MoveBy(dx, dy);
  FX2 += dx;
  FY2 += dy;
}

int32_t TPcbVia::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  // The host exchanges the via's layer in the older scheme: a layer beyond
  // the fixed 83 comes back clamped.
  uint8_t layer = V7ToLayer(FLayer);
  const int32_t status = PcbApi_QueryVia(mode, FHandle, &FFlags, &FAuxWord, &layer, &FAuxRef,
                                         &FAuxByte, &FComponentHandle, &FX, &FY, &FSize, &FHoleSize,
                                         &FViaByte1, &FViaByte2, &FPadViaFlag1, &FPadViaFlag2);
  FLayer = LayerToV7(layer);
  return status;
}

int32_t TPcbVia::SizeOnLayer(TLayer l) const {
  int32_t x = 0, y = 0;
  PcbApi_QueryPadOrViaSizeOnLayer(FHandle, l, &x, &y);
  return x;
}

uint8_t TPcbVia::ShapeOnLayer(TLayer l) const {
  uint8_t shape = 0;
  PcbApi_QueryPadOrViaShapeOnLayer(FHandle, l, &shape);
  return shape;
}

int32_t TPCBRegion::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryRegion(mode, FHandle, &FKindByte, &FFlags, &FAuxWord, &FLayer, &FAuxRef,
                            &FAuxByte, &FComponentHandle, &FPair[1], &FPair[0], &FValues[0],
                            &FValues[1], &FValues[2], &FValues[3]);
}

int32_t TPcbText::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  {
    TStrExchange text(FText);
    PcbApi_QueryText(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef, &FAuxByte,
                     &FComponentHandle, &FX, &FY, &FSize, &FTextAttr, &FRotation, &FMirrored, text,
                     &FWidth, &FOwnerHandle2, &FOwnerHandle3);
  }
  int32_t status;
  {
    TStrExchange font(FFontName);
    status = PcbApi_QueryTrueTypeTextInfo(mode, FHandle, &FFontKind, font, &FTrueTypeBytes[0],
                                          &FTrueTypeBytes[1], &FTrueTypeBytes[2], &FTrueTypeValue);
  }
  unsigned char display[256] = {};
  PcbApi_GetDesignatorDisplayString(FHandle, display);
  FDisplayText.FromHost(display);
  if (PcbApi_QueryBarCodeTextInfo(mode, FHandle, &FBarCodeKind, &FBarCodeBytes[0],
                                  &FBarCodeBytes[1], &FBarCodeBytes[2]) == 1)
    status = 1;
  return status;
}

int32_t TPcbComponent::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  PcbApi_QueryComponentChannelOffset(mode, FHandle, &FChannelOffset);
  PcbApi_QueryComponentKind(mode, FHandle, &FComponentKind);
  uint8_t layer = V7ToLayer(FLayer);
  int32_t status;
  {
    TStrExchange pattern(FPattern);
    status = PcbApi_QueryComponent(
        mode, FHandle, &FFlags, &FAuxWord, &layer, &FAuxByte, &FDesignatorHandle, &FCommentHandle,
        pattern, &FDesignatorVisible, &FCommentVisible, &FX, &FY, &FValue, &FRotation, &FByte);
  }
  FLayer = LayerToV7(layer);
  PcbApi_QueryComponentEx(mode, FHandle, &FExValue1, &FExByte1, &FExByte2, &FExValue2);
  {
    TStrExchange l1(FSourceLinks[0]), l2(FSourceLinks[1]), l3(FSourceLinks[2]), l4(FSourceLinks[3]),
        l5(FSourceLinks[4]), l6(FSourceLinks[5]), l7(FSourceLinks[6]), l8(FSourceLinks[7]);
    PcbApi_QueryComponentSourceLinks(mode, FHandle, l1, l2, l3, l4, l5, l6, l7, l8);
  }
  {
    TStrExchange model(FDefault3DModel);
    PcbApi_QueryDefaultPCB3DModel(mode, FHandle, model);
  }
  return status;
}

std::string TPcbComponent::Name() const {
  return TextOfHandle(FDesignatorHandle);
}

void TPcbComponent::IterateChildren(TObjectProc callback, TPcbObjectKindSet kinds,
                                    const abi::TLegacyLayerSet& layers) const {
  IterateHostObjects(FHandle, CallPlainProc, &callback, kinds, layers, 0);
}

void TPcbComponent::IterateChildren(TObjectProcEx callback, void* context, TPcbObjectKindSet kinds,
                                    const abi::TLegacyLayerSet& layers) const {
  IterateHostObjects(FHandle, callback, context, kinds, layers, 0);
}

TPcbPolygon::TPcbPolygon(uint32_t handle)
    : TPcbGroupObject(handle),
      FSegments(new abi::TPcbApiPolySegment[abi::kPcbApiMaxPolySegments]()) {
  FObjectKind = pokPolygon;
}

int32_t TPcbPolygon::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  const int32_t status = PcbApi_QueryPolygon(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef,
                                             &FAuxByte, &FBytes1[0], &FBytes1[1], &FBytes1[2],
                                             &FValues1[0], &FValues1[1], &FBytes2[0], &FBytes2[1],
                                             &FValue2, &FByte3, &FSegmentCount, FSegments.get());
  FSegmentCount = ClampCount(FSegmentCount, abi::kPcbApiMaxPolySegments);
  return status;
}

TPcbSplitPlane::TPcbSplitPlane(uint32_t handle)
    : TPcbGroupObject(handle),
      FSegments(new abi::TPcbApiPolySegment[abi::kPcbApiMaxPolySegments]()) {
  FObjectKind = pokSplitPlane;
}

int32_t TPcbSplitPlane::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  const int32_t status =
      PcbApi_QuerySplitPlane(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef, &FAuxByte,
                             &FByte, &FSegmentCount, FSegments.get());
  FSegmentCount = ClampCount(FSegmentCount, abi::kPcbApiMaxPolySegments);
  return status;
}

int32_t TPcbNet::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  TStrExchange name(FName);
  return PcbApi_QueryNet(mode, FHandle, &FAuxWord, name, &FByte, &FValue);
}

int32_t TPcbCoordinate::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryCoordinate(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef, &FAuxByte,
                                &FValues[0], &FValues[1], &FValues[2], &FValues[3], &FValues[4],
                                &FValues[5]);
}

int32_t TPcbDimension::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  const int32_t first = PcbApi_QueryDimension(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef,
                                              &FAuxByte, &FBlock);
  PcbApi_References_Count(mode, FHandle, &FReferenceCount);
  FReferenceCount = ClampCount(FReferenceCount, abi::kPcbApiMaxDimensionReferences);
  for (int32_t i = 0; i < FReferenceCount; ++i) {
    TReference& r = FReferences[i];
    PcbApi_References_At(mode, FHandle, i, &r.Values[0], &r.Values[1], &r.Values[2], &r.Values[3]);
  }
  const int32_t last = PcbApi_QueryExtDimension(mode, FHandle, &FExtBlock);
  return first & last;
}

int32_t TPcbFromTo::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryFromTo(mode, FHandle, &FAuxWord, &FX, &FY, &FByte1, &FX2, &FY2, &FByte2,
                            &FAuxRef);
}

int32_t TPcbManualFromTo::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  TStrExchange s1(FStrings[0]), s2(FStrings[1]), s3(FStrings[2]);
  return PcbApi_QueryManualFromTo(mode, FHandle, &FAuxWord, s1, s2, s3, &FValue);
}

int32_t TPCBObjectClass::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  {
    TStrExchange name(FName);
    PcbApi_QueryClass(mode, FHandle, &FAuxWord, name, &FByte1, &FByte2);
  }
  int32_t status = 0;
  if (mode == 1) {
    // Members are appended, not replaced: a class read twice lists them twice.
    // Any answer other than 0 ends the list, so a host that reports an error
    // past the last member cannot keep this loop going.
    for (int32_t i = 0;; ++i) {
      unsigned char name[256] = {};
      status = PcbApi_GetMemberFromClassAt(FHandle, i, name);
      if (status != 0) break;
      FMembers.push_back(abi::FromShortString(name));
    }
  } else if (mode == 0 || mode == 2) {
    status = PcbApi_RemoveAllMembersFromClass(FHandle);
    for (const std::string& member : FMembers) {
      abi::ShortString name;
      abi::SetShortString(name, member);
      status = PcbApi_AddMemberToClass(FHandle, name);
    }
  }
  return status;
}

int32_t TPcbRule::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryRule(mode, FHandle, &FAuxWord, &FBlock);
}

int32_t TPcbViolation::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  return PcbApi_QueryViolation(mode, FHandle, &FAuxWord, &FBlock);
}

TPcbEmbedded::TPcbEmbedded(uint32_t handle)
    : TPCBObject(handle), FData(new uint8_t[abi::kPcbApiEmbeddedDataSize]()) {
  FObjectKind = pokEmbedded;
}

int32_t TPcbEmbedded::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  TStrExchange name(FName);
  return PcbApi_QueryEmbedded(mode, FHandle, &FAuxWord, name, FData.get());
}

int32_t TPcbEmbeddedBoard::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  TStrExchange document(FDocument);
  return PcbApi_QueryEmbeddedBoard(mode, FHandle, &FFlags, &FAuxWord, &FAuxByte, &FX, &FY, document,
                                   &FValues[0], &FValues[1], &FValues[2], &FValues[3], &FReal,
                                   &FMirrored, &FByte);
}

// --- Factory -------------------------------------------------------------------------

std::unique_ptr<TPCBObject> NewWrapperOfKind(uint8_t kind, uint32_t handle) {
  switch (kind) {
    case pokArc:
      return std::make_unique<TPcbArc>(handle);
    case pokPad:
      return std::make_unique<TPcbPad>(handle);
    case pokVia:
      return std::make_unique<TPcbVia>(handle);
    case pokTrack:
      return std::make_unique<TPcbTrack>(handle);
    case pokText:
      return std::make_unique<TPcbText>(handle);
    case pokFill:
      return std::make_unique<TPcbFill>(handle);
    case pokFromTo:
      return std::make_unique<TPcbFromTo>(handle);
    case pokNet:
      return std::make_unique<TPcbNet>(handle);
    case pokComponent:
      return std::make_unique<TPcbComponent>(handle);
    case pokPolygon:
      return std::make_unique<TPcbPolygon>(handle);
    case pokRegion:
      return std::make_unique<TPCBRegion>(handle);
    case pokComponentBody:
      return std::make_unique<TPcbComponentBody>(handle);
    case pokDimension:
      return std::make_unique<TPcbDimension>(handle);
    case pokCoordinate:
      return std::make_unique<TPcbCoordinate>(handle);
    case pokClass:
      return std::make_unique<TPCBObjectClass>(handle);
    case pokRule:
      return std::make_unique<TPcbRule>(handle);
    case pokManualFromTo:
      return std::make_unique<TPcbManualFromTo>(handle);
    case pokDifferentialPair:
      return std::make_unique<TPcbDifferentialPair>(handle);
    case pokViolation:
      return std::make_unique<TPcbViolation>(handle);
    case pokEmbedded:
      return std::make_unique<TPcbEmbedded>(handle);
    case pokEmbeddedBoard:
      return std::make_unique<TPcbEmbeddedBoard>(handle);
    case pokSplitPlane:
      return std::make_unique<TPcbSplitPlane>(handle);
    case pokBoardOutline:
      return std::make_unique<TPcbBoardOutline>(handle);
    default:
      return nullptr;
  }
}

std::unique_ptr<TPCBObject> CreateWrapperForHandle(uint32_t handle) {
  const uint8_t kind = PcbApi_GetObjectIdFromObjectHandle(handle) & 0x7F;
  std::unique_ptr<TPCBObject> wrapper = NewWrapperOfKind(kind, handle);
  if (wrapper) wrapper->Transfer(1);
  return wrapper;
}

std::string TextOfHandle(uint32_t handle) {
  if (handle == 0) return {};
  const std::unique_ptr<TPCBObject> wrapper = CreateWrapperForHandle(handle);
  return wrapper ? wrapper->Text() : std::string();
}

}  // namespace quennet
