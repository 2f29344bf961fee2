// Conventions shared by every module boundary of the system.
//
// Strings at the plug-in boundary and in the host's queries are length-prefixed
// 8-bit strings: byte 0 holds the length n (0..255), bytes 1..n the characters,
// no terminator. A receiver copies n + 1 bytes into a 256-byte buffer of its own.
//
// Object interfaces follow the host's convention: reference counted, and every
// method returns a 32-bit status (negative = failure) with its result handed
// back through the last argument.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#define ORVANTA_EXPORT extern "C" __attribute__((visibility("default")))

namespace abi {

using TStatus = int32_t;
constexpr TStatus S_OK = 0;
constexpr TStatus E_NOINTERFACE = static_cast<TStatus>(0x80004002u);
constexpr TStatus E_FAIL = static_cast<TStatus>(0x80004005u);
constexpr TStatus E_INVALIDARG = static_cast<TStatus>(0x80070057u);
inline bool Failed(TStatus s) { return s < 0; }

// A length-prefixed string as it crosses a module boundary.
using ShortString = unsigned char[256];

inline void SetShortString(ShortString& dst, std::string_view s) {
  const size_t n = s.size() > 255 ? 255 : s.size();
  dst[0] = static_cast<unsigned char>(n);
  if (n) std::memcpy(dst + 1, s.data(), n);
}
inline std::string FromShortString(const unsigned char* p) {
  return p ? std::string(reinterpret_cast<const char*>(p + 1), p[0]) : std::string();
}

struct TGUID {
  uint32_t D1;
  uint16_t D2, D3;
  uint8_t D4[8];
  friend bool operator==(const TGUID&, const TGUID&) = default;
};

// The root of every host interface.
struct IHostUnknown {
  virtual TStatus QueryInterface(const TGUID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  ~IHostUnknown() = default;
};

// Owning reference to a host interface: releases on destruction.
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}  // adopts a reference
  Ref(const Ref& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-arguments: releases what is held and hands the slot to the callee.
  T** put() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  T* detach() {
    T* p = p_;
    p_ = nullptr;
    return p;
  }

 private:
  T* p_ = nullptr;
};

}  // namespace abi
