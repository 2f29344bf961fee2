// What the host program asks of its PCB editor module besides the PcbApi_*
// functions: opening the board document the user named, and the editor's
// server object that the host client hands out as the server module "PCB".
#pragma once

#include <cstdint>

#include "abi/hostbase.h"

// Opens a board document (JSON) as the editor's current board, replacing any
// board that is open. Returns 0 on success; otherwise non-zero with a one-line
// message "<file>:<line>:<column>: <what is wrong>" written (NUL-terminated,
// cut to size) into error.
ORVANTA_EXPORT int32_t KorvexOpenBoard(const char* path, char* error, uint32_t errorSize);

// Closes the current board; afterwards PcbApi_GetCurrentBoardHandle answers 0.
ORVANTA_EXPORT void KorvexCloseBoard();

// The editor's PCB server object (a new reference). The host client returns it
// for the server module name "PCB"; the plug-in casts it to the PCB server
// interface declared in abi/pcbapi.h.
ORVANTA_EXPORT abi::TStatus KorvexGetServerModule(abi::IHostUnknown** out);

using TKorvexOpenBoard = int32_t (*)(const char*, char*, uint32_t);
using TKorvexCloseBoard = void (*)();
using TKorvexGetServerModule = abi::TStatus (*)(abi::IHostUnknown**);
