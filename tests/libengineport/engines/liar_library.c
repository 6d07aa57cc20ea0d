/* A source engine library that breaks every promise of the buffer protocol and the event
   contract a library can break without writing outside the buffers it is given: it claims
   lengths it never places, asks for 2 GB, answers negative lengths, sends messages without
   text and changes its field count on every call. The proxies must stay within bounds. */
#include <limits.h>
#include <string.h>

#include "rynfiler.h"

static RynMessageProc gMessage;
static intptr_t gUser;
static int32_t gCountCalls;
static int32_t gRow;

RYN_API int32_t RYN_CALL EngineGetType(void) { return RYN_SOURCE; }

/* Places its 4 bytes but claims a million. */
RYN_API int32_t RYN_CALL EngineGetName(char* buffer, int32_t* length) {
  if (!length) return 0;
  if (buffer && *length >= 4) {
    memcpy(buffer, "Liar", 4);
    *length = 1000000;
    return -1;
  }
  *length = 4;
  return 0;
}

RYN_API int32_t RYN_CALL EngineDiscription(char* buffer, int32_t* length) {
  (void)buffer;
  if (length) *length = INT_MAX;
  return 0;
}

RYN_API int32_t RYN_CALL EngineInit(int32_t direction, RynHandle* handle) {
  if (direction != RYN_SOURCE || !handle) return 0x10000004;
  *handle = 7;
  return RYN_OK;
}

RYN_API void RYN_CALL EngineFina(RynHandle engine) { (void)engine; }

RYN_API void RYN_CALL EngineSetEvent(RynHandle engine, intptr_t user, int32_t kind, void* callback) {
  (void)engine;
  if (kind == RYN_EVENT_MESSAGE) {
    gMessage = (RynMessageProc)callback;
    gUser = user;
  }
}

RYN_API int32_t RYN_CALL EngineGetOptions(RynHandle engine, char* buffer, int32_t* length) {
  (void)engine;
  (void)buffer;
  if (length) *length = INT_MAX;
  return 0;
}

RYN_API int32_t RYN_CALL EngineSetOptions(RynHandle engine, const char* options) {
  (void)engine;
  (void)options;
  if (gMessage) gMessage(gUser, 3, NULL);
  return 0;
}

RYN_API int32_t RYN_CALL EngineEstablished(RynHandle engine) {
  (void)engine;
  return 1;
}

RYN_API void RYN_CALL MoveFirst(RynHandle engine) {
  (void)engine;
  gRow = 0;
}
RYN_API void RYN_CALL MoveNext(RynHandle engine) {
  (void)engine;
  ++gRow;
}
RYN_API int32_t RYN_CALL IsEof(RynHandle engine) {
  (void)engine;
  return gRow >= 2;
}
RYN_API int32_t RYN_CALL DataCount(RynHandle engine) {
  (void)engine;
  return -123;
}

/* 1, 2, 3, 1, 2, 3, ... */
RYN_API int32_t RYN_CALL FieldGetCount(RynHandle engine) {
  (void)engine;
  return gCountCalls++ % 3 + 1;
}

RYN_API int32_t RYN_CALL FieldGetName(RynHandle engine, int32_t index, char* buffer, int32_t* length) {
  (void)engine;
  (void)buffer;
  if (length) *length = index == 0 ? -7 : INT_MAX;
  return 0;
}

RYN_API int32_t RYN_CALL FieldGetType(RynHandle engine, int32_t index) {
  (void)engine;
  return index == 1 ? RYN_FT_WIDESTRING : RYN_FT_STRING;
}

RYN_API int32_t RYN_CALL FieldFindbyName(RynHandle engine, const char* name) {
  (void)engine;
  (void)name;
  return 0;
}

RYN_API int32_t RYN_CALL FieldIsEmpty(RynHandle engine, int32_t index) {
  (void)engine;
  (void)index;
  return 0;
}

/* Asks for 2 GB for every text. */
static int32_t RYN_CALL HugeText(RynHandle engine, int32_t index, char* buffer, int32_t* length) {
  (void)engine;
  (void)index;
  (void)buffer;
  if (length) *length = INT_MAX;
  return 0;
}

/* Fills what it is given and claims twice as many characters. */
static int32_t RYN_CALL OverlongWide(RynHandle engine, int32_t index, char16_t* buffer, int32_t* chars) {
  (void)engine;
  (void)index;
  if (!chars) return 0;
  if (buffer && *chars > 0) {
    for (int32_t i = 0; i < *chars; ++i) buffer[i] = (char16_t)'w';
    *chars *= 2;
    return -1;
  }
  *chars = 10;
  return 0;
}

RYN_API void* RYN_CALL FieldGetProc(int32_t direction, int32_t type) {
  if (direction != RYN_SOURCE) return NULL;
  if (type == RYN_FT_STRING) return (void*)HugeText;
  if (type == RYN_FT_WIDESTRING) return (void*)OverlongWide;
  return NULL;
}
