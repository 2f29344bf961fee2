// The bit codes of the binary drawing format, checked against hand-worked
// encodings.
#include <gtest/gtest.h>

#include <string>

#include "tav2/src/dwg/bit_writer.h"

namespace tav2::dwg {
namespace {

std::string BitsOf(const BitWriter& w) {
  std::string s;
  for (std::size_t i = 0; i < w.BitSize(); ++i)
    s += (w.Data()[i >> 3] >> (7 - (i & 7))) & 1 ? '1' : '0';
  return s;
}

std::string Hex(const std::vector<std::uint8_t>& v) {
  std::string s;
  char buf[4];
  for (auto b : v) {
    std::snprintf(buf, sizeof buf, "%02x", b);
    s += buf;
  }
  return s;
}

struct BitCase {
  const char* what;
  void (*write)(BitWriter&);
  const char* bits;
};

TEST(DwgBits, CompressedNumbersUseTheShortestCode) {
  const BitCase cases[] = {
      {"BS 0", [](BitWriter& w) { w.BS(0); }, "10"},
      {"BS 256", [](BitWriter& w) { w.BS(256); }, "11"},
      {"BS 255", [](BitWriter& w) { w.BS(255); }, "0111111111"},
      {"BS 257", [](BitWriter& w) { w.BS(257); },
       "00"
       "00000001"
       "00000001"},
      {"BS -1", [](BitWriter& w) { w.BSd(-1); },
       "00"
       "11111111"
       "11111111"},
      {"BL 0", [](BitWriter& w) { w.BL(0); }, "10"},
      {"BL 7", [](BitWriter& w) { w.BL(7); },
       "01"
       "00000111"},
      {"BL 256 is raw, not the BS short form", [](BitWriter& w) { w.BL(256); },
       "00"
       "00000000"
       "00000001"
       "00000000"
       "00000000"},
      {"BD 0", [](BitWriter& w) { w.BD(0.0); }, "10"},
      {"BD 1", [](BitWriter& w) { w.BD(1.0); }, "01"},
      {"BD 2 raw", [](BitWriter& w) { w.BD(2.0); },
       "00"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "01000000"},
      {"BD -0 keeps its sign", [](BitWriter& w) { w.BD(-0.0); },
       "00"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "00000000"
       "10000000"},
      {"B then RC off the byte boundary",
       [](BitWriter& w) {
         w.B(true);
         w.RC(0xA5);
       },
       "1"
       "10100101"},
      {"RS little-endian", [](BitWriter& w) { w.RS(0x1234); },
       "00110100"
       "00010010"},
      {"T", [](BitWriter& w) { w.T("AB"); },
       "01"
       "00000010"
       "01000001"
       "01000010"},
      {"H null soft pointer", [](BitWriter& w) { w.H(kSoftPointer, 0); }, "01000000"},
      {"H two-byte value, most significant first", [](BitWriter& w) { w.H(kHardOwner, 0x1F3); },
       "00110010"
       "00000001"
       "11110011"},
  };
  for (const auto& c : cases) {
    BitWriter w;
    c.write(w);
    EXPECT_EQ(c.bits, BitsOf(w)) << c.what;
  }
}

TEST(DwgBits, PatchAndAppendWorkAtAnyBitOffset) {
  BitWriter w;
  w.Bits(0b101, 3);
  const std::size_t at = w.BitSize();
  w.RL(0);
  w.B(true);
  w.PatchRL(at, 0x80000001u);
  EXPECT_EQ(
      "101"
      "00000001"
      "00000000"
      "00000000"
      "10000000"
      "1",
      BitsOf(w));

  BitWriter tail;
  tail.Bits(0b1101, 4);
  w.Append(tail);
  EXPECT_EQ(
      "101"
      "00000001"
      "00000000"
      "00000000"
      "10000000"
      "1"
      "1101",
      BitsOf(w));
}

TEST(DwgBits, ModularNumbers) {
  struct {
    void (*put)(std::vector<std::uint8_t>&);
    const char* hex;
  } cases[] = {
      {[](std::vector<std::uint8_t>& o) { PutMS(o, 16); }, "1000"},
      {[](std::vector<std::uint8_t>& o) { PutMS(o, 0x8000); }, "00800100"},
      {[](std::vector<std::uint8_t>& o) { PutUMC(o, 127); }, "7f"},
      {[](std::vector<std::uint8_t>& o) { PutUMC(o, 128); }, "8001"},
      // A signed modular char keeps 0x40 of its last byte for the sign.
      {[](std::vector<std::uint8_t>& o) { PutMC(o, 63); }, "3f"},
      {[](std::vector<std::uint8_t>& o) { PutMC(o, 64); }, "c000"},
      {[](std::vector<std::uint8_t>& o) { PutMC(o, 1243); }, "db09"},
      {[](std::vector<std::uint8_t>& o) { PutMC(o, -5); }, "45"},
      {[](std::vector<std::uint8_t>& o) { PutMC(o, -200); }, "c841"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> out;
    c.put(out);
    EXPECT_EQ(c.hex, Hex(out));
  }
}

TEST(DwgBits, CrcIsTheReflected16BitCrc) {
  const std::string check = "123456789";
  const auto* p = reinterpret_cast<const std::uint8_t*>(check.data());
  EXPECT_EQ(0xBB3D, Crc16(p, check.size(), 0));
  // A CRC over data followed by its own little-endian CRC comes out 0.
  std::vector<std::uint8_t> v(p, p + check.size());
  const std::uint16_t crc = Crc16(v.data(), v.size(), 0xC0C1);
  PutRS(v, crc);
  EXPECT_EQ(0, Crc16(v.data(), v.size(), 0xC0C1));
}

}  // namespace
}  // namespace tav2::dwg
