// TNamedHost, the script host "赋值公式": moves the records of a source port into a
// destination port, computing every destination field from a mapping script whose lines
// are compiled once and evaluated per record. TNVFunc gives the script its two functions,
// Import(i) (the source field i of the current record) and SetExport(i, v); the factory
// makes hosts for the script-host registry.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <typeinfo>
#include <vector>

#include "expr/niporlan.h"
#include "expr/syntax_listener.h"
#include "expr/syntax_parser.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn {

class TNamedHost;

// What made a value differ from what the source holds: a mapping that failed, characters
// the process code page lacks, bytes that are no character of the source's encoding.
enum class TValueProblemKind : int32_t { kConversion, kCodePage, kBadBytes };
constexpr size_t kValueProblemKinds = 3;

// One value of one record that could not be carried exactly.
struct TValueProblem {
  int32_t record = 0;       // from 1, in the source's order
  int32_t mapping = -1;     // the mapping line, from 0 among the mappings
  int32_t destField = -1;   // the destination field it was for; -1 when not known
  int32_t sourceField = -1; // the source field whose value was changed; -1 for a failed mapping
  TValueProblemKind kind = TValueProblemKind::kConversion;
  std::string message;
  std::string value;  // the source value concerned, as read (empty when several are)
};

// Per destination field: values a checking run would write, how many of them empty, and
// the problems with the first three of them.
struct TColumnCounts {
  static constexpr size_t kFirstKept = 3;
  int64_t values = 0;
  int64_t empty = 0;
  int64_t problems = 0;
  std::vector<TValueProblem> first;
};

// What the last Execute did. Records not selected are read but neither filtered nor
// written.
struct TRunCounts {
  int64_t read = 0;
  int64_t passed = 0;    // selected and through the filter
  int64_t written = 0;   // posted; when checking, those a real run would post
  int64_t filtered = 0;
  int64_t rejected = 0;  // held back for a problem
  std::array<int64_t, kValueProblemKinds> changed{};
  std::vector<TColumnCounts> columns;  // per destination field
  int64_t Changed() const { return changed[0] + changed[1] + changed[2]; }
};

// How a run treats the records that pass the filter.
struct TRunPolicy {
  // Evaluate every mapping but write nothing: the counts say what a run would do.
  bool checkOnly = false;
  // A record with a problem is held back (counted as rejected) instead of written.
  bool rejectProblems = false;
  // Stop (as at the source's end) once so many records were written; negative: no limit.
  int64_t writeLimit = -1;
  // A failed mapping is also a warning message to the sink. An owner whose problem
  // handler lists every problem itself turns this off, so that a run with a million
  // failures does not also send a million messages.
  bool warnFailedMappings = true;
};

class TNVFunc final : public TCustomSyntaxFunctionListener {
 public:
  // host: not counted; the host owns this listener.
  explicit TNVFunc(TNamedHost& host);
  // 202 for a wrong argument count or an index that is not a number of 0 or more, 201
  // for a name it does not declare. Import of an index without a readable field is an
  // empty void value.
  int32_t Execute(std::string_view name, std::span<const TCommonData* const> args, bool check,
                  TCommonData& result) override;
  // Forgets the field interfaces remembered between calls (the ports changed).
  void Forget();
  // The highest index Import and SetExport accept when written as a number; unset, any.
  void LimitIndexes(std::optional<int32_t> lastSource, std::optional<int32_t> lastDest);
  // What the compiled SetExport(dest, Import(source)) does, without the evaluator, except
  // that the value is carried exactly: into a text field the source's own text, into a
  // typed field the value by type (an integer as a double, as on the evaluator's stack);
  // an empty value writes nothing. Raises what reading or writing the fields raises.
  void Copy(int32_t dest, int32_t source);
  // A run of such copies (dest, source) in one pass over the record, where both ports take
  // record texts and the fields are text fields: the number done from the start; the
  // caller copies the rest one at a time (Copy). Raises nothing.
  size_t CopyTexts(std::span<const std::pair<int32_t, int32_t>> copies);
  // While checking, nothing is written: each value that would be written is only noted
  // (empty or not) in the host's column counts.
  void SetChecking(bool checking) { checking_ = checking; }

 private:
  // Copy between two text fields through the ports' record texts, without a field
  // lookup per value; false when the ports or the fields do not allow it.
  bool CopyRecordText(int32_t dest, int32_t source);
  // Asks the ports for their record paths once per run: whether copies can use them.
  bool RecordPaths();
  // Whether field index of the source (dest false) or destination is a text field (type 0
  // or 65), asked once per run and index.
  bool PlainTextField(bool dest, int32_t index);
  IFieldReader* SourceField(int32_t index, IntfPtr<ITransField>& held, IntfPtr<IFieldReader>& other);
  IFieldWriter* DestField(int32_t index, IntfPtr<ITransField>& held, IntfPtr<IFieldWriter>& other);
  void ImportValue(int32_t index, TCommonData& result);
  void ExportValue(int32_t index, const TCommonData& value);
  TCommonData copyValue_;  // reused by Copy: no allocation per value
  bool checking_ = false;
  // What the query of a field object for I answered, per index: a port hands out an
  // object of its own per index, or one it re-points, or objects from a pool, and the same
  // object of the same class answers with the same interface. Nothing is held: the slot
  // is used only while the object itself is held.
  template <class I>
  struct FieldSlot {
    const void* object = nullptr;
    const std::type_info* type = nullptr;
    I* intf = nullptr;
  };
  // Looks the field up (held in field) and answers its I interface, or null. An interface
  // that another object answers for is held in other.
  template <class I>
  I* Resolve(std::vector<FieldSlot<I>>& slots, ITransPort* port, int32_t index, IntfPtr<ITransField>& field,
             IntfPtr<I>& other);

  int32_t Import(std::span<const TCommonData* const> args, bool check, TCommonData& result);
  int32_t SetExport(std::span<const TCommonData* const> args, bool check, TCommonData& result);

  TNamedHost& host_;
  std::vector<FieldSlot<IFieldReader>> readers_;
  std::vector<FieldSlot<IFieldWriter>> writers_;
  // The ports' uncounted field tables, when they have one (asked once per port).
  IFieldTable* Table(ITransPort* port, ITransPort*& asked, IntfPtr<IFieldTable>& table);
  ITransPort* sourceAsked_ = nullptr;
  ITransPort* destAsked_ = nullptr;
  IntfPtr<IFieldTable> sourceTable_, destTable_;
  // The ports' record paths, asked once per run; per index 0 not asked yet, 1 a text
  // field, 2 another.
  bool recordAsked_ = false;
  IntfPtr<IRecordTexts> recordIn_;
  IntfPtr<IRecordPost> recordOut_;
  std::vector<uint8_t> textSources_, textDests_;
  // CopyTexts' scratch, kept between records: the record's texts, and what is held.
  std::vector<std::string_view> runTexts_, heldTexts_;
  std::vector<int32_t> heldDests_;
  std::vector<size_t> heldAt_;
  // Per run of copies (by where the caller keeps it): how many from its start copy text
  // into text, and the last source field those read. Forgotten with the fields.
  struct CopyRun {
    const std::pair<int32_t, int32_t>* start = nullptr;
    size_t size = 0, plain = 0;
    int32_t last = -1;
  };
  std::vector<CopyRun> runs_;
  const CopyRun& RunOf(std::span<const std::pair<int32_t, int32_t>> copies);
};

class TNamedHost final : public TInterfacedObject,
                         public virtual ITransScriptHost,
                         public virtual IImplementorAccess {
 public:
  TNamedHost();
  ~TNamedHost() override;

  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<ITransScriptHost, IImplementorAccess>(this, iid, obj);
  }

  // A different port replaces the attached one and clears the script when one was
  // attached before; the same port again clears it when its field count changed (for the
  // source only while the destination had no fields).
  void SetSourcePort(IImport* source) override;
  void SetDestinationPort(IExport* dest) override;
  void SetEvents(ITransEvents* events) override { Events = events; }
  // Lines separated by CR LF (a lone LF or CR also ends a line).
  void SetScript(std::string_view text) override;
  // Appends "Export(j)=Import(i)" lines: by equal type first, then by compatible type;
  // a destination without fields gets one per source field.
  void BuildDefaultScript() override;
  // Runs the transfer with the formulas of the last Compile.
  void Execute() override;
  IntfPtr<IImport> GetSourcePort() override { return Source; }
  IntfPtr<IExport> GetDestinationPort() override { return Dest; }
  bool IsEmpty() override;
  std::string GetName() override;
  std::string GetScript() override;
  // Checks and compiles every line; false (after an error message with the caret text)
  // at the first line that does not compile.
  bool Compile() override;
  IntfPtr<IInterface> GetConfig() override { return nullptr; }
  TObject* GetImplementor() override { return this; }

  // Of the last Execute: records read from the source and records posted.
  int32_t RecordsRead() const { return ReadCount; }
  int32_t RecordsWritten() const { return WrittenCount; }
  const TRunCounts& Counts() const { return RunCounts; }
  void SetRunPolicy(const TRunPolicy& policy) { Policy = policy; }
  const TRunPolicy& RunPolicy() const { return Policy; }
  // Called for every problem as it is found, while the source is still on its record
  // (a held-back record's problems come before the next record is read).
  void SetProblemHandler(std::function<void(const TValueProblem&)> handler) { ProblemHandler = std::move(handler); }
  const std::function<void(const TValueProblem&)>& GetProblemHandler() const { return ProblemHandler; }
  // Only the records (numbered from 1) it accepts are filtered and written; none: all.
  void SetRecordSelector(std::function<bool(int32_t)> selector) { RecordSelector = std::move(selector); }
  // The script line of a mapping (from 0 among the mappings) as the user wrote it.
  const std::string& MappingText(int32_t mapping) const;

  // The last Execute ended before the source's end because the sink asked it to stop.
  bool Stopped() const { return StoppedEarly; }
  TSyntaxParser& SyntaxParser() { return Parser; }

 private:
  friend class TNVFunc;

  void Message(int32_t kind, const std::string& text);
  // The sink's answer; true without a sink.
  bool Progress(uint8_t kind, int32_t value);
  // Gives an empty destination one field per source field, typed and named after it.
  void CreateDestinationFields();
  // Evaluates every mapping for the current record (writing, unless checking); the
  // problems found are added to problems.
  void EvaluateMappings(int32_t recordNo, std::vector<TValueProblem>& problems);
  // The source's problems with the current record's values that a mapping reads.
  void AddSourceProblems(int32_t recordNo, std::vector<TValueProblem>& problems);
  // Counts the problems and hands each to the handler.
  void NoteProblems(std::vector<TValueProblem>& problems);
  // The current record's value of source field index as text; empty when there is none.
  std::string SourceText(int32_t index);
  // The checking path of a value for destination field index.
  void NoteCheckedValue(int32_t index, bool empty);

  std::vector<std::string> Script;
  std::vector<std::unique_ptr<TNiporlan>> Mappings;
  // Per mapping: the destination and source index of a plain copy line
  // "Export(i)=Import(j)", which runs without the evaluator; -1 for any other line.
  std::vector<std::pair<int32_t, int32_t>> Copies;
  std::vector<size_t> CopyRuns;  // per mapping: the plain copies from it on, without a break
  // Per mapping: its script line, the destination field it writes (-1 when that is
  // computed), and the source fields it reads (all, when one index is computed).
  std::vector<std::string> MappingLines;
  std::vector<int32_t> MappingDests;
  std::vector<std::vector<int32_t>> MappingSources;
  std::vector<bool> MappingReadsAny;
  TSyntaxParser Parser;
  IntfPtr<TNVFunc> NVFuncs;
  IntfPtr<ISyntaxFunctionListener> StrFuncs;
  std::unique_ptr<TNiporlan> FilterFormula;
  IntfPtr<ITransEvents> Events;
  IntfPtr<IImport> Source;
  IntfPtr<IExport> Dest;
  int32_t SourceFieldCount = 0;
  int32_t DestFieldCount = 0;
  int32_t ReadCount = 0;
  int32_t WrittenCount = 0;
  bool StoppedEarly = false;
  TRunCounts RunCounts;
  TRunPolicy Policy;
  std::function<void(const TValueProblem&)> ProblemHandler;
  std::function<bool(int32_t)> RecordSelector;
  IntfPtr<IRecordProblems> SourceProblems;
};

class TNamedHostFactory final : public TInterfacedObject, public virtual IScriptHostFactory {
 public:
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    return QueryInterfaces<IScriptHostFactory>(this, iid, obj);
  }
  std::string GetName() override;
  IntfPtr<ITransScriptHost> CreateHost() override { return MakeIntf<TNamedHost>(); }
};

// "赋值公式", the name of the host and its factory.
const std::string& NamedHostName();

// Makes the host's factory the built-in one of the script-host registry, so that the
// registry finds it by name whenever it exists (also after it was freed and made again).
void RegisterNamedHostFactory();

}  // namespace ryn
