// Byte streams: a position, a size, reads and writes. A memory stream keeps its bytes in a
// string; a file stream writes through a buffer and may hold the file locked against
// other openers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ryn {

struct OsPath;

enum class SeekOrigin { kBegin, kCurrent, kEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Reads up to count bytes; returns how many were read (0 at the end).
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes all count bytes or throws EStreamError.
  virtual void Write(const void* buffer, size_t count) = 0;
  virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
  virtual int64_t Size() = 0;
  // Cuts or extends the stream; the position stays unless it lies beyond the new end.
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, SeekOrigin::kCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, SeekOrigin::kBegin); }
  void WriteText(std::string_view text) { Write(text.data(), text.size()); }
};

class TMemoryStream final : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string data) : data_(std::move(data)) {}

  size_t Read(void* buffer, size_t count) override;
  void Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t size) override;

  const std::string& Data() const { return data_; }
  std::string TakeData() {
    pos_ = 0;
    return std::move(data_);
  }

 private:
  std::string data_;
  size_t pos_ = 0;
};

enum class FileMode {
  kCreate,     // a new empty file, replacing an existing one
  kOpenWrite,  // an existing file, write-only
  kOpenRead,   // an existing file, read-only
};

class TFileStream final : public TStream {
 public:
  // Throws EFileOpenError when the file cannot be opened, or when exclusive is set and
  // another opener holds the file's lock. The path is narrow text of the process code page.
  TFileStream(const std::string& path, FileMode mode, bool exclusive);
  // The same for a path in the file system's encoding.
  TFileStream(const OsPath& path, FileMode mode, bool exclusive);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  size_t Read(void* buffer, size_t count) override;
  void Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, SeekOrigin origin) override;
  int64_t Size() override;
  void SetSize(int64_t size) override;
  // Writes buffered bytes to the file.
  void Flush();
  // Flushes and has the file system put the bytes on the device, so that a file renamed
  // into place afterwards is never seen without its content.
  void Sync();
  // Forgets the bytes not yet written, so that neither a later write nor closing the
  // stream writes them: after a failed write, what follows the failure stays out.
  void DiscardUnwritten() { buffer_.clear(); }
  // For a file that Sync will end: the system is asked to start putting written bytes on
  // the device every few megabytes, without waiting for it, so that Sync waits only for
  // the last of them. (Where the system has no such request, nothing changes.)
  void WriteBehind() { writeBehind_ = true; }

 private:
  // Starts the device writes of what was written since the last start (write behind).
  void StartDeviceWrites();

  intptr_t fd_ = -1;    // the file descriptor, or the Windows file handle
  int64_t filePos_ = 0;  // the descriptor's offset
  std::string buffer_;   // bytes written but not yet flushed, starting at filePos_
  bool writeBehind_ = false;
  int64_t behindFrom_ = 0;  // where the bytes whose device writes were not started begin
};

}  // namespace ryn
