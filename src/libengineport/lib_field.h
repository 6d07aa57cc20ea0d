// Field proxies: a field of another library's port, read or written through the typed
// accessor that library hands out for the field's type. Pooled by their port.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "libengineport/lib_api.h"
#include "libengineport/lib_collect_object.h"
#include "transport/interfaces.h"

namespace ryn {

class TLibTransPort;
class TLibImport;
class TLibExport;

class TLibTransField : public TLibCollectObject, public virtual ITransField {
 public:
  TLibTransField(IInterface* controller, TLibTransPort* port) : TLibCollectObject(controller), FPort(port) {}

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransField>(this, iid, obj); }
  std::string GetName() override;
  void SetName(std::string_view name) override;
  int32_t GetDataType() override;
  int32_t GetIndex() override { return FIndex; }

  // Forgets the library's handle and functions: the field reads empty values and writes
  // nothing from now on (its port went out of service).
  void Retire();

  // Set by the port when it hands the object out for an index.
  int32_t FIndex = 0;
  RynHandle FHandle = 0;
  lib::FieldGetNameFn FFieldGetName = nullptr;
  lib::FieldSetNameFn FFieldSetName = nullptr;
  lib::FieldGetTypeFn FFieldGetType = nullptr;
  void* FAccessor = nullptr;
  int32_t FDataType = 0;      // the library's type code for the field
  int32_t FAccessorType = 0;  // the type code the accessor was asked for
  lib::FieldIsEmptyFn FFieldIsEmpty = nullptr;
  // The library's optional FieldGetValueText: the text of a value of any type as the
  // source holds it (a number or date exactly as written in the source).
  lib::FieldGetValueTextFn FFieldGetValueText = nullptr;
  bool FRetired = false;
  // The port that reads or writes whole records through the library's optional record
  // exports; null when the library lacks them (every value then takes its own call).
  TLibImport* FRecordSource = nullptr;
  TLibExport* FRecordSink = nullptr;

 protected:
  // The accessor when it serves one of the given type codes (an accessor of another
  // shape is never called); null otherwise.
  template <class Fn>
  Fn AccessorFor(std::initializer_list<int32_t> types) const {
    for (int32_t t : types)
      if (t == FAccessorType) return reinterpret_cast<Fn>(FAccessor);
    return nullptr;
  }
  void ConversionFailed();

  TLibTransPort* FPort;
  // Text goes through these, grown to the longest value seen, so that reading or writing
  // a value costs no heap allocation once the field has warmed up.
  std::string FText;
  std::u16string FWideText;
};

class TLibFieldReader final : public TLibTransField, public virtual IFieldReader {
 public:
  using TLibTransField::TLibTransField;

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IFieldReader>(this, iid, obj); }
  bool IsEmpty() override;
  bool GetAsBoolean() override;
  uint8_t GetAsByte() override { return static_cast<uint8_t>(Ordinal()); }
  uint16_t GetAsWord() override { return static_cast<uint16_t>(Ordinal()); }
  uint32_t GetAsLongWord() override { return static_cast<uint32_t>(Ordinal()); }
  int8_t GetAsShortInt() override { return static_cast<int8_t>(Ordinal()); }
  int16_t GetAsSmallInt() override { return static_cast<int16_t>(Ordinal()); }
  int32_t GetAsInteger() override { return Ordinal(); }
  int64_t GetAsInt64() override;
  float GetAsSingle() override;
  double GetAsDouble() override;
  long double GetAsExtended() override;
  TGUID GetAsGuid() override;
  TDateTime GetAsDateTime() override;
  std::string GetAsString() override;
  std::u16string GetAsWideString() override;
  bool SaveToStream(TStream& stream) override;

 private:
  int32_t Ordinal();
  // The value as text, in FText; valid until the next read. Empty without a text accessor.
  std::string_view TextValue();
};

class TLibFieldWriter final : public TLibTransField, public virtual IFieldWriter {
 public:
  using TLibTransField::TLibTransField;

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IFieldWriter>(this, iid, obj); }
  void SetAsBoolean(bool value) override { SetOrdinal(value ? 1 : 0); }
  void SetAsByte(uint8_t value) override { SetOrdinal(value); }
  void SetAsWord(uint16_t value) override { SetOrdinal(value); }
  void SetAsLongWord(uint32_t value) override { SetOrdinal(static_cast<int32_t>(value)); }
  void SetAsShortInt(int8_t value) override { SetOrdinal(value); }
  void SetAsSmallInt(int16_t value) override { SetOrdinal(value); }
  void SetAsInteger(int32_t value) override { SetOrdinal(value); }
  void SetAsInt64(int64_t value) override;
  void SetAsSingle(float value) override;
  void SetAsDouble(double value) override;
  void SetAsExtended(long double value) override;
  void SetAsGuid(const TGUID& value) override;
  void SetAsDateTime(TDateTime value) override;
  void SetAsString(std::string_view value) override;
  void SetAsWideString(std::u16string_view value) override;
  void LoadFromStream(TStream& stream) override;

 private:
  void SetOrdinal(int32_t value);
};

}  // namespace ryn
