// TRynExport, the exchange file engine: a destination that writes every posted record as
// one tab-separated line (unit code, year, report type, period, then the selected
// columns). One export into an opened file makes a section: a start marker for data types
// 1 ("@") and 2 ("@@"), the column headings, the records, and the end marker "@@".
// TRynWriter is its single field object, re-pointed at a column by every lookup.
// A file of data type 0 is written whole into a file beside the named one and put in its
// place when it is closed, so that a process that dies while writing leaves the previous
// file as it was; the named file stays locked for as long as the engine holds it.
// A write that fails (a full disk, a device error) is reported once; the file then takes
// nothing more, and letting it go leaves the named file as it was before it was opened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "rynengine/ini_store.h"
#include "rynengine/record_line.h"
#include "textloader/text_writer.h"
#include "transport/custom_field.h"
#include "transport/field_types.h"
#include "transport/interfaces.h"
#include "transport/object.h"

namespace ryn {

class TFileStream;
class TRynExport;

constexpr int32_t kRynMsgFileOpenFailed = 4134;         // warning: "存储文件打开失败!"
constexpr int32_t kRynMsgFileWriteFailed = 4135;        // error: "存储文件写入失败!"
constexpr int32_t kRynOptionsNoFile = 0x10001003;       // SetOptions: no file is open
// SetOptions: records already accepted could not be written (the sink heard 4135); the
// same value as the exported layer's write-failure code.
constexpr int32_t kRynOptionsWriteFailed = 0x10000005;
const std::string& RynEngineName();         // "Ryn文件"
const std::string& RynEngineDescription();  // "网络表Ryn数据文件"

class TRynWriter final : public TCustomFiledWriter {
 public:
  // owner: the engine's basic interface, to which reference counting is forwarded.
  TRynWriter(TRynExport* engine, IInterface* owner);

  std::string GetName() override;
  void SetName(std::string_view) override {}
  int32_t GetDataType() override { return kFtString; }
  int32_t GetIndex() override { return FIndex; }
  void SetAsString(std::string_view value) override;
  // Wide text is written in the process code page rather than dropped.
  void SetAsWideString(std::u16string_view value) override;

  int32_t FIndex = 0;

 private:
  TRynExport* FEngine;
};

// The engine's wizard lives in a layer above the engine (it uses the transfer frame and
// the proxies); the library that carries both installs its maker at start-up.
using TRynConfigMaker = IntfPtr<IEngineConfig> (*)(TRynExport& engine);
void SetRynConfigMaker(TRynConfigMaker maker);

class TRynExport final : public TInterfacedObject,
                         public virtual ITransEngine,
                         public virtual IExport,
                         public virtual IFieldTable,
                         public virtual IEngineAbandon,
                         public virtual IRecordPost,
                         public virtual IImplementorAccess {
 public:
  TRynExport();
  ~TRynExport() override;

  int32_t QueryInterface(const TGUID& iid, void** obj) override;

  // ITransEngine
  std::string GetName() override { return RynEngineName(); }
  int32_t GetEngineType() override { return kDirectionDestination; }
  IntfPtr<ITransPort> GetPort() override { return static_cast<IExport*>(this); }
  void SetEvents(ITransEvents* events) override { FEvents = events; }
  bool Init(int32_t direction) override { return direction == kDirectionDestination; }
  bool IsActive() override { return true; }
  void Fina() override;
  // A new configuration wizard showing this engine's settings, made by the wizard maker
  // installed with SetRynConfigMaker; nullptr while none is installed.
  IntfPtr<IEngineConfig> GetConfig() override;
  std::string GetOptions() override;
  int32_t SetOptions(std::string_view options) override;
  bool Established() override { return !FFileName.empty(); }

  // ITransPort / IExport
  int32_t GetFieldCount() override { return static_cast<int32_t>(FSelectedColumns.size()); }
  IntfPtr<ITransField> FindField(std::string_view name) override;
  IntfPtr<ITransField> GetField(int32_t index) override;
  void SetFieldCount(int32_t) override {}
  void SetFieldType(int32_t, int32_t) override {}
  void Append() override;
  void Post() override;

  // IEngineAbandon: closes the file without its end marker and lets go of everything
  // written since it was opened: a file of data type 0 keeps its previous content, one of
  // data type 1 or 2 is cut back to its size at opening, and a file this engine created
  // is removed.
  void Abandon() override { AbandonFile(); }

  // IFieldTable: the one field object, re-pointed like GetField does, uncounted.
  IFieldReader* ReaderAt(int32_t) override { return nullptr; }
  IFieldWriter* WriterAt(int32_t index) override;
  IImport* SourcePort() override { return nullptr; }
  IExport* DestinationPort() override { return this; }

  // IRecordPost: a text goes into its column at once, as the field's SetAsString puts it;
  // false for an index that is no selected column (the field path ignores it too).
  bool HoldText(int32_t index, std::string_view text) override;
  // A record whose texts come in column order, right after Append, is formatted straight
  // into its line; anything else goes value by value.
  bool PostRecordTexts(int32_t count, const int32_t* fields, const char* const* texts,
                       const int32_t* lengths) override;

  // IImplementorAccess
  TObject* GetImplementor() override { return this; }

  // Settings; each is also the handler of one option key.
  void SetUnitCode(std::string_view v) { FUnitCode = v; }
  void SetYear(std::string_view v) { FYear = v; }
  void SetReportType(std::string_view v);
  void SetPeriod(std::string_view v) { FPeriod = v; }
  // Sets the name and opens the file with the current data type's mode. Raises
  // EStreamError (after reporting 4135) when the previous file's records could not be
  // written; the new file is opened all the same.
  void SetFileName(std::string_view name);
  // Takes the name alone; the file opens when the first record is appended.
  void SetFileNameOnly(std::string_view name) { FFileName = name; }
  // A new data type starts a new section; data type 0 starts the file over beside the
  // named one. Raises EStreamError (after reporting 4135) when the file cannot start over:
  // it then takes no more records and is let go as it was.
  void SetDataType(uint8_t n);
  void SetReportInfoText(std::string_view text) { FReportInfo.SetText(text); }
  // Merges "name=value" lines into the selected columns; an empty value removes the name.
  void SetSelectedColumnsText(std::string_view text);
  std::string GetReportInfoText() const { return FReportInfo.GetText(); }
  std::string GetSelectedColumnsText() const;
  // Copies another engine's settings without opening or closing a file.
  void Assign(const TRynExport& source);

  const std::string& UnitCode() const { return FUnitCode; }
  const std::string& Year() const { return FYear; }
  const std::string& ReportType() const { return FReportType; }
  const std::string& Period() const { return FPeriod; }
  const std::string& FileName() const { return FFileName; }
  uint8_t DataType() const { return FDataType; }
  bool FileOpen() const { return FFile != nullptr; }
  const std::vector<std::string>& SelectedColumns() const { return FSelectedColumns; }
  std::vector<std::string>& SelectedColumns() { return FSelectedColumns; }
  TIniStore& ReportInfo() { return FReportInfo; }

 private:
  friend class TRynWriter;

  // Closes any open file (without end marker), takes the name, creates its directory
  // and opens it by the data type's mode; a failure to open leaves no file open. False
  // when records of the previous file were lost on closing (reported as 4135).
  bool OpenFile(std::string_view name);
  // Closes the file; a file written beside the named one is put in its place. Raises
  // EStreamError when the bytes could not be written or put in place; the file is then
  // still open, for AbandonFile.
  void CloseFile();
  // Lets go of the open file after a failure, so that the named file keeps its previous
  // content: what was written beside it is removed, and what was appended to it since it
  // was opened is cut off again (a partial section is worse than none).
  void AbandonFile();
  // Drops what the open file has not written yet and cuts an appended file back to its
  // size when opened; a file written beside the named one is left to its owner.
  void UndoWrites();
  // Starts writing into a new file beside the named file, which stays open for its lock.
  void StartReplacement(const OsPath& named);
  // Closes the file; a failed write is reported and answered with false, as is a file
  // whose failure was reported before.
  bool CloseFileReported();
  void ReportNoFile();
  // A write failed (disk full, device error): the sink hears of it, the caller gets the
  // error, so no record is lost silently.
  void ReportWriteFailed();
  // The first failed write into the open file: reported, and the file takes no more
  // writes, so it never holds later records behind a gap.
  void WriteFailed();
  // Raises EStreamError, without reporting again, when the open file failed before.
  void CheckNotFailed();
  void WriteHeader();
  // The text writer with the current record's values in it (Append and a record posted
  // whole leave them in FRecord until something asks for them).
  TAFTextWriter& Values();

  IntfPtr<ITransEvents> FEvents;
  TAFTextWriter FTextWriter;
  TRecordLine FRecord;
  // Whose values the writer lacks: none, the record Append started, or the record
  // PostRecordTexts wrote.
  enum class TPending : uint8_t { kNone, kStarted, kPosted };
  TPending FPending = TPending::kNone;
  TIniStore FReportInfo;
  std::vector<std::string> FSelectedColumns;
  std::unique_ptr<TRynWriter> FFieldWriter;
  std::string FUnitCode, FPeriod, FYear, FReportType, FFileName;
  uint8_t FDataType = 0;
  bool FHeaderWritten = false;
  std::unique_ptr<TFileStream> FFile;
  // A write into FFile failed and was reported.
  bool FWriteFailed = false;
  // The named file's size when it was opened: where an appended file is cut back to.
  int64_t FOpenSize = 0;
  // The named file did not exist before this engine opened it.
  bool FCreatedTarget = false;
  // The full path of the named file while one is open. While FFile is the file beside it:
  // the named file, held for its lock, and the new file's path.
  OsPath FTargetPath;
  std::unique_ptr<TFileStream> FLockFile;
  OsPath FReplacementPath;
};

}  // namespace ryn
