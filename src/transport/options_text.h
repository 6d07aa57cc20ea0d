// The options text that carries an engine's configuration: entries "key=value" separated
// by ";" CR LF. Values holding "=", the separator or braces are written as blocks
// "{" CR LF TAB ... "}"; values with quotes or spaces in quotes with inner quotes tripled.
// TOPtionsReader hands every entry to the handler registered for its exact key.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
  // block value reaches its handler without the CR LF TAB that opens the block. A value
  // that opens with a block ends where the block closes, even without a ";" after it:
  // what follows is the next entry.
  void Parse();
  // Ends Parse before the next entry (for use inside a handler).
  void Stop() { stopped_ = true; }
  // The keys of the last Parse that no handler took, in text order, each once (empty
  // entries aside): an engine names them in a warning, so that a mistyped key is seen.
  const std::vector<std::string>& UnknownKeys() const { return unknown_; }

 private:
  TStream* stream_;
  std::unique_ptr<TStream> entries_;  // the stream's text as the reader splits it
  std::unique_ptr<TAFTextReader> reader_;
  std::map<std::string, Handler, std::less<>> handlers_;
  std::vector<std::string> unknown_;
  bool stopped_ = false;
};

// The warning an engine sends for keys of its options text that it does not know (a
// warning, not a refusal: texts of other versions must still load), and its text:
// "<engine>的选项中有不认识的键：“k1”、“k2”，已忽略".
constexpr int32_t kMsgUnknownOptionKeys = 0x2006;
std::string UnknownOptionKeysText(std::string_view engineName, const std::vector<std::string>& keys);

// Configures a reader as the options reader does (used for checks as well).
void ConfigureOptionsReader(TAFTextReader& reader);

}  // namespace ryn
