// A test engine library: a source engine serving an in-memory table with a column of
// every field type. Options: "rows=N" (default 3), "empty=R" (every value of row R is
// empty), "long=R" (row R's text is 600 characters), "failat=R" (moving to row R reports
// an error, as a reader whose file went bad does, and ends the records).
// Built with TEST_LAZY_TYPES, the engine learns its field types only when its records are
// opened: before the first MoveFirst every field tells type 0. Built with TEST_ONE_ENGINE,
// the library has a single engine that every EngineInit hands out again, so the handle of
// a closed engine comes back. Built with TEST_WIZARD, the engine has a wizard.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "boundary/handle_list.h"
#include "boundary/registration.h"
#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "rynfiler.h"
#include "transport/custom_field.h"
#include "transport/options_text.h"
#include "ui/application.h"

#ifndef TEST_ENGINE_NAME
#define TEST_ENGINE_NAME "MemSource"
#endif

namespace ryn {
namespace {

struct Column {
  const char* name;
  int32_t type;
};

constexpr Column kColumns[] = {
    {"byte", 1},    {"word", 2},     {"longword", 3}, {"shortint", 4}, {"smallint", 5}, {"integer", 6},
    {"int64", 7},   {"bool", 8},     {"single", 17},  {"double", 18},  {"extended", 19}, {"guid", 33},
    {"time", 49},   {"date", 50},    {"datetime", 51}, {"text", 65},   {"wide", 66},    {"blob", 67},
    {"untyped", 0},
};
constexpr int32_t kColumnCount = sizeof kColumns / sizeof kColumns[0];

class MemSource;

class MemField final : public TCustomTransField, public virtual IFieldReader {
 public:
  MemField(MemSource* source, IInterface* owner, int32_t index);
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IFieldReader>(this, iid, obj); }
  std::string GetName() override { return kColumns[index_].name; }
  int32_t GetDataType() override;
  int32_t GetIndex() override { return index_; }
  bool IsEmpty() override;
  bool GetAsBoolean() override { return Row() % 2 == 1; }
  uint8_t GetAsByte() override { return static_cast<uint8_t>(200 + Row()); }
  uint16_t GetAsWord() override { return static_cast<uint16_t>(60000 + Row()); }
  uint32_t GetAsLongWord() override { return 4000000000u + static_cast<uint32_t>(Row()); }
  int8_t GetAsShortInt() override { return static_cast<int8_t>(-100 - Row()); }
  int16_t GetAsSmallInt() override { return static_cast<int16_t>(-30000 - Row()); }
  int32_t GetAsInteger() override { return -2000000000 + Row(); }
  int64_t GetAsInt64() override { return 9000000000000000000LL + Row(); }
  float GetAsSingle() override { return 1.5f + static_cast<float>(Row()); }
  double GetAsDouble() override { return 0.1 + Row(); }
  long double GetAsExtended() override { return 1.0L / 3 + Row(); }
  TGUID GetAsGuid() override {
    return TGUID{0x12345678u + static_cast<uint32_t>(Row()), 0xABCD, 0xEF01, {1, 2, 3, 4, 5, 6, 7, 8}};
  }
  TDateTime GetAsDateTime() override {
    switch (kColumns[index_].type) {
      case 49: return 0.25;
      case 50: return 45000 + Row();
      default: return 45000.5 + Row();
    }
  }
  std::string GetAsString() override;
  std::u16string GetAsWideString() override { return u"宽" + std::u16string(1, static_cast<char16_t>(u'0' + Row())); }
  bool SaveToStream(TStream& stream) override {
    std::string bytes(static_cast<size_t>(Row()) * 300, static_cast<char>('a' + Row()));
    stream.WriteText(bytes);
    return true;
  }

 private:
  int32_t Row() const;
  MemSource* source_;
  int32_t index_;
};

class MemSource final : public TInterfacedObject,
                        public virtual ITransEngine,
                        public virtual IImport,
                        public virtual IFieldTable,
                        public virtual IImplementorAccess {
 public:
  MemSource() {
    for (int32_t i = 0; i < kColumnCount; ++i) fields_.push_back(std::make_unique<MemField>(this, this, i));
  }
  int32_t QueryInterface(const TGUID& iid, void** obj) override {
    if (iid == ITransEvents::IID && obj && events_) {
      *obj = events_.get();
      events_->AddRef();
      return kS_OK;
    }
    return QueryInterfaces<ITransEngine, IImport, IFieldTable, IImplementorAccess>(this, iid, obj);
  }
  IFieldReader* ReaderAt(int32_t index) override {
    return index >= 0 && index < kColumnCount ? fields_[static_cast<size_t>(index)].get() : nullptr;
  }
  IFieldWriter* WriterAt(int32_t) override { return nullptr; }
  IImport* SourcePort() override { return this; }
  IExport* DestinationPort() override { return nullptr; }
  std::string GetName() override { return TEST_ENGINE_NAME; }
  int32_t GetEngineType() override { return kDirectionSource; }
  IntfPtr<ITransPort> GetPort() override { return static_cast<IImport*>(this); }
  void SetEvents(ITransEvents* events) override { events_ = events; }
  bool Init(int32_t direction) override { return direction == kDirectionSource; }
  bool IsActive() override { return true; }
  void Fina() override {}
  IntfPtr<IEngineConfig> GetConfig() override;
  std::string GetOptions() override {
    return "rows=" + std::to_string(rows_) + ";\r\nempty=" + std::to_string(emptyRow_) + ";\r\nlong=" + std::to_string(longRow_);
  }
  int32_t SetOptions(std::string_view options) override {
    TMemoryStream s{std::string(options)};
    TOPtionsReader r(&s);
    r.RegisterHandler("rows", [this](const std::string& v) { rows_ = std::atoi(v.c_str()); });
    r.RegisterHandler("empty", [this](const std::string& v) { emptyRow_ = std::atoi(v.c_str()); });
    r.RegisterHandler("long", [this](const std::string& v) { longRow_ = std::atoi(v.c_str()); });
    r.RegisterHandler("failat", [this](const std::string& v) { failRow_ = std::atoi(v.c_str()); });
    r.RegisterHandler("fail", [this](const std::string& v) {
      if (events_) events_->OnMessage(3, v);
    });
    r.Parse();
    return rows_ >= 0 ? 0 : 0x10001003;
  }
  bool Established() override { return rows_ > 0; }
  int32_t GetFieldCount() override { return kColumnCount; }
  IntfPtr<ITransField> FindField(std::string_view name) override {
    for (auto& f : fields_)
      if (SameTextAscii(f->GetName(), name)) return static_cast<ITransField*>(f.get());
    return nullptr;
  }
  IntfPtr<ITransField> GetField(int32_t index) override {
    if (index < 0 || index >= kColumnCount) return nullptr;
    return static_cast<ITransField*>(fields_[static_cast<size_t>(index)].get());
  }
  int32_t DataCount() override { return rows_; }
  void MoveFirst() override {
    row_ = 0;
    opened_ = true;
  }
  void MoveNext() override {
    if (++row_ == failRow_ && events_) events_->OnMessage(3, "row " + std::to_string(row_) + " cannot be read");
  }
  bool IsEof() override { return row_ >= rows_ || (failRow_ >= 0 && row_ >= failRow_); }
  TObject* GetImplementor() override { return this; }

  int32_t row_ = 0, rows_ = 3, emptyRow_ = -1, longRow_ = -1, failRow_ = -1;
  bool opened_ = false;

 private:
  IntfPtr<ITransEvents> events_;
  IntfPtr<IEngineConfig> wizard_;
  std::vector<std::unique_ptr<MemField>> fields_;
};

// Edits a working copy of its engine that is listed as a handle of its own while the
// wizard is open, as a real wizard does. Copies stay until the wizard goes, so no copy's
// handle is ever handed out twice.
class MemWizard final : public TInterfacedObject, public virtual IEngineConfig {
 public:
  explicit MemWizard(MemSource* engine) : engine_(engine) {}
  int32_t QueryInterface(const TGUID& iid, void** obj) override { return QueryInterfaces<IEngineConfig>(this, iid, obj); }
  bool Init(NativeWindow, bool) override {
    Fina();
    copy_ = MakeIntf<MemSource>();
    copy_->rows_ = engine_->rows_;
    copies_.push_back(copy_);
    handle_ = HandleList().AddEngine(copy_.get());
    return true;
  }
  void Fina() override {
    if (copy_) HandleList().Remove(handle_);
    copy_.Reset();
  }
  bool IsBOF() override { return true; }
  bool IsEOF() override { return true; }
  bool CheckSucceed() override { return true; }
  void Update() override {
    if (copy_) engine_->rows_ = copy_->rows_;
  }
  void First() override {}
  void Last() override {}
  void Next() override {}
  void Previous() override {}
  IntfPtr<ITransPort> GetPort() override {
    if (!copy_) return nullptr;
    return static_cast<IImport*>(copy_.get());
  }

 private:
  MemSource* engine_;
  IntfPtr<MemSource> copy_;
  std::vector<IntfPtr<MemSource>> copies_;
  intptr_t handle_ = 0;
};

IntfPtr<IEngineConfig> MemSource::GetConfig() {
#ifdef TEST_WIZARD
  if (!wizard_) wizard_ = MakeIntf<MemWizard>(this);
#endif
  return wizard_;
}

MemField::MemField(MemSource* source, IInterface* owner, int32_t index)
    : TCustomTransField(owner), source_(source), index_(index) {}

int32_t MemField::Row() const { return source_->row_; }

int32_t MemField::GetDataType() {
#ifdef TEST_LAZY_TYPES
  if (!source_->opened_) return 0;
#endif
  return kColumns[index_].type;
}

bool MemField::IsEmpty() { return source_->row_ == source_->emptyRow_ || source_->row_ >= source_->rows_; }

std::string MemField::GetAsString() {
  if (Row() == source_->longRow_) return std::string(600, 'x');
  return (kColumns[index_].type == 0 ? "u" : "row") + std::to_string(Row());
}

IntfPtr<ITransEngine> CreateSource() {
#ifdef TEST_ONE_ENGINE
  static IntfPtr<ITransEngine> one = MakeIntf<MemSource>();
  return one;
#else
  return MakeIntf<MemSource>();
#endif
}

void Start(LibraryRegistration& r) {
  r.sourceFactory = &CreateSource;
  r.name = TEST_ENGINE_NAME;
  r.description = Ansi("内存表");
  r.engineTypes = kDirectionSource;
}

const LibraryStartup kStartup(&Start);

}  // namespace
}  // namespace ryn

// Test hooks: how many handles the library holds, and a log of the optional entry points.
extern "C" RYN_API int32_t TestLiveHandles(void) { return static_cast<int32_t>(ryn::HandleList().Count()); }

#ifdef TEST_APP_HOOKS
static void AppLog(const char* what) {
  if (const char* path = std::getenv("RYN_TEST_APP_LOG")) {
    if (FILE* f = std::fopen(path, "ab")) {
      std::fprintf(f, "%s %s\n", TEST_ENGINE_NAME, what);
      std::fclose(f);
    }
  }
}
// The host passes the adapter objects this library sees too: one adapter per process.
extern "C" RYN_API void AppInit(void* application, void* screen) {
  const bool shared = application == &ryn::ui::Application::Instance() && screen == &ryn::ui::Screen::Instance();
  AppLog(shared ? "AppInit" : "AppInit with objects of another adapter");
}
extern "C" RYN_API void AppFina(void) { AppLog("AppFina"); }
#endif
#ifdef TEST_APPFINA_ONLY
extern "C" RYN_API void AppFina(void) {
  if (const char* path = std::getenv("RYN_TEST_APP_LOG")) {
    if (FILE* f = std::fopen(path, "ab")) {
      std::fprintf(f, "%s AppFina\n", TEST_ENGINE_NAME);
      std::fclose(f);
    }
  }
}
#endif
