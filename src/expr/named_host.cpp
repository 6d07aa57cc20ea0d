#include "expr/named_host.h"

#include <algorithm>
#include <set>

#include "expr/niporlan_parser.h"
#include "expr/script_lines.h"
#include "expr/str_functions.h"
#include "expr/syntax_text.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "transport/field_types.h"
#include "transport/registries.h"

namespace ryn {
namespace {

// The formula without blanks, in upper case (letters of the ASCII range only).
std::string Folded(std::string_view formula) {
  std::string s;
  for (char c : formula) {
    if (static_cast<unsigned char>(c) <= 32) continue;
    s += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return s;
}

// The decimal number at s[at] followed by close, or -1.
int32_t NumberBefore(const std::string& s, size_t at, char close) {
  size_t end = at;
  int64_t v = 0;
  while (end < s.size() && s[end] >= '0' && s[end] <= '9' && end - at < 9) v = v * 10 + (s[end++] - '0');
  return end > at && end < s.size() && s[end] == close ? static_cast<int32_t>(v) : -1;
}

// The destination index of a value formula "SetExport(n, ...)" with n a decimal number,
// or -1.
int32_t ExportIndexOf(std::string_view formula) {
  const std::string s = Folded(formula);
  constexpr std::string_view kHead = "SETEXPORT(";
  return s.starts_with(kHead) ? NumberBefore(s, kHead.size(), ',') : -1;
}

// The source indexes a formula reads with Import(n); any is set when an index is computed.
std::vector<int32_t> ImportIndexesOf(std::string_view formula, bool& any) {
  const std::string s = Folded(formula);
  constexpr std::string_view kCall = "IMPORT(";
  std::vector<int32_t> indexes;
  any = false;
  for (size_t at = s.find(kCall); at != std::string::npos; at = s.find(kCall, at + 1)) {
    const char before = at > 0 ? s[at - 1] : '(';
    if ((before >= 'A' && before <= 'Z') || (before >= '0' && before <= '9') || before == '_') continue;
    const int32_t n = NumberBefore(s, at + kCall.size(), ')');
    if (n < 0) any = true;
    else indexes.push_back(n);
  }
  return indexes;
}

const char* ProblemText(TValueProblemKind kind) {
  switch (kind) {
    case TValueProblemKind::kCodePage: return "源数据中有代码页不能表示的字符，已替换为“?”";
    case TValueProblemKind::kBadBytes: return "源数据中有不是其编码字符的字节，已替换为“?”";
    default: return "映射出错";
  }
}

// The indexes of a formula that is exactly SetExport(i, Import(j)) with two decimal
// indexes (blanks and letter case aside); {-1, -1} for any other formula.
std::pair<int32_t, int32_t> PlainCopy(std::string_view formula) {
  const std::string s = Folded(formula);
  constexpr std::string_view kHead = "SETEXPORT(", kMiddle = ",IMPORT(", kTail = "))";
  if (!s.starts_with(kHead)) return {-1, -1};
  const int32_t dest = NumberBefore(s, kHead.size(), ',');
  if (dest < 0) return {-1, -1};
  size_t at = s.find(',', kHead.size());
  if (s.compare(at, kMiddle.size(), kMiddle) != 0) return {-1, -1};
  at += kMiddle.size();
  const int32_t source = NumberBefore(s, at, ')');
  if (source < 0 || s.compare(s.find(')', at), std::string::npos, kTail) != 0) return {-1, -1};
  return {dest, source};
}

// The parser's message about a line, then the formula as the user wrote it and a line
// with "!" under the character at which parsing stopped, counted in characters (the
// rewrite into SetExport calls is ours, so it is never shown). A stop in the destination
// index, which is no part of the formula, quotes the whole line.
std::string LineErrorText(TSyntaxParser& parser, const TScriptLine& line) {
  const size_t stop = parser.ErrorOffsetIn(line.formula);
  const std::optional<size_t> inIndex = line.IndexOffset(stop);
  const std::string& quoted = inIndex ? line.trimmed : line.source;
  const size_t at = std::min(inIndex ? *inIndex : line.SourceOffset(stop), quoted.size());
  std::string s = parser.LastErrorMessage();
  s += "\r\n";
  s += quoted;
  s += "\r\n";
  s.append(CharacterCount(std::string_view(quoted).substr(0, at)), ' ');
  s += '!';
  return s;
}

std::string ExportLine(int32_t dest, int32_t source) {
  return "Export(" + std::to_string(dest) + ")=Import(" + std::to_string(source) + ")";
}

int32_t TypeOf(ITransPort& port, int32_t index) {
  IntfPtr<ITransField> f = port.GetField(index);
  return f ? f->GetDataType() : 0;
}

}  // namespace

const std::string& NamedHostName() { return Ansi("赋值公式"); }

std::string TNamedHostFactory::GetName() { return NamedHostName(); }

void RegisterNamedHostFactory() {
  SetBuiltinScriptHostFactory([] {
    static const IntfPtr<IScriptHostFactory> factory = MakeIntf<TNamedHostFactory>();
    return factory;
  });
}

TNamedHost::TNamedHost() : NVFuncs(MakeIntf<TNVFunc>(*this)), StrFuncs(MakeIntf<TStrFunc>()) {
  Parser.AddFunctionListener(StrFuncs);
  Parser.AddFunctionListener(NVFuncs);
}

TNamedHost::~TNamedHost() = default;

void TNamedHost::SetSourcePort(IImport* source) {
  const int32_t count = source ? source->GetFieldCount() : 0;
  if (source != Source.get()) {
    if (Source) Script.clear();
    Source = source;
    NVFuncs->Forget();
  } else if (count != SourceFieldCount && DestFieldCount == 0) {
    Script.clear();
  }
  SourceFieldCount = count;
}

void TNamedHost::SetDestinationPort(IExport* dest) {
  const int32_t count = dest ? dest->GetFieldCount() : 0;
  if (dest != Dest.get()) {
    if (Dest) Script.clear();
    Dest = dest;
    NVFuncs->Forget();
  } else if (count != DestFieldCount) {
    Script.clear();
  }
  DestFieldCount = count;
}

void TNamedHost::SetScript(std::string_view text) {
  Script.clear();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    Script.emplace_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

std::string TNamedHost::GetScript() {
  std::string text;
  for (const std::string& line : Script) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool TNamedHost::IsEmpty() {
  for (const std::string& line : Script)
    if (!TrimBlanks(line).empty()) return false;
  return true;
}

std::string TNamedHost::GetName() { return NamedHostName(); }

void TNamedHost::Message(int32_t kind, const std::string& text) {
  if (Events) Events->OnMessage(kind, text);
}

bool TNamedHost::Progress(uint8_t kind, int32_t value) {
  bool cont = true;
  if (Events) Events->OnProgress(kind, value, cont);
  return cont;
}

const std::string& TNamedHost::MappingText(int32_t mapping) const {
  static const std::string none;
  return mapping >= 0 && static_cast<size_t>(mapping) < MappingLines.size() ? MappingLines[static_cast<size_t>(mapping)]
                                                                            : none;
}

bool TNamedHost::Compile() {
  FilterFormula.reset();
  Mappings.clear();
  Copies.clear();
  CopyRuns.clear();
  MappingLines.clear();
  MappingDests.clear();
  MappingSources.clear();
  MappingReadsAny.clear();
  // A field written out by its number must exist once both ports are known; a destination
  // without fields gets them from the source when the transfer starts, so takes any.
  std::optional<int32_t> lastSource, lastDest;
  if (Source && Dest) {
    if (const int32_t n = Source->GetFieldCount(); n > 0) lastSource = n - 1;
    if (const int32_t n = Dest->GetFieldCount(); n > 0) lastDest = n - 1;
  }
  NVFuncs->LimitIndexes(lastSource, lastDest);
  Parser.SetCheckOnly(true);
  Parser.SetCompile(true);
  for (const std::string& line : Script) {
    TScriptLine parsed = ParseScriptLine(line);
    if (parsed.kind == TScriptLine::Kind::kBlank) continue;
    if (parsed.kind == TScriptLine::Kind::kInvalid) {
      Message(kSeverityWarning, "<" + parsed.trimmed + Ansi(">表达式无效！"));
      continue;
    }
    TCommonData ignored;
    const bool filter = parsed.kind == TScriptLine::Kind::kFilter;
    int32_t code = filter ? Parser.CheckCondition(parsed.formula, ignored) : Parser.Calculate(parsed.formula, ignored);
    if (code != 0) {
      Message(kSeverityError, LineErrorText(Parser, parsed));
      return false;
    }
    std::unique_ptr<TNiporlan> compiled = Parser.TakeCompiled();
    if (!compiled) compiled = std::make_unique<TNiporlan>();
    if (filter) {
      FilterFormula = std::move(compiled);
    } else {
      Mappings.push_back(std::move(compiled));
      Copies.push_back(PlainCopy(parsed.formula));
      MappingLines.push_back(parsed.trimmed);
      MappingDests.push_back(ExportIndexOf(parsed.formula));
      bool any = false;
      MappingSources.push_back(ImportIndexesOf(parsed.formula, any));
      MappingReadsAny.push_back(any);
    }
  }
  // How many plain copies follow one another from each mapping on.
  CopyRuns.assign(Copies.size(), 0);
  for (size_t j = Copies.size(); j-- > 0;)
    if (Copies[j].first >= 0) CopyRuns[j] = 1 + (j + 1 < Copies.size() ? CopyRuns[j + 1] : 0);
  return true;
}

void TNamedHost::CreateDestinationFields() {
  const int32_t count = Source->GetFieldCount();
  Dest->SetFieldCount(count);
  for (int32_t i = 0; i < count; ++i) {
    IntfPtr<ITransField> source = Source->GetField(i);
    if (!source) continue;
    const int32_t type = source->GetDataType();
    const std::string name = source->GetName();
    // A port may hand out one field object that every lookup re-points, so each use of a
    // destination field follows its own lookup.
    if (IntfPtr<ITransField> dest = Dest->GetField(i); dest && dest->GetDataType() == kFtUnknown)
      Dest->SetFieldType(i, type);
    if (IntfPtr<ITransField> dest = Dest->GetField(i)) dest->SetName(name);
  }
}

void TNamedHost::EvaluateMappings(int32_t recordNo, std::vector<TValueProblem>& problems) {
  for (size_t j = 0; j < Mappings.size(); ++j) {
    // Plain copies one after another go in one pass where the ports allow it; what that
    // leaves is done one by one below, with its own errors.
    if (CopyRuns[j] > 1) {
      const size_t done = NVFuncs->CopyTexts(std::span(Copies).subspan(j, CopyRuns[j]));
      if (done > 0) {
        j += done - 1;
        continue;
      }
    }
    try {
      if (const auto [to, from] = Copies[j]; to >= 0) {
        // The most common line runs without the evaluator; a failure is the same
        // failure the evaluator would report for it.
        try {
          NVFuncs->Copy(to, from);
        } catch (const ENiporlanError&) {
          throw;
        } catch (...) {
          throw ENiporlanError(Ansi("函数“SetExport”出错"));
        }
      } else {
        TCommonData ignored;
        Parser.EvaluateValue(*Mappings[j], ignored);
      }
    } catch (const ENiporlanError& e) {
      // Where, then why: the evaluator's text says what went wrong (an argument a function
      // refused, a value the destination cannot take).
      if (Policy.warnFailedMappings)
        Message(kSeverityWarning, Ansi("在") + std::to_string(recordNo) + Ansi("行") + std::to_string(j + 1) +
                                      Ansi("列处有错误发生！") + e.Message());
      TValueProblem p;
      p.record = recordNo;
      p.mapping = static_cast<int32_t>(j);
      p.destField = MappingDests[j];
      p.kind = TValueProblemKind::kConversion;
      p.message = e.Message().empty() ? Ansi(ProblemText(p.kind)) : e.Message();
      problems.push_back(std::move(p));
    }
  }
}

void TNamedHost::AddSourceProblems(int32_t recordNo, std::vector<TValueProblem>& problems) {
  if (!SourceProblems) return;
  int32_t field = -1, kind = 0;
  for (int32_t i = 0; SourceProblems->GetRecordProblem(i, field, kind); ++i) {
    const TValueProblemKind k =
        kind == kMsgValueBadBytes ? TValueProblemKind::kBadBytes : TValueProblemKind::kCodePage;
    // A value no mapping reads changes nothing that is written.
    for (size_t j = 0; j < Mappings.size(); ++j) {
      const std::vector<int32_t>& reads = MappingSources[j];
      if (!MappingReadsAny[j] && std::find(reads.begin(), reads.end(), field) == reads.end()) continue;
      TValueProblem p;
      p.record = recordNo;
      p.mapping = static_cast<int32_t>(j);
      p.destField = MappingDests[j];
      p.sourceField = field;
      p.kind = k;
      p.message = Ansi(ProblemText(k));
      problems.push_back(std::move(p));
    }
  }
}

std::string TNamedHost::SourceText(int32_t index) {
  IntfPtr<ITransField> field = index >= 0 && Source ? Source->GetField(index) : nullptr;
  IntfPtr<IFieldReader> reader = field ? field.Query<IFieldReader>() : nullptr;
  return reader ? reader->GetAsString() : std::string();
}

void TNamedHost::NoteProblems(std::vector<TValueProblem>& problems) {
  for (TValueProblem& p : problems) {
    // The value concerned: the source field that lost characters, or the one field a
    // failed mapping reads.
    int32_t from = p.sourceField;
    if (from < 0 && p.mapping >= 0 && !MappingReadsAny[static_cast<size_t>(p.mapping)] &&
        MappingSources[static_cast<size_t>(p.mapping)].size() == 1)
      from = MappingSources[static_cast<size_t>(p.mapping)][0];
    if (from >= 0) p.value = SourceText(from);
    ++RunCounts.changed[static_cast<size_t>(p.kind)];
    if (p.destField >= 0) {
      if (RunCounts.columns.size() <= static_cast<size_t>(p.destField))
        RunCounts.columns.resize(static_cast<size_t>(p.destField) + 1);
      TColumnCounts& c = RunCounts.columns[static_cast<size_t>(p.destField)];
      ++c.problems;
      if (c.first.size() < TColumnCounts::kFirstKept) c.first.push_back(p);
    }
    if (ProblemHandler) ProblemHandler(p);
  }
}

void TNamedHost::NoteCheckedValue(int32_t index, bool empty) {
  if (index < 0) return;
  if (RunCounts.columns.size() <= static_cast<size_t>(index)) RunCounts.columns.resize(static_cast<size_t>(index) + 1);
  TColumnCounts& c = RunCounts.columns[static_cast<size_t>(index)];
  ++c.values;
  if (empty) ++c.empty;
}

void TNamedHost::Execute() {
  ReadCount = 0;
  WrittenCount = 0;
  StoppedEarly = false;
  RunCounts = TRunCounts{};
  if (!Source) Message(kSeverityError, Ansi("缺少导入引擎"));
  if (!Dest) Message(kSeverityError, Ansi("缺少导出引擎"));
  if (!Source || !Dest) return;
  if (Dest->GetFieldCount() == 0) CreateDestinationFields();
  // The fields' types and the ports' record paths are asked afresh for every run.
  NVFuncs->Forget();
  RunCounts.columns.resize(static_cast<size_t>(std::max(Dest->GetFieldCount(), 0)));
  SourceProblems = QueryIntf<IRecordProblems>(Source.get());
  Parser.SetCheckOnly(false);
  Parser.SetCompile(false);
  int32_t recordNo = 1;
  if (Mappings.empty()) {
    Message(kSeverityInfo, Ansi("没有映射关系"));
    return;
  }
  if (!Progress(kProgressStart, Source->DataCount())) {
    StoppedEarly = true;
    return;
  }

  // Holds the ports for the run even if a message handler detaches them.
  IntfPtr<IImport> source = Source;
  IntfPtr<IExport> dest = Dest;
  std::vector<TValueProblem> problems;
  for (source->MoveFirst(); !source->IsEof();) {
    if (Policy.writeLimit >= 0 && RunCounts.written >= Policy.writeLimit) break;
    if (RecordSelector && !RecordSelector(recordNo)) {
      // not one of the records asked for
    } else if (FilterFormula && !Parser.EvaluateCondition(*FilterFormula)) {
      ++RunCounts.filtered;
    } else {
      ++RunCounts.passed;
      problems.clear();
      bool write = !Policy.checkOnly;
      if (Policy.checkOnly || Policy.rejectProblems) {
        // A record is checked before anything of it is written.
        NVFuncs->SetChecking(true);
        EvaluateMappings(recordNo, problems);
        NVFuncs->SetChecking(false);
        AddSourceProblems(recordNo, problems);
        NoteProblems(problems);
        if (Policy.rejectProblems && !problems.empty()) {
          ++RunCounts.rejected;
          write = false;
        } else if (Policy.checkOnly) {
          ++RunCounts.written;
        }
        problems.clear();
      }
      if (write) {
        dest->Append();
        EvaluateMappings(recordNo, problems);
        if (!Policy.rejectProblems) AddSourceProblems(recordNo, problems);
        NoteProblems(problems);
        dest->Post();
        ++WrittenCount;
        ++RunCounts.written;
      }
    }
    source->MoveNext();
    ReadCount = recordNo;
    RunCounts.read = recordNo;
    if (!Progress(kProgressStep, recordNo)) {
      StoppedEarly = true;
      break;
    }
    ++recordNo;
  }
  Progress(kProgressEnd, 0);
  NVFuncs->Forget();
  SourceProblems = nullptr;
}

void TNamedHost::BuildDefaultScript() {
  if (!Source || !Dest) return;
  Source->MoveFirst();
  const int32_t sourceCount = Source->GetFieldCount();
  const int32_t destCount = Dest->GetFieldCount();
  if (destCount == 0) {
    CreateDestinationFields();
    for (int32_t i = 0; i < sourceCount; ++i) Script.push_back(ExportLine(i, i));
    return;
  }
  std::set<int32_t> used;
  auto firstUnused = [&](auto accept) -> int32_t {
    for (int32_t i = 0; i < sourceCount; ++i)
      if (!used.count(i) && accept(i)) return i;
    return -1;
  };
  for (int32_t j = 0; j < destCount; ++j) {
    if (static_cast<int32_t>(used.size()) >= sourceCount) break;
    const int32_t destType = TypeOf(*Dest, j);
    int32_t chosen;
    if (destType != kFtUnknown) {
      chosen = firstUnused([&](int32_t i) { return TypeOf(*Source, i) == destType; });
      if (chosen < 0) chosen = firstUnused([&](int32_t i) { return IsTypeCompatible(TypeOf(*Source, i), destType); });
      if (chosen < 0) continue;
    } else {
      chosen = firstUnused([](int32_t) { return true; });
      Dest->SetFieldType(j, TypeOf(*Source, chosen));
    }
    used.insert(chosen);
    Script.push_back(ExportLine(j, chosen));
  }
}

}  // namespace ryn
