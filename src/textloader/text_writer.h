// TAFTextWriter joins values into lines: values are separated by Delimiter, lines by
// LineBreak written before every line but the first of the stream (a stream never ends
// with a line break). A value that would not read back as itself is enclosed in block
// marks or in quotes (inner quotes tripled).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textloader/delimiter_finder.h"

namespace ryn {

class TStream;

class TAFTextWriter {
 public:
  TAFTextWriter();
  explicit TAFTextWriter(TStream* stream);
  virtual ~TAFTextWriter();
  TAFTextWriter(const TAFTextWriter&) = delete;
  TAFTextWriter& operator=(const TAFTextWriter&) = delete;

  // The stream is not owned. Call again after cutting the stream to length 0.
  void SetStream(TStream* stream) {
    stream_ = stream;
    openEmptyLine_ = false;
  }
  TStream* Stream() const { return stream_; }

  const std::string& LineBreak() const { return lineBreak_; }
  void SetLineBreak(std::string_view v) { lineBreak_ = v; Reconfigure(); }
  const std::string& Delimiter() const { return delimiter_; }
  void SetDelimiter(std::string_view v) { delimiter_ = v; Reconfigure(); }
  // An empty quote switches quoting off.
  const std::string& Quote() const { return quote_; }
  void SetQuote(std::string_view v) { quote_ = v; Reconfigure(); }
  // Block marks are used only when both are set.
  const std::string& BlockOpen() const { return blockOpen_; }
  void SetBlockOpen(std::string_view v) { blockOpen_ = v; Reconfigure(); }
  const std::string& BlockClose() const { return blockClose_; }
  void SetBlockClose(std::string_view v) { blockClose_ = v; Reconfigure(); }

  void Clear() { count_ = 0; }
  // Drops values from the end or appends empty ones.
  void SetCount(int count);
  // Grows the line with empty values when index is beyond its end.
  void SetValue(int index, std::string_view text);
  const std::string& GetValue(int index) const {
    return index >= 0 && index < count_ ? values_[static_cast<size_t>(index)] : Empty();
  }
  int Count() const { return count_; }

  // Writes the current values as one line; they stay as they are.
  void WriteLine();
  // Writes a line its caller formatted (values in their written form, delimiters between):
  // line is the line break followed by the line, and the break goes only where WriteLine
  // would put one. The current values are not touched.
  void WriteFormattedLine(std::string_view line);
  // Appends value in the form WriteLine gives a value of this writer's standard form.
  void AppendValue(std::string_view value, std::string& out) const { AppendStandard(value, out); }
  // Whether AppendValue surely writes value as it is (false: it may not).
  bool WritesAsItIs(std::string_view value) const;
  // WritesAsItIs for a caller that looks at many values itself: a value goes as it is when
  // none of its bytes is marked in stops and its last byte is not marked in lastStops.
  struct PlainBytes {
    const uint8_t* stops;
    const uint8_t* lastStops;
  };
  // False when the writer must look at each value itself (WritesAsItIs).
  bool GetPlainBytes(PlainBytes& bytes) const;
  // Whether value goes as it is by bytes (four bytes a round with one branch).
  static bool IsPlain(std::string_view value, const PlainBytes& bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(value.data());
    const auto* end = p + value.size();
    while (end - p >= 4 && !(bytes.stops[p[0]] | bytes.stops[p[1]] | bytes.stops[p[2]] | bytes.stops[p[3]])) p += 4;
    while (p < end && !bytes.stops[*p]) ++p;
    return p == end && (value.empty() || !bytes.lastStops[static_cast<uint8_t>(value.back())]);
  }
  void WriteText(std::string_view text);

  // The value at index as it would be written.
  std::string FormatValue(int index) const;
  // Every quote tripled, then enclosed in quotes (a lone quote gives three and no more).
  static std::string QuoteValue(std::string_view value, std::string_view quote);
  static void AppendQuoted(std::string_view value, std::string_view quote, std::string& out);

 protected:
  // Appends the written form of the value at index; derived writers may choose another
  // form for the readers they write for.
  virtual void AppendFormatted(int index, std::string& out) const;
  // The standard choice between plain, block and quoted form.
  void AppendStandard(std::string_view value, std::string& out) const;

 private:
  static const std::string& Empty();
  struct Marks;
  void Reconfigure();
  const Marks& GetMarks() const;
  // AppendStandard for a value that holds a mark, or in a code page whose marks may end a
  // character.
  [[gnu::noinline]] void AppendMarked(std::string_view value, std::string& out, const Marks& m) const;

  TStream* stream_ = nullptr;
  std::string lineBreak_ = "\r\n";
  std::string delimiter_ = ",";
  std::string quote_ = "\"";
  std::string blockOpen_, blockClose_;
  std::vector<std::string> values_;
  int count_ = 0;
  std::string line_;
  // An empty line was written at the start of the stream: it left no byte, so the next
  // line still needs the break that ends it.
  bool openEmptyLine_ = false;
  mutable std::unique_ptr<Marks> marks_;
};

}  // namespace ryn
