#include "transport/options_text.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/stream.h"
#include "platform/text.h"
#include "textloader/text_reader.h"
#include "textloader/text_writer.h"

namespace ryn {
namespace {

constexpr std::string_view kEntryBreak = ";\r\n";
constexpr std::string_view kBlockOpen = "{\r\n\t";

// Whether an options reader given text returns the entries (key, value) and then
// (probeKey, probeValue): the written form neither ends its entry early nor runs into
// the next one.
bool ReadsBackAs(const std::string& text, std::string_view key, std::string_view value) {
  TMemoryStream stream(text + std::string(kEntryBreak) + "k=v");
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

TOPtionsReader::TOPtionsReader(TStream* stream) : reader_(std::make_unique<TAFTextReader>()) {
  ConfigureOptionsReader(*reader_);
  reader_->SetStream(stream);
}

TOPtionsReader::~TOPtionsReader() = default;

void TOPtionsReader::RegisterHandler(std::string_view key, Handler handler) {
  handlers_.insert_or_assign(std::string(key), std::move(handler));
}

void TOPtionsReader::Parse() {
  stopped_ = false;
  unknown_.clear();
  reader_->First();
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
