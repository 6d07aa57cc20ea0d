// Reads every line of a text with a configured reader, for comparing with expectations.
#pragma once

#include <string>
#include <vector>

#include "platform/stream.h"
#include "textloader/text_reader.h"

namespace ryn::testing {

using Lines = std::vector<std::vector<std::string>>;

inline Lines ReadAll(TAFTextReader& reader, const std::string& text, size_t window = TAFTextReader::kBufferSize) {
  TMemoryStream stream(text);
  reader.SetBufferSize(window);
  reader.SetStream(&stream);
  Lines lines;
  for (int guard = 0; !reader.Eof() && guard < 1000000; ++guard) {
    std::vector<std::string> values;
    for (int i = 0; i < reader.ValueCount(); ++i) values.emplace_back(reader.GetValue(i));
    lines.push_back(values);
    reader.Next();
  }
  reader.SetStream(nullptr);
  return lines;
}

}  // namespace ryn::testing
