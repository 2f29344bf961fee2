// The handlers of the board traversal: each reads one object through its
// wrapper or host interface and hands plain values to the shape
// constructions. Nothing survives a call but the block counter.
#include "quennet/conversion/converters.h"

#include <string>

#include "abi/pcbapi.h"
#include "layers/layers.h"
#include "layers/rtl_errors.h"
#include "platform/text.h"
#include "quennet/conversion/block_names.h"
#include "quennet/conversion/emit.h"
#include "quennet/conversion/numerics.h"
#include "quennet/conversion/shapes.h"
#include "quennet/conversion/undrawn.h"
#include "quennet/drawing/points.h"
#include "quennet/driver/state.h"
#include "quennet/options/options.h"
#include "quennet/pcbmodel/hostapi.h"
#include "quennet/pcbmodel/objects.h"
#include "quennet/pcbmodel/pad.h"

namespace quennet {

namespace {

constexpr int32_t kListCapacity = 64;

int32_t gBlockCounter = 0;

// A failing host interface call ends the export with the call named.
void Check(abi::TStatus status, const char* what) {
  if (abi::Failed(status))
    throw EPcbHostError(std::string("The PCB editor failed ") + what + " (status " +
                        std::to_string(status) + ")");
}

// Calls f(layer) for every layer the board of an object yields, in the
// board's order.
template <class Object, class F>
void ForEachBoardLayer(Object* object, const char* what, F&& f) {
  abi::Ref<abi::IPCB_Board> board;
  Check(object->Board(board.put()), what);
  if (!board) return;
  abi::Ref<abi::IPCB_LayerIterator> it;
  Check(board->LayerIterator(it.put()), what);
  if (!it) return;
  for (;;) {
    bool more = false;
    Check(it->Next(&more), what);
    if (!more) break;
    TV7_Layer layer = 0;
    Check(it->Layer(&layer), what);
    f(layer);
  }
}

// Names the object in an error raised while converting it, so that the user
// can find it on the board.
template <class F>
void Describing(const char* kind, const TPCBObject& o, F&& f) {
  try {
    f();
  } catch (const EExportError& e) {
    throw EExportError(std::string(kind) + " at (" + std::to_string(o.X()) + ", " +
                       std::to_string(o.Y()) + ") on " + LayerShortName(o.Layer()) + ": " +
                       e.what());
  }
}

void DrawPadOnLayer(const TPcbPad& pad, TV7_Layer layer, bool zero) {
  const TLayer l = V7ToLayerExact(layer);
  const int32_t sx = pad.XSizeOnLayer(l), sy = pad.YSizeOnLayer(l);
  if (sx <= 0 || sy <= 0) return;
  TPoints p(kListCapacity);
  p.Add(pad.X(), pad.Y());
  ApplyPlacement(p);
  const int32_t hole = pad.HoleSize();
  const uint8_t shape = pad.ShapeOnLayer(l);
  if (shape == psPlaneRelief) {
    DrawRelief(p.GetX(0), p.GetY(0), pad.ReliefExpansion() + hole / 2, pad.ReliefAirGap(),
               pad.ReliefConductorWidth(), pad.ReliefEntries(), layer);
    return;
  }
  DrawPadShape(p.GetX(0), p.GetY(0), shape, sx, sy, hole, pad.Rotation() + Placement().Rotation,
               layer, zero, pad.CornerRadiusOnLayer(l));
}

// The component's primitives, kind by kind, with the converters of free objects.
void ConvertChildren(const TPcbComponent& component) {
  abi::TLegacyLayerSet onlyLayer0{};
  onlyLayer0.Bits[0] = 1;
  component.IterateChildren(ConvertTrack, KindBit(pokTrack), onlyLayer0);
  component.IterateChildren(ConvertArc, KindBit(pokArc), onlyLayer0);
  component.IterateChildren(ConvertFill, KindBit(pokFill), onlyLayer0);
  component.IterateChildren(ConvertPad, KindBit(pokPad), onlyLayer0);
  // A via the board places inside a component belongs to it: it is drawn
  // with the component's other primitives, or nowhere at all.
  component.IterateChildren(ConvertVia, KindBit(pokVia), onlyLayer0);
  component.IterateChildren(ConvertText, KindBit(pokText), onlyLayer0);
  component.IterateChildren(ConvertRegion, KindBit(pokRegion), onlyLayer0);
}

void DrawComponentText(uint32_t handle) {
  TPcbText text(handle);
  text.Transfer(1);
  if (!IsLayerExported(text.Layer())) return;
  TPoints p(kListCapacity);
  p.Add(text.X(), text.Y());
  double angle = 0;
  Describing("text", text, [&] {
    angle = static_cast<double>(ThroughReal48(
        static_cast<long double>(text.Rotation()) * kPiExt / 180.0L, "text rotation"));
  });
  EmitText(p, text.Size(), text.TextAttr(), 1.0, angle, text.Mirrored(), text.TextView(),
           text.Layer());
}

}  // namespace

// --- Shared rules ---------------------------------------------------------------

bool UseZeroWidth(uint32_t handle) {
  switch (ExportOptions().ZeroWidthLines) {
    case 1:
      return true;
    case 2: {
      TPCBObject object(handle);
      object.Transfer(1);
      if (object.Selected()) return true;
      if (!object.InComponent()) return false;
      TPCBObject component(object.ComponentHandle());
      component.Transfer(1);
      return component.Selected();
    }
    default:
      return false;
  }
}

// --- Tracks and arcs ------------------------------------------------------------------

void ConvertTrack(uint32_t handle) {
  PcbApi_Percent_Update();
  TPcbTrack track(handle);
  track.Transfer(1);
  if (!IsLayerExported(track.Layer())) return;
  TPoints ends(kListCapacity);
  ends.Add(track.X(), track.Y());
  ends.Add(track.X2(), track.Y2());
  const bool zero = UseZeroWidth(handle);
  Describing("track", track, [&] {
    ApplyPlacement(ends);
    DrawTrackShape(ends, track.Width(), track.Layer(), zero);
  });
}

void ConvertArc(uint32_t handle) {
  PcbApi_Percent_Update();
  TPcbArc arc(handle);
  arc.Transfer(1);
  if (!IsLayerExported(arc.Layer())) return;
  const bool zero = UseZeroWidth(handle);
  Describing("arc", arc, [&] {
    DrawArcShape(arc.X(), arc.Y(), arc.Radius(), arc.LineWidth(), arc.StartAngle(), arc.EndAngle(),
                 arc.Layer(), zero);
  });
}

// --- Pads and vias ----------------------------------------------------------------------

void ConvertPad(uint32_t handle) {
  PcbApi_Percent_Update();
  TPcbPad pad(handle);
  pad.Transfer(1);
  // The decision does not change between layers: ask the host once.
  const bool zero = UseZeroWidth(handle);
  Describing("pad", pad, [&] {
    if (abi::Ref<abi::IPCB_Pad> intf = pad.GetPadInterface()) {
      ForEachBoardLayer(intf.get(), "to list the layers of a pad", [&](TV7_Layer layer) {
        if (!IsLayerExported(layer)) return;
        int32_t xs = 0, ys = 0;
        Check(intf->XSizeOnLayer(layer, &xs), "to give a pad's size on a layer");
        Check(intf->YSizeOnLayer(layer, &ys), "to give a pad's size on a layer");
        if (xs > 0 && ys > 0) DrawPadOnLayer(pad, layer, zero);
      });
    }
    if (IsLayerExported(ePadHoleLayer)) {
      const TPlacement& p = Placement();
      DrawHole(CheckedCoord(int64_t{pad.X()} - p.OffsetX),
               CheckedCoord(int64_t{pad.Y()} - p.OffsetY), pad.HoleSize(), p.Rotation,
               ePadHoleLayer, zero);
    }
  });
}

void ConvertVia(uint32_t handle) {
  PcbApi_Percent_Update();
  abi::Ref<abi::IPCB_Via> via = TryViaInterface(handle);
  if (!via) return;
  int32_t x = 0, y = 0, hole = 0;
  Check(via->X(&x), "to give a via's position");
  Check(via->Y(&y), "to give a via's position");
  Check(via->HoleSize(&hole), "to give a via's hole size");
  // Inside a component's block the via stands in the component's frame.
  TPoints at(kListCapacity);
  at.Add(x, y);
  try {
    ApplyPlacement(at);
  } catch (const EExportError& e) {
    throw EExportError("via at (" + std::to_string(x) + ", " + std::to_string(y) +
                       "): " + e.what());
  }
  const int32_t px = at.GetX(0), py = at.GetY(0);
  const bool zero = UseZeroWidth(handle);
  ForEachBoardLayer(via.get(), "to list the layers of a via", [&](TV7_Layer layer) {
    if (!IsLayerExported(layer)) return;
    uint8_t shape = 0;
    Check(via->ShapeOnLayer(layer, &shape), "to give a via's shape on a layer");
    if (shape == psRound) {
      int32_t size = 0;
      Check(via->SizeOnLayer(layer, &size), "to give a via's size on a layer");
      if (size > 0) DrawViaOnLayer(px, py, size, hole, layer, zero);
    } else if (shape == psPlaneRelief) {
      int32_t expansion = 0, conductor = 0, entries = 0, gap = 0;
      Check(via->ReliefExpansion(&expansion), "to give a via's relief");
      Check(via->ReliefConductorWidth(&conductor), "to give a via's relief");
      Check(via->ReliefEntries(&entries), "to give a via's relief");
      Check(via->ReliefAirGap(&gap), "to give a via's relief");
      DrawRelief(px, py, hole / 2 + expansion, gap, conductor, entries, layer);
    } else if (shape != 0) {  // 0: the via has nothing on this layer
      CountUndrawnShape(true, shape, layer);
    }
  });
  if (IsLayerExported(eViaHoleLayer)) DrawHole(px, py, hole, 0, eViaHoleLayer, zero);
}

// --- Fills and regions -------------------------------------------------------------------

void ConvertFill(uint32_t handle) {
  PcbApi_Percent_Update();
  TPcbFill fill(handle);
  fill.Transfer(1);
  if (!IsLayerExported(fill.Layer())) return;
  const bool zero = UseZeroWidth(handle);
  Describing("fill", fill, [&] {
    DrawFillShape(fill.X(), fill.Y(), fill.X2(), fill.Y2(), fill.Rotation(), fill.Layer(), zero);
  });
}

void ConvertRegion(uint32_t handle) {
  PcbApi_Percent_Update();
  TPCBRegion region(handle);
  region.Transfer(1);
  if (!IsLayerExported(region.Layer())) return;
  abi::Ref<abi::IPCB_Region> intf = TryRegionInterface(handle);
  if (!intf) return;
  abi::Ref<abi::IPCB_GeometricPolygon> polygon;
  Check(intf->GeometricPolygon(polygon.put()), "to give a region's outline");
  if (!polygon) return;
  int32_t n = 0;
  Check(polygon->ContourCount(&n), "to give a region's contours");
  TPoints list(kListCapacity);
  for (int32_t i = 0; i < n; ++i) {
    abi::Ref<abi::IPCB_Contour> contour;
    Check(polygon->Contour(i, contour.put()), "to give a region's contour");
    if (!contour) continue;
    abi::TPcbApiContourPoints points{};
    Check(contour->GetPoints(&points), "to give a region contour's points");
    Describing("region", region, [&] { ContourToPoints(&points, &list); });
    DrawRegionContour(list, region.Layer());
  }
}

// --- Texts -----------------------------------------------------------------------------

std::string ResolveTextString(const TPcbText& text) {
  const std::string_view raw = text.TextView();
  if (platform::EqualsNoCase(raw, ".PRINT_SCALE")) return "SCALE: 1.00";

  abi::Ref<abi::IPCB_ServerInterface> server = PcbServer();
  if (!server) return std::string(raw);
  abi::Ref<abi::IPCB_SpecialStringConverter> converter;
  Check(server->GetSpecialStringConverter(converter.put()), "to give its special-string converter");
  if (!converter) return std::string(raw);
  abi::Ref<abi::IPCB_Primitive> primitive = text.GetPrimitiveInterface();
  abi::Ref<abi::IHostUnknown> textIntf;
  if (primitive)
    Check(primitive->QueryInterface(abi::IID_IPCB_Text, reinterpret_cast<void**>(textIntf.put())),
          "to give a text's interface");

  // The host's strings are 8-bit; each byte is one UTF-16 unit both ways, so
  // whatever bytes a text holds come back unchanged.
  char16_t in[256];
  for (size_t i = 0; i < raw.size(); ++i) in[i] = static_cast<unsigned char>(raw[i]);
  char16_t out[256];
  uint32_t length = 0;
  uint8_t success = 0;
  Check(converter->Convert(textIntf.get(), in, static_cast<uint32_t>(raw.size()), out, 256, &length,
                           &success),
        "to resolve a special string");
  if (!success) return std::string(raw);
  std::string result;
  for (size_t i = 0; i < 255 && i < length && out[i] != 0; ++i)
    result.push_back(out[i] <= 0xFF ? static_cast<char>(out[i]) : '?');
  return result;
}

void ConvertText(uint32_t handle) {
  PcbApi_Percent_Update();
  TPcbText text(handle);
  text.Transfer(1);
  if (!IsLayerExported(text.Layer())) return;
  const std::string s = ResolveTextString(text);
  Describing("text", text, [&] {
    DrawTextShape(text.X(), text.Y(), text.Size(), text.TextAttr(), text.Rotation(),
                  text.Mirrored(), s, text.Layer());
  });
}

// --- Components ------------------------------------------------------------------------

int32_t BlockCounter() {
  return gBlockCounter;
}
void SetBlockCounter(int32_t value) {
  gBlockCounter = value;
}

std::string BlockName(const TPcbComponent& component) {
  return PatternBlockName(component.PatternView(), component.Layer() == eTopLayer, gBlockCounter);
}

bool BeginComponentBlock(const TPcbComponent& component, std::string& blockName) {
  gBlockCounter = static_cast<int32_t>(static_cast<uint32_t>(gBlockCounter) + 1u);
  blockName = BlockName(component);
  bool ok = Emit().BeginBlock(blockName.c_str());
  if (!ok) {
    // A name cut to 255 characters can lose the digits that made it unique;
    // drawing this component as another one's block would be silently wrong.
    std::string whole = WholeNumberBlockName(component.PatternView(),
                                             component.Layer() == eTopLayer, gBlockCounter);
    if (whole != blockName && Emit().BeginBlock(whole.c_str())) {
      ok = true;
      blockName = std::move(whole);
    }
  }
  Placement() = TPlacement{component.X(), component.Y(), -component.Rotation()};
  return ok;
}

void DrawComponentTexts(const TPcbComponent& component) {
  PcbApi_Percent_Update();
  if (component.DesignatorVisible()) DrawComponentText(component.DesignatorHandle());
  if (component.CommentVisible()) DrawComponentText(component.CommentHandle());
}

void ConvertComponent(uint32_t handle) {
  TPcbComponent component(handle);
  component.Transfer(1);
  switch (ExportOptions().ComponentsMode) {
    case 0: {
      std::string name;
      if (BeginComponentBlock(component, name)) {
        ConvertChildren(component);
        Emit().EndBlock();
      }
      Emit().InsertBlock(component.X(), component.Y(), name.c_str(), component.Rotation());
      break;
    }
    case 1:
      ConvertChildren(component);
      break;
    default:
      break;
  }
  DrawComponentTexts(component);
}

}  // namespace quennet
