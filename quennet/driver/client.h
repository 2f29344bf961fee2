// The plug-in's binding to its host client: the ClientAPI_* functions found by
// name in the process's executable, and the IClient held for the options store.
#pragma once

#include <string>

#include "abi/clientapi.h"

namespace quennet {

// Binds the host client's functions and fetches the IClient, once; later calls
// return at once. A function the host lacks leaves its entry empty.
void BindClient();

// The IClient held since start-up (no reference of its own: the host's client
// outlives the plug-in), or nullptr when the host has none.
abi::IClient* Client();

// Thin wrappers over the host's file-name services. Each yields "" (false for
// the existence test) when the host lacks the function.
std::string ClientExtractFileExtFromPath(const std::string& path);
std::string ClientExtractFileNameFromPath(const std::string& path);
std::string ClientForceFileNameExtension(const std::string& name, const std::string& ext);
bool ClientExistSpecific(const std::string& name);
std::string ClientConvertFileNameToExeFileName(const std::string& name);
std::string ClientExtractWholeFileNameFromPath(const std::string& path);

// The host's own explanation of its last failure ("" when none or no host).
std::string ClientLastErrorText();

}  // namespace quennet
