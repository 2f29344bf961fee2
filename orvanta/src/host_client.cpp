#include "orvanta/src/host_client.h"

#include <cstring>
#include <memory>

#include "abi/korvex_host.h"
#include "orvanta/src/options_store.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace orvanta {
namespace {

std::string& LastError() {
  static std::string text;
  return text;
}

// The heap objects of the options store: their creator's reference is the
// first, the last Release frees them.
template <class Interface>
class Counted : public abi::TRefCounted<abi::TRefCounting{.Atomic = true}, Interface> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    if (!out) return abi::E_INVALIDARG;
    if (iid == abi::TGUID{} || iid == Iid()) {
      this->AddRef();
      *out = static_cast<Interface*>(this);
      return abi::S_OK;
    }
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }

 protected:
  virtual abi::TGUID Iid() const = 0;
};

abi::TStatus Fail(const std::string& text, abi::TStatus status = abi::E_FAIL) {
  SetLastClientError(text);
  return status;
}

bool Names(const char16_t* group, const char16_t* key, std::string& g, std::string& k) {
  return group && key && Utf16ToUtf8(group, g) && Utf16ToUtf8(key, k);
}

class Reader final : public Counted<abi::IOptionsReader> {
 public:
  Reader(std::string section, std::unique_ptr<OptionsStore> store)
      : section_(std::move(section)), store_(std::move(store)) {}

  abi::TStatus ReadBoolean(const char16_t* group, const char16_t* key, int32_t defaultValue,
                           int32_t* out) override {
    return Read(group, key, defaultValue, out);
  }
  abi::TStatus ReadInteger(const char16_t* group, const char16_t* key, int32_t defaultValue,
                           int32_t* out) override {
    return Read(group, key, defaultValue, out);
  }

 private:
  abi::TGUID Iid() const override { return abi::IID_IOptionsReader; }
  abi::TStatus Read(const char16_t* group, const char16_t* key, int32_t defaultValue,
                    int32_t* out) {
    std::string g, k;
    if (!out || !Names(group, key, g, k))
      return Fail(store_->path() + ": invalid group or key name", abi::E_INVALIDARG);
    try {
      *out = store_->ReadInteger(section_, g, k).value_or(defaultValue);
      return abi::S_OK;
    } catch (const std::exception& e) {
      return Fail(e.what());
    }
  }
  std::string section_;
  std::unique_ptr<OptionsStore> store_;
};

class Writer final : public Counted<abi::IOptionsWriter> {
 public:
  Writer(std::string section, std::unique_ptr<OptionsStore> store)
      : section_(std::move(section)), store_(std::move(store)) {}

  abi::TStatus WriteBoolean(const char16_t* group, const char16_t* key, int32_t value) override {
    return Write(group, key, value);
  }
  abi::TStatus WriteInteger(const char16_t* group, const char16_t* key, int32_t value) override {
    return Write(group, key, value);
  }

 private:
  abi::TGUID Iid() const override { return abi::IID_IOptionsWriter; }
  abi::TStatus Write(const char16_t* group, const char16_t* key, int32_t value) {
    std::string g, k;
    if (!Names(group, key, g, k))
      return Fail(store_->path() + ": invalid group or key name", abi::E_INVALIDARG);
    try {
      // A value equal to the stored one is not written again, so a store
      // that cannot be written still serves an export that changes nothing.
      if (Stored(g, k) == value) return abi::S_OK;
      store_->Set(section_, g, k, std::to_string(value));
      store_->Save();
      return abi::S_OK;
    } catch (const std::exception& e) {
      return Fail(e.what());
    }
  }
  std::optional<int32_t> Stored(const std::string& group, const std::string& key) const {
    try {
      return store_->ReadInteger(section_, group, key);
    } catch (const EOptionsStore&) {
      return std::nullopt;  // not a number: the new value replaces it
    }
  }
  std::string section_;
  std::unique_ptr<OptionsStore> store_;
};

class Manager final : public Counted<abi::IOptionsManager> {
 public:
  abi::TStatus GetOptionsReader(const char16_t* section, int32_t,
                                abi::IOptionsReader** out) override {
    if (!out) return abi::E_INVALIDARG;
    *out = nullptr;
    std::string s;
    std::unique_ptr<OptionsStore> store;
    if (abi::TStatus st = Open(section, s, store); abi::Failed(st)) return st;
    *out = new Reader(std::move(s), std::move(store));
    return abi::S_OK;
  }
  abi::TStatus GetOptionsWriter(const char16_t* section, abi::IOptionsWriter** out) override {
    if (!out) return abi::E_INVALIDARG;
    *out = nullptr;
    std::string s;
    std::unique_ptr<OptionsStore> store;
    if (abi::TStatus st = Open(section, s, store); abi::Failed(st)) return st;
    *out = new Writer(std::move(s), std::move(store));
    return abi::S_OK;
  }

 private:
  abi::TGUID Iid() const override { return abi::IID_IOptionsManager; }
  // Every reader and writer starts from the file as it is now, so that what
  // another program stored in between is neither missed nor overwritten.
  static abi::TStatus Open(const char16_t* section, std::string& s,
                           std::unique_ptr<OptionsStore>& store) {
    try {
      const std::string path = OptionsStorePath();
      if (!section || !Utf16ToUtf8(section, s) || s.empty())
        return Fail(path + ": invalid section name", abi::E_INVALIDARG);
      store = std::make_unique<OptionsStore>(path);
      store->Load();
      return abi::S_OK;
    } catch (const std::exception& e) {
      return Fail(e.what());
    }
  }
};

// The client is a process-wide object: counting keeps the contract, the
// object itself is never destroyed.
class Client final
    : public abi::TRefCounted<abi::TRefCounting{.Atomic = true, .DeleteAtZero = false},
                              abi::IClient> {
 public:
  abi::TStatus QueryInterface(const abi::TGUID& iid, void** out) override {
    if (!out) return abi::E_INVALIDARG;
    if (iid == abi::TGUID{} || iid == abi::IID_IClient) {
      *out = static_cast<abi::IClient*>(this);
      return abi::S_OK;
    }
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }

  abi::TStatus GetOptionsManager(abi::IOptionsManager** out) override {
    if (!out) return abi::E_INVALIDARG;
    *out = new Manager();
    return abi::S_OK;
  }

  abi::TStatus GetServerModuleByName(const char16_t* name, abi::IHostUnknown** out) override {
    if (!out) return abi::E_INVALIDARG;
    *out = nullptr;
    std::string n;
    if (!name || !Utf16ToUtf8(name, n)) return abi::E_INVALIDARG;
    if (!platform::EqualsNoCase(n, "PCB"))
      return Fail("no server module named \"" + n + "\"", abi::E_NOINTERFACE);
    platform::ModuleHandle korvex = platform::GetModuleHandle("Korvex.dll");
    auto get = reinterpret_cast<TKorvexGetServerModule>(
        platform::GetProcAddress(korvex, "KorvexGetServerModule"));
    if (!get) return Fail("the PCB editor module is not loaded");
    return get(out);
  }

  abi::TStatus GetLastErrorText(uint32_t size, char* buffer) override {
    if (!buffer || size == 0) return abi::E_INVALIDARG;
    const std::string& text = LastError();
    const size_t n = std::min<size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return abi::S_OK;
  }
};

}  // namespace

abi::IClient* HostClient() {
  static Client* client = new Client();  // never destroyed: plug-ins hold it
  return client;
}

std::string OptionsStorePath() {
  return OptionsStore::DefaultPath();
}

void SetLastClientError(const std::string& text) {
  LastError() = text;
}

bool Utf16ToUtf8(const char16_t* s, std::string& out) {
  out.clear();
  for (; *s; ++s) {
    uint32_t c = *s;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (s[1] < 0xDC00 || s[1] > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (s[1] - 0xDC00);
      ++s;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return true;
}

}  // namespace orvanta
