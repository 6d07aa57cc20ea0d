// The suite's own set-up: every test program is registered with an environment (code page,
// headless windows, the sanitizer's options). A registration that drops part of it lets
// tests pass on a developer's display and fail, or crash the leak checker, in CI.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "(unset)";
}

TEST(TestEnvironment, EveryTestGetsTheWholeRegisteredEnvironment) {
  EXPECT_EQ(Env("RYNFILER_CODEPAGE"), "GBK");
  EXPECT_EQ(Env("RYNFILER_UI"), "headless");
  EXPECT_EQ(Env("NO_AT_BRIDGE"), "1");
#if defined(__SANITIZE_ADDRESS__)
  EXPECT_NE(Env("LSAN_OPTIONS").find("use_tls=0"), std::string::npos) << Env("LSAN_OPTIONS");
#endif
}

}  // namespace
