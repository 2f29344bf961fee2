// DXF group output: a group code on its line, the value on the next, each
// line ended by CR LF, formatted straight into the output buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "tav2/src/output.h"

namespace tav2::dxf {

enum class ValueType { Text, Real, Int, Hex };

// The value type a group code carries.
ValueType TypeOf(int code);

class Tags {
 public:
  explicit Tags(OutputSink& out);

  // Control characters would end the line early and break the file; they
  // are written in caret form (^J for a line feed).
  void Text(int code, std::string_view s);
  void Real(int code, double v);
  void Int(int code, long v);
  void Hex(int code, uint64_t v);
  // A number in the form its group code takes.
  void Number(int code, double v) { Number(TypeOf(code), code, v); }
  void Number(ValueType type, int code, double v) {
    switch (type) {
      case ValueType::Real:
        return Real(code, v);
      case ValueType::Hex:
        return Hex(code, static_cast<uint64_t>(v));
      default:
        return Int(code, static_cast<long>(v));
    }
  }

  void Section(const char* name) {
    Text(0, "SECTION");
    Text(2, name);
  }
  void EndSection() { Text(0, "ENDSEC"); }

  bool Failed() const { return o_.Failed(); }

 private:
  struct CodeText {
    char text[8];
    uint8_t size;
  };
  static constexpr int kMaxCode = 1071;
  static const CodeText* CodeTable();
  void Code(int code);

  // A board repeats its numbers (widths, zeros, the shared ends of segments,
  // the grid of a zone fill): their value lines are kept by the double's
  // bits, and most numbers are copied rather than formatted again.
  struct RealLine {
    uint64_t bits;
    uint8_t size;  // 0 = empty slot
    char text[31];
  };
  static constexpr int kRealLineBits = 10;

  OutputSink& o_;
  const CodeText* const codes_;
  std::unique_ptr<RealLine[]> realLines_;
};

}  // namespace tav2::dxf
