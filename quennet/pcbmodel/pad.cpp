#include "quennet/pcbmodel/pad.h"

#include <cmath>
#include <numbers>

#include "quennet/pcbmodel/hostapi.h"

namespace quennet {

namespace {
constexpr uint8_t kPowerPlaneConnectRule = 6;
constexpr uint8_t kFullStack = 2;
}  // namespace

int32_t TPcbPad::Transfer(uint8_t mode) {
  TransferBitFields(mode);
  int32_t status;
  {
    unsigned char name[256], s1[256], s2[256], s3[256];
    FName.ToHost(name);
    FString1.ToHost(s1);
    FString2.ToHost(s2);
    FString3.ToHost(s3);
    status = PcbApi_QueryPad(mode, FHandle, &FFlags, &FAuxWord, &FLayer, &FAuxRef, &FAuxByte,
                             &FComponentHandle, &FX, &FY, &FTopXSize, &FTopYSize, &FMidXSize,
                             &FMidYSize, &FBotXSize, &FBotYSize, &FHoleSize, &FTopShape, &FMidShape,
                             &FBotShape, name, &FByte1, &FByte2, &FRotation, s1, s2, &FValue1, s3,
                             &FByte3, &FByte4, &FTail1, &FTail8, &FTail2, &FTail3, &FTailLast,
                             &FPadViaFlag1, &FPadViaFlag2);
    FName.FromHost(name);
    FString1.FromHost(s1);
    FString2.FromHost(s2);
    FString3.FromHost(s3);
  }
  if (status != 0) return status;
  PcbApi_QueryPadStackMode(mode, FHandle, &FStackMode);
  for (int i = kMinLayer; i <= kMaxLayer; ++i) {
    const TLayer l = static_cast<TLayer>(i);
    if (mode == 1) {
      PcbApi_QueryPadOrViaShapeOnLayer(FHandle, l, &FShapeOnLayer[i]);
      PcbApi_QueryPadOrViaSizeOnLayer(FHandle, l, &FXSizeOnLayer[i], &FYSizeOnLayer[i]);
      PcbApi_QueryPadCornerRadiusOnLayer(FHandle, l, &FCornerRadiusOnLayer[i]);
      PcbApi_QueryPadCRPercentageOnLayer(FHandle, l, &FCRPercentOnLayer[i]);
      // The mid value is that of the last mid layer.
      if (i == eTopLayer)
        FTopCRPercent = FCRPercentOnLayer[i];
      else if (i >= eMidLayer1 && i <= eMidLayer30)
        FMidCRPercent = FCRPercentOnLayer[i];
      else if (i == eBottomLayer)
        FBotCRPercent = FCRPercentOnLayer[i];
    } else if (FStackMode == kFullStack) {
      PcbApi_SetPadShapeOnLayer(FHandle, l, FShapeOnLayer[i]);
      PcbApi_SetPadSizeOnLayer(FHandle, l, FXSizeOnLayer[i], FYSizeOnLayer[i]);
      PcbApi_SetCRPctOnLayer(FHandle, l, FCRPercentOnLayer[i]);
    } else if (FShapeOnLayer[i] == psRoundedRectangle) {
      PcbApi_SetCRPctOnLayer(FHandle, eTopLayer, FTopCRPercent);
      PcbApi_SetCRPctOnLayer(FHandle, eBottomLayer, FBotCRPercent);
      PcbApi_SetCRPctOnLayer(FHandle, eMidLayer1, FMidCRPercent);
    }
  }
  return 0;
}

int32_t TPcbPad::WidthOnLayer(TLayer l) const {
  const int32_t x = XSizeOnLayer(l), y = YSizeOnLayer(l);
  return x < y ? x : y;
}

int32_t TPcbPad::LayerCorner(TLayer l, int32_t margin, int corner, bool wantY) const {
  const double t = Rotation();
  TExtentFrame f{};
  f.W = static_cast<double>(int64_t{XSizeOnLayer(l)} + 2 * int64_t{margin});
  f.H = static_cast<double>(int64_t{YSizeOnLayer(l)} + 2 * int64_t{margin});
  f.R = std::sqrt((f.W / 2) * (f.W / 2) + (f.H / 2) * (f.H / 2));
  f.Cx = FX;
  f.Cy = FY;
  f.P = f.H != 0 ? std::atan(f.W / f.H) : std::numbers::pi / 2;
  f.Tr = t * std::numbers::pi / 180;
  f.Q = (90 - t) * std::numbers::pi / 180;
  return ExtentCorner(f, corner, wantY, false);
}

int32_t TPcbPad::CentreLine(TLayer l, int which) const {
  const int32_t a = XSizeOnLayer(l) / 2, b = YSizeOnLayer(l) / 2;
  if (a == b) return (which & 1) ? FY : FX;
  const double t = Rotation();
  const double tr = t * std::numbers::pi / 180;
  const double q = (90 - t) * std::numbers::pi / 180;
  double dx, dy;
  if (b < a) {
    // Wider than high: the line runs along the pad's own X axis.
    const double d = static_cast<double>(int64_t{a} - b);
    dx = std::cos(tr) * d;
    dy = std::sin(tr) * d;
  } else {
    const double d = static_cast<double>(int64_t{b} - a);
    dx = std::cos(q) * d;
    dy = -std::sin(q) * d;
  }
  switch (which) {
    case 0:
      return RoundHalfEven(FX - dx);
    case 1:
      return RoundHalfEven(FY - dy);
    case 2:
      return RoundHalfEven(FX + dx);
    default:
      return RoundHalfEven(FY + dy);
  }
}

int32_t TPcbPad::ReliefValue(int which) const {
  const uint32_t rule = PcbApi_FindDominantRuleForObject(FHandle, kPowerPlaneConnectRule);
  if (rule == 0) return 0;
  uint8_t style = 0;
  int32_t values[4] = {};
  PcbApi_QueryRulePowerPlaneConnectStyleRule(1, rule, &style, &values[0], &values[1], &values[2],
                                             &values[3]);
  return values[which];
}

int32_t TPcbPad::ReliefExpansion() const {
  return ReliefValue(0);
}
int32_t TPcbPad::ReliefConductorWidth() const {
  return ReliefValue(1);
}
int32_t TPcbPad::ReliefEntries() const {
  return ReliefValue(2);
}
int32_t TPcbPad::ReliefAirGap() const {
  return ReliefValue(3);
}

abi::Ref<abi::IPCB_Pad> TPcbPad::GetPadInterface() const {
  abi::IPCB_Pad* out = nullptr;
  ObjectInterfaceOf(FHandle, abi::IID_IPCB_Pad, reinterpret_cast<void**>(&out));
  return abi::Ref<abi::IPCB_Pad>(out);
}

}  // namespace quennet
