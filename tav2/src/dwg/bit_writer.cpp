#include "tav2/src/dwg/bit_writer.h"

#include <array>

namespace tav2::dwg {

namespace {

// Slicing by eight: table k holds the CRC of a byte followed by k zero
// bytes, so eight input bytes take eight independent lookups instead of
// eight dependent steps.
constexpr std::array<std::array<std::uint16_t, 256>, 8> MakeCrcTables() {
  std::array<std::array<std::uint16_t, 256>, 8> t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ 0xA001u : c >> 1;
    t[0][i] = static_cast<std::uint16_t>(c);
  }
  for (int k = 1; k < 8; ++k)
    for (unsigned i = 0; i < 256; ++i)
      t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu]);
  return t;
}

constexpr auto kCrc = MakeCrcTables();

}  // namespace

std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t seed) {
  std::uint32_t crc = seed;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const std::uint32_t x = crc ^ (data[i] | data[i + 1] << 8);
    crc = kCrc[7][x & 0xFFu] ^ kCrc[6][x >> 8] ^ kCrc[5][data[i + 2]] ^ kCrc[4][data[i + 3]] ^
          kCrc[3][data[i + 4]] ^ kCrc[2][data[i + 5]] ^ kCrc[1][data[i + 6]] ^ kCrc[0][data[i + 7]];
  }
  for (; i < size; ++i) crc = (crc >> 8) ^ kCrc[0][(crc ^ data[i]) & 0xFFu];
  return static_cast<std::uint16_t>(crc);
}

}  // namespace tav2::dwg
