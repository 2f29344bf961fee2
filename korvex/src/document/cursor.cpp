#include "korvex/src/document/cursor.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "korvex/src/layernames.h"

namespace korvex::document {

namespace {

// The editor's code page, Windows-1252: the byte of a code point, or -1.
int CodePageByte(uint32_t cp) {
  if (cp >= 0xA0 && cp <= 0xFF) return int(cp);
  static const uint16_t high[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  for (int k = 0; k < 32; ++k)
    if (high[k] && high[k] == cp) return 0x80 + k;
  return -1;
}

}  // namespace

Cursor::Cursor(simdjson::padded_string text, std::string name)
    : name_(std::move(name)), buffer_(std::move(text)) {
  base_ = buffer_.data();
  // Editors on some systems start UTF-8 files with a byte order mark; it
  // carries nothing, so it reads as blanks that columns do not count.
  if (buffer_.size() >= 3 && std::memcmp(base_, "\xEF\xBB\xBF", 3) == 0) {
    std::memset(buffer_.data(), ' ', 3);
    bom_ = true;
  }
}

// --- errors -------------------------------------------------------------------
void Cursor::Fail(const char* at, const std::string& message) const {
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

void Cursor::SyntaxFault(simdjson::error_code e, const char* at) const {
  rapidjson::Reader reader;
  rapidjson::BaseReaderHandler<> handler;
  rapidjson::MemoryStream ms(base_, buffer_.size());
  rapidjson::ParseResult r =
      reader.Parse<rapidjson::kParseValidateEncodingFlag | rapidjson::kParseIterativeFlag>(ms,
                                                                                           handler);
  if (r.IsError())
    Fail(base_ + r.Offset(), std::string("invalid JSON: ") + rapidjson::GetParseError_En(r.Code()));
  if (e == simdjson::CAPACITY) Fail(nullptr, "the document is larger than 4 GB");
  Fail(at, std::string("invalid JSON: ") + simdjson::error_message(e));
}

void Cursor::Trailing(sj::document& doc) const {
  const char* at = nullptr;
  if (doc.current_location().get(at) == simdjson::SUCCESS) Syntax(simdjson::TRAILING_CONTENT, at);
}

const char* Cursor::Location(sj::document& doc) {
  const char* at = nullptr;
  if (doc.current_location().get(at) != simdjson::SUCCESS) return nullptr;
  return at;
}

void Cursor::Expected(sj::value& v, std::string_view field, const char* what) const {
  Fail(At(v), "field '" + std::string(field) + "': expected " + what);
}

void Cursor::Unknown(const char* at, std::string_view key, std::string_view what) const {
  Fail(at, "unknown field '" + std::string(key) + "' in " + std::string(what));
}

// --- values -------------------------------------------------------------------
template <class T>
T Cursor::Take(sj::value& v, std::string_view field, sj::json_type type, const char* what) const {
  const char* at = At(v);
  if (Type(v) != type) Expected(v, field, what);
  T out{};
  Syntax(v.get<T>().get(out), at);
  return out;
}

std::string_view Cursor::String(sj::value& v, std::string_view field) const {
  return Take<std::string_view>(v, field, sj::json_type::string, "a string");
}

// Texts of the editor are 8-bit in its code page, Windows-1252; the document
// is UTF-8. A character the code page lacks is refused rather than written as
// bytes that would show as something else.
std::string Cursor::BoundedString(sj::value& v, std::string_view field, size_t max) const {
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
    Fail(at,
         "field '" + std::string(field) + "': longer than " + std::to_string(max) + " characters");
  return out;
}

bool Cursor::Bool(sj::value& v, std::string_view field) const {
  return Take<bool>(v, field, sj::json_type::boolean, "true or false");
}

double Cursor::Number(sj::value& v, std::string_view field) const {
  return Take<double>(v, field, sj::json_type::number, "a number");
}

int64_t Cursor::Int(sj::value& v, std::string_view field) const {
  const char* at = At(v);
  if (Type(v) != sj::json_type::number) Expected(v, field, "an integer");
  int64_t i = 0;
  if (v.get_int64().get(i) != simdjson::SUCCESS)
    Fail(at, "field '" + std::string(field) + "': expected an integer");
  return i;
}

int32_t Cursor::Int32(sj::value& v, std::string_view field, int64_t lo, int64_t hi) const {
  const char* at = At(v);
  int64_t i = Int(v, field);
  if (i < lo || i > hi)
    Fail(at, "field '" + std::string(field) + "': " + std::to_string(i) + " is outside " +
                 std::to_string(lo) + ".." + std::to_string(hi));
  return int32_t(i);
}

int32_t Cursor::Coord(sj::value& v, std::string_view field) const {
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

int32_t Cursor::NonNegative(sj::value& v, std::string_view field) const {
  const char* at = At(v);
  int32_t c = Coord(v, field);
  if (c < 0) Fail(at, "field '" + std::string(field) + "': cannot be negative");
  return c;
}

double Cursor::Angle(sj::value& v, std::string_view field) const {
  const char* at = At(v);
  double d = Number(v, field);
  if (!std::isfinite(d) || std::fabs(d) > 1e6)
    Fail(at, "field '" + std::string(field) + "': not a usable angle");
  return d;
}

Point Cursor::PointOf(sj::value& v, std::string_view field) const {
  const char* at = At(v);
  sj::array a = Take<sj::array>(v, field, sj::json_type::array, "a point [x, y]");
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

std::vector<Point> Cursor::Points(sj::value& v, std::string_view field) const {
  const char* at = At(v);
  sj::array a = Take<sj::array>(v, field, sj::json_type::array, "a list of points");
  std::vector<Point> pts;
  for (auto e : a) {
    sj::value p;
    Syntax(std::move(e).get(p), at);
    pts.push_back(PointOf(p, field));
  }
  return pts;
}

TV7_Layer Cursor::Layer(sj::value& v, std::string_view field) const {
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

TLayer Cursor::LegacyLayer(sj::value& v, std::string_view field) const {
  const char* at = At(v);
  TV7_Layer l = Layer(v, field);
  if (l > 82)
    Fail(at, "field '" + std::string(field) + "': this layer has no place in the layer table");
  return TLayer(l);
}

uint8_t Cursor::Shape(sj::value& v, std::string_view field) const {
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

size_t Cursor::Choice(sj::value& v, std::string_view field, std::span<const std::string_view> names,
                      const char* refusal, bool namesValue) const {
  const char* at = At(v);
  const std::string_view s = String(v, field);
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == s) return i;
  Fail(at, "field '" + std::string(field) + "': " + refusal +
               (namesValue ? "\"" + std::string(s) + "\"" : std::string()));
}

void Cursor::Size(sj::value& v, std::string_view field, int32_t& x, int32_t& y) const {
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

sj::object Cursor::ObjectValue(sj::value& v, std::string_view field) const {
  return Take<sj::object>(v, field, sj::json_type::object, "an object");
}

sj::array Cursor::Array(sj::value& v, std::string_view field) const {
  return Take<sj::array>(v, field, sj::json_type::array, "a list");
}

}  // namespace korvex::document
