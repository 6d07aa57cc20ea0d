// The exchange file engine's settings as an options text, and the copying of settings
// between engines.
#include <algorithm>
#include <optional>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "rynengine/report_types.h"
#include "rynengine/rynexport.h"
#include "textloader/delimiter_finder.h"
#include "textloader/text_reader.h"
#include "textloader/text_writer.h"
#include "transport/options_text.h"

namespace ryn {
namespace {

const std::string& KeyUnitCode() { return Ansi("单位标识"); }
const std::string& KeyYear() { return Ansi("年度"); }
const std::string& KeyReportType() { return Ansi("报表类型"); }
const std::string& KeyPeriod() { return Ansi("时期"); }
const std::string& KeyFileName() { return Ansi("文件名"); }
const std::string& KeyDataType() { return Ansi("数据类型"); }
const std::string& KeyReportInfo() { return Ansi("报表信息"); }
const std::string& KeySelectedColumns() { return Ansi("选择列"); }

// A decimal integer, or -1.
int ParseDataType(std::string_view text) {
  std::string_view t = TrimBlanks(text);
  if (t.empty() || t.size() > 9) return -1;
  int v = 0;
  for (char c : t) {
    if (c < '0' || c > '9') return -1;
    v = v * 10 + (c - '0');
  }
  return v;
}

// The selected columns are lines "heading=field name", read with these rules.
void ConfigureColumnsReader(TAFTextReader& reader) {
  reader.SetDelimiter("=");
  reader.SetTrimValues(true);
}

// The column lines with every line end outside quotes as CR LF: an options file saved
// with LF (or CR) line ends keeps all of its columns. Quotes are found by the scanner the
// columns reader splits lines with, so what counts as quoted here is what it takes as
// quoted, and the result reads back to itself.
std::string WithCrLfLineEnds(std::string_view text) {
  const TDelimiterFinder crFinder("\r", "\"", "", ""), lfFinder("\n", "\"", "", "");
  const char* p = text.data();
  const char* const end = p + text.size();
  // A line end found outside quotes is where the next scan starts outside quotes, so a
  // scan's answer holds until p passes it: each finder walks the text once.
  auto next = [end](const TDelimiterFinder& f, const char* from) {
    ScanState st;
    const char* at = f.Find(from, end, st, true, nullptr);
    return at ? at : end;
  };
  const char* cr = next(crFinder, p);
  const char* lf = next(lfFinder, p);
  std::string out;
  out.reserve(text.size() + 16);
  for (;;) {
    const char* at = std::min(cr, lf);
    out.append(p, at);
    if (at == end) break;
    out += "\r\n";
    p = at + 1;
    if (*at == '\r' && p < end && *p == '\n') ++p;
    if (cr < p) cr = next(crFinder, p);
    if (lf < p) lf = next(lfFinder, p);
  }
  return out;
}

// Writes a heading or field name as it stands when the columns reader gives it back so
// (what stored texts hold), and in quotes otherwise: a quote, a line break, an "=" in a
// value or blanks at its ends.
class ColumnsWriter final : public TAFTextWriter {
 public:
  explicit ColumnsWriter(TStream* stream) : TAFTextWriter(stream) { SetDelimiter("="); }

 protected:
  void AppendFormatted(int index, std::string& out) const override {
    const std::string& text = GetValue(index);
    if (ReadsBack(index == 0 ? text + "=v" : "k=" + text, index == 0 ? text : "k", index == 0 ? "v" : text))
      out += text;
    else
      AppendQuoted(text, Quote(), out);
  }

 private:
  static bool ReadsBack(const std::string& line, std::string_view name, std::string_view value) {
    TMemoryStream stream(WithCrLfLineEnds(line + "\r\nk=v"));
    TAFTextReader reader;
    ConfigureColumnsReader(reader);
    reader.SetStream(&stream);
    if (reader.Eof() || reader.ValueCount() != 2 || reader.GetValue(0) != name || reader.GetValue(1) != value)
      return false;
    reader.Next();
    return !reader.Eof() && reader.GetValue(0) == "k" && reader.GetValue(1) == "v";
  }
};

}  // namespace

void TRynExport::SetReportType(std::string_view v) { FReportType = ReportTypeCode(ReportTypeName(v)); }

void TRynExport::SetDataType(uint8_t n) {
  if (n == FDataType) return;
  FDataType = n;
  FHeaderWritten = false;
  Values().Clear();
  if (n == 0 && FFile) {
    if (FWriteFailed) {
      // The failure was reported; starting the file over leaves behind what it lost,
      // and what was appended to the named file is cut off as closing it would.
      UndoWrites();
      FWriteFailed = false;
    }
    try {
      if (FReplacementPath.empty()) {
        // The sections written so far go to the file; the new content goes beside it.
        FFile->Flush();
        StartReplacement(FTargetPath);
      } else {
        FFile->SetSize(0);
      }
    } catch (const EStreamError&) {
      // The file cannot start over: it takes nothing more (the new content must never
      // go into the named file itself) and is let go as it was.
      WriteFailed();
      throw;
    }
    FTextWriter.SetStream(FFile.get());
  }
}

void TRynExport::SetSelectedColumnsText(std::string_view text) {
  TMemoryStream stream{WithCrLfLineEnds(TrimBlanks(text))};
  TAFTextReader reader;
  ConfigureColumnsReader(reader);
  reader.SetStream(&stream);
  for (; !reader.Eof(); reader.Next()) {
    // A column is kept as one "heading=field name" line, so a heading that holds "=" (a
    // quoted one) ends at its first "=", as every reader of the line takes it; merging by
    // that same heading keeps the columns what GetSelectedColumnsText gives back.
    const std::string line = std::string(reader.GetValue(0)) + "=" + std::string(reader.GetValue(1));
    std::string_view name = LineName(line);
    std::string_view value = LineValue(line);
    auto it = FSelectedColumns.begin();
    while (it != FSelectedColumns.end() && !SameTextAscii(LineName(*it), name)) ++it;
    if (value.empty()) {
      if (it != FSelectedColumns.end()) FSelectedColumns.erase(it);
    } else if (it != FSelectedColumns.end()) {
      *it = line;
    } else {
      FSelectedColumns.push_back(line);
    }
  }
}

std::string TRynExport::GetSelectedColumnsText() const {
  TMemoryStream stream;
  ColumnsWriter writer(&stream);
  for (const std::string& column : FSelectedColumns) {
    writer.Clear();
    writer.SetValue(0, LineName(column));
    writer.SetValue(1, LineValue(column));
    writer.WriteLine();
  }
  return stream.TakeData();
}

std::string TRynExport::GetOptions() {
  TMemoryStream stream;
  TOptionsWriter w(&stream);
  auto put = [&w](const std::string& key, std::string_view value) {
    if (!value.empty()) w.WriteOption(key, value);
  };
  put(KeyUnitCode(), FUnitCode);
  put(KeyYear(), FYear);
  put(KeyReportType(), FReportType);
  put(KeyPeriod(), FPeriod);
  put(KeyFileName(), FFileName);
  w.WriteOption(KeyDataType(), std::to_string(FDataType));
  std::string info = GetReportInfoText();
  put(KeyReportInfo(), TrimBlanks(info));
  put(KeySelectedColumns(), GetSelectedColumnsText());
  return stream.TakeData();
}

int32_t TRynExport::SetOptions(std::string_view options) {
  TMemoryStream stream{std::string(options)};
  TOPtionsReader reader(&stream);
  // The file named by the text is opened once every pair is applied, so that it opens
  // in the mode of the final data type: a file of data type 1 or 2 is never emptied by
  // a name that stands before its data type.
  std::optional<std::string> fileName;
  // Records of the file being let go that could not be written: reported (4135) at
  // once, answered with a code of their own at the end.
  bool lost = false;
  reader.RegisterHandler(KeyUnitCode(), [this](const std::string& v) { SetUnitCode(v); });
  reader.RegisterHandler(KeyYear(), [this](const std::string& v) { SetYear(v); });
  reader.RegisterHandler(KeyReportType(), [this](const std::string& v) { SetReportType(v); });
  reader.RegisterHandler(KeyPeriod(), [this](const std::string& v) { SetPeriod(v); });
  reader.RegisterHandler(KeyFileName(), [this, &fileName, &lost](const std::string& v) {
    // Let go of the old file now, so that a data type applied later cannot cut it.
    if (!OpenFile("")) lost = true;
    fileName = v;
  });
  reader.RegisterHandler(KeyDataType(), [this, &lost](const std::string& v) {
    int n = ParseDataType(v);
    if (n < 0 || n > 2) return;
    try {
      SetDataType(static_cast<uint8_t>(n));
    } catch (const EStreamError&) {
      // Starting the file over flushes what it holds first; reported already.
      lost = true;
    }
  });
  reader.RegisterHandler(KeyReportInfo(), [this](const std::string& v) { SetReportInfoText(v); });
  reader.RegisterHandler(KeySelectedColumns(), [this](const std::string& v) { SetSelectedColumnsText(v); });
  reader.Parse();
  if (!reader.UnknownKeys().empty() && FEvents)
    FEvents->OnMessage(kMsgUnknownOptionKeys, UnknownOptionKeysText(GetName(), reader.UnknownKeys()));
  if (fileName && !OpenFile(*fileName)) lost = true;
  if (lost) return kRynOptionsWriteFailed;
  return FFile ? 0 : kRynOptionsNoFile;
}

void TRynExport::Assign(const TRynExport& source) {
  FUnitCode = source.FUnitCode;
  FPeriod = source.FPeriod;
  FYear = source.FYear;
  FReportType = source.FReportType;
  FFileName = source.FFileName;
  SetDataType(source.FDataType);
  FSelectedColumns = source.FSelectedColumns;
  FReportInfo.SetText(source.GetReportInfoText());
}

}  // namespace ryn
