// KiCad boards. The reader walks the file once with its own tokenizer and
// puts every item straight into the board's tables. KiCad works in
// millimetres with Y growing downwards; the board here counts 10,000,000
// units per inch with Y growing upwards, so every Y changes sign while angles
// keep their sense (counter-clockwise as seen on screen in both).
#include "korvex/src/kicad/kicad_board.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <numbers>
#include <vector>

#include "korvex/src/kicad/sexpr.h"
#include "korvex/src/layernames.h"

namespace korvex {

namespace kicad {

std::string Unescape(std::string_view raw) {
  std::string s;
  s.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      s.push_back(raw[i]);
      continue;
    }
    const char c = raw[++i];
    s.push_back(c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c);
  }
  return s;
}

}  // namespace kicad

namespace {

using kicad::SyntaxFault;
using kicad::Tok;
using kicad::Token;

constexpr double kPcbPerMm = 10000000.0 / 25.4;
constexpr double kDeg = std::numbers::pi / 180.0;
// The first file format of KiCad 6 that this reader knows (arcs by three points).
constexpr long kFirstVersion = 20211014;

constexpr TV7_Layer kMultiLayer = 74;

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

// What was drawn otherwise than the file describes it, by kind.
class Approximations {
 public:
  void Add(const char* what, uint64_t n = 1) {
    for (auto& [k, c] : counts_)
      if (k == what) {
        c += n;
        return;
      }
    counts_.emplace_back(what, n);
  }
  std::string Line() const {
    std::string s;
    for (const auto& [k, c] : counts_) s += (s.empty() ? "" : ", ") + std::to_string(c) + " " + k;
    return s;
  }

 private:
  std::vector<std::pair<std::string, uint64_t>> counts_;
};

struct Frame {
  double x = 0, y = 0, angle = 0;  // board units, degrees
  double c = 1, s = 0;
  void Set(double px, double py, double deg) {
    x = px, y = py, angle = deg;
    c = std::cos(deg * kDeg), s = std::sin(deg * kDeg);
  }
  // A point of the frame (board units, Y up) in board coordinates.
  void Apply(double lx, double ly, double& bx, double& by) const {
    bx = x + lx * c - ly * s;
    by = y + lx * s + ly * c;
  }
};

struct PointD {
  double x = 0, y = 0;
};

class Reader {
 public:
  Reader(std::string_view text, std::string name)
      : tok_(text.data(), text.data() + text.size()), name_(std::move(name)) {}

  std::unique_ptr<Board> Run(std::string* summary) {
    board_ = std::make_unique<Board>();
    board_->fileName = name_;
    board_->unit = 0;  // metric
    for (int i = 0; i < kLegacyLayers; ++i) board_->layers[i].name = LegacyShortName(TLayer(i));
    try {
      ReadFile();
    } catch (const SyntaxFault& f) {
      Fail(f.offset, f.message);
    }
    Finish();
    if (summary) *summary = approx_.Line();
    return std::move(board_);
  }

 private:
  // --- errors -------------------------------------------------------------------
  [[noreturn]] void Fail(size_t offset, const std::string& message) {
    const char* b = tok_.begin();
    const size_t n = std::min(offset, size_t(tok_.end() - b));
    int line = 1, column = 1;
    for (size_t i = 0; i < n; ++i) {
      if (b[i] == '\n') {
        line++;
        column = 1;
      } else if ((static_cast<unsigned char>(b[i]) & 0xC0) != 0x80) {
        ++column;
      }
    }
    throw DocumentError{name_, line, column, message};
  }
  static std::string Shown(const Token& t) {
    switch (t.kind) {
      case Tok::kOpen:
        return "'('";
      case Tok::kClose:
        return "')'";
      case Tok::kEnd:
        return "the end of the file";
      case Tok::kString:
        return "\"" + std::string(t.text.substr(0, 60)) + "\"";
      default:
        return "'" + std::string(t.text.substr(0, 60)) + "'";
    }
  }
  [[noreturn]] void Unexpected(const Token& t, const std::string& wanted) {
    Fail(tok_.Offset(t.at), "expected " + wanted + ", found " + Shown(t));
  }

  // --- tokens ---------------------------------------------------------------------
  void Open() {
    Token t = tok_.Next();
    if (t.kind != Tok::kOpen) Unexpected(t, "'('");
  }
  void Close() {
    Token t = tok_.Next();
    if (t.kind != Tok::kClose) Unexpected(t, "')'");
  }
  std::string_view Symbol() {
    Token t = tok_.Next();
    if (t.kind != Tok::kAtom) Unexpected(t, "a name");
    return t.text;
  }
  std::string_view Text() {
    Token t = tok_.Next();
    if (t.kind != Tok::kAtom && t.kind != Tok::kString) Unexpected(t, "a text");
    return t.text;
  }
  double Number() {
    Token t = tok_.Next();
    double v = 0;
    if (t.kind == Tok::kAtom) {
      const char* b = t.text.data();
      const char* e = b + t.text.size();
      if (b < e && *b == '+') ++b;
      auto r = std::from_chars(b, e, v);
      if (r.ec == std::errc() && r.ptr == e && std::isfinite(v)) return v;
    }
    Unexpected(t, "a number");
  }
  // Skips what is left of the current list, its closing parenthesis included.
  void Skip() {
    int depth = 1;
    while (depth > 0) {
      Token t = tok_.Next();
      if (t.kind == Tok::kOpen)
        ++depth;
      else if (t.kind == Tok::kClose)
        --depth;
      else if (t.kind == Tok::kEnd)
        Unexpected(t, "')'");
    }
  }
  bool AtClose() { return tok_.Peek().kind == Tok::kClose; }
  // Calls list(head) for every sub-list of the current list (which must read
  // it to its end) and atom(text) for every bare atom or string; consumes the
  // closing parenthesis.
  template <class L, class A>
  void Items(L&& list, A&& atom) {
    for (;;) {
      Token t = tok_.Next();
      if (t.kind == Tok::kClose) return;
      if (t.kind == Tok::kOpen) {
        Token h = tok_.Next();
        if (h.kind != Tok::kAtom) Unexpected(h, "a name");
        list(h.text, h);
      } else if (t.kind == Tok::kEnd) {
        Unexpected(t, "')'");
      } else {
        atom(t);
      }
    }
  }
  template <class L>
  void Items(L&& list) {
    Items(list, [](const Token&) {});
  }

  // --- values ---------------------------------------------------------------------
  int32_t Units(double mm, const Token& at) {
    const double v = std::nearbyint(mm * kPcbPerMm);
    if (!(v >= -2147483647.0 && v <= 2147483647.0))
      Fail(tok_.Offset(at.at), "a coordinate beyond the board's range (about ±5.4 m)");
    return int32_t(v);
  }
  int32_t ToUnits(double units, const Token& at) {
    const double v = std::nearbyint(units);
    if (!(v >= -2147483647.0 && v <= 2147483647.0))
      Fail(tok_.Offset(at.at), "a coordinate beyond the board's range (about ±5.4 m)");
    return int32_t(v);
  }
  // (xy x y) and the like, read after the head: board units, Y up.
  PointD XY() {
    PointD p;
    p.x = Number() * kPcbPerMm;
    p.y = -Number() * kPcbPerMm;
    return p;
  }
  PointD XYList() {
    PointD p = XY();
    while (!AtClose()) tok_.Next();
    Close();
    return p;
  }
  double LengthList() {
    const double v = Number() * kPcbPerMm;
    while (!AtClose()) tok_.Next();
    Close();
    return v;
  }
  // (at x y [angle] [unlocked])
  void At(PointD& p, double& angle) {
    p = XY();
    angle = 0;
    if (tok_.Peek().kind == Tok::kAtom && tok_.Peek().text != "unlocked") angle = Number();
    while (!AtClose()) tok_.Next();
    Close();
  }
  // (width w) or (stroke (width w) (type ...))
  bool Width(std::string_view head, double& w) {
    if (head == "width") {
      w = LengthList();
      return true;
    }
    if (head == "stroke") {
      Items([&](std::string_view h, const Token&) {
        if (h == "width")
          w = LengthList();
        else
          Skip();
      });
      return true;
    }
    return false;
  }
  // (fill yes|no|solid|none) or KiCad 8's (fill (type ...))
  bool Fill(std::string_view head, bool& filled) {
    if (head != "fill") return false;
    Items(
        [&](std::string_view h, const Token&) {
          if (h == "type") {
            std::string_view v = Symbol();
            filled = v == "solid" || v == "yes" || v == "background";
            Close();
          } else {
            Skip();
          }
        },
        [&](const Token& t) { filled = t.text == "solid" || t.text == "yes"; });
    return true;
  }

  TV7_Layer LayerOf(std::string_view name, const Token& at) {
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
  TV7_Layer LayerList() {
    Token t = tok_.Next();
    if (t.kind != Tok::kAtom && t.kind != Tok::kString) Unexpected(t, "a layer name");
    const TV7_Layer l = LayerOf(t.text, t);
    while (!AtClose()) tok_.Next();
    Close();
    return l;
  }

  // --- board ------------------------------------------------------------------------
  void ReadFile() {
    // A UTF-8 byte order mark carries nothing.
    Token t = tok_.Next();
    if (t.kind != Tok::kOpen) Unexpected(t, "'(kicad_pcb'");
    Token h = tok_.Next();
    if (h.kind != Tok::kAtom || h.text != "kicad_pcb") Unexpected(h, "'kicad_pcb'");
    bool version = false;
    Items([&](std::string_view head, const Token& at) {
      if (head == "version") {
        Token v = tok_.Peek();
        const double n = Number();
        if (n < kFirstVersion)
          Fail(tok_.Offset(v.at), "KiCad file version " + std::string(v.text) +
                                      " is not read: boards of KiCad 6 and later (version " +
                                      std::to_string(kFirstVersion) + " and newer) are");
        version = true;
        Close();
        return;
      }
      if (!version) Fail(tok_.Offset(at.at), "the file gives no (version ...) before its items");
      ReadBoardItem(head);
    });
    Token e = tok_.Next();
    if (e.kind != Tok::kEnd) Unexpected(e, "the end of the file");
  }

  void ReadBoardItem(std::string_view head) {
    if (head == "layers") {
      ReadLayers();
    } else if (head == "setup") {
      ReadSetup();
    } else if (head == "title_block") {
      Items([&](std::string_view h, const Token&) {
        if (h == "title")
          board_->title = Latin(Text(), 255), Close();
        else
          Skip();
      });
    } else if (head == "segment") {
      ReadSegment(nullptr, 0);
    } else if (head == "arc") {
      ReadTrackArc();
    } else if (head == "via") {
      ReadVia();
    } else if (head == "footprint") {
      ReadFootprint();
    } else if (head == "zone") {
      ReadZone(0);
    } else if (head == "gr_line" || head == "gr_arc" || head == "gr_circle" || head == "gr_rect" ||
               head == "gr_poly" || head == "gr_curve") {
      ReadGraphic(head, nullptr, 0);
    } else if (head == "gr_text") {
      ReadText(nullptr, 0, nullptr);
    } else if (head == "dimension") {
      approx_.Add("dimensions not drawn");
      Skip();
    } else if (head == "gr_text_box" || head == "image" || head == "target" || head == "table" ||
               head == "gr_bbox") {
      approx_.Add((std::string(head) + " items not drawn").c_str());
      Skip();
    } else if (head == "general" || head == "paper" || head == "page" || head == "net" ||
               head == "net_class" || head == "group" || head == "generator" ||
               head == "generator_version" || head == "property" || head == "embedded_fonts" ||
               head == "embedded_files" || head == "tstamp" || head == "uuid") {
      Skip();  // nothing of it is drawn
    } else {
      approx_.Add((std::string("unknown items '") + std::string(head) + "' not drawn").c_str());
      Skip();
    }
  }

  void ReadLayers() {
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

  void ReadSetup() {
    Items([&](std::string_view h, const Token&) {
      if (h == "pad_to_mask_clearance")
        maskMargin_ = LengthList();
      else if (h == "pad_to_paste_clearance")
        pasteMargin_ = LengthList();
      else
        Skip();
    });
  }

  // --- objects ------------------------------------------------------------------------
  uint32_t NewObject(Kind kind, uint32_t data, TV7_Layer layer, uint32_t component) {
    Object o;
    o.kind = kind;
    o.data = data;
    o.layer = layer;
    if (component) {
      o.component = component;
      o.bitField2 |= kBitField2InComponent;
    }
    board_->objects.push_back(o);
    const uint32_t index = uint32_t(board_->objects.size() - 1);
    board_->byKind[kind].push_back(index);
    if (component)
      board_->components[board_->objects[component - 1].data].children.push_back(index + 1);
    return index + 1;
  }
  Object& Obj(uint32_t ref) { return board_->objects[ref - 1]; }

  void AddTrack(PointD a, PointD b, double width, TV7_Layer layer, uint32_t comp, const Token& at) {
    const uint32_t ref = NewObject(kTrack, uint32_t(board_->tracks.size()), layer, comp);
    Track t;
    t.x2 = ToUnits(b.x, at), t.y2 = ToUnits(b.y, at);
    t.width = ToUnits(width, at);
    board_->tracks.push_back(t);
    Obj(ref).x = ToUnits(a.x, at), Obj(ref).y = ToUnits(a.y, at);
  }

  void AddCircle(PointD c, double r, double width, TV7_Layer layer, uint32_t comp,
                 const Token& at) {
    AddArcObject(c, r, 0, 360, width, layer, comp, at);
  }
  void AddArcObject(PointD c, double r, double a0, double a1, double width, TV7_Layer layer,
                    uint32_t comp, const Token& at) {
    const uint32_t ref = NewObject(kArc, uint32_t(board_->arcs.size()), layer, comp);
    Arc a;
    a.radius = ToUnits(r, at);
    a.startAngle = a0, a.endAngle = a1;
    a.width = ToUnits(width, at);
    board_->arcs.push_back(a);
    Obj(ref).x = ToUnits(c.x, at), Obj(ref).y = ToUnits(c.y, at);
  }
  // An arc through three points (board coordinates): counter-clockwise from
  // the one end to the other through the middle point; a straight track when
  // the three points lie on a line.
  void AddArc3(PointD s, PointD m, PointD e, double width, TV7_Layer layer, uint32_t comp,
               const Token& at) {
    const double ax = m.x - s.x, ay = m.y - s.y, bx = e.x - s.x, by = e.y - s.y;
    const double d = 2 * (ax * by - ay * bx);
    if (std::fabs(d) < 1e-9 * (ax * ax + ay * ay + bx * bx + by * by) || d == 0) {
      AddTrack(s, e, width, layer, comp, at);
      return;
    }
    const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
    const PointD c{s.x + (by * a2 - ay * b2) / d, s.y + (ax * b2 - bx * a2) / d};
    const double r = std::hypot(s.x - c.x, s.y - c.y);
    auto deg = [&](PointD p) {
      double a = std::atan2(p.y - c.y, p.x - c.x) / kDeg;
      return a < 0 ? a + 360 : a;
    };
    // d > 0: the middle point lies to the left of start -> end: counter-clockwise.
    if (d > 0)
      AddArcObject(c, r, deg(s), deg(e), width, layer, comp, at);
    else
      AddArcObject(c, r, deg(e), deg(s), width, layer, comp, at);
  }
  void AddRegion(std::vector<Point> points, TV7_Layer layer, uint32_t comp) {
    if (points.size() < 3) return;
    const Point first = points.front();
    NewObject(kRegion, uint32_t(board_->regions.size()), layer, comp);
    Region r;
    r.contours.push_back(Contour{std::move(points)});
    board_->regions.push_back(std::move(r));
    board_->objects.back().x = first.x;
    board_->objects.back().y = first.y;
  }

  // (segment (start) (end) (width) (layer) (net) ...)
  void ReadSegment(const Frame* f, uint32_t comp) {
    PointD a, b;
    double w = 0;
    TV7_Layer layer = 0;
    const Token& at = tok_.Peek();
    const Token here = at;
    Items([&](std::string_view h, const Token&) {
      if (h == "start")
        a = XYList();
      else if (h == "end")
        b = XYList();
      else if (h == "layer")
        layer = LayerList();
      else if (!Width(h, w))
        Skip();
    });
    if (!layer) Fail(tok_.Offset(here.at), "a track without (layer ...)");
    if (f) f->Apply(a.x, a.y, a.x, a.y), f->Apply(b.x, b.y, b.x, b.y);
    AddTrack(a, b, w, layer, comp, here);
  }

  void ReadTrackArc() {
    PointD s, m, e;
    double w = 0;
    TV7_Layer layer = 0;
    const Token here = tok_.Peek();
    Items([&](std::string_view h, const Token&) {
      if (h == "start")
        s = XYList();
      else if (h == "mid")
        m = XYList();
      else if (h == "end")
        e = XYList();
      else if (h == "layer")
        layer = LayerList();
      else if (!Width(h, w))
        Skip();
    });
    if (!layer) Fail(tok_.Offset(here.at), "a track arc without (layer ...)");
    AddArc3(s, m, e, w, layer, 0, here);
  }

  // (via [blind|micro] (at) (size) (drill) (layers a b) ...)
  void ReadVia() {
    const Token here = tok_.Peek();
    PointD p;
    double angle = 0, size = 0, drill = 0;
    std::vector<TV7_Layer> layers;
    Items(
        [&](std::string_view h, const Token&) {
          if (h == "at") {
            At(p, angle);
          } else if (h == "size") {
            size = LengthList();
          } else if (h == "drill") {
            drill = LengthList();
          } else if (h == "layers") {
            while (!AtClose()) {
              Token t = tok_.Next();
              layers.push_back(LayerOf(t.text, t));
            }
            Close();
          } else {
            Skip();
          }
        },
        [](const Token&) {});
    const uint32_t ref = NewObject(kVia, uint32_t(board_->vias.size()), kMultiLayer, 0);
    Via v;
    v.size = ToUnits(size, here);
    v.hole = ToUnits(drill, here);
    TLayer from = 1, to = 32;
    if (layers.size() == 2 && layers[0] <= 32 && layers[1] <= 32) {
      from = TLayer(std::min(layers[0], layers[1]));
      to = TLayer(std::max(layers[0], layers[1]));
    }
    v.fromLayer = from, v.toLayer = to;
    for (TLayer l : stack_)
      if (l >= from && l <= to) {
        v.copper.xSize[l] = v.copper.ySize[l] = v.size;
        v.copper.shape[l] = psRound;
      }
    v.copper.xSize[kMultiLayer] = v.copper.ySize[kMultiLayer] = v.size;
    v.copper.shape[kMultiLayer] = psRound;
    board_->vias.push_back(v);
    Obj(ref).x = ToUnits(p.x, here), Obj(ref).y = ToUnits(p.y, here);
  }

  // (pts (xy x y) ... (arc (start) (mid) (end)) ...) in frame f.
  std::vector<Point> Points(const Frame* f, const Token& here) {
    std::vector<Point> out;
    auto put = [&](PointD p) {
      if (f) f->Apply(p.x, p.y, p.x, p.y);
      out.push_back({ToUnits(p.x, here), ToUnits(p.y, here)});
    };
    Items([&](std::string_view h, const Token&) {
      if (h == "xy") {
        put(XYList());
      } else if (h == "arc") {
        PointD s, m, e;
        Items([&](std::string_view ah, const Token&) {
          if (ah == "start")
            s = XYList();
          else if (ah == "mid")
            m = XYList();
          else if (ah == "end")
            e = XYList();
          else
            Skip();
        });
        for (const PointD& q : ArcPoints(s, m, e)) put(q);
        approx_.Add("arcs in outlines drawn as short straight sides");
      } else {
        Skip();
      }
    });
    return out;
  }
  // Points along an arc through three points, at most 5 degrees apart.
  static std::vector<PointD> ArcPoints(PointD s, PointD m, PointD e) {
    const double ax = m.x - s.x, ay = m.y - s.y, bx = e.x - s.x, by = e.y - s.y;
    const double d = 2 * (ax * by - ay * bx);
    if (d == 0) return {s, e};
    const double a2 = ax * ax + ay * ay, b2 = bx * bx + by * by;
    const PointD c{s.x + (by * a2 - ay * b2) / d, s.y + (ax * b2 - bx * a2) / d};
    const double r = std::hypot(s.x - c.x, s.y - c.y);
    const double a0 = std::atan2(s.y - c.y, s.x - c.x);
    double sweep = std::atan2(e.y - c.y, e.x - c.x) - a0;
    if (d > 0 && sweep < 0) sweep += 2 * std::numbers::pi;
    if (d < 0 && sweep > 0) sweep -= 2 * std::numbers::pi;
    const int n = std::max(1, int(std::ceil(std::fabs(sweep) / (5 * kDeg))));
    std::vector<PointD> pts;
    for (int i = 0; i <= n; ++i) {
      const double a = a0 + sweep * i / n;
      pts.push_back({c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    pts.back() = e;
    pts.front() = s;
    return pts;
  }

  // gr_* and fp_* graphics: lines, arcs, circles, rectangles, polygons, curves.
  void ReadGraphic(std::string_view kind, const Frame* f, uint32_t comp) {
    const Token here = tok_.Peek();
    PointD s, m, e, c;
    bool haveMid = false;
    double w = 0;
    bool filled = false, haveAngle = false;
    TV7_Layer layer = 0;
    std::vector<Point> pts;
    std::vector<PointD> bezier;
    Items([&](std::string_view h, const Token&) {
      if (h == "start") {
        s = XYList();
      } else if (h == "mid") {
        m = XYList(), haveMid = true;
      } else if (h == "end") {
        e = XYList();
      } else if (h == "center") {
        c = XYList();
      } else if (h == "angle") {
        Number(), haveAngle = true, Close();
      } else if (h == "layer") {
        layer = LayerList();
      } else if (h == "pts") {
        if (kind.ends_with("curve")) {
          Items([&](std::string_view ph, const Token&) {
            if (ph == "xy")
              bezier.push_back(XYList());
            else
              Skip();
          });
        } else {
          pts = Points(f, here);
        }
      } else if (!Width(h, w) && !Fill(h, filled)) {
        Skip();
      }
    });
    if (!layer)
      Fail(tok_.Offset(here.at), std::string("a ") + std::string(kind) + " without (layer ...)");
    auto apply = [&](PointD& p) {
      if (f) f->Apply(p.x, p.y, p.x, p.y);
    };
    const std::string_view k = kind.substr(3);  // after gr_ or fp_
    if (k == "line") {
      apply(s), apply(e);
      AddTrack(s, e, w, layer, comp, here);
    } else if (k == "arc") {
      if (!haveMid && haveAngle)
        Fail(tok_.Offset(here.at), "an arc by centre and angle: a file older than KiCad 6");
      apply(s), apply(m), apply(e);
      AddArc3(s, m, e, w, layer, comp, here);
    } else if (k == "circle") {
      apply(c), apply(e);
      const double r = std::hypot(e.x - c.x, e.y - c.y);
      if (filled) {
        // A disc: a ring whose centre line is half way out and as wide as
        // the whole radius (plus the outline's width).
        const double outer = r + w / 2;
        AddCircle(c, outer / 2, outer, layer, comp, here);
      } else {
        AddCircle(c, r, w, layer, comp, here);
      }
    } else if (k == "rect") {
      PointD q[4] = {s, {e.x, s.y}, e, {s.x, e.y}};
      for (PointD& p : q) apply(p);
      if (w > 0 || !filled)
        for (int i = 0; i < 4; ++i) AddTrack(q[i], q[(i + 1) % 4], w, layer, comp, here);
      if (filled) {
        std::vector<Point> r;
        for (const PointD& p : q) r.push_back({ToUnits(p.x, here), ToUnits(p.y, here)});
        AddRegion(std::move(r), layer, comp);
      }
    } else if (k == "poly") {
      if (w > 0 || !filled)
        for (size_t i = 0; i < pts.size() && pts.size() > 1; ++i) {
          const Point a = pts[i], b = pts[(i + 1) % pts.size()];
          AddTrack({double(a.x), double(a.y)}, {double(b.x), double(b.y)}, w, layer, comp, here);
        }
      if (filled) AddRegion(std::move(pts), layer, comp);
    } else if (k == "curve") {
      if (bezier.size() != 4) Fail(tok_.Offset(here.at), "a curve needs four points");
      for (PointD& p : bezier) apply(p);
      PointD prev = bezier[0];
      constexpr int kSteps = 16;
      for (int i = 1; i <= kSteps; ++i) {
        const double t = double(i) / kSteps, u = 1 - t;
        const PointD p{u * u * u * bezier[0].x + 3 * u * u * t * bezier[1].x +
                           3 * u * t * t * bezier[2].x + t * t * t * bezier[3].x,
                       u * u * u * bezier[0].y + 3 * u * u * t * bezier[1].y +
                           3 * u * t * t * bezier[2].y + t * t * t * bezier[3].y};
        AddTrack(prev, p, w, layer, comp, here);
        prev = p;
      }
      approx_.Add("curves drawn as 16 straight tracks each");
    }
  }

  // gr_text, fp_text, or a footprint's reference and value property.
  // Returns the text's object (index + 1).
  uint32_t ReadText(const Frame* f, uint32_t comp, bool* hidden, bool property = false) {
    const Token here = tok_.Peek();
    std::string_view raw;
    if (!property) {
      Token t = tok_.Next();
      while (t.kind == Tok::kAtom &&
             (t.text == "reference" || t.text == "value" || t.text == "user" || t.text == "locked"))
        t = tok_.Next();
      if (t.kind != Tok::kString && t.kind != Tok::kAtom) Unexpected(t, "the text");
      raw = t.text;
    } else {
      raw = Text();
    }
    PointD p;
    double angle = 0, height = 1.27 * kPcbPerMm, stroke = 0.15 * kPcbPerMm;
    bool mirrored = false, hide = false;
    TV7_Layer layer = 0;
    Items(
        [&](std::string_view h, const Token&) {
          if (h == "at") {
            At(p, angle);
          } else if (h == "layer") {
            layer = LayerList();
          } else if (h == "hide") {
            hide = Text() != "no", Close();
          } else if (h == "effects") {
            Items(
                [&](std::string_view eh, const Token&) {
                  if (eh == "font") {
                    Items([&](std::string_view fh, const Token&) {
                      if (fh == "size") {
                        height = Number() * kPcbPerMm;
                        Number();
                        Close();
                      } else if (fh == "thickness") {
                        stroke = LengthList();
                      } else {
                        Skip();
                      }
                    });
                  } else if (eh == "justify") {
                    while (!AtClose())
                      if (tok_.Next().text == "mirror") mirrored = true;
                    Close();
                  } else if (eh == "hide") {
                    hide = Text() != "no", Close();
                  } else {
                    Skip();
                  }
                },
                [&](const Token& t) {
                  if (t.text == "hide") hide = true;
                });
          } else {
            Skip();
          }
        },
        [&](const Token& t) {
          if (t.text == "hide") hide = true;
        });
    // A footprint's reference or value without a layer of its own sits on
    // the silkscreen of the footprint's side.
    if (!layer && property && comp) layer = Obj(comp).layer == 32 ? 34 : 33;
    if (!layer) Fail(tok_.Offset(here.at), "a text without (layer ...)");
    if (f) {
      double x = p.x, y = p.y;
      // Footprint texts keep their own angle: KiCad stores it whole.
      f->Apply(x, y, p.x, p.y);
    }
    if (hidden) *hidden = hide;
    const uint32_t ref = NewObject(kText, uint32_t(board_->texts.size()), layer, 0);
    korvex::Text t;
    t.text = Latin(kicad::Unescape(raw), 254);
    t.height = ToUnits(height, here);
    t.width = ToUnits(stroke, here);
    t.rotation = angle;
    t.mirrored = mirrored;
    board_->texts.push_back(std::move(t));
    Obj(ref).x = ToUnits(p.x, here), Obj(ref).y = ToUnits(p.y, here);
    if (comp) {
      Obj(ref).component = comp;
      Obj(ref).bitField2 |= kBitField2InComponent;
    }
    return ref;
  }

  // (footprint "lib:name" (layer) (at) (property|fp_text ...) (fp_* ...) (pad ...) ...)
  void ReadFootprint() {
    std::string_view fullName = Text();
    const size_t colon = fullName.find(':');
    const std::string_view pattern =
        colon == std::string_view::npos ? fullName : fullName.substr(colon + 1);
    const uint32_t ref = NewObject(kComponent, uint32_t(board_->components.size()), 1, 0);
    board_->components.emplace_back();
    board_->components.back().pattern = Latin(kicad::Unescape(pattern), 250);
    board_->components.back().sourceLinks[3] = Latin(
        kicad::Unescape(fullName.substr(0, colon == std::string_view::npos ? 0 : colon)), 255);
    Frame f;
    bool placed = false;
    double fpMask = -1, fpPaste = -1;
    auto needPlace = [&](const Token& at) {
      if (!placed) Fail(tok_.Offset(at.at), "a footprint's items come before its (at ...)");
    };
    Items(
        [&](std::string_view h, const Token& at) {
          Component& c = board_->components[Obj(ref).data];
          if (h == "layer") {
            const TV7_Layer l = LayerList();
            Obj(ref).layer = l == 32 ? 32 : 1;
          } else if (h == "at") {
            PointD p;
            double a = 0;
            At(p, a);
            f.Set(p.x, p.y, a);
            Obj(ref).x = ToUnits(p.x, at), Obj(ref).y = ToUnits(p.y, at);
            board_->components[Obj(ref).data].rotation = a;
            placed = true;
          } else if (h == "fp_text" || h == "property") {
            const bool property = h == "property";
            std::string_view role;
            if (!property) {
              role = tok_.Peek().text;
            } else {
              Token key = tok_.Next();
              role = key.text == "Reference" ? "reference" : key.text == "Value" ? "value" : "";
              // Other properties (and KiCad 7's plain key-value ones) draw nothing.
              if (role.empty() || tok_.Peek().kind != Tok::kString) {
                Skip();
                return;
              }
            }
            needPlace(at);
            bool hidden = false;
            const uint32_t t = ReadText(&f, ref, &hidden, property);
            Component& cc = board_->components[Obj(ref).data];
            if (role == "reference" && !cc.designator) {
              cc.designator = t, cc.designatorVisible = !hidden;
            } else if (role == "value" && !cc.comment) {
              cc.comment = t, cc.commentVisible = !hidden;
            } else if (!hidden) {
              cc.children.push_back(t);
            }
          } else if (h == "fp_line" || h == "fp_arc" || h == "fp_circle" || h == "fp_rect" ||
                     h == "fp_poly" || h == "fp_curve") {
            needPlace(at);
            ReadGraphic(h, &f, ref);
          } else if (h == "pad") {
            needPlace(at);
            ReadPad(f, ref, fpMask, fpPaste);
          } else if (h == "zone") {
            ReadZone(ref);
          } else if (h == "solder_mask_margin") {
            fpMask = LengthList();
          } else if (h == "solder_paste_margin") {
            fpPaste = LengthList();
          } else if (h == "descr") {
            c.description = Latin(kicad::Unescape(Text()), 255), Close();
          } else if (h == "model") {
            if (c.model3D.empty()) c.model3D = Latin(kicad::Unescape(Text()), 255);
            Skip();
          } else if (h == "fp_text_box" || h == "dimension" || h == "image" || h == "table") {
            approx_.Add((std::string(h) + " items not drawn").c_str());
            Skip();
          } else {
            Skip();
          }
        },
        [](const Token&) {});
    // Texts left out still exist, hidden, as in the editor.
    for (int i = 0; i < 2; ++i) {
      Component& c = board_->components[Obj(ref).data];
      uint32_t& t = i == 0 ? c.designator : c.comment;
      if (t) continue;
      const uint32_t nt =
          NewObject(kText, uint32_t(board_->texts.size()), Obj(ref).layer == 32 ? 34 : 33, 0);
      board_->texts.emplace_back();
      board_->texts.back().height = 600000;
      Obj(nt).x = Obj(ref).x, Obj(nt).y = Obj(ref).y;
      Obj(nt).component = ref;
      Obj(nt).bitField2 |= kBitField2InComponent;
      Component& c2 = board_->components[Obj(ref).data];
      (i == 0 ? c2.designator : c2.comment) = nt;
      (i == 0 ? c2.designatorVisible : c2.commentVisible) = false;
    }
  }

  struct PadLayers {
    std::vector<TLayer> copper;
    bool allCopper = false;
    bool fMask = false, bMask = false, fPaste = false, bPaste = false;
  };

  // (pad "name" type shape (at) (size) (drill) (layers) ...)
  void ReadPad(const Frame& f, uint32_t comp, double fpMask, double fpPaste) {
    const Token here = tok_.Peek();
    const std::string name = Latin(kicad::Unescape(Text()), 20);
    const std::string_view type = Symbol();
    const std::string_view shape = Symbol();
    PointD p;
    double angle = 0, sx = 0, sy = 0, drillX = 0, drillY = 0, rratio = 0, chamfer = 0;
    double mask = fpMask, paste = fpPaste;
    bool chamfered = false, drillOffset = false, trapezoid = false;
    std::string_view anchor = "circle";
    PadLayers layers;
    std::vector<PadPrimitive> primitives;  // custom pads: pad frame
    Items(
        [&](std::string_view h, const Token&) {
          if (h == "at") {
            At(p, angle);
          } else if (h == "size") {
            sx = Number() * kPcbPerMm, sy = Number() * kPcbPerMm;
            Close();
          } else if (h == "drill") {
            bool oval = false;
            int n = 0;
            while (!AtClose()) {
              const Token& t = tok_.Peek();
              if (t.kind == Tok::kOpen) {
                tok_.Next();
                if (Symbol() == "offset") {
                  const double ox = Number(), oy = Number();
                  drillOffset = ox != 0 || oy != 0;
                  Close();
                } else {
                  Skip();
                }
              } else if (t.text == "oval") {
                tok_.Next(), oval = true;
              } else {
                const double v = Number() * kPcbPerMm;
                (n++ == 0 ? drillX : drillY) = v;
              }
            }
            Close();
            if (!oval || n < 2) drillY = drillX;
          } else if (h == "layers") {
            while (!AtClose()) {
              Token t = tok_.Next();
              const std::string_view l = t.text;
              if (l == "*.Cu") {
                layers.allCopper = true;
              } else if (l == "*.Mask" || l == "F&B.Mask") {
                layers.fMask = layers.bMask = true;
              } else if (l == "*.Paste" || l == "F&B.Paste") {
                layers.fPaste = layers.bPaste = true;
              } else if (l == "F&B.Cu") {
                layers.copper.push_back(1), layers.copper.push_back(32);
              } else if (l == "*.SilkS" || l == "*.Adhes" || l == "*.CrtYd" || l == "*.Fab") {
              } else {
                const TV7_Layer v = LayerOf(l, t);
                if (v <= 32) layers.copper.push_back(TLayer(v));
                if (v == 37) layers.fMask = true;
                if (v == 38) layers.bMask = true;
                if (v == 35) layers.fPaste = true;
                if (v == 36) layers.bPaste = true;
              }
            }
            Close();
          } else if (h == "roundrect_rratio") {
            rratio = Number(), Close();
          } else if (h == "chamfer_ratio") {
            chamfer = Number(), Close();
          } else if (h == "chamfer") {
            while (!AtClose()) tok_.Next(), chamfered = true;
            Close();
          } else if (h == "rect_delta") {
            trapezoid = Number() != 0;
            trapezoid = (Number() != 0) || trapezoid;
            Close();
          } else if (h == "solder_mask_margin") {
            mask = LengthList();
          } else if (h == "solder_paste_margin") {
            paste = LengthList();
          } else if (h == "options") {
            Items([&](std::string_view oh, const Token&) {
              if (oh == "anchor")
                anchor = Symbol(), Close();
              else
                Skip();
            });
          } else if (h == "primitives") {
            ReadPadPrimitives(primitives);
          } else {
            Skip();
          }
        },
        [](const Token&) {});

    // Where the pad is and how it is turned: its position in the footprint,
    // its angle already whole.
    PointD at;
    f.Apply(p.x, p.y, at.x, at.y);
    const bool through = type == "thru_hole" || type == "np_thru_hole";
    if (type != "thru_hole" && type != "np_thru_hole" && type != "smd" && type != "connect")
      Fail(tok_.Offset(here.at), "unknown pad type '" + std::string(type) + "'");

    uint8_t s = psRound;
    if (shape == "circle") {
      sy = sx;
    } else if (shape == "oval") {
    } else if (shape == "rect") {
      s = psRectangle;
    } else if (shape == "roundrect") {
      s = psRoundedRectangle;
    } else if (shape == "trapezoid") {
      s = psRectangle;
      if (trapezoid) approx_.Add("trapezoid pads drawn as rectangles");
    } else if (shape == "custom") {
      s = anchor == "rect" ? psRectangle : psRound;
      if (anchor != "rect") sy = sx;
    } else {
      Fail(tok_.Offset(here.at), "unknown pad shape '" + std::string(shape) + "'");
    }
    if (chamfered && chamfer > 0) approx_.Add("chamfered pads drawn without their chamfers");
    if (drillOffset) approx_.Add("pads with an offset drill drawn with the hole at their centre");
    const double hole = std::min(drillX, drillY);
    if (drillX != drillY && drillX > 0 && drillY > 0)
      approx_.Add("slotted holes drawn as round holes of the slot's width");

    const uint32_t ref = NewObject(kPad, uint32_t(board_->pads.size()), kMultiLayer, comp);
    Pad pad;
    pad.name = name;
    pad.rotation = angle;
    pad.hole = ToUnits(hole, here);
    pad.plated = type != "np_thru_hole";
    const int32_t x = ToUnits(sx, here), y = ToUnits(sy, here);
    pad.topX = pad.midX = pad.botX = x;
    pad.topY = pad.midY = pad.botY = y;
    pad.topShape = pad.midShape = pad.botShape = s;
    pad.stackMode = 2;
    const uint8_t cr = uint8_t(std::clamp(std::lround(rratio * 200.0), 0l, 100l));
    LayerCopper& c = pad.copper;
    auto put = [&](int l, double ex) {
      const int32_t ax = ToUnits(std::max(0.0, sx + 2 * ex), here);
      const int32_t ay = ToUnits(std::max(0.0, sy + 2 * ex), here);
      c.xSize[l] = ax, c.ySize[l] = ay, c.shape[l] = s;
      c.crPercent[l] = s == psRoundedRectangle ? cr : 0;
    };
    // A hole without a plated ring no larger than itself has no copper.
    const bool copper = !(type == "np_thru_hole" && std::max(sx, sy) <= hole);
    std::vector<TLayer> cu;
    if (copper) {
      if (layers.allCopper)
        cu = stack_;
      else
        for (TLayer l : layers.copper)
          if (std::find(stack_.begin(), stack_.end(), l) != stack_.end()) cu.push_back(l);
    }
    for (TLayer l : cu) put(l, 0);
    if (through && !cu.empty()) put(kMultiLayer, 0);
    const double m = mask >= 0 ? mask : maskMargin_, pa = paste >= 0 ? paste : pasteMargin_;
    if (layers.fMask) put(37, m);
    if (layers.bMask) put(38, m);
    if (layers.fPaste) put(35, pa);
    if (layers.bPaste) put(36, pa);
    TV7_Layer objectLayer = kMultiLayer;
    if (!through) {
      objectLayer = !cu.empty() ? cu.front() : (layers.bPaste || layers.bMask) ? 32 : 1;
    } else if (cu.empty()) {
      objectLayer = kMultiLayer;
    }
    Obj(ref).layer = objectLayer;
    Obj(ref).x = ToUnits(at.x, here), Obj(ref).y = ToUnits(at.y, here);
    board_->pads.push_back(std::move(pad));

    // A custom pad's own shapes, turned with the pad, on its copper layers.
    if (!primitives.empty()) {
      Frame pf;
      pf.Set(at.x, at.y, angle);
      for (TLayer l : cu) AddPadPrimitives(primitives, pf, l, comp, here);
    }
  }

  // A custom pad's own shapes, in the pad's frame (Y up): polygons and
  // rectangles (filled), lines, arcs and circles of their width.
  struct PadPrimitive {
    char kind = 0;  // 'p'olygon, 'r'ectangle, 'l'ine, 'a'rc, 'c'ircle
    std::vector<PointD> pts;
    double width = 0;
    bool filled = true;
  };

  void ReadPadPrimitives(std::vector<PadPrimitive>& out) {
    Items([&](std::string_view h, const Token&) {
      PadPrimitive prim;
      prim.kind = h == "gr_poly"     ? 'p'
                  : h == "gr_rect"   ? 'r'
                  : h == "gr_line"   ? 'l'
                  : h == "gr_arc"    ? 'a'
                  : h == "gr_circle" ? 'c'
                                     : 0;
      if (!prim.kind) {
        approx_.Add("custom pad shapes of kinds not drawn (curves, texts)");
        Skip();
        return;
      }
      PointD s, m, e, c;
      bool filledGiven = false;
      Items([&](std::string_view ph, const Token&) {
        if (ph == "pts") {
          Items([&](std::string_view xh, const Token&) {
            if (xh == "xy") {
              prim.pts.push_back(XYList());
            } else {
              Skip();
              approx_.Add("arcs in custom pad outlines not drawn");
            }
          });
        } else if (ph == "start") {
          s = XYList();
        } else if (ph == "mid") {
          m = XYList();
        } else if (ph == "end") {
          e = XYList();
        } else if (ph == "center") {
          c = XYList();
        } else if (Fill(ph, prim.filled)) {
          filledGiven = true;
        } else if (!Width(ph, prim.width)) {
          Skip();
        }
      });
      if (prim.kind == 'r') prim.pts = {s, {e.x, s.y}, e, {s.x, e.y}};
      if (prim.kind == 'l') prim.pts = {s, e};
      if (prim.kind == 'a') prim.pts = {s, m, e};
      if (prim.kind == 'c') prim.pts = {c, e};
      // Polygons of custom pads are filled unless the file says otherwise;
      // circles only when it says so.
      if (prim.kind == 'c' && !filledGiven) prim.filled = false;
      out.push_back(std::move(prim));
    });
  }

  // Draws a custom pad's shapes on one copper layer, turned with the pad.
  void AddPadPrimitives(const std::vector<PadPrimitive>& prims, const Frame& pf, TV7_Layer layer,
                        uint32_t comp, const Token& here) {
    for (const PadPrimitive& prim : prims) {
      std::vector<PointD> q;
      for (const PointD& p : prim.pts) {
        PointD b;
        pf.Apply(p.x, p.y, b.x, b.y);
        q.push_back(b);
      }
      switch (prim.kind) {
        case 'p':
        case 'r': {
          if (prim.filled) {
            std::vector<Point> pts;
            for (const PointD& p : q) pts.push_back({ToUnits(p.x, here), ToUnits(p.y, here)});
            AddRegion(std::move(pts), layer, comp);
          }
          if (prim.width > 0)
            for (size_t i = 0; i < q.size() && q.size() > 1; ++i)
              AddTrack(q[i], q[(i + 1) % q.size()], prim.width, layer, comp, here);
          break;
        }
        case 'l':
          AddTrack(q[0], q[1], prim.width, layer, comp, here);
          break;
        case 'a':
          AddArc3(q[0], q[1], q[2], prim.width, layer, comp, here);
          break;
        case 'c': {
          const double r = std::hypot(q[1].x - q[0].x, q[1].y - q[0].y);
          if (prim.filled) {
            const double outer = r + prim.width / 2;
            AddCircle(q[0], outer / 2, outer, layer, comp, here);
          } else {
            AddCircle(q[0], r, prim.width, layer, comp, here);
          }
          break;
        }
      }
    }
  }

  // (zone ... (filled_polygon (layer) (pts ...)) ...): the copper KiCad filled.
  void ReadZone(uint32_t comp) {
    const Token here = tok_.Peek();
    Items([&](std::string_view h, const Token&) {
      if (h != "filled_polygon") {
        Skip();
        return;
      }
      TV7_Layer layer = 0;
      std::vector<Point> pts;
      Items([&](std::string_view ph, const Token&) {
        if (ph == "layer")
          layer = LayerList();
        else if (ph == "pts")
          pts = Points(nullptr, here);
        else
          Skip();
      });
      if (!layer) Fail(tok_.Offset(here.at), "a zone's filled polygon without (layer ...)");
      AddRegion(std::move(pts), layer, comp);
    });
  }

  // --- texts ----------------------------------------------------------------------------
  // The editor keeps 8-bit text (Windows-1252): characters it cannot hold
  // become '?', counted.
  std::string Latin(std::string_view s, size_t max) {
    std::string out;
    out.reserve(std::min(s.size(), max));
    bool replaced = false;
    for (size_t i = 0; i < s.size();) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      uint32_t cp = c;
      size_t n = 1;
      if (c >= 0xC0 && c < 0xE0 && i + 1 < s.size())
        cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu), n = 2;
      else if (c >= 0xE0 && c < 0xF0 && i + 2 < s.size())
        cp = 0xFFFF, n = 3;
      else if (c >= 0xF0)
        cp = 0xFFFF, n = 4;
      i += n;
      char b;
      if (cp == '\n' || cp == '\r' || cp == '\t') {
        b = ' ';
        approx_.Add("line breaks in texts written as blanks");
      } else if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        b = char(cp);
      } else {
        b = '?';
        replaced = true;
      }
      if (out.size() < max) out.push_back(b);
    }
    if (replaced) approx_.Add("texts with characters the drawing cannot hold (written as '?')");
    if (s.size() > max && out.size() == max && s.size() != out.size())
      approx_.Add("texts cut to the length the editor keeps");
    return out;
  }

  // --- the end ------------------------------------------------------------------------
  void Finish() {
    PlaneRule rule;
    rule.name = "PlaneConnect";
    NewObject(kRule, uint32_t(board_->rules.size()), 0, 0);
    board_->rules.push_back(rule);

    if (stack_.empty()) stack_ = {1, 32};
    if (board_->layers[1].next == 0 && stack_.size() == 2) {
      board_->layers[1].next = 32;
      board_->layers[32].previous = 1;
    }
    SetUsedLayersAndOrder(*board_, stack_);
    const std::vector<TV7_Layer>& order = board_->layerOrder;

    // Layers the file marks hidden are not visible; all others are.
    bool anyHidden = false;
    for (const auto& [l, hidden] : layerNames_) anyHidden |= hidden;
    if (anyHidden) {
      board_->visibleAll = false;
      for (TV7_Layer l : order) {
        bool hidden = false;
        for (const auto& [n, h] : layerNames_)
          if (n == l) hidden = h;
        if (!hidden) board_->visible.push_back(l);
      }
    }
  }

  kicad::Tokenizer tok_;
  std::string name_;
  std::unique_ptr<Board> board_;
  Approximations approx_;
  std::vector<TLayer> stack_;
  std::vector<std::pair<TV7_Layer, bool>> layerNames_;
  double maskMargin_ = 0, pasteMargin_ = 0;
};

// The file mapped read-only for the time of the read.
class MappedFile {
 public:
  explicit MappedFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) Throw(path, errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) Throw(path, errno);
    if (!S_ISREG(st.st_mode)) throw DocumentError{path, 0, 0, "not a regular file"};
    size_ = size_t(st.st_size);
    if (size_ > 0) {
      void* p = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd_, 0);
      if (p == MAP_FAILED) Throw(path, errno);
      data_ = static_cast<const char*>(p);
      ::madvise(p, size_, MADV_SEQUENTIAL);
    }
  }
  ~MappedFile() {
    if (data_) ::munmap(const_cast<char*>(data_), size_);
    if (fd_ >= 0) ::close(fd_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  std::string_view Text() const { return {data_ ? data_ : "", size_}; }

 private:
  [[noreturn]] static void Throw(const std::string& path, int err) {
    throw DocumentError{path, 0, 0, std::string("cannot read the board: ") + std::strerror(err)};
  }
  int fd_ = -1;
  const char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace

bool IsKicadBoardText(std::string_view text) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  size_t i = 0;
  while (i < text.size() &&
         (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
    ++i;
  text.remove_prefix(i);
  if (text.substr(0, 10) != "(kicad_pcb") return false;
  return text.size() == 10 || text[10] == ' ' || text[10] == '\n' || text[10] == '\r' ||
         text[10] == '\t' || text[10] == '(' || text[10] == ')';
}

std::unique_ptr<Board> ReadKicadBoard(std::string_view text, const std::string& name,
                                      std::string* summary) {
  // A byte order mark reads as blanks, so columns stay those of the file.
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") {
    std::string copy(text);
    copy[0] = copy[1] = copy[2] = ' ';
    return Reader(copy, name).Run(summary);
  }
  return Reader(text, name).Run(summary);
}

std::unique_ptr<Board> OpenBoardFile(const std::string& path) {
  struct stat st {};
  // Anything but a regular file (a FIFO, a device) is the document reader's
  // to refuse; peeking into it here could consume it.
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return LoadBoard(path);
  {
    char head[64] = {};
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return LoadBoard(path);
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (!IsKicadBoardText(std::string_view(head, n))) return LoadBoard(path);
  }
  MappedFile file(path);
  std::string summary;
  std::unique_ptr<Board> board = ReadKicadBoard(file.Text(), path, &summary);
  if (!summary.empty())
    std::fprintf(stderr, "%s: approximated: %s\n", path.c_str(), summary.c_str());
  return board;
}

}  // namespace korvex
