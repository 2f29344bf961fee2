// A drawing engine for tests: exports the same eda* names as the real engine,
// keeps every record it is handed, and answers queries about them. Its extra
// functions (rec*) let a test read what the exporter asked for, field by
// field, and make chosen calls fail.
#pragma once

#include <cstdint>

#include "abi/hostbase.h"

// The calls made since the last recReset, one line each ("edaAddLayer TopLayer").
ORVANTA_EXPORT int32_t recCallCount();
ORVANTA_EXPORT const char* recCall(int32_t index);
// Entities appended since the last recReset, in order, with the list they
// went to. The records are copies of what the exporter handed over.
ORVANTA_EXPORT int32_t recEntityCount();
ORVANTA_EXPORT const uint8_t* recEntityHeader(int32_t index);
ORVANTA_EXPORT const uint8_t* recEntityData(int32_t index);
ORVANTA_EXPORT int32_t recEntityList(int32_t index);
// The list of a block (by name) or of model space ("*MODEL_SPACE") of the
// newest drawing; 0 when none.
ORVANTA_EXPORT int32_t recListOf(const char* blockName);
// Layer records as added.
ORVANTA_EXPORT int32_t recLayerCount();
ORVANTA_EXPORT const uint8_t* recLayer(int32_t index);
// The header record of the newest drawing (also after it was closed).
ORVANTA_EXPORT const uint8_t* recHeader();
// Makes the named engine function (edaInitAd2 or edaSaveFile) fail with a reason.
ORVANTA_EXPORT void recFailNext(const char* function, const char* reason);
ORVANTA_EXPORT void recReset();
// Drawings created and not yet closed.
ORVANTA_EXPORT int32_t recOpenDrawings();
// Whether the engine is initialised (edaInitAd2 done, edaCloseAd2 not yet).
ORVANTA_EXPORT int32_t recInitialised();

// Bytes every defaulted record starts with, so a test sees which fields the
// exporter set and which kept the engine's default.
constexpr uint8_t kRecDefaultByte = 0xEE;
