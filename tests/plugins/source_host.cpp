#include "plugins/source_host.h"

#include <gtest/gtest.h>

#include <cstring>
#ifndef _WIN32
#include <dlfcn.h>
#endif

#include "common/value_text.h"
#include "libengineport/lib_factory.h"
#include "platform/float_format.h"
#include "support/recording_events.h"

namespace ryn::testing {
namespace {

template <class Get>
std::string TwoCalls(Get get) {
  int32_t len = 0;
  get(nullptr, &len);
  std::string s(static_cast<size_t>(len), '\0');
  if (len > 0) {
    EXPECT_EQ(get(s.data(), &len), -1);
  }
  s.resize(static_cast<size_t>(len));
  return s;
}

// Values are compared as text; each type is read with its own getter, as a transfer does.
std::string DateText(const RynSystemTime& r, int32_t type) {
  SystemTime st;
  std::memcpy(&st, &r, sizeof st);
  TDateTime d = 0;
  EXPECT_TRUE(SystemTimeToDateTime(st, d));
  return IsoDateTimeText(d, type == 51);
}

// The records again, on an engine of their own, moved through EngineMoveNextRecord: as
// many, each with its problems flagged as EngineGetRecordProblem told them, and the texts
// EngineGetRecordTexts gives.
void CheckMovesInOneCall(const ExportedLibrary& lib, const std::string& options, const SourceRead& r) {
  auto moveRecord = lib.Get<RynEngineMoveNextRecordProc>("EngineMoveNextRecord");
  if (!moveRecord) return;
  Messages messages;
  RynHandle h = lib.Open(&messages);
  lib.Get<int32_t (RYN_CALL*)(RynHandle, const char*)>("EngineSetOptions")(h, options.c_str());
  auto recordTexts = lib.Get<RynEngineGetRecordTextsProc>("EngineGetRecordTexts");
  auto isEof = lib.Get<int32_t (RYN_CALL*)(RynHandle)>("IsEof");
  const auto n = static_cast<int32_t>(r.types.size());
  std::vector<const char*> texts(static_cast<size_t>(n) + 1), expected(texts.size());
  std::vector<int32_t> lengths(texts.size()), expectedLengths(texts.size());
  lib.Get<void (RYN_CALL*)(RynHandle)>("MoveFirst")(h);
  size_t records = isEof(h) == 0 ? 1 : 0;
  for (int32_t state = 0; records > 0 && records <= r.rows.size() + 1;) {
    int32_t placed = -1;
    lengths.assign(lengths.size(), -7);
    state = moveRecord(h, n, texts.data(), lengths.data(), &placed);
    if (state & RYN_RECORD_END) {
      EXPECT_EQ(placed, 0);
      EXPECT_NE(isEof(h), 0);
      break;
    }
    ++records;
    ASSERT_TRUE(state == 0 || state == RYN_RECORD_PROBLEMS) << state;
    EXPECT_EQ(isEof(h), 0);
    if (records > r.rows.size()) break;
    EXPECT_EQ((state & RYN_RECORD_PROBLEMS) != 0, !r.problems[records - 1].empty()) << "record " << records;
    EXPECT_EQ(placed, recordTexts(h, 0, n, expected.data(), expectedLengths.data())) << "record " << records;
    EXPECT_EQ(lengths[static_cast<size_t>(n)], -7) << "wrote past count";
    for (int32_t i = 0; i < placed && i < n; ++i) {
      const auto at = static_cast<size_t>(i);
      EXPECT_EQ(std::string_view(texts[at], static_cast<size_t>(lengths[at])),
                std::string_view(expected[at], static_cast<size_t>(expectedLengths[at])))
          << "record " << records << " field " << i;
    }
  }
  EXPECT_EQ(records, r.rows.size()) << "EngineMoveNextRecord found another number of records";
  lib.Close(h);
  int32_t placed = -1;
  EXPECT_EQ(moveRecord(RynHandle{0x12345678}, n, texts.data(), lengths.data(), &placed), RYN_E_HANDLE);
  EXPECT_EQ(placed, -1);
}

}  // namespace

Value V(const char* text) {
  if (std::string_view(text) == "~") return std::nullopt;
  return std::string(text);
}

SourceRead ReadExported(const std::string& library, const std::string& options) {
  ExportedLibrary lib(library);
  SourceRead r;
  RynHandle h = lib.Open(&r.messages);
  r.rc = lib.Get<int32_t (RYN_CALL*)(RynHandle, const char*)>("EngineSetOptions")(h, options.c_str());
  r.established = lib.Get<int32_t (RYN_CALL*)(RynHandle)>("EngineEstablished")(h);
  r.options = TwoCalls([&](char* b, int32_t* n) {
    return lib.Get<int32_t (RYN_CALL*)(RynHandle, char*, int32_t*)>("EngineGetOptions")(h, b, n);
  });
  auto getName = lib.Get<int32_t (RYN_CALL*)(RynHandle, int32_t, char*, int32_t*)>("FieldGetName");
  auto getType = lib.Get<int32_t (RYN_CALL*)(RynHandle, int32_t)>("FieldGetType");
  auto proc = lib.Get<void* (RYN_CALL*)(int32_t, int32_t)>("FieldGetProc");
  auto isEmpty = lib.Get<int32_t (RYN_CALL*)(RynHandle, int32_t)>("FieldIsEmpty");
  const int32_t n = lib.Get<int32_t (RYN_CALL*)(RynHandle)>("FieldGetCount")(h);
  for (int32_t i = 0; i < n; ++i) {
    r.names.push_back(TwoCalls([&](char* b, int32_t* len) { return getName(h, i, b, len); }));
    r.types.push_back(getType(h, i));
  }
  r.count = lib.Get<int32_t (RYN_CALL*)(RynHandle)>("DataCount")(h);
  auto text = reinterpret_cast<RynGetText>(proc(RYN_SOURCE, 65));
  auto int64 = reinterpret_cast<RynGetInt64>(proc(RYN_SOURCE, 7));
  auto real = reinterpret_cast<RynGetDouble>(proc(RYN_SOURCE, 18));
  auto date = reinterpret_cast<RynGetDateTime>(proc(RYN_SOURCE, 50));
  auto isEof = lib.Get<int32_t (RYN_CALL*)(RynHandle)>("IsEof");
  auto moveNext = lib.Get<void (RYN_CALL*)(RynHandle)>("MoveNext");
  auto problem = lib.Get<int32_t (RYN_CALL*)(RynHandle, int32_t, int32_t*)>("EngineGetRecordProblem");
  lib.Get<void (RYN_CALL*)(RynHandle)>("MoveFirst")(h);
  while (isEof(h) == 0) {
    r.problems.emplace_back();
    int32_t field = -1;
    for (int32_t k = 0; int32_t kind = problem(h, k, &field); ++k) r.problems.back().emplace_back(field, kind);
    Row row;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t type = r.types[static_cast<size_t>(i)];
      RynSystemTime st{};
      if (isEmpty(h, i) == -1) {
        row.push_back(std::nullopt);
      } else if (type == 7) {
        row.push_back(std::to_string(int64(h, i)));
      } else if (type == 18) {
        row.push_back(FormatGeneral(real(h, i)));
      } else if (type == 50 || type == 51) {
        date(&st, h, i);
        row.push_back(DateText(st, type));
      } else if (type == 67) {
        row.push_back("blob");
      } else {
        row.push_back(TwoCalls([&](char* b, int32_t* len) { return text(h, i, b, len); }));
      }
    }
    r.rows.push_back(std::move(row));
    moveNext(h);
  }
  lib.Close(h);
  CheckMovesInOneCall(lib, options, r);
  return r;
}

SourceRead ReadBoth(const std::string& library, const std::string& options) {
  SourceRead direct = ReadExported(library, options);
  SourceRead proxied = ReadProxied(library, options);
  EXPECT_EQ(direct.types, proxied.types) << "the proxies read the library differently";
  EXPECT_EQ(direct.rows, proxied.rows) << "the proxies read the library differently";
  EXPECT_EQ(direct.messages, proxied.messages) << "the proxies read the library differently";
  EXPECT_EQ(direct, proxied) << "the proxies read the library differently";
#ifndef _WIN32
  // Let go by every reader, the library leaves the process: nothing of a reading (a
  // thread, a thread_local with a destructor) keeps it, and a host can load a new build.
  // (The ODBC library stays on purpose: the driver manager's state outlives it.)
  bool staysLoaded = false;
#ifdef RYNFILER_ODBC_LIBRARY
  staysLoaded = library == RYNFILER_ODBC_LIBRARY;
#endif
  void* still = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
  EXPECT_TRUE(staysLoaded || !still) << "still loaded after the readings";
  if (still) dlclose(still);
#endif
  return direct;
}

std::vector<std::vector<std::string>> ReadTexts(const std::string& library, const std::string& options) {
  ExportedLibrary lib(library);
  Messages messages;
  RynHandle h = lib.Open(&messages);
  std::vector<std::vector<std::string>> rows;
  if (lib.Get<int32_t (RYN_CALL*)(RynHandle, const char*)>("EngineSetOptions")(h, options.c_str()) == 0) {
    auto text = reinterpret_cast<RynGetText>(lib.Get<void* (RYN_CALL*)(int32_t, int32_t)>("FieldGetProc")(RYN_SOURCE, 65));
    const int32_t n = lib.Get<int32_t (RYN_CALL*)(RynHandle)>("FieldGetCount")(h);
    auto isEof = lib.Get<int32_t (RYN_CALL*)(RynHandle)>("IsEof");
    auto moveNext = lib.Get<void (RYN_CALL*)(RynHandle)>("MoveNext");
    auto recordTexts = lib.Get<RynEngineGetRecordTextsProc>("EngineGetRecordTexts");
    for (lib.Get<void (RYN_CALL*)(RynHandle)>("MoveFirst")(h); isEof(h) == 0; moveNext(h)) {
      std::vector<std::string> row;
      for (int32_t i = 0; i < n; ++i) row.push_back(TwoCalls([&](char* b, int32_t* len) { return text(h, i, b, len); }));
      // The whole record in one call gives the same texts, and so does a window of it
      // that runs past the last field.
      std::vector<const char*> texts(static_cast<size_t>(n) + 2, nullptr);
      std::vector<int32_t> lengths(texts.size(), -7);
      EXPECT_EQ(recordTexts(h, 0, n, texts.data(), lengths.data()), n);
      EXPECT_EQ(lengths[static_cast<size_t>(n)], -7) << "wrote past count";
      for (int32_t i = 0; i < n; ++i)
        EXPECT_EQ(std::string(texts[static_cast<size_t>(i)], static_cast<size_t>(lengths[static_cast<size_t>(i)])),
                  row[static_cast<size_t>(i)]) << "record " << rows.size() + 1 << " field " << i;
      if (n > 1) {
        EXPECT_EQ(recordTexts(h, 1, n + 2, texts.data(), lengths.data()), n - 1);
        EXPECT_EQ(std::string(texts[0], static_cast<size_t>(lengths[0])), row[1]);
      }
      EXPECT_EQ(recordTexts(h, n, 1, texts.data(), lengths.data()), 0);
      rows.push_back(std::move(row));
    }
  }
  lib.Close(h);
  return rows;
}

SourceRead ReadProxied(const std::string& library, const std::string& options) {
  SourceRead r;
  auto factory = MakeIntf<TLibITransEngineFactory>();
  if (!factory->Load(library)) {
    ADD_FAILURE() << library;
    return r;
  }
  IntfPtr<ITransEngine> engine = factory->CreateEngine();
  auto events = MakeIntf<RecordingEvents>();
  engine->SetEvents(events.get());
  EXPECT_TRUE(engine->Init(RYN_SOURCE));
  r.rc = engine->SetOptions(options);
  r.established = engine->Established() ? 1 : 0;
  r.options = engine->GetOptions();
  auto port = engine->GetPort().Query<IImport>();
  EXPECT_TRUE(port);
  if (port) {
    const int32_t n = port->GetFieldCount();
    for (int32_t i = 0; i < n; ++i) {
      auto f = port->GetField(i);
      r.names.push_back(f->GetName());
      r.types.push_back(f->GetDataType());
    }
    r.count = port->DataCount();
    auto problems = port.Query<IRecordProblems>();
    EXPECT_TRUE(problems) << "the library tells a record's problems";
    for (port->MoveFirst(); !port->IsEof(); port->MoveNext()) {
      r.problems.emplace_back();
      int32_t field = -1, kind = 0;
      for (int32_t k = 0; problems && problems->GetRecordProblem(k, field, kind); ++k)
        r.problems.back().emplace_back(field, kind);
      Row row;
      for (int32_t i = 0; i < n; ++i) {
        auto f = port->GetField(i).Query<IFieldReader>();
        const int32_t type = f->GetDataType();
        if (f->IsEmpty()) row.push_back(std::nullopt);
        else if (type == 7) row.push_back(std::to_string(f->GetAsInt64()));
        else if (type == 18) row.push_back(FormatGeneral(f->GetAsDouble()));
        else if (type == 50 || type == 51) row.push_back(IsoDateTimeText(f->GetAsDateTime(), type == 51));
        else if (type == 67) row.push_back("blob");
        else row.push_back(f->GetAsString());
      }
      r.rows.push_back(std::move(row));
    }
  }
  engine->Fina();
  r.messages = events->messages;
  return r;
}

}  // namespace ryn::testing
