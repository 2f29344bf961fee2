// The DWG writer of V2.5 .. R11/R12 at the byte level: where its sections sit,
// what each entity record holds, and what it refuses. That independent
// readers read its files as the DXF of the same drawing is tested end to end
// (tests/dwg.cmake).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tav2/src/dwg/bit_writer.h"
#include "tav2/src/dwg/pre13_writer.h"
#include "tav2/src/output.h"
#include "tav2/tests/dwg_fixture.h"
#include "tav2/tests/test_support.h"

namespace tav2 {
namespace {

using namespace test_support;
using dwg::WritePre13;

struct Written {
  bool ok = false;
  std::string error, bytes;
  std::vector<std::string> files;
};

Written Write(const Drawing& d, int release) {
  Written w;
  TempDir s;
  ReplacingFile file;
  const std::string target = s / "out.dwg";
  if (!file.Open(target, w.error)) return w;
  {
    OutputSink sink(&file);
    w.ok = WritePre13(d, release, sink, w.error) && sink.Finish(w.error) && file.Commit(w.error);
  }
  if (w.ok) w.bytes = ReadFile(target);
  return w;
}

uint16_t RS(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t RL(const std::string& b, size_t at) {
  return RS(b, at) | static_cast<uint32_t>(RS(b, at + 2)) << 16;
}
double RD(const std::string& b, size_t at) {
  double v;
  std::memcpy(&v, b.data() + at, 8);
  return v;
}
bool CrcHolds(const std::string& b, size_t start, size_t end) {
  return dwg::Crc16(reinterpret_cast<const uint8_t*>(b.data()) + start, end - start, 0xC0C1) ==
         RS(b, end);
}

constexpr const char* kMarkers[] = {"AC1002", "AC1003", "AC1004", "AC1006", "AC1009"};

// AutoCAD's own files put the first entity right after the header variables
// of their release: the header must have the same extent, field for field.
TEST(DwgPre13, HeaderEndsWhereAutoCADsDoes) {
  const struct {
    int release;
    uint16_t vars;
    uint32_t entities;  // after the header (and R11's CRC and sentinel)
  } cases[] = {{0, 114, 0x3A1}, {1, 122, 0x3D5}, {2, 129, 0x3EF}, {3, 158, 0x512}, {4, 205, 0x6CF}};
  for (const auto& c : cases) {
    Drawing d = EmptyDrawing();
    AddLine(d, 0, 0, {1, 2, 0}, {3, 4, 0});
    const Written w = Write(d, c.release);
    ASSERT_TRUE(w.ok) << w.error;
    EXPECT_EQ(0, std::memcmp(w.bytes.data(), kMarkers[c.release], 6));
    EXPECT_EQ(c.vars, RS(w.bytes, 0x11));
    EXPECT_EQ(c.entities, RL(w.bytes, 0x14)) << c.release;
    if (c.release == 4) {
      EXPECT_TRUE(CrcHolds(w.bytes, 0, c.entities - 18));
    }
    // The tables follow the entities; the file ends with the block section
    // before R11.
    EXPECT_EQ(RL(w.bytes, 0x18) + (c.release == 4 ? 32u : 0u), RL(w.bytes, 0x2C + 6));
    if (c.release < 4) {
      EXPECT_EQ(w.bytes.size(), RL(w.bytes, 0x24));
    }
  }
}

// One LINE per release: 2D before R10, 3D with its handle from R10, a CRC in
// R11; its layer by table row.
TEST(DwgPre13, LineRecordPerRelease) {
  const struct {
    int release;
    bool threeD, handle, crc;
  } cases[] = {{0, false, false, false},
               {2, false, false, false},
               {3, true, true, false},
               {4, true, true, true}};
  for (const auto& c : cases) {
    Drawing d = EmptyDrawing();
    const uint32_t top = AddLayer(d, "TOP", 1);
    AddLine(d, 0, top, {1.5, 2.5, 0}, {3.5, 4.5, 0});
    const Handle h = d.lines.back().c.handle;
    const Written w = Write(d, c.release);
    ASSERT_TRUE(w.ok) << w.error;
    const std::string& b = w.bytes;
    const size_t at = RL(b, 0x14);
    EXPECT_EQ(1, b[at]);
    EXPECT_EQ(c.handle ? 32 : 0, static_cast<uint8_t>(b[at + 1]));
    EXPECT_EQ(top, RS(b, at + 4));
    size_t p = at + 8;
    if (c.handle) {
      ASSERT_EQ(1, b[p]);
      EXPECT_EQ(h, static_cast<uint8_t>(b[p + 1]));
      p += 2;
    }
    const int n = c.threeD ? 3 : 2;
    EXPECT_EQ(1.5, RD(b, p));
    EXPECT_EQ(2.5, RD(b, p + 8));
    EXPECT_EQ(3.5, RD(b, p + 8 * n));
    EXPECT_EQ(4.5, RD(b, p + 8 * n + 8));
    const size_t size = RS(b, at + 2);
    EXPECT_EQ(p + 16 * n + (c.crc ? 2 : 0), at + size) << c.release;
    if (c.crc) {
      EXPECT_TRUE(CrcHolds(b, at, at + size - 2));
    }
    EXPECT_EQ(at + size, RL(b, 0x18));
  }
}

// Optional fields are announced by option bits: an aligned TEXT carries its
// alignment and second point, R11 its vertical alignment; a colour and a line
// type other than the layer's are announced by the flag byte.
TEST(DwgPre13, OptionBitsAnnounceWhatARecordHolds) {
  for (int release : {1, 4}) {
    Drawing d = EmptyDrawing();
    AddText(d, 0, 0, {1, 1, 0}, 0.1, 0, 0.8, false, "U1");
    Text& t = d.texts.back();
    t.hAlign = 1;
    t.vAlign = 2;
    t.align = {2, 1, 0};
    t.c.color = 3;
    t.c.linetype = 1;
    const Written w = Write(d, release);
    ASSERT_TRUE(w.ok) << w.error;
    const std::string& b = w.bytes;
    const size_t at = RL(b, 0x14);
    EXPECT_EQ(7, b[at]);
    EXPECT_EQ(1 | 2 | (release == 4 ? 32 : 0), static_cast<uint8_t>(b[at + 1]));
    EXPECT_EQ(2 | 32 | 64 | (release == 4 ? 256 : 0), RS(b, at + 6)) << release;
    EXPECT_EQ(3, b[at + 8]);  // colour, then the line type's row
    EXPECT_EQ(1, b[at + 9]);
  }
}

// Table rows of R11: flags, name, use count, the row's fields, zeros up to the
// record size and the CRC; the viewport shows the extents as the DXF's does.
TEST(DwgPre13, TableRowsOfR11) {
  Drawing d = EmptyDrawing();
  AddLayer(d, "TopLayer", 1);
  const Written w = Write(d, 4);
  ASSERT_TRUE(w.ok) << w.error;
  const std::string& b = w.bytes;
  const auto row = [&](size_t locator, uint16_t size, const char* name) {
    EXPECT_EQ(size, RS(b, locator));
    const size_t at = RL(b, locator + 6);
    EXPECT_STREQ(name, b.c_str() + at + 1);
    EXPECT_EQ(0xFFFF, RS(b, at + 33));
    EXPECT_TRUE(CrcHolds(b, at, at + size - 2)) << name;
    return at + 35;
  };
  size_t at = row(0x2C + 10, 41, "0");
  EXPECT_EQ(7, RS(b, at));      // colour
  EXPECT_EQ(0, RS(b, at + 2));  // line type CONTINUOUS
  at += 41;                     // the next row, mapped to the form every release takes
  EXPECT_STREQ("TOPLAYER", b.c_str() + at - 35 + 1);
  EXPECT_EQ(1, RS(b, at));
  row(0x512, 37, "ACAD");
  at = row(0x500, 253, "*ACTIVE");
  EXPECT_EQ(1.0, RD(b, at + 16));          // upper right
  EXPECT_DOUBLE_EQ(84.0, RD(b, at + 88));  // view height
  EXPECT_EQ(50.0, RD(b, at + 96));         // view centre
  EXPECT_EQ(40.0, RD(b, at + 104));
  EXPECT_EQ(2, RS(b, 0x2C + 12));  // layer rows
  EXPECT_EQ(1, RS(b, 0x522 + 2));  // dimension styles
}

TEST(DwgPre13, RefusesWhatTheFormatCannotHold) {
  const struct {
    const char* what;
    void (*spoil)(Drawing&);
    std::string error;
  } cases[] = {
      {"line type description",
       [](Drawing& d) { d.linetypes[1].description = std::string(48, '_'); },
       "LTYPE \"DASHED\": \"" + std::string(48, '_') +
           "\" is longer than the 47 characters DWG R9 holds there"},
      {"dashes",
       [](Drawing& d) {
         Linetype l;
         l.name = "MANY";
         l.dashes.assign(13, 0.1);
         d.AddLinetype(l);
       },
       "LTYPE \"MANY\" has 13 dashes; DWG R9 holds at most 12"},
      {"text",
       [](Drawing& d) {
         AddText(d, 0, 0, {0, 0, 0}, 1, 0, 1, false, std::string(70000, 'x'));
       },
       "TEXT on layer 0 takes"},
  };
  for (const auto& c : cases) {
    Drawing d = EmptyDrawing();
    c.spoil(d);
    const Written w = Write(d, 2);
    EXPECT_FALSE(w.ok) << c.what;
    EXPECT_NE(std::string::npos, w.error.find(c.error)) << c.what << ": " << w.error;
  }
}

}  // namespace
}  // namespace tav2
