#include "tav2/src/validate.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "abi/tav2.h"
#include "tav2/src/schema.h"

namespace tav2 {

namespace {

using namespace tav2abi;

// The releases written here all predate the 2049-character strings of later
// DXF: a string value is one line of at most 255 characters. In DWG a string
// carries its length in a 16-bit field.
constexpr size_t kDxfStringLimit = 255;
constexpr size_t kDwgStringLimit = 0xFFFF;

// The start of a value, for a message that names it without repeating it all.
std::string Quoted(std::string_view s) {
  constexpr size_t kShown = 40;
  std::string out = "\"";
  out.append(s.substr(0, kShown));
  if (s.size() > kShown) out += "...";
  return out + "\"";
}

// Group codes whose value is a 16-bit integer, and those of a 32-bit one.
bool Is16BitCode(int code) {
  return (code >= 60 && code <= 79) || (code >= 170 && code <= 179) ||
         (code >= 270 && code <= 289) || (code >= 370 && code <= 389) ||
         (code >= 400 && code <= 409) || code == 1070;
}
bool Is32BitCode(int code) {
  return (code >= 90 && code <= 99) || (code >= 420 && code <= 429) ||
         (code >= 440 && code <= 459) || code == 1071;
}

class Checker {
 public:
  Checker(int version, int format, std::string& error)
      : limit_(format == kFormatDwg ? kDwgStringLimit : kDxfStringLimit),
        where_(std::string(format == kFormatDwg ? "DWG" : "DXF") + " for AutoCAD " +
               schema::Info(version).name),
        error_(error) {}

  bool Text(std::string_view value, const std::string& what) {
    if (value.size() <= limit_) return true;
    error_ = what + ": the value " + Quoted(value) + " is " + std::to_string(value.size()) +
             " bytes long; a " + where_ + " holds at most " + std::to_string(limit_);
    return false;
  }

  bool Number(const HeaderValue& v, int k) {
    const double n = v.num[k];
    const int code = v.code[k];
    const char* width = Is16BitCode(code) ? "16-bit" : Is32BitCode(code) ? "32-bit" : nullptr;
    if (!std::isfinite(n)) return Refuse(v, k, "is not a finite number");
    if (!width) return true;
    const double lo = Is16BitCode(code) ? -32768.0 : -2147483648.0;
    const double hi = Is16BitCode(code) ? 32767.0 : 2147483647.0;
    if (n != std::floor(n) || n < lo || n > hi)
      return Refuse(v, k, std::string("is not a ") + width + " integer");
    return true;
  }

 private:
  bool Refuse(const HeaderValue& v, int k, const std::string& why) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", v.num[k]);
    error_ = "header variable " + v.name + ": the value " + text + " of group " +
             std::to_string(v.code[k]) + " " + why + ", which a " + where_ + " requires";
    return false;
  }

  size_t limit_;
  std::string where_;
  std::string& error_;
};

}  // namespace

bool ValidateForSave(const Drawing& d, int version, int format, std::string& error) {
  Checker c(version, format, error);
  for (const HeaderValue& v : d.header.defaults)
    for (int k = 0; k < v.count; ++k) {
      const bool text = v.code[k] >= 0 && v.code[k] <= 9;
      if (text ? !c.Text(v.text, "header variable " + v.name) : !c.Number(v, k)) return false;
    }
  for (const Linetype& lt : d.linetypes)
    if (!c.Text(lt.name, "line type name") ||
        !c.Text(lt.description, "line type " + lt.name + ": description"))
      return false;
  for (const Layer& l : d.layers)
    if (!c.Text(l.name, "layer name")) return false;
  for (const TextStyle& s : d.styles)
    if (!c.Text(s.name, "text style name") || !c.Text(s.font, "text style " + s.name + ": font") ||
        !c.Text(s.bigFont, "text style " + s.name + ": big font"))
      return false;
  for (const Appid& a : d.appids)
    if (!c.Text(a.name, "application name")) return false;
  for (const Dimstyle& s : d.dimstyles)
    if (!c.Text(s.name, "dimension style name")) return false;
  for (const Block& b : d.blocks)
    if (!c.Text(b.name, "block name")) return false;
  for (const Text& t : d.texts)
    if (!c.Text(d.TextValue(t), "TEXT entity")) return false;
  return true;
}

}  // namespace tav2
