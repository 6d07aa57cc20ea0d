// Helpers for tests that act as a host of librynfiler.so.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/codepage.h"
#include "rynfiler.h"

namespace ryn::testing {

// Messages and status lines a host's callbacks received, with the user value.
struct HostLog {
  std::vector<std::pair<int32_t, std::string>> messages;
  std::vector<std::string> statuses;
  std::vector<intptr_t> users;

  static void RYN_CALL Message(intptr_t user, int32_t kind, const char* text) {
    auto* log = reinterpret_cast<HostLog*>(user);
    log->messages.emplace_back(kind, text);
    log->users.push_back(user);
  }
  static void RYN_CALL Status(intptr_t user, const char* caption, const char* text) {
    auto* log = reinterpret_cast<HostLog*>(user);
    log->statuses.push_back(std::string(caption) + "|" + text);
  }
};

// A new exchange file engine's handle (the test fails when none is made).
inline RynHandle NewEngine() {
  RynHandle h = 0;
  EXPECT_EQ(EngineInit(RYN_DESTINATION, &h), RYN_OK);
  return h;
}

// Options text in the process code page for an export into file.
inline std::string ExportOptions(const std::string& file, int dataType = 1, const std::string& columns = "A=a\r\nB=b") {
  return Ansi("单位标识") + "=0001;\r\n" + Ansi("年度") + "=2023;\r\n" + Ansi("报表类型") + "=Y;\r\n" + Ansi("时期") +
         "=12;\r\n" + Ansi("文件名") + "=" + file + ";\r\n" + Ansi("数据类型") + "=" + std::to_string(dataType) +
         ";\r\n" + Ansi("选择列") + "={\r\n\t" + columns + "}";
}

}  // namespace ryn::testing
