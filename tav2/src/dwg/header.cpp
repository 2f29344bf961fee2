// The header variables and the class section, walked from their description.
#include <cmath>
#include <numbers>

#include "tav2/src/dwg/writer.h"

namespace tav2::dwg {

namespace {

constexpr std::uint8_t kHeaderBegin[16] = {0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                           0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
constexpr std::uint8_t kHeaderEnd[16] = {0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56,
                                         0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};
constexpr std::uint8_t kClassesBegin[16] = {0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                            0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
constexpr std::uint8_t kClassesEnd[16] = {0x72, 0x5E, 0x3B, 0x47, 0x3B, 0x56, 0x07, 0x3A,
                                          0x3F, 0x23, 0x0B, 0xA0, 0x18, 0x30, 0x49, 0x75};

}  // namespace

void Writer::WriteHeaderVariables() {
  using schema::Dwg;
  BitWriter& w = data_;
  w.Clear();
  for (const schema::DwgVarSpec& var : schema::DwgHeaderVars()) {
    if (rel_ < var.first || rel_ > var.last) continue;
    // Component i of the variable: its group code steps by ten (10, 20, 30).
    auto num = [&](int i = 0) {
      if (!var.name) return var.def;
      const int code = var.code + 10 * i;
      const double x = values_.HeaderNumber(var.name, code, var.def);
      return IsAngleCode(var.code) ? x * (std::numbers::pi / 180.0) : x;
    };
    switch (var.type) {
      case Dwg::B:
        w.B(num() != 0);
        break;
      case Dwg::BS:
        w.BS(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(num()))));
        break;
      case Dwg::BL:
        w.BL(static_cast<std::uint32_t>(num()));
        break;
      case Dwg::BD:
        w.BD(num());
        break;
      case Dwg::RC:
        w.RC(static_cast<std::uint8_t>(static_cast<int>(num())));
        break;
      case Dwg::RD2:
        w.RD2(num(0), num(1));
        break;
      case Dwg::BD3:
        w.BD3(num(0), num(1), num(2));
        break;
      case Dwg::T:
        w.T(var.name ? values_.HeaderText(var.name) : std::string_view(var.text));
        break;
      case Dwg::CMC:
        w.CMC(static_cast<std::int16_t>(num()));
        break;
      case Dwg::H:
        w.H(static_cast<std::uint8_t>(var.def), RefHandle(var.name ? var.name : ""));
        break;
      case Dwg::Date: {
        const double jd = num();
        const double days = std::floor(jd);
        w.BL(static_cast<std::uint32_t>(days));
        w.BL(static_cast<std::uint32_t>(std::lround((jd - days) * 86400000.0)));
        break;
      }
      default:
        break;  // the header has no other kinds of value
    }
  }
  WriteSection(0, kHeaderBegin, kHeaderEnd);
}

void Writer::WriteClasses() {
  BitWriter& w = data_;
  w.Clear();
  for (const schema::ClassSpec& c : schema::Classes()) {
    w.BS(c.number);
    w.BS(c.proxyFlags);
    w.T(c.application);
    w.T(c.cppName);
    w.T(c.dxfName);
    w.B(false);  // not a zombie
    w.BS(c.entity ? 0x1F2 : 0x1F3);
  }
  WriteSection(1, kClassesBegin, kClassesEnd);
}

}  // namespace tav2::dwg
