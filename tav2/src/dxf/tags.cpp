#include "tav2/src/dxf/tags.h"

#include <charconv>
#include <cstring>

#include "platform/text.h"

namespace tav2::dxf {

ValueType TypeOf(int code) {
  if (code <= 9 || code == 100 || code == 102 || (code >= 300 && code <= 309) ||
      (code >= 1000 && code <= 1009))
    return ValueType::Text;
  if (code == 5 || code == 105 || (code >= 310 && code <= 369) || (code >= 390 && code <= 399))
    return ValueType::Hex;
  if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
      (code >= 1010 && code <= 1059))
    return ValueType::Real;
  return ValueType::Int;
}

Tags::Tags(OutputSink& out)
    : o_(out), codes_(CodeTable()), realLines_(new RealLine[size_t{1} << kRealLineBits]()) {}

// Group codes as DXF lays them out ("  0", " 10", "100", then CR LF),
// formatted once for all codes.
const Tags::CodeText* Tags::CodeTable() {
  static const auto table = [] {
    static CodeText t[kMaxCode + 1];
    for (int code = 0; code <= kMaxCode; ++code) {
      char* p = t[code].text;
      if (code < 10) *p++ = ' ';
      if (code < 100) *p++ = ' ';
      p = std::to_chars(p, t[code].text + 8, code).ptr;
      *p++ = '\r';
      *p++ = '\n';
      t[code].size = static_cast<uint8_t>(p - t[code].text);
    }
    return t;
  }();
  return table;
}

void Tags::Code(int code) {
  const CodeText& c = codes_[code];
  char* p = o_.Reserve(8);
  std::memcpy(p, c.text, 8);
  o_.Advance(p + c.size);
}

void Tags::Text(int code, std::string_view s) {
  Code(code);
  bool plain = true;
  for (unsigned char c : s)
    if (c < 0x20) plain = false;
  if (s.empty()) {
  } else if (plain) {
    o_.Put(s);
  } else {
    for (unsigned char c : s) {
      if (c < 0x20) {
        o_.Put('^');
        o_.Put(static_cast<char>(c + 64));
      } else {
        o_.Put(static_cast<char>(c));
      }
    }
  }
  o_.Put("\r\n");
}

void Tags::Real(int code, double v) {
  Code(code);
  uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  RealLine& line = realLines_[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kRealLineBits)];
  char* p = o_.Reserve(sizeof line.text);
  if (line.size != 0 && line.bits == bits) {
    std::memcpy(p, line.text, sizeof line.text);
    return o_.Advance(p + line.size);
  }
  char* start = p;
  p = std::to_chars(p, p + 25, v).ptr;
  // A whole number gets ".0", so that it reads as a real; anything else
  // (point, exponent, inf, nan) has a character past the sign that is not a
  // digit.
  bool whole = true;
  for (char* q = start + (*start == '-'); q != p; ++q)
    if (static_cast<unsigned char>(*q - '0') > 9) {
      whole = false;
      break;
    }
  if (whole) {
    *p++ = '.';
    *p++ = '0';
  }
  *p++ = '\r';
  *p++ = '\n';
  line.bits = bits;
  line.size = static_cast<uint8_t>(p - start);
  std::memcpy(line.text, start, line.size);
  o_.Advance(p);
}

void Tags::Int(int code, long v) {
  Code(code);
  char* p = o_.Reserve(24);
  p = std::to_chars(p, p + 20, v).ptr;
  *p++ = '\r';
  *p++ = '\n';
  o_.Advance(p);
}

void Tags::Hex(int code, uint64_t v) {
  Code(code);
  char* p = o_.Reserve(24);
  char* start = p;
  p = std::to_chars(p, p + 20, v, 16).ptr;
  for (char* q = start; q != p; ++q) *q = platform::ToUpperAscii(*q);
  *p++ = '\r';
  *p++ = '\n';
  o_.Advance(p);
}

}  // namespace tav2::dxf
