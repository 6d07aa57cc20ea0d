// TRecordLine: a record of the exchange file formatted straight into its line when the
// host hands over all of its texts in one call, so that no value is held on the way: the
// four identity values are formatted once for as long as they stay the same. The values
// can still be put back into the text writer afterwards (for the field path, which sets
// one value at a time, and for a second Post of the same record), taken from where they
// stand in the line, or from a copy for the few the line holds in another form.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "textloader/text_writer.h"

namespace ryn {

class TRecordLine {
 public:
  // Starts a record of the identity values and `columns` empty columns after them.
  void Start(const TAFTextWriter& writer, std::string_view unit, std::string_view year, std::string_view type,
             std::string_view period, size_t columns);
  // Formats the started record with texts[i] (lengths[i] bytes; null or a length of 0 or
  // less is empty) in column fields[i], the other columns empty. False, with nothing
  // changed, unless the columns rise strictly and each is one of the record's.
  bool Format(const TAFTextWriter& writer, int32_t count, const int32_t* fields, const char* const* texts,
              const int32_t* lengths);
  // The line break and the formatted line, for TAFTextWriter::WriteFormattedLine.
  std::string_view Text() const { return line_; }
  // Sets writer's values to the started record: with formatted, the texts Format put in.
  void Restore(TAFTextWriter& writer, bool formatted) const;

 private:
  // Where a column's text stands in line_ (copy < 0), or which of copies_ holds it.
  struct Span {
    size_t offset;
    size_t length;
    int32_t copy;
  };
  std::string prefixValues_[4];
  std::string prefixLine_;  // the line break and the identity values, formatted
  bool prefixMade_ = false;
  size_t columns_ = 0;
  std::string line_;
  std::vector<Span> spans_;
  std::vector<std::string> copies_;
};

}  // namespace ryn
