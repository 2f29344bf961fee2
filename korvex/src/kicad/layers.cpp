// KiCad boards: KiCad's layers, the editor layer each becomes, and the
// layer stack a board's copper layers make.
#include <algorithm>
#include <charconv>

#include "korvex/src/kicad/reader.h"
#include "korvex/src/layernames.h"

namespace korvex::kicad {

namespace {

// KiCad's fixed layer names and the editor layer each becomes.
struct LayerName {
  const char* kicad;
  const char* editor;
};
constexpr LayerName kLayerNames[] = {
    {"F.Cu", "TopLayer"},
    {"B.Cu", "BottomLayer"},
    {"F.SilkS", "TopOverlay"},
    {"B.SilkS", "BottomOverlay"},
    {"F.Paste", "TopPaste"},
    {"B.Paste", "BottomPaste"},
    {"F.Mask", "TopSolder"},
    {"B.Mask", "BottomSolder"},
    {"Edge.Cuts", "Mechanical1"},
    {"F.Fab", "Mechanical2"},
    {"B.Fab", "Mechanical3"},
    {"F.CrtYd", "Mechanical4"},
    {"B.CrtYd", "Mechanical5"},
    {"F.Adhes", "Mechanical6"},
    {"B.Adhes", "Mechanical7"},
    {"Dwgs.User", "Mechanical8"},
    {"Cmts.User", "Mechanical9"},
    {"Eco1.User", "Mechanical10"},
    {"Eco2.User", "Mechanical11"},
    {"Margin", "Mechanical12"},
    {"User.1", "Mechanical13"},
    {"User.2", "Mechanical14"},
    {"User.3", "Mechanical15"},
    {"User.4", "Mechanical16"},
    {"User.5", "Mechanical17"},
    {"User.6", "Mechanical18"},
    {"User.7", "Mechanical19"},
    {"User.8", "Mechanical20"},
    {"User.9", "Mechanical21"},
    // Names KiCad 7 and later may write for the same layers.
    {"F.Silkscreen", "TopOverlay"},
    {"B.Silkscreen", "BottomOverlay"},
    {"F.Courtyard", "Mechanical4"},
    {"B.Courtyard", "Mechanical5"},
    {"F.Adhesive", "Mechanical6"},
    {"B.Adhesive", "Mechanical7"},
    {"User.Drawings", "Mechanical8"},
    {"User.Comments", "Mechanical9"},
    {"User.Eco1", "Mechanical10"},
    {"User.Eco2", "Mechanical11"},
};

}  // namespace

TV7_Layer Reader::LayerOf(std::string_view name, const Token& at) {
  if (name.size() >= 6 && name.substr(0, 2) == "In" && name.substr(name.size() - 3) == ".Cu") {
    int n = 0;
    auto r = std::from_chars(name.data() + 2, name.data() + name.size() - 3, n);
    if (r.ec == std::errc() && r.ptr == name.data() + name.size() - 3 && n >= 1 && n <= 30)
      return TV7_Layer(1 + n);
  }
  for (const LayerName& l : kLayerNames)
    if (name == l.kicad) return LayerFromName(l.editor);
  Fail(tok_.Offset(at.at), "unknown layer \"" + std::string(name) + "\"");
}

// (layer "F.Cu" [knockout])
TV7_Layer Reader::LayerList() {
  Token t = tok_.Next();
  if (t.kind != Tok::kAtom && t.kind != Tok::kString) Unexpected(t, "a layer name");
  const TV7_Layer l = LayerOf(t.text, t);
  while (!AtClose()) tok_.Next();
  Close();
  return l;
}

void Reader::ReadLayers() {
  std::vector<TLayer> copper;
  Items([&](std::string_view /*ordinal*/, const Token&) {
    Token n = tok_.Next();
    if (n.kind != Tok::kString && n.kind != Tok::kAtom) Unexpected(n, "a layer name");
    const TV7_Layer l = LayerOf(n.text, n);
    Symbol();  // signal, power, mixed, jumper, user
    std::string userName;
    bool hidden = false;
    while (!AtClose()) {
      Token t = tok_.Next();
      if (t.kind == Tok::kString) userName = Latin(t.text, 255);
      if (t.kind == Tok::kAtom && t.text == "hide") hidden = true;
    }
    Close();
    if (l <= 32) copper.push_back(TLayer(l));
    if (l < kLegacyLayers) {
      board_->layers[l].name = userName.empty() ? std::string(n.text) : userName;
      board_->layers[l].named = true;
    }
    layerNames_.push_back({l, hidden});
  });
  // The stack: top, the inner layers in order, bottom.
  std::sort(copper.begin(), copper.end());
  for (auto& layer : board_->layers) layer.previous = layer.next = 0;
  for (size_t i = 0; i + 1 < copper.size(); ++i) {
    // Bottom is 32 and sorts last; the inner layers 2..31 sit between.
    board_->layers[copper[i]].next = copper[i + 1];
    board_->layers[copper[i + 1]].previous = copper[i];
  }
  stack_ = copper;
}

}  // namespace korvex::kicad
