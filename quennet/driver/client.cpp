#include "quennet/driver/client.h"

#include <vector>

#include "platform/platform.h"

namespace quennet {
namespace {

struct ClientFunctions {
  bool bound = false;
  abi::IClient* client = nullptr;
  TClientAPI_GetClientInterface getClientInterface = nullptr;
  TClientAPI_ExtractFileExtFromPath extractFileExt = nullptr;
  TClientAPI_ExtractFileNameFromPath extractFileName = nullptr;
  TClientAPI_ForceFileNameExtension forceExtension = nullptr;
  TClientAPI_ExistSpecific existSpecific = nullptr;
  TClientAPI_ConvertFileNameToExeFileName convertToExeFileName = nullptr;
  TClientAPI_ExtractWholeFileNameFromPath extractWholeFileName = nullptr;
};

ClientFunctions& Functions() {
  static ClientFunctions f;
  return f;
}

template <class F>
void Bind(platform::ModuleHandle exe, const char* name, F& slot) {
  slot = reinterpret_cast<F>(platform::GetProcAddress(exe, name));
}

std::string CallText(TClientAPI_TextFunction f, const std::string& in) {
  BindClient();
  if (!f) return {};
  std::vector<char> buf(abi::kClientTextBufferSize, '\0');
  f(in.c_str(), buf.data(), abi::kClientTextBufferSize);
  buf.back() = '\0';
  return buf.data();
}

}  // namespace

void BindClient() {
  ClientFunctions& f = Functions();
  if (f.bound) return;
  f.bound = true;
  // The host client lives in the process's executable, not in this module.
  platform::ModuleHandle exe = platform::GetModuleHandle(nullptr);
  Bind(exe, "ClientAPI_GetClientInterface", f.getClientInterface);
  Bind(exe, "ClientAPI_ExtractFileExtFromPath", f.extractFileExt);
  Bind(exe, "ClientAPI_ExtractFileNameFromPath", f.extractFileName);
  Bind(exe, "ClientAPI_ForceFileNameExtension", f.forceExtension);
  Bind(exe, "ClientAPI_ExistSpecific", f.existSpecific);
  Bind(exe, "ClientAPI_ConvertFileNameToExeFileName", f.convertToExeFileName);
  Bind(exe, "ClientAPI_ExtractWholeFileNameFromPath", f.extractWholeFileName);
  if (f.getClientInterface) {
    abi::IClient* client = nullptr;
    if (!abi::Failed(f.getClientInterface(&client)) && client) {
      // Held without a reference of its own: the host's client object lives as
      // long as the process that loaded this module.
      f.client = client;
      client->Release();
    }
  }
}

abi::IClient* Client() {
  BindClient();
  return Functions().client;
}

std::string ClientExtractFileExtFromPath(const std::string& path) {
  BindClient();
  return CallText(Functions().extractFileExt, path);
}

std::string ClientExtractFileNameFromPath(const std::string& path) {
  BindClient();
  return CallText(Functions().extractFileName, path);
}

std::string ClientExtractWholeFileNameFromPath(const std::string& path) {
  BindClient();
  return CallText(Functions().extractWholeFileName, path);
}

std::string ClientConvertFileNameToExeFileName(const std::string& name) {
  BindClient();
  return CallText(Functions().convertToExeFileName, name);
}

std::string ClientForceFileNameExtension(const std::string& name, const std::string& ext) {
  BindClient();
  TClientAPI_ForceFileNameExtension f = Functions().forceExtension;
  if (!f) return {};
  std::vector<char> buf(abi::kClientTextBufferSize, '\0');
  f(name.c_str(), ext.c_str(), buf.data(), abi::kClientTextBufferSize);
  buf.back() = '\0';
  return buf.data();
}

bool ClientExistSpecific(const std::string& name) {
  BindClient();
  TClientAPI_ExistSpecific f = Functions().existSpecific;
  return f && f(name.c_str()) != 0;
}

std::string ClientLastErrorText() {
  abi::IClient* client = Client();
  if (!client) return {};
  std::vector<char> buf(abi::kClientTextBufferSize, '\0');
  if (abi::Failed(client->GetLastErrorText(abi::kClientTextBufferSize, buf.data()))) return {};
  buf.back() = '\0';
  return buf.data();
}

}  // namespace quennet
