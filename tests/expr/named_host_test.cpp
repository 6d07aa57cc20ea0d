// The script host: compiling a mapping script, moving records, the default script and the
// rules by which attaching ports clears the script.
#include <gtest/gtest.h>

#include "expr/common_functions.h"
#include "expr/named_host.h"
#include "platform/codepage.h"
#include "support/recording_events.h"
#include "support/table_ports.h"
#include "transport/registries.h"

namespace ryn {
namespace {

using testing::Column;
using testing::RecordingEvents;
using testing::TableDest;
using testing::TableSource;
using Records = std::vector<std::vector<std::string>>;
using Messages = std::vector<std::pair<int32_t, std::string>>;
using Progress = std::vector<std::pair<int, int32_t>>;

class NamedHostTest : public ::testing::Test {
 protected:
  // Columns: 0 int, 1 text, 2 int64, 3 double, 4 date, 5 bool.
  IntfPtr<TableSource> MakeSource(int rows, bool oneField = false) {
    std::vector<std::vector<std::string>> data;
    for (int r = 1; r <= rows; ++r)
      data.push_back({std::to_string(r * 10), "t" + std::to_string(r), "900000000000000000" + std::to_string(r),
                      "0." + std::to_string(r), std::to_string(45000 + r), r % 2 ? "1" : "0"});
    return MakeIntf<TableSource>(
        std::vector<Column>{{"n", 6}, {"s", 65}, {"big", 7}, {"d", 18}, {"day", 50}, {"flag", 8}}, std::move(data),
        oneField);
  }

  void Attach(TableSource* source, TableDest* dest) {
    host->SetEvents(events.get());
    host->SetSourcePort(source);
    host->SetDestinationPort(dest);
  }

  // Compiles and runs script; false when it did not compile.
  bool Run(const std::string& script) {
    host->SetScript(Ansi(script));
    if (!host->Compile()) return false;
    host->Execute();
    return true;
  }

  TCommonFunctionsRegistration common;
  IntfPtr<TNamedHost> host = MakeIntf<TNamedHost>();
  IntfPtr<RecordingEvents> events = MakeIntf<RecordingEvents>();
};

// "Not reported" is not 0: an empty source value copied by a plain line writes nothing,
// whatever the two types; inside a larger formula an empty number still reads as 0.
TEST_F(NamedHostTest, AnEmptyValueCopiedStaysEmpty) {
  auto source = MakeIntf<TableSource>(
      std::vector<Column>{{"n", 6}, {"s", 65}, {"big", 7}, {"d", 18}, {"day", 50}, {"flag", 8}},
      std::vector<std::vector<std::string>>{{"", "", "", "", "", ""}, {"7", "x", "8", "0.5", "45001", "1"}});
  const std::vector<Column> destColumns = {{"text", 65}, {"int", 6}, {"int64", 7}, {"double", 18},
                                           {"date", 50}, {"bool", 8}, {"untyped", 0}};
  for (int s = 0; s < 6; ++s) {
    SCOPED_TRACE(s);
    auto dest = MakeIntf<TableDest>(destColumns);
    Attach(source.get(), dest.get());
    std::string script;
    for (int d = 0; d < static_cast<int>(destColumns.size()); ++d)
      script += "Export(" + std::to_string(d) + ")=Import(" + std::to_string(s) + ")\r\n";
    ASSERT_TRUE(Run(script));
    ASSERT_EQ(dest->records.size(), 2u);
    EXPECT_EQ(dest->records[0], std::vector<std::string>(destColumns.size(), "")) << "empty into every type";
    EXPECT_NE(dest->records[1][0], "");
  }
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}});
  Attach(source.get(), dest.get());
  ASSERT_TRUE(Run("Export(0)=Import(0)+1"));
  EXPECT_EQ(dest->records, (Records{{"1"}, {"8"}}));
}

TEST_F(NamedHostTest, MovesRecordsByTypeIntoTypedFields) {
  auto source = MakeSource(2);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{
      {"a", 65}, {"b", 65}, {"c", 7}, {"d", 65}, {"e", 65}, {"f", 6}, {"g", 18}, {"h", 65}, {"i", 65}, {"j", 8}});
  Attach(source.get(), dest.get());
  ASSERT_TRUE(Run("Export(0)=Import(0)*2\r\n"
                  "Export(1)=Import(1) + \"!\"\r\n"
                  "Export(2)=Import(2)\r\n"
                  "Export(3)=Import(2)\r\n"
                  "Export(4)=Import(4)\r\n"
                  "Export(5)=Import(3)*10\r\n"
                  "Export(6)=Import(3)\r\n"
                  "Export(7)=Import(5)\r\n"
                  "Export(8)=IF Import(0)>10 THEN \"big\" ELSE \"small\"\r\n"
                  "Export(9)=Import(0)>10\r\n"));
  EXPECT_EQ(events->messages, Messages{});
  // Large integers keep every digit; a plain copy into text carries the source's own text
  // of the value (this source writes its dates as day numbers and its flags as 1 and 0).
  EXPECT_EQ(dest->records,
            (Records{{"20", "t1!", "9000000000000000001", "9000000000000000001", "45001", "1", "0.1", "1",
                      "small", "false"},
                     {"40", "t2!", "9000000000000000002", "9000000000000000002", "45002", "2", "0.2", "0",
                      "big", "true"}}));
  EXPECT_EQ(host->RecordsRead(), 2);
  EXPECT_EQ(host->RecordsWritten(), 2);
  EXPECT_EQ(events->progress, (Progress{{1, 2}, {2, 1}, {2, 2}, {3, 0}}));
}

TEST_F(NamedHostTest, FilterEmptyValuesAndMissingFields) {
  auto source = MakeSource(3);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}, {"b", 65}});
  Attach(source.get(), dest.get());

  // False for every record: no records, but the full progress.
  ASSERT_TRUE(Run("Filter=Import(0)>1000\r\nExport(0)=Import(1)"));
  EXPECT_EQ(dest->records, Records{});
  EXPECT_EQ(events->progress, (Progress{{1, 3}, {2, 1}, {2, 2}, {2, 3}, {3, 0}}));
  EXPECT_EQ(host->RecordsRead(), 3);
  EXPECT_EQ(host->RecordsWritten(), 0);

  // A later filter line replaces an earlier one; an empty string and a field that a
  // computed index does not find leave the destination field as it was.
  ASSERT_TRUE(Run("Filter=Import(0)>1000\r\n"
                  "Filter=Import(0)<>20\r\n"
                  "Export(0)=Import(1)\r\n"
                  "Export(0)=\"\"\r\n"
                  "Export(1)=Import(Import(0)+99)\r\n"
                  "Export(Import(0))=Import(1)"));
  EXPECT_EQ(dest->records, (Records{{"t1", ""}, {"t3", ""}}));
  EXPECT_EQ(events->messages, Messages{});
}

TEST_F(NamedHostTest, CompileReportsInvalidLinesAndStopsAtTheFirstError) {
  auto source = MakeSource(1);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}});
  Attach(source.get(), dest.get());
  host->SetScript(Ansi("Exp(1)=Import(0)\r\n\r\nExport(0)=\r\nExport(0)=Import(0)\r\nExport(0)=Import(1)*2\r\n"
                       "Export(0)=Import(0)+"));
  EXPECT_FALSE(host->Compile());
  // Type errors show at compile time because Import types follow the source fields.
  EXPECT_EQ(events->messages,
            (Messages{{2, Ansi("<Exp(1)=Import(0)>表达式无效！")},
                      {2, Ansi("<Export(0)=>表达式无效！")},
                      {3, Ansi("数据类型不匹配\r\nImport(1)*2\r\n           !")}}));

  events->messages.clear();
  host->SetScript("Export(0)=Import(-1)\r\nExport(0)=Import(0)+");
  EXPECT_FALSE(host->Compile());
  EXPECT_EQ(events->messages, (Messages{{3, Ansi("函数的参数不正确\r\nImport(-1)\r\n         !")}}));

  // Without mappings nothing moves and nothing is announced.
  events->messages.clear();
  host->SetScript("Exp(1)=1");
  EXPECT_TRUE(host->Compile());
  host->Execute();
  EXPECT_EQ(events->messages, (Messages{{2, Ansi("<Exp(1)=1>表达式无效！")}, {1, Ansi("没有映射关系")}}));
  EXPECT_EQ(events->progress, Progress{});
}

// Source fields 0-5, destination fields 0-1: an index written out must name one of them;
// the caret stands under the index, in the formula as written (a destination index is no
// part of it: the whole line is quoted).
TEST_F(NamedHostTest, IndexesBeyondTheFieldsDoNotCompile) {
  auto source = MakeSource(1);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}, {"b", 65}});
  Attach(source.get(), dest.get());
  struct Case {
    const char* script;
    const char* message;  // UTF-8; empty when the script compiles
  } cases[] = {
      {"Export(1)=Import(5)", ""},
      {"Export(0)=Import(6)", "字段序号6超出范围 (0-5)\r\nImport(6)\r\n       !"},
      {"Export(1)=Import( 5.6 )", "字段序号6超出范围 (0-5)\r\nImport( 5.6 )\r\n        !"},
      {"Export(2)=Import(0)", "字段序号2超出范围 (0-1)\r\nExport(2)=Import(0)\r\n       !"},
      {"Export(0)=1\r\nFilter=Import(99)>0", "字段序号99超出范围 (0-5)\r\nImport(99)>0\r\n       !"},
      {"Export(1)=IF Import(0)>1 THEN 1 ELSE Import(7)",
       "字段序号7超出范围 (0-5)\r\nIF Import(0)>1 THEN 1 ELSE Import(7)\r\n                                  !"},
      // A computed index is left to the run, where a field it does not find is no value.
      {"Export(1)=Import(Import(0)+100)", ""},
      {"Export(1+1)=Import(2*5)", ""},
  };
  for (const Case& c : cases) {
    events->messages.clear();
    host->SetScript(Ansi(c.script));
    const bool expectOk = *c.message == '\0';
    EXPECT_EQ(host->Compile(), expectOk) << c.script;
    EXPECT_EQ(events->messages, (expectOk ? Messages{} : Messages{{3, Ansi(c.message)}})) << c.script;
  }

  // A destination without fields takes any index (it gets the source's fields when the
  // transfer starts); the source is still held to its fields.
  auto empty = MakeIntf<TableDest>(std::vector<Column>{});
  host->SetDestinationPort(empty.get());
  host->SetScript("Export(7)=Import(5)");
  EXPECT_TRUE(host->Compile());
  host->SetScript("Export(7)=Import(6)");
  EXPECT_FALSE(host->Compile());
  // Until both ports are known nothing is judged.
  auto lone = MakeIntf<TNamedHost>();
  lone->SetSourcePort(source.get());
  lone->SetScript("Export(0)=Import(99)");
  EXPECT_TRUE(lone->Compile());
}

// A syntax error quotes the formula the user wrote (not our SetExport rewrite of it) with
// the caret under the character where parsing stopped, counted in characters: a GBK
// double-byte character is one column.
TEST_F(NamedHostTest, ASyntaxErrorQuotesTheFormulaAsWritten) {
  auto source = MakeSource(1);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}});
  Attach(source.get(), dest.get());
  struct Case {
    const char* script;  // UTF-8
    const char* message;
    const char* quoted;
    size_t column;  // of the caret, in characters
  } cases[] = {
      {"Export(0)=Import(0", "括号不匹配", "Import(0", 8},
      {"Export(0)=  Import(0)+  ", "不合法的字符", "Import(0)+", 10},
      {"Export(0)=\"表格\"+1", "数据类型不匹配", "\"表格\"+1", 6},
      {"Export(0)=Trim(\"表格\") + Import(9)", "字段序号9超出范围 (0-5)", "Trim(\"表格\") + Import(9)", 20},
      {"Export(0)=IF Import(8)>1 THEN 1", "字段序号8超出范围 (0-5)", "IF Import(8)>1 THEN 1", 10},
      {"Export(0)=if 1=1 then Import(0) else Import(0)*\"表\"", "数据类型不匹配",
       "if 1=1 then Import(0) else Import(0)*\"表\"", 40},
      {"Filter=Import(0) >\r\n", "缺少字符", "Import(0) >", 11},
      {" export( 9 ) = \"表\"", "字段序号9超出范围 (0-0)", "export( 9 ) = \"表\"", 8},
  };
  for (const Case& c : cases) {
    events->messages.clear();
    host->SetScript(Ansi(c.script));
    EXPECT_FALSE(host->Compile()) << c.script;
    const std::string expected = Ansi(c.message) + "\r\n" + Ansi(c.quoted) + "\r\n" + std::string(c.column, ' ') + "!";
    EXPECT_EQ(events->messages, (Messages{{3, expected}})) << c.script;
  }
}

TEST_F(NamedHostTest, ErrorsInAMappingAreReportedByRecordAndColumn) {
  std::vector<std::vector<std::string>> data;
  for (int r = 1; r <= 6; ++r) data.push_back({r == 5 ? "2147483647" : "3", "x"});
  auto source = MakeIntf<TableSource>(std::vector<Column>{{"n", 6}, {"s", 65}}, data);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}, {"b", 65}, {"c", 65}});
  Attach(source.get(), dest.get());
  ASSERT_TRUE(Run("Export(0)=Import(1)\r\nExport(1)=Import(0)\r\nExport(2)=FillLeft(Import(0),Import(1))"));
  // Where first, then the evaluator's reason.
  EXPECT_EQ(events->messages, (Messages{{2, Ansi("在5行3列处有错误发生！函数“FILLLEFT”出错：函数的参数不正确")}}));
  // The record is posted all the same, with what the other mappings wrote.
  ASSERT_EQ(dest->records.size(), 6u);
  EXPECT_EQ(dest->records[3], (std::vector<std::string>{"x", "3", "  x"}));
  EXPECT_EQ(dest->records[4], (std::vector<std::string>{"x", "2147483647", "  x"}));
}

TEST_F(NamedHostTest, MissingPortsAndCancellation) {
  host->SetEvents(events.get());
  host->SetScript("Export(0)=1");
  ASSERT_TRUE(host->Compile());
  host->Execute();
  EXPECT_EQ(events->messages, (Messages{{3, Ansi("缺少导入引擎")}, {3, Ansi("缺少导出引擎")}}));
  EXPECT_EQ(events->progress, Progress{});

  auto source = MakeSource(5);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}});
  Attach(source.get(), dest.get());
  events->messages.clear();
  events->stopAt = 2;
  ASSERT_TRUE(Run("Export(0)=Import(0)"));
  EXPECT_EQ(dest->records, (Records{{"10"}, {"20"}}));
  EXPECT_EQ(events->progress, (Progress{{1, 5}, {2, 1}, {2, 2}, {3, 0}}));
  // A cancel at the announcement moves nothing.
  events->progress.clear();
  events->stopAtStart = true;
  host->Execute();
  EXPECT_EQ(dest->records.size(), 2u);
  EXPECT_EQ(events->progress, (Progress{{1, 5}}));
}

TEST_F(NamedHostTest, OneRepointedSourceFieldServesEveryIndex) {
  auto source = MakeSource(2, /*oneField=*/true);
  auto dest = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}, {"b", 65}});
  Attach(source.get(), dest.get());
  ASSERT_TRUE(Run("Export(1)=Import(1)\r\nExport(0)=Import(0)+Import(3)"));
  EXPECT_EQ(dest->records, (Records{{"10.1", "t1"}, {"20.2", "t2"}}));
}

TEST_F(NamedHostTest, DefaultScript) {
  struct Case {
    std::vector<Column> source;
    std::vector<Column> dest;
    std::string script;
    std::vector<int32_t> destTypes;  // afterwards
  } cases[] = {
      // Equal types first, then compatible ones.
      {{{"i", 6}, {"s", 65}}, {{"a", 65}, {"b", 6}}, "Export(0)=Import(1)\r\nExport(1)=Import(0)\r\n", {65, 6}},
      // A date cannot feed an integer; an untyped destination field takes the source's type.
      {{{"d", 50}, {"f", 18}, {"g", 33}},
       {{"a", 6}, {"b", 0}, {"c", 65}},
       "Export(0)=Import(1)\r\nExport(1)=Import(0)\r\nExport(2)=Import(2)\r\n",
       {6, 50, 65}},
      // Nothing compatible for the first fields; it stops when the source runs out.
      {{{"d", 50}}, {{"a", 6}, {"b", 8}, {"c", 65}}, "Export(2)=Import(0)\r\n", {6, 8, 65}},
      {{{"s", 65}}, {{"a", 49}, {"b", 65}}, "Export(0)=Import(0)\r\n", {49, 65}},
      {{{"b", 8}}, {{"a", 0}, {"b", 0}}, "Export(0)=Import(0)\r\n", {8, 0}},
  };
  for (const Case& c : cases) {
    auto host = MakeIntf<TNamedHost>();
    auto source = MakeIntf<TableSource>(c.source, std::vector<std::vector<std::string>>{});
    auto dest = MakeIntf<TableDest>(c.dest);
    host->BuildDefaultScript();
    EXPECT_TRUE(host->IsEmpty());  // needs both ports
    host->SetSourcePort(source.get());
    host->SetDestinationPort(dest.get());
    host->BuildDefaultScript();
    EXPECT_EQ(host->GetScript(), c.script);
    std::vector<int32_t> types;
    for (const Column& col : dest->columns_) types.push_back(col.type);
    EXPECT_EQ(types, c.destTypes) << c.script;
  }

  // A destination without fields gets one per source field, typed and named after it.
  auto source = MakeIntf<TableSource>(std::vector<Column>{{"x", 6}, {"y", 65}}, std::vector<std::vector<std::string>>{});
  auto dest = MakeIntf<TableDest>(std::vector<Column>{});
  host->SetSourcePort(source.get());
  host->SetDestinationPort(dest.get());
  host->BuildDefaultScript();
  EXPECT_EQ(host->GetScript(), "Export(0)=Import(0)\r\nExport(1)=Import(1)\r\n");
  EXPECT_EQ(dest->calls, (std::vector<std::string>{"SetFieldCount(2)", "SetFieldType(0,6)", "SetName(0,x)",
                                                   "SetFieldType(1,65)", "SetName(1,y)"}));
}

TEST_F(NamedHostTest, AttachingPortsClearsTheScript) {
  auto s1 = MakeSource(1);
  auto s2 = MakeSource(1);
  auto d1 = MakeIntf<TableDest>(std::vector<Column>{{"a", 65}});
  auto d2 = MakeIntf<TableDest>(std::vector<Column>{});
  struct Step {
    const char* what;
    std::function<void()> act;
    bool cleared;
  } steps[] = {
      {"first source", [&] { host->SetSourcePort(s1.get()); }, false},
      {"first destination", [&] { host->SetDestinationPort(d1.get()); }, false},
      {"same source", [&] { host->SetSourcePort(s1.get()); }, false},
      {"same destination", [&] { host->SetDestinationPort(d1.get()); }, false},
      {"same destination, more fields",
       [&] {
         d1->columns_.push_back({"b", 65});
         host->SetDestinationPort(d1.get());
       },
       true},
      {"another source", [&] { host->SetSourcePort(s2.get()); }, true},
      {"no destination", [&] { host->SetDestinationPort(nullptr); }, true},
      {"empty destination", [&] { host->SetDestinationPort(d2.get()); }, false},
      // Only while the destination has no fields does a changed source count clear it.
      {"same source, more fields",
       [&] {
         s2->columns_.push_back({"z", 65});
         host->SetSourcePort(s2.get());
       },
       true},
      {"destination with fields", [&] { host->SetDestinationPort(d1.get()); }, true},
      {"same source, more fields again",
       [&] {
         s2->columns_.push_back({"w", 65});
         host->SetSourcePort(s2.get());
       },
       false},
  };
  for (const Step& s : steps) {
    host->SetScript("Export(0)=1");
    s.act();
    EXPECT_EQ(host->IsEmpty(), s.cleared) << s.what;
  }
  EXPECT_EQ(host->GetName(), Ansi("赋值公式"));
}

TEST(NamedHostFactory, RegisteredByName) {
  RegisterNamedHostFactory();
  FreeTransScriptHosts();  // a registry made again still has it
  IntfPtr<ITransScriptHost> h = GetTransScriptHosts().FindByName(Ansi("赋值公式"));
  ASSERT_TRUE(h);
  EXPECT_TRUE(dynamic_cast<TNamedHost*>(ImplementorOf(h.get())));
  EXPECT_EQ(GetTransScriptHosts().Count(), 1);
  RegisterNamedHostFactory();
  EXPECT_EQ(GetTransScriptHosts().Count(), 1);
}

// Plain copy lines run without the evaluator; into a typed field they write what the
// evaluator writes for the same line, for every pairing of source and destination types.
// Into a text field they carry the source's own text of the value, exactly.
TEST_F(NamedHostTest, PlainCopiesWriteWhatTheEvaluatorWrites) {
  const std::vector<Column> destColumns = {{"text", 65}, {"int", 6}, {"int64", 7}, {"double", 18},
                                           {"date", 50}, {"bool", 8}, {"untyped", 0}};
  auto run = [&](bool plain) {
    auto source = MakeSource(3);
    auto dest = MakeIntf<TableDest>(destColumns);
    IntfPtr<TNamedHost> h = MakeIntf<TNamedHost>();
    h->SetEvents(events.get());
    h->SetSourcePort(source.get());
    h->SetDestinationPort(dest.get());
    std::string script;
    // Every source column into every destination column, one record of lines per pairing;
    // "(Import(j))" is the same formula to the evaluator but no plain copy.
    for (int s = 0; s < 6; ++s) {
      script.clear();
      for (int d = 0; d < static_cast<int>(destColumns.size()); ++d)
        script += "Export(" + std::to_string(d) + ")=" + (plain ? "Import(" : "(Import(") + std::to_string(s) +
                  (plain ? ")" : "))") + "\r\n";
      h->SetScript(script);
      EXPECT_TRUE(h->Compile());
      h->Execute();
    }
    return dest->records;
  };
  Records expected = run(false);
  Records plain = run(true);
  ASSERT_EQ(plain.size(), 18u);
  for (size_t r = 0; r < expected.size(); ++r) {
    const int column = static_cast<int>(r / 3), row = static_cast<int>(r % 3) + 1;
    const std::string texts[] = {std::to_string(row * 10), "t" + std::to_string(row),
                                 "900000000000000000" + std::to_string(row), "0." + std::to_string(row),
                                 std::to_string(45000 + row), row % 2 ? "1" : "0"};
    expected[r][0] = expected[r][6] = texts[column];
  }
  EXPECT_EQ(plain, expected);
}

}  // namespace
}  // namespace ryn
