// Board documents. The reader walks the document once, straight into the
// board's tables, and checks every field on the way; any fault stops the load
// with the file, line and column of the offending token. Syntax faults are
// located with a second, strict parser so that the position is exact even
// where the fast parser only knows that the structure broke.
#include <fcntl.h>
#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#include <simdjson.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "korvex/src/board.h"
#include "korvex/src/layernames.h"
#include "korvex/src/session.h"

namespace korvex {

namespace sj = simdjson::ondemand;

std::string DocumentError::what() const {
  if (line == 0) return file + ": " + message;
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

namespace {

constexpr double kPcbPerInch = 10000000.0;

struct Reference {
  std::string id;
  const char* at;
  uint32_t object;  // index + 1 of the object that refers, 0 for none
  enum Kind { kOwner, kRule } kind;
};

class Loader {
 public:
  Loader(simdjson::padded_string text, std::string name)
      : name_(std::move(name)), buffer_(std::move(text)) {
    base_ = buffer_.data();
    // Editors on some systems start UTF-8 files with a byte order mark; it
    // carries nothing, so it reads as blanks that columns do not count.
    if (buffer_.size() >= 3 && std::memcmp(base_, "\xEF\xBB\xBF", 3) == 0) {
      std::memset(buffer_.data(), ' ', 3);
      bom_ = true;
    }
  }

  std::unique_ptr<Board> Run() {
    board_ = std::make_unique<Board>();
    board_->fileName = name_;
    // An object takes some 60 bytes of document or more; reserving for that
    // spares a large board the repeated growth of its main table.
    board_->objects.reserve(buffer_.size() / 64);
    for (int i = 0; i < kLegacyLayers; ++i) board_->layers[i].name = LegacyShortName(TLayer(i));
    // The default stack: a two-layer board.
    board_->layers[1].next = 32;
    board_->layers[32].previous = 1;

    sj::document doc;
    Syntax(parser_.iterate(buffer_).get(doc), nullptr);
    sj::object root;
    if (doc.type().error() == simdjson::SUCCESS) {
      sj::json_type t = sj::json_type::null;
      Syntax(doc.type().get(t), nullptr);
      if (t != sj::json_type::object) Fail(Location(doc), "the document must be a JSON object");
    }
    Syntax(doc.get_object().get(root), nullptr);

    // Units apply to every value, wherever the key stands.
    {
      sj::value units;
      auto e = root.find_field_unordered("units").get(units);
      if (e == simdjson::SUCCESS) {
        std::string_view s = String(units, "units");
        if (s == "pcb")
          scale_ = 1.0;
        else if (s == "mil")
          scale_ = 10000.0;
        else if (s == "mm")
          scale_ = kPcbPerInch / 25.4;
        else if (s == "in")
          scale_ = kPcbPerInch;
        else
          Fail(s.data() - 1, "field 'units': expected \"pcb\", \"mil\", \"mm\" or \"in\"");
      } else if (e != simdjson::NO_SUCH_FIELD) {
        Syntax(e, nullptr);
      }
      Syntax(root.reset().error(), nullptr);
    }

    bool sawRules = false;
    Fields(root, [&](std::string_view key, sj::value& v, const char* at) {
      if (key == "format") {
        if (String(v, "format") != "korvex-board")
          Fail(at, "field 'format': expected \"korvex-board\"");
      } else if (key == "version") {
        if (Int(v, "version") != 1) Fail(at, "field 'version': only version 1 is known");
      } else if (key == "units") {
        // read above
      } else if (key == "board") {
        ReadBoard(v);
      } else if (key == "rules") {
        ReadRules(v);
        sawRules = true;
      } else if (key == "objects") {
        ReadObjects(v, 0, 0);
      } else {
        Fail(at, "unknown field '" + std::string(key) + "' in the document");
      }
    });
    Trailing(doc);
    if (!sawRules || board_->rules.empty()) AddDefaultRule();
    Resolve();
    Finish();
    return std::move(board_);
  }

 private:
  // --- errors ---------------------------------------------------------------
  [[noreturn]] void Fail(const char* at, const std::string& message) {
    size_t offset = at && at >= base_ ? size_t(at - base_) : 0;
    if (offset > buffer_.size()) offset = buffer_.size();
    int line = 1, column = 1;
    for (size_t i = 0; i < offset; ++i) {
      if (base_[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(base_[i]) & 0xC0) != 0x80) {
        ++column;  // columns count characters, not UTF-8 continuation bytes
      }
    }
    if (bom_ && line == 1) column = std::max(1, column - 3);
    throw DocumentError{name_, line, column, message};
  }

  // A fault of the JSON text itself: find where it is with the strict parser.
  void Syntax(simdjson::error_code e, const char* at) {
    if (e == simdjson::SUCCESS) return;
    rapidjson::Reader reader;
    rapidjson::BaseReaderHandler<> handler;
    rapidjson::MemoryStream ms(base_, buffer_.size());
    rapidjson::ParseResult r =
        reader.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(
            ms, handler);
    if (r.IsError())
      Fail(base_ + r.Offset(),
           std::string("invalid JSON: ") + rapidjson::GetParseError_En(r.Code()));
    if (e == simdjson::CAPACITY) Fail(nullptr, "the document is larger than 4 GB");
    Fail(at, std::string("invalid JSON: ") + simdjson::error_message(e));
  }

  void Trailing(sj::document& doc) {
    const char* at = nullptr;
    if (doc.current_location().get(at) == simdjson::SUCCESS) Syntax(simdjson::TRAILING_CONTENT, at);
  }

  const char* Location(sj::document& doc) {
    const char* at = nullptr;
    if (doc.current_location().get(at) != simdjson::SUCCESS) return nullptr;
    return at;
  }

  // --- scalars ----------------------------------------------------------------
  static const char* At(sj::value& v) { return v.raw_json_token().data(); }

  sj::json_type Type(sj::value& v) {
    sj::json_type t = sj::json_type::null;
    Syntax(v.type().get(t), At(v));
    return t;
  }

  std::string_view Key(sj::field& field) {
    std::string_view key;
    // Taking the unescaped key consumes the raw one: note where it stood first.
    const char* at = field.key().raw() - 1;
    Syntax(field.unescaped_key().get(key), at);
    return key;
  }

  [[noreturn]] void Expected(sj::value& v, std::string_view field, const char* what) {
    Fail(At(v), "field '" + std::string(field) + "': expected " + what);
  }

  std::string_view String(sj::value& v, std::string_view field) {
    const char* at = At(v);
    if (Type(v) != sj::json_type::string) Expected(v, field, "a string");
    std::string_view s;
    Syntax(v.get_string().get(s), at);
    return s;
  }

  // Texts of the editor are 8-bit in its code page, Windows-1252; the
  // document is UTF-8. A character the code page lacks is refused rather
  // than written as bytes that would show as something else.
  std::string BoundedString(sj::value& v, std::string_view field, size_t max) {
    const char* at = At(v);
    std::string_view s = String(v, field);
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      if (c < 0x80) {
        out.push_back(char(c));
        ++i;
        continue;
      }
      // simdjson has checked the UTF-8, so the sequence is whole.
      const int n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      uint32_t cp = c & (0x7F >> n);
      for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
      i += size_t(n);
      const int byte = CodePageByte(cp);
      if (byte < 0) {
        char hex[16];
        std::snprintf(hex, sizeof hex, "U+%04X", unsigned(cp));
        Fail(at, "field '" + std::string(field) + "': the character " + hex +
                     " has no place in the editor's code page (Windows-1252)");
      }
      out.push_back(char(byte));
    }
    if (out.size() > max)
      Fail(at, "field '" + std::string(field) + "': longer than " + std::to_string(max) +
                   " characters");
    return out;
  }

  static int CodePageByte(uint32_t cp) {
    if (cp >= 0xA0 && cp <= 0xFF) return int(cp);
    static const uint16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (int k = 0; k < 32; ++k)
      if (high[k] && high[k] == cp) return 0x80 + k;
    return -1;
  }

  bool Bool(sj::value& v, std::string_view field) {
    if (Type(v) != sj::json_type::boolean) Expected(v, field, "true or false");
    bool b = false;
    Syntax(v.get_bool().get(b), At(v));
    return b;
  }

  double Number(sj::value& v, std::string_view field) {
    const char* at = At(v);
    if (Type(v) != sj::json_type::number) Expected(v, field, "a number");
    double d = 0;
    Syntax(v.get_double().get(d), at);
    return d;
  }

  int64_t Int(sj::value& v, std::string_view field) {
    const char* at = At(v);
    if (Type(v) != sj::json_type::number) Expected(v, field, "an integer");
    int64_t i = 0;
    if (v.get_int64().get(i) != simdjson::SUCCESS)
      Fail(at, "field '" + std::string(field) + "': expected an integer");
    return i;
  }

  int32_t Int32(sj::value& v, std::string_view field, int64_t lo, int64_t hi) {
    const char* at = At(v);
    int64_t i = Int(v, field);
    if (i < lo || i > hi)
      Fail(at, "field '" + std::string(field) + "': " + std::to_string(i) + " is outside " +
                   std::to_string(lo) + ".." + std::to_string(hi));
    return int32_t(i);
  }

  // A length or coordinate: a number in the document's units, or a string
  // with its own unit ("12.5mil", "0.3mm", "0.1in", "125000pcb").
  int32_t Coord(sj::value& v, std::string_view field) {
    const char* at = At(v);
    double d = 0;
    sj::json_type t = Type(v);
    if (t == sj::json_type::number) {
      Syntax(v.get_double().get(d), at);
      d *= scale_;
    } else if (t == sj::json_type::string) {
      std::string_view s;
      Syntax(v.get_string().get(s), at);
      double unit = 0;
      size_t n = s.size();
      auto ends = [&](std::string_view suffix) {
        return n > suffix.size() && s.substr(n - suffix.size()) == suffix;
      };
      if (ends("mil")) {
        unit = 10000.0;
        n -= 3;
      } else if (ends("mm")) {
        unit = kPcbPerInch / 25.4;
        n -= 2;
      } else if (ends("in")) {
        unit = kPcbPerInch;
        n -= 2;
      } else if (ends("pcb")) {
        unit = 1.0;
        n -= 3;
      }
      std::string digits(s.substr(0, n));
      char* end = nullptr;
      d = unit > 0 && !digits.empty() ? std::strtod(digits.c_str(), &end) : 0;
      if (unit == 0 || digits.empty() || end != digits.c_str() + digits.size() ||
          std::isspace(static_cast<unsigned char>(digits[0])))
        Fail(at, "field '" + std::string(field) + "': \"" + std::string(s) +
                     "\" is not a length (a number, or a number followed by mil, mm, in or pcb)");
      d *= unit;
    } else {
      Expected(v, field, "a length");
    }
    d = std::nearbyint(d);
    if (!(d >= -2147483648.0 && d <= 2147483647.0))
      Fail(at, "field '" + std::string(field) + "': outside the board's coordinate range");
    return int32_t(d);
  }

  double Angle(sj::value& v, std::string_view field) {
    const char* at = At(v);
    double d = Number(v, field);
    if (!std::isfinite(d) || std::fabs(d) > 1e6)
      Fail(at, "field '" + std::string(field) + "': not a usable angle");
    return d;
  }

  Point PointOf(sj::value& v, std::string_view field) {
    const char* at = At(v);
    if (Type(v) != sj::json_type::array) Expected(v, field, "a point [x, y]");
    sj::array a;
    Syntax(v.get_array().get(a), at);
    Point p;
    int n = 0;
    for (auto e : a) {
      sj::value c;
      Syntax(std::move(e).get(c), at);
      if (n == 0)
        p.x = Coord(c, field);
      else if (n == 1)
        p.y = Coord(c, field);
      else
        Fail(At(c), "field '" + std::string(field) + "': a point has two coordinates");
      ++n;
    }
    if (n != 2) Fail(at, "field '" + std::string(field) + "': a point has two coordinates");
    return p;
  }

  std::vector<Point> Points(sj::value& v, std::string_view field) {
    const char* at = At(v);
    if (Type(v) != sj::json_type::array) Expected(v, field, "a list of points");
    sj::array a;
    Syntax(v.get_array().get(a), at);
    std::vector<Point> pts;
    for (auto e : a) {
      sj::value p;
      Syntax(std::move(e).get(p), at);
      pts.push_back(PointOf(p, field));
    }
    return pts;
  }

  TV7_Layer Layer(sj::value& v, std::string_view field) {
    const char* at = At(v);
    sj::json_type t = Type(v);
    if (t == sj::json_type::number) {
      int64_t n = Int(v, field);
      if (n < 1 || n > 82)
        Fail(at, "field '" + std::string(field) + "': layer number " + std::to_string(n) +
                     " is outside 1..82");
      return TV7_Layer(n);
    }
    if (t != sj::json_type::string) Expected(v, field, "a layer name or number");
    std::string_view s;
    Syntax(v.get_string().get(s), at);
    TV7_Layer layer = LayerFromName(s);
    if (layer == 0)
      Fail(at, "field '" + std::string(field) + "': unknown layer \"" + std::string(s) + "\"");
    return layer;
  }

  TLayer LegacyLayer(sj::value& v, std::string_view field) {
    const char* at = At(v);
    TV7_Layer l = Layer(v, field);
    if (l > 82)
      Fail(at, "field '" + std::string(field) + "': this layer has no place in the layer table");
    return TLayer(l);
  }

  uint8_t Shape(sj::value& v, std::string_view field) {
    const char* at = At(v);
    std::string_view s = String(v, field);
    if (s == "round") return psRound;
    if (s == "rectangle") return psRectangle;
    if (s == "octagonal") return psOctagonal;
    if (s == "planeRelief") return psPlaneRelief;
    if (s == "roundedRectangle") return psRoundedRectangle;
    if (s == "none") return psNone;
    Fail(at, "field '" + std::string(field) + "': unknown shape \"" + std::string(s) +
                 "\" (round, rectangle, octagonal, roundedRectangle, planeRelief or none)");
  }

  // A size: one length for both axes or [x, y].
  void Size(sj::value& v, std::string_view field, int32_t& x, int32_t& y) {
    const char* at = At(v);
    if (Type(v) == sj::json_type::array) {
      Point p = PointOf(v, field);
      x = p.x;
      y = p.y;
    } else {
      x = y = Coord(v, field);
    }
    if (x < 0 || y < 0) Fail(at, "field '" + std::string(field) + "': a size cannot be negative");
  }

  int32_t NonNegative(sj::value& v, std::string_view field) {
    const char* at = At(v);
    int32_t c = Coord(v, field);
    if (c < 0) Fail(at, "field '" + std::string(field) + "': cannot be negative");
    return c;
  }

  sj::object ObjectValue(sj::value& v, std::string_view field) {
    const char* at = At(v);
    if (Type(v) != sj::json_type::object) Expected(v, field, "an object");
    sj::object o;
    Syntax(v.get_object().get(o), at);
    return o;
  }

  sj::array Array(sj::value& v, std::string_view field) {
    const char* at = At(v);
    if (Type(v) != sj::json_type::array) Expected(v, field, "a list");
    sj::array a;
    Syntax(v.get_array().get(a), at);
    return a;
  }

  template <class F>
  void Fields(sj::object& o, F&& each) {
    // A field given twice would leave one of its values unread; the keys
    // stay valid in the parser's buffer for the whole document.
    std::string_view seen[24];
    std::vector<std::string_view> more;
    size_t count = 0;
    for (auto f : o) {
      sj::field field;
      Syntax(std::move(f).get(field), nullptr);
      const char* at = field.key().raw() - 1;  // the opening quote
      std::string_view key = Key(field);
      bool twice = false;
      for (size_t i = 0; i < count && i < 24; ++i) twice |= seen[i] == key;
      for (std::string_view k : more) twice |= k == key;
      if (twice) Fail(at, "field '" + std::string(key) + "' is given twice");
      if (count < 24)
        seen[count] = key;
      else
        more.push_back(key);
      ++count;
      sj::value v = field.value();
      each(key, v, at);
    }
  }

  template <class F>
  void Elements(sj::array& a, const char* at, F&& each) {
    for (auto e : a) {
      sj::value v;
      Syntax(std::move(e).get(v), at);
      each(v);
    }
  }

  [[noreturn]] void Unknown(const char* at, std::string_view key, std::string_view what) {
    Fail(at, "unknown field '" + std::string(key) + "' in " + std::string(what));
  }

  // --- board ------------------------------------------------------------------
  void ReadBoard(sj::value& v) {
    sj::object o = ObjectValue(v, "board");
    Fields(o, [&](std::string_view key, sj::value& v, const char* at) {
      Board& b = *board_;
      if (key == "title") {
        b.title = BoundedString(v, key, 255);
      } else if (key == "unit") {
        std::string_view s = String(v, key);
        if (s == "imperial")
          b.unit = 1;
        else if (s == "metric")
          b.unit = 0;
        else
          Fail(At(v), "field 'unit': expected \"imperial\" or \"metric\"");
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

  static bool IsElectrical(TV7_Layer l) { return (l >= 1 && l <= 32) || (l >= 39 && l <= 54); }

  void ReadStack(sj::value& v, const char* at) {
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

  void ReadLayer(sj::value& v) {
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

  // --- rules ------------------------------------------------------------------
  void ReadRules(sj::value& v) {
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
          std::string_view s = String(fv, key);
          if (s == "relief")
            rule.style = kStyleRelief;
          else if (s == "direct")
            rule.style = kStyleDirect;
          else if (s == "noConnect")
            rule.style = kStyleNoConnect;
          else
            Fail(At(fv), "field 'style': expected \"relief\", \"direct\" or \"noConnect\"");
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
          std::string_view s = String(fv, key);
          if (s == "all")
            rule.scope = 0;
          else if (s == "pads")
            rule.scope = 1;
          else if (s == "vias")
            rule.scope = 2;
          else if (s == "named")
            rule.scope = 3;
          else
            Fail(At(fv), "field 'scope': expected \"all\", \"pads\", \"vias\" or \"named\"");
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

  void AddDefaultRule() {
    PlaneRule rule;
    rule.name = "PlaneConnect";
    NewObject(kRule, uint32_t(board_->rules.size()));
    board_->rules.push_back(rule);
  }

  // --- objects ----------------------------------------------------------------
  uint32_t NewObject(Kind kind, uint32_t data) {
    Object o;
    o.kind = kind;
    o.data = data;
    board_->objects.push_back(o);
    objectAt_.push_back(nullptr);
    uint32_t index = uint32_t(board_->objects.size() - 1);
    board_->byKind[kind].push_back(index);
    return index + 1;
  }

  void DefineId(const std::string& id, uint32_t object, const char* at) {
    auto [it, added] = ids_.emplace(id, object);
    if (!added) Fail(at, "duplicate id \"" + id + "\"");
  }

  // component: owning component (index + 1); owner: innermost group (index + 1).
  void ReadObjects(sj::value& v, uint32_t component, uint32_t owner) {
    const char* at = At(v);
    sj::array a = Array(v, component ? "primitives" : "objects");
    Elements(a, at, [&](sj::value& e) { ReadObject(e, component, owner); });
  }

  static Kind KindOf(std::string_view s) {
    static const std::pair<std::string_view, Kind> kinds[] = {
        {"track", kTrack},
        {"arc", kArc},
        {"fill", kFill},
        {"pad", kPad},
        {"via", kVia},
        {"text", kText},
        {"region", kRegion},
        {"component", kComponent},
        {"polygon", kPolygon},
        {"dimension", kDimension},
        {"coordinate", kCoordinate},
        {"splitPlane", kSplitPlane},
        {"componentBody", kComponentBody},
        {"embeddedBoard", kEmbeddedBoard},
    };
    for (auto& [name, kind] : kinds)
      if (name == s) return kind;
    return kNone;
  }

  static const char* KindName(Kind k) {
    switch (k) {
      case kTrack:
        return "track";
      case kArc:
        return "arc";
      case kFill:
        return "fill";
      case kPad:
        return "pad";
      case kVia:
        return "via";
      case kText:
        return "text";
      case kRegion:
        return "region";
      case kComponent:
        return "component";
      case kPolygon:
        return "polygon";
      case kDimension:
        return "dimension";
      case kCoordinate:
        return "coordinate";
      case kSplitPlane:
        return "splitPlane";
      case kComponentBody:
        return "componentBody";
      case kEmbeddedBoard:
        return "embeddedBoard";
      default:
        return "object";
    }
  }

  void ReadObject(sj::value& v, uint32_t component, uint32_t owner) {
    const char* at = At(v);
    // Groups hold groups; a depth no real board reaches keeps the reader's
    // stack bounded whatever a document nests.
    if (++depth_ > kMaxNesting)
      Fail(at, "objects nested deeper than " + std::to_string(kMaxNesting) + " levels");
    struct Leave {
      int& d;
      ~Leave() { --d; }
    } leave{depth_};
    sj::object o = ObjectValue(v, "objects");
    Kind kind = kNone;
    {
      sj::value k;
      auto e = o.find_field_unordered("kind").get(k);
      if (e == simdjson::NO_SUCH_FIELD) Fail(at, "missing field 'kind' in an object");
      Syntax(e, at);
      const char* kat = At(k);
      std::string_view s = String(k, "kind");
      kind = KindOf(s);
      if (kind == kNone) Fail(kat, "unknown object kind \"" + std::string(s) + "\"");
      Syntax(o.reset().error(), at);
    }
    if (component && (kind == kComponent || kind == kEmbeddedBoard))
      Fail(at, std::string("a ") + KindName(kind) + " cannot be part of a component");

    uint32_t data = 0;
    switch (kind) {
      case kTrack:
        data = uint32_t(board_->tracks.size());
        board_->tracks.emplace_back();
        break;
      case kArc:
        data = uint32_t(board_->arcs.size());
        board_->arcs.emplace_back();
        break;
      case kFill:
        data = uint32_t(board_->fills.size());
        board_->fills.emplace_back();
        break;
      case kPad:
        data = uint32_t(board_->pads.size());
        board_->pads.emplace_back();
        break;
      case kVia:
        data = uint32_t(board_->vias.size());
        board_->vias.emplace_back();
        break;
      case kText:
        data = uint32_t(board_->texts.size());
        board_->texts.emplace_back();
        break;
      case kRegion:
        data = uint32_t(board_->regions.size());
        board_->regions.emplace_back();
        break;
      case kComponent:
        data = uint32_t(board_->components.size());
        board_->components.emplace_back();
        break;
      case kPolygon:
      case kDimension:
      case kCoordinate:
      case kSplitPlane:
        data = uint32_t(board_->groups.size());
        board_->groups.emplace_back();
        break;
      case kComponentBody:
        data = uint32_t(board_->bodies.size());
        board_->bodies.emplace_back();
        break;
      case kEmbeddedBoard:
        data = uint32_t(board_->embedded.size());
        board_->embedded.emplace_back();
        break;
      default:
        break;
    }
    const uint32_t self = NewObject(kind, data);
    objectAt_[self - 1] = at;
    {
      Object& obj = board_->objects[self - 1];
      obj.component = component;
      if (component) obj.bitField2 |= kBitField2InComponent;
      if (owner) {
        obj.owners[0] = owner;
        // Enclosing groups follow the innermost one.
        const Object& outer = board_->objects[owner - 1];
        obj.owners[1] = outer.owners[0];
        obj.owners[2] = outer.owners[1];
      }
    }
    if (component) board_->components[board_->objects[component - 1].data].children.push_back(self);
    if (owner) board_->groups[board_->objects[owner - 1].data].members.push_back(self);

    Pending p;
    p.self = self;
    p.at = at;
    switch (kind) {
      case kTrack:
        ReadTrack(o, p);
        break;
      case kArc:
        ReadArc(o, p);
        break;
      case kFill:
        ReadFill(o, p);
        break;
      case kPad:
        ReadPad(o, p);
        break;
      case kVia:
        ReadVia(o, p);
        break;
      case kText:
        ReadText(o, p);
        break;
      case kRegion:
        ReadRegion(o, p);
        break;
      case kComponent:
        ReadComponent(o, p);
        break;
      case kPolygon:
      case kDimension:
      case kCoordinate:
      case kSplitPlane:
        ReadGroup(o, p, component);
        break;
      case kComponentBody:
        ReadBody(o, p);
        break;
      case kEmbeddedBoard:
        ReadEmbedded(o, p);
        break;
      default:
        break;
    }
    Object& obj = board_->objects[self - 1];
    if (!p.haveLayer && p.layerRequired)
      Fail(at, std::string("missing field 'layer' in a ") + KindName(kind));
    if (obj.owners[0] && kind == kRegion) obj.bitField2 |= kBitField2Grouped;
  }

  // Which placement fields of a component text the document gave.
  struct TextGiven {
    bool x = false, y = false, layer = false, mirrored = false;
  };

  // What an object reader hands back beyond the tables.
  struct Pending {
    uint32_t self = 0;
    const char* at = nullptr;
    bool haveLayer = false;
    bool layerRequired = true;
  };

  Object& Obj(const Pending& p) { return board_->objects[p.self - 1]; }

  // Fields every object may have. Returns false for a key it does not know.
  bool Common(std::string_view key, sj::value& v, const char* at, Pending& p) {
    Object& obj = Obj(p);
    if (key == "kind") return true;
    if (key == "id") {
      DefineId(BoundedString(v, key, 255), p.self, at);
    } else if (key == "layer") {
      obj.layer = Layer(v, key);
      p.haveLayer = true;
    } else if (key == "selected") {
      if (Bool(v, key))
        obj.flags |= kFlagSelected;
      else
        obj.flags &= uint16_t(~kFlagSelected);
    } else if (key == "owner") {
      refs_.push_back({BoundedString(v, key, 255), At(v), p.self, Reference::kOwner});
    } else if (key == "net") {
      (void)BoundedString(v, key, 255);  // nets are checked but play no part in the export
    } else {
      return false;
    }
    return true;
  }

  // The position of an object that has one.
  void XY(std::string_view key, sj::value& v, Pending& p) {
    if (key == "x")
      Obj(p).x = Coord(v, key);
    else
      Obj(p).y = Coord(v, key);
  }

  template <class F>
  void ObjectFields(sj::object& o, Pending& p, const char* what, F&& own) {
    Fields(o, [&](std::string_view key, sj::value& v, const char* at) {
      if (own(key, v, at)) return;
      if (!Common(key, v, at, p)) Unknown(at, key, std::string("a ") + what);
    });
  }

  void ReadTrack(sj::object& o, Pending& p) {
    Track& t = board_->tracks[Obj(p).data];
    bool from = false, to = false;
    ObjectFields(o, p, "track", [&](std::string_view key, sj::value& v, const char*) {
      if (key == "from") {
        Point a = PointOf(v, key);
        Obj(p).x = a.x;
        Obj(p).y = a.y;
        from = true;
      } else if (key == "to") {
        Point b = PointOf(v, key);
        t.x2 = b.x;
        t.y2 = b.y;
        to = true;
      } else if (key == "width") {
        t.width = NonNegative(v, key);
      } else {
        return false;
      }
      return true;
    });
    if (!from) Fail(p.at, "missing field 'from' in a track");
    if (!to) Fail(p.at, "missing field 'to' in a track");
  }

  void ReadArc(sj::object& o, Pending& p) {
    Arc& a = board_->arcs[Obj(p).data];
    bool centre = false, radius = false;
    ObjectFields(o, p, "arc", [&](std::string_view key, sj::value& v, const char*) {
      if (key == "center" || key == "centre") {
        Point c = PointOf(v, key);
        Obj(p).x = c.x;
        Obj(p).y = c.y;
        centre = true;
      } else if (key == "radius") {
        a.radius = NonNegative(v, key);
        radius = true;
      } else if (key == "startAngle") {
        a.startAngle = Angle(v, key);
      } else if (key == "endAngle") {
        a.endAngle = Angle(v, key);
      } else if (key == "width") {
        a.width = NonNegative(v, key);
      } else {
        return false;
      }
      return true;
    });
    if (!centre) Fail(p.at, "missing field 'center' in an arc");
    if (!radius) Fail(p.at, "missing field 'radius' in an arc");
  }

  void ReadFill(sj::object& o, Pending& p) {
    Fill& f = board_->fills[Obj(p).data];
    bool c1 = false, c2 = false;
    ObjectFields(o, p, "fill", [&](std::string_view key, sj::value& v, const char*) {
      if (key == "corner1") {
        Point c = PointOf(v, key);
        Obj(p).x = c.x;
        Obj(p).y = c.y;
        c1 = true;
      } else if (key == "corner2") {
        Point c = PointOf(v, key);
        f.x2 = c.x;
        f.y2 = c.y;
        c2 = true;
      } else if (key == "rotation") {
        f.rotation = Angle(v, key);
      } else {
        return false;
      }
      return true;
    });
    if (!c1) Fail(p.at, "missing field 'corner1' in a fill");
    if (!c2) Fail(p.at, "missing field 'corner2' in a fill");
  }

  // Per-layer copper of a pad: "top", "mid", "bottom" or the full stack.
  struct LevelSpec {
    bool given = false;
    int32_t x = 0, y = 0;
    uint8_t shape = psRound;
    bool haveShape = false, haveSize = false;
  };

  LevelSpec Level(sj::value& v, std::string_view field) {
    const char* at = At(v);
    sj::object o = ObjectValue(v, field);
    LevelSpec s;
    s.given = true;
    Fields(o, [&](std::string_view key, sj::value& fv, const char* fat) {
      if (key == "size") {
        Size(fv, key, s.x, s.y);
        s.haveSize = true;
      } else if (key == "shape") {
        s.shape = Shape(fv, key);
        s.haveShape = true;
      } else {
        Unknown(fat, key, std::string("the pad's '") + std::string(field) + "'");
      }
    });
    if (!s.haveSize) Fail(at, "missing field 'size' in the pad's '" + std::string(field) + "'");
    return s;
  }

  struct LayerSpec {
    TLayer layer = 0;
    int32_t x = -1, y = -1;
    int shape = -1;
    int crPercent = -1;
    const char* at = nullptr;
  };

  std::vector<LayerSpec> LayerSpecs(sj::value& v, std::string_view field) {
    const char* at = At(v);
    sj::array a = Array(v, field);
    std::vector<LayerSpec> specs;
    Elements(a, at, [&](sj::value& e) {
      LayerSpec s;
      s.at = At(e);
      sj::object o = ObjectValue(e, field);
      Fields(o, [&](std::string_view key, sj::value& fv, const char* fat) {
        if (key == "layer") {
          s.layer = LegacyLayer(fv, key);
        } else if (key == "size") {
          Size(fv, key, s.x, s.y);
        } else if (key == "shape") {
          s.shape = Shape(fv, key);
        } else if (key == "cornerRadius") {
          s.crPercent = Int32(fv, key, 0, 100);
        } else {
          Unknown(fat, key, "a per-layer entry");
        }
      });
      if (s.layer == 0) Fail(s.at, "missing field 'layer' in a per-layer entry");
      specs.push_back(s);
    });
    return specs;
  }

  void ReadPad(sj::object& o, Pending& p) {
    Pad& pad = board_->pads[Obj(p).data];
    LevelSpec simple, top, mid, bottom;
    std::vector<LayerSpec> layers;
    int32_t maskExpansion = 40000, pasteExpansion = 0;
    int crPercent = 50;
    std::string net;
    const char* ruleAt = nullptr;
    std::string rule;
    int stackMode = -1;
    const char* stackAt = nullptr;
    p.layerRequired = false;
    ObjectFields(o, p, "pad", [&](std::string_view key, sj::value& v, const char* at) {
      if (key == "x" || key == "y") {
        XY(key, v, p);
      } else if (key == "name") {
        pad.name = BoundedString(v, key, 20);
      } else if (key == "hole") {
        pad.hole = NonNegative(v, key);
      } else if (key == "rotation") {
        pad.rotation = Angle(v, key);
      } else if (key == "size") {
        Size(v, key, simple.x, simple.y);
        simple.given = simple.haveSize = true;
      } else if (key == "shape") {
        simple.shape = Shape(v, key);
        simple.haveShape = true;
      } else if (key == "top") {
        top = Level(v, key);
      } else if (key == "mid") {
        mid = Level(v, key);
      } else if (key == "bottom") {
        bottom = Level(v, key);
      } else if (key == "layers") {
        layers = LayerSpecs(v, key);
      } else if (key == "stackMode") {
        stackAt = At(v);
        std::string_view s = String(v, key);
        if (s == "simple")
          stackMode = 0;
        else if (s == "topMiddleBottom")
          stackMode = 1;
        else if (s == "full")
          stackMode = 2;
        else
          Fail(stackAt, "field 'stackMode': expected \"simple\", \"topMiddleBottom\" or \"full\"");
      } else if (key == "cornerRadius") {
        crPercent = Int32(v, key, 0, 100);
      } else if (key == "solderMaskExpansion") {
        maskExpansion = Coord(v, key);
      } else if (key == "pasteMaskExpansion") {
        pasteExpansion = Coord(v, key);
      } else if (key == "net") {
        net = BoundedString(v, key, 255);
      } else if (key == "rule") {
        ruleAt = At(v);
        rule = BoundedString(v, key, 255);
      } else if (key == "plated") {
        pad.plated = Bool(v, key);
      } else {
        return false;
      }
      return true;
    });
    Object& obj = Obj(p);
    if (!p.haveLayer) {
      obj.layer = pad.hole > 0 ? 74 : 1;
      p.haveLayer = true;
    }
    const TV7_Layer layer = obj.layer;
    if (layer != 1 && layer != 32 && layer != 74 && !(layer >= 2 && layer <= 31))
      Fail(p.at, "field 'layer': a pad lies on a copper layer or on MultiLayer");
    if (pad.hole > 0 && layer != 74) Fail(p.at, "a pad with a hole lies on MultiLayer");
    if (!simple.given && !top.given) Fail(p.at, "missing field 'size' in a pad");
    if (simple.given && (top.given || mid.given || bottom.given))
      Fail(p.at, "a pad gives either 'size' or 'top'/'mid'/'bottom', not both");
    if (simple.given) top = mid = bottom = simple;
    if (!top.given) Fail(p.at, "missing field 'top' in a pad");
    if (!mid.given) mid = top;
    if (!bottom.given) bottom = top;
    pad.topX = top.x, pad.topY = top.y, pad.topShape = top.shape;
    pad.midX = mid.x, pad.midY = mid.y, pad.midShape = mid.shape;
    pad.botX = bottom.x, pad.botY = bottom.y, pad.botShape = bottom.shape;
    pad.stackMode = uint8_t(!layers.empty() ? 2 : (simple.given ? 0 : 1));
    if (stackMode >= 0) {
      if (stackMode < pad.stackMode)
        Fail(stackAt, "field 'stackMode': the pad's sizes need a larger stack mode");
      pad.stackMode = uint8_t(stackMode);
    }
    if (!rule.empty()) refs_.push_back({rule, ruleAt, p.self, Reference::kRule});

    // Copper on each layer of the 83-layer table.
    LayerCopper& c = pad.copper;
    auto put = [&](int l, int32_t x, int32_t y, uint8_t shape) {
      c.xSize[l] = x;
      c.ySize[l] = y;
      c.shape[l] = shape;
      c.crPercent[l] = shape == psRoundedRectangle ? uint8_t(crPercent) : 0;
    };
    auto expand = [](int32_t s, int32_t e) {
      int64_t v = int64_t(s) + 2 * int64_t(e);
      return int32_t(v < 0 ? 0 : v > INT32_MAX ? INT32_MAX : v);
    };
    if (layer == 74) {
      put(1, top.x, top.y, top.shape);
      for (int l = 2; l <= 31; ++l) put(l, mid.x, mid.y, mid.shape);
      put(32, bottom.x, bottom.y, bottom.shape);
      put(74, top.x, top.y, top.shape);
      put(37, expand(top.x, maskExpansion), expand(top.y, maskExpansion), top.shape);
      put(38, expand(bottom.x, maskExpansion), expand(bottom.y, maskExpansion), bottom.shape);
      pendingPlanePads_.push_back({p.self, net});
    } else {
      const LevelSpec& s = layer == 1 ? top : layer == 32 ? bottom : mid;
      put(int(layer), s.x, s.y, s.shape);
      if (layer == 1 || layer == 32) {
        const int paste = layer == 1 ? 35 : 36, mask = layer == 1 ? 37 : 38;
        put(paste, expand(s.x, pasteExpansion), expand(s.y, pasteExpansion), s.shape);
        put(mask, expand(s.x, maskExpansion), expand(s.y, maskExpansion), s.shape);
      }
    }
    for (const LayerSpec& s : layers) {
      if (s.x >= 0) {
        c.xSize[s.layer] = s.x;
        c.ySize[s.layer] = s.y;
      }
      if (s.shape >= 0) c.shape[s.layer] = uint8_t(s.shape);
      if (s.crPercent >= 0)
        c.crPercent[s.layer] = uint8_t(s.crPercent);
      else if (c.shape[s.layer] == psRoundedRectangle && c.crPercent[s.layer] == 0)
        c.crPercent[s.layer] = uint8_t(crPercent);
      if (s.layer >= 39 && s.layer <= 54) explicitPlanes_.push_back({p.self, s.layer});
    }
  }

  void ReadVia(sj::object& o, Pending& p) {
    Via& via = board_->vias[Obj(p).data];
    std::vector<LayerSpec> layers;
    std::string net, rule;
    const char* ruleAt = nullptr;
    bool size = false;
    p.layerRequired = false;
    ObjectFields(o, p, "via", [&](std::string_view key, sj::value& v, const char*) {
      if (key == "x" || key == "y") {
        XY(key, v, p);
      } else if (key == "size") {
        via.size = NonNegative(v, key);
        size = true;
      } else if (key == "hole") {
        via.hole = NonNegative(v, key);
      } else if (key == "from") {
        via.fromLayer = LegacyLayer(v, key);
      } else if (key == "to") {
        via.toLayer = LegacyLayer(v, key);
      } else if (key == "layers") {
        layers = LayerSpecs(v, key);
      } else if (key == "net") {
        net = BoundedString(v, key, 255);
      } else if (key == "rule") {
        ruleAt = At(v);
        rule = BoundedString(v, key, 255);
      } else {
        return false;
      }
      return true;
    });
    if (!size) Fail(p.at, "missing field 'size' in a via");
    if (via.hole >= via.size && via.size > 0)
      Fail(p.at, "a via's hole must be smaller than the via");
    Object& obj = Obj(p);
    if (p.haveLayer && obj.layer != 74) Fail(p.at, "field 'layer': a via lies on MultiLayer");
    obj.layer = 74;
    p.haveLayer = true;
    if (!IsElectrical(via.fromLayer) || !IsElectrical(via.toLayer) || via.fromLayer > 32 ||
        via.toLayer > 32)
      Fail(p.at, "a via spans signal layers ('from' and 'to')");
    if (!rule.empty()) refs_.push_back({rule, ruleAt, p.self, Reference::kRule});
    pendingVias_.push_back({p.self, net, std::move(layers), p.at});
  }

  void ReadTextFields(Text& t, Pending& p, sj::object& o, const char* what, bool* visible) {
    bool text = false;
    ObjectFields(o, p, what, [&](std::string_view key, sj::value& v, const char*) {
      if (key == "x" || key == "y") {
        XY(key, v, p);
      } else if (key == "text") {
        t.text = BoundedString(v, key, 254);
        text = true;
      } else if (key == "height") {
        t.height = NonNegative(v, key);
      } else if (key == "width") {
        t.width = NonNegative(v, key);
      } else if (key == "rotation") {
        t.rotation = Angle(v, key);
      } else if (key == "mirrored") {
        t.mirrored = Bool(v, key);
      } else if (key == "textAttr") {
        t.textAttr = Int32(v, key, INT32_MIN, INT32_MAX);
      } else if (key == "font") {
        std::string_view s = String(v, key);
        if (s == "stroke")
          t.fontKind = 0;
        else if (s == "trueType")
          t.fontKind = 1;
        else
          Fail(At(v), "field 'font': expected \"stroke\" or \"trueType\"");
      } else if (key == "fontName") {
        t.fontName = BoundedString(v, key, 255);
      } else if (key == "bold") {
        t.bold = Bool(v, key);
      } else if (key == "italic") {
        t.italic = Bool(v, key);
      } else if (key == "inverted") {
        t.inverted = Bool(v, key);
      } else if (key == "invertedBorder") {
        t.invertedBorder = NonNegative(v, key);
      } else if (key == "barCode") {
        t.barCode = Bool(v, key);
      } else if (visible && key == "visible") {
        *visible = Bool(v, key);
      } else {
        return false;
      }
      return true;
    });
    if (!text && !visible) Fail(p.at, std::string("missing field 'text' in a ") + what);
  }

  void ReadText(sj::object& o, Pending& p) {
    Text& t = board_->texts[Obj(p).data];
    t.height = 600000;
    t.width = 100000;
    ReadTextFields(t, p, o, "text", nullptr);
  }

  void ReadRegion(sj::object& o, Pending& p) {
    Region& r = board_->regions[Obj(p).data];
    bool outline = false;
    std::vector<Contour> holes;
    ObjectFields(o, p, "region", [&](std::string_view key, sj::value& v, const char* at) {
      if (key == "outline") {
        Contour c;
        c.points = Points(v, key);
        if (c.points.size() < 3) Fail(At(v), "field 'outline': a region has at least 3 points");
        r.contours.insert(r.contours.begin(), std::move(c));
        outline = true;
      } else if (key == "holes") {
        sj::array a = Array(v, key);
        Elements(a, at, [&](sj::value& h) {
          const char* hat = At(h);
          Contour c;
          c.points = Points(h, key);
          if (c.points.size() < 3) Fail(hat, "field 'holes': a hole has at least 3 points");
          holes.push_back(std::move(c));
        });
      } else {
        return false;
      }
      return true;
    });
    if (!outline) Fail(p.at, "missing field 'outline' in a region");
    for (auto& h : holes) r.contours.push_back(std::move(h));
  }

  void ReadComponent(sj::object& o, Pending& p) {
    const uint32_t ci = Obj(p).data;
    bool pattern = false;
    TextGiven desGiven, comGiven;
    p.layerRequired = false;
    ObjectFields(o, p, "component", [&](std::string_view key, sj::value& v, const char* at) {
      Component& c = board_->components[ci];
      if (key == "x" || key == "y") {
        XY(key, v, p);
      } else if (key == "pattern") {
        c.pattern = BoundedString(v, key, 250);
        pattern = true;
      } else if (key == "rotation") {
        c.rotation = Angle(v, key);
      } else if (key == "designator" || key == "comment") {
        const bool designator = key == "designator";
        sj::object to = ObjectValue(v, key);
        (designator ? desGiven : comGiven) = ReadComponentText(to, p.self, designator, At(v));
      } else if (key == "primitives") {
        ReadObjects(v, p.self, 0);
      } else if (key == "componentKind") {
        std::string_view s = String(v, key);
        static const std::string_view kinds[] = {"standard", "mechanical", "graphical",
                                                 "netTie",   "netTieBom",  "standardNoBom"};
        int k = -1;
        for (int i = 0; i < 6; ++i)
          if (kinds[i] == s) k = i;
        if (k < 0) Fail(At(v), "field 'componentKind': unknown kind \"" + std::string(s) + "\"");
        board_->components[ci].componentKind = k;
      } else if (key == "channelOffset") {
        board_->components[ci].channelOffset = Int32(v, key, INT32_MIN, INT32_MAX);
      } else if (key == "sourceLinks") {
        static const std::string_view names[] = {
            "designator",       "uniqueId",         "hierarchicalPath", "footprintLibrary",
            "libraryReference", "componentLibrary", "description",      "channel"};
        sj::object so = ObjectValue(v, key);
        Fields(so, [&](std::string_view sk, sj::value& sv, const char* sat) {
          for (int i = 0; i < 8; ++i)
            if (names[i] == sk) {
              board_->components[ci].sourceLinks[i] = BoundedString(sv, sk, 255);
              return;
            }
          Unknown(sat, sk, "the source links");
        });
      } else if (key == "model3D") {
        board_->components[ci].model3D = BoundedString(v, key, 255);
      } else if (key == "description") {
        board_->components[ci].description = BoundedString(v, key, 255);
      } else {
        return false;
      }
      return true;
    });
    Object& obj = Obj(p);
    if (!pattern) Fail(p.at, "missing field 'pattern' in a component");
    if (!p.haveLayer) obj.layer = 1;
    if (obj.layer != 1 && obj.layer != 32)
      Fail(p.at, "field 'layer': a component lies on TopLayer or BottomLayer");
    p.haveLayer = true;
    // Texts left out still exist, hidden, as in the editor.
    Component& c = board_->components[ci];
    if (!c.designator) c.designator = MakeComponentText(p.self, true), c.designatorVisible = false;
    if (!c.comment) c.comment = MakeComponentText(p.self, false), c.commentVisible = false;
    PlaceComponentText(p.self, c.designator, desGiven);
    PlaceComponentText(p.self, c.comment, comGiven);
  }

  uint32_t MakeComponentText(uint32_t comp, bool designator) {
    uint32_t t = NewObject(kText, uint32_t(board_->texts.size()));
    board_->texts.emplace_back();
    Text& text = board_->texts.back();
    text.height = 600000;
    text.width = 100000;
    Object& obj = board_->objects[t - 1];
    obj.component = comp;
    obj.bitField2 |= kBitField2InComponent;
    Component& c = board_->components[board_->objects[comp - 1].data];
    (designator ? c.designator : c.comment) = t;
    return t;
  }

  TextGiven ReadComponentText(sj::object& o, uint32_t comp, bool designator, const char* at) {
    {
      Component& c = board_->components[board_->objects[comp - 1].data];
      if (designator ? c.designator : c.comment)
        Fail(at, std::string("a component has one ") + (designator ? "designator" : "comment"));
    }
    uint32_t t = MakeComponentText(comp, designator);
    bool visible = true;
    TextGiven given;
    Text& text = board_->texts[board_->objects[t - 1].data];
    // Track which placement fields appear, so the component's defaults fill the rest.
    Fields(o, [&](std::string_view key, sj::value& v, const char* at) {
      if (key == "x") {
        board_->objects[t - 1].x = Coord(v, key), given.x = true;
      } else if (key == "y") {
        board_->objects[t - 1].y = Coord(v, key), given.y = true;
      } else if (key == "text") {
        text.text = BoundedString(v, key, 254);
      } else if (key == "height") {
        text.height = NonNegative(v, key);
      } else if (key == "width") {
        text.width = NonNegative(v, key);
      } else if (key == "rotation") {
        text.rotation = Angle(v, key);
      } else if (key == "mirrored") {
        text.mirrored = Bool(v, key), given.mirrored = true;
      } else if (key == "visible") {
        visible = Bool(v, key);
      } else if (key == "layer") {
        board_->objects[t - 1].layer = Layer(v, key), given.layer = true;
      } else if (key == "font") {
        std::string_view s = String(v, key);
        if (s != "stroke" && s != "trueType")
          Fail(At(v), "field 'font': expected \"stroke\" or \"trueType\"");
        text.fontKind = s == "trueType";
      } else if (key == "fontName") {
        text.fontName = BoundedString(v, key, 255);
      } else if (key == "selected") {
        if (Bool(v, key)) board_->objects[t - 1].flags |= kFlagSelected;
      } else {
        Unknown(at, key, designator ? "the designator" : "the comment");
      }
    });
    Component& c2 = board_->components[board_->objects[comp - 1].data];
    (designator ? c2.designatorVisible : c2.commentVisible) = visible;
    return given;
  }

  // Texts of a component default to its overlay and its reference point; on
  // the bottom side they read mirrored, as the editor places them.
  void PlaceComponentText(uint32_t comp, uint32_t t, const TextGiven& given) {
    const Object& c = board_->objects[comp - 1];
    Object& o = board_->objects[t - 1];
    Text& text = board_->texts[o.data];
    const bool bottom = c.layer == 32;
    if (!given.layer) o.layer = bottom ? 34 : 33;
    if (!given.x) o.x = c.x;
    if (!given.y) o.y = c.y;
    if (!given.mirrored) text.mirrored = bottom;
  }

  void ReadGroup(sj::object& o, Pending& p, uint32_t component) {
    const uint32_t gi = Obj(p).data;
    const Kind kind = Obj(p).kind;
    p.layerRequired = kind == kPolygon || kind == kSplitPlane;
    ObjectFields(o, p, KindName(kind), [&](std::string_view key, sj::value& v, const char*) {
      if (key == "name") {
        board_->groups[gi].name = BoundedString(v, key, 255);
      } else if (key == "outline") {
        board_->groups[gi].outline = Points(v, key);
      } else if (key == "x" || key == "y") {
        XY(key, v, p);
      } else if (key == "primitives") {
        ReadObjects2(v, component, p.self);
      } else {
        return false;
      }
      return true;
    });
  }

  void ReadObjects2(sj::value& v, uint32_t component, uint32_t owner) {
    const char* at = At(v);
    sj::array a = Array(v, "primitives");
    Elements(a, at, [&](sj::value& e) { ReadObject(e, component, owner); });
  }

  void ReadBody(sj::object& o, Pending& p) {
    ComponentBody& b = board_->bodies[Obj(p).data];
    ObjectFields(o, p, "componentBody", [&](std::string_view key, sj::value& v, const char*) {
      if (key == "outline") {
        b.outline = Points(v, key);
      } else if (key == "model") {
        b.model = BoundedString(v, key, 255);
      } else {
        return false;
      }
      return true;
    });
  }

  void ReadEmbedded(sj::object& o, Pending& p) {
    EmbeddedBoard& e = board_->embedded[Obj(p).data];
    p.layerRequired = false;
    bool document = false;
    ObjectFields(o, p, "embeddedBoard", [&](std::string_view key, sj::value& v, const char*) {
      if (key == "x" || key == "y") {
        XY(key, v, p);
      } else if (key == "document") {
        e.document = BoundedString(v, key, 255);
        document = true;
      } else if (key == "rows") {
        e.rows = Int32(v, key, 1, 1000);
      } else if (key == "columns") {
        e.columns = Int32(v, key, 1, 1000);
      } else if (key == "rowSpacing") {
        e.rowSpacing = Coord(v, key);
      } else if (key == "columnSpacing") {
        e.columnSpacing = Coord(v, key);
      } else if (key == "rotation") {
        e.rotation = Angle(v, key);
      } else if (key == "mirrored") {
        e.mirrored = Bool(v, key);
      } else {
        return false;
      }
      return true;
    });
    if (!document) Fail(p.at, "missing field 'document' in an embedded board");
    if (!p.haveLayer) Obj(p).layer = 1;
    p.haveLayer = true;
  }

  // --- after the walk -------------------------------------------------------
  void Resolve() {
    for (Reference& r : refs_) {
      auto it = ids_.find(r.id);
      if (it == ids_.end()) Fail(r.at, "dangling reference: no object has the id \"" + r.id + "\"");
      const Object& target = board_->objects[it->second - 1];
      Object& obj = board_->objects[r.object - 1];
      if (r.kind == Reference::kRule) {
        if (target.kind != kRule) Fail(r.at, "field 'rule': \"" + r.id + "\" is not a rule");
        if (obj.kind == kPad)
          board_->pads[obj.data].rule = it->second;
        else
          board_->vias[obj.data].rule = it->second;
        continue;
      }
      if (target.kind != kPolygon && target.kind != kDimension && target.kind != kCoordinate &&
          target.kind != kSplitPlane)
        Fail(r.at, "field 'owner': \"" + r.id +
                       "\" is not a polygon, dimension, coordinate or split plane");
      if (obj.owners[0]) Fail(r.at, "field 'owner': the object already belongs to a group");
      if (it->second == r.object) Fail(r.at, "field 'owner': an object cannot own itself");
      obj.owners[0] = it->second;
      ownerAt_.resize(board_->objects.size(), nullptr);
      ownerAt_[r.object - 1] = r.at;
      if (obj.kind == kRegion) obj.bitField2 |= kBitField2Grouped;
      board_->groups[target.data].members.push_back(r.object);
    }
    ChainOwners();
  }

  // Owner references may point forwards, backwards and into each other, so
  // the chains are checked only once all are known: each object is climbed
  // from at most once (its depth is kept), which keeps the work linear in the
  // number of objects however long the chains; a cycle or a chain deeper than
  // the documented nesting is a fault of the document. The enclosing owners
  // are filled in from the outermost down, so they do not depend on the order
  // in which the references were written.
  void ChainOwners() {
    std::vector<Object>& objects = board_->objects;
    ownerAt_.resize(objects.size(), nullptr);
    constexpr int kUnknown = -1, kOnPath = -2;
    std::vector<int> depth(objects.size(), kUnknown);
    std::vector<uint32_t> path;
    for (uint32_t start = 1; start <= objects.size(); ++start) {
      if (depth[start - 1] != kUnknown) continue;
      path.clear();
      uint32_t o = start;
      while (o && depth[o - 1] == kUnknown) {
        depth[o - 1] = kOnPath;
        path.push_back(o);
        o = objects[o - 1].owners[0];
      }
      if (o && depth[o - 1] == kOnPath) {
        // The walk came back to itself: name a written reference of the loop.
        const char* at = nullptr;
        for (auto p = path.rbegin(); p != path.rend() && !at; ++p) {
          at = ownerAt_[*p - 1];
          if (*p == o) break;
        }
        Fail(at, "field 'owner': the owners form a cycle");
      }
      int level = o ? depth[o - 1] : 0;
      for (auto p = path.rbegin(); p != path.rend(); ++p) {
        Object& obj = objects[*p - 1];
        if (++level > kMaxNesting) {
          const char* at = ownerAt_[*p - 1] ? ownerAt_[*p - 1] : objectAt_[*p - 1];
          Fail(at, "objects nested deeper than " + std::to_string(kMaxNesting) +
                       " levels (counting their owners)");
        }
        depth[*p - 1] = level;
        if (const uint32_t up = obj.owners[0]) {
          obj.owners[1] = objects[up - 1].owners[0];
          obj.owners[2] = objects[up - 1].owners[1];
        }
      }
    }
  }

  bool InStack(TLayer l) const {
    for (TLayer s = 1; s; s = board_->layers[s].next)
      if (s == l) return true;
    return false;
  }

  // Where a pad or via meets an internal plane of its own net it joins it by
  // the rule's style; a relief is what the plane shows there.
  void Finish() {
    for (auto& [self, net] : pendingPlanePads_) {
      Pad& pad = board_->pads[board_->objects[self - 1].data];
      uint32_t rule = DominantPlaneRule(*board_, board_->objects[self - 1]);
      for (TLayer l = 39; l <= 54; ++l) {
        bool explicitLayer = false;
        for (auto& [o, el] : explicitPlanes_)
          if (o == self && el == l) explicitLayer = true;
        if (explicitLayer || !InStack(l) || net.empty() || board_->layers[l].net != net) continue;
        if (rule && board_->rules[board_->objects[rule - 1].data].style == kStyleRelief) {
          pad.copper.xSize[l] = pad.midX;
          pad.copper.ySize[l] = pad.midY;
          pad.copper.shape[l] = psPlaneRelief;
        }
      }
    }
    for (auto& pv : pendingVias_) {
      Via& via = board_->vias[board_->objects[pv.self - 1].data];
      uint32_t rule = DominantPlaneRule(*board_, board_->objects[pv.self - 1]);
      int lo = std::min(StackIndex(TLayer(via.fromLayer)), StackIndex(TLayer(via.toLayer)));
      int hi = std::max(StackIndex(TLayer(via.fromLayer)), StackIndex(TLayer(via.toLayer)));
      if (lo < 0) Fail(pv.at, "a via spans a layer that is not in the layer stack");
      int i = 0;
      for (TLayer s = 1; s; s = board_->layers[s].next, ++i) {
        if (i < lo || i > hi) continue;
        if (s <= 32) {
          via.copper.xSize[s] = via.copper.ySize[s] = via.size;
          via.copper.shape[s] = psRound;
        } else if (!pv.net.empty() && board_->layers[s].net == pv.net && rule &&
                   board_->rules[board_->objects[rule - 1].data].style == kStyleRelief) {
          via.copper.xSize[s] = via.copper.ySize[s] = via.size;
          via.copper.shape[s] = psPlaneRelief;
        }
      }
      via.copper.xSize[74] = via.copper.ySize[74] = via.size;
      via.copper.shape[74] = psRound;
      for (const LayerSpec& s : pv.layers) {
        if (s.x >= 0) {
          via.copper.xSize[s.layer] = s.x;
          via.copper.ySize[s.layer] = s.y;
        }
        if (s.shape >= 0) via.copper.shape[s.layer] = uint8_t(s.shape);
      }
    }
    std::vector<TLayer> stack;
    for (TLayer s = 1; s; s = board_->layers[s].next) stack.push_back(s);
    SetUsedLayersAndOrder(*board_, stack);
  }

  int StackIndex(TLayer l) const {
    int i = 0;
    for (TLayer s = 1; s; s = board_->layers[s].next, ++i)
      if (s == l) return i;
    return -1;
  }

  struct PendingVia {
    uint32_t self;
    std::string net;
    std::vector<LayerSpec> layers;
    const char* at;
  };

  static constexpr int kMaxNesting = 32;
  int depth_ = 0;
  // Where each object and each written owner reference stands, for the
  // faults found only after the walk (object index).
  std::vector<const char*> objectAt_;
  std::vector<const char*> ownerAt_;
  bool bom_ = false;
  std::string name_;
  simdjson::padded_string buffer_;
  const char* base_ = nullptr;
  sj::parser parser_;
  std::unique_ptr<Board> board_;
  double scale_ = 1.0;
  std::unordered_map<std::string, uint32_t> ids_;
  std::vector<Reference> refs_;
  std::vector<std::pair<uint32_t, std::string>> pendingPlanePads_;
  std::vector<std::pair<uint32_t, TLayer>> explicitPlanes_;
  std::vector<PendingVia> pendingVias_;
};

}  // namespace

std::unique_ptr<Board> LoadBoardFromText(std::string_view text, const std::string& name) {
  return Loader(simdjson::padded_string(text), name).Run();
}

namespace {

[[noreturn]] void Unreadable(const std::string& path, const std::string& why) {
  throw DocumentError{path, 0, 0, "cannot read the board document: " + why};
}

const char* NotAFile(mode_t mode) {
  if (S_ISDIR(mode)) return "it is a folder";
  if (S_ISFIFO(mode)) return "it is a named pipe (FIFO), not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a file";
  if (S_ISSOCK(mode)) return "it is a socket, not a file";
  return "it is not a regular file";
}

}  // namespace

std::unique_ptr<Board> LoadBoard(const std::string& path) {
  // Opened without blocking, so a pipe with no writer or a device cannot hold
  // the editor up before it is found out to be no document.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) Unreadable(path, std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) Unreadable(path, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) Unreadable(path, NotAFile(st.st_mode));
  simdjson::padded_string text(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) Unreadable(path, std::strerror(errno));
    if (n == 0) break;  // shortened while being read: what is there is the document
    done += static_cast<size_t>(n);
  }
  if (done < text.size()) {
    simdjson::padded_string shorter(text.data(), done);
    text = std::move(shorter);
  }
  return Loader(std::move(text), path).Run();
}

}  // namespace korvex
