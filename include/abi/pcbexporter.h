// What a host calls in a PCB exporter plug-in, found by name in the module.
// Strings are length-prefixed (see hostbase.h); booleans are one byte, 0 or 1.
// Errors raised inside the plug-in leave these functions as C++ exceptions
// derived from std::exception; the host catches and reports them.
#pragma once

#include <cstdint>

#include "abi/hostbase.h"

// The format name, NUL-terminated; the same pointer on every call.
using TGetPcbExporterDescription = const char* (*)();
// 1 when format names this plug-in's format exactly.
using TRecognisedPcbFormat = uint8_t (*)(const unsigned char* format);
// Exports the editor's current board to fileName; 1 when the file was written.
using TExportFileFromPcb = uint8_t (*)(const unsigned char* fileName, const unsigned char* format);

// The plug-in's description for the host's format list: a named, exported,
// read-only object of 30 UTF-16 code units (60 bytes) ending in a NUL.
namespace abi {
constexpr const char* kPcbExporterDescriptionSymbol = "DESCRIPTION";
constexpr unsigned kPcbExporterDescriptionUnits = 30;
}  // namespace abi
