#include "rynengine/rynexport.h"

#include <atomic>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/stream.h"
#include "platform/text.h"

namespace ryn {

const std::string& RynEngineName() { return Ansi("Ryn文件"); }
const std::string& RynEngineDescription() { return Ansi("网络表Ryn数据文件"); }

TRynWriter::TRynWriter(TRynExport* engine, IInterface* owner) : TCustomFiledWriter(owner), FEngine(engine) {}

std::string TRynWriter::GetName() {
  const auto& cols = FEngine->FSelectedColumns;
  if (FIndex < 0 || static_cast<size_t>(FIndex) >= cols.size()) return std::string();
  return std::string(LineValue(cols[static_cast<size_t>(FIndex)]));
}

void TRynWriter::SetAsString(std::string_view value) { FEngine->Values().SetValue(FIndex + 4, value); }

void TRynWriter::SetAsWideString(std::u16string_view value) { SetAsString(ToNarrow(value)); }

TRynExport::TRynExport() {
  FFieldWriter = std::make_unique<TRynWriter>(this, this);
  FTextWriter.SetDelimiter("\t");
}

TRynExport::~TRynExport() {
  if (FFile) {
    try {
      Fina();
    } catch (...) {
      // A destructor cannot report a failed write; the host saw Fina's own failure.
    }
  }
}

int32_t TRynExport::QueryInterface(const TGUID& iid, void** obj) {
  // The attached sink answers for the engine.
  if (AnswerFor(FEvents, iid, obj)) return kS_OK;
  return QueryInterfaces<ITransEngine, IExport, IFieldTable, IEngineAbandon, IRecordPost, IImplementorAccess>(this, iid,
                                                                                                          obj);
}

bool TRynExport::HoldText(int32_t index, std::string_view text) {
  if (index < 0 || static_cast<size_t>(index) >= FSelectedColumns.size()) return false;
  Values().SetValue(index + 4, text);
  return true;
}

bool TRynExport::PostRecordTexts(int32_t count, const int32_t* fields, const char* const* texts,
                                 const int32_t* lengths) {
  if (FPending != TPending::kStarted || !FFile || FWriteFailed) return false;
  if (!FRecord.Format(FTextWriter, count, fields, texts, lengths)) return false;
  FPending = TPending::kPosted;
  try {
    FTextWriter.WriteFormattedLine(FRecord.Text());
  } catch (const ERynError&) {
    WriteFailed();
    throw;
  }
  return true;
}

TAFTextWriter& TRynExport::Values() {
  if (FPending != TPending::kNone) {
    FRecord.Restore(FTextWriter, FPending == TPending::kPosted);
    FPending = TPending::kNone;
  }
  return FTextWriter;
}

IFieldWriter* TRynExport::WriterAt(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FSelectedColumns.size()) return nullptr;
  FFieldWriter->FIndex = index;
  return FFieldWriter.get();
}

namespace {
std::atomic<TRynConfigMaker> gConfigMaker{nullptr};
}  // namespace

void SetRynConfigMaker(TRynConfigMaker maker) { gConfigMaker.store(maker); }

IntfPtr<IEngineConfig> TRynExport::GetConfig() {
  TRynConfigMaker maker = gConfigMaker.load();
  return maker ? maker(*this) : nullptr;
}

IntfPtr<ITransField> TRynExport::GetField(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FSelectedColumns.size()) return nullptr;
  FFieldWriter->FIndex = index;
  return static_cast<ITransField*>(FFieldWriter.get());
}

IntfPtr<ITransField> TRynExport::FindField(std::string_view name) {
  for (size_t i = 0; i < FSelectedColumns.size(); ++i) {
    if (SameTextAscii(LineValue(FSelectedColumns[i]), name)) return GetField(static_cast<int32_t>(i));
  }
  return nullptr;
}

namespace {

// Beside the named file, in the same folder, so that putting it in place is one rename
// within one file system.
OsPath ReplacementPathFor(const OsPath& full) { return OsPath{full.bytes + ".~writing"}; }

}  // namespace

void TRynExport::StartReplacement(const OsPath& named) {
  // The file a link names is the one replaced, as writing through the link would; the
  // new file takes the old one's permissions.
  const OsPath full = ResolveLinks(named);
  // The lock on the named file keeps other openers out while it keeps its old bytes; the
  // lock on the new file keeps them out once it has taken the name.
  auto file = std::make_unique<TFileStream>(ReplacementPathFor(full), FileMode::kCreate, true);
  // Synced before it takes the name: its bytes go to the device while records still come.
  file->WriteBehind();
  CopyFileMode(full, ReplacementPathFor(full));
  FLockFile = std::move(FFile);
  FFile = std::move(file);
  FReplacementPath = ReplacementPathFor(full);
  FTargetPath = full;
}

void TRynExport::CloseFile() {
  if (FFile) {
    if (FReplacementPath.empty()) {
      FFile->Flush();
    } else {
      FFile->Sync();
#ifdef _WIN32
      // Windows renames no file that is open without delete sharing and puts nothing in the
      // place of a name that an open file holds: both are closed first, and the name is
      // without a lock for the moment of the rename.
      FFile.reset();
      FLockFile.reset();
#endif
      if (!RenameFile(FReplacementPath, FTargetPath)) throw EStreamError(Ansi("存储文件写入失败!"));
    }
  }
  FTextWriter.SetStream(nullptr);
  // The named file's lock is let go last: until the new file is in place and closed,
  // some lock is always held on the name.
  FFile.reset();
  FLockFile.reset();
  FReplacementPath = FTargetPath = OsPath{};
  FWriteFailed = false;
  FCreatedTarget = false;
}

void TRynExport::UndoWrites() {
  FFile->DiscardUnwritten();
  if (!FReplacementPath.empty()) return;
  try {
    FFile->SetSize(FOpenSize);
  } catch (const EStreamError&) {
    // A device, not a file: it has nothing to cut.
  }
}

void TRynExport::AbandonFile() {
  FTextWriter.SetStream(nullptr);
  if (FFile) UndoWrites();
  FFile.reset();
  if (!FReplacementPath.empty()) DeleteFile(FReplacementPath);
  // A file that was not there before goes again, after its lock is let go.
  const OsPath created = FCreatedTarget ? FTargetPath : OsPath{};
  FCreatedTarget = false;
  FReplacementPath = FTargetPath = OsPath{};
  FLockFile.reset();
  if (!created.bytes.empty()) DeleteFile(created);
  FWriteFailed = false;
}

bool TRynExport::CloseFileReported() {
  if (FWriteFailed) {
    AbandonFile();
    return false;
  }
  try {
    CloseFile();
    return true;
  } catch (const EStreamError&) {
    AbandonFile();
    ReportWriteFailed();
    return false;
  }
}

bool TRynExport::OpenFile(std::string_view name) {
  FFileName = name;
  FHeaderWritten = false;
  // A file that is open is closed at once, without end marker.
  const bool closed = CloseFileReported();
  if (FFileName.empty()) return closed;
  // A bare name lives in the current directory, like any relative name. The directory
  // is taken as the file system gives it: its name may hold characters the process code
  // page lacks. A name that does not convert opens nothing.
  OsPath full;
  if (!ToOsPath(FFileName, full)) return closed;
  full = ExpandFileName(full);
  OsPath dir = ExtractFilePath(full);
  if (!DirectoryExists(dir) && !ForceDirectories(dir)) return closed;
  try {
    // Data types 1 and 2 append sections to the file itself; data type 0 writes a new
    // whole file and leaves the named one untouched until it is closed.
    bool keep = FileExists(full);
    auto file = std::make_unique<TFileStream>(full, keep ? FileMode::kOpenWrite : FileMode::kCreate, true);
    FOpenSize = file->Seek(0, SeekOrigin::kEnd);
    FFile = std::move(file);
    FTargetPath = full;
    FCreatedTarget = !keep;
    if (FDataType == 0) StartReplacement(full);
    FTextWriter.SetStream(FFile.get());
  } catch (const ERynError&) {
    // Reported by the next Append or Post, and by SetOptions' result.
    FFile.reset();
    FLockFile.reset();
    FReplacementPath = FTargetPath = OsPath{};
  }
  return closed;
}

void TRynExport::SetFileName(std::string_view name) {
  if (!OpenFile(name)) throw EStreamError(Ansi("存储文件写入失败!"));
}

void TRynExport::ReportNoFile() {
  if (FEvents) FEvents->OnMessage(kRynMsgFileOpenFailed, Ansi("存储文件打开失败!"));
}

void TRynExport::ReportWriteFailed() {
  if (FEvents) FEvents->OnMessage(kRynMsgFileWriteFailed, Ansi("存储文件写入失败!"));
}

void TRynExport::WriteFailed() {
  FWriteFailed = true;
  ReportWriteFailed();
}

void TRynExport::CheckNotFailed() {
  if (FWriteFailed) throw EStreamError(Ansi("存储文件写入失败!"));
}

void TRynExport::Append() {
  if (!FFile && !FFileName.empty()) OpenFile(std::string(FFileName));
  if (!FFile) {
    ReportNoFile();
    return;
  }
  CheckNotFailed();
  try {
    if (!FHeaderWritten) WriteHeader();
  } catch (const ERynError&) {
    WriteFailed();
    throw;
  }
  FRecord.Start(FTextWriter, FUnitCode, FYear, FReportType, FPeriod, FSelectedColumns.size());
  FPending = TPending::kStarted;
}

void TRynExport::WriteHeader() {
  if (FDataType == 0) {
    FFile->SetSize(0);
    FTextWriter.SetStream(FFile.get());
    Values().Clear();
  } else {
    Values().Clear();
    Values().SetValue(0, FDataType == 1 ? "@" : "@@");
    Values().WriteLine();
    Values().Clear();
  }
  for (size_t i = 0; i < FSelectedColumns.size(); ++i)
    Values().SetValue(static_cast<int>(i), LineName(FSelectedColumns[i]));
  Values().WriteLine();
  FHeaderWritten = true;
}

void TRynExport::Post() {
  if (!FFile) {
    ReportNoFile();
    return;
  }
  CheckNotFailed();
  try {
    Values().WriteLine();
  } catch (const ERynError&) {
    WriteFailed();
    throw;
  }
}

void TRynExport::Fina() {
  if (FWriteFailed) {
    // Reported when it failed; what the file holds is let go.
    AbandonFile();
    return;
  }
  try {
    if (FFile) {
      Values().Clear();
      Values().SetValue(0, "@@");
      Values().WriteLine();
    }
    CloseFile();
  } catch (const ERynError&) {
    // The file is closed all the same; what could not be written is reported.
    AbandonFile();
    ReportWriteFailed();
    throw;
  }
}

}  // namespace ryn
