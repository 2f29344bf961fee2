// Wrappers of the host's board objects: short-lived copies of one object each,
// filled from the host with one Transfer(1), read, and freed within one call.
//
// A wrapper keeps the host's values in the host's units (PCB coordinates,
// degrees as double, TV7_Layer layers). Writing back (Transfer with mode 0)
// exists for every class; a few flag setters write immediately. No wrapper
// raises on a host status: a function the host lacks leaves the fields at
// their creation values.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "abi/layerset.h"
#include "abi/pcbapi.h"
#include "layers/layers.h"

namespace quennet {

// Object kinds and pad shapes as the host numbers them (abi/pcbapi.h).
using abi::TPcbObjectKind;
using enum abi::TPcbObjectKind;
using abi::TPadShape;
using enum abi::TPadShapeValue;

// Bit k stands for kind k.
using TPcbObjectKindSet = uint32_t;
constexpr TPcbObjectKindSet KindBit(uint8_t kind) {
  return kind < 32 ? 1u << kind : 0u;
}

// A length-prefixed string of at most N characters kept inside its object, so
// that filling a wrapper never allocates.
template <int N>
struct TShortStr {
  static_assert(N >= 1 && N <= 255);
  uint8_t Len = 0;
  char Data[N] = {};

  TShortStr() = default;
  TShortStr(std::string_view s) { Assign(s); }  // cut to N
  void Assign(std::string_view s) {
    Len = static_cast<uint8_t>(s.size() < size_t(N) ? s.size() : size_t(N));
    if (Len) std::memcpy(Data, s.data(), Len);
  }
  std::string_view View() const { return {Data, Len}; }
  std::string Str() const { return std::string(View()); }
  bool Empty() const { return Len == 0; }
  // The host exchanges strings through 256-byte buffers, whatever the length
  // the receiver keeps: what comes back is cut to N here.
  void ToHost(unsigned char* buffer) const {
    buffer[0] = Len;
    if (Len) std::memcpy(buffer + 1, Data, Len);
  }
  void FromHost(const unsigned char* buffer) {
    Assign(std::string_view(reinterpret_cast<const char*>(buffer + 1), buffer[0]));
  }
};

// Lends a field to one host call: the call sees a full 256-byte buffer holding
// the field's value, and the field takes back what the host left there.
template <int N>
class TStrExchange {
 public:
  explicit TStrExchange(TShortStr<N>& field) : field_(field) { field.ToHost(buffer_); }
  ~TStrExchange() { field_.FromHost(buffer_); }
  TStrExchange(const TStrExchange&) = delete;
  TStrExchange& operator=(const TStrExchange&) = delete;
  operator unsigned char*() { return buffer_; }

 private:
  unsigned char buffer_[256];
  TShortStr<N>& field_;
};

// Callback of the object iterations: one host object handle, valid for the
// call only.
using TObjectProc = void (*)(uint32_t handle);
// The same with a context argument, for callers that need state.
using TObjectProcEx = void (*)(void* context, uint32_t handle);

// Walks the objects of a board or component: for each kind 0..25 in kinds
// (ascending) and each TLayer 0..82 in layers (ascending), one host iterator
// with the given method; the callback sees the host's order within each.
void IterateHostObjects(uint32_t owner, TObjectProcEx callback, void* context,
                        TPcbObjectKindSet kinds, const abi::TLegacyLayerSet& layers,
                        uint8_t method);

// A rectangle turned about its centre, for the rotated extent corners.
struct TExtentFrame {
  double Cx, Cy;  // centre
  double W, H;    // size including twice the margin
  double R;       // half diagonal
  double P;       // arctan(W / H), radians
  double Tr;      // rotation, radians
  double Q;       // radians(90 - rotation)
};
// Corner n (1..4) of the frame, x when wantY is false; rounded half to even.
// flatWhenNoHeight: a frame of height 0 gives the ends of its centre line.
int32_t ExtentCorner(const TExtentFrame& f, int corner, bool wantY, bool flatWhenNoHeight);

// Rounds to the nearest integer, halves to even, as every wrapper computation.
int32_t RoundHalfEven(double v);

// --------------------------------------------------------------------------
// The base of every wrapper. Virtual operations in the host model's slot
// order; "base" behaviour answers 0, false or empty where a kind has no such
// value.
class TPCBObject {
 public:
  explicit TPCBObject(uint32_t handle = 0) : FHandle(handle) {}
  virtual ~TPCBObject() = default;
  TPCBObject(const TPCBObject&) = delete;
  TPCBObject& operator=(const TPCBObject&) = delete;

  virtual int32_t Transfer(uint8_t mode);
  // The host's bounding rectangle; the corners may come in either order.
  virtual int32_t GetBoundingRect(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2);
  virtual void MoveBy(int32_t dx, int32_t dy);
  virtual bool Selected() const { return (FFlags >> 4) & 1; }
  virtual bool InComponent() const { return (FBitField2 >> 3) & 1; }
  virtual void SetSelected(bool v) { SetFlagBit(4, v); }
  virtual bool GetFlagsBit8Clear() const { return !((FFlags >> 8) & 1); }
  virtual void SetFlagsBit8Clear(bool v);
  virtual bool GetBitField3Any() const { return (FBitField3 & 0x06) != 0; }
  virtual void SetBitField3Both(bool v) {
    FBitField3 = static_cast<uint8_t>(v ? FBitField3 | 0x06 : FBitField3 & ~0x06);
  }
  virtual bool GetBitField3Bit1() const { return (FBitField3 >> 1) & 1; }
  virtual void SetBitField3Bit1(bool v) { SetBit3(1, v); }
  virtual bool GetBitField3Bit2() const { return (FBitField3 >> 2) & 1; }

  virtual uint32_t Handle() const { return FHandle; }
  virtual uint8_t ObjectKind() const { return FObjectKind; }
  virtual int32_t X() const { return FX; }
  virtual int32_t Y() const { return FY; }
  virtual int32_t X2() const { return FX; }
  virtual int32_t Y2() const { return FY; }
  virtual uint16_t Flags() const { return FFlags; }
  virtual TLayer LegacyLayer() const { return V7ToLayer(FLayer); }
  virtual uint8_t AuxByte() const { return FAuxByte; }
  virtual uint32_t ComponentHandle() const { return FComponentHandle; }
  virtual int32_t OwnerHandle1() const { return 0; }
  virtual int32_t OwnerHandle2() const { return 0; }
  virtual int32_t OwnerHandle3() const { return 0; }
  virtual int32_t HoleSize() const { return 0; }
  virtual std::string Name() const { return {}; }
  virtual double Rotation() const { return 0.0; }
  virtual int32_t Width() const { return 0; }
  virtual uint8_t Shape() const { return 0; }
  virtual int32_t Size() const { return 0; }
  virtual int32_t XSize() const { return Size(); }
  virtual int32_t YSize() const { return Size(); }
  virtual int32_t Radius() const { return 0; }
  virtual double StartAngle() const { return 0.0; }
  virtual double EndAngle() const { return 0.0; }
  virtual int32_t LineWidth() const { return 0; }
  virtual int32_t TextAttr() const { return 0; }
  virtual bool Mirrored() const { return false; }
  virtual std::string Text() const { return {}; }
  virtual int32_t ExtentCorner1X(int32_t margin) const { return Corner(margin, 1, false); }
  virtual int32_t ExtentCorner1Y(int32_t margin) const { return Corner(margin, 1, true); }
  virtual int32_t ExtentCorner2X(int32_t margin) const { return Corner(margin, 2, false); }
  virtual int32_t ExtentCorner2Y(int32_t margin) const { return Corner(margin, 2, true); }
  virtual int32_t ExtentCorner3X(int32_t margin) const { return Corner(margin, 3, false); }
  virtual int32_t ExtentCorner3Y(int32_t margin) const { return Corner(margin, 3, true); }
  virtual int32_t ExtentCorner4X(int32_t margin) const { return Corner(margin, 4, false); }
  virtual int32_t ExtentCorner4Y(int32_t margin) const { return Corner(margin, 4, true); }
  virtual int32_t SizeOnLayer(TLayer l) const { return OnLayer(l) ? Size() : 0; }
  virtual int32_t XSizeOnLayer(TLayer l) const { return OnLayer(l) ? XSize() : 0; }
  virtual int32_t YSizeOnLayer(TLayer l) const { return OnLayer(l) ? YSize() : 0; }
  virtual uint8_t ShapeOnLayer(TLayer l) const { return OnLayer(l) ? Shape() : 0; }
  virtual int32_t WidthOnLayer(TLayer l) const { return OnLayer(l) ? Width() : 0; }
  virtual int32_t ExtentCorner1XOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner1X(e) : 0;
  }
  virtual int32_t ExtentCorner1YOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner1Y(e) : 0;
  }
  virtual int32_t ExtentCorner2XOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner2X(e) : 0;
  }
  virtual int32_t ExtentCorner2YOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner2Y(e) : 0;
  }
  virtual int32_t ExtentCorner3XOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner3X(e) : 0;
  }
  virtual int32_t ExtentCorner3YOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner3Y(e) : 0;
  }
  virtual int32_t ExtentCorner4XOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner4X(e) : 0;
  }
  virtual int32_t ExtentCorner4YOnLayer(TLayer l, int32_t e) const {
    return OnLayer(l) ? ExtentCorner4Y(e) : 0;
  }
  virtual int32_t XOnLayer(TLayer l) const { return OnLayer(l) ? X() : 0; }
  virtual int32_t YOnLayer(TLayer l) const { return OnLayer(l) ? Y() : 0; }
  virtual int32_t X2OnLayer(TLayer l) const { return OnLayer(l) ? X2() : 0; }
  virtual int32_t Y2OnLayer(TLayer l) const { return OnLayer(l) ? Y2() : 0; }

  virtual void SetX(int32_t v) { FX = v; }
  virtual void SetY(int32_t v) { FY = v; }
  virtual void SetX2(int32_t) {}
  virtual void SetY2(int32_t) {}
  virtual void SetFlags(uint16_t v) { FFlags = v; }
  virtual void SetLegacyLayer(TLayer l) { FLayer = LayerToV7(l); }
  virtual void SetRotation(double) {}
  virtual void SetWidth(int32_t) {}
  virtual void SetLineWidth(int32_t) {}

  // Not virtual: the object's layer in the newer scheme, and the flag byte.
  TV7_Layer Layer() const { return FLayer; }
  void SetLayer(TV7_Layer v) { FLayer = v; }
  uint8_t BitField2() const { return FBitField2; }
  uint8_t BitField3() const { return FBitField3; }

  // The host's IPCB_Primitive interface of this object; empty without a PCB
  // server. A refused request raises EPcbHostError.
  abi::Ref<abi::IPCB_Primitive> GetPrimitiveInterface() const;

  // Fields, in the host model's order.
  uint32_t FHandle = 0;
  uint8_t FObjectKind = pokNone;
  int32_t FX = 0;
  int32_t FY = 0;
  uint16_t FFlags = 0;
  uint8_t FBitField2 = 0;
  uint8_t FBitField3 = 0;
  uint16_t FAuxWord = 0;
  uint8_t FAuxByte = 0;
  uint32_t FAuxRef = 0;
  uint32_t FComponentHandle = 0;
  TV7_Layer FLayer = 0;

 protected:
  // The two flag bytes every Transfer exchanges first.
  void TransferBitFields(uint8_t mode);
  bool OnLayer(TLayer l) const { return LayerToV7(l) == FLayer; }
  int32_t Corner(int32_t margin, int corner, bool wantY) const;

 private:
  void SetFlagBit(int bit, bool v) {
    FFlags = static_cast<uint16_t>(v ? FFlags | (1u << bit) : FFlags & ~(1u << bit));
  }
  void SetBit3(int bit, bool v) {
    FBitField3 = static_cast<uint8_t>(v ? FBitField3 | (1u << bit) : FBitField3 & ~(1u << bit));
  }
};

// --------------------------------------------------------------------------

class TPcbTrack : public TPCBObject {
 public:
  explicit TPcbTrack(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokTrack; }
  int32_t Transfer(uint8_t mode) override;
  void MoveBy(int32_t dx, int32_t dy) override;
  int32_t X2() const override { return FX2; }
  int32_t Y2() const override { return FY2; }
  int32_t OwnerHandle1() const override { return FOwnerHandle1; }
  int32_t OwnerHandle2() const override { return FOwnerHandle2; }
  int32_t OwnerHandle3() const override { return FOwnerHandle3; }
  int32_t Width() const override { return FWidth; }
  void SetX2(int32_t v) override { FX2 = v; }
  void SetY2(int32_t v) override { FY2 = v; }
  void SetWidth(int32_t v) override { FWidth = v; }

  int32_t FX2 = 0, FY2 = 0, FWidth = 0;
  int32_t FOwnerHandle1 = 0, FOwnerHandle2 = 0, FOwnerHandle3 = 0;
};

class TPcbArc : public TPCBObject {
 public:
  explicit TPcbArc(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokArc; }
  int32_t Transfer(uint8_t mode) override;
  int32_t OwnerHandle1() const override { return FOwnerHandle1; }
  int32_t Radius() const override { return FRadius; }
  double StartAngle() const override { return FStartAngle; }
  double EndAngle() const override { return FEndAngle; }
  int32_t LineWidth() const override { return FLineWidth; }
  void SetLineWidth(int32_t v) override { FLineWidth = v; }

  int32_t FRadius = 0;
  double FStartAngle = 0, FEndAngle = 0;
  int32_t FLineWidth = 0;
  int32_t FOwnerHandle1 = 0;
};

class TPcbFill : public TPCBObject {
 public:
  explicit TPcbFill(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokFill; }
  int32_t Transfer(uint8_t mode) override;
  void MoveBy(int32_t dx, int32_t dy) override;
  int32_t X2() const override { return FX2; }
  int32_t Y2() const override { return FY2; }
  int32_t OwnerHandle1() const override { return FOwnerHandle1; }
  double Rotation() const override { return FRotation; }
  void SetX2(int32_t v) override { FX2 = v; }
  void SetY2(int32_t v) override { FY2 = v; }
  void SetRotation(double v) override { FRotation = v; }

  int32_t FX2 = 0, FY2 = 0;
  int32_t FOwnerHandle1 = 0;
  double FRotation = 0;
};

class TPcbVia : public TPCBObject {
 public:
  explicit TPcbVia(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokVia; }
  int32_t Transfer(uint8_t mode) override;
  int32_t HoleSize() const override { return FHoleSize; }
  int32_t Size() const override { return FSize; }
  // Asked of the host for the layer.
  int32_t SizeOnLayer(TLayer l) const override;
  uint8_t ShapeOnLayer(TLayer l) const override;

  int32_t FSize = 0, FHoleSize = 0;
  uint8_t FViaByte1 = 0, FViaByte2 = 0, FPadViaFlag1 = 0, FPadViaFlag2 = 0;
};

class TPCBRegion : public TPCBObject {
 public:
  explicit TPCBRegion(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokRegion; }
  int32_t Transfer(uint8_t mode) override;

  // The host's own values, not interpreted here.
  int32_t FValues[4] = {};
  uint8_t FKindByte = 0;
  int32_t FPair[2] = {};
};

class TPcbText : public TPCBObject {
 public:
  explicit TPcbText(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokText; }
  int32_t Transfer(uint8_t mode) override;
  int32_t OwnerHandle2() const override { return FOwnerHandle2; }
  int32_t OwnerHandle3() const override { return FOwnerHandle3; }
  double Rotation() const override { return FRotation; }
  int32_t Width() const override { return FWidth; }
  int32_t Size() const override { return FSize; }
  int32_t LineWidth() const override { return FWidth; }
  int32_t TextAttr() const override { return FTextAttr; }
  bool Mirrored() const override { return FMirrored != 0; }
  std::string Text() const override { return FText.Str(); }
  void SetRotation(double v) override { FRotation = v; }
  // Only tracks take a Width; a text's stroke width is set as its LineWidth.
  void SetLineWidth(int32_t v) override { FWidth = v; }

  std::string_view TextView() const { return FText.View(); }
  std::string DisplayText() const { return FDisplayText.Str(); }
  std::string FontName() const { return FFontName.Str(); }

  int32_t FSize = 0, FTextAttr = 0;
  double FRotation = 0;
  uint8_t FMirrored = 0;
  TShortStr<254> FText;
  int32_t FWidth = 0, FOwnerHandle2 = 0, FOwnerHandle3 = 0;
  TShortStr<254> FDisplayText;
  uint8_t FFontKind = 0;
  TShortStr<255> FFontName{"Arial"};
  uint8_t FTrueTypeBytes[3] = {};
  int32_t FTrueTypeValue = 200000;  // 20 mil
  uint8_t FBarCodeKind = 0;
  uint8_t FBarCodeBytes[3] = {};
};

// Adds nothing; the base of the objects that group others.
class TPcbGroupObject : public TPCBObject {
 public:
  using TPCBObject::TPCBObject;
};

class TPcbComponent : public TPcbGroupObject {
 public:
  explicit TPcbComponent(uint32_t handle = 0) : TPcbGroupObject(handle) {
    FObjectKind = pokComponent;
  }
  int32_t Transfer(uint8_t mode) override;
  // The designator text.
  std::string Name() const override;
  double Rotation() const override { return FRotation; }

  // The objects inside the component, as the board's IterateObjects with the
  // component in place of the board and the iterator method 0.
  void IterateChildren(TObjectProc callback, TPcbObjectKindSet kinds,
                       const abi::TLegacyLayerSet& layers) const;
  void IterateChildren(TObjectProcEx callback, void* context, TPcbObjectKindSet kinds,
                       const abi::TLegacyLayerSet& layers) const;

  uint32_t DesignatorHandle() const { return FDesignatorHandle; }
  uint32_t CommentHandle() const { return FCommentHandle; }
  std::string Pattern() const { return FPattern.Str(); }
  std::string_view PatternView() const { return FPattern.View(); }
  bool DesignatorVisible() const { return FDesignatorVisible != 0; }
  bool CommentVisible() const { return FCommentVisible != 0; }

  int32_t FChannelOffset = 0, FComponentKind = 0;
  uint32_t FDesignatorHandle = 0, FCommentHandle = 0;
  TShortStr<250> FPattern;
  uint8_t FDesignatorVisible = 0, FCommentVisible = 0;
  int32_t FValue = 0;
  double FRotation = 0;
  uint8_t FByte = 0;
  int32_t FExValue1 = 0;
  uint8_t FExByte1 = 0, FExByte2 = 0;
  int32_t FExValue2 = 0;
  TShortStr<255> FSourceLinks[8];
  TShortStr<255> FDefault3DModel;
};

class TPcbPolygon : public TPcbGroupObject {
 public:
  explicit TPcbPolygon(uint32_t handle = 0);
  int32_t Transfer(uint8_t mode) override;

  uint8_t FBytes1[3] = {};
  int32_t FValues1[2] = {};
  uint8_t FBytes2[2] = {};
  int32_t FValue2 = 0;
  uint8_t FByte3 = 0;
  int32_t FSegmentCount = 0;
  std::unique_ptr<abi::TPcbApiPolySegment[]> FSegments;  // 5001 records
};

class TPcbBoardOutline : public TPcbPolygon {
 public:
  explicit TPcbBoardOutline(uint32_t handle = 0) : TPcbPolygon(handle) {
    FObjectKind = pokBoardOutline;
  }
};

class TPcbSplitPlane : public TPcbGroupObject {
 public:
  explicit TPcbSplitPlane(uint32_t handle = 0);
  int32_t Transfer(uint8_t mode) override;

  int32_t FSegmentCount = 0;
  std::unique_ptr<abi::TPcbApiPolySegment[]> FSegments;  // 5001 records
  uint8_t FByte = 0;
};

class TPcbNet : public TPcbGroupObject {
 public:
  explicit TPcbNet(uint32_t handle = 0) : TPcbGroupObject(handle) { FObjectKind = pokNet; }
  int32_t Transfer(uint8_t mode) override;
  std::string Name() const override { return FName.Str(); }

  TShortStr<255> FName;
  uint8_t FByte = 0;
  int32_t FValue = 0;
};

class TPcbCoordinate : public TPcbGroupObject {
 public:
  explicit TPcbCoordinate(uint32_t handle = 0) : TPcbGroupObject(handle) {
    FObjectKind = pokCoordinate;
  }
  int32_t Transfer(uint8_t mode) override;

  int32_t FValues[6] = {};
};

class TPcbDimension : public TPcbGroupObject {
 public:
  explicit TPcbDimension(uint32_t handle = 0) : TPcbGroupObject(handle) {
    FObjectKind = pokDimension;
  }
  int32_t Transfer(uint8_t mode) override;

  struct TReference {
    int32_t Values[4];
  };
  abi::TPcbApiDimension FBlock{};
  int32_t FReferenceCount = 0;
  TReference FReferences[abi::kPcbApiMaxDimensionReferences] = {};
  abi::TPcbApiExtDimension FExtBlock{};
};

class TPcbFromTo : public TPCBObject {
 public:
  explicit TPcbFromTo(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokFromTo; }
  int32_t Transfer(uint8_t mode) override;
  int32_t X2() const override { return FX2; }
  int32_t Y2() const override { return FY2; }
  void SetX2(int32_t v) override { FX2 = v; }
  void SetY2(int32_t v) override { FY2 = v; }

  int32_t FX2 = 0, FY2 = 0;
  uint8_t FByte1 = 0, FByte2 = 0;
};

// Its kind stays 0: the host model never gave it one.
class TPcbManualFromTo : public TPCBObject {
 public:
  using TPCBObject::TPCBObject;
  int32_t Transfer(uint8_t mode) override;

  TShortStr<255> FStrings[3];
  uint32_t FValue = 0;
};

class TPCBObjectClass : public TPCBObject {
 public:
  explicit TPCBObjectClass(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokClass; }
  // Name() stays the base one (empty): of the wrappers only pads, nets and
  // components answer a name. The class's own name is FName.
  int32_t Transfer(uint8_t mode) override;

  TShortStr<255> FName;
  uint8_t FByte1 = 0, FByte2 = 0;
  std::vector<std::string> FMembers;
};

class TPcbRule : public TPCBObject {
 public:
  explicit TPcbRule(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokRule; }
  int32_t Transfer(uint8_t mode) override;

  abi::TPcbApiRule FBlock{};
};

class TPcbViolation : public TPCBObject {
 public:
  explicit TPcbViolation(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokViolation; }
  int32_t Transfer(uint8_t mode) override;

  abi::TPcbApiViolation FBlock{};
};

class TPcbEmbedded : public TPCBObject {
 public:
  explicit TPcbEmbedded(uint32_t handle = 0);
  int32_t Transfer(uint8_t mode) override;

  TShortStr<255> FName;
  std::unique_ptr<uint8_t[]> FData;  // 4096 bytes
};

class TPcbEmbeddedBoard : public TPCBObject {
 public:
  explicit TPcbEmbeddedBoard(uint32_t handle = 0) : TPCBObject(handle) {
    FObjectKind = pokEmbeddedBoard;
    FLayer = eTopLayer;
  }
  int32_t Transfer(uint8_t mode) override;
  bool Mirrored() const override { return FMirrored != 0; }

  TShortStr<255> FDocument;
  int32_t FValues[4] = {};
  double FReal = 0;
  uint8_t FMirrored = 0, FByte = 0;
};

class TPcbComponentBody : public TPCBObject {
 public:
  explicit TPcbComponentBody(uint32_t handle = 0) : TPCBObject(handle) {
    FObjectKind = pokComponentBody;
  }
};

class TPcbDifferentialPair : public TPCBObject {
 public:
  explicit TPcbDifferentialPair(uint32_t handle = 0) : TPCBObject(handle) {
    FObjectKind = pokDifferentialPair;
  }
};

// --------------------------------------------------------------------------

// The wrapper class of a kind, created for the handle and not yet filled;
// nullptr for kinds that have none (0, 23..25, above 26).
std::unique_ptr<TPCBObject> NewWrapperOfKind(uint8_t kind, uint32_t handle);

// The wrapper of the host object behind a handle, filled with Transfer(1);
// nullptr when its kind has no wrapper class.
std::unique_ptr<TPCBObject> CreateWrapperForHandle(uint32_t handle);

// The Text of the object behind a handle; empty for 0 or a kind without text.
std::string TextOfHandle(uint32_t handle);

}  // namespace quennet
