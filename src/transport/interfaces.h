// The transfer interfaces: engines own one port; a source port (IImport) or destination
// port (IExport) hands out fields, read through IFieldReader or written through
// IFieldWriter; engines report to an event sink and produce configuration wizards; script
// hosts map source fields onto destination fields; factories create engines and hosts.
// Operations stand in slot order. Narrow text is in the process code page.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/datetime.h"
#include "transport/intf.h"

namespace ryn {

class TStream;
class TObject;

using NativeWindow = intptr_t;

// Engine directions, also the bits of a factory's engine types.
constexpr int32_t kDirectionSource = 1;
constexpr int32_t kDirectionDestination = 2;

struct ITransPort;
struct ITransEvents;
struct IEngineConfig;
struct ITransField;
struct IImport;
struct IExport;
struct ITransEngine;

struct ITransEngine : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{E2632ECB-4D51-4CE7-8D4C-6DAE35094F1A}");
  virtual std::string GetName() = 0;
  virtual int32_t GetEngineType() = 0;
  virtual IntfPtr<ITransPort> GetPort() = 0;
  virtual void SetEvents(ITransEvents* events) = 0;
  virtual bool Init(int32_t direction) = 0;
  virtual bool IsActive() = 0;
  virtual void Fina() = 0;
  virtual IntfPtr<IEngineConfig> GetConfig() = 0;
  virtual std::string GetOptions() = 0;
  virtual int32_t SetOptions(std::string_view options) = 0;
  virtual bool Established() = 0;
};

struct ITransPort : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{FD7EE84E-7DE3-4A54-9B95-273592FF176F}");
  virtual int32_t GetFieldCount() = 0;
  // First field whose name equals name ignoring letter case; null when none.
  virtual IntfPtr<ITransField> FindField(std::string_view name) = 0;
  // Null when index is negative or not below the count.
  virtual IntfPtr<ITransField> GetField(int32_t index) = 0;
};

struct IImport : virtual ITransPort {
  using Parent = ITransPort;
  static constexpr TGUID IID = GuidLiteral("{B8A171CE-9F75-466E-9034-821E0F033330}");
  virtual int32_t DataCount() = 0;  // -1 when unknown
  virtual void MoveFirst() = 0;
  virtual void MoveNext() = 0;
  virtual bool IsEof() = 0;
};

struct IExport : virtual ITransPort {
  using Parent = ITransPort;
  static constexpr TGUID IID = GuidLiteral("{353CB17E-E7DE-46F6-B44D-ECD538F10A1B}");
  virtual void SetFieldCount(int32_t count) = 0;
  virtual void SetFieldType(int32_t index, int32_t dataType) = 0;
  virtual void Append() = 0;
  virtual void Post() = 0;
};

struct ITransField : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{9B1124A9-27DB-4E7C-A990-538D0AAFA962}");
  virtual std::string GetName() = 0;
  virtual void SetName(std::string_view name) = 0;
  virtual int32_t GetDataType() = 0;
  virtual int32_t GetIndex() = 0;
};

struct IFieldReader : virtual ITransField {
  using Parent = ITransField;
  static constexpr TGUID IID = GuidLiteral("{73D8B777-F1C7-4DAF-9D91-896735E27DC2}");
  virtual bool IsEmpty() = 0;
  virtual bool GetAsBoolean() = 0;
  virtual uint8_t GetAsByte() = 0;
  virtual uint16_t GetAsWord() = 0;
  virtual uint32_t GetAsLongWord() = 0;
  virtual int8_t GetAsShortInt() = 0;
  virtual int16_t GetAsSmallInt() = 0;
  virtual int32_t GetAsInteger() = 0;
  virtual int64_t GetAsInt64() = 0;
  virtual float GetAsSingle() = 0;
  virtual double GetAsDouble() = 0;
  virtual long double GetAsExtended() = 0;
  virtual TGUID GetAsGuid() = 0;
  virtual TDateTime GetAsDateTime() = 0;
  virtual std::string GetAsString() = 0;
  virtual std::u16string GetAsWideString() = 0;
  virtual bool SaveToStream(TStream& stream) = 0;
};

struct IFieldWriter : virtual ITransField {
  using Parent = ITransField;
  static constexpr TGUID IID = GuidLiteral("{19C448AA-EAFC-4204-93F0-602FCAF21D3D}");
  virtual void SetAsBoolean(bool value) = 0;
  virtual void SetAsByte(uint8_t value) = 0;
  virtual void SetAsWord(uint16_t value) = 0;
  virtual void SetAsLongWord(uint32_t value) = 0;
  virtual void SetAsShortInt(int8_t value) = 0;
  virtual void SetAsSmallInt(int16_t value) = 0;
  virtual void SetAsInteger(int32_t value) = 0;
  virtual void SetAsInt64(int64_t value) = 0;
  virtual void SetAsSingle(float value) = 0;
  virtual void SetAsDouble(double value) = 0;
  virtual void SetAsExtended(long double value) = 0;
  virtual void SetAsGuid(const TGUID& value) = 0;
  virtual void SetAsDateTime(TDateTime value) = 0;
  virtual void SetAsString(std::string_view value) = 0;
  virtual void SetAsWideString(std::u16string_view value) = 0;
  // Reads the binary value from the stream's current position to its end.
  virtual void LoadFromStream(TStream& stream) = 0;
};

// Uncounted access to the fields of an engine's current port, for the per-value path of
// the exported accessors and of transfer loops: no reference is counted per value. A
// pointer handed out is borrowed from the engine and valid while the caller holds the
// engine and until its field list may change (options set, wizard update, field count or
// type changed); a port that re-points one field object may hand out the same pointer
// for every index, so use it before the next lookup. Null outside 0 <= index < count or
// for the other direction.
struct IFieldTable : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{5C0E6F52-2B8D-4B51-9E0A-6F3A4C1D7B29}");
  virtual IFieldReader* ReaderAt(int32_t index) = 0;
  virtual IFieldWriter* WriterAt(int32_t index) = 0;
  // The current port as a source or a destination, borrowed like the fields; null when
  // the port is not of that kind.
  virtual IImport* SourcePort() = 0;
  virtual IExport* DestinationPort() = 0;
};

// An engine that can end without keeping what it took since it opened its output: a run
// that failed or was stopped leaves the previous file as it was. Engines without it end
// with Fina.
struct IEngineAbandon : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{783E5406-4ED2-4B89-9AE9-6D72235C61CE}");
  // Ends like Fina, but nothing written since the output was opened is kept.
  virtual void Abandon() = 0;
};

// Ends the engine for a run that failed or was stopped: Abandon where the engine has it,
// Fina otherwise.
inline void AbandonOrFina(ITransEngine& engine) {
  if (IntfPtr<IEngineAbandon> a = QueryIntf<IEngineAbandon>(&engine)) a->Abandon();
  else engine.Fina();
}

// A source port that can say which values of its current record it could not read
// exactly (kinds kMsgValueCodePage and kMsgValueBadBytes): the host then knows the record
// and field of each, not only the totals the source reports when the reading ends.
struct IRecordProblems : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{0B6F3C1E-8F7A-4E55-A1D2-5C9E2B7F4A13}");
  // The index-th (from 0) problem of the current record: its field index and message
  // kind. False past the last one, and on a port that cannot tell.
  virtual bool GetRecordProblem(int32_t index, int32_t& field, int32_t& kind) = 0;
};

// A source port that hands out the texts of its current record's values in place, all at
// once: a host that moves whole records then pays one call per record, not one per value.
struct IRecordTexts : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{9D41B7E2-3C58-4F0A-B6E1-27A8D05C3F94}");
  // The text of each field from first on, as its reader's GetAsString gives it, into out
  // (as many as out holds and the record has); valid until the record moves. The number
  // placed.
  virtual int32_t GetRecordTexts(int32_t first, std::span<std::string_view> out) = 0;
};

// A destination port that takes a record's texts together with its Post: a text kept
// here is set into its field as that field's SetAsString sets it, in the order kept.
struct IRecordPost : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{4E2C8A61-7B0D-4C93-8F15-D3A6E9B0C278}");
  // Keeps text for field index of the record Append started; false (nothing kept) when
  // the port cannot, and the caller then sets it through the field.
  virtual bool HoldText(int32_t index, std::string_view text) = 0;
  // Keeps texts[i] for field indexes[i], in order, as HoldText would one at a time: the
  // number kept from the start (the caller sets the first one not kept, and those after
  // it, through the fields).
  virtual size_t HoldTexts(std::span<const int32_t> indexes, std::span<const std::string_view> texts) {
    size_t i = 0;
    while (i < indexes.size() && i < texts.size() && HoldText(indexes[i], texts[i])) ++i;
    return i;
  }
  // Takes a whole record in one step: texts[i] (lengths[i] bytes; null or a length of 0
  // or less is empty) for field fields[i], the record's other fields as Append left them,
  // then posts it, as holding each text and calling Post would. False, with nothing done,
  // when the port cannot take the record this way; the caller then goes value by value.
  virtual bool PostRecordTexts(int32_t /*count*/, const int32_t* /*fields*/, const char* const* /*texts*/,
                               const int32_t* /*lengths*/) {
    return false;
  }
};

// Message kinds of values that could not be carried exactly, as the sources of this
// package send them (errors): characters the process code page lacks were replaced, and
// bytes that are no character of the source's encoding were replaced. A host that accepts
// such values (a lossy run) tells them from other errors by these kinds.
constexpr int32_t kMsgValueCodePage = 23;
constexpr int32_t kMsgValueBadBytes = 27;
inline bool IsValueLossKind(int32_t kind) { return kind == kMsgValueCodePage || kind == kMsgValueBadBytes; }

// Message kinds: the low two bits are the severity.
constexpr int32_t kSeverityPlain = 0;
constexpr int32_t kSeverityInfo = 1;
constexpr int32_t kSeverityWarning = 2;
constexpr int32_t kSeverityError = 3;
constexpr int32_t SeverityOf(int32_t kind) { return kind & 3; }

// Progress kinds.
constexpr uint8_t kProgressStart = 1;
constexpr uint8_t kProgressStep = 2;
constexpr uint8_t kProgressEnd = 3;

struct ITransEvents : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{9F62E8E5-64E4-43C1-97FE-E11EED857004}");
  virtual void OnMessage(int32_t kind, std::string_view text) = 0;
  virtual void OnStatus(std::string_view caption, std::string_view text) = 0;
  // Kind 1 announces the total (below 0: unknown), 2 the position, 3 the end; the sink
  // clears cont to ask the sender to stop.
  virtual void OnProgress(uint8_t kind, int32_t value, bool& cont) = 0;
};

struct ITransConfigWise : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{8134A9E9-5610-4A28-9B99-2FC4E5938B6A}");
  virtual bool Init(NativeWindow parent, bool option) = 0;
  virtual void Fina() = 0;
  virtual bool IsBOF() = 0;
  virtual bool IsEOF() = 0;
  virtual bool CheckSucceed() = 0;
  virtual void Update() = 0;
  virtual void First() = 0;
  virtual void Last() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
};

struct IEngineConfig : virtual ITransConfigWise {
  using Parent = ITransConfigWise;
  static constexpr TGUID IID = GuidLiteral("{6DCC42D1-6084-482E-850F-8DE306831345}");
  virtual IntfPtr<ITransPort> GetPort() = 0;
};

// Declared for completeness of the identities; nothing implements or calls it.
struct ITransFrameConfig : virtual ITransConfigWise {
  using Parent = ITransConfigWise;
  static constexpr TGUID IID = GuidLiteral("{937721F5-D33F-4BED-A625-CE591210068D}");
  virtual void Reserved() = 0;
};

struct ITransScriptHost : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{6311F3B1-1291-456B-B78C-EB5F4436D014}");
  virtual void SetSourcePort(IImport* source) = 0;
  virtual void SetDestinationPort(IExport* dest) = 0;
  virtual void SetEvents(ITransEvents* events) = 0;
  virtual void SetScript(std::string_view text) = 0;
  virtual void BuildDefaultScript() = 0;
  virtual void Execute() = 0;
  virtual IntfPtr<IImport> GetSourcePort() = 0;
  virtual IntfPtr<IExport> GetDestinationPort() = 0;
  virtual bool IsEmpty() = 0;
  virtual std::string GetName() = 0;
  virtual std::string GetScript() = 0;
  virtual bool Compile() = 0;
  virtual IntfPtr<IInterface> GetConfig() = 0;
};

struct ITransEngineFactory : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{3EDC3C69-BAB7-4A2D-8FB8-C343F1785459}");
  virtual std::string GetName() = 0;
  virtual int32_t GetEngineTypes() = 0;
  virtual std::string GetDescription() = 0;
  virtual IntfPtr<ITransEngine> CreateEngine() = 0;
};

struct IScriptHostFactory : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{9D659091-4487-4648-9F44-72F691484671}");
  virtual std::string GetName() = 0;
  virtual IntfPtr<ITransScriptHost> CreateHost() = 0;
};

struct IImplementorAccess : virtual IInterface {
  using Parent = IInterface;
  static constexpr TGUID IID = GuidLiteral("{0B0A555D-A31C-497A-9DE1-B286CBF1977B}");
  virtual TObject* GetImplementor() = 0;
};

// The implementing object behind any interface, or null when it does not tell.
template <class T>
TObject* ImplementorOf(T* intf) {
  auto access = QueryIntf<IImplementorAccess>(intf);
  return access ? access->GetImplementor() : nullptr;
}

}  // namespace ryn
