// The DWG writer's file structure, checked by walking what it wrote: section
// locators and their CRC, sentinels, header and class CRCs, the object map
// pages, and every object's size and CRC; and its refusals of bad drawings.
#include "tav2/src/dwg/dwg_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "tav2/src/dwg/bit_writer.h"
#include "tav2/src/dwg/writer.h"
#include "tav2/tests/dwg_fixture.h"

namespace tav2::dwg {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace test_support;

std::uint32_t RL(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t RS(const Bytes& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

struct Walked {
  std::map<std::uint64_t, std::uint32_t> objects;  // handle -> offset
  std::map<std::uint16_t, int> types;              // object type -> count
  std::size_t pages = 0, largestPage = 0;
};

// Checks the file's framing and returns what the object map lists; every
// problem is a test failure naming where it is.
Walked Walk(const Bytes& f) {
  Walked w;
  EXPECT_GE(f.size(), 0x58u);
  const std::uint32_t records = RL(f, 0x15);
  EXPECT_EQ(5u, records);
  const std::size_t crcAt = 0x19 + 9 * records;
  EXPECT_EQ(RS(f, crcAt), Crc16(f.data(), crcAt, 0) ^ 0x3CC4) << "file header CRC";
  std::uint32_t addr[5], size[5];
  for (std::uint32_t r = 0; r < records; ++r) {
    EXPECT_EQ(r, f[0x19 + 9 * r]);
    addr[r] = RL(f, 0x19 + 9 * r + 1);
    size[r] = RL(f, 0x19 + 9 * r + 5);
    EXPECT_LE(addr[r] + size[r], f.size()) << "section " << r;
  }
  // Header variables and classes: sentinel, size, data, CRC, sentinel.
  for (int s : {0, 1}) {
    const std::uint32_t n = RL(f, addr[s] + 16);
    EXPECT_EQ(size[s], n + 38) << "section " << s;
    EXPECT_EQ(RS(f, addr[s] + 20 + n), Crc16(f.data() + addr[s] + 16, n + 4, 0xC0C1))
        << "section " << s << " CRC";
  }
  // Object map pages: big-endian size and CRC, pairs of handle and offset
  // deltas, each page starting from zero; an empty page ends the map.
  std::size_t p = addr[2];
  for (;;) {
    const std::size_t n = f[p] << 8 | f[p + 1];
    EXPECT_LE(n, 2032u);
    EXPECT_EQ(f[p + n] << 8 | f[p + n + 1], Crc16(f.data() + p, n, 0xC0C1)) << "map page CRC";
    ++w.pages;
    w.largestPage = std::max(w.largestPage, n);
    if (n == 2) break;
    std::size_t q = p + 2;
    std::uint64_t handle = 0;
    std::int64_t offset = 0;
    while (q < p + n) {
      std::uint64_t dh = 0;
      for (int shift = 0;; shift += 7) {
        const std::uint8_t c = f[q++];
        dh |= static_cast<std::uint64_t>(c & 0x7F) << shift;
        if (!(c & 0x80)) break;
      }
      std::int64_t dl = 0;
      for (int shift = 0;; shift += 7) {
        const std::uint8_t c = f[q++];
        if (c & 0x80) {
          dl |= static_cast<std::int64_t>(c & 0x7F) << shift;
        } else {
          dl |= static_cast<std::int64_t>(c & 0x3F) << shift;
          if (c & 0x40) dl = -dl;
          break;
        }
      }
      EXPECT_GT(dh, 0u) << "handles ascend";
      handle += dh;
      offset += dl;
      EXPECT_TRUE(w.objects.emplace(handle, static_cast<std::uint32_t>(offset)).second);
    }
    p += n + 2;
  }
  EXPECT_EQ(addr[2] + size[2], p + 4);
  // Every object: modular-short size, data, CRC over both.
  for (const auto& [handle, at] : w.objects) {
    std::uint32_t n = 0;
    std::size_t q = at;
    for (int shift = 0;; shift += 15) {
      const std::uint16_t word = RS(f, q);
      q += 2;
      n |= static_cast<std::uint32_t>(word & 0x7FFF) << shift;
      if (!(word & 0x8000)) break;
    }
    EXPECT_LE(q + n + 2, f.size());
    EXPECT_EQ(RS(f, q + n), Crc16(f.data() + at, q + n - at, 0xC0C1)) << "object " << handle;
    // The type is the first bit short: 01 + a byte for all types written.
    const std::uint16_t type = static_cast<std::uint16_t>(((f[q] & 0x3F) << 2) | (f[q + 1] >> 6));
    EXPECT_EQ(1, f[q] >> 6) << "object " << handle;
    ++w.types[type];
  }
  return w;
}

Bytes Write(const Drawing& d, int version) {
  Bytes out;
  std::string error;
  EXPECT_TRUE(WriteDwg(d, version, out, error)) << error;
  return out;
}

TEST(DwgWriter, FramesEveryObjectAndListsItInTheMap) {
  const Drawing d = SampleDrawing();
  for (int version : {schema::kR13, schema::kR14}) {
    const Bytes f = Write(d, version);
    EXPECT_EQ(0, std::memcmp(f.data(), version == schema::kR13 ? "AC1012" : "AC1014", 6));
    Walked w = Walk(f);
    // Model space and block U1 together.
    EXPECT_EQ(2, w.types[0x13]);  // lines
    EXPECT_EQ(2, w.types[0x12]);  // circles
    EXPECT_EQ(1, w.types[0x11]);  // arc
    EXPECT_EQ(1, w.types[0x1F]);  // solid
    EXPECT_EQ(2, w.types[0x01]);  // texts
    EXPECT_EQ(2, w.types[0x07]);  // inserts
    EXPECT_EQ(4, w.types[0x0F]);  // polylines
    EXPECT_EQ(7, w.types[0x0A]);  // their vertices
    EXPECT_EQ(4, w.types[0x06]);  // a SEQEND each, also for the empty one
    EXPECT_EQ(3, w.types[0x04]);  // BLOCK of both spaces and of U1
    EXPECT_EQ(3, w.types[0x31]);  // their headers
    EXPECT_EQ(4, w.types[0x33]);  // layers
    EXPECT_EQ(4, w.types[0x39]);  // BYBLOCK, BYLAYER, CONTINUOUS, DASHED
    // Root, group and multiline style dictionaries; R14 adds the variable one.
    EXPECT_EQ(version == schema::kR13 ? 3 : 4, w.types[0x2A]);
    EXPECT_EQ(1, w.types[0x49]);  // STANDARD multiline style
  }
}

// Many components: the map spans pages, handles need several bytes, block
// and layer counts pass 255 (written as raw longs then). The writer keeps
// the map by handle when handles are close together, as pairs when they
// lie far apart.
TEST(DwgWriter, LargeDrawingSpansMapPages) {
  for (Handle first : {Handle{0xFFF0}, Handle{1} << 40}) {
    Drawing d = EmptyDrawing();
    d.nextHandle = first;
    for (int i = 0; i < 300; ++i)
      AddLayer(d, "L" + std::to_string(i), static_cast<int16_t>(1 + i % 255));
    for (int b = 0; b < 300; ++b) {
      const uint32_t blk = AddBlock(d, "U" + std::to_string(b));
      AddLine(d, blk, 1 + b, {0, 0, 0}, {1, 1, 0});
      AddInsert(d, 0, blk, {b * 1.0, 0, 0}, 0);
    }
    for (int i = 0; i < 20000; ++i) AddCircle(d, 0, 1 + i % 300, {i * 0.5, 1, 0}, 0.25);
    Walked w = Walk(Write(d, schema::kR14));
    EXPECT_GT(w.pages, 10u);
    EXPECT_LE(w.largestPage, 2032u);
    EXPECT_EQ(20000, w.types[0x12]);
    EXPECT_EQ(300, w.types[0x07]);
    EXPECT_EQ(302, w.types[0x31]);
    EXPECT_EQ(301, w.types[0x33]);
    EXPECT_GT(w.objects.rbegin()->first, first + 20000);
  }
}

// The writer fills in what the format cannot do without: structural handles,
// the standard rows and a polyline's SEQEND, from handles above the
// drawing's own.
TEST(DwgWriter, CompletesADrawingWithoutStandardTables) {
  Drawing d;
  d.nextHandle = 1;
  Block model, paper;
  model.name = "*MODEL_SPACE";
  paper.name = "*PAPER_SPACE";
  d.AddBlock(model);
  d.AddBlock(paper);
  Layer zero;
  zero.handle = d.NewHandle();
  zero.name = "0";
  d.AddLayer(zero);
  AddLine(d, 0, 0, {0, 0, 0}, {1, 0, 0});
  AddPolyline(d, 0, 0, false, 0, {{0, 0, 0, 0}, {1, 0, 0, 0}});
  d.polylines.back().seqendHandle = 0;
  Walked w = Walk(Write(d, schema::kR13));
  EXPECT_EQ(1, w.types[0x13]);
  EXPECT_EQ(1, w.types[0x06]);  // the polyline's SEQEND
  EXPECT_EQ(1, w.types[0x35]);  // STANDARD text style
  EXPECT_EQ(1, w.types[0x43]);  // ACAD
  EXPECT_EQ(1, w.types[0x45]);  // STANDARD dimension style
  EXPECT_EQ(3, w.types[0x39]);  // BYBLOCK, BYLAYER, CONTINUOUS
}

// The object map gives every object's offset back in handle order, whether
// it keeps them by group (an object far from its group's first goes aside)
// or, for handles far apart, as pairs; a handle given twice is found.
TEST(DwgObjectMap, GivesEveryOffsetBackInHandleOrder) {
  const std::vector<std::pair<Handle, std::uint32_t>> added = {{5, 100},    {70, 200}, {6, 100000},
                                                               {7, 100050}, {64, 300}, {8, 100060}};
  const std::vector<std::pair<Handle, std::uint32_t>> sorted = {
      {5, 100}, {6, 100000}, {7, 100050}, {8, 100060}, {64, 300}, {70, 200}};
  for (Handle seed : {Handle{1000}, Handle{1} << 40}) {
    ObjectMap map;
    map.Prepare(seed, added.size());
    for (const auto& [h, offset] : added) EXPECT_TRUE(map.Add(h, offset)) << h;
    std::vector<std::pair<Handle, std::uint32_t>> got;
    map.ForEach([&](Handle h, std::uint32_t offset) { got.emplace_back(h, offset); });
    EXPECT_EQ(sorted, got) << seed;
    EXPECT_EQ(0u, map.Duplicate());
    map.Add(70, 400);
    EXPECT_EQ(70u, map.Duplicate()) << seed;
  }
}

// A drawing whose handles run past its handle seed still gets a seed above
// every handle, and the writer's own objects do not collide with them.
TEST(DwgWriter, HandleSeedStaysAboveEveryHandle) {
  Drawing d = SampleDrawing();
  d.lines[0].c.handle = d.nextHandle + 100;
  d.handles.groupDictionary = 0;  // the writer supplies it
  Walked w = Walk(Write(d, schema::kR14));
  // The group dictionary, after the line.
  EXPECT_EQ(1u, w.objects.count(d.nextHandle + 100));
  EXPECT_EQ(d.nextHandle + 101, w.objects.rbegin()->first);
}

// Two layer names that meet in the release's form are two table entries
// of distinct names; two entries of one name would make a damaged drawing.
TEST(DwgWriter, WritesLayersWhoseNamesMeetAsTwoEntries) {
  Drawing d = EmptyDrawing();
  const uint32_t a = AddLayer(d, "TopLayer", 1);
  const uint32_t b = AddLayer(d, "toplayer", 3);
  AddLine(d, 0, a, {0, 0, 0}, {1, 0, 0});
  AddLine(d, 0, b, {0, 1, 0}, {1, 1, 0});
  Walked w = Walk(Write(d, schema::kR14));
  EXPECT_EQ(3, w.types[0x33]);  // "0", TOPLAYER and TOPLAYER_2
  EXPECT_EQ(2, w.types[0x13]);
}

TEST(DwgWriter, RefusesWhatItCannotWriteAndLeavesNoOutput) {
  struct Case {
    const char* what;
    void (*spoil)(Drawing&);
    const char* message;
  } cases[] = {
      {"layer index", [](Drawing& d) { d.lines[0].c.layer = 99; }, "layer index 99"},
      {"line type index", [](Drawing& d) { d.circles[0].c.linetype = 42; }, "line type index 42"},
      {"entity reference", [](Drawing& d) { d.blocks[0].entities[0].index = 1000; },
       "LINE index 1000 is out of range"},
      {"insert target", [](Drawing& d) { d.inserts[0].block = 0; }, "is not a block definition"},
      {"text style", [](Drawing& d) { d.texts[0].style = 7; }, "style index 7"},
      {"negative width", [](Drawing& d) { d.vertices[0].startWidth = -1; }, "negative width"},
      {"vertex run", [](Drawing& d) { d.polylines[0].vertexCount = 1000; },
       "outside the vertex store"},
      {"entity without handle", [](Drawing& d) { d.arcs[0].c.handle = 0; }, "ARC without a handle"},
      {"handle given twice", [](Drawing& d) { d.circles[0].c.handle = d.lines[0].c.handle; },
       "two objects have the handle"},
      {"handle given twice far above the others",
       [](Drawing& d) { d.circles[0].c.handle = d.lines[0].c.handle = Handle{1} << 40; },
       "two objects have the handle 10000000000"},
  };
  for (const auto& c : cases) {
    Drawing d = SampleDrawing();
    c.spoil(d);
    Bytes out{1, 2, 3};
    std::string error;
    EXPECT_FALSE(WriteDwg(d, schema::kR14, out, error)) << c.what;
    EXPECT_NE(std::string::npos, error.find(c.message)) << c.what << ": " << error;
    EXPECT_TRUE(out.empty()) << c.what;
  }
  Bytes out;
  std::string error;
  EXPECT_FALSE(WriteDwg(SampleDrawing(), 4, out, error));
  EXPECT_EQ("unsupported AutoCAD version 4 for DWG", error);
}

}  // namespace
}  // namespace tav2::dwg
