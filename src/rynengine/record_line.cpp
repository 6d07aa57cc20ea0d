#include "rynengine/record_line.h"

#include <cstring>

namespace ryn {

void TRecordLine::Start(const TAFTextWriter& writer, std::string_view unit, std::string_view year,
                        std::string_view type, std::string_view period, size_t columns) {
  const std::string_view values[4] = {unit, year, type, period};
  bool same = prefixMade_;
  for (size_t i = 0; i < 4 && same; ++i) same = prefixValues_[i] == values[i];
  if (!same) {
    prefixLine_ = writer.LineBreak();
    for (size_t i = 0; i < 4; ++i) {
      prefixValues_[i] = values[i];
      if (i > 0) prefixLine_ += writer.Delimiter();
      writer.AppendValue(values[i], prefixLine_);
    }
    prefixMade_ = true;
  }
  columns_ = columns;
}

namespace {

// The usual delimiter, one byte, goes in without a call.
inline void PutDelimiter(char* out, size_t& at, const std::string& delimiter) {
  if (delimiter.size() == 1) {
    out[at++] = delimiter[0];
  } else {
    std::memcpy(out + at, delimiter.data(), delimiter.size());
    at += delimiter.size();
  }
}

}  // namespace

bool TRecordLine::Format(const TAFTextWriter& writer, int32_t count, const int32_t* fields, const char* const* texts,
                         const int32_t* lengths) {
  if (count < 0 || (count > 0 && (!fields || !texts || !lengths))) return false;
  int64_t previous = -1;
  size_t textBytes = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (fields[i] <= previous || static_cast<size_t>(fields[i]) >= columns_) return false;
    previous = fields[i];
    if (texts[i] && lengths[i] > 0) textBytes += static_cast<size_t>(lengths[i]);
  }
  TAFTextWriter::PlainBytes plainBytes{};
  const bool scan = writer.GetPlainBytes(plainBytes);
  // The line is sized once for every text going in as it is and written in place; a
  // text in another form is appended and the room for the rest made again after it.
  const std::string& delimiter = writer.Delimiter();
  size_t end = prefixLine_.size() + columns_ * delimiter.size() + textBytes;
  line_.resize(end);
  char* out = line_.data();
  std::memcpy(out, prefixLine_.data(), prefixLine_.size());
  size_t at = prefixLine_.size();
  spans_.resize(columns_);
  Span* spans = spans_.data();
  size_t column = 0, copies = 0;
  for (int32_t i = 0; i <= count; ++i) {
    // The columns before this text (all that are left after the last) stay empty.
    const size_t next = i < count ? static_cast<size_t>(fields[i]) : columns_;
    for (; column < next; ++column) {
      PutDelimiter(out, at, delimiter);
      spans[column] = Span{0, 0, -1};
    }
    if (i == count) break;
    PutDelimiter(out, at, delimiter);
    const std::string_view text =
        texts[i] && lengths[i] > 0 ? std::string_view(texts[i], static_cast<size_t>(lengths[i])) : std::string_view();
    if (scan ? TAFTextWriter::IsPlain(text, plainBytes) : writer.WritesAsItIs(text)) {
      spans[next] = Span{at, text.size(), -1};
      if (!text.empty()) std::memcpy(out + at, text.data(), text.size());
      at += text.size();
    } else {
      const size_t rest = end - at - text.size();
      line_.resize(at);
      writer.AppendValue(text, line_);
      at = line_.size();
      end = at + rest;
      line_.resize(end);
      out = line_.data();
      if (copies_.size() <= copies) copies_.emplace_back();
      copies_[copies].assign(text);
      spans[next] = Span{0, 0, static_cast<int32_t>(copies++)};
    }
    column = next + 1;
  }
  line_.resize(at);
  return true;
}

void TRecordLine::Restore(TAFTextWriter& writer, bool formatted) const {
  writer.Clear();
  writer.SetCount(static_cast<int>(columns_) + 4);
  for (int i = 0; i < 4; ++i) writer.SetValue(i, prefixValues_[i]);
  if (!formatted) return;
  for (size_t j = 0; j < columns_ && j < spans_.size(); ++j) {
    const Span& s = spans_[j];
    const std::string_view text = s.copy >= 0 ? std::string_view(copies_[static_cast<size_t>(s.copy)])
                                              : std::string_view(line_).substr(s.offset, s.length);
    if (!text.empty()) writer.SetValue(static_cast<int>(j) + 4, text);
  }
}

}  // namespace ryn
