// Windows only: the wide strings the system's W functions take, made from the UTF-8 of an
// OsPath and back, and the system's text for an error code in the process code page.
#pragma once

#include <string>
#include <string_view>

namespace ryn {

struct OsPath;

std::wstring WidePath(const OsPath& path);
std::wstring Utf8ToWide(std::string_view utf8);
// Unpaired surrogates (possible in Windows file names) become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);
OsPath OsPathFromWide(std::wstring_view wide);
// The Windows code page of an encoding name as RYNFILER_CODEPAGE takes it ("GBK", "UTF-8",
// "CP1252", "936"...); 0 when the system serves none. GB18030 stands for its GBK part on a
// system without its table.
unsigned WindowsCodePage(std::string_view name);
// The system's message for a GetLastError() code, without its line break.
std::string WindowsErrorText(unsigned long code);

}  // namespace ryn
