// TFileStream on a Windows file handle. "Open without sharing" is the share mode itself:
// an exclusive opener shares nothing, so the system refuses every other opener (and is
// refused while another holds the file), in this process or another.
#include "platform/stream.h"

#include <algorithm>

#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/paths.h"
#include "platform/win_text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace ryn {
namespace {

constexpr size_t kWriteBuffer = 64 * 1024;

std::string LastErrorText() { return WindowsErrorText(GetLastError()); }

OsPath ConvertedName(const std::string& path) {
  OsPath os;
  if (!ToOsPath(path, os)) throw EFileOpenError("cannot open " + path + ": the name holds no valid text");
  return os;
}

HANDLE Handle(intptr_t fd) { return reinterpret_cast<HANDLE>(fd); }

}  // namespace

TFileStream::TFileStream(const std::string& path, FileMode mode, bool exclusive)
    : TFileStream(ConvertedName(path), mode, exclusive) {}

TFileStream::TFileStream(const OsPath& osPath, FileMode mode, bool exclusive) {
  const std::string path = FromOsPath(osPath);
  DWORD access = mode == FileMode::kOpenRead ? GENERIC_READ : GENERIC_WRITE;
  // A stream seeks back and reads what it wrote (a section's header): writers read too.
  if (mode != FileMode::kOpenRead) access |= GENERIC_READ;
  const DWORD share = exclusive ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  // kCreate opens without truncating: an opener refused for sharing must leave the file as
  // it was, so the content goes only once the handle is ours.
  const DWORD disposition = mode == FileMode::kCreate ? OPEN_ALWAYS : OPEN_EXISTING;
  HANDLE h = CreateFileW(WidePath(osPath).c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
      throw EFileOpenError("cannot open " + path + ": the file is in use");
    throw EFileOpenError("cannot open " + path + ": " + WindowsErrorText(error));
  }
  if (mode == FileMode::kCreate && !SetEndOfFile(h)) {
    const std::string why = LastErrorText();
    CloseHandle(h);
    throw EFileOpenError("cannot open " + path + ": " + why);
  }
  fd_ = reinterpret_cast<intptr_t>(h);
  buffer_.reserve(kWriteBuffer);
}

TFileStream::~TFileStream() {
  if (Handle(fd_) == INVALID_HANDLE_VALUE) return;
  try {
    Flush();
  } catch (...) {
    // Destruction cannot report; the caller flushes first when it must know.
  }
  CloseHandle(Handle(fd_));
}

void TFileStream::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(buffer_.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(Handle(fd_), buffer_.data() + done, chunk, &written, nullptr) || written == 0) {
      const std::string why = LastErrorText();
      buffer_.erase(0, done);
      filePos_ += static_cast<int64_t>(done);
      throw EStreamError("write failed: " + why);
    }
    done += written;
  }
  filePos_ += static_cast<int64_t>(done);
  buffer_.clear();
}

size_t TFileStream::Read(void* buffer, size_t count) {
  Flush();
  DWORD got = 0;
  const DWORD want = static_cast<DWORD>(std::min<size_t>(count, 1u << 30));
  if (!ReadFile(Handle(fd_), buffer, want, &got, nullptr)) throw EStreamError("read failed: " + LastErrorText());
  filePos_ += got;
  return got;
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
  const DWORD method = origin == SeekOrigin::kBegin ? FILE_BEGIN : origin == SeekOrigin::kCurrent ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER move{}, at{};
  move.QuadPart = offset;
  if (!SetFilePointerEx(Handle(fd_), move, &at, method)) throw EStreamError("seek failed: " + LastErrorText());
  filePos_ = at.QuadPart;
  return filePos_;
}

int64_t TFileStream::Size() {
  Flush();
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(Handle(fd_), &size)) throw EStreamError("stat failed: " + LastErrorText());
  return size.QuadPart;
}

void TFileStream::Sync() {
  Flush();
  if (!FlushFileBuffers(Handle(fd_))) throw EStreamError("write failed: " + LastErrorText());
}

void TFileStream::SetSize(int64_t size) {
  Flush();
  // Windows cuts at the file pointer: move there, cut, and come back when still inside.
  const int64_t keep = filePos_;
  LARGE_INTEGER to{};
  to.QuadPart = size;
  if (!SetFilePointerEx(Handle(fd_), to, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle(fd_)))
    throw EStreamError("truncate failed: " + LastErrorText());
  filePos_ = size;
  if (keep < size) Seek(keep, SeekOrigin::kBegin);
}

}  // namespace ryn
