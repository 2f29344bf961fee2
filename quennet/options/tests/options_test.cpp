#include "quennet/options/options.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using abi::TStatus;

std::string Narrow(const char16_t* s) {
  std::string r;
  for (; *s; ++s) r += static_cast<char>(*s);
  return r;
}

// An options store that records every call and can fail at a chosen one.
class FakeStore {
 public:
  std::map<std::string, int32_t> values;  // "group/key" -> value
  std::vector<std::string> calls;
  int failAt = -1;  // index into calls that fails
  int live = 0;     // references handed out and not yet released

  TStatus Record(std::string call) {
    calls.push_back(std::move(call));
    return static_cast<int>(calls.size()) - 1 == failAt ? abi::E_FAIL : abi::S_OK;
  }
};

// Counted as the host's objects are; the store sees every reference.
template <class I>
class Obj : public abi::TRefCounted<abi::TRefCounting{}, I> {
  using Counted = abi::TRefCounted<abi::TRefCounting{}, I>;

 public:
  explicit Obj(FakeStore& s) : s_(s) { ++s_.live; }
  TStatus QueryInterface(const abi::TGUID&, void** out) override {
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }
  uint32_t AddRef() override {
    ++s_.live;
    return Counted::AddRef();
  }
  uint32_t Release() override {
    --s_.live;
    return Counted::Release();
  }

 protected:
  FakeStore& s_;
};

class Reader final : public Obj<abi::IOptionsReader> {
 public:
  using Obj::Obj;
  TStatus ReadBoolean(const char16_t* g, const char16_t* k, int32_t d, int32_t* out) override {
    return Read("readBool", g, k, d, out);
  }
  TStatus ReadInteger(const char16_t* g, const char16_t* k, int32_t d, int32_t* out) override {
    return Read("readInt", g, k, d, out);
  }

 private:
  TStatus Read(const char* kind, const char16_t* g, const char16_t* k, int32_t d, int32_t* out) {
    const std::string key = Narrow(g) + "/" + Narrow(k);
    const TStatus st = s_.Record(std::string(kind) + " " + key + " " + std::to_string(d));
    if (abi::Failed(st)) return st;
    auto it = s_.values.find(key);
    *out = it == s_.values.end() ? d : it->second;
    return st;
  }
};

class Writer final : public Obj<abi::IOptionsWriter> {
 public:
  using Obj::Obj;
  TStatus WriteBoolean(const char16_t* g, const char16_t* k, int32_t v) override {
    return Write("writeBool", g, k, v);
  }
  TStatus WriteInteger(const char16_t* g, const char16_t* k, int32_t v) override {
    return Write("writeInt", g, k, v);
  }

 private:
  TStatus Write(const char* kind, const char16_t* g, const char16_t* k, int32_t v) {
    const std::string key = Narrow(g) + "/" + Narrow(k);
    const TStatus st = s_.Record(std::string(kind) + " " + key + " " + std::to_string(v));
    if (!abi::Failed(st)) s_.values[key] = v;
    return st;
  }
};

class Manager final : public Obj<abi::IOptionsManager> {
 public:
  using Obj::Obj;
  TStatus GetOptionsReader(const char16_t* section, int32_t flags,
                           abi::IOptionsReader** out) override {
    const TStatus st = s_.Record("openReader " + Narrow(section) + " " + std::to_string(flags));
    *out = abi::Failed(st) ? nullptr : new Reader(s_);
    return st;
  }
  TStatus GetOptionsWriter(const char16_t* section, abi::IOptionsWriter** out) override {
    const TStatus st = s_.Record("openWriter " + Narrow(section));
    *out = abi::Failed(st) ? nullptr : new Writer(s_);
    return st;
  }
};

class Client final : public Obj<abi::IClient> {
 public:
  using Obj::Obj;
  TStatus GetOptionsManager(abi::IOptionsManager** out) override {
    const TStatus st = s_.Record("manager");
    *out = abi::Failed(st) ? nullptr : new Manager(s_);
    return st;
  }
  TStatus GetServerModuleByName(const char16_t*, abi::IHostUnknown** out) override {
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }
  TStatus GetLastErrorText(uint32_t size, char* buffer) override {
    std::snprintf(buffer, size, "store.ini:7: broken");
    return abi::S_OK;
  }
};

struct Fixture {
  FakeStore store;
  Client* client = new Client(store);
  ~Fixture() { client->Release(); }
};

const std::vector<std::string> kLoadCalls = {
    "manager",
    "openReader Quennet 0",
    "readBool Dialog/Only Visible Layers 0",
    "readInt Dialog/ACAD Version 5",
    "readInt Dialog/Output Format 0",
    "readInt Dialog/Units 0",
    "readInt Dialog/Hole Mode 0",
    "readInt Dialog/Components Mode 0",
    "readBool Dialog/Rounded Tracks -1",
    "readInt Dialog/Zero Width Lines 0",
};

TEST(LoadOptions, EmptyStoreGivesDefaultsInKeyOrder) {
  Fixture f;
  quennet::TExportOptions o;
  o.AcadVersion = 1, o.RoundedTracks = false, o.ComponentsMode = 1, o.HoleMode = 2, o.Units = 1,
  o.OutputFormat = 1, o.OnlyVisibleLayers = true, o.ZeroWidthLines = 2;
  quennet::LoadOptions(o, f.client);
  EXPECT_EQ(f.store.calls, kLoadCalls);
  EXPECT_EQ(o.AcadVersion, 5);
  EXPECT_TRUE(o.RoundedTracks);
  EXPECT_EQ(o.ComponentsMode, 0);
  EXPECT_EQ(o.HoleMode, 0);
  EXPECT_EQ(o.Units, 0);
  EXPECT_EQ(o.OutputFormat, 0);
  EXPECT_FALSE(o.OnlyVisibleLayers);
  EXPECT_EQ(o.ZeroWidthLines, 0);
  EXPECT_EQ(f.store.live, 1) << "manager and reader released";
}

TEST(LoadOptions, ConvertsStoredValues) {
  Fixture f;
  f.store.values = {{"Dialog/Only Visible Layers", 1}, {"Dialog/Rounded Tracks", 0},
                    {"Dialog/Components Mode", 257},   {"Dialog/Zero Width Lines", 258},
                    {"Dialog/ACAD Version", 9},        {"Dialog/Hole Mode", -3}};
  quennet::TExportOptions o;
  quennet::LoadOptions(o, f.client);
  EXPECT_TRUE(o.OnlyVisibleLayers);  // 1 reads as true like -1
  EXPECT_FALSE(o.RoundedTracks);
  EXPECT_EQ(o.ComponentsMode, 1);  // low 8 bits of 257
  EXPECT_EQ(o.ZeroWidthLines, 2);
  EXPECT_EQ(o.AcadVersion, 9);  // out of range is kept
  EXPECT_EQ(o.HoleMode, -3);
  f.store.values["Dialog/Only Visible Layers"] = -1;
  quennet::LoadOptions(o, f.client);
  EXPECT_TRUE(o.OnlyVisibleLayers);
}

TEST(SaveOptions, WritesMinusOneForTrueInKeyOrderAndRoundTrips) {
  Fixture f;
  quennet::TExportOptions o;
  o.AcadVersion = 6, o.RoundedTracks = true, o.ComponentsMode = 1, o.HoleMode = 2, o.Units = 1,
  o.OutputFormat = 1, o.OnlyVisibleLayers = true, o.ZeroWidthLines = 2;
  quennet::SaveOptions(o, f.client);
  const std::vector<std::string> expected = {
      "manager",
      "openWriter Quennet",
      "writeBool Dialog/Only Visible Layers -1",
      "writeInt Dialog/ACAD Version 6",
      "writeInt Dialog/Output Format 1",
      "writeInt Dialog/Units 1",
      "writeInt Dialog/Hole Mode 2",
      "writeInt Dialog/Components Mode 1",
      "writeBool Dialog/Rounded Tracks -1",
      "writeInt Dialog/Zero Width Lines 2",
  };
  EXPECT_EQ(f.store.calls, expected);
  EXPECT_EQ(f.store.live, 1);

  quennet::TExportOptions back;
  quennet::LoadOptions(back, f.client);
  EXPECT_EQ(back.AcadVersion, 6);
  EXPECT_TRUE(back.RoundedTracks);
  EXPECT_EQ(back.ComponentsMode, 1);
  EXPECT_EQ(back.HoleMode, 2);
  EXPECT_EQ(back.Units, 1);
  EXPECT_EQ(back.OutputFormat, 1);
  EXPECT_TRUE(back.OnlyVisibleLayers);
  EXPECT_EQ(back.ZeroWidthLines, 2);

  o.RoundedTracks = false, o.OnlyVisibleLayers = false;
  quennet::SaveOptions(o, f.client);
  EXPECT_EQ(f.store.values["Dialog/Rounded Tracks"], 0);
  EXPECT_EQ(f.store.values["Dialog/Only Visible Layers"], 0);
}

TEST(Options, AFailingCallStopsAtOnceAndReleasesEverything) {
  // Fail each call of a load in turn: nothing after it is asked, fields read
  // before it keep their new values, and every reference is released.
  for (size_t failAt = 0; failAt < kLoadCalls.size(); ++failAt) {
    Fixture f;
    f.store.values["Dialog/Only Visible Layers"] = -1;
    f.store.failAt = static_cast<int>(failAt);
    quennet::TExportOptions o;
    try {
      quennet::LoadOptions(o, f.client);
      ADD_FAILURE() << "no error at call " << failAt;
    } catch (const quennet::EOptionsStoreError& e) {
      EXPECT_NE(std::string(e.what()).find("store.ini:7: broken"), std::string::npos) << e.what();
    }
    EXPECT_EQ(f.store.calls.size(), failAt + 1);
    EXPECT_EQ(o.OnlyVisibleLayers, failAt > 2) << failAt;
    EXPECT_EQ(f.store.live, 1) << failAt;
  }
  Fixture f;
  f.store.failAt = 4;  // the third write
  try {
    quennet::SaveOptions(quennet::TExportOptions{}, f.client);
    ADD_FAILURE() << "no error";
  } catch (const quennet::EOptionsStoreError& e) {
    EXPECT_NE(std::string(e.what()).find("\"Output Format\""), std::string::npos) << e.what();
  }
  EXPECT_EQ(f.store.calls.size(), 5u);
  EXPECT_EQ(f.store.values.size(), 2u);
  EXPECT_EQ(f.store.live, 1);
}

TEST(Options, NoHostClientIsAnError) {
  quennet::TExportOptions o;
  EXPECT_THROW(quennet::LoadOptions(o, nullptr), quennet::EOptionsStoreError);
  EXPECT_THROW(quennet::SaveOptions(o, nullptr), quennet::EOptionsStoreError);
}

}  // namespace
