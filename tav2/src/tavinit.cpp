#include "tav2/src/tavinit.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tav2/src/schema.h"

namespace tav2 {

namespace {

// Splits one line into words; "..." makes one word that may hold spaces or be
// empty. Returns false on an unterminated quote.
bool Words(std::string_view line, std::vector<std::string>& out) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] == '#') break;
    if (line[i] == '"') {
      const size_t close = line.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      out.emplace_back(line.substr(i + 1, close - i - 1));
      i = close + 1;
    } else {
      size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
      out.emplace_back(line.substr(i, j - i));
      i = j;
    }
  }
  return true;
}

bool Number(const std::string& s, double& v) {
  const char* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, v);
  return ec == std::errc() && p == end && std::isfinite(v);
}

bool Integer(const std::string& s, long& v) {
  const char* end = s.data() + s.size();
  auto [p, ec] = std::from_chars(s.data(), end, v);
  return ec == std::errc() && p == end;
}

bool IsTextCode(long code) {
  return code >= 0 && code <= 9;
}

}  // namespace

bool ParseTavinit(std::string_view text, const std::string& fileName, EngineDefaults& out,
                  std::string& error) {
  EngineDefaults d;
  std::vector<std::string> w;
  std::string section;
  bool sawMagic = false, sawEnd = false;
  int lineNo = 0;
  size_t pos = 0;
  auto fail = [&](const std::string& what) {
    error = fileName + " line " + std::to_string(lineNo) + ": " + what;
    return false;
  };
  while (pos < text.size() && !sawEnd) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view line = text.substr(pos, eol - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = eol + 1;
    ++lineNo;
    if (!Words(line, w)) return fail("unterminated quoted text");
    if (w.empty()) continue;
    if (!sawMagic) {
      if (w.size() != 2 || w[0] != "TAVINIT" || w[1] != "1")
        return fail("expected \"TAVINIT 1\" as the first line, found \"" + std::string(line) +
                    "\"");
      sawMagic = true;
      continue;
    }
    if (w[0] == "END" && w.size() == 1) {
      sawEnd = true;
      break;
    }
    if (w[0].size() > 2 && w[0].front() == '[' && w[0].back() == ']') {
      section = w[0].substr(1, w[0].size() - 2);
      if (section != "HEADER" && section != "LTYPE" && section != "LAYER" && section != "STYLE" &&
          section != "APPID" && section != "DIMSTYLE")
        return fail("unknown section " + w[0]);
      continue;
    }
    if (section.empty()) return fail("\"" + w[0] + "\" outside of a section");

    if (section == "HEADER") {
      if (w[0].size() < 2 || w[0][0] != '$') return fail("header variable must start with $");
      if (w.size() < 3 || w.size() % 2 == 0 || w.size() > 7)
        return fail(w[0] + ": expected 1 to 3 pairs of group code and value");
      HeaderValue v;
      v.name = w[0];
      for (size_t i = 1; i < w.size(); i += 2) {
        long code;
        if (!Integer(w[i], code) || code < 0 || code > 1071)
          return fail(w[0] + ": bad group code \"" + w[i] + "\"");
        const size_t k = v.count++;
        v.code[k] = static_cast<int16_t>(code);
        if (IsTextCode(code)) {
          if (w.size() != 3) return fail(w[0] + ": a text value stands alone");
          v.text = w[i + 1];
        } else if (!Number(w[i + 1], v.num[k])) {
          return fail(w[0] + ": value \"" + w[i + 1] + "\" of group " + w[i] + " is not a number");
        }
      }
      for (const HeaderValue& other : d.header)
        if (other.name == v.name) return fail(w[0] + " given twice");
      d.header.push_back(std::move(v));
    } else if (section == "LTYPE") {
      if (w.size() < 2) return fail("line type needs a name and a description");
      Linetype lt;
      lt.name = w[0];
      lt.description = w[1];
      for (size_t i = 2; i < w.size(); ++i) {
        double dash;
        if (!Number(w[i], dash)) return fail(w[0] + ": dash \"" + w[i] + "\" is not a number");
        lt.dashes.push_back(dash);
        lt.patternLength += std::fabs(dash);
      }
      d.linetypes.push_back(std::move(lt));
    } else if (section == "LAYER") {
      long color;
      if (w.size() != 3) return fail("layer needs a name, a colour and a line type");
      if (!Integer(w[1], color) || color < 1 || color > 255)
        return fail("layer " + w[0] + ": colour \"" + w[1] + "\" is not 1..255");
      d.layers.push_back({w[0], static_cast<int16_t>(color), w[2]});
    } else if (section == "STYLE") {
      if (w.size() != 8)
        return fail(
            "style needs: name font bigfont height width-factor oblique generation "
            "last-height");
      TextStyle s;
      s.name = w[0];
      s.font = w[1];
      s.bigFont = w[2];
      double gen;
      if (!Number(w[3], s.height) || !Number(w[4], s.widthFactor) || !Number(w[5], s.oblique) ||
          !Number(w[6], gen) || !Number(w[7], s.lastHeight))
        return fail("style " + w[0] + ": a value is not a number");
      s.generation = static_cast<int16_t>(gen);
      d.styles.push_back(std::move(s));
    } else if (section == "APPID") {
      if (w.size() != 1) return fail("application id is one name");
      d.appids.push_back(w[0]);
    } else {
      if (w.size() != 1) return fail("dimension style is one name");
      d.dimstyles.push_back(w[0]);
    }
  }
  if (!sawMagic) {
    error = fileName + ": empty, expected \"TAVINIT 1\"";
    return false;
  }
  if (!sawEnd) {
    error = fileName + ": ends without \"END\" (file truncated?)";
    return false;
  }

  // What every drawing needs must be there.
  auto missing = [&](const std::string& what) {
    error = fileName + ": " + what;
    return false;
  };
  for (const schema::HeaderVarSpec& var : schema::HeaderVars()) {
    if (schema::IsComputedHeaderVar(var.name)) continue;
    const HeaderValue* v = nullptr;
    for (const HeaderValue& h : d.header)
      if (h.name == var.name) v = &h;
    if (!v) return missing(std::string("no default for header variable ") + var.name);
    for (int i = 0; i < var.count; ++i) {
      bool has = false;
      for (int k = 0; k < v->count; ++k) has |= v->code[k] == var.code[i];
      if (!has)
        return missing(std::string("header variable ") + var.name + " lacks group " +
                       std::to_string(var.code[i]));
    }
  }
  auto hasName = [](const auto& rows, const char* name, auto key) {
    for (const auto& r : rows)
      if (EqualsNoCase(key(r), name)) return true;
    return false;
  };
  if (!hasName(d.linetypes, "CONTINUOUS", [](const Linetype& l) { return l.name; }))
    return missing("no line type CONTINUOUS");
  if (d.layers.empty() || d.layers[0].name != "0") return missing("the first layer must be \"0\"");
  for (const auto& l : d.layers)
    if (!hasName(d.linetypes, l.linetype.c_str(), [](const Linetype& t) { return t.name; }))
      return missing("layer " + l.name + " uses unknown line type " + l.linetype);
  if (d.styles.empty() || !EqualsNoCase(d.styles[0].name, "STANDARD"))
    return missing("the first text style must be STANDARD");
  if (d.appids.empty() || d.appids[0] != "ACAD")
    return missing("the first application id must be ACAD");
  if (d.dimstyles.empty() || !EqualsNoCase(d.dimstyles[0], "STANDARD"))
    return missing("the first dimension style must be STANDARD");
  out = std::move(d);
  return true;
}

bool LoadTavinit(const std::string& path, EngineDefaults& out, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) {
    error = "cannot read " + path;
    return false;
  }
  return ParseTavinit(buf.str(), path, out, error);
}

}  // namespace tav2
