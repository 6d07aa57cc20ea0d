#include "csv/csv_records.h"

#include <algorithm>

#include <cstdint>
#include <cstring>
#include <utility>

#include "common/transcoder.h"
#include "platform/codepage.h"
#include "platform/error.h"

namespace ryn {

TCsvRecords::TCsvRecords(const std::string& path, const TCsvFormat& format, bool readAhead)
    : input_(path, format),
      delimiter_(format.delimiter),
      processUtf8_(EncodingKey(ProcessCodePage().Name()) == "UTF8") {
  stops_[static_cast<uint8_t>(delimiter_)] = 1;
  stops_['\r'] = 1;
  stops_['\n'] = 1;
  if (readAhead) {
    for (size_t i = 0; i < kBatchesAhead; ++i) empty_.push_back(std::make_unique<Batch>());
    thread_ = std::thread(&TCsvRecords::FillAhead, this);
  }
}

TCsvRecords::~TCsvRecords() {
  if (thread_.joinable()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
}

TCsvRecords::Split TCsvRecords::SplitRecord(Batch& batch, size_t& at) {
  const size_t fieldsAtStart = batch.fields.size();
  const size_t copiesAtStart = batch.copies.size();
  // A record the input's end cuts off leaves nothing behind: it is split again whole.
  auto needInput = [&] {
    batch.fields.resize(fieldsAtStart);
    batch.copies.resize(copiesAtStart);
    return Split::kNeedInput;
  };
  bool unclosedQuote = false;
  const char* b = batch.text.data();
  const size_t n = batch.text.size();
  const char delim = delimiter_;
  const bool allBuffered = allBuffered_;
  std::vector<FieldRef>& fields = batch.fields;
  std::string& copies = batch.copies;
  size_t pos = at;
  while (pos < n && (b[pos] == '\r' || b[pos] == '\n')) ++pos;
  at = pos;  // blank lines hold no record
  if (pos == n) return allBuffered ? Split::kEnd : Split::kNeedInput;
  for (;;) {
    if (pos < n && b[pos] == '"') {
      size_t seg = ++pos;
      bool copied = false;
      size_t end = n;
      for (;;) {
        const auto* q = static_cast<const char*>(std::memchr(b + pos, '"', n - pos));
        if (!q) {
          if (!allBuffered) return needInput();
          pos = n;
          unclosedQuote = true;
          break;
        }
        const auto qp = static_cast<size_t>(q - b);
        if (qp + 1 == n) {  // a closing quote, or the first of a doubled pair
          if (!allBuffered) return needInput();
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
        if (!copied) fields.push_back(Ref(copies.size(), 0, true));
        copied = true;
        copies.append(b + seg, qp - seg);
        copies += '"';
        if (c != '"') copies += c;
        pos = seg = qp + 2;
      }
      if (copied) {
        copies.append(b + seg, end - seg);
        fields.back() = Ref(fields.back().offset, copies.size() - fields.back().offset, true);
      } else {
        fields.push_back(Ref(seg, end - seg, false));
      }
    } else {
      size_t e = pos;
      while (e < n && !stops_[static_cast<uint8_t>(b[e])]) ++e;
      if (e == n && !allBuffered) return needInput();
      fields.push_back(Ref(pos, e - pos, false));
      pos = e;
    }
    if (pos == n) break;  // the text ends with the record
    if (b[pos++] != delim) break;  // a line end
  }
  at = pos;
  batch.records.push_back(RecordRef{fields.size(), unclosedQuote});
  return Split::kRecord;
}

void TCsvRecords::Fill(Batch& b) {
  // The batch keeps its buffer from round to round: only the record cut off is copied.
  b.text.assign(carry_);
  carry_.clear();
  b.copies.clear();
  b.fields.clear();
  b.records.clear();
  b.last = false;
  b.error = nullptr;
  size_t pos = 0;
  try {
    for (;;) {
      const Split split = SplitRecord(b, pos);
      if (split == Split::kRecord) continue;
      if (split == Split::kEnd) {
        b.last = true;
        break;
      }
      // The batch ends with the records its input holds; the one cut off goes on.
      if (!b.records.empty()) {
        carry_.assign(b.text, pos, std::string::npos);
        break;
      }
      std::string_view chunk;
      if (input_.Next(chunk)) {
        // Copies of a record's fields are never longer than its text: both fit the refs.
        if (b.text.size() + chunk.size() > kMaxBatchBytes) throw EStreamError(Ansi("一条记录长于2 GB"));
        b.text.append(chunk);
      } else {
        allBuffered_ = true;
      }
    }
  } catch (...) {
    b.error = std::current_exception();
    b.last = true;
  }
  // Settled by the first text that is not ASCII, which comes before any record of it.
  b.fieldsInUtf8 = input_.FieldsInUtf8();
}

void TCsvRecords::FillAhead() {
  for (;;) {
    std::unique_ptr<Batch> b;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || !empty_.empty(); });
      if (stop_) return;
      b = std::move(empty_.front());
      empty_.pop_front();
    }
    Fill(*b);
    const bool last = b->last;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      filled_.push_back(std::move(b));
    }
    changed_.notify_all();
    if (last) return;
  }
}

void TCsvRecords::NextBatch() {
  if (!thread_.joinable()) {
    if (!current_) current_ = std::make_unique<Batch>();
    Fill(*current_);
  } else {
    std::unique_ptr<Batch> next;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      if (current_) empty_.push_back(std::move(current_));
      changed_.wait(lock, [this] { return !filled_.empty(); });
      next = std::move(filled_.front());
      filled_.pop_front();
    }
    changed_.notify_all();
    current_ = std::move(next);
  }
  record_ = 0;
}

bool TCsvRecords::Next(std::vector<std::string_view>& fields) {
  while (!current_ || record_ == current_->records.size()) {
    if (current_ && current_->last) {
      if (current_->error) std::rethrow_exception(current_->error);
      return false;
    }
    NextBatch();
  }
  const Batch& b = *current_;
  const size_t first = record_ == 0 ? 0 : b.records[record_ - 1].fieldsEnd;
  const RecordRef& r = b.records[record_++];
  fields.clear();
  for (size_t i = first; i < r.fieldsEnd; ++i) {
    const FieldRef f = b.fields[i];
    const bool copied = (f.length & kCopied) != 0;
    fields.emplace_back((copied ? b.copies.data() : b.text.data()) + f.offset, f.length & ~kCopied);
  }
  unclosedQuote_ = r.unclosedQuote;
  problems_.clear();
  if (b.fieldsInUtf8) ConvertFields(fields);
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

namespace {

// The line feeds of a stretch without quotes and CRs that end a record: those after a byte
// other than a line feed (a blank line holds no record), the first one when a record was
// begun before the stretch. Sixteen bytes a step, each compared with the byte before it.
int64_t RecordEnds(const unsigned char* p, const unsigned char* end, bool begun) {
  int64_t n = *p == '\n' && begun ? 1 : 0;
  const unsigned char* q = p + 1;
  using Bytes = unsigned char __attribute__((vector_size(16)));
  const Bytes lf = Bytes{} + '\n';
  while (end - q >= 16) {
    // Counted per lane, at most 255 steps before the lanes are summed.
    Bytes lanes{};
    const unsigned char* stop = q + std::min<ptrdiff_t>((end - q) / 16, 255) * 16;
    for (; q < stop; q += 16) {
      Bytes here, before;
      std::memcpy(&here, q, 16);
      std::memcpy(&before, q - 1, 16);
      lanes -= reinterpret_cast<Bytes>((here == lf) & ~(before == lf));
    }
    for (int i = 0; i < 16; ++i) n += lanes[i];
  }
  for (; q < end; ++q) n += *q == '\n' && q[-1] != '\n' ? 1 : 0;
  return n;
}

}  // namespace

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
    auto find = [end](const unsigned char* from, unsigned char c) {
      const void* at = std::memchr(from, c, static_cast<size_t>(end - from));
      return at ? static_cast<const unsigned char*>(at) : end;
    };
    // Where the next quote and carriage return stand: before them, outside a quoted field,
    // only line feeds matter (the bytes between keep a begun record begun).
    const unsigned char* nextQuote = find(p, '"');
    const unsigned char* nextCr = find(p, '\r');
    while (p < end) {
      if (state == kQuoted) {
        // Only a quote ends the stretch of a quoted field.
        p = static_cast<const unsigned char*>(std::memchr(p, '"', static_cast<size_t>(end - p)));
        if (!p) break;
        ++p;
        state = kQuoteInQuoted;
        continue;
      }
      if (state != kQuoteInQuoted) {
        if (nextQuote < p) nextQuote = find(p, '"');
        if (nextCr < p) nextCr = find(p, '\r');
        const unsigned char* limit = std::min(nextQuote, nextCr);
        if (p < limit) {
          records += RecordEnds(p, limit, state != kRowNotBegun);
          // Line feeds, delimiters and other bytes: the state is that of the last of them.
          const unsigned char last = limit[-1];
          state = last == '\n' ? kRowNotBegun : cls[last] == kDelim ? kFieldNotBegun : kUnquoted;
          p = limit;
        }
        if (p == end) break;
      }
      const uint8_t c = cls[*p++];
      records += kEndsRecord[state][c];
      state = kNext[state][c];
    }
  }
  return records + (state != kRowNotBegun ? 1 : 0);
}

}  // namespace ryn
