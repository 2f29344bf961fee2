// The wrapper of a host pad: its three-level sizes and shapes, and per layer
// the shape, sizes and corner rounding the pad converters draw from.
#pragma once

#include "quennet/pcbmodel/objects.h"

namespace quennet {

class TPcbPad : public TPCBObject {
 public:
  explicit TPcbPad(uint32_t handle = 0) : TPCBObject(handle) { FObjectKind = pokPad; }

  int32_t Transfer(uint8_t mode) override;
  int32_t HoleSize() const override { return FHoleSize; }
  std::string Name() const override { return FName.Str(); }
  double Rotation() const override { return FRotation; }
  // Per-layer values by TLayer; a number above 82 has none.
  int32_t XSizeOnLayer(TLayer l) const override { return l < kLayerCount ? FXSizeOnLayer[l] : 0; }
  int32_t YSizeOnLayer(TLayer l) const override { return l < kLayerCount ? FYSizeOnLayer[l] : 0; }
  uint8_t ShapeOnLayer(TLayer l) const override { return l < kLayerCount ? FShapeOnLayer[l] : 0; }
  // The smaller of the two sizes.
  int32_t WidthOnLayer(TLayer l) const override;
  int32_t ExtentCorner1XOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 1, false);
  }
  int32_t ExtentCorner1YOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 1, true);
  }
  int32_t ExtentCorner2XOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 2, false);
  }
  int32_t ExtentCorner2YOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 2, true);
  }
  int32_t ExtentCorner3XOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 3, false);
  }
  int32_t ExtentCorner3YOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 3, true);
  }
  int32_t ExtentCorner4XOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 4, false);
  }
  int32_t ExtentCorner4YOnLayer(TLayer l, int32_t e) const override {
    return LayerCorner(l, e, 4, true);
  }
  // The two ends of the pad's centre line on a layer: the centres of the end
  // circles of an obround, both at (X, Y) for a square or round pad.
  int32_t XOnLayer(TLayer l) const override { return CentreLine(l, 0); }
  int32_t YOnLayer(TLayer l) const override { return CentreLine(l, 1); }
  int32_t X2OnLayer(TLayer l) const override { return CentreLine(l, 2); }
  int32_t Y2OnLayer(TLayer l) const override { return CentreLine(l, 3); }
  void SetRotation(double v) override { FRotation = v; }

  virtual int32_t CornerRadiusOnLayer(TLayer l) const {
    return l < kLayerCount ? FCornerRadiusOnLayer[l] : 0;
  }

  // One value of the pad's dominant power-plane connect rule, asked of the
  // host anew each time; 0 when the pad has no such rule.
  int32_t ReliefExpansion() const;
  int32_t ReliefConductorWidth() const;
  int32_t ReliefEntries() const;  // 2 or 4
  int32_t ReliefAirGap() const;

  // The host's pad interface; empty without a PCB server. A refused request
  // raises EPcbHostError.
  abi::Ref<abi::IPCB_Pad> GetPadInterface() const;

  uint8_t StackMode() const { return FStackMode; }

  int32_t FTopXSize = 0, FTopYSize = 0, FMidXSize = 0, FMidYSize = 0, FBotXSize = 0, FBotYSize = 0,
          FHoleSize = 0;
  TPadShape FTopShape = 0, FMidShape = 0, FBotShape = 0;
  uint8_t FTopCRPercent = 0, FMidCRPercent = 0, FBotCRPercent = 0;
  TShortStr<20> FName;
  uint8_t FByte1 = 0;
  double FRotation = 0;
  uint8_t FByte2 = 0;
  TShortStr<20> FString1, FString2;
  uint32_t FValue1 = 0;
  TShortStr<20> FString3;
  int32_t FXSizeOnLayer[kLayerCount] = {};
  int32_t FYSizeOnLayer[kLayerCount] = {};
  TPadShape FShapeOnLayer[kLayerCount] = {};
  int32_t FCornerRadiusOnLayer[kLayerCount] = {};
  uint8_t FCRPercentOnLayer[kLayerCount] = {};
  uint8_t FStackMode = 0;
  uint8_t FByte3 = 0, FByte4 = 0;
  uint32_t FTail1 = 0;
  int64_t FTail8 = 0;
  uint32_t FTail2 = 0, FTail3 = 0, FTailLast = 0;
  uint8_t FPadViaFlag1 = 0, FPadViaFlag2 = 0;

 private:
  int32_t LayerCorner(TLayer l, int32_t margin, int corner, bool wantY) const;
  int32_t CentreLine(TLayer l, int which) const;
  int32_t ReliefValue(int which) const;
};

}  // namespace quennet
