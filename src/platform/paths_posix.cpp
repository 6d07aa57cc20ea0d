// Paths on POSIX systems: "/" alone separates, a path is absolute when it starts with one.
#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/codepage.h"

namespace ryn {

OsPath OsCurrentDirectory() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return OsPath{"/"};
    buf.resize(buf.size() * 2);
  }
  return OsPath{buf.data()};
}

namespace {

// base + "/" + path unless path is absolute, with "." and ".." folded away. The separator
// is ASCII, never a trail byte of GBK nor part of a longer UTF-8 character.
std::string Expand(std::string_view path, const std::string& base) {
  std::string full;
  if (!path.empty() && path[0] == kPathDelim) {
    full = path;
  } else {
    full = base;
    if (full.empty() || full.back() != kPathDelim) full += kPathDelim;
    full += path;
  }
  std::vector<std::string> parts;
  size_t i = 1;
  bool trailing = full.size() > 1 && full.back() == kPathDelim;
  while (i <= full.size()) {
    size_t j = full.find(kPathDelim, i);
    if (j == std::string::npos) j = full.size();
    std::string seg = full.substr(i, j - i);
    if (seg == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!seg.empty() && seg != ".") {
      parts.push_back(seg);
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& p : parts) out += kPathDelim + p;
  if (out.empty() || trailing) out += kPathDelim;
  return out;
}

}  // namespace

std::string ExpandFileName(std::string_view path) {
  return Expand(path, !path.empty() && path[0] == kPathDelim ? std::string() : CurrentDirectory());
}

OsPath ExpandFileName(const OsPath& path) {
  const bool absolute = !path.empty() && path.bytes[0] == kPathDelim;
  return OsPath{Expand(path.bytes, absolute ? std::string() : OsCurrentDirectory().bytes)};
}

OsPath ExtractFilePath(const OsPath& path) { return OsPath{ExtractFilePath(std::string_view(path.bytes))}; }

std::string ExtractFilePath(std::string_view path) {
  size_t pos = path.rfind(kPathDelim);
  return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileName(std::string_view path) {
  size_t pos = path.rfind(kPathDelim);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

bool FileExists(const OsPath& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const OsPath& path) {
  struct stat st{};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const OsPath& path) {
  OsPath dir = path;
  while (dir.bytes.size() > 1 && dir.bytes.back() == kPathDelim) dir.bytes.pop_back();
  if (dir.empty()) return false;
  if (DirectoryExists(dir)) return true;
  OsPath parent = ExtractFilePath(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  if (::mkdir(dir.c_str(), 0777) == 0) return true;
  return errno == EEXIST && DirectoryExists(dir);
}

bool RenameFile(const OsPath& from, const OsPath& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool DeleteFile(const OsPath& path) { return ::unlink(path.c_str()) == 0; }

OsPath ResolveLinks(const OsPath& path) {
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;
  OsPath out{real};
  std::free(real);
  return out;
}

bool CopyFileMode(const OsPath& from, const OsPath& to) {
  struct stat st {};
  return ::stat(from.c_str(), &st) == 0 && ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

}  // namespace ryn
