// Converting a stream of text between encodings a chunk at a time, so that a file is
// never held whole: a character split across two chunks is completed from the next one,
// and bytes that form no character of the source (or a character the target lacks)
// become "?".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ryn {

class TBmpTable;

class TTranscoder {
 public:
  // Throws ERynError when the system knows no such conversion.
  TTranscoder(const std::string& to, const std::string& from);
  ~TTranscoder();
  TTranscoder(const TTranscoder&) = delete;
  TTranscoder& operator=(const TTranscoder&) = delete;

  // Appends the conversion of in to out; the bytes of a character that in ends inside
  // wait for the next call.
  void Convert(std::string_view in, std::string& out);
  // The stream ended: waiting bytes become "?".
  void Finish(std::string& out);
  // A whole text on its own: out is replaced by its conversion.
  void ConvertAll(std::string_view in, std::string& out) {
    out.clear();
    Convert(in, out);
    Finish(out);
  }

  // How many "?" the conversions so far put in: for bytes that are no character of the
  // source encoding, and for characters the target lacks. Into UTF-8 every character
  // fits, so there every replacement is of bad bytes; from UTF-8 the two are told apart;
  // between two other encodings iconv cannot tell them apart and both count as lacking
  // (on every system, so that the counts are the same everywhere).
  struct Replacements {
    size_t badInput = 0;
    size_t unmapped = 0;
    size_t Total() const { return badInput + unmapped; }
  };
  const Replacements& Replaced() const { return replaced_; }
  void ResetReplaced() { replaced_ = {}; }
  // The byte put in for bad input instead of "?". Into UTF-8, 0xFF (never part of
  // UTF-8) keeps the place of bad bytes for a later step that knows where they stand.
  void SetBadInputMark(char mark) { badMark_ = mark; }

 private:
  void Run(const char* in, size_t len, std::string& out, bool last);
  // UTF-8 through the table of the target's characters; the system only for characters beyond
  // the table.
  void RunUtf8(const char* in, size_t len, std::string& out);

  // The system's side: an iconv descriptor, or on Windows the two code pages.
  struct System;
  std::unique_ptr<System> system_;
  bool fromUtf8_;
  const TBmpTable* table_ = nullptr;
  std::string pending_;
  bool toUtf8_ = false;
  Replacements replaced_;
  char badMark_ = '?';
  bool systemUsed_ = true;
};

// True when the system converts between the two encodings.
bool CanTranscode(const std::string& to, const std::string& from);
// Upper case without "-" and "_": "utf-8" and "UTF8" name the same encoding.
std::string EncodingKey(std::string_view name);

enum class Utf8Verdict { kAscii, kUtf8, kNotUtf8 };
// Whether bytes read as UTF-8; a character cut off by the end of the bytes counts as
// valid, since the rest of it may follow.
Utf8Verdict JudgeUtf8(std::string_view bytes);
// Length of the UTF-8 character at the start of s, 0 when none starts there.
size_t Utf8CharLength(std::string_view s);
// True when s is whole UTF-8 characters from its first byte to its last (true when empty).
bool IsWholeUtf8(std::string_view s);

}  // namespace ryn
