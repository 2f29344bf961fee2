// The KiCad board reader: walks the file once with its own tokenizer and puts
// every item straight into the board's tables. KiCad works in millimetres with
// Y growing downwards; the board here counts 10,000,000 units per inch with Y
// growing upwards, so every Y changes sign while angles keep their sense
// (counter-clockwise as seen on screen in both). Its parts: the file as a
// whole (kicad_board.cpp), tokens, values and errors (values.cpp), the layer
// mapping (layers.cpp), editor objects from geometry (objects.cpp), tracks,
// vias and zones (tracks.cpp), graphics and texts (graphics.cpp), footprints
// and pads (footprints.cpp), and what was approximated (approximations.h).
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <numbers>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "korvex/src/board.h"
#include "korvex/src/kicad/approximations.h"
#include "korvex/src/kicad/sexpr.h"

namespace korvex::kicad {

inline constexpr double kPcbPerMm = 10000000.0 / 25.4;
inline constexpr double kDeg = std::numbers::pi / 180.0;
// The first file format of KiCad 6 that this reader knows (arcs by three points).
inline constexpr long kFirstVersion = 20211014;

inline constexpr TV7_Layer kMultiLayer = 74;

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

  std::unique_ptr<Board> Run(std::string* summary);

 private:
  // --- the file as a whole (kicad_board.cpp) ---------------------------------
  void ReadFile();
  void ReadBoardItem(std::string_view head);
  void ReadSetup();
  void Finish();

  // --- tokens, values and errors (values.cpp) --------------------------------
  [[noreturn]] void Fail(size_t offset, const std::string& message);
  static std::string Shown(const Token& t);
  [[noreturn]] void Unexpected(const Token& t, const std::string& wanted);
  void Open();
  void Close();
  std::string_view Symbol();
  std::string_view Text();
  double Number();
  void Skip();
  int32_t Units(double mm, const Token& at);
  int32_t ToUnits(double units, const Token& at);
  PointD XY();
  PointD XYList();
  double LengthList();
  void At(PointD& p, double& angle);
  bool Width(std::string_view head, double& w);
  bool Fill(std::string_view head, bool& filled);
  std::string Latin(std::string_view s, size_t max);
  // Whether the current list ends here. The end of the file counts too, so
  // that the loops that skip what is left of a list stop there, and the
  // Close() after them reports the missing parenthesis.
  bool AtClose() {
    const Tok k = tok_.Peek().kind;
    return k == Tok::kClose || k == Tok::kEnd;
  }
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

  // --- layers (layers.cpp) ---------------------------------------------------
  TV7_Layer LayerOf(std::string_view name, const Token& at);
  TV7_Layer LayerList();
  void ReadLayers();

  // --- editor objects from geometry (objects.cpp) ----------------------------
  uint32_t NewObject(Kind kind, uint32_t data, TV7_Layer layer, uint32_t component);
  void AddTrack(PointD a, PointD b, double width, TV7_Layer layer, uint32_t comp, const Token& at);
  void AddCircle(PointD c, double r, double width, TV7_Layer layer, uint32_t comp, const Token& at);
  void AddArcObject(PointD c, double r, double a0, double a1, double width, TV7_Layer layer,
                    uint32_t comp, const Token& at);
  void AddArc3(PointD s, PointD m, PointD e, double width, TV7_Layer layer, uint32_t comp,
               const Token& at);
  void AddRegion(std::vector<Point> points, TV7_Layer layer, uint32_t comp);
  std::vector<Point> Points(const Frame* f, const Token& here);
  static std::vector<PointD> ArcPoints(PointD s, PointD m, PointD e);
  Object& Obj(uint32_t ref) { return board_->objects[ref - 1]; }

  // --- tracks, vias and zones (tracks.cpp) -----------------------------------
  void ReadSegment(const Frame* f, uint32_t comp);
  void ReadTrackArc();
  void ReadVia();
  void ReadZone(uint32_t comp);

  // --- graphics and texts (graphics.cpp) -------------------------------------
  void ReadGraphic(std::string_view kind, const Frame* f, uint32_t comp);
  uint32_t ReadText(const Frame* f, uint32_t comp, bool* hidden, bool property = false);

  // --- footprints and pads (footprints.cpp) ----------------------------------
  struct PadLayers {
    std::vector<TLayer> copper;
    bool allCopper = false;
    bool fMask = false, bMask = false, fPaste = false, bPaste = false;
  };
  // A custom pad's own shapes, in the pad's frame (Y up): polygons and
  // rectangles (filled), lines, arcs and circles of their width.
  struct PadPrimitive {
    char kind = 0;  // 'p'olygon, 'r'ectangle, 'l'ine, 'a'rc, 'c'ircle
    std::vector<PointD> pts;
    double width = 0;
    bool filled = true;
  };
  void ReadFootprint();
  void ReadPad(const Frame& f, uint32_t comp, double fpMask, double fpPaste);
  void ReadPadPrimitives(std::vector<PadPrimitive>& out);
  void AddPadPrimitives(const std::vector<PadPrimitive>& prims, const Frame& pf, TV7_Layer layer,
                        uint32_t comp, const Token& here);

  kicad::Tokenizer tok_;
  std::string name_;
  std::unique_ptr<Board> board_;
  Approximations approx_;
  std::vector<TLayer> stack_;
  std::vector<std::pair<TV7_Layer, bool>> layerNames_;
  double maskMargin_ = 0, pasteMargin_ = 0;
};

}  // namespace korvex::kicad
