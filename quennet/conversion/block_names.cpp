#include "quennet/conversion/block_names.h"

#include <charconv>

#include "quennet/conversion/converters.h"

namespace quennet {

namespace {

// "_B" for components off the top layer, then "_" and the block number.
size_t FormatSuffix(bool onTop, int32_t n, char (&buf)[16]) {
  size_t len = 0;
  if (!onTop) {
    buf[len++] = '_';
    buf[len++] = 'B';
  }
  buf[len++] = '_';
  const auto res = std::to_chars(buf + len, buf + sizeof buf, n);
  return static_cast<size_t>(res.ptr - buf);
}

void SanitizeInPlace(std::string& s) {
  for (char& c : s) {
    const bool keep = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_';
    if (!keep) c = '_';
  }
}

}  // namespace

std::string SanitizeBlockName(std::string_view name) {
  std::string out(name);
  SanitizeInPlace(out);
  return out;
}

std::string PatternBlockName(std::string_view pattern, bool onTop, int32_t n) {
  char suffix[16];
  const size_t suffixLen = FormatSuffix(onTop, n, suffix);
  std::string name;
  name.reserve(kMaxBlockName);
  name.append(pattern.substr(0, kMaxBlockName));
  name.append(suffix, suffixLen);
  if (name.size() > kMaxBlockName) name.resize(kMaxBlockName);
  SanitizeInPlace(name);
  return name;
}

std::string WholeNumberBlockName(std::string_view pattern, bool onTop, int32_t n) {
  char suffix[16];
  const size_t suffixLen = FormatSuffix(onTop, n, suffix);
  std::string name;
  name.reserve(kMaxBlockName);
  name.append(pattern.substr(0, kMaxBlockName - suffixLen));
  name.append(suffix, suffixLen);
  SanitizeInPlace(name);
  return name;
}

}  // namespace quennet
