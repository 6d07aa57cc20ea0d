#include "rynengine/record_line.h"

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

bool TRecordLine::Format(const TAFTextWriter& writer, int32_t count, const int32_t* fields, const char* const* texts,
                         const int32_t* lengths) {
  if (count < 0 || (count > 0 && (!fields || !texts || !lengths))) return false;
  int64_t previous = -1;
  for (int32_t i = 0; i < count; ++i) {
    if (fields[i] <= previous || static_cast<size_t>(fields[i]) >= columns_) return false;
    previous = fields[i];
  }
  const std::string& delimiter = writer.Delimiter();
  line_.assign(prefixLine_);
  spans_.resize(columns_);
  size_t column = 0, copies = 0;
  auto emptyUpTo = [&](size_t end) {
    for (; column < end; ++column) {
      line_ += delimiter;
      spans_[column] = Span{0, 0, -1};
    }
  };
  for (int32_t i = 0; i < count; ++i) {
    const auto at = static_cast<size_t>(fields[i]);
    emptyUpTo(at);
    line_ += delimiter;
    const std::string_view text =
        texts[i] && lengths[i] > 0 ? std::string_view(texts[i], static_cast<size_t>(lengths[i])) : std::string_view();
    const size_t start = line_.size();
    writer.AppendValue(text, line_);
    // The other forms (quotes, block marks) always add bytes: a text that took as many
    // bytes as it has went in as it is.
    if (line_.size() - start == text.size()) {
      spans_[at] = Span{start, text.size(), -1};
    } else {
      if (copies_.size() <= copies) copies_.emplace_back();
      copies_[copies].assign(text);
      spans_[at] = Span{0, 0, static_cast<int32_t>(copies++)};
    }
    column = at + 1;
  }
  emptyUpTo(columns_);
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
