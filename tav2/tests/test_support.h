// Shared by the engine's tests: running the independent readers, and the
// expected-entity JSON they are compared with.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <set>
#include <sstream>
#include <string>

#include "tav2/tests/builder.h"
#include "tests/support/test_support.h"

namespace test_support {

inline RunResult RunCommand(const std::string& command, const TempDir& scratch) {
  const std::string out = scratch / "run.out", err = scratch / "run.err";
  RunResult r;
  const int s = std::system((command + " >" + out + " 2>" + err).c_str());
  r.status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}

inline std::string ReadersDir() {
  return std::string(ORVANTA_SOURCE_DIR) + "/tests/readers";
}

// Reads `dxf` with `reader` ("ezdxf" or "libdxfrw") and compares it with the
// expected JSON; returns the readers' and comparer's complaints, "" when equal.
inline std::string ReadAndCompare(const std::string& reader, const std::string& dxf,
                                  const std::string& expectedJson, const TempDir& scratch) {
  const std::string actual = scratch / (reader + ".json");
  const std::string cmd = reader == "ezdxf"
                              ? "/usr/bin/python3 " + ReadersDir() + "/read_ezdxf.py " + dxf
                              : "node " + ReadersDir() + "/read_libdxfrw.js " + dxf;
  RunResult r = RunCommand(cmd, scratch);
  if (r.status != 0) return reader + " rejected " + dxf + ":\n" + r.err;
  WriteFile(actual, r.out);
  r = RunCommand("/usr/bin/python3 " + ReadersDir() + "/compare.py " + expectedJson + " " + actual,
                 scratch);
  if (r.status != 0) return r.out + r.err;
  return "";
}

// Builds the normalised JSON of what a drawing should read back as, while
// the same values go to the engine.
class Json {
 public:
  static std::string Num(double v) {
    std::ostringstream s;
    s.precision(17);
    s << v;
    return s.str();
  }
  // Text is 8-bit Latin-1 in the drawing.
  static std::string Str(std::string_view v) {
    std::string s = "\"";
    for (unsigned char c : v) {
      if (c >= 0x80) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", c);
        s += buf;
        continue;
      }
      if (c == '"' || c == '\\') s += '\\';
      s += static_cast<char>(c);
    }
    return s + "\"";
  }
  static std::string Pt(double x, double y, double z = 0) {
    return "[" + Num(x) + "," + Num(y) + "," + Num(z) + "]";
  }
};

constexpr double kDeg = 180.0 / std::numbers::pi;

// Writes entities through a Builder and records what they should read as.
class Recorder {
 public:
  explicit Recorder(Builder& b) : b_(b) {}

  void Layer(const char* name, int color) {
    ASSERT_TRUE(b_.AddLayer(name, static_cast<int16_t>(color))) << edaGetLastError();
    layers_ += (layers_.empty() ? "" : ",") + Json::Str(name) + ":" + std::to_string(color);
  }
  void Line(const char* layer, double x1, double y1, double x2, double y2) {
    ASSERT_TRUE(b_.Line(layer, x1, y1, x2, y2)) << edaGetLastError();
    Add(layer, "LINE", "\"p1\":" + Json::Pt(x1, y1) + ",\"p2\":" + Json::Pt(x2, y2));
  }
  void Circle(const char* layer, double x, double y, double r) {
    ASSERT_TRUE(b_.Circle(layer, x, y, r)) << edaGetLastError();
    Add(layer, "CIRCLE", "\"center\":" + Json::Pt(x, y) + ",\"radius\":" + Json::Num(r));
  }
  void Arc(const char* layer, double x, double y, double r, double a0, double a1) {
    ASSERT_TRUE(b_.Arc(layer, x, y, r, a0, a1)) << edaGetLastError();
    Add(layer, "ARC",
        "\"center\":" + Json::Pt(x, y) + ",\"radius\":" + Json::Num(r) +
            ",\"start\":" + Json::Num(a0 * kDeg) + ",\"end\":" + Json::Num(a1 * kDeg));
  }
  void Solid(const char* layer, const double (&c)[8]) {
    ASSERT_TRUE(b_.Solid(layer, c)) << edaGetLastError();
    Add(layer, "SOLID",
        "\"corners\":[" + Json::Pt(c[0], c[1]) + "," + Json::Pt(c[2], c[3]) + "," +
            Json::Pt(c[4], c[5]) + "," + Json::Pt(c[6], c[7]) + "]");
  }
  void Text(const char* layer, double x, double y, double h, double rot, double width,
            bool mirrored, const char* text) {
    ASSERT_TRUE(b_.Text(layer, x, y, h, rot, width, mirrored, text)) << edaGetLastError();
    Add(layer, "TEXT",
        "\"insert\":" + Json::Pt(x, y) + ",\"height\":" + Json::Num(h) +
            ",\"rotation\":" + Json::Num(rot * kDeg) + ",\"width\":" + Json::Num(width) +
            ",\"generation\":" + (mirrored ? "2" : "0") + ",\"text\":" + Json::Str(text));
  }
  void Polyline(const char* layer, bool closed, double width,
                const std::vector<std::array<double, 3>>& pts) {
    ASSERT_TRUE(b_.Polyline(layer, closed, width, pts)) << edaGetLastError();
    std::string v;
    for (const auto& p : pts)
      v += (v.empty() ? "" : ",") + std::string("[") + Json::Num(p[0]) + "," + Json::Num(p[1]) +
           "," + Json::Num(width) + "," + Json::Num(width) + "," + Json::Num(p[2]) + "]";
    Add(layer, "POLYLINE",
        std::string("\"closed\":") + (closed ? "true" : "false") + ",\"startWidth\":" +
            Json::Num(width) + ",\"endWidth\":" + Json::Num(width) + ",\"vertices\":[" + v + "]");
  }
  void BeginBlock(const char* name) {
    ASSERT_TRUE(b_.BeginBlock(name)) << edaGetLastError();
    block_ = name;
  }
  void EndBlock() {
    ASSERT_TRUE(b_.EndBlock()) << edaGetLastError();
    blocks_ += (blocks_.empty() ? "" : ",") + Json::Str(block_) + ":[" + blockEntities_ + "]";
    block_.clear();
    blockEntities_.clear();
  }
  void Insert(const char* name, double x, double y, double rot) {
    ASSERT_TRUE(b_.Insert(name, x, y, rot)) << edaGetLastError();
    Add("0", "INSERT",
        "\"block\":" + Json::Str(name) + ",\"insert\":" + Json::Pt(x, y) +
            ",\"rotation\":" + Json::Num(rot * kDeg) + ",\"scale\":[1,1,1]");
  }

  std::string Expected(int release) const {
    return "{\"release\":" + std::to_string(release) + ",\"layers\":{\"0\":7" +
           (layers_.empty() ? "" : ",") + layers_ + "},\"blocks\":{" + blocks_ +
           "},\"entities\":[" + entities_ + "]}";
  }

 private:
  void Add(const char* layer, const char* type, const std::string& fields) {
    std::string& list = block_.empty() ? entities_ : blockEntities_;
    list += (list.empty() ? "" : ",") + std::string("{\"type\":\"") + type +
            "\",\"layer\":" + Json::Str(*layer ? layer : "0") + "," + fields + "}";
  }
  Builder& b_;
  std::string layers_, blocks_, entities_, block_, blockEntities_;
};

}  // namespace test_support
