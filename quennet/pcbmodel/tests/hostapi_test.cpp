#include "quennet/pcbmodel/hostapi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "quennet/pcbmodel/board.h"
#include "quennet/pcbmodel/pad.h"

namespace quennet {
namespace {

TEST(HostBinding, MissingFunctionsAnswerTheirDefaultAndWriteNothing) {
  TPcbApiTable empty;
  SetPcbApiOverride(&empty);
  uint8_t byte = 0xAB;
  int32_t count = -7;
  unsigned char name[256] = {3, 'a', 'b', 'c'};
  EXPECT_EQ(PcbApi_QueryBoardSplitPlaneMode(1, 1, &byte), 1);
  EXPECT_EQ(PcbApi_QueryBoardLayerPairsCount(1, &count, 1), 1);
  EXPECT_EQ(PcbApi_GetMemberFromClassAt(1, 0, name), 1);
  EXPECT_EQ(PcbApi_AddMemberToClass(1, name), 1);
  EXPECT_EQ(PcbApi_RemoveAllMembersFromClass(1), 1);
  unsigned char s1[256] = {}, s2[256] = {}, s3[256] = {};
  uint16_t word = 0;
  uint32_t value = 0;
  EXPECT_EQ(PcbApi_QueryManualFromTo(1, 1, &word, s1, s2, s3, &value), 1);
  EXPECT_EQ(PcbApi_GetCurrentBoardHandle(), 0u);
  EXPECT_EQ(PcbApi_GetObjectBitField2(1, 1, &byte), 0);
  EXPECT_EQ(PcbApi_FindDominantRuleForObject(1, 6), 0u);
  EXPECT_EQ(PcbApi_GetDesignatorDisplayString(1, name), 0);
  EXPECT_EQ(byte, 0xAB);
  EXPECT_EQ(count, -7);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(name), 4),
            "\x03"
            "abc");
  SetPcbApiOverride(nullptr);
}

// The editor module is bound by name once it is in the process, never loaded
// by the binding itself.
TEST(HostBinding, BindsTheEditorModuleOnlyOnceItIsLoaded) {
  SetPcbApiOverride(nullptr);
  // (A module an earlier test of this process loaded may still be mapped.)
  if (!platform::GetModuleHandle("Korvex.dll")) {
    EXPECT_EQ(PcbApi_GetCurrentBoardHandle(), 0u);
    EXPECT_FALSE(PcbApiBound()) << "the binding must not load the module";
    EXPECT_EQ(platform::GetModuleHandle("Korvex.dll"), nullptr);
  }
  const std::string path = std::string(ORVANTA_BIN_DIR) + "/libkorvex.so";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << "no editor module built at " << path;
  platform::ModuleHandle module = platform::LoadLibrary(path);
  ASSERT_NE(module, nullptr) << platform::LastLoadError();
  EXPECT_EQ(PcbApi_GetCurrentBoardHandle(), 0u);  // no board is open
  EXPECT_TRUE(PcbApiBound());
  EXPECT_EQ(PcbApi().GetCurrentBoardHandle,
            reinterpret_cast<abi::TPcbApi_GetCurrentBoardHandle>(
                platform::GetProcAddress(module, "PcbApi_GetCurrentBoardHandle")));
  SetPcbApiOverride(nullptr);  // forget the table before the module goes
  platform::FreeLibrary(module);
}

// A PCB server that hands out one board and refuses everything else.
class FakeServer final : public abi::IPCB_ServerInterface {
 public:
  struct Board final : abi::IPCB_Board {
    uint32_t refs = 0;
    abi::TStatus QueryInterface(const abi::TGUID&, void**) override { return abi::E_NOINTERFACE; }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    abi::TStatus Handle(uint32_t* out) override {
      *out = 5;
      return abi::S_OK;
    }
    abi::TStatus VisibleLayers(abi::IPCB_LayerSet**) override { return abi::E_FAIL; }
    abi::TStatus LayerIterator(abi::IPCB_LayerIterator**) override { return abi::E_FAIL; }
  } board;

  abi::TStatus QueryInterface(const abi::TGUID&, void**) override { return abi::E_NOINTERFACE; }
  uint32_t AddRef() override { return 2; }
  uint32_t Release() override { return 1; }
  abi::TStatus GetBoardFromHandle(uint32_t handle, abi::IPCB_Board** out) override {
    *out = nullptr;
    if (handle != 5) return abi::E_INVALIDARG;
    board.AddRef();
    *out = &board;
    return abi::S_OK;
  }
  abi::TStatus GetObjectFromHandle(uint32_t handle, const abi::TGUID&, void** out) override {
    *out = nullptr;
    lastHandle = handle;
    return abi::E_NOINTERFACE;
  }
  abi::TStatus GetSpecialStringConverter(abi::IPCB_SpecialStringConverter** out) override {
    *out = nullptr;
    return abi::E_NOINTERFACE;
  }
  abi::TStatus GetLastErrorText(uint32_t size, char* buffer) override {
    std::snprintf(buffer, size, "%s", lastHandle == 0 ? "" : "object 42 is not a pad");
    return abi::S_OK;
  }
  uint32_t lastHandle = 0;
};

TEST(HostBinding, InterfacesThroughThePcbServer) {
  FakeServer server;
  SetPcbServerOverride(nullptr);
  TPcbBoard board(5);
  // The test process has no host client: no server, no interface, no error.
  EXPECT_FALSE(board.GetBoardInterface());

  SetPcbServerOverride(&server);
  {
    auto i = board.GetBoardInterface();
    ASSERT_TRUE(i);
    uint32_t h = 0;
    i->Handle(&h);
    EXPECT_EQ(h, 5u);
    EXPECT_EQ(server.board.refs, 1u);
  }
  EXPECT_EQ(server.board.refs, 0u) << "the reference is released";

  TPcbBoard other(6);
  try {
    other.GetBoardInterface();
    ADD_FAILURE() << "a refused board request must raise";
  } catch (const EPcbHostError& e) {
    EXPECT_NE(std::string(e.what()).find("board handle 6"), std::string::npos) << e.what();
  }
  TPcbPad pad(42);
  try {
    pad.GetPadInterface();
    ADD_FAILURE() << "a refused pad request must raise";
  } catch (const EPcbHostError& e) {
    EXPECT_STREQ(e.what(), "object 42 is not a pad");
  }
  EXPECT_FALSE(TryViaInterface(43));
  EXPECT_FALSE(TryRegionInterface(44));
  SetPcbServerOverride(nullptr);
}

}  // namespace
}  // namespace quennet
