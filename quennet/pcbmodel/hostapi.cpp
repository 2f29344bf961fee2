#include "quennet/pcbmodel/hostapi.h"

#include <cstdio>

#include "platform/platform.h"
#include "quennet/driver/client.h"

namespace quennet {

namespace detail {
const TPcbApiTable* g_pcbApiActive = nullptr;
}  // namespace detail

namespace {

TPcbApiTable g_table;
const TPcbApiTable* g_override = nullptr;
abi::IPCB_ServerInterface* g_serverOverride = nullptr;

std::string HexStatus(abi::TStatus status) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(status));
  return buf;
}

// The host's explanation of its last failure, or a description of the call.
[[noreturn]] void RaiseServerError(abi::IPCB_ServerInterface* server, abi::TStatus status,
                                   const std::string& request) {
  char text[1024] = {};
  std::string message;
  if (server && !abi::Failed(server->GetLastErrorText(sizeof text, text)) && text[0])
    message = text;
  else
    message = "The PCB server refused " + request + " (status " + HexStatus(status) + ")";
  throw EPcbHostError(message);
}

// A host that fails a request yet hands out an interface still gave a
// reference; it is returned rather than leaked. Every interface of the host
// begins with the reference-counting root.
void ReleaseHandedOut(void** out) {
  if (*out) static_cast<abi::IHostUnknown*>(*out)->Release();
  *out = nullptr;
}

}  // namespace

const TPcbApiTable& detail::BindPcbApi() {
  if (g_override) return *(g_pcbApiActive = g_override);
  // The editor module is never loaded from here: it is the host's, and until
  // the host has it in the process every call finds the table empty.
  platform::ModuleHandle module = platform::GetModuleHandle("Korvex.dll");
  if (!module) return g_table;
#define QUENNET_PCBAPI_BIND(name, missing) \
  g_table.name =                           \
      reinterpret_cast<abi::TPcbApi_##name>(platform::GetProcAddress(module, "PcbApi_" #name));
  PCBAPI_FUNCTIONS(QUENNET_PCBAPI_BIND)
#undef QUENNET_PCBAPI_BIND
  g_pcbApiActive = &g_table;
  return g_table;
}

bool PcbApiBound() {
  return detail::g_pcbApiActive != nullptr;
}

void SetPcbApiOverride(const TPcbApiTable* table) {
  g_override = table;
  g_table = TPcbApiTable{};
  detail::g_pcbApiActive = table;
}

void SetPcbServerOverride(abi::IPCB_ServerInterface* server) {
  g_serverOverride = server;
}

abi::Ref<abi::IPCB_ServerInterface> PcbServer() {
  if (g_serverOverride) {
    g_serverOverride->AddRef();
    return abi::Ref<abi::IPCB_ServerInterface>(g_serverOverride);
  }
  abi::IClient* client = Client();
  if (!client) return {};
  abi::Ref<abi::IHostUnknown> module;
  if (abi::Failed(client->GetServerModuleByName(u"PCB", module.put())) || !module) return {};
  abi::Ref<abi::IPCB_ServerInterface> server;
  if (abi::Failed(module->QueryInterface(abi::IID_IPCB_ServerInterface,
                                         reinterpret_cast<void**>(server.put()))))
    return {};
  return server;
}

abi::Ref<abi::IPCB_Board> BoardInterfaceOf(uint32_t boardHandle) {
  abi::Ref<abi::IPCB_Board> board;
  abi::Ref<abi::IPCB_ServerInterface> server = PcbServer();
  if (!server) return board;
  const abi::TStatus status = server->GetBoardFromHandle(boardHandle, board.put());
  if (abi::Failed(status) || !board)
    RaiseServerError(server.get(), abi::Failed(status) ? status : abi::E_FAIL,
                     "the board interface of board handle " + std::to_string(boardHandle));
  return board;
}

void ObjectInterfaceOf(uint32_t objectHandle, const abi::TGUID& iid, void** out) {
  *out = nullptr;
  abi::Ref<abi::IPCB_ServerInterface> server = PcbServer();
  if (!server) return;
  const abi::TStatus status = server->GetObjectFromHandle(objectHandle, iid, out);
  if (abi::Failed(status) || !*out) {
    ReleaseHandedOut(out);
    RaiseServerError(server.get(), abi::Failed(status) ? status : abi::E_FAIL,
                     "an interface of object handle " + std::to_string(objectHandle));
  }
}

namespace {
template <class I>
abi::Ref<I> TryObjectInterface(uint32_t objectHandle, const abi::TGUID& iid) {
  abi::Ref<I> result;
  abi::Ref<abi::IPCB_ServerInterface> server = PcbServer();
  if (!server) return result;
  void* out = nullptr;
  if (abi::Failed(server->GetObjectFromHandle(objectHandle, iid, &out)) || !out) {
    ReleaseHandedOut(&out);
    return result;
  }
  return abi::Ref<I>(static_cast<I*>(out));
}
}  // namespace

abi::Ref<abi::IPCB_Via> TryViaInterface(uint32_t viaHandle) {
  return TryObjectInterface<abi::IPCB_Via>(viaHandle, abi::IID_IPCB_Via);
}

abi::Ref<abi::IPCB_Region> TryRegionInterface(uint32_t regionHandle) {
  return TryObjectInterface<abi::IPCB_Region>(regionHandle, abi::IID_IPCB_Region);
}

}  // namespace quennet
