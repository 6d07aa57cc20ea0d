// Field type codes and which source types may feed which destination types.
#pragma once

#include <cstdint>

namespace ryn {

enum FieldType : int32_t {
  kFtUnknown = 0,  // accessed as text
  kFtByte = 1,
  kFtWord = 2,
  kFtLongWord = 3,
  kFtShortInt = 4,
  kFtSmallInt = 5,
  kFtInteger = 6,
  kFtInt64 = 7,
  kFtBoolean = 8,
  kFtSingle = 17,
  kFtDouble = 18,
  kFtExtended = 19,
  kFtGuid = 33,
  kFtTime = 49,
  kFtDate = 50,
  kFtDateTime = 51,
  kFtString = 65,
  kFtWideString = 66,
  kFtBinary = 67,
};

bool IsValidFieldType(int32_t type);
bool IsTypeCompatible(int32_t sourceType, int32_t targetType);

}  // namespace ryn
