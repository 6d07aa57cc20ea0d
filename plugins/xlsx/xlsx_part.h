// Reading the parts of a workbook package: the zip archive (libzip), and one XML part at a
// time through expat, fed from the zip entry in chunks so that a part is never held whole.
// A part's handler sees element and attribute names without their namespace prefix: the
// writers differ in the prefixes they choose, never in the local names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct zip;
struct zip_file;
struct XML_ParserStruct;

namespace ryn {

class TZipArchive {
 public:
  TZipArchive() = default;
  ~TZipArchive();
  TZipArchive(const TZipArchive&) = delete;
  TZipArchive& operator=(const TZipArchive&) = delete;

  // path in the process code page; false with the reason (in the process code page).
  bool Open(const std::string& path, std::string& error);
  bool Has(const std::string& entry) const;
  zip* Handle() const { return zip_; }

 private:
  zip* zip_ = nullptr;
};

// The value of the attribute whose local name is name, or nullptr.
const char* XmlAttr(const char** atts, std::string_view name);
// name without its namespace prefix.
std::string_view XmlLocal(const char* name);

class TXmlPart {
 public:
  virtual ~TXmlPart();
  TXmlPart(const TXmlPart&) = delete;
  TXmlPart& operator=(const TXmlPart&) = delete;

  // Starts reading entry of the archive, which must outlive the reading.
  bool Open(TZipArchive& archive, const std::string& entry, std::string& error);
  // Reads on until a handler calls Stop (true, more may follow) or the part ends (true,
  // Ended() then holds); false with the reason on a zip or XML error.
  bool Resume(std::string& error);
  // Reads the whole part.
  bool ReadAll(std::string& error);
  bool Ended() const { return ended_; }
  void Close();

 protected:
  TXmlPart() = default;
  virtual void OnStart(std::string_view name, const char** atts) = 0;
  virtual void OnEnd(std::string_view name) = 0;
  virtual void OnText(std::string_view) {}
  // From a handler: Resume returns once the current element's handler is done.
  void Stop();

 private:
  static void StartThunk(void* self, const char* name, const char** atts);
  static void EndThunk(void* self, const char* name);
  static void TextThunk(void* self, const char* s, int len);

  XML_ParserStruct* parser_ = nullptr;
  zip_file* file_ = nullptr;
  std::string entry_;
  bool suspended_ = false;
  bool lastFed_ = false;
  bool ended_ = true;
};

}  // namespace ryn
