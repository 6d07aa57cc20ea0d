#include "csv/csv_records.h"

#include <cstdint>
#include <cstring>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace ryn {

TCsvRecords::TCsvRecords(const std::string& path, const TCsvFormat& format)
    : input_(path, format),
      delimiter_(format.delimiter),
      processUtf8_(EncodingKey(ProcessCodePage().Name()) == "UTF8") {
  stops_[static_cast<uint8_t>(delimiter_)] = 1;
  stops_['\r'] = 1;
  stops_['\n'] = 1;
}

TCsvRecords::~TCsvRecords() = default;

TCsvRecords::Split TCsvRecords::SplitRecord() {
  fieldCount_ = 0;
  copies_.clear();
  unclosedQuote_ = false;
  const char* b = buffer_.data();
  const size_t n = buffer_.size();
  const char delim = delimiter_;
  const bool allBuffered = allBuffered_;
  size_t pos = pos_;
  while (pos < n && (b[pos] == '\r' || b[pos] == '\n')) ++pos;
  pos_ = pos;  // blank lines hold no record
  if (pos == n) return allBuffered ? Split::kEnd : Split::kNeedInput;
  for (;;) {
    if (pos < n && b[pos] == '"') {
      size_t seg = ++pos;
      bool copied = false;
      size_t end = n;
      for (;;) {
        const auto* q = static_cast<const char*>(std::memchr(b + pos, '"', n - pos));
        if (!q) {
          if (!allBuffered) return Split::kNeedInput;
          pos = n;
          unclosedQuote_ = true;
          break;
        }
        const auto qp = static_cast<size_t>(q - b);
        if (qp + 1 == n) {  // a closing quote, or the first of a doubled pair
          if (!allBuffered) return Split::kNeedInput;
          pos = n;
          end = qp;
          break;
        }
        const char c = b[qp + 1];
        if (c == delim || c == '\r' || c == '\n') {
          end = qp;
          pos = qp + 1;
          break;
        }
        // A doubled quote stands for one; after a lone quote the character is kept too.
        if (!copied) AddField(FieldRef{copies_.size(), 0, true});
        copied = true;
        copies_.append(b + seg, qp - seg);
        copies_ += '"';
        if (c != '"') copies_ += c;
        pos = seg = qp + 2;
      }
      if (copied) {
        copies_.append(b + seg, end - seg);
        refs_[fieldCount_ - 1].length = copies_.size() - refs_[fieldCount_ - 1].offset;
      } else {
        AddField(FieldRef{seg, end - seg, false});
      }
    } else {
      size_t e = pos;
      while (e < n && !stops_[static_cast<uint8_t>(b[e])]) ++e;
      if (e == n && !allBuffered) return Split::kNeedInput;
      AddField(FieldRef{pos, e - pos, false});
      pos = e;
    }
    if (pos == n) break;  // the text ends with the record
    if (b[pos++] != delim) break;  // a line end
  }
  pos_ = pos;
  return Split::kRecord;
}

bool TCsvRecords::Next(std::vector<std::string_view>& fields) {
  for (;;) {
    Split split = SplitRecord();
    if (split == Split::kEnd) return false;
    if (split == Split::kRecord) break;
    buffer_.erase(0, pos_);
    pos_ = 0;
    std::string_view chunk;
    if (input_.Next(chunk)) buffer_.append(chunk);
    else allBuffered_ = true;
  }
  fields.clear();
  for (size_t i = 0; i < fieldCount_; ++i) {
    const FieldRef& f = refs_[i];
    fields.emplace_back((f.copied ? copies_.data() : buffer_.data()) + f.offset, f.length);
  }
  problems_.clear();
  if (input_.FieldsInUtf8()) ConvertFields(fields);
  return true;
}

void TCsvRecords::ConvertFields(std::vector<std::string_view>& fields) {
  // ASCII is the same in every code page we serve: such fields stay views of the input.
  if (converted_.size() < fields.size()) converted_.resize(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    if (IsAscii(fields[i]) || (processUtf8_ && IsWholeUtf8(fields[i]))) continue;
    if (!fromUtf8_) fromUtf8_ = std::make_unique<TTranscoder>(ProcessCodePage().Name(), "UTF-8");
    fromUtf8_->ResetReplaced();
    fromUtf8_->ConvertAll(fields[i], converted_[i]);
    fields[i] = converted_[i];
    const TTranscoder::Replacements& r = fromUtf8_->Replaced();
    if (r.Total() > 0) problems_.push_back(FieldProblem{i, r.badInput, r.unmapped});
  }
}

int64_t CountCsvRecords(const std::string& path, const TCsvFormat& format) {
  // The reader's states, walked without keeping a byte: a record ends at a line end outside
  // quotes once anything of it was seen; a quote opens a quoted field only at the start
  // of a field, and inside one a quote followed by anything but a quote, a delimiter or a
  // line end is kept and the field goes on.
  enum State : uint8_t { kRowNotBegun, kFieldNotBegun, kUnquoted, kQuoted, kQuoteInQuoted };
  enum Class : uint8_t { kOther, kDelim, kQuote, kLineEnd };
  static constexpr uint8_t kNext[5][4] = {
      {kUnquoted, kFieldNotBegun, kQuoted, kRowNotBegun},
      {kUnquoted, kFieldNotBegun, kQuoted, kRowNotBegun},
      {kUnquoted, kFieldNotBegun, kUnquoted, kRowNotBegun},
      {kQuoted, kQuoted, kQuoteInQuoted, kQuoted},
      {kQuoted, kFieldNotBegun, kQuoted, kRowNotBegun},
  };
  static constexpr uint8_t kEndsRecord[5][4] = {
      {0, 0, 0, 0}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 0}, {0, 0, 0, 1},
  };
  uint8_t cls[256] = {};
  cls[static_cast<uint8_t>(format.delimiter)] = kDelim;
  cls['"'] = kQuote;
  cls['\r'] = kLineEnd;
  cls['\n'] = kLineEnd;

  TCsvInput input(path, format, true);
  int64_t records = 0;
  uint8_t state = kRowNotBegun;
  std::string_view chunk;
  while (input.Next(chunk)) {
    const auto* p = reinterpret_cast<const unsigned char*>(chunk.data());
    const auto* end = p + chunk.size();
    while (p < end) {
      if (state == kQuoted) {
        // Only a quote ends the stretch of a quoted field.
        p = static_cast<const unsigned char*>(std::memchr(p, '"', static_cast<size_t>(end - p)));
        if (!p) break;
        ++p;
        state = kQuoteInQuoted;
        continue;
      }
      uint8_t c = cls[*p++];
      records += kEndsRecord[state][c];
      state = kNext[state][c];
      if (state == kUnquoted)
        while (p < end && cls[*p] == kOther) ++p;
    }
  }
  return records + (state != kRowNotBegun ? 1 : 0);
}

}  // namespace ryn
