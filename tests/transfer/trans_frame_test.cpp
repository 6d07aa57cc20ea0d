// The transfer frame: which engines it takes, how it connects them to the selected script
// host, what it tells the sink, and that it closes the engines when it goes.
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

#include "expr/common_functions.h"
#include "expr/named_host.h"
#include "platform/codepage.h"
#include "rynengine/rynexport.h"
#include "support/child_process.h"
#include "support/recording_events.h"
#include "support/temp_dir.h"
#include "support/table_ports.h"
#include "transfer/trans_frame.h"
#include "transport/errors.h"
#include "transport/registries.h"

namespace ryn {
namespace {

using testing::Column;
using testing::RecordingEvents;
using testing::TableDest;
using testing::TableSource;
using Messages = std::vector<std::pair<int32_t, std::string>>;

IntfPtr<TableSource> Source(int32_t types = kDirectionSource) {
  auto s = MakeIntf<TableSource>(std::vector<Column>{{"a", 6}, {"b", 65}},
                                 std::vector<std::vector<std::string>>{{"1", "x"}, {"2", "y"}});
  s->types = types;
  return s;
}

IntfPtr<TableDest> Dest(int32_t types = kDirectionDestination) {
  auto d = MakeIntf<TableDest>(std::vector<Column>{{"p", 65}, {"q", 6}});
  d->types = types;
  return d;
}

// The message of the ETransFrameError that act raises; "" when it raises none.
template <class F>
std::string Raised(F act) {
  try {
    act();
  } catch (const ETransFrameError& e) {
    return e.Message();
  }
  return "";
}

TEST(TransFrame, WhichEnginesItTakes) {
  auto s1 = Source();
  auto s3 = Source(3);
  auto wrong = Source(kDirectionDestination);
  auto d1 = Dest();
  auto d2 = Dest();
  TTransFrame frame;
  struct Case {
    const char* what;
    std::function<void()> act;
    std::string raised;  // UTF-8
  } cases[] = {
      {"source serving only destinations", [&] { frame.SetImportEngine(wrong.get(), true); }, "导入引擎无效！"},
      {"source serving both directions", [&] { frame.SetImportEngine(s3.get(), true); }, ""},
      {"replace a replaceable source", [&] { frame.SetImportEngine(s1.get(), false); }, ""},
      {"replace a fixed source", [&] { frame.SetImportEngine(s3.get(), true); }, "导入引擎不能重置！"},
      {"clear a fixed source", [&] { frame.SetImportEngine(nullptr, true); }, "导入引擎不能重置！"},
      {"destination of the wrong direction", [&] { frame.SetExportEngine(s1.get(), true); }, "导出引擎无效！"},
      {"fixed destination", [&] { frame.SetExportEngine(d1.get(), false); }, ""},
      {"another destination", [&] { frame.SetExportEngine(d2.get(), true); }, "导出引擎不能重置！"},
  };
  for (const Case& c : cases) EXPECT_EQ(Raised(c.act), c.raised.empty() ? "" : Ansi(c.raised)) << c.what;
  // A refused engine changes nothing.
  EXPECT_EQ(frame.ImportEngine(), static_cast<ITransEngine*>(s1.get()));
  EXPECT_EQ(frame.ExportEngine(), static_cast<ITransEngine*>(d1.get()));
  EXPECT_FALSE(frame.ImportReplaceable());
  EXPECT_FALSE(frame.ExportReplaceable());
}

TEST(TransFrame, HostSelectionConnectsTheEngines) {
  auto source = Source();
  auto dest = Dest();
  auto events = MakeIntf<RecordingEvents>();
  TTransFrame frame;
  frame.SetEvents(events.get());
  EXPECT_EQ(source->events, nullptr);
  frame.SetImportEngine(source.get(), true);
  EXPECT_EQ(source->events.get(), static_cast<ITransEvents*>(events.get()));
  EXPECT_EQ(source->inits, 0);  // nothing opens an engine before a host is selected

  // The first registered host is selected and opens the engine set before it.
  IntfPtr<ITransScriptHost> host = frame.GetScriptHost();
  ASSERT_TRUE(host);
  EXPECT_EQ(host->GetName(), Ansi("赋值公式"));
  EXPECT_EQ(source->inits, 1);
  EXPECT_EQ(host->GetSourcePort().get(), static_cast<IImport*>(source.get()));
  EXPECT_EQ(frame.GetScriptHost(), host);

  // An engine set after the host is connected at once; clearing it clears the host's side.
  frame.SetExportEngine(dest.get(), true);
  EXPECT_EQ(host->GetDestinationPort().get(), static_cast<IExport*>(dest.get()));
  frame.SetImportEngine(nullptr, false);
  EXPECT_FALSE(host->GetSourcePort());
  EXPECT_TRUE(frame.ImportReplaceable());

  // A source that cannot be opened gives the host no port; re-selecting reports it.
  auto closed = Source();
  closed->canOpen = false;
  frame.SetImportEngine(closed.get(), true);
  EXPECT_FALSE(host->GetSourcePort());
  frame.SelectScriptHost(Ansi("赋值公式"));
  IntfPtr<ITransScriptHost> second = frame.GetScriptHost();
  EXPECT_NE(second, host);
  EXPECT_EQ(second->GetDestinationPort().get(), static_cast<IExport*>(dest.get()));
  EXPECT_EQ(events->messages, (Messages{{3, Ansi("导入引擎无效！")}}));

  // An unknown name leaves no host selected until one is asked for again.
  events->messages.clear();
  frame.SelectScriptHost("Basic");
  EXPECT_EQ(events->messages, (Messages{{2, "Basic" + Ansi("脚本解释器没找到")}}));
  EXPECT_TRUE(frame.GetScriptHost());
}

TEST(TransFrame, ExecuteBuildsTheDefaultScriptAndReportsCompileErrors) {
  TCommonFunctionsRegistration common;
  auto source = Source();
  auto dest = Dest();
  auto events = MakeIntf<RecordingEvents>();
  {
    TTransFrame frame;
    frame.SetImportEngine(source.get(), true);
    frame.SetExportEngine(dest.get(), true);
    frame.Execute();  // without a sink the progress log window runs it
    EXPECT_EQ(dest->records, (std::vector<std::vector<std::string>>{{"x", "1"}, {"y", "2"}}));
    EXPECT_EQ(frame.Events(), nullptr);
    dest->records.clear();
    frame.SetEvents(events.get());
    IntfPtr<ITransScriptHost> host = frame.GetScriptHost();
    host->SetScript(" \r\n ");
    frame.Execute();
    EXPECT_EQ(host->GetScript(), " \r\n \r\nExport(0)=Import(1)\r\nExport(1)=Import(0)\r\n");
    EXPECT_EQ(dest->records, (std::vector<std::vector<std::string>>{{"x", "1"}, {"y", "2"}}));

    host->SetScript("Export(0)=Import(");
    frame.Execute();
    ASSERT_FALSE(events->messages.empty());
    EXPECT_EQ(events->messages.back(), (std::pair<int32_t, std::string>{3, Ansi("脚本语法检查出现错误")}));
    EXPECT_EQ(dest->records.size(), 2u);
    EXPECT_EQ(source->finas, 0);
  }
  // The frame closed both engines it had opened.
  EXPECT_EQ(source->finas, 1);
  EXPECT_EQ(dest->finas, 1);
}

TEST(TransFrame, ADestinationThatCannotFinishIsReported) {
  auto source = Source();
  auto dest = Dest();
  auto events = MakeIntf<RecordingEvents>();
  dest->finaFails = true;
  {
    TTransFrame frame;
    frame.SetEvents(events.get());
    frame.SetExportEngine(dest.get(), true);
    frame.SetImportEngine(source.get(), true);
    frame.GetScriptHost();  // opens both
  }
  EXPECT_EQ(source->finas, 1);
  EXPECT_EQ(dest->finas, 1);
  EXPECT_EQ(events->messages, (Messages{{3, "write failed: No space left on device"}}));
}

TEST(TransFrame, WithoutAnyScriptHost) {
  auto events = MakeIntf<RecordingEvents>();
  {
    TTransFrame frame;
    SetBuiltinScriptHostFactory(nullptr);
    FreeTransScriptHosts();
    frame.Execute();  // no sink: nobody hears of it
    frame.SetEvents(events.get());
    frame.Execute();
    EXPECT_FALSE(frame.GetScriptHost());
  }
  EXPECT_EQ(events->messages, (Messages{{3, Ansi("脚本解释器没找到")}}));
  RegisterNamedHostFactory();
  EXPECT_TRUE(GetTransScriptHosts().FindByName(NamedHostName()));
}

// A transfer the user stops early keeps nothing: the file appended to is cut back to what
// it held, a file the run created goes again. An owner that wants the part keeps it.
TEST(TransFrame, AStoppedTransferKeepsNothingUnlessItsOwnerKeepsThePart) {
  TCommonFunctionsRegistration common;
  testing::TempDir dir;
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < 10; ++r) rows.push_back({std::to_string(r), "v" + std::to_string(r)});
  auto source = MakeIntf<TableSource>(std::vector<Column>{{"a", 6}, {"b", 65}}, rows);
  auto dest = MakeIntf<TRynExport>();
  ASSERT_EQ(dest->SetOptions(Ansi("单位标识=U;年度=Y;报表类型=N;时期=1;数据类型=1;文件名=") + dir.Path("stop.ryn") +
                             Ansi(";选择列={A=a\r\nB=b}")),
            0);
  for (bool keep : {false, true}) {
    auto events = MakeIntf<RecordingEvents>();
    events->stopAt = 3;  // the sink asks to stop after the third record
    {
      TTransFrame frame;
      frame.SetEvents(events.get());
      frame.SetImportEngine(source.get(), true);
      frame.SetExportEngine(dest.get(), true);
      frame.GetScriptHost()->SetScript("Export(0)=Import(0)\r\nExport(1)=Import(1)");
      frame.Execute();
      EXPECT_FALSE(frame.KeepsOutput());
      frame.KeepOutput(keep);
    }
    if (keep) {
      EXPECT_EQ(testing::TempDir::Read(dir.Path("stop.ryn")),
                "@\r\nA\tB\r\nU\tY\tN\t1\t0\tv0\r\nU\tY\tN\t1\t1\tv1\r\nU\tY\tN\t1\t2\tv2\r\n@@");
    } else {
      EXPECT_FALSE(std::filesystem::exists(dir.Path("stop.ryn"))) << "a file the run created goes again";
    }
  }
}

// A transfer that ends early on a failure: a source that cannot read on, or a disk that
// fills under the exchange file (a file size limit in a child process). The run ends with
// the failure raised to the frame's owner, the destination is closed once, and the file
// is the previous file as it was: a partial run never looks like a complete one.
TEST(TransFrame, ATransferEndedByAFailureLeavesAWholeFile) {
  if (!testing::kHaveChildProcess) GTEST_SKIP() << "each case runs in a forked child under a file size limit";
  const std::string kOld = "A\tB\r\nU\tY\tN\t1\told\tfile\r\n@@";
  struct Case {
    const char* name;
    int dataType;
    int rows;
    int failAt;          // the source's row that cannot be read, or -1
    long fileSizeLimit;  // bytes past the previous file, or -1
    std::string answer;  // what Execute raised; the kinds of the messages
    std::string file;
  } cases[] = {
      {"source fails, data type 0", 0, 10, 3, -1, "row 3 cannot be read;", kOld},
      {"source fails, data type 1", 1, 10, 2, -1, "row 2 cannot be read;", kOld},
      {"full disk, data type 0", 0, 20000, -1, 100, "write failed: File too large; 4135", kOld},
      {"full disk, data type 1", 1, 20000, -1, 100, "write failed: File too large; 4135", kOld},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TempDir dir;
    const std::string path = dir.Path("ended.ryn");
    testing::TempDir::Write(path, kOld);
    const testing::ChildResult child = testing::RunInChild(
        [&] {
          TCommonFunctionsRegistration common;
          std::vector<std::vector<std::string>> rows;
          for (int r = 0; r < c.rows; ++r) rows.push_back({std::to_string(r), "v" + std::to_string(r)});
          auto source = MakeIntf<TableSource>(std::vector<Column>{{"a", 6}, {"b", 65}}, rows);
          source->failAt = c.failAt;
          auto dest = MakeIntf<TRynExport>();
          if (dest->SetOptions(Ansi("单位标识=U;年度=Y;报表类型=N;时期=1;数据类型=") + std::to_string(c.dataType) +
                               Ansi(";文件名=") + path + Ansi(";选择列={A=a\r\nB=b}")) != 0)
            return std::string("options refused");
          auto events = MakeIntf<RecordingEvents>();
          std::string answer = "nothing raised;";
          {
            TTransFrame frame;
            frame.SetEvents(events.get());
            frame.SetImportEngine(source.get(), true);
            frame.SetExportEngine(dest.get(), true);
            frame.GetScriptHost()->SetScript("Export(0)=Import(0)\r\nExport(1)=Import(1)");
            try {
              frame.Execute();
            } catch (const ERynError& e) {
              answer = e.Message() + ";";
            }
          }
          if (dest->FileOpen()) answer += " still open";
          for (const auto& m : events->messages) answer += " " + std::to_string(m.first);
          return answer;
        },
        c.fileSizeLimit < 0 ? -1 : static_cast<long>(kOld.size()) + c.fileSizeLimit);
    EXPECT_EQ(child.answer, c.answer);
    EXPECT_EQ(testing::TempDir::Read(path), c.file);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "nothing beside the file";
  }
}

}  // namespace
}  // namespace ryn
