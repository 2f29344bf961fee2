// KiCad boards: tokens, numbers, lengths, layers named in lists, texts, and
// the errors that say where in the file a fault lies.
#include <charconv>

#include "korvex/src/kicad/reader.h"
#include "korvex/src/layernames.h"

namespace korvex::kicad {

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

[[noreturn]] void Reader::Fail(size_t offset, const std::string& message) {
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

std::string Reader::Shown(const Token& t) {
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

[[noreturn]] void Reader::Unexpected(const Token& t, const std::string& wanted) {
  Fail(tok_.Offset(t.at), "expected " + wanted + ", found " + Shown(t));
}

void Reader::Open() {
  Token t = tok_.Next();
  if (t.kind != Tok::kOpen) Unexpected(t, "'('");
}

void Reader::Close() {
  Token t = tok_.Next();
  if (t.kind != Tok::kClose) Unexpected(t, "')'");
}

std::string_view Reader::Symbol() {
  Token t = tok_.Next();
  if (t.kind != Tok::kAtom) Unexpected(t, "a name");
  return t.text;
}

std::string_view Reader::Text() {
  Token t = tok_.Next();
  if (t.kind != Tok::kAtom && t.kind != Tok::kString) Unexpected(t, "a text");
  return t.text;
}

namespace {

// Board files write short decimals ("12.7", "-0.1524"): up to 15 digits are
// an exact integer over an exact power of ten, and one correctly rounded
// division gives the double a full decimal parser would. False for anything
// else (exponents, longer numbers), which takes the full parser.
bool ShortDecimal(const char* b, const char* e, double& v) {
  static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = b < e && *b == '-';
  if (negative) ++b;
  uint64_t m = 0;
  int digits = 0, fraction = 0;
  bool point = false;
  if (b == e || *b < '0' || *b > '9') return false;
  for (; b < e; ++b) {
    if (*b >= '0' && *b <= '9') {
      m = m * 10 + static_cast<uint64_t>(*b - '0');
      ++digits;
      fraction += point;
    } else if (*b == '.' && !point) {
      point = true;
    } else {
      return false;
    }
    if (digits > 15) return false;
  }
  v = static_cast<double>(m) / kPow10[fraction];
  if (negative) v = -v;
  return true;
}

}  // namespace

double Reader::Number() {
  Token t = tok_.Next();
  double v = 0;
  if (t.kind == Tok::kAtom) {
    const char* b = t.text.data();
    const char* e = b + t.text.size();
    if (b < e && *b == '+') ++b;
    if (ShortDecimal(b, e, v)) return v;
    auto r = std::from_chars(b, e, v);
    if (r.ec == std::errc() && r.ptr == e && std::isfinite(v)) return v;
  }
  Unexpected(t, "a number");
}

// Skips what is left of the current list, its closing parenthesis included.
void Reader::Skip() {
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

int32_t Reader::Units(double mm, const Token& at) {
  const double v = std::nearbyint(mm * kPcbPerMm);
  if (!(v >= -2147483647.0 && v <= 2147483647.0))
    Fail(tok_.Offset(at.at), "a coordinate beyond the board's range (about ±5.4 m)");
  return int32_t(v);
}

int32_t Reader::ToUnits(double units, const Token& at) {
  const double v = std::nearbyint(units);
  if (!(v >= -2147483647.0 && v <= 2147483647.0))
    Fail(tok_.Offset(at.at), "a coordinate beyond the board's range (about ±5.4 m)");
  return int32_t(v);
}

// (xy x y) and the like, read after the head: board units, Y up.
PointD Reader::XY() {
  PointD p;
  p.x = Number() * kPcbPerMm;
  p.y = -Number() * kPcbPerMm;
  return p;
}

PointD Reader::XYList() {
  PointD p = XY();
  while (!AtClose()) tok_.Next();
  Close();
  return p;
}

double Reader::LengthList() {
  const double v = Number() * kPcbPerMm;
  while (!AtClose()) tok_.Next();
  Close();
  return v;
}

// (at x y [angle] [unlocked])
void Reader::At(PointD& p, double& angle) {
  p = XY();
  angle = 0;
  if (tok_.Peek().kind == Tok::kAtom && tok_.Peek().text != "unlocked") angle = Number();
  while (!AtClose()) tok_.Next();
  Close();
}

// (width w) or (stroke (width w) (type ...))
bool Reader::Width(std::string_view head, double& w) {
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
bool Reader::Fill(std::string_view head, bool& filled) {
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

// The editor keeps 8-bit text (Windows-1252): characters it cannot hold
// become '?', counted.
std::string Reader::Latin(std::string_view s, size_t max) {
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

}  // namespace korvex::kicad
