#include "transport/field_types.h"

namespace ryn {
namespace {

bool InRange(int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; }
bool IsText(int32_t t) { return t == kFtString || t == kFtWideString; }

}  // namespace

bool IsValidFieldType(int32_t t) {
  return InRange(t, 0, 8) || InRange(t, 17, 19) || t == kFtGuid || InRange(t, 49, 51) || InRange(t, 65, 67);
}

bool IsTypeCompatible(int32_t s, int32_t t) {
  if (InRange(t, 1, 7) || InRange(t, 17, 19)) return InRange(s, 1, 7) || InRange(s, 17, 19) || IsText(s);
  switch (t) {
    case kFtBoolean: return InRange(s, 1, 8) || IsText(s);
    case kFtGuid: return s == kFtGuid || IsText(s);
    case kFtTime: return s == kFtTime || s == kFtDateTime || IsText(s);
    case kFtDate: return s == kFtDate || s == kFtDateTime || IsText(s);
    case kFtDateTime: return InRange(s, 49, 51) || IsText(s);
    case kFtString:
    case kFtWideString:
    case kFtBinary: return true;
    default: return false;
  }
}

}  // namespace ryn
