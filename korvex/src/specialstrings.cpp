// Special strings: a text whose whole content is one of these names shows a
// value of the board or of the document instead. Names compare without
// regard to letter case, as the editor's users type them.
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "korvex/src/layernames.h"
#include "korvex/src/session.h"
#include "platform/text.h"

namespace korvex {

namespace {

using platform::EqualsNoCase;

// The print time: now, or SOURCE_DATE_EPOCH when it is set, so that a
// drawing can be made again byte for byte.
std::tm PrintTime() {
  std::time_t t = std::time(nullptr);
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    char* end = nullptr;
    long long v = std::strtoll(epoch, &end, 10);
    if (end != epoch && *end == '\0' && v >= 0) t = std::time_t(v);
    std::tm tm{};
    gmtime_r(&t, &tm);
    return tm;
  }
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::string Format(const char* fmt, const std::tm& tm) {
  char buf[64];
  size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
  return std::string(buf, n);
}

size_t Count(const Board& b, Kind k) {
  return b.byKind[k].size();
}

const Component* ComponentOf(const Board& b, const Object* o) {
  if (!o || !o->component) return nullptr;
  return &b.components[b.objects[o->component - 1].data];
}

}  // namespace

bool ResolveSpecialString(const Board& board, const Object* text, std::string_view s,
                          std::string& out) {
  if (s.size() < 2 || s[0] != '.') return false;
  if (EqualsNoCase(s, ".Designator") || EqualsNoCase(s, ".Comment")) {
    const Component* c = ComponentOf(board, text);
    if (!c) return false;  // a free text has no component to name
    const uint32_t t = EqualsNoCase(s, ".Designator") ? c->designator : c->comment;
    if (!t) return false;
    out = board.texts[board.objects[t - 1].data].text;
    return true;
  }
  if (EqualsNoCase(s, ".Pattern") || EqualsNoCase(s, ".Footprint")) {
    const Component* c = ComponentOf(board, text);
    if (!c) return false;
    out = c->pattern;
    return true;
  }
  if (EqualsNoCase(s, ".Layer_Name")) {
    if (!text) return false;
    const TV7_Layer l = text->layer;
    if (l >= 1 && l <= 82 && board.layers[l].named)
      out = board.layers[l].name;
    else
      out = DisplayName(l);
    return !out.empty();
  }
  if (EqualsNoCase(s, ".Pcb_File_Name")) {
    std::error_code ec;
    auto abs = std::filesystem::absolute(board.fileName, ec);
    out = ec ? board.fileName : abs.lexically_normal().string();
    return true;
  }
  if (EqualsNoCase(s, ".Pcb_File_Name_No_Path")) {
    out = std::filesystem::path(board.fileName).filename().string();
    return true;
  }
  if (EqualsNoCase(s, ".Board_Title")) {
    out = board.title;
    return true;
  }
  if (EqualsNoCase(s, ".Print_Date")) {
    out = Format("%Y-%m-%d", PrintTime());
    return true;
  }
  if (EqualsNoCase(s, ".Print_Time")) {
    out = Format("%H:%M:%S", PrintTime());
    return true;
  }
  static const std::pair<std::string_view, Kind> counts[] = {
      {".Arc_Count", kArc},   {".Component_Count", kComponent}, {".Fill_Count", kFill},
      {".Pad_Count", kPad},   {".Track_Count", kTrack},         {".Via_Count", kVia},
      {".Text_Count", kText}, {".Region_Count", kRegion},
  };
  for (auto& [name, kind] : counts)
    if (EqualsNoCase(s, name)) {
      out = std::to_string(Count(board, kind));
      return true;
    }
  if (EqualsNoCase(s, ".Hole_Count")) {
    size_t n = 0;
    for (const Pad& p : board.pads) n += p.hole > 0;
    for (const Via& v : board.vias) n += v.hole > 0;
    out = std::to_string(n);
    return true;
  }
  // The document's own parameters: ".Revision" for {"Revision": "B"}.
  for (auto& [name, value] : board.parameters)
    if (EqualsNoCase(s.substr(1), name)) {
      out = value;
      return true;
    }
  return false;
}

}  // namespace korvex
