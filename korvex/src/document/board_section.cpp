// Board documents: the board, its layer stack and layer table, and its rules.
#include "korvex/src/document/reader.h"
#include "korvex/src/layernames.h"

namespace korvex::document {

void Reader::ReadBoard(sj::value& v) {
  sj::object o = ObjectValue(v, "board");
  Fields(o, [&](std::string_view key, sj::value& v, const char* at) {
    Board& b = *board_;
    if (key == "title") {
      b.title = BoundedString(v, key, 255);
    } else if (key == "unit") {
      static constexpr std::string_view kUnits[] = {"metric", "imperial"};
      b.unit = uint8_t(Choice(v, key, kUnits, "expected \"imperial\" or \"metric\""));
    } else if (key == "currentLayer") {
      b.currentLayer = Layer(v, key);
    } else if (key == "origin") {
      Point p = PointOf(v, key);
      b.originX = p.x;
      b.originY = p.y;
    } else if (key == "stack") {
      ReadStack(v, At(v));
    } else if (key == "layers") {
      sj::array a = Array(v, key);
      Elements(a, at, [&](sj::value& e) { ReadLayer(e); });
    } else if (key == "visibleLayers") {
      if (Type(v) == sj::json_type::string) {
        if (String(v, key) != "all") Expected(v, key, "\"all\" or a list of layers");
        b.visibleAll = true;
        b.visible.clear();
      } else {
        sj::array a = Array(v, key);
        b.visibleAll = false;
        Elements(a, at, [&](sj::value& e) { b.visible.push_back(Layer(e, key)); });
      }
    } else if (key == "layerPairs") {
      sj::array a = Array(v, key);
      Elements(a, at, [&](sj::value& e) {
        const char* pat = At(e);
        sj::array pair = Array(e, key);
        std::vector<TV7_Layer> ls;
        Elements(pair, pat, [&](sj::value& l) { ls.push_back(Layer(l, key)); });
        if (ls.size() != 2) Fail(pat, "field 'layerPairs': a pair names two layers");
        for (TV7_Layer l : ls)
          if (!IsElectrical(l)) Fail(pat, "field 'layerPairs': a drill pair joins copper layers");
        b.layerPairs.push_back({ls[0], ls[1]});
      });
    } else if (key == "parameters") {
      sj::object p = ObjectValue(v, key);
      Fields(p, [&](std::string_view name, sj::value& pv, const char* pat) {
        if (name.empty() || name.size() > 64) Fail(pat, "a parameter name has 1..64 characters");
        b.parameters.emplace_back(std::string(name), BoundedString(pv, name, 255));
      });
    } else {
      Unknown(at, key, "the board");
    }
  });
}

void Reader::ReadStack(sj::value& v, const char* at) {
  sj::array a = Array(v, "stack");
  std::vector<TLayer> stack;
  Elements(a, at, [&](sj::value& e) {
    const char* eat = At(e);
    TLayer l;
    if (Type(e) == sj::json_type::object) {
      sj::object o = ObjectValue(e, "stack");
      l = 0;
      std::string net;
      bool haveNet = false;
      Fields(o, [&](std::string_view key, sj::value& fv, const char* fat) {
        if (key == "layer") {
          l = LegacyLayer(fv, key);
        } else if (key == "net") {
          net = BoundedString(fv, key, 255);
          haveNet = true;
        } else {
          Unknown(fat, key, "a stack entry");
        }
      });
      if (l == 0) Fail(eat, "missing field 'layer' in a stack entry");
      if (haveNet) {
        if (l < 39 || l > 54) Fail(eat, "field 'net': only internal planes carry a net");
        board_->layers[l].net = net;
      }
    } else {
      l = LegacyLayer(e, "stack");
    }
    if (!IsElectrical(l))
      Fail(eat, "field 'stack': " + LegacyShortName(l) + " is not a copper layer");
    for (TLayer s : stack)
      if (s == l) Fail(eat, "field 'stack': " + LegacyShortName(l) + " is listed twice");
    stack.push_back(l);
  });
  if (stack.size() < 2 || stack.front() != 1 || stack.back() != 32)
    Fail(at, "field 'stack': the stack runs from TopLayer to BottomLayer");
  for (auto& info : board_->layers) info.previous = info.next = 0;
  for (size_t i = 0; i < stack.size(); ++i) {
    if (i > 0) board_->layers[stack[i]].previous = stack[i - 1];
    if (i + 1 < stack.size()) board_->layers[stack[i]].next = stack[i + 1];
  }
}

void Reader::ReadLayer(sj::value& v) {
  const char* at = At(v);
  sj::object o = ObjectValue(v, "layers");
  LayerInfo info;
  TLayer l = 0;
  bool haveName = false;
  Fields(o, [&](std::string_view key, sj::value& fv, const char* fat) {
    if (key == "layer") {
      l = LegacyLayer(fv, key);
    } else if (key == "name") {
      info.name = BoundedString(fv, key, 255);
      haveName = true;
    } else if (key == "copperThickness") {
      info.copperThickness = NonNegative(fv, key);
    } else if (key == "net") {
      info.net = BoundedString(fv, key, 255);
    } else if (key == "dielectric") {
      sj::object d = ObjectValue(fv, key);
      Fields(d, [&](std::string_view dk, sj::value& dv, const char* dat) {
        if (dk == "material")
          info.dielectricMaterial = BoundedString(dv, dk, 255);
        else if (dk == "type")
          info.dielectricType = uint8_t(Int32(dv, dk, 0, 255));
        else if (dk == "constant")
          info.dielectricConstant = Number(dv, dk);
        else if (dk == "height")
          info.dielectricHeight = NonNegative(dv, dk);
        else
          Unknown(dat, dk, "a dielectric");
      });
    } else {
      Unknown(fat, key, "a layer");
    }
  });
  if (l == 0) Fail(at, "missing field 'layer' in a layer entry");
  LayerInfo& target = board_->layers[l];
  info.previous = target.previous;
  info.next = target.next;
  if (!haveName) info.name = target.name;
  info.named = haveName || target.named;
  if (info.net != "(No Net)" && (l < 39 || l > 54))
    Fail(at, "field 'net': only internal planes carry a net");
  if (info.net == "(No Net)") info.net = target.net;
  target = std::move(info);
}

// --- rules -------------------------------------------------------------------
void Reader::ReadRules(sj::value& v) {
  const char* at = At(v);
  sj::array a = Array(v, "rules");
  Elements(a, at, [&](sj::value& e) {
    const char* rat = At(e);
    sj::object o = ObjectValue(e, "rules");
    PlaneRule rule;
    std::string id;
    bool planeConnect = false;
    Fields(o, [&](std::string_view key, sj::value& fv, const char* fat) {
      if (key == "kind") {
        if (String(fv, key) != "planeConnect")
          Fail(At(fv), "field 'kind': the only rule kind is \"planeConnect\"");
        planeConnect = true;
      } else if (key == "id") {
        id = BoundedString(fv, key, 255);
      } else if (key == "name") {
        rule.name = BoundedString(fv, key, 255);
      } else if (key == "style") {
        static constexpr std::string_view kStyles[] = {"relief", "direct", "noConnect"};
        rule.style =
            uint8_t(Choice(fv, key, kStyles, "expected \"relief\", \"direct\" or \"noConnect\""));
      } else if (key == "expansion") {
        rule.expansion = NonNegative(fv, key);
      } else if (key == "conductorWidth") {
        rule.conductorWidth = NonNegative(fv, key);
      } else if (key == "airGap") {
        rule.airGap = NonNegative(fv, key);
      } else if (key == "entries") {
        const char* eat = At(fv);
        rule.entries = Int32(fv, key, 2, 4);
        if (rule.entries == 3) Fail(eat, "field 'entries': a relief has 2 or 4 entries");
      } else if (key == "scope") {
        static constexpr std::string_view kScopes[] = {"all", "pads", "vias", "named"};
        rule.scope =
            uint8_t(Choice(fv, key, kScopes, "expected \"all\", \"pads\", \"vias\" or \"named\""));
      } else {
        Unknown(fat, key, "a rule");
      }
    });
    if (!planeConnect) Fail(rat, "missing field 'kind' in a rule");
    if (rule.name.empty()) rule.name = "PlaneConnect" + std::to_string(board_->rules.size() + 1);
    uint32_t obj = NewObject(kRule, uint32_t(board_->rules.size()));
    board_->rules.push_back(std::move(rule));
    if (!id.empty()) DefineId(id, obj, rat);
  });
}

void Reader::AddDefaultRule() {
  PlaneRule rule;
  rule.name = "PlaneConnect";
  NewObject(kRule, uint32_t(board_->rules.size()));
  board_->rules.push_back(rule);
}

}  // namespace korvex::document
