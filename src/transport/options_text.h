// The options text that carries an engine's configuration: entries "key=value" separated
// by ";" CR LF. Values holding "=", the separator or braces are written as blocks
// "{" CR LF TAB ... "}"; values with quotes or spaces in quotes with inner quotes tripled.
// TOPtionsReader hands every entry to the handler registered for its exact key.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace ryn {

class TStream;
class TAFTextReader;
class TAFTextWriter;

class TOptionsWriter {
 public:
  // The stream is not owned.
  explicit TOptionsWriter(TStream* stream);
  ~TOptionsWriter();
  TOptionsWriter(const TOptionsWriter&) = delete;
  TOptionsWriter& operator=(const TOptionsWriter&) = delete;

  // Appends one entry; the separator comes before every entry but the first. A key or
  // value that the reader would not give back as it is gets quoted instead.
  void WriteOption(std::string_view key, std::string_view value);

 private:
  std::unique_ptr<TAFTextWriter> writer_;
};

class TOPtionsReader {
 public:
  using Handler = std::function<void(const std::string& value)>;

  // The stream is not owned.
  explicit TOPtionsReader(TStream* stream);
  ~TOPtionsReader();
  TOPtionsReader(const TOPtionsReader&) = delete;
  TOPtionsReader& operator=(const TOPtionsReader&) = delete;

  // Keys match byte for byte; registering a key again replaces its handler.
  void RegisterHandler(std::string_view key, Handler handler);
  // Dispatches every entry in text order; entries without a handler are passed over. A
  // block value reaches its handler without the CR LF TAB that opens the block.
  void Parse();
  // Ends Parse before the next entry (for use inside a handler).
  void Stop() { stopped_ = true; }

 private:
  std::unique_ptr<TAFTextReader> reader_;
  std::map<std::string, Handler, std::less<>> handlers_;
  bool stopped_ = false;
};

// Configures a reader as the options reader does (used for checks as well).
void ConfigureOptionsReader(TAFTextReader& reader);

}  // namespace ryn
