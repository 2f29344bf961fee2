#include "layers/layers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

#include "layers/rtl_errors.h"
#include "platform/text.h"

namespace quennet {
namespace {

// Lines of the layer model's consistency checks, as reported with unit RT_PCB.
constexpr int kLineLayerFromPartition = 1105;
constexpr int kLineLayerFromOrdinal = 1131;
constexpr int kLinePartitionOf = 1187;
constexpr int kLineV7ToLayer = 1236;
constexpr int kLineV7ToLayerExact = 1262;
constexpr int kLinePartitionName = 1298;
constexpr int kLineClassName = 1310;
constexpr int kLineSaveInteger = 1402;

[[noreturn]] void Fail(const std::string& message, int line) {
  AssertionFailure(message, kLayerModelUnit, line);
}

// Messages write integers in signed decimal, whatever their type.
std::string Signed(TV7_Layer v) {
  return std::to_string(static_cast<int32_t>(v));
}

constexpr std::array<const char*, kPartitionCount> kPartitionShortNames = {
    "NoLayer",         "TopLayer",      "MidLayer",        "BottomLayer",   "InternalPlane",
    "Mechanical",      "TopOverlay",    "BottomOverlay",   "TopPaste",      "BottomPaste",
    "TopSolder",       "BottomSolder",  "DrillGuide",      "KeepOutLayer",  "DrillDrawing",
    "MultiLayer",      "ConnectLayer",  "BackGroundLayer", "DRCErrorLayer", "HighlightLayer",
    "GridColor1",      "GridColor10",   "PadHoleLayer",    "ViaHoleLayer",  "TopPadMaster",
    "BottomPadMaster", "DRCDetailLayer"};

constexpr std::array<const char*, kPartitionCount> kPartitionDisplayNames = {
    "No Layer",        "Top Layer",         "Mid Layer ",      "Bottom Layer",
    "Internal Plane ", "Mechanical Layer ", "Top Overlay",     "Bottom Overlay",
    "Top Paste",       "Bottom Paste",      "Top Solder Mask", "Bottom Solder Mask",
    "Drill Guide",     "Keep Out Layer",    "Drill Drawing",   "Multi Layer",
    "Connect Layer",   "BackGround",        "DRC Errors",      "Highlight Layer",
    "Grid Color 1",    "Grid Color 10",     "Pad Hole Layer",  "Via Hole Layer",
    "Top Pad Master",  "Bottom Pad Master", "DRC Details"};

constexpr std::array<TV7_Layer, kPartitionCount> kPartitionLayers = {0,
                                                                     1,
                                                                     kMidLayers,
                                                                     32,
                                                                     kInternalPlaneLayers,
                                                                     kMechanicalLayers,
                                                                     33,
                                                                     34,
                                                                     35,
                                                                     36,
                                                                     37,
                                                                     38,
                                                                     55,
                                                                     56,
                                                                     73,
                                                                     74,
                                                                     75,
                                                                     76,
                                                                     77,
                                                                     78,
                                                                     79,
                                                                     80,
                                                                     81,
                                                                     82,
                                                                     kV7_TopPadMaster,
                                                                     kV7_BottomPadMaster,
                                                                     kV7_DRCDetailLayer};

struct TClassInfo {
  TV7_Layer Value;
  const char* Name;
  int32_t Index;
};
// In class-index order.
constexpr std::array<TClassInfo, 6> kClasses = {{
    {kElectricalLayers, "Electrical Layers", 1},
    {kMechanicalLayers, "Mechanical Layers", 2},
    {kInternalPlaneLayers, "Internal Plane Layers", 3},
    {kSignalLayers, "Signal Layers", 4},
    {kAllLayers, "All Layers", 5},
    {kMidLayers, "Mid Layers", 6},
}};
// Ordinals 87..92.
constexpr std::array<TV7_Layer, 6> kClassOrdinals = {kMidLayers,        kAllLayers,
                                                     kSignalLayers,     kInternalPlaneLayers,
                                                     kElectricalLayers, kMechanicalLayers};

// The fixed layers' short names, built once from the partition names.
struct TLegacyNames {
  std::array<char[21], kLayerCount> Names{};
  TLegacyNames() {
    for (int t = 0; t < kLayerCount; ++t) {
      const std::string s = LayerShortName(static_cast<TV7_Layer>(t));
      std::snprintf(Names[t], sizeof Names[t], "%s", s.c_str());
    }
  }
};

std::string BuildName(TV7_Layer v, const std::array<const char*, kPartitionCount>& partitions,
                      bool withClasses) {
  if (!IsLayerClass(v)) {
    if (IsMechanicalLayer(v)) return partitions[lpMechanical] + std::to_string(LayerIndexOf(v));
    if (IsMidLayer(v)) return partitions[lpMidLayer] + std::to_string(LayerIndexOf(v) - 1);
    if (IsInternalPlane(v)) return partitions[lpInternalPlane] + std::to_string(LayerIndexOf(v));
    const TLayerPartition p = LayerPartitionOf(v);
    if (p >= kPartitionCount) {
      Fail("", kLinePartitionName);
    }
    return partitions[p];
  }
  if (!withClasses) return std::string();
  return LayerClassDisplayName(v);
}

using platform::EqualsNoCase;

// A whole string as a 32-bit signed decimal integer, with an optional sign.
bool ParseInteger(std::string_view s, int64_t& n) {
  if (s.empty()) return false;
  bool negative = false;
  if (s.front() == '+' || s.front() == '-') {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty()) return false;
  uint64_t magnitude = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude);
  if (ec != std::errc() || end != s.data() + s.size()) return false;
  const int64_t value =
      negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  if (magnitude > 0x80000000ull || value > INT32_MAX || value < INT32_MIN) return false;
  n = value;
  return true;
}

// The number after prefix when upper holds prefix and more, else false.
bool NumberAfter(std::string_view upper, std::string_view prefix, int64_t& n) {
  if (upper.size() <= prefix.size() || upper.substr(0, prefix.size()) != prefix) return false;
  return ParseInteger(upper.substr(prefix.size()), n);
}

}  // namespace

TV7_Layer SignalLayer(int64_t n) {
  if (n == 1) return eTopLayer;
  if (n == kBottomSignalIndex) return eBottomLayer;
  if (n >= 2 && n <= 31) return static_cast<TV7_Layer>(n);
  if (n >= 0 && n <= 65535) return kV7_ExtendedSignalBase + static_cast<TV7_Layer>(n);
  throw ELayerException("Creating SignalLayer(" + std::to_string(n) + ")");
}

TV7_Layer InternalPlaneLayer(int64_t n) {
  if (n >= 1 && n <= 16) return static_cast<TV7_Layer>(38 + n);
  if (n >= 17 && n <= 65535) return kV7_ExtendedPlaneBase + static_cast<TV7_Layer>(n);
  throw ELayerException("Creating InternalPlaneLayer(" + std::to_string(n) + ")");
}

TV7_Layer MechanicalLayer(int64_t n) {
  if (n >= 1 && n <= 16) return static_cast<TV7_Layer>(56 + n);
  if (n >= 17 && n <= 65535) return kV7_ExtendedMechBase + static_cast<TV7_Layer>(n);
  throw ELayerException("Creating MechanicalLayer(" + std::to_string(n) + ")");
}

TV7_Layer LayerFromPartition(uint8_t p) {
  if (p >= kPartitionCount) Fail("", kLineLayerFromPartition);
  return kPartitionLayers[p];
}

TV7_Layer LayerFromOrdinal(uint8_t o) {
  if (o <= 1) return eNoLayer;
  if (o <= 78) return static_cast<TV7_Layer>(o - 1);  // layers 1..77
  if (o == 79) return kV7_DRCDetailLayer;
  if (o <= 84) return static_cast<TV7_Layer>(o - 2);  // 80..84: layers 78..82
  if (o == 85) return kV7_TopPadMaster;
  if (o == 86) return kV7_BottomPadMaster;
  if (o <= kMaxLayerOrdinal) return kClassOrdinals[o - kFirstClassOrdinal];
  Fail("", kLineLayerFromOrdinal);
}

TV7_Layer LayerClassFromIndex(int32_t i) {
  if (i < 1 || i > 6) return 0;
  return kClasses[i - 1].Value;
}

int32_t LayerClassIndexOf(TV7_Layer v) {
  for (const TClassInfo& c : kClasses)
    if (c.Value == v) return c.Index;
  return 0;
}

TV7_Layer LayerToV7(TLayer t) {
  return (t >= 1 && t <= kMaxLayer) ? t : 0;
}

TLayerPartition LayerPartitionOf(TV7_Layer v) {
  if (IsSignalLayer(v))
    return v == eTopLayer ? lpTopLayer : v == eBottomLayer ? lpBottomLayer : lpMidLayer;
  if (IsInternalPlane(v)) return lpInternalPlane;
  if (IsMechanicalLayer(v)) return lpMechanical;
  if ((v >> 24) == 0) {
    const uint32_t low = v & 0xFFu;
    if ((v >> 16) != 0) return static_cast<TLayerPartition>(low);
    if (low >= 33 && low <= 38) return static_cast<TLayerPartition>(low - 27);
    if (low == 55) return lpDrillGuide;
    if (low == 56) return lpKeepOutLayer;
    if (low >= 73 && low <= 82) return static_cast<TLayerPartition>(low - 59);
    return lpNoLayer;
  }
  Fail("Could not find layer partition ID=" + Signed(v), kLinePartitionOf);
}

int32_t LayerIndexOf(TV7_Layer v) {
  if ((v >> 24) != 0) return static_cast<int32_t>(v & 0xFFFFu);
  if (IsMechanicalLayer(v)) return static_cast<int32_t>(v) - 56;
  if (IsSignalLayer(v)) return v == eBottomLayer ? kBottomSignalIndex : static_cast<int32_t>(v);
  if (IsInternalPlane(v)) return static_cast<int32_t>(v) - 38;
  return LayerPartitionOf(v);
}

TLayer V7ToLayer(TV7_Layer v) {
  const TLayerPartition p = LayerPartitionOf(v);
  switch (p) {
    case lpNoLayer:
      return eNoLayer;
    case lpTopLayer:
      return eTopLayer;
    case lpMidLayer:
      return static_cast<TLayer>(std::min(LayerIndexOf(v) - 1, 30) + 1);
    case lpBottomLayer:
      return eBottomLayer;
    case lpInternalPlane:
      return static_cast<TLayer>(std::min(LayerIndexOf(v), 16) + 38);
    case lpMechanical:
      return static_cast<TLayer>(std::min(LayerIndexOf(v), 16) + 56);
    case lpDrillGuide:
      return eDrillGuide;
    case lpKeepOutLayer:
      return eKeepOutLayer;
    default:
      break;
  }
  if (p >= lpTopOverlay && p <= lpBottomSolder) return static_cast<TLayer>(p + 27);
  if (p >= lpDrillDrawing && p <= lpViaHoleLayer) return static_cast<TLayer>(p + 59);
  // The special layers, and partitions of no defined form, have no TLayer.
  Fail("", kLineV7ToLayer);
}

TLayer V7ToLayerExact(TV7_Layer v) {
  const TLayerPartition p = LayerPartitionOf(v);
  bool exact = true;
  if (p == lpMidLayer) {
    const int32_t index = LayerIndexOf(v);
    exact = index >= 2 && index <= 31;
  } else if (p == lpInternalPlane || p == lpMechanical) {
    const int32_t index = LayerIndexOf(v);
    exact = index >= 1 && index <= 16;
  } else if (p >= lpTopPadMaster) {
    exact = false;
  }
  if (!exact) Fail("TV7_Layer.Implicit(" + LayerDisplayName(v) + ")", kLineV7ToLayerExact);
  return V7ToLayer(v);
}

TV7_Layer LayerParent(TV7_Layer v) {
  if (v == 0 || (v >= 33 && v <= 38) || v == 55 || v == 56 || (v >= 73 && v <= 82) ||
      v == kElectricalLayers || v == kMechanicalLayers)
    return kAllLayers;
  if (v == 1 || v == 32 || v == kMidLayers) return kSignalLayers;
  if (v >= 2 && v <= 31) return kMidLayers;
  if (v >= 39 && v <= 54) return kInternalPlaneLayers;
  if (v >= 57 && v <= 72) return kMechanicalLayers;
  if (v == kSignalLayers || v == kInternalPlaneLayers) return kElectricalLayers;
  if (v == kAllLayers) return 0;
  if (IsSignalLayer(v)) return kMidLayers;
  if (IsMechanicalLayer(v)) return kMechanicalLayers;
  if (IsInternalPlane(v)) return kInternalPlaneLayers;
  if ((v >> 24) == 0) return kAllLayers;
  return 0;
}

int32_t LayerToSaveInteger(TV7_Layer v) {
  constexpr int32_t kSaved = 0x01000000;
  if (IsSignalLayer(v)) return kSaved | LayerIndexOf(v);
  if (IsInternalPlane(v)) return kSaved | (0x10000 + LayerIndexOf(v));
  if (IsMechanicalLayer(v)) return kSaved | (0x20000 + LayerIndexOf(v));
  if (!IsLayerClass(v) && (v >> 24) == 0) return kSaved | (0x30000 + LayerIndexOf(v));
  const int32_t classIndex = LayerClassIndexOf(v);
  if (classIndex != 0) return kSaved | (0x800000 + classIndex);
  Fail("ID = " + Signed(v), kLineSaveInteger);
}

TV7_Layer CreateFromInteger_ForSave(int32_t i) {
  if ((i & 0x01000000) == 0)
    throw ELayerException("CreateFromInteger_ForSave(" + std::to_string(i) + ")");
  const int32_t low = i & 0xFFFF;
  switch ((i >> 16) & 0xFF) {
    case 0:
      return SignalLayer(low);
    case 1:
      return InternalPlaneLayer(low);
    case 2:
      return MechanicalLayer(low);
    case 3:
      return LayerFromPartition(static_cast<uint8_t>(i & 0xFF));
    case 0x80:
      return LayerClassFromIndex(low);
    default:
      return 0;
  }
}

bool LayerEqualsOrdinal(TV7_Layer v, uint8_t ordinal) {
  return v == LayerFromOrdinal(ordinal);
}

std::string LayerDisplayName(TV7_Layer v) {
  return BuildName(v, kPartitionDisplayNames, true);
}

std::string LayerShortName(TV7_Layer v) {
  return BuildName(v, kPartitionShortNames, false);
}

TV7_Layer LayerFromDisplayName(std::string_view s) {
  const std::string u = platform::ToUpper(s);
  int64_t n = 0;
  if (NumberAfter(u, "MECHANICAL LAYER ", n)) return MechanicalLayer(n);
  if (NumberAfter(u, "MID LAYER ", n)) return SignalLayer(n + 1);
  if (NumberAfter(u, "INTERNAL PLANE ", n)) return InternalPlaneLayer(n);
  for (int p = 0; p < kPartitionCount; ++p) {
    if (p == lpMidLayer || p == lpInternalPlane || p == lpMechanical) continue;
    if (EqualsNoCase(s, kPartitionDisplayNames[p]))
      return LayerFromPartition(static_cast<uint8_t>(p));
  }
  for (uint8_t o = kFirstClassOrdinal; o <= kMaxLayerOrdinal; ++o) {
    const TV7_Layer c = LayerFromOrdinal(o);
    if (EqualsNoCase(s, LayerClassDisplayName(c))) return c;
  }
  return eNoLayer;
}

const char* LegacyLayerShortName(TLayer t) {
  static const TLegacyNames names;
  return t <= kMaxLayer ? names.Names[t] : nullptr;
}

const char* LayerClassDisplayName(TV7_Layer v) {
  for (const TClassInfo& c : kClasses)
    if (c.Value == v) return c.Name;
  Fail("", kLineClassName);
}

}  // namespace quennet
