// Base classes of fields: TCustomTransField keeps a name (defaulting to "列(n)");
// TCustomFiledWriter adds the typed setters of a destination field, each doing nothing
// until a derived field overrides the ones it supports.
#pragma once

#include <string>

#include "transport/collect_object.h"
#include "transport/interfaces.h"

namespace ryn {

class TCustomTransField : public TCollectObject, public virtual ITransField {
 public:
  explicit TCustomTransField(IInterface* owner) : TCollectObject(owner) {}

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<ITransField>(this, iid, obj); }
  std::string GetName() override;
  void SetName(std::string_view name) override { name_ = name; }
  int32_t GetDataType() override { return 0; }
  int32_t GetIndex() override { return 0; }

 private:
  std::string name_;
};

class TCustomFiledWriter : public TCustomTransField, public virtual IFieldWriter {
 public:
  using TCustomTransField::TCustomTransField;

  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IFieldWriter>(this, iid, obj); }
  void SetAsBoolean(bool) override {}
  void LoadFromStream(TStream&) override {}
  void SetAsByte(uint8_t) override {}
  void SetAsDateTime(TDateTime) override {}
  void SetAsDouble(double) override {}
  void SetAsExtended(long double) override {}
  void SetAsGuid(const TGUID&) override {}
  void SetAsInt64(int64_t) override {}
  void SetAsInteger(int32_t) override {}
  void SetAsLongWord(uint32_t) override {}
  void SetAsShortInt(int8_t) override {}
  void SetAsSingle(float) override {}
  void SetAsSmallInt(int16_t) override {}
  void SetAsString(std::string_view) override {}
  void SetAsWideString(std::u16string_view) override {}
  void SetAsWord(uint16_t) override {}
};

}  // namespace ryn
