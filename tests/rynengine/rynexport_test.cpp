#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "rynengine/report_types.h"
#include "rynengine/rynexport.h"
#include "support/recording_events.h"
#include "support/temp_dir.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

using testing::RecordingEvents;
using testing::TempDir;

std::string Opt(const char* utf8) { return Ansi(utf8); }

class RynExportTest : public ::testing::Test {
 protected:
  IntfPtr<TRynExport> NewEngine(int dataType, const std::string& file, const std::string& columns = "A=a\r\nB=b") {
    IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
    e->SetEvents(events.get());
    e->SetUnitCode("0001");
    e->SetYear("2023");
    e->SetReportType("Y");
    e->SetPeriod("12");
    e->SetDataType(static_cast<uint8_t>(dataType));
    e->SetSelectedColumnsText(columns);
    if (!file.empty()) e->SetFileName(file);
    return e;
  }
  // One record with the given column values.
  static void Record(TRynExport* e, const std::vector<std::string>& values) {
    e->Append();
    for (size_t i = 0; i < values.size(); ++i) {
      auto field = e->GetField(static_cast<int32_t>(i)).Query<IFieldWriter>();
      ASSERT_TRUE(field);
      field->SetAsString(values[i]);
    }
    e->Post();
  }
  std::string Read(const std::string& name) { return TempDir::Read(dir.Path(name)); }

  TempDir dir;
  IntfPtr<RecordingEvents> events = MakeIntf<RecordingEvents>();
};

TEST_F(RynExportTest, SectionLayoutPerDataType) {
  struct Case {
    int dataType;
    const char* expected;
  } cases[] = {
      {0, "A\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@"},
      {1, "@\r\nA\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@"},
      {2, "@@\r\nA\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@"},
  };
  for (const auto& c : cases) {
    std::string name = "t" + std::to_string(c.dataType) + ".ryn";
    auto e = NewEngine(c.dataType, dir.Path(name));
    Record(e.get(), {"x", "y"});
    e->Fina();
    EXPECT_EQ(Read(name), c.expected) << c.dataType;
  }
  EXPECT_TRUE(events->messages.empty());
}

TEST_F(RynExportTest, SectionsAccumulateForDataTypes1And2AndReplaceFor0) {
  for (int dataType : {0, 1}) {
    std::string name = "acc" + std::to_string(dataType) + ".ryn";
    for (const char* v : {"first", "second"}) {
      auto e = NewEngine(dataType, dir.Path(name));
      Record(e.get(), {v, ""});
      e->Fina();
    }
    if (dataType == 0) {
      EXPECT_EQ(Read(name), "A\tB\r\n0001\t2023\tY\t12\tsecond\t\r\n@@");
    } else {
      EXPECT_EQ(Read(name),
                "@\r\nA\tB\r\n0001\t2023\tY\t12\tfirst\t\r\n@@\r\n"
                "@\r\nA\tB\r\n0001\t2023\tY\t12\tsecond\t\r\n@@");
    }
  }
  // A later Append after Fina opens the file again and starts a new section.
  auto e = NewEngine(2, dir.Path("again.ryn"), "");
  Record(e.get(), {});
  e->Fina();
  Record(e.get(), {});
  e->Fina();
  EXPECT_EQ(Read("again.ryn"), "@@\r\n\r\n0001\t2023\tY\t12\r\n@@\r\n@@\r\n\r\n0001\t2023\tY\t12\r\n@@");
}

TEST_F(RynExportTest, ValuesAreQuotedWhenTheyMustBe) {
  auto e = NewEngine(1, dir.Path("q.ryn"), "A=a\r\nB=b\r\nC=c\r\nD=d");
  Record(e.get(), {"a b", "t\tx", "q\"x", Ansi("中文")});
  e->Fina();
  EXPECT_EQ(Read("q.ryn"), "@\r\nA\tB\tC\tD\r\n0001\t2023\tY\t12\t\"a b\"\t\"t\tx\"\t\"q\"\"\"x\"\t" + Ansi("中文") + "\r\n@@");
}

TEST_F(RynExportTest, NoSelectedColumnsKeepsAnEmptyHeadingLine) {
  auto e1 = NewEngine(1, dir.Path("n1.ryn"), "");
  Record(e1.get(), {});
  e1->Fina();
  EXPECT_EQ(Read("n1.ryn"), "@\r\n\r\n0001\t2023\tY\t12\r\n@@");
  // Data type 0 starts the file with the heading line; empty, it still counts as a line.
  auto e0 = NewEngine(0, dir.Path("n0.ryn"), "");
  Record(e0.get(), {});
  Record(e0.get(), {});
  e0->Fina();
  EXPECT_EQ(Read("n0.ryn"), "\r\n0001\t2023\tY\t12\r\n0001\t2023\tY\t12\r\n@@");
}

TEST_F(RynExportTest, PostTwiceFinaEarlyAndUnsetValues) {
  auto e = NewEngine(1, dir.Path("p.ryn"));
  e->Append();
  e->GetField(1).Query<IFieldWriter>()->SetAsString("only b");
  e->Post();
  e->Post();
  e->Fina();
  EXPECT_EQ(Read("p.ryn"), "@\r\nA\tB\r\n0001\t2023\tY\t12\t\t\"only b\"\r\n0001\t2023\tY\t12\t\t\"only b\"\r\n@@");

  auto fresh = NewEngine(1, dir.Path("f.ryn"));
  fresh->Fina();
  EXPECT_EQ(Read("f.ryn"), "@@");
  TempDir::Write(dir.Path("g.ryn"), "old");
  auto existing = NewEngine(1, dir.Path("g.ryn"));
  existing->Fina();
  EXPECT_EQ(Read("g.ryn"), "old\r\n@@");
}

TEST_F(RynExportTest, ChangingTheDataTypeStartsANewSection) {
  auto e = NewEngine(1, dir.Path("dt.ryn"));
  Record(e.get(), {"1", "2"});
  e->SetDataType(2);
  Record(e.get(), {"3", "4"});
  e->Fina();
  EXPECT_EQ(Read("dt.ryn"),
            "@\r\nA\tB\r\n0001\t2023\tY\t12\t1\t2\r\n@@\r\nA\tB\r\n0001\t2023\tY\t12\t3\t4\r\n@@");

  auto z = NewEngine(1, dir.Path("zero.ryn"));
  Record(z.get(), {"1", "2"});
  z->SetDataType(0);
#ifndef _WIN32  // Windows lets no one read the file the engine holds
  EXPECT_EQ(Read("zero.ryn"), "@\r\nA\tB\r\n0001\t2023\tY\t12\t1\t2")
      << "data type 0 replaces the file when it is closed, not before";
#endif
  Record(z.get(), {"3", "4"});
  z->Fina();
  EXPECT_EQ(Read("zero.ryn"), "A\tB\r\n0001\t2023\tY\t12\t3\t4\r\n@@");
}

TEST_F(RynExportTest, ChangingTheFileNameLeavesTheOldFileUnfinished) {
  auto e = NewEngine(1, dir.Path("old.ryn"));
  Record(e.get(), {"1", "2"});
  e->SetFileName(dir.Path("sub/dir/new.ryn"));
  Record(e.get(), {"3", "4"});
  e->Fina();
  EXPECT_EQ(Read("old.ryn"), "@\r\nA\tB\r\n0001\t2023\tY\t12\t1\t2");
  EXPECT_EQ(Read("sub/dir/new.ryn"), "@\r\nA\tB\r\n0001\t2023\tY\t12\t3\t4\r\n@@");
}

TEST_F(RynExportTest, NoFileReportsOnAppendAndPost) {
  auto e = NewEngine(1, "");
  e->Append();
  e->Post();
  ASSERT_EQ(events->messages.size(), 2u);
  EXPECT_EQ(events->messages[0], std::make_pair(4134, Ansi("存储文件打开失败!")));
  EXPECT_EQ(SeverityOf(events->messages[0].first), kSeverityWarning);
  e->SetEvents(nullptr);
  e->Append();  // no sink: silent
  EXPECT_EQ(events->messages.size(), 2u);
}

TEST_F(RynExportTest, ASecondEngineCannotOpenALockedFile) {
  std::string path = dir.Path("locked.ryn");
  auto first = NewEngine(1, path);
  EXPECT_TRUE(first->FileOpen());
  auto second = NewEngine(1, "");
  std::string opts = Opt("文件名=") + path + ";\r\n" + Opt("数据类型=1");
  EXPECT_EQ(second->SetOptions(opts), kRynOptionsNoFile);
  second->Append();
  ASSERT_EQ(events->messages.size(), 1u);
  EXPECT_EQ(events->messages[0].first, 4134);
  Record(first.get(), {"x", "y"});
  first->Fina();
  EXPECT_EQ(Read("locked.ryn"), "@\r\nA\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@");
  EXPECT_EQ(second->SetOptions(opts), 0) << "free once the first engine let go";
}

TEST_F(RynExportTest, FieldsAndQueries) {
  auto e = NewEngine(1, "", "A=a\r\nB=Field_B");
  EXPECT_EQ(e->GetFieldCount(), 2);
  EXPECT_FALSE(e->GetField(2));
  EXPECT_FALSE(e->GetField(-1));
  auto f = e->FindField("field_b");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->GetIndex(), 1);
  EXPECT_EQ(f->GetName(), "Field_B");
  EXPECT_EQ(f->GetDataType(), 65);
  EXPECT_EQ(e->FindField("A")->GetIndex(), 0) << "A finds the field named a";
  EXPECT_FALSE(e->FindField("B"));
  EXPECT_TRUE(f.Query<IFieldWriter>());
  EXPECT_FALSE(f.Query<IFieldReader>());

  IntfPtr<ITransEngine> engine = e;
  EXPECT_EQ(engine->GetName(), Ansi("Ryn文件"));
  EXPECT_EQ(engine->GetEngineType(), 2);
  EXPECT_TRUE(engine->Init(2));
  EXPECT_FALSE(engine->Init(1));
  EXPECT_TRUE(engine->IsActive());
  EXPECT_FALSE(engine->Established());
  EXPECT_EQ(engine->GetConfig().get(), nullptr) << "the engine alone has no wizard";
  EXPECT_EQ(engine.Query<ITransEvents>().get(), static_cast<ITransEvents*>(events.get()));
  EXPECT_TRUE(engine->GetPort().Query<IExport>());
  EXPECT_EQ(ImplementorOf(engine.get()), static_cast<TObject*>(e.get()));
  engine->SetEvents(nullptr);
  EXPECT_FALSE(engine.Query<ITransEvents>());

  // A field reference keeps the engine alive (the sanitizer build would see it die).
  IntfPtr<ITransField> held = e->GetField(0);
  EXPECT_EQ(e->RefCount(), 4);  // e, engine, f and held
  e = nullptr;
  engine = nullptr;
  f = nullptr;
  EXPECT_EQ(held->GetName(), "a");
}

TEST_F(RynExportTest, OptionsTextRoundTrip) {
  IntfPtr<TRynExport> fresh = MakeIntf<TRynExport>();
  EXPECT_EQ(fresh->GetOptions(), Opt("数据类型=0"));

  auto a = NewEngine(2, dir.Path("opts.ryn"), Opt("甲=a\r\n乙 列=field b"));
  a->SetReportInfoText(Opt("[固定数据]\r\nA=a\r\n[浮动数据]\r\nB=b"));
  a->SetPeriod("1 2");
  std::string text = a->GetOptions();
  a->Fina();
  EXPECT_EQ(text, Opt("单位标识=0001;\r\n年度=2023;\r\n报表类型=Y;\r\n时期=\"1 2\";\r\n文件名=") + dir.Path("opts.ryn") +
                      Opt(";\r\n数据类型=2;\r\n报表信息={\r\n\t[固定数据]\r\nA=a\r\n\r\n[浮动数据]\r\nB=b}"
                          ";\r\n选择列={\r\n\t甲=a\r\n乙 列=field b}"));
  IntfPtr<TRynExport> b = MakeIntf<TRynExport>();
  EXPECT_EQ(b->SetOptions(text), 0);
  EXPECT_EQ(b->GetOptions(), text);
  EXPECT_TRUE(b->Established());
}

// The options one engine gives carry another engine to the same settings, whatever bytes
// they hold: "=" makes block values, quotes and blanks quoted ones.
TEST_F(RynExportTest, OptionsCarryEveryValueToAnotherEngine) {
  auto a = NewEngine(1, dir.Path("x=y/out.ryn"));
  a->SelectedColumns() = {"A\"B=f1", " C =\"q\"", Opt("甲=x=y"), "D=d"};
  a->SetUnitCode("a=b");
  a->SetPeriod("{1}");
  a->SetReportInfoText(Opt("[固定数据]\r\nA=a"));
  ASSERT_TRUE(a->FileOpen());
  std::string text = a->GetOptions();
  a->Fina();

  IntfPtr<TRynExport> b = MakeIntf<TRynExport>();
  EXPECT_EQ(b->SetOptions(text), 0) << text;
  EXPECT_EQ(b->UnitCode(), "a=b");
  EXPECT_EQ(b->Period(), "{1}");
  EXPECT_EQ(b->FileName(), dir.Path("x=y/out.ryn"));
  EXPECT_EQ(b->SelectedColumns(), (std::vector<std::string>{"A\"B=f1", " C =\"q\"", Opt("甲=x=y"), "D=d"}));
  EXPECT_EQ(b->GetReportInfoText(), a->GetReportInfoText());
  EXPECT_EQ(b->GetOptions(), text);
  Record(b.get(), {"1", "2", "3", "4"});
  b->Fina();
  EXPECT_EQ(Read("x=y/out.ryn"), "@@\r\n@\r\n\"A\"\"\"B\"\t\" C \"\t" + Opt("甲") + "\tD\r\na=b\t2023\tY\t{1}\t1\t2\t3\t4\r\n@@");
}

// Options files saved by editors with LF or CR line ends keep every column; a line end
// inside a quoted heading stays part of it.
TEST_F(RynExportTest, SelectedColumnsTakeEveryKindOfLineEnd) {
  const std::vector<std::string> columns = {"A=a", "B=b", Opt("丙=c")};
  for (const char* end : {"\r\n", "\n", "\r"}) {
    IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
    EXPECT_EQ(e->SetOptions(Opt("选择列={") + end + "\tA=a" + end + "B=b" + end + Opt("丙=c}")), kRynOptionsNoFile);
    EXPECT_EQ(e->SelectedColumns(), columns) << ::testing::PrintToString(end);
  }
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  e->SetSelectedColumnsText("\"x\ny\"=f\nz=g");
  EXPECT_EQ(e->SelectedColumns(), (std::vector<std::string>{"x\ny=f", "z=g"}));
}

// A column list closed with "}" and no ";" keeps the keys after it, and the text the
// engine gives back then reads back to itself.
TEST_F(RynExportTest, KeysAfterAColumnListWithoutSeparatorStillApply) {
  for (const char* after : {"", "\r\n", " \n"}) {
    auto events = MakeIntf<RecordingEvents>();
    IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
    e->SetEvents(events.get());
    std::string text = Opt("选择列={\r\n\t甲=A\r\n乙=B}") + after + Opt("数据类型=2;\r\n年度=2024");
    EXPECT_EQ(e->SetOptions(text), kRynOptionsNoFile);
    EXPECT_EQ(e->SelectedColumns(), (std::vector<std::string>{Opt("甲=A"), Opt("乙=B")}));
    EXPECT_EQ(e->DataType(), 2);
    EXPECT_EQ(e->Year(), "2024");
    EXPECT_TRUE(events->messages.empty()) << events->messages.front().second;
    std::string back = e->GetOptions();
    EXPECT_EQ(back, Opt("年度=2024;\r\n数据类型=2;\r\n选择列={\r\n\t甲=A\r\n乙=B}"));
    IntfPtr<TRynExport> again = MakeIntf<TRynExport>();
    again->SetOptions(back);
    EXPECT_EQ(again->GetOptions(), back);
  }
}

// A key the engine does not know is named in one warning; the others still apply.
TEST_F(RynExportTest, UnknownOptionKeysAreNamed) {
  auto events = MakeIntf<RecordingEvents>();
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  e->SetEvents(events.get());
  e->SetOptions(Opt("年度=2024;\r\n年份=2023;\r\nfoo=1;\r\n年份=2"));
  EXPECT_EQ(e->Year(), "2024");
  using Messages = std::vector<std::pair<int32_t, std::string>>;
  EXPECT_EQ(events->messages, (Messages{{kMsgUnknownOptionKeys, Opt("Ryn文件的选项中有不认识的键：“年份”、“foo”，已忽略")}}));
}

TEST_F(RynExportTest, SelectedColumnsTextReadsBackAsItWasWritten) {
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  std::vector<std::string> columns = {"A\"B=f1", "\"=\"", "a b=c d", " x= y ", "k=v=w", Opt("乙 列=field b"),
                                      "m\"n=\"\"=\tz\n", "c=\"\r\"\n", "p\rq=r\ns"};
  e->SelectedColumns() = columns;
  std::string text = e->GetSelectedColumnsText();
  IntfPtr<TRynExport> f = MakeIntf<TRynExport>();
  f->SetSelectedColumnsText(text);
  EXPECT_EQ(f->SelectedColumns(), columns) << text;
  // What stored texts hold stays byte for byte: plain lines are written plainly.
  e->SelectedColumns() = {"A=a", Opt("乙 列=field b")};
  EXPECT_EQ(e->GetSelectedColumnsText(), Opt("A=a\r\n乙 列=field b"));
}

// A heading is what stands before the first "=" of its line, also when it was given quoted
// with an "=" inside: merged by that heading, the columns read back to themselves.
TEST_F(RynExportTest, HeadingsWithAnEqualsSignMergeAsTheyReadBack) {
  struct Case {
    const char* text;
    std::vector<std::string> columns;
  } cases[] = {
      {"\"a=b\"=c", {"a=b=c"}},
      {"\"a=b\"=c\r\na=d", {"a=d"}},
      {"a=d\r\n\"A=b\"=c", {"A=b=c"}},
      {"\"a=\"=", {"a=="}},
      {"x=1\r\n\"x=\"=", {"x=="}},
  };
  for (const Case& c : cases) {
    IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
    e->SetSelectedColumnsText(c.text);
    EXPECT_EQ(e->SelectedColumns(), c.columns) << c.text;
    IntfPtr<TRynExport> f = MakeIntf<TRynExport>();
    f->SetSelectedColumnsText(e->GetSelectedColumnsText());
    EXPECT_EQ(f->SelectedColumns(), c.columns) << c.text;
  }
}

TEST_F(RynExportTest, OptionsNeverEmptyAFileOfDataType1Or2) {
  std::string path = dir.Path("keep.ryn");
  TempDir::Write(path, "@\r\nA\r\nold\r\n@@");
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  // The name stands before the data type, as GetOptions writes them.
  EXPECT_EQ(e->SetOptions(Opt("文件名=") + path + Opt(";\r\n数据类型=1;\r\n选择列={\r\n\tA=a}")), 0);
  Record(e.get(), {"new"});
  e->Fina();
  EXPECT_EQ(TempDir::Read(path), "@\r\nA\r\nold\r\n@@\r\n@\r\nA\r\n\t\t\t\tnew\r\n@@");
}

TEST_F(RynExportTest, OptionsOpenBareAndRelativeNamesInTheCurrentDirectory) {
  char saved[4096];
  ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
  ASSERT_EQ(chdir(dir.Path().c_str()), 0);
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  EXPECT_EQ(e->SetOptions(Opt("文件名=bare.ryn")), 0);
  e->Fina();
  EXPECT_EQ(e->SetOptions(Opt("文件名=rel/sub.ryn")), 0);
  e->Fina();
  EXPECT_EQ(e->SetOptions(Opt("文件名=")), kRynOptionsNoFile);
  ASSERT_EQ(chdir(saved), 0);
  EXPECT_EQ(Read("bare.ryn"), "@@");
  EXPECT_EQ(Read("rel/sub.ryn"), "@@");
  TempDir::Write(dir.Path("afile"), "");
  EXPECT_EQ(e->SetOptions(Opt("文件名=") + dir.Path("afile/x.ryn")), kRynOptionsNoFile);
}

// A current directory named with characters the process code page lacks is used as the
// file system names it; a name the host gives that is no text of the code page opens
// nothing and creates nothing.
TEST_F(RynExportTest, RelativeNamesInADirectoryOutsideTheCodePage) {
  // Named by its UTF-8, so that Windows is given the wide name, not the bytes in its ANSI
  // code page.
  namespace fs = std::filesystem;
  const fs::path here = fs::path(dir.Path()) / fs::path(u8"\uD55C\uAD6D\U0001F600");  // Korean and an emoji
  fs::create_directories(here);
  const fs::path saved = fs::current_path();
  fs::current_path(here);
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  EXPECT_EQ(e->SetOptions(Opt("文件名=sub/out.ryn")), 0);
  e->Fina();
  const bool gbk = ProcessCodePage().Kind() == CodePageKind::kDoubleByte;
  if (gbk) {
    EXPECT_EQ(e->SetOptions(Opt("文件名=") + "bad\x81.ryn"), kRynOptionsNoFile);
  }
  fs::current_path(saved);
  std::ifstream written(here / "sub" / "out.ryn", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "@@");
  // Nothing else appeared anywhere: no folder of question marks, no substitute name.
  size_t entries = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dir.Path())) {
    ++entries;
    EXPECT_EQ(entry.path().u8string().find(u8'?'), std::u8string::npos);
  }
  EXPECT_EQ(entries, 3u);
}

TEST_F(RynExportTest, OptionValuesAndTheirHandlers) {
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  for (const char* bad : {"3", "-1", "x", ""}) {
    e->SetOptions(Opt("数据类型=") + bad);
    EXPECT_EQ(e->DataType(), 0) << bad;
  }
  e->SetOptions(Opt("数据类型=2"));
  EXPECT_EQ(e->DataType(), 2);

  e->SetSelectedColumnsText("A=a\r\nB=b");
  e->SetOptions(Opt("选择列={\r\n\tb=bb\r\nC=c}"));
  EXPECT_EQ(e->SelectedColumns(), (std::vector<std::string>{"A=a", "b=bb", "C=c"}));
  e->SetOptions(Opt("选择列={\r\n\tA=\r\nD=x=y}"));
  EXPECT_EQ(e->SelectedColumns(), (std::vector<std::string>{"b=bb", "C=c", "D=x"}));

  struct Case {
    const char* in;
    const char* out;
  } types[] = {{"Y", "Y"}, {"y", "B"}, {"月", "B"}, {"Q", "B"}, {"N", "N"}, {"", "B"}};
  for (const auto& t : types) {
    e->SetReportType(Opt(t.in));
    EXPECT_EQ(e->ReportType(), t.out) << t.in;
  }
  EXPECT_EQ(ReportTypeName(""), Ansi("不定期"));
  EXPECT_EQ(ReportTypeName("J"), Ansi("季度"));
  EXPECT_EQ(ReportTypeCode(Ansi("季度")), "J");
  EXPECT_EQ(ReportTypeCode("nonsense"), "B");
  std::string codes;
  EnumReportTypes([&](const std::string& c) { codes += c; });
  EXPECT_EQ(codes, "NHJYXZRB");
  EXPECT_EQ(DataTypeCaption(1), Ansi("浮动数据"));
}

TEST_F(RynExportTest, AssignCopiesSettingsWithoutTouchingFiles) {
  auto src = NewEngine(2, "", "A=a");
  src->SetReportInfoText("[S]\r\nx=1");
  src->SetOptions(Opt("文件名=") + dir.Path("src.ryn"));
  IntfPtr<TRynExport> copy = MakeIntf<TRynExport>();
  copy->Assign(*src);
  EXPECT_FALSE(copy->FileOpen());
  EXPECT_EQ(copy->GetOptions(), src->GetOptions());
  src->Fina();
  Record(copy.get(), {"v"});  // the copied name opens at the first Append
  copy->Fina();
  EXPECT_EQ(Read("src.ryn"), "@@\r\n@@\r\nA\r\n0001\t2023\tY\t12\tv\r\n@@");
}

}  // namespace
}  // namespace ryn

namespace ryn {
namespace {

TEST(RynExportWriteTest, AFailedWriteIsReportedNotLost) {
  if (!FileExists("/dev/full")) GTEST_SKIP() << "needs /dev/full";
  auto events = MakeIntf<testing::RecordingEvents>();
  IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
  e->SetEvents(events.get());
  e->SetDataType(1);
  e->SetFileName("/dev/full");
  ASSERT_TRUE(e->FileOpen());
  e->Append();
  e->Post();  // buffered: the device refuses at the flush
  EXPECT_THROW(e->Fina(), ERynError);
  EXPECT_FALSE(e->FileOpen());
  ASSERT_EQ(events->messages.size(), 1u);
  EXPECT_EQ(events->messages[0], std::make_pair(4135, Ansi("存储文件写入失败!")));
  EXPECT_EQ(SeverityOf(4135), kSeverityError);
}

// Records buffered for a file on a full device are lost when SetOptions lets the file go:
// the sink hears of it and SetOptions does not answer success.
TEST(RynExportWriteTest, LettingAFileGoReportsRecordsItCouldNotWrite) {
  if (!FileExists("/dev/full")) GTEST_SKIP() << "needs /dev/full";
  TempDir dir;
  struct Case {
    const char* name;
    std::string options;
    int32_t dataType;  // the engine's afterwards
  } cases[] = {
      {"another file", Ansi("文件名=") + dir.Path("next.ryn"), 1},
      {"data type 0 starts the file over", Ansi("数据类型=0"), 0},
  };
  for (const auto& c : cases) {
    auto events = MakeIntf<testing::RecordingEvents>();
    IntfPtr<TRynExport> e = MakeIntf<TRynExport>();
    e->SetEvents(events.get());
    e->SetDataType(1);
    e->SetSelectedColumnsText("A=a");
    e->SetFileName("/dev/full");
    for (int i = 0; i < 10; ++i) {
      e->Append();
      e->Post();
    }
    EXPECT_EQ(e->SetOptions(c.options), kRynOptionsWriteFailed) << c.name;
    ASSERT_EQ(events->messages.size(), 1u) << c.name;
    EXPECT_EQ(events->messages[0], std::make_pair(4135, Ansi("存储文件写入失败!"))) << c.name;
    EXPECT_EQ(e->DataType(), c.dataType) << c.name;
    e->SetEvents(nullptr);
    try {
      e->Fina();
    } catch (const ERynError&) {
    }
  }
  EXPECT_EQ(TempDir::Read(dir.Path("next.ryn")), "@@");
}

}  // namespace
}  // namespace ryn
