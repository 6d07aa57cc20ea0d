#include "csv/csv_records.h"

#include <csv.h>

#include <cstdint>
#include <new>

#include "platform/codepage.h"
#include "platform/error.h"

namespace ryn {
namespace {

// RFC 4180 keeps blanks around a field; libcsv would strip them.
int NoBlanks(unsigned char) { return 0; }

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

}  // namespace

TCsvRecords::TCsvRecords(const std::string& path, const TCsvFormat& format)
    : input_(path, format), parser_(std::make_unique<csv_parser>()) {
  if (csv_init(parser_.get(), 0) != 0) throw std::bad_alloc();
  csv_set_delim(parser_.get(), static_cast<unsigned char>(format.delimiter));
  csv_set_space_func(parser_.get(), &NoBlanks);
  csv_set_blk_size(parser_.get(), 4096);
  convertFields_ = input_.FieldsInUtf8();
}

TCsvRecords::~TCsvRecords() { csv_free(parser_.get()); }

void TCsvRecords::OnField(void* data, size_t len, void* self) {
  auto* r = static_cast<TCsvRecords*>(self);
  std::string_view text(static_cast<const char*>(data), data ? len : 0);
  if (r->convertFields_ && !IsAscii(text)) {
    r->arena_ += FromUtf8(text);
  } else {
    r->arena_.append(text);
  }
  r->fieldEnds_.push_back(r->arena_.size());
}

void TCsvRecords::OnRecord(int, void* self) {
  auto* r = static_cast<TCsvRecords*>(self);
  r->recordEnds_.push_back(r->fieldEnds_.size());
}

void TCsvRecords::Compact() {
  size_t doneFields = recordEnds_.empty() ? 0 : recordEnds_.back();
  size_t doneBytes = doneFields == 0 ? 0 : fieldEnds_[doneFields - 1];
  arena_.erase(0, doneBytes);
  fieldEnds_.erase(fieldEnds_.begin(), fieldEnds_.begin() + static_cast<std::ptrdiff_t>(doneFields));
  for (size_t& e : fieldEnds_) e -= doneBytes;
  recordEnds_.clear();
  next_ = 0;
}

void TCsvRecords::Fill() {
  Compact();
  std::string_view chunk;
  while (recordEnds_.empty()) {
    if (!input_.Next(chunk)) {
      csv_fini(parser_.get(), &OnField, &OnRecord, this);
      ended_ = true;
      return;
    }
    if (csv_parse(parser_.get(), chunk.data(), chunk.size(), &OnField, &OnRecord, this) != chunk.size())
      throw std::bad_alloc();  // without strict mode libcsv stops early only when out of memory
  }
}

bool TCsvRecords::Next(std::vector<std::string_view>& fields) {
  if (next_ == recordEnds_.size()) {
    if (ended_) return false;
    Fill();
    if (next_ == recordEnds_.size()) return false;
  }
  size_t first = next_ == 0 ? 0 : recordEnds_[next_ - 1];
  size_t last = recordEnds_[next_++];
  fields.clear();
  size_t start = first == 0 ? 0 : fieldEnds_[first - 1];
  for (size_t i = first; i < last; ++i) {
    fields.emplace_back(arena_.data() + start, fieldEnds_[i] - start);
    start = fieldEnds_[i];
  }
  return true;
}

int64_t CountCsvRecords(const std::string& path, const TCsvFormat& format) {
  // libcsv's states, walked without keeping a byte: a record ends at a line end outside
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

  TCsvInput input(path, format);
  int64_t records = 0;
  uint8_t state = kRowNotBegun;
  std::string_view chunk;
  while (input.Next(chunk)) {
    for (unsigned char b : chunk) {
      uint8_t c = cls[b];
      records += kEndsRecord[state][c];
      state = kNext[state][c];
    }
  }
  return records + (state != kRowNotBegun ? 1 : 0);
}

}  // namespace ryn
