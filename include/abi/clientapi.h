// The host client: flat functions exported by the host program's executable
// (a plug-in finds them by name in the process's main module) and the IClient
// interface with its options store.
//
// Text crosses as NUL-terminated 8-bit strings. A function that produces text
// writes it, NUL-terminated and cut to fit, into a caller buffer of
// kClientTextBufferSize bytes (the size is passed along so the host never
// writes past it). All names in the interfaces are UTF-16 (char16_t).
#pragma once

#include <cstdint>

#include "abi/hostbase.h"

namespace abi {

constexpr uint32_t kClientTextBufferSize = 4096;

struct IOptionsReader;
struct IOptionsWriter;
struct IOptionsManager;

// {6A1F0C21-4E0B-4D3A-9C2B-1E5B7A0C1001}
constexpr TGUID IID_IClient = {
    0x6A1F0C21, 0x4E0B, 0x4D3A, {0x9C, 0x2B, 0x1E, 0x5B, 0x7A, 0x0C, 0x10, 0x01}};
constexpr TGUID IID_IOptionsManager = {
    0x6A1F0C21, 0x4E0B, 0x4D3A, {0x9C, 0x2B, 0x1E, 0x5B, 0x7A, 0x0C, 0x10, 0x02}};
constexpr TGUID IID_IOptionsReader = {
    0x6A1F0C21, 0x4E0B, 0x4D3A, {0x9C, 0x2B, 0x1E, 0x5B, 0x7A, 0x0C, 0x10, 0x03}};
constexpr TGUID IID_IOptionsWriter = {
    0x6A1F0C21, 0x4E0B, 0x4D3A, {0x9C, 0x2B, 0x1E, 0x5B, 0x7A, 0x0C, 0x10, 0x04}};

// Booleans cross the options store as 32-bit values: the plug-in writes -1 for
// true and 0 for false; any non-zero value reads as true.
struct IOptionsReader : IHostUnknown {
  // The stored value, or defaultValue when the key is missing. A stored value
  // that is not a 32-bit integer is a failure, never silently the default.
  virtual TStatus ReadBoolean(const char16_t* group, const char16_t* key, int32_t defaultValue,
                              int32_t* out) = 0;
  virtual TStatus ReadInteger(const char16_t* group, const char16_t* key, int32_t defaultValue,
                              int32_t* out) = 0;

 protected:
  ~IOptionsReader() = default;
};

struct IOptionsWriter : IHostUnknown {
  // Each write is durable when it returns (the store is replaced atomically).
  virtual TStatus WriteBoolean(const char16_t* group, const char16_t* key, int32_t value) = 0;
  virtual TStatus WriteInteger(const char16_t* group, const char16_t* key, int32_t value) = 0;

 protected:
  ~IOptionsWriter() = default;
};

struct IOptionsManager : IHostUnknown {
  // flags is reserved and always 0.
  virtual TStatus GetOptionsReader(const char16_t* section, int32_t flags,
                                   IOptionsReader** out) = 0;
  virtual TStatus GetOptionsWriter(const char16_t* section, IOptionsWriter** out) = 0;

 protected:
  ~IOptionsManager() = default;
};

struct IClient : IHostUnknown {
  virtual TStatus GetOptionsManager(IOptionsManager** out) = 0;
  // "PCB" yields the PCB editor's server object; other names E_NOINTERFACE.
  virtual TStatus GetServerModuleByName(const char16_t* name, IHostUnknown** out) = 0;
  // Why the last failing call of this client or its options store failed, in
  // one line naming the file and line at fault where there is one; NUL-
  // terminated, cut to size. Empty when nothing failed.
  virtual TStatus GetLastErrorText(uint32_t size, char* buffer) = 0;

 protected:
  ~IClient() = default;
};

}  // namespace abi

// The flat functions. ClientAPI_GetClientInterface hands out a new reference.
ORVANTA_EXPORT abi::TStatus ClientAPI_GetClientInterface(abi::IClient** out);
// "dir/board.PcbDoc" -> ".PcbDoc" (with its dot; "" when there is none).
ORVANTA_EXPORT void ClientAPI_ExtractFileExtFromPath(const char* path, char* out, uint32_t size);
// "dir/board.PcbDoc" -> "board" (the file name without folder and extension).
ORVANTA_EXPORT void ClientAPI_ExtractFileNameFromPath(const char* path, char* out, uint32_t size);
// "dir/board.PcbDoc" -> "board.PcbDoc" (the file name with its extension).
ORVANTA_EXPORT void ClientAPI_ExtractWholeFileNameFromPath(const char* path, char* out,
                                                           uint32_t size);
// Sets the extension (given without "."): written in lower case, except that
// an extension already matching it ignoring case is kept as spelled.
ORVANTA_EXPORT void ClientAPI_ForceFileNameExtension(const char* name, const char* ext, char* out,
                                                     uint32_t size);
// 1 when the file exists (Windows-style lookup: either separator, any case; a
// Windows module name "X.dll" also matches the module file it maps to), else 0.
ORVANTA_EXPORT uint8_t ClientAPI_ExistSpecific(const char* name);
// A relative name becomes the same name in the executable's folder; an
// absolute name is kept.
ORVANTA_EXPORT void ClientAPI_ConvertFileNameToExeFileName(const char* name, char* out,
                                                           uint32_t size);

using TClientAPI_GetClientInterface = abi::TStatus (*)(abi::IClient**);
using TClientAPI_TextFunction = void (*)(const char*, char*, uint32_t);
using TClientAPI_ExtractFileExtFromPath = TClientAPI_TextFunction;
using TClientAPI_ExtractFileNameFromPath = TClientAPI_TextFunction;
using TClientAPI_ExtractWholeFileNameFromPath = TClientAPI_TextFunction;
using TClientAPI_ConvertFileNameToExeFileName = TClientAPI_TextFunction;
using TClientAPI_ForceFileNameExtension = void (*)(const char*, const char*, char*, uint32_t);
using TClientAPI_ExistSpecific = uint8_t (*)(const char*);
