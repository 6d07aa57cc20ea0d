#include <gtest/gtest.h>

#include <filesystem>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "boundary/host_support.h"
#include "rynfiler.h"
#include "support/temp_dir.h"

namespace ryn {
namespace {

using testing::ExportOptions;
using testing::NewEngine;
using testing::HostLog;
using testing::TempDir;

TEST(ExportsTest, RegistrationValuesAndTheBufferProtocol) {
  EXPECT_EQ(EngineGetType(), 2);
  const std::string name = Ansi("Ryn文件");
  int32_t len = 99;
  EXPECT_EQ(EngineGetName(nullptr, &len), 0);
  EXPECT_EQ(len, static_cast<int32_t>(name.size()));

  char buf[32];
  std::memset(buf, '#', sizeof buf);
  len = static_cast<int32_t>(name.size()) - 1;
  EXPECT_EQ(EngineGetName(buf, &len), 0);
  EXPECT_EQ(len, static_cast<int32_t>(name.size()));
  EXPECT_EQ(buf[0], '#') << "nothing copied into a short buffer";

  len = static_cast<int32_t>(name.size());
  EXPECT_EQ(EngineGetName(buf, &len), -1);
  EXPECT_EQ(std::string(buf, name.size()), name);
  EXPECT_EQ(buf[name.size()], '#') << "no terminating zero";

  len = sizeof buf;
  EXPECT_EQ(EngineDiscription(buf, &len), -1);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(len)), Ansi("网络表Ryn数据文件"));
  EXPECT_EQ(EngineGetName(buf, nullptr), 0);
  len = -5;
  EXPECT_EQ(EngineGetName(buf, &len), 0) << "a negative capacity is too small";
}

TEST(ExportsTest, EngineInitByDirection) {
  RynHandle h = 1234;
  EXPECT_EQ(EngineInit(1, &h), RYN_E_NOTHING);
  EXPECT_EQ(EngineInit(3, &h), RYN_E_DIRECTION);
  EXPECT_EQ(EngineInit(0, &h), RYN_E_DIRECTION);
  EXPECT_EQ(h, 1234);
  EXPECT_EQ(EngineInit(2, nullptr), RYN_E_NOTHING) << "nowhere to put the handle: nothing made";
  EXPECT_EQ(EngineInit(2, &h), RYN_OK);
  EXPECT_NE(h, 1234);
  EXPECT_EQ(EngineEstablished(h), 0);
  EngineFina(h);
}

// Every function given a value that is no live handle answers its failure value and
// leaves the caller's variables alone.
void ExpectRefused(RynHandle h) {
  char buf[8] = "xxxxxxx";
  int32_t len = 5;
  EXPECT_EQ(EngineGetOptions(h, buf, &len), 0);
  EXPECT_EQ(len, 5);
  EXPECT_EQ(EngineSetOptions(h, "a=1"), RYN_E_HANDLE);
  EXPECT_EQ(EngineEstablished(h), RYN_E_HANDLE);
  EXPECT_EQ(IsEof(h), -1);
  EXPECT_EQ(DataCount(h), -1);
  MoveFirst(h);
  MoveNext(h);
  Append(h);
  Post(h);
  RynHandle config = 77;
  EXPECT_EQ(ConfigInit(h, 0, 1, &config), RYN_E_HANDLE);
  EXPECT_EQ(config, 77);
  EXPECT_EQ(ConfigIsBOF(h), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(ConfigIsEOF(h), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(ConfigCheckSucceed(h), RYN_E_WIZARD_HANDLE);
  EXPECT_EQ(ConfigPort(h), 0);
  ConfigFirst(h);
  ConfigLast(h);
  ConfigNext(h);
  ConfigPrevious(h);
  ConfigUpdate(h);
  ConfigFina(h);
  EXPECT_EQ(FieldGetCount(h), 0);
  EXPECT_EQ(FieldSetCount(h, 3), RYN_E_HANDLE);
  EXPECT_EQ(FieldGetName(h, 0, buf, &len), 0);
  EXPECT_EQ(len, 5);
  FieldSetName(h, 0, "n", 1);
  EXPECT_EQ(FieldGetType(h, 0), 0);
  FieldSetType(h, 0, 65);
  EXPECT_EQ(FieldFindbyName(h, "a"), -1);
  EXPECT_EQ(FieldIsEmpty(h, 0), -1);
  len = 7;
  EXPECT_EQ(FieldGetValueText(h, 0, buf, &len), 0);
  EXPECT_EQ(len, 0);
  int32_t field = 42;
  EXPECT_EQ(EngineGetRecordProblem(h, 0, &field), 0);
  EXPECT_EQ(field, 42);
  const char* texts[1] = {buf};
  int32_t lengths[1] = {7};
  int32_t placed = 7;
  EXPECT_EQ(EngineMoveNextRecord(h, 1, texts, lengths, &placed), RYN_E_HANDLE);
  EXPECT_EQ(placed, 7);
  EXPECT_EQ(texts[0], buf);
  EXPECT_EQ(lengths[0], 7);
  EngineSetEvent(h, 1, RYN_EVENT_MESSAGE, nullptr);
  EngineFina(h);
  EXPECT_EQ(std::string(buf), "xxxxxxx");
}

TEST(ExportsTest, UnknownHandlesTouchNothing) {
  // Values that were never issued, including ones no object lives at.
  for (RynHandle h : {RynHandle{0}, RynHandle{1}, RynHandle{-1}, RynHandle{0x12345678}}) ExpectRefused(h);
  int on_stack = 0;
  ExpectRefused(reinterpret_cast<RynHandle>(&on_stack));
  RynHandle h = NewEngine();
  EngineFina(h);
  ExpectRefused(h);
}

TEST(ExportsTest, FieldsOfTheExchangeEngine) {
  TempDir dir;
  RynHandle h = NewEngine();
  EXPECT_EQ(EngineSetOptions(h, ExportOptions(dir.Path("f.ryn"), 1, "A=alpha\r\nB=Beta").c_str()), 0);
  EXPECT_EQ(FieldGetCount(h), 2);
  EXPECT_EQ(FieldFindbyName(h, "BETA"), 1);
  EXPECT_EQ(FieldFindbyName(h, "alpha"), 0);
  EXPECT_EQ(FieldFindbyName(h, "gamma"), -1);
  EXPECT_EQ(FieldFindbyName(h, nullptr), -1);
  EXPECT_EQ(FieldGetType(h, 1), 65);
  EXPECT_EQ(FieldGetType(h, 2), 0);
  char buf[16];
  int32_t len = sizeof buf;
  EXPECT_EQ(FieldGetName(h, 1, buf, &len), -1);
  EXPECT_EQ(std::string(buf, static_cast<size_t>(len)), "Beta");
  len = 3;
  EXPECT_EQ(FieldGetName(h, 5, buf, &len), 0);
  EXPECT_EQ(len, 3);
  EXPECT_EQ(FieldSetCount(h, 9), 0);
  EXPECT_EQ(IsEof(h), -1) << "a destination is no source";
  EXPECT_EQ(DataCount(h), -1);
  EXPECT_EQ(FieldIsEmpty(h, 0), -1);
  len = 3;
  EXPECT_EQ(FieldGetValueText(h, 0, buf, &len), 0) << "a destination has no values to read";
  EXPECT_EQ(len, 0);
  int32_t field = 42;
  EXPECT_EQ(EngineGetRecordProblem(h, 0, &field), 0) << "nor problems with them";
  EXPECT_EQ(EngineGetRecordProblem(h, -1, nullptr), 0);
  EXPECT_EQ(field, 42);
  RynHandle config = 5;
  EXPECT_EQ(ConfigInit(h, 0, 1, &config), RYN_OK) << "its wizard, even without a window to sit in";
  EXPECT_NE(config, 5);
  ConfigFina(config);
  EngineFina(h);
}

TEST(ExportsTest, MessagesReachTheHostOnlyAfterRegistration) {
  RynHandle h = NewEngine();
  HostLog log;
  Append(h);  // no file, no callback: dropped
  EngineSetEvent(h, reinterpret_cast<intptr_t>(&log), RYN_EVENT_MESSAGE, reinterpret_cast<void*>(&HostLog::Message));
  Append(h);
  Post(h);
  ASSERT_EQ(log.messages.size(), 2u);
  EXPECT_EQ(log.messages[0], std::make_pair(4134, Ansi("存储文件打开失败!")));

  // An unknown kind replaces the user value only.
  HostLog other;
  EngineSetEvent(h, reinterpret_cast<intptr_t>(&other), 0x777, nullptr);
  Append(h);
  EXPECT_EQ(log.messages.size(), 2u);
  ASSERT_EQ(other.messages.size(), 1u);
  // A null callback switches the relay off.
  EngineSetEvent(h, reinterpret_cast<intptr_t>(&other), RYN_EVENT_MESSAGE, nullptr);
  Append(h);
  EXPECT_EQ(other.messages.size(), 1u);
  EngineFina(h);
}

TEST(ExportsTest, AFullExportThroughTheFunctions) {
  TempDir dir;
  std::string path = dir.Path("full.ryn");
  RynHandle h = NewEngine();
  ASSERT_EQ(EngineSetOptions(h, ExportOptions(path).c_str()), 0);
  EXPECT_EQ(EngineEstablished(h), 1);
  auto setText = reinterpret_cast<RynSetText>(FieldGetProc(RYN_DESTINATION, RYN_FT_STRING));
  Append(h);
  setText(h, 0, "x", 1);
  setText(h, 1, "y", 1);
  Post(h);

  int32_t len = 0;
  ASSERT_EQ(EngineGetOptions(h, nullptr, &len), 0);
  std::string options(static_cast<size_t>(len), '\0');
  ASSERT_EQ(EngineGetOptions(h, options.data(), &len), -1);
  EXPECT_EQ(options, ExportOptions(path));

  EngineFina(h);
  EXPECT_EQ(TempDir::Read(path), "@\r\nA\tB\r\n0001\t2023\tY\t12\tx\ty\r\n@@");
}

// A record's texts as EnginePostRecordTexts takes them.
struct RecordTexts {
  std::vector<int32_t> fields;
  std::vector<const char*> texts;
  std::vector<int32_t> lengths;
  int32_t PostTo(RynHandle h) const {
    return EnginePostRecordTexts(h, static_cast<int32_t>(fields.size()), fields.data(), texts.data(), lengths.data());
  }
};

// A whole record in one call writes what Append, the text setter per value and Post write:
// texts set in order (a later one for the same field wins), an empty or missing text an
// empty value, a field the engine lacks ignored; a record without texts is the fixed part
// alone. An unknown handle is refused and stores nothing; this engine hands out no source
// record.
TEST(ExportsTest, ARecordInOneCall) {
  TempDir dir;
  std::string path = dir.Path("record.ryn");
  RynHandle h = NewEngine();
  ASSERT_EQ(EngineSetOptions(h, ExportOptions(path, 1, "A=a\r\nB=b\r\nC=c").c_str()), 0);
  const RecordTexts cases[] = {
      {{2, 0, 1}, {"z", "x y", "\"q\""}, {1, 3, 3}},
      {{0, 0, 7, -1}, {"first", "second", "nowhere", "nowhere"}, {5, 6, 7, 7}},
      {{1, 2}, {nullptr, "cut"}, {4, 2}},
      {{}, {}, {}},
  };
  for (const RecordTexts& c : cases) {
    Append(h);
    EXPECT_EQ(c.PostTo(h), RYN_OK);
  }
  const int32_t field = 0;
  const char* text = "t";
  const int32_t length = 1;
  EXPECT_EQ(EnginePostRecordTexts(RynHandle{0x12345678}, 1, &field, &text, &length), RYN_E_HANDLE);
  const char* texts[2] = {};
  int32_t lengths[2] = {};
  EXPECT_EQ(EngineGetRecordTexts(h, 0, 2, texts, lengths), 0);
  int32_t placed = -1;
  EXPECT_EQ(EngineMoveNextRecord(h, 2, texts, lengths, &placed), RYN_E_HANDLE) << "a destination does not move";
  EXPECT_EQ(placed, -1);
  EngineFina(h);
  EXPECT_EQ(EnginePostRecordTexts(h, 1, &field, &text, &length), RYN_E_HANDLE);
  EXPECT_EQ(TempDir::Read(path), "@\r\nA\tB\tC\r\n"
                                 "0001\t2023\tY\t12\t\"x y\"\t\"\"\"\"q\"\"\"\"\tz\r\n"
                                 "0001\t2023\tY\t12\tsecond\t\t\r\n"
                                 "0001\t2023\tY\t12\t\t\tcu\r\n"
                                 "0001\t2023\tY\t12\t\t\t\r\n@@");
}

// A record in one call in column order is formatted straight into its line: the same
// bytes as the text setter per value (quotes, blanks, delimiters, line breaks, empty and
// missing texts, columns left out), and the record stays the engine's current one: a
// second Post writes it again, a setter changes one value of it, a value set before the
// record comes whole stays in it, and the identity values follow each file's options.
TEST(ExportsTest, ARecordInOneCallInColumnOrderIsTheSameRecord) {
  auto setText = reinterpret_cast<RynSetText>(FieldGetProc(RYN_DESTINATION, RYN_FT_STRING));
  TempDir dir;
  const std::string whole = dir.Path("whole.ryn"), single = dir.Path("single.ryn");
  const RecordTexts records[] = {
      {{0, 1, 2}, {"x y", "\"", "a\tb"}, {3, 1, 3}},
      {{0, 2}, {"\"q\" ", "line\r\nbreak"}, {4, 11}},
      {{1}, {nullptr}, {4}},
      {{0, 1, 2}, {"", "  ", "z\r"}, {0, 2, 2}},
      {{1, 2}, {"b c", "last"}, {3, 4}},
  };
  std::string options = ExportOptions(whole, 1, "A=a\r\nB=b\r\nC=c");
  for (const std::string& unit : {std::string("0001"), std::string("0002")}) {
    RynHandle a = NewEngine(), b = NewEngine();
    options.replace(options.find("=000") + 1, 4, unit);
    ASSERT_EQ(EngineSetOptions(a, options.c_str()), 0);
    std::string other = options;
    other.replace(other.find(whole), whole.size(), single);
    ASSERT_EQ(EngineSetOptions(b, other.c_str()), 0);
    for (const RecordTexts& r : records) {
      Append(a);
      ASSERT_EQ(r.PostTo(a), RYN_OK);
      Append(b);
      for (size_t i = 0; i < r.fields.size(); ++i) setText(b, r.fields[i], r.texts[i], r.texts[i] ? r.lengths[i] : 0);
      Post(b);
    }
    for (RynHandle h : {a, b}) {
      Post(h);
      setText(h, 0, "changed", 7);
      Post(h);
    }
    for (RynHandle h : {a, b}) {
      Append(h);
      setText(h, 0, "set", 3);
    }
    EXPECT_EQ((RecordTexts{{1}, {"x"}, {1}}.PostTo(a)), RYN_OK);
    setText(b, 1, "x", 1);
    Post(b);
    EngineFina(a);
    EngineFina(b);
  }
  const std::string written = TempDir::Read(whole);
  EXPECT_EQ(written, TempDir::Read(single));
  EXPECT_NE(written.find("0001\t2023\tY\t12\t\"x y\"\t\"\"\"\t\"a\tb\"\r\n"), std::string::npos) << written;
  EXPECT_NE(written.find("0002\t2023\tY\t12\t\t\"b c\"\tlast\r\n0002\t2023\tY\t12\t\t\"b c\"\tlast\r\n"
                         "0002\t2023\tY\t12\tchanged\t\"b c\"\tlast\r\n0002\t2023\tY\t12\tset\tx\t\r\n@@"),
            std::string::npos)
      << written;
}

// A host ending a failed run with EngineAbandon keeps last month's file (data type 0) or
// its length (data type 1), and a file the engine created goes again; the handle ends like
// with EngineFina, and an unknown handle is refused.
TEST(ExportsTest, AnAbandonedExportKeepsNothing) {
  EXPECT_EQ(EngineAbandon(0), RYN_E_HANDLE);
  auto setText = reinterpret_cast<RynSetText>(FieldGetProc(RYN_DESTINATION, RYN_FT_STRING));
  for (const char* old : {static_cast<const char*>("last month"), static_cast<const char*>(nullptr)}) {
    for (int type : {0, 1}) {
      TempDir dir;
      const std::string path = dir.Path("a.ryn");
      if (old) TempDir::Write(path, old);
      RynHandle h = NewEngine();
      ASSERT_EQ(EngineSetOptions(h, ExportOptions(path, type).c_str()), 0);
      Append(h);
      setText(h, 0, "x", 1);
      Post(h);
      EXPECT_EQ(EngineAbandon(h), RYN_OK);
      EXPECT_EQ(EngineAbandon(h), RYN_E_HANDLE) << "the handle ended";
      if (old) EXPECT_EQ(TempDir::Read(path), old) << type;
      else EXPECT_FALSE(std::filesystem::exists(path)) << type;
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), old ? 1 : 0);
    }
  }
}

TEST(ExportsTest, HandlesComeAndGoFromManyThreads) {
  constexpr int kThreads = 4, kRounds = 300;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  RynHandle shared = NewEngine();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        RynHandle h = 0;
        if (EngineInit(RYN_DESTINATION, &h) != RYN_OK) ++failures;
        if (EngineEstablished(h) != 0) ++failures;
        if (FieldGetCount(shared) != 0) ++failures;
        EngineFina(h);
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
  EngineFina(shared);
}

}  // namespace
}  // namespace ryn

namespace ryn {
namespace {

// A destination writing to a device that is always full, its messages logged.
class ExportsWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(EngineInit(RYN_DESTINATION, &h), RYN_OK);
    EngineSetEvent(h, reinterpret_cast<intptr_t>(&log), RYN_EVENT_MESSAGE,
                   reinterpret_cast<void*>(&testing::HostLog::Message));
    if (EngineSetOptions(h, testing::ExportOptions("/dev/full").c_str()) != 0) GTEST_SKIP() << "needs /dev/full";
  }
  // The tests end the handle themselves; this is for a skipped or failed one.
  void TearDown() override { EngineFina(h); }

  RynHandle h = 0;
  testing::HostLog log;
};

TEST_F(ExportsWriteTest, AFailedFinishIsReportedAndTheHandleEnds) {
  Append(h);
  Post(h);
  EngineFina(h);
  ASSERT_EQ(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0].first, 4135);
  EXPECT_EQ(EngineEstablished(h), RYN_E_HANDLE);
}

// Records posted whole into a full device: the first failed write is reported once and
// the call says it failed; no later record is taken as written.
TEST_F(ExportsWriteTest, RecordsPostedWholeIntoAFullDeviceFail) {
  const RecordTexts record{{0, 1}, {"a value long enough to fill the buffer soon", "b"}, {44, 1}};
  int failed = 0, afterFailure = 0;
  for (int i = 0; i < 5000; ++i) {
    Append(h);
    const int32_t r = record.PostTo(h);
    if (failed > 0 && r == RYN_OK) ++afterFailure;
    if (r != RYN_OK) ++failed;
  }
  EXPECT_GT(failed, 0);
  EXPECT_EQ(afterFailure, 0);
  EngineAbandon(h);
  ASSERT_GE(log.messages.size(), 1u);
  EXPECT_EQ(log.messages[0].first, 4135);
  EXPECT_EQ(std::count_if(log.messages.begin(), log.messages.end(), [](const auto& m) { return m.first == 4135; }), 1);
}

}  // namespace
}  // namespace ryn
