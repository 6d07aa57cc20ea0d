#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/codepage.h"

namespace ryn {

std::string ToOsPath(std::string_view path) { return ToUtf8(path); }
std::string FromOsPath(std::string_view osPath) {
  return FromUtf8(osPath);
}

std::string CurrentDirectory() {
  std::vector<char> buf(4096);
  while (::getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buf.resize(buf.size() * 2);
  }
  return FromOsPath(buf.data());
}

std::string ExpandFileName(std::string_view path) {
  std::string full;
  if (!path.empty() && path[0] == kPathDelim) {
    full = path;
  } else {
    full = CurrentDirectory();
    if (full.empty() || full.back() != kPathDelim) full += kPathDelim;
    full += path;
  }
  // Fold "." and ".." segments; the separator is ASCII and cannot be a trail byte of GBK.
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

std::string ExtractFilePath(std::string_view path) {
  size_t pos = path.rfind(kPathDelim);
  return pos == std::string_view::npos ? std::string() : std::string(path.substr(0, pos + 1));
}

std::string ExtractFileName(std::string_view path) {
  size_t pos = path.rfind(kPathDelim);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

bool FileExists(std::string_view path) {
  struct stat st{};
  return ::stat(ToOsPath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(std::string_view path) {
  struct stat st{};
  return !path.empty() && ::stat(ToOsPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(std::string_view path) {
  std::string dir(path);
  while (dir.size() > 1 && dir.back() == kPathDelim) dir.pop_back();
  if (dir.empty()) return false;
  if (DirectoryExists(dir)) return true;
  std::string parent = ExtractFilePath(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  if (::mkdir(ToOsPath(dir).c_str(), 0777) == 0) return true;
  return errno == EEXIST && DirectoryExists(dir);
}

}  // namespace ryn
