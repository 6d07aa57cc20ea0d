// The reader splits any text the same way whatever its window; whatever the writer
// writes, the reader gives back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "textloader/text_reader.h"
#include "textloader/text_writer.h"
#include "transport/options_text.h"

namespace {

struct Config {
  const char* delimiter;
  const char* lineBreak;
  const char* quote;
  const char* open;
  const char* close;
};

constexpr Config kConfigs[] = {
    {"\t", "\r\n", "\"", "", ""},
    {"=", ";", "\"", "{", "}"},
    {"|", "@", "\"", "[", "]"},
    {",", "\r\n", "", "", ""},
};

using Lines = std::vector<std::vector<std::string>>;

Lines ReadAll(const Config& c, const std::string& text, size_t window, bool trim) {
  ryn::TMemoryStream stream(text);
  ryn::TAFTextReader r;
  r.SetDelimiter(c.delimiter);
  r.SetLineBreak(c.lineBreak);
  r.SetQuote(c.quote);
  r.SetBlockOpen(c.open);
  r.SetBlockClose(c.close);
  r.SetTrimValues(trim);
  r.SetBufferSize(window);
  r.SetStream(&stream);
  Lines lines;
  while (!r.Eof()) {
    std::vector<std::string> values;
    for (int i = 0; i < r.ValueCount(); ++i) values.emplace_back(r.GetValue(i));
    lines.push_back(std::move(values));
    r.Next();
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const Config& c = kConfigs[data[0] % 4];
  const size_t window = 1 + data[1] * 7;
  const bool trim = data[0] & 4;
  std::string text(reinterpret_cast<const char*>(data + 2), size - 2);

  // Any text: the same lines with the smallest and the usual window.
  if (ReadAll(c, text, window, trim) != ReadAll(c, text, ryn::TAFTextReader::kBufferSize, trim)) std::abort();

  // Values cut from the text at zero bytes: written, then read back.
  std::vector<std::string> values;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\0') {
      values.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  ryn::TMemoryStream out;
  ryn::TAFTextWriter w(&out);
  w.SetDelimiter(c.delimiter);
  w.SetLineBreak(c.lineBreak);
  w.SetQuote(c.quote);
  w.SetBlockOpen(c.open);
  w.SetBlockClose(c.close);
  for (size_t i = 0; i < values.size(); ++i) w.SetValue(static_cast<int>(i), values[i]);
  w.WriteLine();
  // Without a quote nothing protects the marks, so only quoting formats promise a round trip.
  if (*c.quote) {
    Lines back = ReadAll(c, out.Data(), window, false);
    for (size_t i = 0; i < values.size(); ++i) {
      std::string got = back.empty() || i >= back[0].size() ? std::string() : back[0][i];
      if (got != values[i]) std::abort();
    }
  }

  // Options text: every entry written comes back.
  if (values.size() >= 2) {
    ryn::TMemoryStream opts;
    {
      ryn::TOptionsWriter ow(&opts);
      ow.WriteOption(values[0], values[1]);
    }
    ryn::TMemoryStream in(opts.Data());
    ryn::TOPtionsReader reader(&in);
    std::string got;
    bool seen = false;
    reader.RegisterHandler(values[0], [&](const std::string& v) {
      got = v;
      seen = true;
    });
    reader.Parse();
    if (!seen || (got != values[1] && got != "\r\n\t" + values[1])) std::abort();
  }
  return 0;
}
