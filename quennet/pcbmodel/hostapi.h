// The plug-in's binding to the host PCB editor: its PcbApi_* functions, bound
// by name on first use, and its PCB server with the object interfaces.
//
// The editor module is already loaded in the host's process; the plug-in
// never loads or frees it. While the module cannot be found every call tries
// the binding again, and a function the module lacks answers its default
// status (0, or 1 for the few the contract names) without touching any output.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "abi/pcbapi.h"

namespace quennet {

// One entry per bound function, empty when the host lacks it.
struct TPcbApiTable {
#define QUENNET_PCBAPI_ENTRY(name, missing) abi::TPcbApi_##name name = nullptr;
  PCBAPI_FUNCTIONS(QUENNET_PCBAPI_ENTRY)
#undef QUENNET_PCBAPI_ENTRY
};

namespace detail {
// The table calls go to once bound (or overridden); nullptr while unbound.
extern const TPcbApiTable* g_pcbApiActive;
// Tries the binding; the (possibly empty) table to call now.
const TPcbApiTable& BindPcbApi();
}  // namespace detail

// The table in use, bound now if it was not yet (and the module is there).
inline const TPcbApiTable& PcbApi() {
  if (const TPcbApiTable* t = detail::g_pcbApiActive) return *t;
  return detail::BindPcbApi();
}

// Whether the editor module was found and its names looked up.
bool PcbApiBound();

// Points the binding at a table of the caller's instead of the editor module
// (an in-process host for tests and benchmarks); the table must outlive its
// use. nullptr returns to the editor module, unbound until the next call.
void SetPcbApiOverride(const TPcbApiTable* table);

namespace detail {
template <class Fn>
struct TPcbApiCall;
template <class R, class... A>
struct TPcbApiCall<R (*)(A...)> {
  using Fn = R (*)(A...);
  template <Fn TPcbApiTable::*Entry, int Missing>
  static R Call(A... args) {
    const auto fn = PcbApi().*Entry;
    return fn ? fn(args...) : static_cast<R>(Missing);
  }
};
}  // namespace detail

// The thin wrappers: quennet::PcbApi_QueryTrack(...) and so on, with exactly
// the host's argument types.
#define QUENNET_PCBAPI_WRAPPER(name, missing) \
  inline constexpr auto PcbApi_##name =       \
      &detail::TPcbApiCall<abi::TPcbApi_##name>::template Call<&TPcbApiTable::name, missing>;
PCBAPI_FUNCTIONS(QUENNET_PCBAPI_WRAPPER)
#undef QUENNET_PCBAPI_WRAPPER

// --- The PCB server and its object interfaces --------------------------------

// Raised when the host refuses an interface request; the text is the host's
// own explanation when it gives one.
class EPcbHostError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The editor's PCB server: the host client's server module "PCB", or empty
// when the host has none.
abi::Ref<abi::IPCB_ServerInterface> PcbServer();

// Uses the given server instead of the host client's (tests); nullptr undoes.
void SetPcbServerOverride(abi::IPCB_ServerInterface* server);

// The host's board interface for a board handle; empty without a PCB server.
// A refused request raises EPcbHostError.
abi::Ref<abi::IPCB_Board> BoardInterfaceOf(uint32_t boardHandle);

// The host's interface iid of an object handle, as *out (a new reference).
// Without a PCB server *out stays nullptr. A refused request raises
// EPcbHostError.
void ObjectInterfaceOf(uint32_t objectHandle, const abi::TGUID& iid, void** out);

// The same, for callers that skip an object the host cannot give: empty when
// there is no server or the host refuses.
abi::Ref<abi::IPCB_Via> TryViaInterface(uint32_t viaHandle);
abi::Ref<abi::IPCB_Region> TryRegionInterface(uint32_t regionHandle);

}  // namespace quennet
