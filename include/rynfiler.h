/*
 * rynfiler.h - the engine-library contract.
 *
 * A host loads an engine library and drives it only through the functions declared here.
 * Every engine library of the framework exports the same 35 functions (librynfiler.so
 * contributes a destination engine that writes the exchange file), and the framework's
 * host side drives any library that exports them.
 *
 * Conventions
 *  - Handles (RynHandle) are opaque: an engine handle comes from EngineInit, a
 *    configuration handle from ConfigInit. A handle is valid from its ...Init call to its
 *    ...Fina call. A value that is not a valid handle of the required kind is answered
 *    with the function's failure value and touches nothing.
 *  - Truth values are -1 (true) and 0 (false), except IsEof and EngineEstablished, which
 *    answer 1 or 0.
 *  - Result codes: 0 success; RYN_E_DIRECTION (direction not 1 or 2); RYN_E_HANDLE
 *    (unknown handle, or its port is not of the required kind); RYN_E_NOTHING (nothing to
 *    create; also EngineInit when the process code page cannot be used); RYN_E_WRITE
 *    (records already accepted could not be written, e.g. a full disk: the engine has
 *    sent message 4135 to its message callback); RYN_E_FAILED (the engine failed in
 *    another way, e.g. out of memory); RYN_E_WIZARD_HANDLE (unknown handle for the
 *    wizard's page queries). Engines answer EngineSetOptions with their own nonzero codes.
 *  - Narrow text is bytes in the process code page (GBK unless the environment variable
 *    RYNFILER_CODEPAGE names another iconv encoding). Lengths of narrow text count bytes.
 *    Wide text is UTF-16 in native byte order.
 *  - Buffer protocol (EngineGetName, EngineDiscription, EngineGetOptions, FieldGetName,
 *    the text getters): the caller passes a buffer (may be NULL) and the address of an
 *    int32_t holding the buffer's capacity. When the buffer is not NULL and the capacity
 *    is at least the text's length, the library copies the text, stores its length and
 *    returns -1; otherwise it stores the length and returns 0, and the caller allocates
 *    and calls again. The library never writes a terminating zero. When the handle, port
 *    or field cannot be resolved the length is left unchanged and the result is 0.
 *  - No function lets an error escape; none keeps a pointer the caller passed in beyond
 *    the call, except the callbacks of EngineSetEvent.
 *  - Handles are never issued twice while the library is loaded: a handle that was ended
 *    answers the failure value for good, whatever is created later. Each load of the
 *    library draws a new series of handles, so one kept across an unload and a new load
 *    is refused as well, except with a chance of 1 in 32,768 that the two loads drew the
 *    same series; a host must not keep handles across an unload.
 *  - Calls on one engine are not serialized; the live-handle bookkeeping is thread-safe.
 *    Ending a handle while another thread is inside a call on it is safe: the running
 *    call completes, later calls answer their failure values, and the engine is closed
 *    when the last running call returns; EngineFina and EngineAbandon return only after
 *    that (a destination's file is finished and no callback of the engine follows).
 *    A callback may call back into the library, nested to any depth, and may end the
 *    handle it was called for (or any other): ended from inside a callback, the engine
 *    closes when the last call inside it returns, possibly after EngineFina returned.
 *    As EngineFina waits, a host must not call it holding a lock that its callbacks on
 *    that engine take on another thread.
 *  - A callback returns to the library, or ends its thread (pthread_exit, or a
 *    cancellation acted on inside it): the calls it interrupted then end as if they had
 *    returned. Leaving a callback by longjmp is not supported: the calls it skips would
 *    count as running for good, and the engine could never close.
 *  - A configuration wizard is a window: only the thread that called ConfigInit may drive
 *    or close it; the Config* calls of any other thread answer their failure values and
 *    change nothing. Once that thread has ended, or once the engine the wizard was opened
 *    on has ended, any thread may close the wizard (ConfigFina); after the opener's end
 *    nobody can drive it any more.
 *  - When the library is unloaded or the process ends with handles still open, every
 *    engine no call is running in is closed (a destination finishes its file) without
 *    calling any callback. An engine that another thread is inside a call on at exit is
 *    left to the process's end, unclosed, and its memory stays for that thread. Unloading
 *    the library while a thread is inside one of its calls is the host's error, and so is
 *    using it in a child made by fork() while other threads were inside its calls (such a
 *    child may only make async-signal-safe calls until it executes another program).
 *  - Callbacks and accessors travel as void*. C++ converts with reinterpret_cast; strict
 *    ISO C has no cast between object and function pointers: carry the value through a
 *    union of the two (the platforms this library runs on represent both alike).
 */
#ifndef RYNFILER_H
#define RYNFILER_H

#include <stdint.h>

/* A UTF-16 code unit. C11 and C++11 have char16_t; older compilers get the integer type
   of the same size and representation, so the header serves C99 and C++98 as well. */
#if defined(__cplusplus)
#if __cplusplus >= 201103L
typedef char16_t RynChar16;
#else
typedef uint16_t RynChar16;
#endif
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
#include <uchar.h>
typedef char16_t RynChar16;
#else
typedef uint16_t RynChar16;
#endif

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32) && !defined(_WIN64)
#define RYN_CALL __stdcall
#else
#define RYN_CALL
#endif

/* A library that names its exports in a .def file alone defines RYN_API empty. */
#ifndef RYN_API
#if defined(_WIN32)
#define RYN_API __declspec(dllexport)
#else
#define RYN_API __attribute__((visibility("default")))
#endif
#endif

typedef intptr_t RynHandle;

typedef struct RynGuid {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} RynGuid;

typedef struct RynSystemTime {
  uint16_t wYear;
  uint16_t wMonth;
  uint16_t wDayOfWeek; /* 0 Sunday .. 6 Saturday */
  uint16_t wDay;
  uint16_t wHour;
  uint16_t wMinute;
  uint16_t wSecond;
  uint16_t wMilliseconds;
} RynSystemTime;

/* Result codes. */
#define RYN_OK 0
#define RYN_E_DIRECTION 0x10000002
#define RYN_E_HANDLE 0x10000003
#define RYN_E_NOTHING 0x10000004
#define RYN_E_WRITE 0x10000005
#define RYN_E_FAILED 0x10000006
#define RYN_E_WIZARD_HANDLE 0x20000003

/* Engine directions (also the bits of EngineGetType). */
#define RYN_SOURCE 1
#define RYN_DESTINATION 2

/* Event kinds for EngineSetEvent. */
#define RYN_EVENT_MESSAGE 0x10001
#define RYN_EVENT_STATUS 0x10002

/* Field type codes. */
#define RYN_FT_UNKNOWN 0
#define RYN_FT_BYTE 1
#define RYN_FT_WORD 2
#define RYN_FT_LONGWORD 3
#define RYN_FT_SHORTINT 4
#define RYN_FT_SMALLINT 5
#define RYN_FT_INTEGER 6
#define RYN_FT_INT64 7
#define RYN_FT_BOOLEAN 8
#define RYN_FT_SINGLE 17
#define RYN_FT_DOUBLE 18
#define RYN_FT_EXTENDED 19
#define RYN_FT_GUID 33
#define RYN_FT_TIME 49
#define RYN_FT_DATE 50
#define RYN_FT_DATETIME 51
#define RYN_FT_STRING 65
#define RYN_FT_WIDESTRING 66
#define RYN_FT_BINARY 67

/* Message callback: kind's low two bits are the severity (0, 1 information, 2 warning,
   3 error), the other bits name the message; text is zero-terminated and valid during the
   call only. */
typedef void(RYN_CALL* RynMessageProc)(intptr_t user, int32_t kind, const char* text);
/* Status callback: a title and a detail, both zero-terminated, valid during the call. */
typedef void(RYN_CALL* RynStatusProc)(intptr_t user, const char* caption, const char* text);

/* ---- Engine functions ---------------------------------------------------------------- */

/* The directions the library serves: bit 1 source, bit 2 destination. */
RYN_API int32_t RYN_CALL EngineGetType(void);
/* The engine's name, by the buffer protocol. No handle is needed. */
RYN_API int32_t RYN_CALL EngineGetName(char* buffer, int32_t* length);
/* The engine's description, by the buffer protocol. No handle is needed. */
RYN_API int32_t RYN_CALL EngineDiscription(char* buffer, int32_t* length);
/* Creates an engine for direction 1 or 2 and stores its handle. Returns 0, RYN_E_DIRECTION,
   or RYN_E_NOTHING when the library has no engine for the direction (or handle is NULL). */
RYN_API int32_t RYN_CALL EngineInit(int32_t direction, RynHandle* handle);
/* Closes the engine (a destination finishes its output) and ends the handle. Waits for
   the calls other threads are running on the handle to return (not when called from
   inside a callback: see Conventions). */
RYN_API void RYN_CALL EngineFina(RynHandle engine);
/* Registers a callback: kind RYN_EVENT_MESSAGE takes a RynMessageProc, RYN_EVENT_STATUS a
   RynStatusProc; NULL switches that relay off. The user value is passed back as the first
   argument of both callbacks and is replaced for every kind. Messages before registration
   are dropped. */
RYN_API void RYN_CALL EngineSetEvent(RynHandle engine, intptr_t user, int32_t kind, void* callback);
/* The engine's configuration as options text, by the buffer protocol. */
RYN_API int32_t RYN_CALL EngineGetOptions(RynHandle engine, char* buffer, int32_t* length);
/* Applies a zero-terminated options text: 0 when accepted, the engine's own nonzero code
   otherwise (the exchange file engine: 0x10001003 when no file could be opened), or
   RYN_E_HANDLE. RYN_E_WRITE when records of the file being replaced or restarted could
   not be written (the settings are applied all the same), RYN_E_FAILED for any other
   failure inside the engine. */
RYN_API int32_t RYN_CALL EngineSetOptions(RynHandle engine, const char* options);
/* 1 when the engine is configured enough to run, 0 when not, RYN_E_HANDLE. */
RYN_API int32_t RYN_CALL EngineEstablished(RynHandle engine);

/* ---- Source records (the engine's port must be a source) ---------------------------- */

RYN_API void RYN_CALL MoveFirst(RynHandle engine);
RYN_API void RYN_CALL MoveNext(RynHandle engine);
/* 1 when no current record remains, 0 otherwise, -1 for an unknown handle or a port that
   is not a source. */
RYN_API int32_t RYN_CALL IsEof(RynHandle engine);
/* The number of records, -1 when unknown, for an unknown handle or a non-source port. */
RYN_API int32_t RYN_CALL DataCount(RynHandle engine);

/* ---- Destination records (the engine's port must be a destination) ------------------ */

/* Starts a record; values are then set with the setters of FieldGetProc(2, ...). */
RYN_API void RYN_CALL Append(RynHandle engine);
/* Stores the started record. The exchange file engine buffers what it writes; a write
   that fails (e.g. a full disk) sends message 4135 once, after which the file takes no
   more records and is let go as it was before the engine opened it: the previous file
   of data type 0, the earlier sections of data types 1 and 2. */
RYN_API void RYN_CALL Post(RynHandle engine);

/* ---- Configuration wizard ------------------------------------------------------------ */

/* Creates the engine's wizard inside the native window parent (option: low byte as a truth
   value) and stores its configuration handle. Returns 0, RYN_E_HANDLE, RYN_E_DIRECTION, or
   RYN_E_NOTHING when the engine has no wizard. */
RYN_API int32_t RYN_CALL ConfigInit(RynHandle engine, intptr_t parent, int32_t option, RynHandle* config);
/* Closes the wizard and ends the configuration handle. */
RYN_API void RYN_CALL ConfigFina(RynHandle config);
/* An engine handle of the engine copy the wizard edits (valid while the wizard is open,
   no reference is added), or 0. */
RYN_API RynHandle RYN_CALL ConfigPort(RynHandle config);
/* -1 / 0 whether the first (last) page is shown; RYN_E_WIZARD_HANDLE. */
RYN_API int32_t RYN_CALL ConfigIsBOF(RynHandle config);
RYN_API int32_t RYN_CALL ConfigIsEOF(RynHandle config);
/* 0 when the shown page is valid, -1 when not, RYN_E_WIZARD_HANDLE. */
RYN_API int32_t RYN_CALL ConfigCheckSucceed(RynHandle config);
RYN_API void RYN_CALL ConfigFirst(RynHandle config);
RYN_API void RYN_CALL ConfigLast(RynHandle config);
RYN_API void RYN_CALL ConfigNext(RynHandle config);
RYN_API void RYN_CALL ConfigPrevious(RynHandle config);
/* Writes the wizard's input back into the engine (without it the edits are discarded). */
RYN_API void RYN_CALL ConfigUpdate(RynHandle config);

/* ---- Fields (index is 0-based) ------------------------------------------------------ */

/* The number of fields; 0 for an unknown handle. */
RYN_API int32_t RYN_CALL FieldGetCount(RynHandle engine);
/* Declares how many fields the source offers (a destination may ignore it): 0 or
   RYN_E_HANDLE (also for a port that is not a destination). */
RYN_API int32_t RYN_CALL FieldSetCount(RynHandle engine, int32_t count);
/* The field's name, by the buffer protocol. */
RYN_API int32_t RYN_CALL FieldGetName(RynHandle engine, int32_t index, char* buffer, int32_t* length);
/* Renames the field with length bytes from text, where the port allows it. */
RYN_API void RYN_CALL FieldSetName(RynHandle engine, int32_t index, const char* text, int32_t length);
/* The field's type code; 0 when the handle, port or field is missing. */
RYN_API int32_t RYN_CALL FieldGetType(RynHandle engine, int32_t index);
/* Declares a field's type code (destinations only; may be ignored). */
RYN_API void RYN_CALL FieldSetType(RynHandle engine, int32_t index, int32_t type);
/* The index of the first field whose name equals the zero-terminated name ignoring letter
   case; -1 when there is none or the handle is unknown. */
RYN_API int32_t RYN_CALL FieldFindbyName(RynHandle engine, const char* name);
/* 0 when the source field has a value in the current record; -1 when it is empty, and
   also when the handle, the source port or the field is missing. */
RYN_API int32_t RYN_CALL FieldIsEmpty(RynHandle engine, int32_t index);
/* The accessor for a port direction (1 getters, 2 setters) and a type code, to be cast to
   the matching typedef below; NULL for any other direction or type code. Every accessor
   resolves (engine, index) afresh on each call and does nothing, or answers its
   missing-field value, when they do not resolve. */
RYN_API void* RYN_CALL FieldGetProc(int32_t direction, int32_t type);

/* Getters (direction 1). */
/* 0, 65 and 19 (19: the extended value in general number format): buffer protocol. */
typedef int32_t(RYN_CALL* RynGetText)(RynHandle engine, int32_t index, char* buffer, int32_t* length);
/* 1-6 and 8: the value by the field's own type (8 gives 1 or 0); 0 when missing or empty. */
typedef int32_t(RYN_CALL* RynGetOrdinal)(RynHandle engine, int32_t index);
typedef int64_t(RYN_CALL* RynGetInt64)(RynHandle engine, int32_t index);                /* 7 */
typedef float(RYN_CALL* RynGetSingle)(RynHandle engine, int32_t index);                 /* 17 */
typedef double(RYN_CALL* RynGetDouble)(RynHandle engine, int32_t index);                /* 18 */
/* 33: 16 zero bytes when missing or empty. */
typedef void(RYN_CALL* RynGetGuid)(RynGuid* result, RynHandle engine, int32_t index);
/* 49-51: all zero when missing or empty. */
typedef void(RYN_CALL* RynGetDateTime)(RynSystemTime* result, RynHandle engine, int32_t index);
/* 66: the buffer protocol counted in UTF-16 characters. */
typedef int32_t(RYN_CALL* RynGetWide)(RynHandle engine, int32_t index, RynChar16* buffer, int32_t* chars);
/* 67: call until *last is nonzero, appending each chunk; returns the bytes placed. */
typedef int32_t(RYN_CALL* RynGetBinary)(RynHandle engine, int32_t index, void* buffer, int32_t capacity,
                                       int32_t* last);

/* Setters (direction 2), writing into the record Append started. */
typedef void(RYN_CALL* RynSetText)(RynHandle engine, int32_t index, const char* text, int32_t bytes); /* 0, 65 */
/* 1-6 and 8: written by the field's own type, truncated to its width. */
typedef void(RYN_CALL* RynSetOrdinal)(RynHandle engine, int32_t index, int32_t value);
typedef void(RYN_CALL* RynSetInt64)(RynHandle engine, int32_t index, int64_t value);  /* 7 */
typedef void(RYN_CALL* RynSetSingle)(RynHandle engine, int32_t index, float value);   /* 17 */
typedef void(RYN_CALL* RynSetDouble)(RynHandle engine, int32_t index, double value);  /* 18 */
/* 19: text converted for the field's own type ("," removed, read as a number for 19);
   -1 when the field exists (even if the text does not convert), 0 otherwise. */
typedef int32_t(RYN_CALL* RynSetExtendedText)(RynHandle engine, int32_t index, const char* text, int32_t bytes);
typedef void(RYN_CALL* RynSetGuid)(RynHandle engine, int32_t index, const RynGuid* value);            /* 33 */
typedef void(RYN_CALL* RynSetDateTime)(RynHandle engine, int32_t index, const RynSystemTime* value); /* 49-51 */
/* 66: bytes / 2 characters; -1 when the field exists, 0 otherwise. */
typedef int32_t(RYN_CALL* RynSetWide)(RynHandle engine, int32_t index, const RynChar16* text, int32_t bytes);
/* 67: a binary value in chunks, last nonzero on the final one; answers 0. */
typedef int32_t(RYN_CALL* RynSetBinary)(RynHandle engine, int32_t index, const void* data, int32_t count,
                                       int32_t last);

/* ---- Optional plug-in entry points --------------------------------------------------- */

/* An engine library may export these; the framework's discovery calls AppInit with its
   user-interface application and screen objects after loading the library, and AppFina
   before unloading it (only when AppInit exists). Plain C calling convention. */
typedef void (*RynAppInitProc)(void* application, void* screen);
typedef void (*RynAppFinaProc)(void);
/* Declared for engine libraries that define them (librynfiler.so does not). */
RYN_API void AppInit(void* application, void* screen);
RYN_API void AppFina(void);

/* ---- Optional extensions ------------------------------------------------------------- */

/* Exported by the libraries of this package (librynfiler.so and the source libraries);
   a host looks them up by name and does without them when a library lacks them. The 35
   functions above behave the same whether a host uses these or not. */

/* The text of the current record's value of source field index, whatever the field's
   type, as the source itself holds it (a number or date exactly as written in the source
   file, never reformatted); empty text for an empty value. Buffer protocol as for the
   text getter: -1 with the text placed when length is large enough, else 0 with the
   length needed; 0 with length 0 for an unknown handle, a destination or a missing
   field. */
RYN_API int32_t RYN_CALL FieldGetValueText(RynHandle engine, int32_t index, char* buffer, int32_t* length);
typedef int32_t(RYN_CALL* RynFieldGetValueTextProc)(RynHandle engine, int32_t index, char* buffer, int32_t* length);

/* Ends the engine handle like EngineFina, for a run that failed or was stopped: the
   engine keeps nothing it took since its output was opened (the exchange file engine
   leaves a file of data type 0 as it was before, cuts a file of data type 1 or 2 back to
   its length at opening, and removes a file it created). A source simply closes. Returns
   RYN_OK, or RYN_E_HANDLE for an unknown handle (nothing is touched). A host whose
   library lacks it calls EngineFina. */
RYN_API int32_t RYN_CALL EngineAbandon(RynHandle engine);
typedef int32_t(RYN_CALL* RynEngineAbandonProc)(RynHandle engine);

/* The index-th (from 0) value of the current source record that could not be read
   exactly: returns its message kind (23 characters the process code page lacks were
   replaced, 27 bytes that are no character of the source's encoding were replaced) and
   puts its field index in *field; 0 past the last problem of the record, for an unknown
   handle or a destination. The same values are also counted in the messages the source
   sends when its reading ends; this tells a host which record and field each was. */
RYN_API int32_t RYN_CALL EngineGetRecordProblem(RynHandle engine, int32_t index, int32_t* field);
typedef int32_t(RYN_CALL* RynEngineGetRecordProblemProc)(RynHandle engine, int32_t index, int32_t* field);

/* A record in one call, for hosts that move whole records: the pair below replaces a
   call per value with a call per record. A host whose library lacks them reads and
   writes the values one at a time; both ways give the same values.

   The texts of the current source record's values of fields first .. first + count - 1:
   texts[i] points at the text of field first + i as FieldGetValueText gives it (for a
   field of type 0 or 65 the text the text getter gives), lengths[i] holds its length in
   bytes, 0 for an empty value. The texts belong to the library, are not zero-terminated
   and stay valid until the engine's record moves, its options are set or its handle
   ends. Returns how many values were placed (fewer than count past the last field); 0
   for an unknown handle, a destination, or an engine that does not hand its values out
   this way (the host then reads them one at a time). */
RYN_API int32_t RYN_CALL EngineGetRecordTexts(RynHandle engine, int32_t first, int32_t count, const char** texts,
                                              int32_t* lengths);
typedef int32_t(RYN_CALL* RynEngineGetRecordTextsProc)(RynHandle engine, int32_t first, int32_t count,
                                                     const char** texts, int32_t* lengths);

/* Optional, for hosts that read every record's texts: MoveNext, IsEof,
   EngineGetRecordProblem and EngineGetRecordTexts in one call. Moves the source to its
   next record as MoveNext does (its messages included). When a record remains, the texts
   of its fields 0 .. count - 1 are placed as EngineGetRecordTexts(engine, 0, count, texts,
   lengths) places them (count may be 0) and *placed (when not NULL) receives how many;
   otherwise *placed is 0. Returns RYN_E_HANDLE for an unknown handle or an engine that is
   not a source (nothing moves, nothing is written); else RYN_RECORD_END when no record remains (IsEof would
   return 1), RYN_RECORD_PROBLEMS when the record has a value it could not read exactly
   (EngineGetRecordProblem(engine, 0, ...) would return nonzero), or 0. A host whose
   library lacks it makes the four calls. */
#define RYN_RECORD_END 1
#define RYN_RECORD_PROBLEMS 2
RYN_API int32_t RYN_CALL EngineMoveNextRecord(RynHandle engine, int32_t count, const char** texts, int32_t* lengths,
                                              int32_t* placed);
typedef int32_t(RYN_CALL* RynEngineMoveNextRecordProc)(RynHandle engine, int32_t count, const char** texts,
                                                     int32_t* lengths, int32_t* placed);

/* Sets count values of the record Append started and stores it: in order, texts[i]
   (lengths[i] bytes) goes into field fields[i] as the text setter of FieldGetProc(2, 65)
   puts it there, then the record is stored as Post stores it (messages and failures
   included). Nothing of the arrays is kept. Returns RYN_OK, or RYN_E_HANDLE for an
   unknown handle or a port that is not a destination (nothing is set or stored). */
RYN_API int32_t RYN_CALL EnginePostRecordTexts(RynHandle engine, int32_t count, const int32_t* fields,
                                               const char* const* texts, const int32_t* lengths);
typedef int32_t(RYN_CALL* RynEnginePostRecordTextsProc)(RynHandle engine, int32_t count, const int32_t* fields,
                                                      const char* const* texts, const int32_t* lengths);

#ifdef __cplusplus
}
#endif

#endif /* RYNFILER_H */
