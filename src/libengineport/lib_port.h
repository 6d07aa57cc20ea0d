// Port proxies: the source (TLibImport) or destination (TLibExport) port of an engine that
// lives in another library, with a pool of field proxies.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "libengineport/lib_api.h"
#include "libengineport/lib_collect_object.h"
#include "libengineport/lib_field.h"
#include "transport/interfaces.h"

namespace ryn {

class TLibTransEngine;

class TLibTransPort : public TLibCollectObject, public virtual ITransPort, public virtual IFieldTable {
 public:
  // engine: the engine whose sink gets conversion messages; null for a wizard's port.
  TLibTransPort(IInterface* controller, TLibTransEngine* engine, LibHandle lib)
      : TLibCollectObject(controller), FEngine(engine), FLib(lib) {}
  ~TLibTransPort() override;

  int32_t GetFieldCount() override;
  IntfPtr<ITransField> FindField(std::string_view name) override;
  // No range check: a library may not know its field count.
  IntfPtr<ITransField> GetField(int32_t index) override;

  // IFieldTable: one field object per index owned by the port and never counted, for
  // the per-value path of transfers; re-pointed whenever the field list may change.
  IFieldReader* ReaderAt(int32_t index) override;
  IFieldWriter* WriterAt(int32_t index) override;
  IImport* SourcePort() override { return nullptr; }
  IExport* DestinationPort() override { return nullptr; }

  virtual void InitField(TLibTransField* field, int32_t index);
  // Looks the port's functions up; false (and nothing kept) when a required one is missing.
  virtual bool Bind();
  // Forgets every function address and frees the fields nobody holds; a held field stays
  // a valid object but becomes inert.
  virtual void Unbind();
  // Takes the port out of service when its handle ends (engine or wizard closed): the
  // port and every field of it, held or handed out later, read empty values and write
  // nothing. The handle may come back for another engine, so nothing may call with it.
  void Retire();

  void SetHandle(RynHandle handle) { FHandle = handle; }
  int32_t Kind() const { return FKind; }
  int32_t RecordNo() const { return FRecordNo; }
  TLibTransEngine* Engine() const { return FEngine; }
  // Forgets the type codes and accessors remembered per field index (the library's field
  // list may have changed: new options, a wizard's update, new field types, records opened).
  void InvalidateTypes() {
    FTypes.clear();
    ++FTableGeneration;
  }
  // Outstanding references on the port or any of its fields.
  bool InUse() const { return Held(); }
  // The field table lent fields, which nobody counts.
  bool Lent() const { return !FTable.empty(); }

 protected:
  virtual std::unique_ptr<TLibTransField> NewField() = 0;

  TLibTransEngine* FEngine;
  LibHandle FLib;
  RynHandle FHandle = 0;
  int32_t FKind = 0;
  int32_t FRecordNo = 0;
  bool FRetired = false;
  lib::HandleQueryFn FFieldGetCount = nullptr;
  lib::FieldFindbyNameFn FFieldFindbyName = nullptr;
  lib::FieldGetNameFn FFieldGetName = nullptr;
  lib::FieldSetNameFn FFieldSetName = nullptr;
  lib::FieldGetTypeFn FFieldGetType = nullptr;
  lib::FieldGetProcFn FFieldGetProc = nullptr;
  std::vector<std::unique_ptr<TLibTransField>> FPool;
  // The field table: per index a field, its reader or writer interface, and the
  // generation it was pointed in.
  struct TableEntry {
    std::unique_ptr<TLibTransField> field;
    IFieldReader* reader = nullptr;
    IFieldWriter* writer = nullptr;
    uint32_t generation = 0;
  };
  TableEntry* TableField(int32_t index);
  // The port's field count, asked once per generation of the field table.
  int32_t KnownFieldCount();
  int32_t FKnownCount = 0;
  uint32_t FCountGeneration = 0;
  std::vector<TableEntry> FTable;
  uint32_t FTableGeneration = 1;
  // Per field index: the library's type code (-1 not asked yet) and its accessor.
  struct TypeEntry {
    int32_t type = -1;
    void* accessor = nullptr;
  };
  std::vector<TypeEntry> FTypes;
};

// Retires the port (if any) and keeps it among the retired while a caller holds it or
// one of its fields, or while it is one of the last few retired whose table lent fields
// (a caller may be using one it got before a callback retired the port); the other
// retired ports are freed.
void RetirePort(std::unique_ptr<TLibTransPort>& port, std::vector<std::unique_ptr<TLibTransPort>>& retired);

class TLibImport final : public TLibTransPort,
                         public virtual IImport,
                         public virtual IRecordProblems,
                         public virtual IRecordTexts {
 public:
  using TLibTransPort::TLibTransPort;

  // Answers for IRecordProblems only when the library can tell a record's problems.
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    if (iid == IRecordProblems::IID && !FEngineGetRecordProblem) {
      if (obj) *obj = nullptr;
      return kE_NOINTERFACE;
    }
    if (iid == IRecordTexts::IID && !FEngineGetRecordTexts) {
      if (obj) *obj = nullptr;
      return kE_NOINTERFACE;
    }
    return QueryInterfaces<IImport, IFieldTable, IRecordProblems, IRecordTexts>(this, iid, obj);
  }
  IImport* SourcePort() override { return this; }
  int32_t DataCount() override { return FDataCount ? FDataCount(FHandle) : -1; }
  void MoveFirst() override;
  void MoveNext() override;
  bool IsEof() override;
  // Through the library's optional EngineGetRecordProblem; false without it.
  bool GetRecordProblem(int32_t index, int32_t& field, int32_t& kind) override;
  // The text of field index in the current record, through the library's optional
  // EngineGetRecordTexts: asked once per record for every field, and valid until the
  // record moves. False when the library does not give it (then read per value).
  bool RecordText(int32_t index, std::string_view& text);
  // IRecordTexts, through RecordText; stops at a text too long to take (read per value,
  // it is reported).
  int32_t GetRecordTexts(int32_t first, std::span<std::string_view> out) override;

  void InitField(TLibTransField* field, int32_t index) override;
  bool Bind() override;
  void Unbind() override;

 protected:
  std::unique_ptr<TLibTransField> NewField() override;

 private:
  lib::HandleProcFn FMoveFirst = nullptr;
  lib::HandleProcFn FMoveNext = nullptr;
  lib::HandleQueryFn FIsEof = nullptr;
  lib::FieldIsEmptyFn FFieldIsEmpty = nullptr;
  lib::FieldGetValueTextFn FFieldGetValueText = nullptr;  // optional
  lib::EngineGetRecordProblemFn FEngineGetRecordProblem = nullptr;  // optional
  lib::EngineGetRecordTextsFn FEngineGetRecordTexts = nullptr;      // optional
  lib::EngineMoveNextRecordFn FEngineMoveNextRecord = nullptr;      // optional
  lib::HandleQueryFn FDataCount = nullptr;
  // The current record's texts as the library handed them out, for the record counted by
  // FMoves in the field table's generation.
  std::vector<const char*> FRecordTexts;
  std::vector<int32_t> FRecordLengths;
  int32_t FRecordPlaced = 0;
  uint64_t FMoves = 0, FRecordMoves = 0;
  uint32_t FRecordGeneration = 0;
  // What EngineMoveNextRecord told of the record it moved to (FStateMoves counts the move,
  // in the field table's generation FStateGeneration): whether none remained, and whether
  // the record has values it could not read exactly.
  bool FStateEnd = false, FStateProblems = false;
  uint64_t FStateMoves = 0;
  uint32_t FStateGeneration = 0;
  bool StateKnown() const { return FStateMoves == FMoves && FStateGeneration == FTableGeneration && FStateMoves != 0; }
};

class TLibExport final : public TLibTransPort, public virtual IExport, public virtual IRecordPost {
 public:
  using TLibTransPort::TLibTransPort;

  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    if (iid == IRecordPost::IID && !FEnginePostRecordTexts) {
      if (obj) *obj = nullptr;
      return kE_NOINTERFACE;
    }
    return QueryInterfaces<IExport, IFieldTable, IRecordPost>(this, iid, obj);
  }
  IExport* DestinationPort() override { return this; }
  void SetFieldCount(int32_t count) override;
  void SetFieldType(int32_t index, int32_t dataType) override;
  void Append() override {
    ClearHeld();
    if (FAppend) FAppend(FHandle);
  }
  // With the library's optional EnginePostRecordTexts the texts held since Append go with
  // the record in the same call.
  void Post() override;

  // Keeps a text for field index until Post, when the library takes whole records; false
  // (nothing kept) when it does not.
  bool Hold(int32_t index, std::string_view text);
  // IRecordPost: Hold for a field whose setter is the text setter.
  bool HoldText(int32_t index, std::string_view text) override;
  size_t HoldTexts(std::span<const int32_t> indexes, std::span<const std::string_view> texts) override;

  void InitField(TLibTransField* field, int32_t index) override;
  bool Bind() override;
  void Unbind() override;

 protected:
  std::unique_ptr<TLibTransField> NewField() override;

 private:
  lib::HandleProcFn FAppend = nullptr;
  lib::HandleProcFn FPost = nullptr;
  lib::FieldSetCountFn FFieldSetCount = nullptr;
  lib::FieldSetTypeFn FFieldSetType = nullptr;
  lib::EnginePostRecordTextsFn FEnginePostRecordTexts = nullptr;  // optional

  // Whether field index is set by the text setter, asked once per field table.
  bool TextField(int32_t index);
  std::vector<uint8_t> FTextFields;  // per index: 0 not asked yet, 1 a text field, 2 another
  uint32_t FTextFieldsGeneration = 0;

  void ClearHeld() {
    FHeldBytes.clear();
    FHeldFields.clear();
    FHeldEnds.clear();
  }
  // The texts held for the started record, one after another, with their fields and ends.
  std::string FHeldBytes;
  std::vector<int32_t> FHeldFields;
  std::vector<size_t> FHeldEnds;
  std::vector<const char*> FPostTexts;
  std::vector<int32_t> FPostLengths;
};

}  // namespace ryn
