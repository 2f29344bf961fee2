// The JSON cursor of the board document reader: reads one value at a time in
// the document's units and checks it on the way; any fault stops the load
// with the file, line and column of the offending token and the field it
// belongs to. Syntax faults are located with a second, strict parser so that
// the position is exact even where the fast parser only knows that the
// structure broke.
#pragma once

#include <simdjson.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "korvex/src/board.h"

namespace korvex::document {

namespace sj = simdjson::ondemand;

class Cursor {
 public:
  Cursor(simdjson::padded_string text, std::string name);

  // --- errors ---------------------------------------------------------------
  [[noreturn]] void Fail(const char* at, const std::string& message) const;
  // A fault of the JSON text itself: find where it is with the strict parser.
  // Every value read passes here, so the check stays inline.
  void Syntax(simdjson::error_code e, const char* at) const {
    if (e != simdjson::SUCCESS) [[unlikely]]
      SyntaxFault(e, at);
  }
  [[noreturn]] void SyntaxFault(simdjson::error_code e, const char* at) const;
  void Trailing(sj::document& doc) const;
  static const char* Location(sj::document& doc);
  [[noreturn]] void Expected(sj::value& v, std::string_view field, const char* what) const;
  [[noreturn]] void Unknown(const char* at, std::string_view key, std::string_view what) const;

  // --- values ---------------------------------------------------------------
  static const char* At(sj::value& v) { return v.raw_json_token().data(); }
  sj::json_type Type(sj::value& v) const {
    sj::json_type t = sj::json_type::null;
    Syntax(v.type().get(t), At(v));
    return t;
  }
  std::string_view String(sj::value& v, std::string_view field) const;
  // A text of the editor: in its code page and at most max characters long.
  std::string BoundedString(sj::value& v, std::string_view field, size_t max) const;
  bool Bool(sj::value& v, std::string_view field) const;
  double Number(sj::value& v, std::string_view field) const;
  int64_t Int(sj::value& v, std::string_view field) const;
  int32_t Int32(sj::value& v, std::string_view field, int64_t lo, int64_t hi) const;
  // A length or coordinate: a number in the document's units, or a string
  // with its own unit ("12.5mil", "0.3mm", "0.1in", "125000pcb").
  int32_t Coord(sj::value& v, std::string_view field) const;
  int32_t NonNegative(sj::value& v, std::string_view field) const;
  double Angle(sj::value& v, std::string_view field) const;
  Point PointOf(sj::value& v, std::string_view field) const;
  std::vector<Point> Points(sj::value& v, std::string_view field) const;
  TV7_Layer Layer(sj::value& v, std::string_view field) const;
  // A layer of the 83-layer table (TLayer).
  TLayer LegacyLayer(sj::value& v, std::string_view field) const;
  uint8_t Shape(sj::value& v, std::string_view field) const;
  // One of `names`: its index. Anything else is refused with "field '<field>': "
  // and the refusal, followed by the value given, in quotes, when namesValue.
  size_t Choice(sj::value& v, std::string_view field, std::span<const std::string_view> names,
                const char* refusal, bool namesValue = false) const;
  // A size: one length for both axes or [x, y].
  void Size(sj::value& v, std::string_view field, int32_t& x, int32_t& y) const;
  sj::object ObjectValue(sj::value& v, std::string_view field) const;
  sj::array Array(sj::value& v, std::string_view field) const;

  // Calls each(key, value, where the key stands) for every field of o, and
  // refuses a field given twice (one of its values would go unread).
  template <class F>
  void Fields(sj::object& o, F&& each) const {
    // The keys stay valid in the parser's buffer for the whole document.
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
  void Elements(sj::array& a, const char* at, F&& each) const {
    for (auto e : a) {
      sj::value v;
      Syntax(std::move(e).get(v), at);
      each(v);
    }
  }

 protected:
  std::string_view Key(sj::field& field) const {
    std::string_view key;
    // Taking the unescaped key consumes the raw one: note where it stood first.
    const char* at = field.key().raw() - 1;
    Syntax(field.unescaped_key().get(key), at);
    return key;
  }
  // A value of the JSON type `type` ("expected <what>" otherwise).
  template <class T>
  T Take(sj::value& v, std::string_view field, sj::json_type type, const char* what) const;

  std::string name_;
  simdjson::padded_string buffer_;
  const char* base_ = nullptr;
  bool bom_ = false;
  sj::parser parser_;
  double scale_ = 1.0;  // board units per document unit
};

inline constexpr double kPcbPerInch = 10000000.0;

}  // namespace korvex::document
