// Paths on Windows: "\" and "/" both separate, a path is absolute with a drive ("C:\") or
// as a network name ("\\server\share"), and the system folds a path into its full form
// (GetFullPathNameW). Narrow names are split only between characters: a trail byte of GBK
// may be 0x5C, the byte of "\".
#include "platform/paths.h"

#include "platform/codepage.h"
#include "platform/win_text.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#undef DeleteFile

namespace ryn {
namespace {

bool IsDelim(char c) { return c == '\\' || c == '/'; }

// Where the last separator of a narrow path stands, npos when it has none (a drive prefix
// "C:" counts as one, so that "C:x" splits into "C:" and "x").
size_t LastDelim(std::string_view path, bool multiByte) {
  size_t last = std::string_view::npos;
  const CodePage& page = ProcessCodePage();
  for (size_t i = 0; i < path.size();) {
    if (IsDelim(path[i]) || (i == 1 && path[i] == ':')) last = i;
    i += multiByte ? page.CharLength(path.data() + i, path.data() + path.size()) : 1;
  }
  return last;
}

std::wstring FullPath(const std::wstring& path) {
  if (path.empty()) return path;
  std::wstring out(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(out.size()), out.data(), nullptr);
    if (n == 0) return path;
    if (n < out.size()) {
      out.resize(n);
      return out;
    }
    out.resize(n + 1);
  }
}

DWORD Attributes(const OsPath& path) {
  return path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(WidePath(path).c_str());
}

}  // namespace

OsPath OsCurrentDirectory() {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  std::wstring dir(n, L'\0');
  const DWORD got = GetCurrentDirectoryW(n, dir.data());
  dir.resize(got < n ? got : 0);
  return OsPathFromWide(dir);
}

OsPath ExpandFileName(const OsPath& path) { return OsPathFromWide(FullPath(WidePath(path))); }

std::string ExpandFileName(std::string_view path) {
  OsPath os;
  if (!ToOsPath(path, os)) return std::string(path);
  return FromOsPath(ExpandFileName(os));
}

OsPath ExtractFilePath(const OsPath& path) {
  // UTF-8 has no trail byte below 0x80: bytes may be searched.
  const size_t pos = LastDelim(path.bytes, false);
  return OsPath{pos == std::string::npos ? std::string() : path.bytes.substr(0, pos + 1)};
}

std::string ExtractFilePath(std::string_view path) {
  const size_t pos = LastDelim(path, true);
  return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileName(std::string_view path) {
  const size_t pos = LastDelim(path, true);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

bool FileExists(const OsPath& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const OsPath& path) {
  const DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const OsPath& path) {
  OsPath dir = path;
  while (dir.bytes.size() > 1 && IsDelim(dir.bytes.back())) dir.bytes.pop_back();
  if (dir.empty()) return false;
  if (DirectoryExists(dir)) return true;
  OsPath parent = ExtractFilePath(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  if (CreateDirectoryW(WidePath(dir).c_str(), nullptr)) return true;
  return GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(dir);
}

bool RenameFile(const OsPath& from, const OsPath& to) {
  // Written through: the new name is on the disk when this returns, like the content the
  // caller synced before.
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool DeleteFile(const OsPath& path) { return DeleteFileW(WidePath(path).c_str()) != 0; }

OsPath ResolveLinks(const OsPath& path) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return path;
  std::wstring out(MAX_PATH, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, out.data(), static_cast<DWORD>(out.size()), VOLUME_NAME_DOS);
  if (n >= out.size()) {
    out.resize(n + 1);
    n = GetFinalPathNameByHandleW(file, out.data(), static_cast<DWORD>(out.size()), VOLUME_NAME_DOS);
  }
  CloseHandle(file);
  if (n == 0 || n >= out.size()) return path;
  out.resize(n);
  // The system answers in its long form, "\\?\C:\..."; the short one is what users write.
  if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) out = L"\\\\" + out.substr(8);
  else if (out.rfind(L"\\\\?\\", 0) == 0) out = out.substr(4);
  return OsPathFromWide(out);
}

bool CopyFileMode(const OsPath& from, const OsPath& to) {
  // Windows keeps no permission bits in the file: only the read-only mark travels.
  const DWORD a = Attributes(from);
  const DWORD b = Attributes(to);
  if (a == INVALID_FILE_ATTRIBUTES || b == INVALID_FILE_ATTRIBUTES) return false;
  const DWORD wanted = (b & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY)) | (a & FILE_ATTRIBUTE_READONLY);
  return wanted == b || SetFileAttributesW(WidePath(to).c_str(), wanted) != 0;
}

}  // namespace ryn
