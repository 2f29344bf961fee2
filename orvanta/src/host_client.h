// The host client: the IClient that plug-ins hold, with its options store.
#pragma once

#include <string>

#include "abi/clientapi.h"

namespace orvanta {

// The process's one client object (lives as long as the process).
abi::IClient* HostClient();

// Where the options store lives (throws EOptionsStore when there is no such place).
std::string OptionsStorePath();

// Records why the last client call failed; GetLastErrorText hands it out.
void SetLastClientError(const std::string& text);

// UTF-16 names of the interfaces, as UTF-8 for the store file. Invalid UTF-16
// (an unpaired surrogate) yields false.
bool Utf16ToUtf8(const char16_t* s, std::string& out);

}  // namespace orvanta
