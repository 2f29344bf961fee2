// The host's two layer schemes and the exact conversions between them.
//
// TLayer is the older one-byte scheme of 83 fixed layers (0..82). TV7_Layer is
// the newer 32-bit identifier: it holds every TLayer number unchanged and adds
// extended signal layers, internal planes and mechanical layers, three special
// layers and six layer classes. Short names become AutoCAD layer names, so
// they are part of the output format and must never change.
//
// Everything here is a pure function of its arguments. Construction failures
// raise ELayerException; internal inconsistencies raise EAssertionFailed with
// unit "RT_PCB".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quennet {

using TLayer = uint8_t;
using TV7_Layer = uint32_t;
using TLayerPartition = uint8_t;  // 0..26
using TLayerClass = TV7_Layer;    // one of the six class values below

// The unit named by the layer model's assertion failures.
inline constexpr const char* kLayerModelUnit = "RT_PCB";

// --- TLayer values ----------------------------------------------------------
inline constexpr TLayer eNoLayer = 0;
inline constexpr TLayer eTopLayer = 1;
inline constexpr TLayer eMidLayer1 = 2;
inline constexpr TLayer eMidLayer30 = 31;
inline constexpr TLayer eBottomLayer = 32;
inline constexpr TLayer eTopOverlay = 33;
inline constexpr TLayer eBottomOverlay = 34;
inline constexpr TLayer eTopPaste = 35;
inline constexpr TLayer eBottomPaste = 36;
inline constexpr TLayer eTopSolder = 37;
inline constexpr TLayer eBottomSolder = 38;
inline constexpr TLayer eInternalPlane1 = 39;
inline constexpr TLayer eInternalPlane16 = 54;
inline constexpr TLayer eDrillGuide = 55;
inline constexpr TLayer eKeepOutLayer = 56;
inline constexpr TLayer eMechanical1 = 57;
inline constexpr TLayer eMechanical16 = 72;
inline constexpr TLayer eDrillDrawing = 73;
inline constexpr TLayer eMultiLayer = 74;
inline constexpr TLayer eConnectLayer = 75;
inline constexpr TLayer eBackGroundLayer = 76;
inline constexpr TLayer eDRCErrorLayer = 77;
inline constexpr TLayer eHighlightLayer = 78;
inline constexpr TLayer eGridColor1 = 79;
inline constexpr TLayer eGridColor10 = 80;
inline constexpr TLayer ePadHoleLayer = 81;
inline constexpr TLayer eViaHoleLayer = 82;
inline constexpr TLayer kMinLayer = 0;
inline constexpr TLayer kMaxLayer = 82;
inline constexpr int kLayerCount = 83;

// --- TV7_Layer values beyond the 83 fixed layers ----------------------------
inline constexpr TV7_Layer kV7_ExtendedSignalBase = 0x01010000u;  // + signal index 32..65534
inline constexpr TV7_Layer kV7_ExtendedPlaneBase = 0x01040000u;   // + plane 17..65535
inline constexpr TV7_Layer kV7_ExtendedMechBase = 0x04000000u;    // + mechanical 17..65535
inline constexpr TV7_Layer kV7_TopPadMaster = 0x00010018u;
inline constexpr TV7_Layer kV7_BottomPadMaster = 0x00010019u;
inline constexpr TV7_Layer kV7_DRCDetailLayer = 0x0001001Au;
// Signal index of the bottom layer: the last signal layer whatever the depth.
inline constexpr int32_t kBottomSignalIndex = 65535;

// --- Layer classes -----------------------------------------------------------
inline constexpr TLayerClass kElectricalLayers = 0x01000000u;
inline constexpr TLayerClass kSignalLayers = 0x01010000u;
inline constexpr TLayerClass kMidLayers = 0x01020000u;
inline constexpr TLayerClass kInternalPlaneLayers = 0x01040000u;
inline constexpr TLayerClass kMechanicalLayers = 0x04000000u;
inline constexpr TLayerClass kAllLayers = 0xFFFF0000u;

// --- Layer partitions ----------------------------------------------------------
inline constexpr TLayerPartition lpNoLayer = 0;
inline constexpr TLayerPartition lpTopLayer = 1;
inline constexpr TLayerPartition lpMidLayer = 2;
inline constexpr TLayerPartition lpBottomLayer = 3;
inline constexpr TLayerPartition lpInternalPlane = 4;
inline constexpr TLayerPartition lpMechanical = 5;
inline constexpr TLayerPartition lpTopOverlay = 6;
inline constexpr TLayerPartition lpBottomOverlay = 7;
inline constexpr TLayerPartition lpTopPaste = 8;
inline constexpr TLayerPartition lpBottomPaste = 9;
inline constexpr TLayerPartition lpTopSolder = 10;
inline constexpr TLayerPartition lpBottomSolder = 11;
inline constexpr TLayerPartition lpDrillGuide = 12;
inline constexpr TLayerPartition lpKeepOutLayer = 13;
inline constexpr TLayerPartition lpDrillDrawing = 14;
inline constexpr TLayerPartition lpMultiLayer = 15;
inline constexpr TLayerPartition lpConnectLayer = 16;
inline constexpr TLayerPartition lpBackGroundLayer = 17;
inline constexpr TLayerPartition lpDRCErrorLayer = 18;
inline constexpr TLayerPartition lpHighlightLayer = 19;
inline constexpr TLayerPartition lpGridColor1 = 20;
inline constexpr TLayerPartition lpGridColor10 = 21;
inline constexpr TLayerPartition lpPadHoleLayer = 22;
inline constexpr TLayerPartition lpViaHoleLayer = 23;
inline constexpr TLayerPartition lpTopPadMaster = 24;
inline constexpr TLayerPartition lpBottomPadMaster = 25;
inline constexpr TLayerPartition lpDRCDetailLayer = 26;
inline constexpr int kPartitionCount = 27;

// --- Layer ordinals (the layer-set code's numbering) ---------------------------
inline constexpr uint8_t kMaxLayerOrdinal = 92;
inline constexpr uint8_t kFirstClassOrdinal = 87;  // 87..92: the six classes

// --- Construction --------------------------------------------------------------
// Signal index n: 1 top, 2..31 the first thirty mid layers, 65535 bottom.
TV7_Layer SignalLayer(int64_t n);
TV7_Layer InternalPlaneLayer(int64_t n);  // 1-based
TV7_Layer MechanicalLayer(int64_t n);     // 1-based
TV7_Layer LayerFromPartition(uint8_t p);
TV7_Layer LayerFromOrdinal(uint8_t o);
TV7_Layer LayerClassFromIndex(int32_t i);  // 1..6, else 0

// --- Conversions ---------------------------------------------------------------
TV7_Layer LayerToV7(TLayer t);
TLayer V7ToLayer(TV7_Layer v);       // clamps layers beyond the fixed 83
TLayer V7ToLayerExact(TV7_Layer v);  // refuses layers beyond the fixed 83
TLayerPartition LayerPartitionOf(TV7_Layer v);
int32_t LayerIndexOf(TV7_Layer v);
TV7_Layer LayerParent(TV7_Layer v);
int32_t LayerToSaveInteger(TV7_Layer v);
TV7_Layer CreateFromInteger_ForSave(int32_t i);
// The persistent class index 1..6 of a class value; 0 for anything else.
int32_t LayerClassIndexOf(TV7_Layer v);

// --- Tests -----------------------------------------------------------------------
constexpr bool IsLayerClass(TV7_Layer v) {
  return (v & 0xFFFFu) == 0 && v != 0;
}
constexpr bool IsSignalLayer(TV7_Layer v) {
  if (IsLayerClass(v)) return false;
  const uint32_t high = v >> 16;
  if (high != 0) return high == 0x0101u;
  const uint32_t low = v & 0xFFu;
  return low >= 1 && low <= 32;
}
constexpr bool IsInternalPlane(TV7_Layer v) {
  if (IsLayerClass(v)) return false;
  const uint32_t high = v >> 16;
  if (high != 0) return high == 0x0104u;
  const uint32_t low = v & 0xFFu;
  return low >= 39 && low <= 54;
}
constexpr bool IsMechanicalLayer(TV7_Layer v) {
  if (IsLayerClass(v)) return false;
  const uint32_t high = v >> 16;
  if (high != 0) return high == 0x0400u;
  const uint32_t low = v & 0xFFu;
  return low >= 57 && low <= 72;
}
constexpr bool IsMidLayer(TV7_Layer v) {
  return IsSignalLayer(v) && v != 1 && v != 32;
}
bool LayerEqualsOrdinal(TV7_Layer v, uint8_t ordinal);

// --- Names -----------------------------------------------------------------------
// "Top Layer", "Mid Layer 3", "Internal Plane 2", "Signal Layers" ...
std::string LayerDisplayName(TV7_Layer v);
// "TopLayer", "MidLayer3", "InternalPlane2" ...; empty for a class.
std::string LayerShortName(TV7_Layer v);
// The inverse of LayerDisplayName, ignoring letter case; 0 when s names nothing.
TV7_Layer LayerFromDisplayName(std::string_view s);

// The 83 short names of the fixed layers, as the board's layer objects start.
const char* LegacyLayerShortName(TLayer t);  // nullptr above 82
// The display name of a class value; an assertion failure for any other value.
const char* LayerClassDisplayName(TV7_Layer v);

}  // namespace quennet
