// TFileStream on a POSIX file descriptor; "open without sharing" is an exclusive flock.
#include "platform/stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/paths.h"

namespace ryn {

namespace {
constexpr size_t kWriteBuffer = 64 * 1024;

std::string ErrnoText() { return SystemErrorText(errno); }
}  // namespace

namespace {
OsPath ConvertedName(const std::string& path) {
  OsPath os;
  if (!ToOsPath(path, os)) throw EFileOpenError("cannot open " + path + ": the name holds no valid text");
  return os;
}
}  // namespace

TFileStream::TFileStream(const std::string& path, FileMode mode, bool exclusive)
    : TFileStream(ConvertedName(path), mode, exclusive) {}

TFileStream::TFileStream(const OsPath& osPath, FileMode mode, bool exclusive) {
  const std::string path = FromOsPath(osPath);
  int flags = O_CLOEXEC;
  switch (mode) {
    case FileMode::kCreate: flags |= O_WRONLY | O_CREAT; break;
    case FileMode::kOpenWrite: flags |= O_WRONLY; break;
    case FileMode::kOpenRead: flags |= O_RDONLY; break;
  }
  fd_ = ::open(osPath.c_str(), flags, 0666);
  if (fd_ < 0) throw EFileOpenError("cannot open " + path + ": " + ErrnoText());
  if (exclusive && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
    throw EFileOpenError("cannot open " + path + ": the file is in use");
  }
  // Truncate only once the lock is ours, so a refused opener never empties the file.
  if (mode == FileMode::kCreate && ::ftruncate(fd_, 0) != 0) {
    ::close(fd_);
    fd_ = -1;
    throw EFileOpenError("cannot open " + path + ": " + ErrnoText());
  }
  buffer_.reserve(kWriteBuffer);
}

TFileStream::~TFileStream() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {
    // Destruction cannot report; the caller flushes first when it must know.
  }
  ::close(fd_);
}

void TFileStream::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      buffer_.erase(0, done);
      filePos_ += static_cast<int64_t>(done);
      throw EStreamError("write failed: " + ErrnoText());
    }
    done += static_cast<size_t>(n);
  }
  filePos_ += static_cast<int64_t>(done);
  buffer_.clear();
  if (writeBehind_) StartDeviceWrites();
}

void TFileStream::StartDeviceWrites() {
#ifdef __linux__
  // Every 8 MB: often enough that little is left for Sync, seldom enough to cost nothing.
  constexpr int64_t kStep = 8 * 1024 * 1024;
  if (filePos_ < behindFrom_) behindFrom_ = filePos_;  // the file was cut or rewound
  if (filePos_ - behindFrom_ < kStep) return;
  // A request only: a failure shows (and is reported) when Sync waits for the bytes.
  ::sync_file_range(static_cast<int>(fd_), behindFrom_, filePos_ - behindFrom_, SYNC_FILE_RANGE_WRITE);
  behindFrom_ = filePos_;
#endif
}

size_t TFileStream::Read(void* buffer, size_t count) {
  Flush();
  for (;;) {
    ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0) {
      filePos_ += n;
      return static_cast<size_t>(n);
    }
    if (errno != EINTR) throw EStreamError("read failed: " + ErrnoText());
  }
}

void TFileStream::Write(const void* buffer, size_t count) {
  if (buffer_.size() + count > kWriteBuffer) {
    Flush();
    if (count >= kWriteBuffer) {
      buffer_.assign(static_cast<const char*>(buffer), count);
      Flush();
      return;
    }
  }
  buffer_.append(static_cast<const char*>(buffer), count);
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
  if (origin == SeekOrigin::kCurrent && offset == 0) return filePos_ + static_cast<int64_t>(buffer_.size());
  Flush();
  int whence = origin == SeekOrigin::kBegin ? SEEK_SET : origin == SeekOrigin::kCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, offset, whence);
  if (r < 0) throw EStreamError("seek failed: " + ErrnoText());
  filePos_ = r;
  return r;
}

int64_t TFileStream::Size() {
  Flush();
  struct stat st{};
  if (::fstat(fd_, &st) != 0) throw EStreamError("stat failed: " + ErrnoText());
  return st.st_size;
}

void TFileStream::Sync() {
  Flush();
  if (::fsync(fd_) != 0) throw EStreamError("write failed: " + ErrnoText());
}

void TFileStream::SetSize(int64_t size) {
  Flush();
  if (::ftruncate(fd_, size) != 0) throw EStreamError("truncate failed: " + ErrnoText());
  if (filePos_ > size) Seek(size, SeekOrigin::kBegin);
}

}  // namespace ryn
