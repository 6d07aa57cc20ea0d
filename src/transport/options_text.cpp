#include "transport/options_text.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "textloader/delimiter_finder.h"
#include "textloader/text_reader.h"
#include "textloader/text_writer.h"

namespace ryn {
namespace {

constexpr std::string_view kEntryBreak = ";\r\n";
constexpr std::string_view kBlockOpen = "{\r\n\t";

// The text with a ";" after every block that opens an entry's value and is followed, before
// the next ";", by more than blanks: the value ends where its block closes, and what
// follows starts the next entry. A text typed with "}" and no ";" after a block thus keeps
// its later keys instead of folding them into the block's value. The writer puts its ";"
// straight after every block (and quotes a value whose braces would close the block
// early), so what it writes reads as before.
std::string EndValuesAtBlockClose(std::string_view text) {
  const TDelimiterFinder entryEnd(";", "\"", "{", "}"), valueStart("=", "\"", "{", "}"), blockEnd("}", "\"", "{", "}");
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::string out;
  out.reserve(text.size() + 8);
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const char* e = entryEnd.Find(std::string_view(p, static_cast<size_t>(end - p)));
    if (!e) e = end;
    const char* cut = nullptr;
    if (const char* eq = valueStart.Find(std::string_view(p, static_cast<size_t>(e - p)))) {
      const char* v = eq + 1;
      while (v < e && blank(*v)) ++v;
      // Past the "{" the scan is at depth 0 outside quotes, so the first "}" it finds
      // there is the one that closes this block.
      if (v < e && *v == '{') {
        if (const char* close = blockEnd.Find(std::string_view(v + 1, static_cast<size_t>(e - v - 1)))) {
          const char* rest = close + 1;
          while (rest < e && blank(*rest)) ++rest;
          if (rest < e) cut = close + 1;
        }
      }
    }
    if (cut) {
      out.append(p, cut);
      out += ';';
      p = cut;
      continue;
    }
    out.append(p, e);
    if (e == end) break;
    out += ';';
    p = e + 1;
  }
  return out;
}

// Whether an options reader given text returns the entries (key, value) and then
// (probeKey, probeValue): the written form neither ends its entry early nor runs into
// the next one.
bool ReadsBackAs(const std::string& text, std::string_view key, std::string_view value) {
  TMemoryStream stream(EndValuesAtBlockClose(text + std::string(kEntryBreak) + "k=v"));
  TAFTextReader reader;
  ConfigureOptionsReader(reader);
  reader.SetStream(&stream);
  if (reader.Eof() || reader.GetValue(0) != key || reader.GetValue(1) != value || reader.ValueCount() > 2) return false;
  reader.Next();
  return !reader.Eof() && reader.GetValue(0) == "k" && reader.GetValue(1) == "v";
}

class OptionsTextWriter : public TAFTextWriter {
 public:
  explicit OptionsTextWriter(TStream* stream) : TAFTextWriter(stream) {
    SetDelimiter("=");
    SetLineBreak(kEntryBreak);
    SetBlockOpen(kBlockOpen);
    SetBlockClose("}");
    SetQuote("\"");
  }

 protected:
  // The standard form, unless the options reader would not give it back: a value with a
  // lone ";" or brace, blanks at its ends or an unbalanced block goes in quotes, which
  // always read back. Keys never take the block form (handlers match keys exactly).
  void AppendFormatted(int index, std::string& out) const override {
    const std::string& text = GetValue(index);
    std::string standard;
    AppendStandard(text, standard);
    bool ok;
    if (index == 0) {
      ok = ReadsBackAs(standard + "=v", text, "v");
    } else {
      bool isBlock = standard.size() > text.size() && standard.starts_with(kBlockOpen) &&
                     standard.compare(kBlockOpen.size(), text.size(), text) == 0;
      ok = isBlock ? TrimBlanks(text).size() == text.size() &&
                         ReadsBackAs("k=" + standard, "k", std::string(kBlockOpen.substr(1)) + text)
                   : ReadsBackAs("k=" + standard, "k", text);
    }
    out += ok ? standard : QuoteValue(text, Quote());
  }
};

}  // namespace

std::string UnknownOptionKeysText(std::string_view engineName, const std::vector<std::string>& keys) {
  std::string text(engineName);
  text += Ansi("的选项中有不认识的键：");
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i > 0) text += Ansi("、");
    text += Ansi("“") + keys[i] + Ansi("”");
  }
  text += Ansi("，已忽略");
  return text;
}

void ConfigureOptionsReader(TAFTextReader& reader) {
  reader.SetDelimiter("=");
  reader.SetLineBreak(";");
  reader.SetBlockOpen("{");
  reader.SetBlockClose("}");
  reader.SetQuote("\"");
  reader.SetTrimValues(true);
}

TOptionsWriter::TOptionsWriter(TStream* stream) : writer_(std::make_unique<OptionsTextWriter>(stream)) {}
TOptionsWriter::~TOptionsWriter() = default;

void TOptionsWriter::WriteOption(std::string_view key, std::string_view value) {
  writer_->Clear();
  writer_->SetValue(0, key);
  writer_->SetValue(1, value);
  writer_->WriteLine();
}

TOPtionsReader::TOPtionsReader(TStream* stream) : stream_(stream), reader_(std::make_unique<TAFTextReader>()) {
  ConfigureOptionsReader(*reader_);
}

TOPtionsReader::~TOPtionsReader() = default;

void TOPtionsReader::RegisterHandler(std::string_view key, Handler handler) {
  handlers_.insert_or_assign(std::string(key), std::move(handler));
}

void TOPtionsReader::Parse() {
  stopped_ = false;
  unknown_.clear();
  // Options texts are short: read whole, they are split with the block rule above.
  std::string text;
  if (stream_) {
    stream_->SetPosition(0);
    char chunk[4096];
    for (size_t got; (got = stream_->Read(chunk, sizeof chunk)) > 0;) text.append(chunk, got);
  }
  entries_ = std::make_unique<TMemoryStream>(EndValuesAtBlockClose(text));
  reader_->SetStream(entries_.get());
  while (!reader_->Eof() && !stopped_) {
    std::string_view raw = reader_->GetValue(1);
    // A block's content starts on the line after its opening mark: that line break and
    // the tab the writer puts there belong to the form, not to the value.
    if (reader_->IsBlock(1)) {
      if (raw.starts_with('\r')) raw.remove_prefix(1);
      if (raw.starts_with('\n')) raw.remove_prefix(1);
      if (raw.starts_with('\t')) raw.remove_prefix(1);
    }
    std::string value(raw);
    auto it = handlers_.find(reader_->GetValue(0));
    if (it != handlers_.end()) {
      it->second(value);
    } else if (std::string_view key = reader_->GetValue(0);
               !key.empty() && std::find(unknown_.begin(), unknown_.end(), key) == unknown_.end()) {
      unknown_.emplace_back(key);
    }
    reader_->Next();
  }
}

}  // namespace ryn
