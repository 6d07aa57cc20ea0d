// The typed field accessors that FieldGetProc hands out: getters read the current record
// of a source port, setters write the record a destination port's Append started. Each
// call enters the handle and borrows the field from the engine's field table; a missing
// field gives the accessor's missing-field value and nothing is written.
#include <cstring>

#include "boundary/firewall.h"
#include "boundary/resolve.h"
#include "platform/codepage.h"
#include "platform/float_format.h"
#include "platform/locale_settings.h"
#include "rynfiler.h"
#include "transport/field_types.h"
#include "transport/field_values.h"

using namespace ryn;

namespace {

// The field of a call on handle h; null when the handle or the field is missing. Holds
// what the field needs for the length of the statement that uses it.
template <class FieldIntf>
class FieldAccess {
 public:
  FieldAccess(RynHandle h, int32_t index) : call_(EnterEngine(h)) {
    if (call_) field_ = FieldOf(call_, index, hold_);
  }
  explicit operator bool() const { return field_ != nullptr; }
  FieldIntf* operator->() const { return field_; }
  FieldIntf* get() const { return field_; }

 private:
  HandleCall call_;
  IntfPtr<FieldIntf> hold_;
  FieldIntf* field_ = nullptr;
};

using Reader = FieldAccess<IFieldReader>;
using Writer = FieldAccess<IFieldWriter>;

// ---- getters ---------------------------------------------------------------------------

int32_t RYN_CALL GetText(RynHandle h, int32_t index, char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    Reader f(h, index);
    return f ? PutBuffer<char>(f->GetAsString(), buffer, length) : 0;
  });
}

int32_t RYN_CALL GetOrdinal(RynHandle h, int32_t index) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    Reader f(h, index);
    if (!f || f->IsEmpty()) return 0;
    switch (f->GetDataType()) {
      case kFtByte: return f->GetAsByte();
      case kFtWord: return f->GetAsWord();
      case kFtLongWord: return static_cast<int32_t>(f->GetAsLongWord());
      case kFtShortInt: return f->GetAsShortInt();
      case kFtSmallInt: return f->GetAsSmallInt();
      case kFtInteger: return f->GetAsInteger();
      case kFtBoolean: return f->GetAsBoolean() ? 1 : 0;
      default: return 0;
    }
  });
}

int64_t RYN_CALL GetInt64(RynHandle h, int32_t index) {
  return Firewall<int64_t>(0, [&]() -> int64_t {
    Reader f(h, index);
    return f && !f->IsEmpty() ? f->GetAsInt64() : 0;
  });
}

float RYN_CALL GetSingle(RynHandle h, int32_t index) {
  return Firewall<float>(0, [&]() -> float {
    Reader f(h, index);
    return f && !f->IsEmpty() ? f->GetAsSingle() : 0;
  });
}

double RYN_CALL GetDouble(RynHandle h, int32_t index) {
  return Firewall<double>(0, [&]() -> double {
    Reader f(h, index);
    return f && !f->IsEmpty() ? f->GetAsDouble() : 0;
  });
}

int32_t RYN_CALL GetExtendedText(RynHandle h, int32_t index, char* buffer, int32_t* length) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    Reader f(h, index);
    if (!f || f->IsEmpty()) return 0;
    return PutBuffer<char>(FormatGeneral(f->GetAsExtended(), LocaleSettings().decimalSeparator), buffer, length);
  });
}

void RYN_CALL GetGuid(RynGuid* result, RynHandle h, int32_t index) {
  FirewallVoid([&] {
    if (!result) return;
    std::memset(result, 0, sizeof *result);
    Reader f(h, index);
    if (!f || f->IsEmpty()) return;
    TGUID g = f->GetAsGuid();
    std::memcpy(result, &g, sizeof *result);
  });
}

void RYN_CALL GetDateTime(RynSystemTime* result, RynHandle h, int32_t index) {
  FirewallVoid([&] {
    if (!result) return;
    std::memset(result, 0, sizeof *result);
    Reader f(h, index);
    if (!f || f->IsEmpty()) return;
    SystemTime st = DateTimeToSystemTime(f->GetAsDateTime());
    std::memcpy(result, &st, sizeof *result);
  });
}

int32_t RYN_CALL GetWide(RynHandle h, int32_t index, char16_t* buffer, int32_t* chars) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    Reader f(h, index);
    return f ? PutBuffer<char16_t>(f->GetAsWideString(), buffer, chars) : 0;
  });
}

// Binary values are not transferred by this library: every value reads as empty.
int32_t RYN_CALL GetBinary(RynHandle, int32_t, void*, int32_t, int32_t* last) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    if (last) *last = -1;
    return 0;
  });
}

// ---- setters ---------------------------------------------------------------------------

void RYN_CALL SetText(RynHandle h, int32_t index, const char* text, int32_t bytes) {
  FirewallVoid([&] {
    if (Writer f{h, index})
      f->SetAsString(text && bytes > 0 ? std::string_view(text, static_cast<size_t>(bytes)) : std::string_view());
  });
}

void RYN_CALL SetOrdinal(RynHandle h, int32_t index, int32_t value) {
  FirewallVoid([&] {
    Writer f(h, index);
    if (!f) return;
    switch (f->GetDataType()) {
      case kFtByte: f->SetAsByte(static_cast<uint8_t>(value)); break;
      case kFtWord: f->SetAsWord(static_cast<uint16_t>(value)); break;
      case kFtLongWord: f->SetAsLongWord(static_cast<uint32_t>(value)); break;
      case kFtShortInt: f->SetAsShortInt(static_cast<int8_t>(value)); break;
      case kFtSmallInt: f->SetAsSmallInt(static_cast<int16_t>(value)); break;
      case kFtInteger: f->SetAsInteger(value); break;
      case kFtBoolean: f->SetAsBoolean(value != 0); break;
      default: break;
    }
  });
}

void RYN_CALL SetInt64(RynHandle h, int32_t index, int64_t value) {
  FirewallVoid([&] {
    if (Writer f{h, index}) f->SetAsInt64(value);
  });
}

void RYN_CALL SetSingle(RynHandle h, int32_t index, float value) {
  FirewallVoid([&] {
    if (Writer f{h, index}) f->SetAsSingle(value);
  });
}

void RYN_CALL SetDouble(RynHandle h, int32_t index, double value) {
  FirewallVoid([&] {
    if (Writer f{h, index}) f->SetAsDouble(value);
  });
}

int32_t RYN_CALL SetExtendedText(RynHandle h, int32_t index, const char* text, int32_t bytes) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    Writer f(h, index);
    if (!f) return 0;
    std::string value = text && bytes > 0 ? std::string(text, static_cast<size_t>(bytes)) : std::string();
    try {
      AssignVariant(f.get(), TVariant(std::move(value)));
    } catch (...) {
      // A text that does not convert writes nothing; the field exists all the same.
    }
    return -1;
  });
}

void RYN_CALL SetGuid(RynHandle h, int32_t index, const RynGuid* value) {
  FirewallVoid([&] {
    if (!value) return;
    if (Writer f{h, index}) {
      TGUID g;
      std::memcpy(&g, value, sizeof g);
      f->SetAsGuid(g);
    }
  });
}

void RYN_CALL SetDateTime(RynHandle h, int32_t index, const RynSystemTime* value) {
  FirewallVoid([&] {
    if (!value) return;
    Writer f(h, index);
    if (!f) return;
    SystemTime st;
    std::memcpy(&st, value, sizeof st);
    TDateTime dt;
    if (SystemTimeToDateTime(st, dt)) f->SetAsDateTime(dt);
  });
}

int32_t RYN_CALL SetWide(RynHandle h, int32_t index, const char16_t* text, int32_t bytes) {
  return Firewall<int32_t>(0, [&]() -> int32_t {
    Writer f(h, index);
    if (!f) return 0;
    size_t chars = text && bytes > 0 ? static_cast<size_t>(bytes) / 2 : 0;
    f->SetAsWideString(std::u16string_view(text ? text : u"", chars));
    return -1;
  });
}

// Binary values are not transferred by this library: chunks are accepted and dropped.
int32_t RYN_CALL SetBinary(RynHandle, int32_t, const void*, int32_t, int32_t) { return 0; }

static_assert(sizeof(RynGuid) == sizeof(TGUID));
static_assert(sizeof(RynSystemTime) == sizeof(SystemTime));

}  // namespace

extern "C" RYN_API void* RYN_CALL FieldGetProc(int32_t direction, int32_t type) {
  auto proc = [](auto fn) { return reinterpret_cast<void*>(fn); };
  if (direction == RYN_SOURCE) {
    switch (type) {
      case 0: case 65: return proc(&GetText);
      case 1: case 2: case 3: case 4: case 5: case 6: case 8: return proc(&GetOrdinal);
      case 7: return proc(&GetInt64);
      case 17: return proc(&GetSingle);
      case 18: return proc(&GetDouble);
      case 19: return proc(&GetExtendedText);
      case 33: return proc(&GetGuid);
      case 49: case 50: case 51: return proc(&GetDateTime);
      case 66: return proc(&GetWide);
      case 67: return proc(&GetBinary);
      default: return nullptr;
    }
  }
  if (direction == RYN_DESTINATION) {
    switch (type) {
      case 0: case 65: return proc(&SetText);
      case 1: case 2: case 3: case 4: case 5: case 6: case 8: return proc(&SetOrdinal);
      case 7: return proc(&SetInt64);
      case 17: return proc(&SetSingle);
      case 18: return proc(&SetDouble);
      case 19: return proc(&SetExtendedText);
      case 33: return proc(&SetGuid);
      case 49: case 50: case 51: return proc(&SetDateTime);
      case 66: return proc(&SetWide);
      case 67: return proc(&SetBinary);
      default: return nullptr;
    }
  }
  return nullptr;
}
