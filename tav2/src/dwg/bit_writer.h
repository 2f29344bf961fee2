// Bit-level encoder for the R13/R14 binary drawing format: the compressed
// numbers (B, BB, BS, BL, BD), raw values (RC, RS, RL, RD), handle
// references, text, and the byte-level modular numbers of sizes and the
// object map. Bits are packed from the most significant bit of each byte;
// multi-byte raw values are little-endian, handle values big-endian.
#pragma once

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
    buf_.clear();
    bits_ = 0;
  }
  void Reserve(std::size_t bytes) { buf_.reserve(bytes); }

  std::size_t BitSize() const { return bits_; }
  std::size_t ByteSize() const { return (bits_ + 7) >> 3; }
  const std::vector<std::uint8_t>& Bytes() const { return buf_; }

  // Low `n` bits of `v` (n <= 32), most significant first. The last byte of
  // the buffer holds the pending bits when the position is not on a byte.
  void Bits(std::uint32_t v, int n) {
    while (n >= 8) {
      n -= 8;
      RC(static_cast<std::uint8_t>(v >> n));
    }
    if (n == 0) return;
    v &= (1u << n) - 1u;
    const int used = static_cast<int>(bits_ & 7);
    if (used == 0) {
      buf_.push_back(static_cast<std::uint8_t>(v << (8 - n)));
    } else {
      const int room = 8 - used;
      if (n <= room) {
        buf_.back() = static_cast<std::uint8_t>(buf_.back() | (v << (room - n)));
      } else {
        buf_.back() = static_cast<std::uint8_t>(buf_.back() | (v >> (n - room)));
        buf_.push_back(static_cast<std::uint8_t>(v << (8 - (n - room))));
      }
    }
    bits_ += static_cast<std::size_t>(n);
  }

  void B(bool v) { Bits(v ? 1u : 0u, 1); }
  void BB(unsigned v) { Bits(v & 3u, 2); }
  void RC(std::uint8_t v) {
    const int used = static_cast<int>(bits_ & 7);
    if (used == 0) {
      buf_.push_back(v);
    } else {
      buf_.back() = static_cast<std::uint8_t>(buf_.back() | (v >> used));
      buf_.push_back(static_cast<std::uint8_t>(v << (8 - used)));
    }
    bits_ += 8;
  }
  void RS(std::uint16_t v) {
    RC(static_cast<std::uint8_t>(v));
    RC(static_cast<std::uint8_t>(v >> 8));
  }
  void RL(std::uint32_t v) {
    RS(static_cast<std::uint16_t>(v));
    RS(static_cast<std::uint16_t>(v >> 16));
  }
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
      BB(0);
      RD(v);
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
    int n = 0;
    for (std::uint64_t v = value; v != 0; v >>= 8) ++n;
    RC(static_cast<std::uint8_t>((code << 4) | n));
    for (int i = n - 1; i >= 0; --i) RC(static_cast<std::uint8_t>(value >> (8 * i)));
  }

  // Overwrites 32 bits (a raw long) at bit position `pos`, already written.
  void PatchRL(std::size_t pos, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
      const std::uint8_t byte = static_cast<std::uint8_t>(v >> (8 * i));
      for (int b = 7; b >= 0; --b, ++pos) {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (pos & 7));
        if ((byte >> b) & 1)
          buf_[pos >> 3] = static_cast<std::uint8_t>(buf_[pos >> 3] | mask);
        else
          buf_[pos >> 3] = static_cast<std::uint8_t>(buf_[pos >> 3] & ~mask);
      }
    }
  }

  // Appends the first `nbits` bits of another writer.
  void Append(const BitWriter& other) {
    const std::size_t whole = other.bits_ >> 3;
    if ((bits_ & 7) == 0) {
      buf_.insert(buf_.end(), other.buf_.begin(), other.buf_.begin() + whole);
      bits_ += whole * 8;
    } else {
      for (std::size_t i = 0; i < whole; ++i) Bits(other.buf_[i], 8);
    }
    const int rest = static_cast<int>(other.bits_ & 7);
    if (rest) Bits(static_cast<std::uint32_t>(other.buf_[whole] >> (8 - rest)), rest);
  }

 private:
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
