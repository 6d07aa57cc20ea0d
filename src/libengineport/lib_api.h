// Pointers to the exported functions of an engine library, looked up by name.
#pragma once

#include "platform/dynlib.h"
#include "rynfiler.h"

namespace ryn::lib {

using EngineGetNameFn = decltype(&::EngineGetName);
using EngineGetTypeFn = decltype(&::EngineGetType);
using EngineDiscriptionFn = decltype(&::EngineDiscription);
using EngineInitFn = decltype(&::EngineInit);
using EngineFinaFn = decltype(&::EngineFina);
using EngineAbandonFn = decltype(&::EngineAbandon);
using EngineSetEventFn = decltype(&::EngineSetEvent);
using EngineGetOptionsFn = decltype(&::EngineGetOptions);
using EngineSetOptionsFn = decltype(&::EngineSetOptions);
using EngineEstablishedFn = decltype(&::EngineEstablished);
using HandleProcFn = decltype(&::MoveFirst);  // MoveFirst, MoveNext, Append, Post
using HandleQueryFn = decltype(&::IsEof);     // IsEof, DataCount, FieldGetCount
using ConfigInitFn = decltype(&::ConfigInit);
using ConfigProcFn = decltype(&::ConfigFina);    // ConfigFina, ConfigFirst, ...
using ConfigQueryFn = decltype(&::ConfigIsBOF);  // ConfigIsBOF, ConfigIsEOF, ConfigCheckSucceed
using ConfigPortFn = decltype(&::ConfigPort);
using FieldSetCountFn = decltype(&::FieldSetCount);
using FieldGetNameFn = decltype(&::FieldGetName);
using FieldSetNameFn = decltype(&::FieldSetName);
using FieldGetTypeFn = decltype(&::FieldGetType);
using FieldSetTypeFn = decltype(&::FieldSetType);
using FieldFindbyNameFn = decltype(&::FieldFindbyName);
using FieldIsEmptyFn = decltype(&::FieldIsEmpty);
using FieldGetValueTextFn = decltype(&::FieldGetValueText);
using EngineGetRecordProblemFn = decltype(&::EngineGetRecordProblem);
using EngineGetRecordTextsFn = decltype(&::EngineGetRecordTexts);
using EngineMoveNextRecordFn = decltype(&::EngineMoveNextRecord);
using EnginePostRecordTextsFn = decltype(&::EnginePostRecordTexts);
using FieldGetProcFn = decltype(&::FieldGetProc);

// Stores the address of name in slot (null when the library lacks it); true when found.
template <class Fn>
bool Lookup(LibHandle lib, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(GetProcAddress(lib, name));
  return slot != nullptr;
}

// The most a proxy allocates for one text a library answers through the buffer protocol
// (a name, the options, a field value): a library that asks for more is taken to be broken,
// not to hold such a value, and gets no buffer of that size.
constexpr int32_t kMaxTextLength = 64 * 1024 * 1024;

}  // namespace ryn::lib
