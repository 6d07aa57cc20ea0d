// TAFTextReader splits a byte stream into lines and each line into values: lines end at
// LineBreak, values at Delimiter, neither counting inside quotes or inside (nested) blocks.
// The stream is read through one window (4096 bytes) that is refilled by moving the unread
// tail to its front; values are copied out of the window once per line.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textloader/delimiter_finder.h"

namespace ryn {

class TStream;

class TAFTextReader {
 public:
  static constexpr size_t kBufferSize = 4096;

  TAFTextReader();
  // Starts at the stream's first line.
  explicit TAFTextReader(TStream* stream);
  ~TAFTextReader();
  TAFTextReader(const TAFTextReader&) = delete;
  TAFTextReader& operator=(const TAFTextReader&) = delete;

  // The stream is not owned. Setting it starts over at its first line.
  void SetStream(TStream* stream);
  TStream* Stream() const { return stream_; }

  // An empty quote switches quote handling off; blocks are on when both marks are set.
  const std::string& Quote() const { return quote_; }
  void SetQuote(std::string_view v) { quote_ = v; Reconfigure(); }
  const std::string& Delimiter() const { return delimiter_; }
  void SetDelimiter(std::string_view v) { delimiter_ = v; Reconfigure(); }
  const std::string& LineBreak() const { return lineBreak_; }
  void SetLineBreak(std::string_view v) { lineBreak_ = v; Reconfigure(); }
  const std::string& BlockOpen() const { return blockOpen_; }
  void SetBlockOpen(std::string_view v) { blockOpen_ = v; Reconfigure(); }
  const std::string& BlockClose() const { return blockClose_; }
  void SetBlockClose(std::string_view v) { blockClose_ = v; Reconfigure(); }
  // Remove bytes with codes up to 32 from both ends of every value.
  bool TrimValues() const { return trimValues_; }
  void SetTrimValues(bool v) { trimValues_ = v; }

  // Rewinds the stream and reads its first line.
  void First();
  // Reads the next line, replacing the values of the current one.
  void Next();
  // No stream, or the stream is used up and the current line has no values.
  bool Eof() const;
  // The value at a 0-based index of the current line; empty text outside the line. The
  // view is valid until the next line is read.
  std::string_view GetValue(int index) const {
    if (index < 0 || index >= count_) return {};
    const Span& s = spans_[static_cast<size_t>(index)];
    return std::string_view(values_.data() + s.offset, s.length);
  }
  int ValueCount() const { return count_; }
  // Whether the value at index was written as a block (its marks removed).
  bool IsBlock(int index) const {
    return index >= 0 && index < count_ && spans_[static_cast<size_t>(index)].block;
  }

  // The window size; tests shrink it to put reloads anywhere in a line. Kept above what
  // a decision of the scanner needs to see at once.
  void SetBufferSize(size_t size);

 private:
  struct Span {
    size_t offset, length;
    bool block;
  };

  void Reconfigure();
  const TDelimiterFinder& LineFinder();
  const TDelimiterFinder& ValueFinder();
  void ReadLine();
  void Fill();
  // noQuotes: the line scan met no quote, so the line needs no quote handling.
  void Split(const char* p, const char* end, bool noQuotes);
  void SplitPlain(const char* p, const char* end, char delim);
  void Store(const char* b, const char* e);
  // A value that needs no unquoting: a part of the line copied into values_ at base.
  void StorePlain(const char* lineStart, const char* b, const char* e);
  Span& NewSpan();

  TStream* stream_ = nullptr;
  std::string quote_ = "\"";
  std::string delimiter_ = ";";
  std::string lineBreak_ = "\r\n";
  std::string blockOpen_, blockClose_;
  bool trimValues_ = false;

  std::unique_ptr<TDelimiterFinder> lineFinder_, valueFinder_;
  std::vector<char> buffer_;
  size_t pos_ = 0;  // first unread byte
  size_t end_ = 0;  // end of the bytes in the window
  bool streamDone_ = false;
  std::string line_;  // a line assembled from several loads
  // The values of the current line, one after the other in one string.
  std::string values_;
  std::vector<Span> spans_;
  int count_ = 0;
};

}  // namespace ryn
