// Bit-level encoder for the R13/R14 binary drawing format: the compressed
// numbers (B, BB, BS, BL, BD), raw values (RC, RS, RL, RD), handle
// references, text, and the byte-level modular numbers of sizes and the
// object map. Bits are packed from the most significant bit of each byte;
// multi-byte raw values are little-endian, handle values big-endian.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace tav2::dwg {

// The 16-bit table-driven CRC the format uses everywhere (reflected 0xA001);
// `seed` is 0xC0C1 for sections and objects, 0 for the file header.
std::uint16_t Crc16(const std::uint8_t* data, std::size_t size, std::uint16_t seed);

// Handle reference codes.
enum HandleCode : std::uint8_t {
  kSoftOwner = 2,
  kHardOwner = 3,
  kSoftPointer = 4,
  kHardPointer = 5,
};

class BitWriter {
 public:
  void Clear() {
    bits_ = 0;
    if (!buf_.empty()) buf_[0] = 0;
  }

  std::size_t BitSize() const { return bits_; }
  std::size_t ByteSize() const { return (bits_ + 7) >> 3; }
  // The written bytes; the last one zero-padded when the size is not whole bytes.
  const std::uint8_t* Data() const { return buf_.data(); }

  // Low `n` bits of `v` (n <= 32), most significant first.
  void Bits(std::uint32_t v, int n) {
    if (n > 0) Top(static_cast<std::uint64_t>(v) << (64 - n), n);
  }

  void B(bool v) { Top(v ? 1ull << 63 : 0, 1); }
  void BB(unsigned v) { Top(static_cast<std::uint64_t>(v & 3u) << 62, 2); }
  void RC(std::uint8_t v) { Top(static_cast<std::uint64_t>(v) << 56, 8); }
  // Multi-byte raw values go out least significant byte first.
  void RS(std::uint16_t v) {
    Top(static_cast<std::uint64_t>(static_cast<std::uint16_t>(v << 8 | v >> 8)) << 48, 16);
  }
  void RL(std::uint32_t v) { Top(static_cast<std::uint64_t>(__builtin_bswap32(v)) << 32, 32); }
  void RD(double v) {
    const auto u = std::bit_cast<std::uint64_t>(v);
    RL(static_cast<std::uint32_t>(u));
    RL(static_cast<std::uint32_t>(u >> 32));
  }

  // Bit short: 10 = 0, 11 = 256, 01 = one byte, 00 = raw short.
  void BS(std::uint16_t v) {
    if (v == 0) {
      BB(2);
    } else if (v == 256) {
      BB(3);
    } else if (v < 256) {
      BB(1);
      RC(static_cast<std::uint8_t>(v));
    } else {
      BB(0);
      RS(v);
    }
  }
  void BSd(std::int16_t v) { BS(static_cast<std::uint16_t>(v)); }

  // Bit long: 10 = 0, 01 = one byte, 00 = raw long.
  void BL(std::uint32_t v) {
    if (v == 0) {
      BB(2);
    } else if (v < 256) {
      BB(1);
      RC(static_cast<std::uint8_t>(v));
    } else {
      BB(0);
      RL(v);
    }
  }

  // Bit double: 01 = 1.0, 10 = 0.0 (positive zero only, so -0.0 survives), 00 = raw.
  void BD(double v) {
    const auto u = std::bit_cast<std::uint64_t>(v);
    if (u == 0) {
      BB(2);
    } else if (u == std::bit_cast<std::uint64_t>(1.0)) {
      BB(1);
    } else {
      // BB 00 and the low half in one step, the high half in another.
      Top(static_cast<std::uint64_t>(__builtin_bswap32(static_cast<std::uint32_t>(u))) << 30, 34);
      RL(static_cast<std::uint32_t>(u >> 32));
    }
  }

  void RD2(double x, double y) {
    RD(x);
    RD(y);
  }
  void BD3(double x, double y, double z) {
    BD(x);
    BD(y);
    BD(z);
  }

  // Text: bit-short length, then the bytes (no terminator). The caller keeps
  // texts under 65536 bytes.
  void T(std::string_view s) {
    BS(static_cast<std::uint16_t>(s.size()));
    for (char c : s) RC(static_cast<std::uint8_t>(c));
  }

  // Colour number (R13/R14 write a bit short).
  void CMC(std::int16_t index) { BSd(index); }

  // Handle reference: code and byte count in one byte, then the value's
  // significant bytes, most significant first.
  void H(std::uint8_t code, std::uint64_t value) {
    const int n = value == 0 ? 0 : (71 - std::countl_zero(value)) / 8;
    const auto head = static_cast<std::uint64_t>((code << 4) | n) << 56;
    // Up to six value bytes go out with the code byte in one step.
    if (n <= 6) return Top(n == 0 ? head : head | value << (56 - 8 * n), 8 + 8 * n);
    RC(static_cast<std::uint8_t>(head >> 56));
    for (int i = n - 1; i >= 0; --i) RC(static_cast<std::uint8_t>(value >> (8 * i)));
  }

  // Overwrites 32 bits (a raw long) at bit position `pos`, already written.
  void PatchRL(std::size_t pos, std::uint32_t v) {
    std::uint8_t* p = buf_.data() + (pos >> 3);
    const int used = static_cast<int>(pos & 7);
    std::uint64_t word;
    std::memcpy(&word, p, 8);  // the buffer always has 8 bytes past a written bit
    word = __builtin_bswap64(word);
    const std::uint64_t mask = (0xFFFFFFFFull << 32) >> used;
    word = (word & ~mask) | ((static_cast<std::uint64_t>(__builtin_bswap32(v)) << 32) >> used);
    word = __builtin_bswap64(word);
    std::memcpy(p, &word, 8);
  }

  // Appends everything another writer holds.
  void Append(const BitWriter& other) {
    const std::size_t whole = other.bits_ >> 3;
    std::size_t i = 0;
    for (; i + 4 <= whole; i += 4) {
      std::uint32_t be;
      std::memcpy(&be, other.buf_.data() + i, 4);
      Top(static_cast<std::uint64_t>(__builtin_bswap32(be)) << 32, 32);
    }
    for (; i < whole; ++i) RC(other.buf_[i]);
    const int rest = static_cast<int>(other.bits_ & 7);
    if (rest) Bits(static_cast<std::uint32_t>(other.buf_[whole] >> (8 - rest)), rest);
  }

 private:
  // Writes the top `n` bits of `bits` (n <= 56): the pending bits of the
  // current byte and the new ones are merged in one 64-bit word and stored
  // whole; everything after the last bit written is zero.
  void Top(std::uint64_t bits, int n) {
    const std::size_t at = bits_ >> 3;
    if (at + 9 > buf_.size()) buf_.resize(std::max<std::size_t>(256, buf_.size() * 2), 0);
    std::uint8_t* p = buf_.data() + at;
    const int used = static_cast<int>(bits_ & 7);
    if (n < 64) bits &= ~(~0ull >> n);
    const std::uint64_t merged = (static_cast<std::uint64_t>(p[0]) << 56) | (bits >> used);
    const std::uint64_t be = __builtin_bswap64(merged);
    std::memcpy(p, &be, 8);
    p[8] = 0;
    bits_ += static_cast<std::size_t>(n);
  }

  std::vector<std::uint8_t> buf_;
  std::size_t bits_ = 0;
};

// Byte-level encoders.
inline void PutRS(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutRL(std::vector<std::uint8_t>& out, std::uint32_t v) {
  PutRS(out, static_cast<std::uint16_t>(v));
  PutRS(out, static_cast<std::uint16_t>(v >> 16));
}
inline void PatchRL(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutBytes(std::vector<std::uint8_t>& out, const std::uint8_t* p, std::size_t n) {
  out.insert(out.end(), p, p + n);
}

// Modular short: 15-bit little-endian words, the high bit of each word but the
// last set. Object sizes are written this way.
inline void PutMS(std::vector<std::uint8_t>& out, std::uint32_t v) {
  while (v >= 0x8000u) {
    PutRS(out, static_cast<std::uint16_t>((v & 0x7FFFu) | 0x8000u));
    v >>= 15;
  }
  PutRS(out, static_cast<std::uint16_t>(v));
}

// Modular char, unsigned: 7 bits per byte, high bit = more follow.
inline void PutUMC(std::vector<std::uint8_t>& out, std::uint64_t v) {
  while (v >= 0x80u) {
    out.push_back(static_cast<std::uint8_t>((v & 0x7Fu) | 0x80u));
    v >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(v));
}

// Modular char, signed: as the unsigned form, but the last byte carries the
// sign in 0x40 and six value bits.
inline void PutMC(std::vector<std::uint8_t>& out, std::int64_t v) {
  const bool negative = v < 0;
  std::uint64_t a = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  while (a >= 0x40u) {
    out.push_back(static_cast<std::uint8_t>((a & 0x7Fu) | 0x80u));
    a >>= 7;
  }
  out.push_back(static_cast<std::uint8_t>(a | (negative ? 0x40u : 0u)));
}

}  // namespace tav2::dwg
