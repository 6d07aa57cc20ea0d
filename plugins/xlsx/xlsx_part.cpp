#include "xlsx/xlsx_part.h"

#include <expat.h>
#include <zip.h>

#include "platform/codepage.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace ryn {
namespace {

// Bytes handed to expat at a time: a sheet of a million rows streams through this.
constexpr int kChunk = 64 * 1024;

}  // namespace

TZipArchive::~TZipArchive() {
  if (zip_) zip_discard(zip_);
}

bool TZipArchive::Open(const std::string& path, std::string& error) {
  OsPath os;
  if (!ToOsPath(path, os)) {
    error = Ansi("文件名无效");
    return false;
  }
  int code = 0;
  zip_ = zip_open(os.c_str(), ZIP_RDONLY, &code);
  if (!zip_) {
    zip_error_t e;
    zip_error_init_with_code(&e, code);
    error = code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS ? Ansi("不是xlsx工作簿（不是zip文件）")
                                                           : FromUtf8(zip_error_strerror(&e));
    zip_error_fini(&e);
    return false;
  }
  return true;
}

bool TZipArchive::Has(const std::string& entry) const {
  return zip_ && zip_name_locate(zip_, entry.c_str(), ZIP_FL_NOCASE) >= 0;
}

std::string_view XmlLocal(const char* name) {
  std::string_view n(name);
  const size_t colon = n.rfind(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

const char* XmlAttr(const char** atts, std::string_view name) {
  for (; atts && *atts; atts += 2)
    if (XmlLocal(atts[0]) == name) return atts[1];
  return nullptr;
}

TXmlPart::~TXmlPart() { Close(); }

void TXmlPart::Close() {
  if (parser_) XML_ParserFree(parser_);
  parser_ = nullptr;
  if (file_) zip_fclose(file_);
  file_ = nullptr;
  ended_ = true;
}

bool TXmlPart::Open(TZipArchive& archive, const std::string& entry, std::string& error) {
  Close();
  entry_ = entry;
  file_ = archive.Handle() ? zip_fopen(archive.Handle(), entry.c_str(), ZIP_FL_NOCASE) : nullptr;
  if (!file_) {
    error = FormatText(Ansi("工作簿缺少“%s”").c_str(), entry.c_str());
    return false;
  }
  parser_ = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser_, this);
  XML_SetElementHandler(parser_, &StartThunk, &EndThunk);
  XML_SetCharacterDataHandler(parser_, &TextThunk);
  suspended_ = lastFed_ = ended_ = false;
  return true;
}

void TXmlPart::StartThunk(void* self, const char* name, const char** atts) {
  static_cast<TXmlPart*>(self)->OnStart(XmlLocal(name), atts);
}

void TXmlPart::EndThunk(void* self, const char* name) { static_cast<TXmlPart*>(self)->OnEnd(XmlLocal(name)); }

void TXmlPart::TextThunk(void* self, const char* s, int len) {
  static_cast<TXmlPart*>(self)->OnText(std::string_view(s, static_cast<size_t>(len)));
}

void TXmlPart::Stop() { XML_StopParser(parser_, XML_TRUE); }

bool TXmlPart::Resume(std::string& error) {
  while (!ended_) {
    XML_Status st;
    if (suspended_) {
      st = XML_ResumeParser(parser_);
    } else {
      void* buf = XML_GetBuffer(parser_, kChunk);
      const zip_int64_t n = buf ? zip_fread(file_, buf, kChunk) : -1;
      if (n < 0) {
        error = FormatText(Ansi("读取“%s”出错：%s").c_str(), entry_.c_str(),
                           FromUtf8(file_ ? zip_file_strerror(file_) : "out of memory").c_str());
        Close();
        return false;
      }
      lastFed_ = n == 0;
      st = XML_ParseBuffer(parser_, static_cast<int>(n), lastFed_);
    }
    if (st == XML_STATUS_ERROR) {
      error = FormatText(Ansi("“%s”不是完好的XML：%s（第%lu行第%lu列）").c_str(), entry_.c_str(),
                         XML_ErrorString(XML_GetErrorCode(parser_)),
                         static_cast<unsigned long>(XML_GetCurrentLineNumber(parser_)),
                         static_cast<unsigned long>(XML_GetCurrentColumnNumber(parser_)));
      Close();
      return false;
    }
    suspended_ = st == XML_STATUS_SUSPENDED;
    if (!suspended_ && lastFed_) ended_ = true;
    if (suspended_) return true;
  }
  return true;
}

bool TXmlPart::ReadAll(std::string& error) {
  while (!ended_)
    if (!Resume(error)) return false;
  Close();
  return true;
}

}  // namespace ryn
