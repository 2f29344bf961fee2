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

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

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

// How an object that implements host interfaces counts its references.
struct TRefCounting {
  // The count of a new object: 1 when its creator's pointer is the first
  // reference, 0 when the first reference handed out takes it to 1.
  uint32_t Initial = 1;
  // For an object that threads other than its creator's may take or drop.
  bool Atomic = false;
  // false: a process-wide object, counted to keep the contract but never
  // freed, since callers may hold it past what they counted.
  bool DeleteAtZero = true;
};

// The reference count of an object, shared by every interface it implements
// (AddRef and Release override theirs in all of them at once). Release
// answers the count left.
template <TRefCounting How, class... Interfaces>
class TRefCounted : public Interfaces... {
 public:
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    const uint32_t left = --refs_;
    if constexpr (How.DeleteAtZero) {
      if (left == 0) delete this;
    }
    return left;
  }

 protected:
  TRefCounted() = default;
  virtual ~TRefCounted() = default;

 private:
  std::conditional_t<How.Atomic, std::atomic<uint32_t>, uint32_t> refs_{How.Initial};
};

// An object that lives as long as its module (a server, a set of utilities):
// references are not counted, and AddRef answers 2 and Release 1 so that no
// caller takes its Release for the last.
template <class... Interfaces>
class TModuleObject : public Interfaces... {
 public:
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
};

}  // namespace abi
