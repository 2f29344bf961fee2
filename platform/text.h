// Text helpers every module shares. Letter case is folded for ASCII only:
// names, keys and file extensions compare the same whatever the process
// locale, and bytes of other encodings compare exactly.
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr char ToLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char ToUpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i])) return false;
  return true;
}

inline std::string ToLower(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = ToLowerAscii(c);
  return r;
}
inline std::string ToUpper(std::string_view s) {
  std::string r(s);
  for (char& c : r) c = ToUpperAscii(c);
  return r;
}

}  // namespace platform
