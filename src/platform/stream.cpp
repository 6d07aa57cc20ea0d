#include "platform/stream.h"

#include <algorithm>
#include <cstring>

namespace ryn {

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (pos_ >= data_.size()) return 0;
  size_t n = std::min(count, data_.size() - pos_);
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

void TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return;
  if (pos_ == data_.size()) {
    data_.append(static_cast<const char*>(buffer), count);
  } else {
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, buffer, count);
  }
  pos_ += count;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
  int64_t base = origin == SeekOrigin::kBegin ? 0 : origin == SeekOrigin::kCurrent ? static_cast<int64_t>(pos_) : Size();
  int64_t target = base + offset;
  if (target < 0) target = 0;
  pos_ = static_cast<size_t>(target);
  return target;
}

void TMemoryStream::SetSize(int64_t size) {
  data_.resize(static_cast<size_t>(size < 0 ? 0 : size));
  if (pos_ > data_.size()) pos_ = data_.size();
}

}  // namespace ryn
